#pragma once

#include <optional>

#include <QDateTime>
#include <QString>

namespace hlv {

// The operator's settings while the console runs, one variable per key of hlv.ini and
// named after it. LoadSettings fills them once, SaveSettings writes them once; in between
// only the settings dialog and the feature that owns a key change them. Keys that are only
// carried (never interpreted on the way) stay the text read from the file, so a key that
// nobody touched is written back exactly as it was read.
struct ConsoleSettings
{
    QString Server;
    QString Queue;
    QString AutoQueue;
    QString TimedRelease;
    QString TimedReleaseTime;
    QString TimedReleaseAction;
    QString DisplaySizeWidth;  // twips
    QString DisplaySizeHeight; // twips
    QString ColumnWidths;      // 11 twips values joined by ","
    QString ColumnPositions;   // 11 one-based display positions joined by ","
    QString ShowErrors;
    QString ShowServerView;
    QString StartMax;
    QString Company;
    QString Tagline;
    bool QAHideAllButtons = false;
    QString ShowUpdates;
    QString FavouritesPanel;
    QString ShowNetwork;
    QString ShowQueueInfo;
    QString ShowQueueControl;
    QString ShowSearch;
    QString ShowStatusBar;
    QString PollNorm;     // milliseconds
    QString PollAQ;       // milliseconds
    QString PollAQactive; // milliseconds
    int QuickAction = 0;
    QString JobAction;
    QString Exceptions;
    QString ReportPath;
    QString LogPath;
    QString SimpleView;
    bool Audit = false;
    QDateTime ResetTotal;
    QString ResetTotalStored; // the stored text when it did not read as a date; kept as is
};

namespace SettingsDefaults {
inline const QString kColumnWidths = QStringLiteral("1200,3000,1800,1200,800,800,700,1300,2500,800,1800");
inline const QString kColumnPositions = QStringLiteral("1,2,3,4,5,6,7,8,9,10,11");
inline const QString kCompany = QStringLiteral("Halvern");
inline const QString kTagline =
    QStringLiteral("Save money and the environment by reducing paper and ink usage through better print management.");
inline const QString kPollNorm = QStringLiteral("10000");
inline const QString kPollAQ = QStringLiteral("6000");
inline const QString kPollAQactive = QStringLiteral("10");
} // namespace SettingsDefaults

// A Boolean as the console reads it from a settings text: "True" or "False" in any letter
// case, or a number (non-zero is true). Anything else, the empty text included, is
// unreadable (nullopt); each caller decides what unreadable means for its feature.
std::optional<bool> readBoolean(const QString& text);
// True unless the text reads as false: the rule for features that are on by default.
inline bool onUnlessFalse(const QString& text)
{
    return readBoolean(text).value_or(true);
}
// The whole-number part of a text that is a number; nullopt when it is no number at all.
std::optional<int> wholeNumber(const QString& text);
// A number typed with the system's decimal separator (or "."); nullopt when it is none or
// is not finite.
std::optional<double> typedNumber(const QString& text);
// A number as the operator reads it: decimal, with the system's decimal separator.
QString numberText(double value);
// A number as the settings file stores it: decimal with a "." whatever the locale, so a
// file reads the same under every locale ("12.75").
QString storedNumberText(double value);
// A number read from the settings file: the stored form, or the form with the locale's
// decimal separator that earlier versions wrote ("12,75"). nullopt when it is none.
std::optional<double> storedNumber(const QString& text);

} // namespace hlv
