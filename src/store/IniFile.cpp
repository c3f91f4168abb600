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
    return IniPass(*this).ReadIni(section, key);
}

bool IniFile::WriteIni(const QString& section, const QString& key, const QVariant& value) const
{
    IniPass pass(*this);
    return pass.WriteIni(section, key, value) && pass.commit();
}

IniPass::IniPass(const IniFile& ini)
    : m_profile(std::make_unique<PrivateProfile>(ini.path()))
{}

IniPass::~IniPass() = default;

QString IniPass::ReadIni(const QString& section, const QString& key) const
{
    return m_profile->read(section, key);
}

bool IniPass::WriteIni(const QString& section, const QString& key, const QVariant& value)
{
    const std::optional<QString> text = vbText(value);
    if (!text) {
        qWarning().noquote() << "hlv: settings: no text for" << section << key << "- not written";
        return false;
    }
    if (!m_profile->write(section, key, *text)) {
        qWarning().noquote() << "hlv: settings: cannot write" << section << key << "to" << m_profile->path();
        return false;
    }
    return true;
}

bool IniPass::commit()
{
    // The application-data folder of a fresh account may not exist yet.
    const QString folder = QFileInfo(m_profile->path()).absolutePath();
    if (!QDir().mkpath(folder)) {
        qWarning().noquote() << "hlv: settings: cannot create folder" << folder;
        return false;
    }
    if (!m_profile->commit()) {
        qWarning().noquote() << "hlv: settings:" << m_profile->errorString();
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
