#pragma once

#include <functional>
#include <memory>

#include <QList>
#include <QString>
#include <QVariant>

namespace hlv {

class Database;
class JobLogWriter;

namespace joblog {
struct JobEntry;
}

// The watch program's job log procedures: the same table HLV_Log and the same rules as the
// console's job log (a row added for a new key, a job's row written whole or not at all,
// keys bound as parameters, writes kept in order and retried while another program holds
// the file locked or its disk is full, see JobLogWriter), but the file is wherever the operator chose it with
// the Database menu, under any name, and no audit record is ever written. A missing file
// is a copy of the template job log that ships beside the programs.
class WatchJobLog
{
public:
    // databasePath is asked on every open, so a changed menu points the next write elsewhere.
    WatchJobLog(std::function<QString()> databasePath, QString templatePath);
    ~WatchJobLog();
    WatchJobLog(const WatchJobLog&) = delete;
    WatchJobLog& operator=(const WatchJobLog&) = delete;

    // Copies the template to the chosen path when no file is there, then opens the file.
    // False when nothing could be opened.
    bool OpenLogDatabase();
    void CloseLogDatabase();
    // One field of the job's row, through its own open and close. False when not stored
    // (yet: a write that a lock holds back is kept and written later).
    bool LogJobField(const QString& transactionId, const QString& field, const QVariant& value);
    // Logs a job seen for the first time: its row is added, whole, only when the log holds
    // none for the key when the write gets through. False when not stored (yet).
    bool LogNewJob(const joblog::JobEntry& job);
    // The inner step of LogJobField, on the connection the caller has opened.
    bool SetJobField(const QString& transactionId, const QString& field, const QVariant& value);
    // Whether a row with the key exists; *failed (when given) tells an unreadable log.
    bool IsJobLogged(const QString& transactionId, bool* failed = nullptr);
    // Writes still waiting for a lock another program holds or for the disk.
    int pendingWrites() const;
    // Where the operator is told that writes wait for a full or failing disk, got through
    // again, or were dropped (see JobLogWriter).
    void setWriteNotice(std::function<void(const QString&)> notice);
    // Whether writes wait for the disk (full or failing).
    bool waitingForDisk() const;

    void setBusyTimeoutMs(int ms);
    QString templatePath() const { return m_templatePath; }

private:
    QString prepareLog(QString* error) const;
    bool queue(const QString& transactionId, const QList<std::pair<QString, QVariant>>& fields, bool onlyIfNew);

    std::function<QString()> m_databasePath;
    QString m_templatePath;
    std::unique_ptr<Database> m_db;
    std::unique_ptr<JobLogWriter> m_writer;
};

} // namespace hlv
