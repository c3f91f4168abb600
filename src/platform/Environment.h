#pragma once

#include <QString>

namespace hlv {

// The per-user folders and names the programs take from the environment: where the
// settings file and the default job log live, where exported files go, and who is acting
// on which computer (written into the job log and the audit records).
class Environment
{
public:
    virtual ~Environment() = default;
    // Folder of the per-user settings files and of the default job log. Paths use "/".
    virtual QString appData() const = 0;
    // Folder of temporary output (reports, the CSV export).
    virtual QString temp() const = 0;
    virtual QString userName() const = 0;
    virtual QString computerName() const = 0;
};

// Reads the process environment on every call, so a changed variable takes effect at once:
//   appData:      APPDATA, else $XDG_CONFIG_HOME/Halvern, else ~/.config/Halvern
//   temp:         TEMP, else TMPDIR, else /tmp
//   userName:     USERNAME, else the login name
//   computerName: COMPUTERNAME, else the host name
// The folders are named, not created: writers create the settings folder when they need it.
class SystemEnvironment final : public Environment
{
public:
    QString appData() const override;
    QString temp() const override;
    QString userName() const override;
    QString computerName() const override;
};

} // namespace hlv
