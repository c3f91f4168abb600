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
//   temp:         TEMP, else TMPDIR, else a private folder of this account, made on
//                 first use with mode 0700: /tmp/halvern-<uid> (see privateTempFolder)
//   userName:     USERNAME, else the login name
//   computerName: COMPUTERNAME, else the host name
// The settings folder is named, not created: writers create it when they need it.
class SystemEnvironment final : public Environment
{
public:
    QString appData() const override;
    QString temp() const override;
    QString userName() const override;
    QString computerName() const override;
};

// The account the process runs as (its effective user), whatever USERNAME says: the name
// for decisions about rights, such as the administrator test.
QString processAccountName();

// A folder of the process's account that no other account can read or write: below base,
// "halvern-" & the effective user id, created with mode 0700. A folder of that name that is
// not a plain folder owned by the account with no rights for others is not used; a fresh
// private folder (base/halvern-<uid>-XXXXXX) is made instead. Empty when none can be made.
QString privateTempFolder(const QString& base = QStringLiteral("/tmp"));

} // namespace hlv
