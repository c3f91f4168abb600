#include "console/ui/AutoRelease.h"

#include <QRegularExpression>

namespace hlv {

QString comparedTimeText(const QTime& time)
{
    return QString::number(time.hour()) + QLatin1Char(':') + QString::number(time.minute());
}

std::optional<QTime> parseTimeOfDay(const QString& text)
{
    // Hour, then optional minutes and seconds, then an optional AM/PM marker with or
    // without dots and blank. A bare hour is a time only with its marker ("5 PM").
    static const QRegularExpression pattern(
        QStringLiteral("^\\s*(\\d{1,2})(?::(\\d{1,2})(?::(\\d{1,2}))?)?\\s*(?:([AaPp])\\.?\\s*[Mm]\\.?)?\\s*$"));
    const auto match = pattern.match(text);
    if (!match.hasMatch()) {
        return std::nullopt;
    }
    const bool hasMinutes = match.capturedLength(2) > 0;
    const bool hasMarker = match.capturedLength(4) > 0;
    if (!hasMinutes && !hasMarker) {
        return std::nullopt;
    }
    int hour = match.captured(1).toInt();
    const int minute = hasMinutes ? match.captured(2).toInt() : 0;
    const int second = match.capturedLength(3) > 0 ? match.captured(3).toInt() : 0;
    if (minute > 59 || second > 59) {
        return std::nullopt;
    }
    if (hasMarker) {
        if (hour > 12) {
            return std::nullopt;
        }
        const bool pm = match.captured(4).compare(QLatin1String("p"), Qt::CaseInsensitive) == 0;
        if (hour == 12) {
            hour = pm ? 12 : 0;
        } else if (pm) {
            hour += 12;
        }
    } else if (hour > 23) {
        return std::nullopt;
    }
    return QTime(hour, minute, second);
}

std::optional<QString> comparedTimeText(const QString& typed)
{
    const auto time = parseTimeOfDay(typed);
    if (!time) {
        return std::nullopt;
    }
    return comparedTimeText(*time);
}

std::optional<TimedAction> timedActionDue(const TimedReleaseState& state, const QTime& now)
{
    if (!state.checked || !state.enabled) {
        return TimedAction::None;
    }
    const auto set = comparedTimeText(state.setTime);
    if (!set) {
        return std::nullopt;
    }
    if (*set != comparedTimeText(now)) {
        return TimedAction::None;
    }
    if (state.printSelected) {
        return TimedAction::ResumeAll;
    }
    if (state.deleteSelected) {
        return TimedAction::Purge;
    }
    return TimedAction::None;
}

bool takesPartInActivation(const FavouriteSlot& slot)
{
    return slot.enabled && slot.visible && slot.checked;
}

int dueFavourite(const QList<FavouriteSlot>& entries, const QTime& now)
{
    const QString nowText = comparedTimeText(now);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const FavouriteSlot& slot = entries[i];
        if (takesPartInActivation(slot) &&
            comparedTimeText(slot.caption.split(QStringLiteral(" | ")).value(5)) == nowText) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

} // namespace hlv
