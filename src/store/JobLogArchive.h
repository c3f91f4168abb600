#pragma once

#include <functional>

#include <QDateTime>
#include <QString>

namespace hlv {

class Clock;
class Database;
class Dialogs;
class JobLogStore;

// The archive copy's file name for a moment: year, the month's full name in the system's
// language, day, then hour and minute run together, each part joined by "-" and followed
// by "-hlv.mdb"; no leading zeros ("2024-March-5-95-hlv.mdb" for 9:05 on 5 March 2024).
// Two moments may give one name (1:15 and 11:05 of a day both end in "-115-hlv.mdb").
QString archiveFileName(const QDateTime& when);
// The name for the n-th archive of one name (n from 1): the name itself for the first, then
// "-2", "-3", ... before ".mdb" ("2024-March-5-95-hlv-2.mdb"), which no first name ends in.
QString archiveFileName(const QDateTime& when, int n);

// Empties the job log and the audit log in one stroke by deleting the log file, after
// offering to keep a dated copy of it beside the log. The next store operation creates a
// fresh log from the template.
//
// Steps: ask whether to archive; on Yes copy the log to archiveFileName(now) in the same
// folder, never over an existing archive (a taken name gets the next free suffix); delete
// the log and its journal; refresh the job lists, which records the jobs listed into the
// fresh log. The log is taken under an exclusive lock from before the copy until it is
// deleted, and the copy is read through that same connection, so no write of the watch
// program lands in the old file after the copy. A log that is not a database at all is
// archived byte for byte and deleted, as the reset is the cure for it. Any failure (the
// copy refused, the log in use, read-only or not deletable) shows "Error deleting log file
// - Check permissions" and ends the reset: the log stays, an archive already made stays
// (a read-only log is archived first), and the job lists are not refreshed.
class JobLogArchive
{
public:
    JobLogArchive(JobLogStore& store, Dialogs& dialogs, const Clock& clock);

    // refreshJobLists: re-reads the main window's job lists (current server and queue).
    // Returns true when the log was reset (or there was none to delete).
    bool ResetLogDatabase(const std::function<void()>& refreshJobLists);

    // How long the reset waits for another program's hold on the log before giving up.
    void setLockTimeoutMs(int ms) { m_lockTimeoutMs = ms; }
    // Runs after the archive is made and before the log is deleted, with the lock held.
    void setBeforeDelete(std::function<void()> pause) { m_beforeDelete = std::move(pause); }

    static QString questionText();                      // "Do you want to archive a copy of the database?"
    static QString failureText();                       // "Error deleting log file - Check permissions"
    static QString journalPath(const QString& logPath); // the log's rollback journal

private:
    bool resetFile(const QString& path, bool archive);
    static bool writeArchive(const QString& folder, const QDateTime& now, const std::function<bool(int)>& fill);
    static bool archiveDatabase(Database& log, const QString& folder, const QDateTime& now);
    static bool archiveBytes(const QString& path, const QString& folder, const QDateTime& now);

    JobLogStore& m_store;
    Dialogs& m_dialogs;
    const Clock& m_clock;
    int m_lockTimeoutMs = 3000;
    std::function<void()> m_beforeDelete;
};

} // namespace hlv
