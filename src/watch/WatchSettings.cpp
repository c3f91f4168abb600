#include "watch/WatchSettings.h"

#include "store/IniFile.h"

namespace hlv {

namespace {

QString section()
{
    return QString::fromLatin1(kWatchSettingsSection);
}

void loadCaption(const IniPass& ini, const char* key, const char* unsetWord, WatchMenuValue& menu)
{
    const QString unset = QString::fromLatin1(unsetWord);
    const QString value = ini.ReadIni(section(), QString::fromLatin1(key));
    menu.caption = value.isEmpty() ? unset : value;
    if (menu.caption != unset) {
        menu.checked = true;
    }
}

bool loadFlag(const IniPass& ini, const char* key)
{
    return ini.ReadIni(section(), QString::fromLatin1(key)) == QLatin1String("True");
}

} // namespace

void SaveWatchSettings(const IniFile& file, const WatchSettingsState& s)
{
    // Each write stands alone: one that fails does not keep the others from being written.
    // The file is written once, after the last.
    IniPass ini(file);
    const auto write = [&ini](const char* key, const QVariant& value) {
        ini.WriteIni(section(), QString::fromLatin1(key), value);
    };
    write("MailServer", s.mailServer.caption);
    write("MailFrom", s.mailFrom.caption);
    write("MailTo", s.mailTo.caption);
    write("MessageComputer", s.messageComputer.caption);
    write("HLVDatabase", s.hlvDatabase.caption);
    write("StartMinimised", s.startMinimised);
    write("StartWatching", s.startWatching);
    write("Server", s.server);
    write("WatchJobs", s.watchJobs);
    write("JobsCSVfile", s.jobsCsvFile.caption);
    write("JobsPopupError", s.jobsPopupError);
    write("JobsEmailError", s.jobsEmailError);
    write("JobDatabase", s.jobDatabase);
    ini.commit();
}

void LoadWatchSettings(const IniFile& file, WatchSettingsState& s)
{
    // One read of the file for all the keys.
    const IniPass ini(file);
    loadCaption(ini, "MailServer", WatchUnset::kMailServer, s.mailServer);
    loadCaption(ini, "MailFrom", WatchUnset::kMailFrom, s.mailFrom);
    loadCaption(ini, "MailTo", WatchUnset::kMailTo, s.mailTo);
    loadCaption(ini, "MessageComputer", WatchUnset::kComputer, s.messageComputer);
    loadCaption(ini, "HLVDatabase", WatchUnset::kHlvDatabase, s.hlvDatabase);
    s.startMinimised = loadFlag(ini, "StartMinimised");
    s.startWatching = loadFlag(ini, "StartWatching");
    const QString server = ini.ReadIni(section(), QStringLiteral("Server"));
    if (!server.isEmpty()) {
        s.server = server;
    }
    s.watchJobs = loadFlag(ini, "WatchJobs");
    loadCaption(ini, "JobsCSVfile", WatchUnset::kJobsCsvFile, s.jobsCsvFile);
    s.jobsPopupError = loadFlag(ini, "JobsPopupError");
    s.jobsEmailError = loadFlag(ini, "JobsEmailError");
    s.jobDatabase = loadFlag(ini, "JobDatabase");
}

} // namespace hlv
