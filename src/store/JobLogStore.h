#pragma once

#include <functional>
#include <memory>
#include <optional>

#include <QDateTime>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace hlv {

class Clock;
class Database;
class Environment;
class JobLogWriter;
class StoreHost;

namespace joblog {
struct JobEntry;
}

// Figures over the whole job log, left by ComputeLogStats for the statistics window.
struct LogStats
{
    double LogPrintedPages = 0; // printed pages of rows without deleted pages
    double LogDeletedPages = 0; // deleted pages of all rows
    double LogSaving = 0;       // percent of deleted pages among deleted + printed
    QDateTime LogStarted;       // earlier of the pass's moment and the earliest submit date
    QDateTime LogFinished;      // later of the pass's moment and the latest submit date
    double LogPagesManaged = 0; // pages of all rows
    qint64 LogJobsManaged = 0;  // every row of the log
    int LogServersManaged = 0;  // different servers, letter case ignored
    int LogQueuesManaged = 0;   // different queues, letter case ignored
    int LogUsersManaged = 0;    // different users, letter case ignored
};

// The job log database (hlv.mdb: the tables HLV_Log and HLV_Audit and the report views)
// and everything that reads or writes it: job rows under their TransactionID, audit
// records, the CSV export and the statistics pass.
//
// Every operation opens the file, does its work and closes it again, so the watch program
// can write the same file between operations, and a log file deleted between operations
// (archive and reset) is simply recreated from the template by the next one. A missing
// log file is always a copy of the template database that ships beside the programs; no
// code creates tables. Failures are reported by the return values and one line on stderr;
// callers that follow the "failed writes are skipped" rule ignore them.
//
// Writes go through a JobLogWriter: they are kept in order and written in one transaction
// per call, a job's row whole or not at all. A lock another program holds costs the
// window at most about a second per call (none while writes already wait behind it); the
// writes wait and a timer of the event loop writes them once the lock is gone. A write the
// disk refuses (full, failing) waits the same way until the disk takes it, and the operator
// is told through the write notice. Reads first write what waits, and give up on a lock
// after the same wait.
//
// Values are stored as text: an empty text leaves the field NULL. The audit table's Time
// is stored as local "yyyy-MM-dd HH:mm:ss" text (see storedTimeText), so that the views
// can select by day; turn it into general date text with displayTimeText before showing.
//
// Life cycle of the shared connection: closed -> OpenLogDatabase -> open -> CloseLogDatabase
// -> closed. Operations are not nested; while a caller holds it open (the reports), it may
// read database() but must not call the other operations until it has closed it.
class JobLogStore
{
public:
    // The 18 fields of HLV_Log, in table order.
    static const QStringList& jobFields();
    // The template beside the running program: applicationDirPath()/hlv.mdb.
    static QString defaultTemplatePath();

    JobLogStore(const Environment& env, const Clock& clock, const StoreHost& host,
                QString templatePath = defaultTemplatePath());
    ~JobLogStore();
    JobLogStore(const JobLogStore&) = delete;
    JobLogStore& operator=(const JobLogStore&) = delete;

    // The setting LogPath (or the application-data folder when it is empty) + "/hlv.mdb".
    QString logFilePath() const;
    QString templatePath() const { return m_templatePath; }
    // The TEMP folder + "/HLV_Log.csv", or that name in this account's private folder when
    // another account holds it in a shared TEMP folder.
    QString csvFilePath() const;

    // Creates the log from the template when it is missing (writing the new-log audit
    // records while Audit is on), then opens it. False when nothing could be opened.
    bool OpenLogDatabase();
    void CloseLogDatabase();
    // The open shared connection, or nullptr while closed.
    Database* database() const { return m_db.get(); }

    // Writes one field of the job's row (creating the row when the key is new) through its
    // own open and close. The field name is one of jobFields() (letter case ignored); the
    // value is turned into text by vbText. False when nothing was stored (yet: a write that
    // a lock holds back is kept and written later).
    bool LogJobField(const QString& transactionId, const QString& field, const QVariant& value);
    // Logs the jobs seen for the first time (the job list writers): each row is added, whole,
    // only when the log holds none for its key when the write gets through; all of them in
    // one open and one transaction. A job whose fields have no text is left out whole.
    void LogNewJobs(const QList<joblog::JobEntry>& jobs);
    // The same for a caller that must not wait (the job monitor's events): written now in
    // one transaction unless another program holds the log, else kept and written by the
    // writer's timer once the lock is gone.
    void QueueNewJobs(const QList<joblog::JobEntry>& jobs);
    // Writes the given fields of many jobs (rows made when the key is new), as LogJobField
    // would one by one, in one open and one transaction: an action on every job of a queue.
    void LogJobsFields(const QList<joblog::JobEntry>& jobs);
    // Which of the keys the log holds, in one look-up. A lock another program holds does
    // not count as a failure: the answer is then the empty set (LogNewJobs looks again when
    // it writes). Nothing when the log cannot be read.
    std::optional<QSet<QString>> LoggedJobs(const QStringList& keys);
    // Writes still waiting for a lock another program holds or for the disk.
    int pendingWrites() const;
    // Job rows and audit records given up since the store was made (refused by the log, or
    // dropped from a full queue of waiting writes); each was told on stderr.
    int lostWrites() const;
    // The inner step of LogJobField, on the connection the caller has opened.
    bool SetJobField(const QString& transactionId, const QString& field, const QVariant& value);
    // True when a row with this key exists. When the log cannot be read the answer is false
    // and *failed (when given) is set, so a caller can tell "not logged" from "unknown".
    bool IsJobLogged(const QString& transactionId, bool* failed = nullptr);

    // Appends an audit record (time, action, description, user, computer) while the
    // setting Audit is on; does nothing at all, not even create the log, while it is off.
    bool WriteAudit(const QString& action, const QVariant& description);
    // Appends many audit records (action, description), in order, in one transaction.
    void WriteAudits(const QList<std::pair<QString, QString>>& records);

    // Writes every job row to csvFilePath() (header, one line per row, a last empty line;
    // CR LF line ends). Cells holding a comma, a double quote or a line break are quoted.
    // The file is replaced whole; a log that cannot be read gives the header alone. False
    // when the log could not be read or the file not written; in the latter case alone
    // *writeError gets why (the old file then stays).
    bool ExportLogToCsv(QString* writeError = nullptr);

    // One pass over the job log; afterwards stats() holds the figures. On a log that cannot
    // be read the figures keep their reset values and the result is false.
    bool ComputeLogStats();
    const LogStats& stats() const { return m_stats; }

    // How long an operation waits at most for a lock another program holds on the file
    // (within the window's wait of about a second; queued writes are retried after it).
    void setBusyTimeoutMs(int ms);
    // Called after each job row was written into the open transaction (progress, tests).
    void setAfterJobWritten(std::function<void(const QString&)> hook);
    // Where the operator is told that writes wait for a full or failing disk, got through
    // again, or were dropped (see JobLogWriter).
    void setWriteNotice(std::function<void(const QString&)> notice);
    JobLogWriter& writer() { return *m_writer; }

    // The stored form of the audit table's Time, and its display form (general date text;
    // a text that is not in the stored form is given back unchanged).
    static QString storedTimeText(const QDateTime& value);
    static QString displayTimeText(const QString& stored);

private:
    bool createFromTemplate(const QString& path, QString* error);
    // The log's path, made from the template (with the new-log audit records) when missing.
    QString prepareLog(QString* error);
    bool openForCaller(bool* locked = nullptr);
    bool queueJob(const QString& transactionId, const QList<std::pair<QString, QVariant>>& fields, bool onlyIfNew,
                  quint64* ticket);
    void logJobs(const QList<joblog::JobEntry>& jobs, bool onlyIfNew);

    const Environment& m_env;
    const Clock& m_clock;
    const StoreHost& m_host;
    QString m_templatePath;
    std::unique_ptr<Database> m_db;
    LogStats m_stats;
    bool m_creating = false;
    int m_lostCreationRecords = 0;
    std::unique_ptr<JobLogWriter> m_writer;
};

// The text with every occurrence of each of the given characters removed, one character
// after another, case-sensitive.
QString StripChars(const QString& text, const QString& chars);

} // namespace hlv
