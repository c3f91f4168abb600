#pragma once

#include <functional>
#include <memory>

#include <QString>
#include <QVariant>

namespace hlv {

class Database;

// The watch program's job log procedures: the same table HLV_Log and the same rules as the
// console's job log (one field per open and close, a row added for a new key, keys bound as
// parameters, a wait for a lock another program holds), but the file is wherever the
// operator chose it with the Database menu, under any name, and no audit record is ever
// written. A missing file is a copy of the template job log that ships beside the programs.
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
    // One field of the job's row, through its own open and close. False when not stored.
    bool LogJobField(const QString& transactionId, const QString& field, const QVariant& value);
    // The inner step of LogJobField, on the connection the caller has opened.
    bool SetJobField(const QString& transactionId, const QString& field, const QVariant& value);
    // Whether a row with the key exists; *failed (when given) tells an unreadable log.
    bool IsJobLogged(const QString& transactionId, bool* failed = nullptr);

    void setBusyTimeoutMs(int ms) { m_busyTimeoutMs = ms; }
    QString templatePath() const { return m_templatePath; }

private:
    bool copyTemplate(const QString& path) const;

    std::function<QString()> m_databasePath;
    QString m_templatePath;
    std::unique_ptr<Database> m_db;
    int m_busyTimeoutMs;
};

} // namespace hlv
