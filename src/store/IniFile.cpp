#include "IniFile.h"

#include <QDebug>
#include <QDir>
#include <QFileInfo>

#include "platform/Environment.h"
#include "platform/PrivateProfile.h"
#include "store/TextConversion.h"

namespace hlv {

IniFile::IniFile(const Environment& env, QString fileName)
    : m_env(env)
    , m_fileName(std::move(fileName))
{}

QString IniFile::path() const
{
    return m_env.appData() + QLatin1Char('/') + m_fileName;
}

QString IniFile::ReadIni(const QString& section, const QString& key) const
{
    return readPrivateProfileString(path(), section, key);
}

bool IniFile::WriteIni(const QString& section, const QString& key, const QVariant& value) const
{
    const QString file = path();
    const std::optional<QString> text = vbText(value);
    if (!text) {
        qWarning().noquote() << "hlv: settings: no text for" << section << key << "- not written";
        return false;
    }
    // The application-data folder of a fresh account may not exist yet.
    const QString folder = QFileInfo(file).absolutePath();
    if (!QDir().mkpath(folder)) {
        qWarning().noquote() << "hlv: settings: cannot create folder" << folder;
        return false;
    }
    if (!writePrivateProfileString(file, section, key, *text)) {
        qWarning().noquote() << "hlv: settings: cannot write" << section << key << "to" << file;
        return false;
    }
    return true;
}

double readLogCounter(const IniFile& ini, const QString& key)
{
    return leadingNumber(ini.ReadIni(QString::fromLatin1(kLogCountersSection), key));
}

bool addToLogCounter(const IniFile& ini, const QString& key, double pages)
{
    return ini.WriteIni(QString::fromLatin1(kLogCountersSection), key, readLogCounter(ini, key) + pages);
}

} // namespace hlv
