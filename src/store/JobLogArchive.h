#pragma once

#include <functional>

#include <QDateTime>
#include <QString>

namespace hlv {

class Clock;
class Dialogs;
class JobLogStore;

// The archive copy's file name for a moment: year, the month's full name in the system's
// language, day, then hour and minute run together, each part joined by "-" and followed
// by "-hlv.mdb"; no leading zeros ("2024-March-5-95-hlv.mdb" for 9:05 on 5 March 2024).
// Two moments may give one name (1:15 and 11:05 of a day both end in "-115-hlv.mdb").
QString archiveFileName(const QDateTime& when);

// Empties the job log and the audit log in one stroke by deleting the log file, after
// offering to keep a dated copy of it beside the log. The next store operation creates a
// fresh log from the template.
//
// Steps: ask whether to archive; on Yes copy the log to archiveFileName(now) in the same
// folder (replacing an archive of that name); delete the log and its journal; refresh the
// job lists, which records the jobs listed into the fresh log. The log is taken under an
// exclusive lock for the copy and the delete, so it is neither copied halfway through a
// write of the watch program nor deleted under it. Any failure (the copy refused, the log
// in use or read-only, the delete refused) shows "Error deleting log file - Check
// permissions" and ends the reset: the log stays, an archive already made stays, and the
// job lists are not refreshed.
class JobLogArchive
{
public:
    JobLogArchive(JobLogStore& store, Dialogs& dialogs, const Clock& clock);

    // refreshJobLists: re-reads the main window's job lists (current server and queue).
    // Returns true when the log was reset (or there was none to delete).
    bool ResetLogDatabase(const std::function<void()>& refreshJobLists);

    // How long the reset waits for another program's hold on the log before giving up.
    void setLockTimeoutMs(int ms) { m_lockTimeoutMs = ms; }

    static QString questionText();                      // "Do you want to archive a copy of the database?"
    static QString failureText();                       // "Error deleting log file - Check permissions"
    static QString journalPath(const QString& logPath); // the log's rollback journal

private:
    bool resetFile(const QString& path, bool archive);

    JobLogStore& m_store;
    Dialogs& m_dialogs;
    const Clock& m_clock;
    int m_lockTimeoutMs = 3000;
};

} // namespace hlv
