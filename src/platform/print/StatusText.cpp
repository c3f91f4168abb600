#include "platform/print/StatusText.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <mutex>
#include <optional>
#include <random>

namespace hlv {

namespace {

// The spooler's printer status bits, lowest first.
constexpr std::array<const char*, 25> kPrinterStatusPhrases = {
    " Paused",
    " Error",
    " Pending Deletion",
    " Paper Jam",
    " Paper Out",
    " Manual Feed",
    " Paper Problem",
    " OffLine",
    " IO Active",
    " Busy",
    " Printing",
    " Output Bin Full",
    " Not Available",
    " Waiting",
    " Processing",
    " Initializing",
    " Warming up",
    " Toner Low",
    " No Toner",
    " Can print Current Page",
    " User Intervention",
    " Out of Memory",
    " Door Open",
    " Server Unknown",
    " Power Save",
};

// Extended printer status values 1 to 18.
constexpr std::array<const char*, 18> kExtendedStatusTexts = {
    "Other",         "OK",
    "Idle",          "Printing",
    "Warming Up",    "Stopped Printing",
    "Offline",       "Paused",
    "Error",         "Busy",
    "Not Available", "Waiting",
    "Processing",    "Initialization",
    "Power Save",    "Pending Deletion",
    "I/O Active",    "Manual Feed",
};

// Job status values 1, 2, 4, ... 2048.
constexpr std::array<const char*, 12> kJobStatusTexts = {
    "Paused",
    "Error",
    "Deleting",
    "Spooling",
    "Printing",
    "Offline",
    "Paperout",
    "Printed",
    "Deleted",
    "Blocked Dev Queue",
    "User Intervention Required",
    "Restart",
};

const char* extendedText(qint64 value)
{
    if (value >= 1 && value <= static_cast<qint64>(kExtendedStatusTexts.size())) {
        return kExtendedStatusTexts[static_cast<std::size_t>(value - 1)];
    }
    return nullptr;
}

// A value as the print system hands it over, reduced to a whole number (the largest not
// above it); nothing when it is not a number.
std::optional<qint64> wholeNumber(const QVariant& value)
{
    if (!value.isValid() || value.isNull()) {
        return std::nullopt;
    }
    bool ok = false;
    double number = 0;
    if (value.typeId() == QMetaType::QString) {
        number = value.toString().trimmed().toDouble(&ok);
    } else {
        number = value.toDouble(&ok);
    }
    if (!ok || !std::isfinite(number) || std::fabs(number) > 9e15) {
        return std::nullopt;
    }
    return static_cast<qint64>(std::floor(number));
}

} // namespace

QString GetPrinterStatusText(qint64 status)
{
    if (status == 0) {
        return QStringLiteral("OK");
    }
    QString text;
    for (std::size_t bit = 0; bit < kPrinterStatusPhrases.size(); ++bit) {
        if (status & (qint64(1) << bit)) {
            text += QLatin1String(kPrinterStatusPhrases[bit]);
        }
    }
    return text;
}

QString GetExtendedPrinterStatusText(qint64 status)
{
    if (const char* text = extendedText(status)) {
        return QLatin1String(text);
    }
    return QString::number(status);
}

QVariant GetExtendedPrinterStatusText(const QVariant& status)
{
    if (const std::optional<qint64> value = wholeNumber(status)) {
        if (const char* text = extendedText(*value)) {
            return QString(QLatin1String(text));
        }
    }
    return status;
}

QString GetJobStatusText(qint64 mask)
{
    for (std::size_t bit = 0; bit < kJobStatusTexts.size(); ++bit) {
        if (mask == (qint64(1) << bit)) {
            return QLatin1String(kJobStatusTexts[bit]);
        }
    }
    return QStringLiteral("OK");
}

QString GetJobStatusText(const QVariant& mask)
{
    const std::optional<qint64> value = wholeNumber(mask);
    return value ? GetJobStatusText(*value) : QStringLiteral("OK");
}

int RandomBetween(int low, int high)
{
    static std::mutex guard;
    static std::mt19937 generator; // deliberately never seeded
    float r = 0;
    {
        const std::lock_guard<std::mutex> lock(guard);
        // 24 random bits give a single-precision value strictly below 1.
        r = static_cast<float>(generator() >> 8) * (1.0f / 16777216.0f);
    }
    // Computed in 64 bits, so no width can overflow; the result is kept inside the 32-bit range.
    const qint64 width = qint64(high) - qint64(low) + 1;
    const qint64 value =
        qint64(low) + static_cast<qint64>(std::floor(static_cast<double>(r) * static_cast<double>(width)));
    return static_cast<int>(
        std::clamp<qint64>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

} // namespace hlv
