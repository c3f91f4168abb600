#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QProcess>
#include <QString>

namespace hlv::test {

// Another program holding a job log locked: the sqlite3 tool takes the lock with the given
// statement, says so, and keeps it until release() commits and quits.
class SqliteLockHolder
{
public:
    // Starts the tool on path and waits until it holds the lock; false when it could not.
    bool lock(const QString& path, const QByteArray& begin = QByteArrayLiteral("BEGIN EXCLUSIVE;"))
    {
        m_tool.start(QStringLiteral("sqlite3"), {path});
        if (!m_tool.waitForStarted(10000)) {
            return false;
        }
        m_tool.write(begin + "\nSELECT COUNT(*) FROM HLV_Log;\nSELECT 'locked';\n");
        QByteArray said;
        const QDeadlineTimer deadline(10000);
        while (!said.contains("locked") && !deadline.hasExpired()) {
            m_tool.waitForReadyRead(100);
            said += m_tool.readAllStandardOutput();
        }
        return said.contains("locked");
    }

    // Commits whatever the tool did and ends it.
    bool release()
    {
        m_tool.write("COMMIT;\n.quit\n");
        m_tool.closeWriteChannel();
        return m_tool.waitForFinished(10000);
    }

    QProcess& tool() { return m_tool; }

private:
    QProcess m_tool;
};

} // namespace hlv::test
