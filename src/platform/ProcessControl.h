#pragma once

#include <QList>
#include <QString>

namespace hlv {

// A running process as the system lists it.
struct ProcessEntry
{
    qint64 pid = 0;
    QString name; // the executable's file name (without folder)
    qint64 uid = -1;
};

// Lists the processes of the computer and ends one of them. The programs use it only to
// end job monitor servers they started themselves.
class ProcessControl
{
public:
    virtual ~ProcessControl() = default;
    // Every process that can be seen, in the system's order; false when they cannot be listed.
    virtual bool listProcesses(QList<ProcessEntry>& out) = 0;
    // Asks the process to end (SIGTERM); false when the request could not be delivered.
    virtual bool terminate(qint64 pid) = 0;
    // The user this program runs as.
    virtual qint64 currentUid() const = 0;
};

// The processes of this Linux computer, read from /proc.
class LinuxProcessControl final : public ProcessControl
{
public:
    explicit LinuxProcessControl(QString procRoot = QStringLiteral("/proc"));

    bool listProcesses(QList<ProcessEntry>& out) override;
    bool terminate(qint64 pid) override;
    qint64 currentUid() const override;

    // The name a process goes by: the file name of its executable, else of its first
    // argument, else its kernel name (which is cut to 15 characters).
    static QString processName(const QString& procDir);

private:
    QString m_procRoot;
};

} // namespace hlv
