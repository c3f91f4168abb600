#include "console/ui/SettingsRules.h"

#include <cmath>
#include <limits>

#include <QStringList>

#include "console/ui/ConsoleSettings.h"

namespace hlv {

PollRate checkPollRate(const QString& typedSeconds, double minSeconds, std::optional<double> maxSeconds)
{
    PollRate rate;
    const std::optional<double> seconds = typedNumber(typedSeconds);
    if (!seconds) {
        return rate;
    }
    const double milliseconds = *seconds * 1000;
    // The polling timer takes whole milliseconds in an int; a larger rate would never be
    // applied, so it is refused like any other rate that cannot be used.
    if (milliseconds > static_cast<double>(std::numeric_limits<int>::max())) {
        return rate;
    }
    if (*seconds < minSeconds || (maxSeconds && *seconds > *maxSeconds)) {
        rate.check = PollRateCheck::OutOfRange;
        return rate;
    }
    rate.check = PollRateCheck::Accepted;
    rate.milliseconds = milliseconds;
    return rate;
}

QString pollRateSecondsText(const QString& storedMilliseconds)
{
    const std::optional<double> milliseconds = storedNumber(storedMilliseconds);
    if (!milliseconds) {
        return QString();
    }
    return numberText(*milliseconds / 1000);
}

QuickActionEnabling quickActionEnabling(bool quickActionTicked)
{
    QuickActionEnabling enabling;
    enabling.jobActionEnabled = !quickActionTicked;
    enabling.hideAllEnabled = quickActionTicked;
    return enabling;
}

const QStringList& menuStyles()
{
    static const QStringList styles{QStringLiteral("Full Menu"), QStringLiteral("Classic Menu"),
                                    QStringLiteral("Simple Menu"), QStringLiteral("Help Menu"),
                                    QStringLiteral("No Menu")};
    return styles;
}

bool menuStyleHidesSettings(const QString& style)
{
    return style == QStringLiteral("Help Menu") || style == QStringLiteral("No Menu");
}

QString storedTagline(const QString& tagline)
{
    QString out;
    out.reserve(tagline.size());
    for (const QChar c : tagline) {
        if (c == QLatin1Char('\\')) {
            out += QStringLiteral("\\\\");
        } else if (c == QLatin1Char('\r')) {
            out += QStringLiteral("\\r");
        } else if (c == QLatin1Char('\n')) {
            out += QStringLiteral("\\n");
        } else {
            out += c;
        }
    }
    return out;
}

QString taglineFromStored(const QString& stored)
{
    QString out;
    out.reserve(stored.size());
    for (qsizetype i = 0; i < stored.size(); ++i) {
        const QChar c = stored.at(i);
        const QChar next = i + 1 < stored.size() ? stored.at(i + 1) : QChar();
        if (c == QLatin1Char('\\') &&
            (next == QLatin1Char('\\') || next == QLatin1Char('r') || next == QLatin1Char('n'))) {
            out += next == QLatin1Char('r') ? QLatin1Char('\r') : next == QLatin1Char('n') ? QLatin1Char('\n') : next;
            ++i;
        } else {
            out += c;
        }
    }
    return out;
}

} // namespace hlv
