#pragma once

#include <memory>

#include <QString>
#include <QVariant>

namespace hlv {

class Environment;
class PrivateProfile;

// One per-user settings file in the application-data folder: hlv.ini for the console,
// hlvw.ini for the watch program. The path is built anew on every call and the file is
// never held open.
class IniFile
{
public:
    static constexpr const char* kConsoleFileName = "hlv.ini";
    static constexpr const char* kWatchFileName = "hlvw.ini";

    explicit IniFile(const Environment& env, QString fileName = QString::fromLatin1(kConsoleFileName));

    // The application-data folder followed by "/" and the file name.
    QString path() const;

    // The stored value, or the empty text when the file, the section or the key is missing
    // (which every caller treats as "not set"). Values longer than 1,023 characters come
    // back cut to 1,023.
    QString ReadIni(const QString& section, const QString& key) const;

    // Stores the value's text (see vbText: true -> "True", 3 -> "3", a date-time -> its
    // general text), creating folder, file, section and key as needed. The file is replaced
    // atomically. Returns false, after a line on stderr, when nothing was written (absent
    // value, unwritable folder, ...); callers that follow the settings rules ignore it.
    bool WriteIni(const QString& section, const QString& key, const QVariant& value) const;

private:
    const Environment& m_env;
    QString m_fileName;
};

// One load or save pass over a settings file (LoadSettings, SaveSettings, the watch
// program's settings): ReadIni and WriteIni as IniFile gives them, each read seeing the
// writes before it, with the file read once, on first use, and written once, by commit().
class IniPass
{
public:
    explicit IniPass(const IniFile& ini);
    ~IniPass();
    IniPass(const IniPass&) = delete;
    IniPass& operator=(const IniPass&) = delete;

    QString ReadIni(const QString& section, const QString& key) const;
    // False, after a line on stderr, for a value without text or a refused name.
    bool WriteIni(const QString& section, const QString& key, const QVariant& value);
    // Writes the file when a write changed it, creating the folder as needed. False, after
    // a line on stderr, when it could not.
    bool commit();

private:
    std::unique_ptr<PrivateProfile> m_profile;
};

// The workstation's running page totals, kept in the settings file so that they survive a
// reset of the job log.
inline constexpr const char* kLogCountersSection = "Log Counters";
inline constexpr const char* kDeletedCounterKey = "DeletedCounter";
inline constexpr const char* kPrintedCounterKey = "PrintedCounter";

// Reads a counter of the "Log Counters" section by the leading-number rule (missing, empty
// or non-numeric text counts as 0).
double readLogCounter(const IniFile& ini, const QString& key);
// Adds pages to a counter of the "Log Counters" section and writes the sum back.
bool addToLogCounter(const IniFile& ini, const QString& key, double pages);

} // namespace hlv
