#include "store/JobLogWriter.h"

#include <QDebug>
#include <QFileInfo>
#include <sqlite3.h>

#include "platform/Database.h"
#include "store/JobLogTable.h"
#include "store/SubmitDates.h"

namespace hlv {

namespace {

// The longest wait for a lock within one call on the window's thread.
constexpr int kWindowWaitMs = 1000;
// After a lock stopped an operation, calls do not wait for this long.
constexpr int kQuietMs = 1000;
// How often queued writes are tried again while a lock keeps them out, and how long each
// try may wait.
constexpr int kRetryIntervalMs = 250;
constexpr int kRetryWaitMs = 20;
// How often queued writes are tried again while the log's disk is full or failing: each try
// writes into the file until the disk refuses, so it is not done as often as behind a lock.
constexpr int kSpaceRetryIntervalMs = 2000;

// A reset may delete or replace the log between the open and the commit of a write. The
// connection then still holds the old file, which SQLite refuses to write once it is gone
// ("attempt to write a readonly database"). How often a write starts again on the log now
// at the path before it waits for the retry timer.
constexpr int kMaxRounds = 4;

// Whether the file the connection has open is no longer the one at the path: SQLite keeps
// the identity (inode) its open descriptor had (fstat) and compares the path's with it.
bool replacedUnder(Database& db)
{
    int moved = 0;
    return sqlite3_file_control(db.handle(), "main", SQLITE_FCNTL_HAS_MOVED, &moved) == SQLITE_OK && moved != 0;
}

// Records the date order of the forms of the submit times among a job's fields.
void recordDateForms(Database& db, const JobLogWriter::Fields& fields, QSet<QString>& recorded)
{
    for (const auto& [field, text] : fields) {
        if (text.isEmpty() || field != QLatin1String("Time Submitted")) {
            continue;
        }
        const QString form = joblog::dateForm(text);
        if (!recorded.contains(form) && joblog::recordDateForm(db, text)) {
            recorded.insert(form);
        }
    }
}

bool refusedAsMoved(const Database& db)
{
    return sqlite3_extended_errcode(db.handle()) == SQLITE_READONLY_DBMOVED;
}

// Whether the log's disk, not the write, failed: full, an input/output error or a file that
// cannot be opened now. Such a write is kept and tried again.
bool diskFailed(const Database& db)
{
    const int code = sqlite3_extended_errcode(db.handle()) & 0xff;
    return code == SQLITE_FULL || code == SQLITE_IOERR || code == SQLITE_CANTOPEN;
}

} // namespace

JobLogWriter::JobLogWriter(QString programTag, Prepare prepare)
    : m_tag(std::move(programTag))
    , m_prepare(std::move(prepare))
    , m_waitUntil(0)
    , m_quietUntil(0)
    , m_busyTimeoutMs(Database::kDefaultBusyTimeoutMs)
{
    m_retry.setInterval(kRetryIntervalMs);
    QObject::connect(&m_retry, &QTimer::timeout, [this] {
        m_waitUntil = QDeadlineTimer(kRetryWaitMs);
        m_retrying = true;
        flush();
        m_retrying = false;
    });
}

JobLogWriter::~JobLogWriter()
{
    m_retry.stop();
    if (m_queue.empty()) {
        return;
    }
    // The program is ending (its window is gone): the queued writes get one last wait of
    // the busy timeout.
    m_waitUntil = QDeadlineTimer(m_busyTimeoutMs);
    m_flushing = true;
    writeQueued(static_cast<int>(m_queue.size()));
    if (!m_queue.empty()) {
        warn(QStringLiteral("%1 writes lost at exit: %2")
                 .arg(m_queue.size())
                 .arg(m_diskTrouble.isEmpty() ? QStringLiteral("the log stayed locked") : m_diskTrouble));
    }
}

void JobLogWriter::warn(const QString& text) const
{
    qWarning().noquote() << m_tag + QStringLiteral(": job log:") << text;
}

void JobLogWriter::tell(const QString& text) const
{
    warn(text);
    if (m_notice) {
        m_notice(text);
    }
}

void JobLogWriter::keepWithinBound()
{
    // While a flush writes the queue's front it stays as it is; the bound is kept at the
    // next write queued.
    while (!m_flushing && m_queue.size() > static_cast<size_t>(m_maxQueued)) {
        popFront(false);
        ++m_droppedUntold;
    }
}

void JobLogWriter::tellDropped()
{
    if (m_droppedUntold == 0) {
        return;
    }
    tell(QStringLiteral("%1 writes dropped: more than %2 waited to be written").arg(m_droppedUntold).arg(m_maxQueued));
    m_droppedUntold = 0;
}

quint64 JobLogWriter::queueJob(const QString& transactionId, Fields fields, bool onlyIfNew)
{
    if (onlyIfNew) {
        // A job seen again while its first sighting still waits adds nothing: the first
        // one makes the row, so repeated retrievals behind a lock do not pile up.
        if (m_queuedNew.contains(transactionId)) {
            return 0;
        }
        m_queuedNew.insert(transactionId);
    }
    Pending pending;
    pending.ticket = m_nextTicket++;
    pending.key = transactionId;
    pending.fields = std::move(fields);
    pending.onlyIfNew = onlyIfNew;
    m_queue.push_back(std::move(pending));
    const quint64 ticket = m_queue.back().ticket;
    keepWithinBound();
    return ticket;
}

quint64 JobLogWriter::queueStatement(const QString& what, const QString& sql, const QVariantList& binds)
{
    Pending pending;
    pending.ticket = m_nextTicket++;
    pending.what = what;
    pending.sql = sql;
    pending.binds = binds;
    m_queue.push_back(std::move(pending));
    const quint64 ticket = m_queue.back().ticket;
    keepWithinBound();
    return ticket;
}

void JobLogWriter::startWait()
{
    const bool quiet = m_retry.isActive() || !m_quietUntil.hasExpired();
    m_waitUntil = QDeadlineTimer(quiet ? 0 : qMin(m_busyTimeoutMs, kWindowWaitMs));
}

void JobLogWriter::lockSeen()
{
    m_quietUntil = QDeadlineTimer(kQuietMs);
}

void JobLogWriter::restartRetry(int intervalMs)
{
    // A running timer is left as it is: calls in between must not put its try off.
    if (!m_retry.isActive() || m_retry.interval() != intervalMs) {
        m_retry.start(intervalMs);
    }
}

bool JobLogWriter::flush()
{
    // While the disk refuses writes, only the retry timer tries: a call on the window's
    // thread does not write the whole queue into a disk that refuses it every time. A log
    // that could not be made or opened is looked for again by every call (cheaply).
    if (m_diskEpisode && m_writesRefused && !m_retrying && !m_flushing) {
        keepWithinBound();
        tellDropped();
        return m_queue.empty();
    }
    if (m_flushing || m_queue.empty()) {
        tellDropped();
        return m_queue.empty();
    }
    m_flushing = true;
    m_stored.clear();
    const Outcome outcome = writeQueued(static_cast<int>(m_queue.size()));
    m_flushing = false;
    keepWithinBound();
    if (outcome == Outcome::Locked) {
        lockSeen();
        if (!m_retry.isActive()) {
            warn(QStringLiteral("locked by another program; %1 writes wait and are tried again").arg(m_queue.size()));
        }
        restartRetry(kRetryIntervalMs);
    } else if (outcome == Outcome::DiskFailed) {
        // The writes stay queued: no call waits on the disk until they got through.
        lockSeen();
        if (!m_diskEpisode) {
            m_diskEpisode = true;
            tell(QStringLiteral("cannot be written (%1); %2 writes wait and are written when it can be")
                     .arg(m_diskTrouble)
                     .arg(m_queue.size()));
        }
        restartRetry(kSpaceRetryIntervalMs);
    } else if (m_queue.empty()) {
        m_retry.stop();
    }
    if (outcome == Outcome::Done && m_diskEpisode) {
        m_diskEpisode = false;
        m_diskTrouble.clear();
        tell(QStringLiteral("written again; the writes that waited are stored"));
    }
    tellDropped();
    return m_queue.empty();
}

void JobLogWriter::dropQueued(int count, const QString& why)
{
    warn(QStringLiteral("%1 writes not stored: %2").arg(count).arg(why));
    for (int i = 0; i < count; ++i) {
        popFront(false);
    }
}

void JobLogWriter::popFront(bool stored)
{
    const Pending& done = m_queue.front();
    if (done.onlyIfNew) {
        m_queuedNew.remove(done.key);
    }
    m_stored.insert(done.ticket, stored);
    if (!stored) {
        ++m_lost;
    }
    m_queue.pop_front();
}

JobLogWriter::Outcome JobLogWriter::writeQueued(int count)
{
    // Another round only when the log was deleted or replaced while a round was writing:
    // the rows belong in the log that is there now.
    for (int round = 0; round < kMaxRounds; ++round) {
        QString error;
        const QString path = m_prepare(&error);
        if (path.isEmpty()) {
            if (error.isEmpty()) {
                dropQueued(count, QStringLiteral("there is no log to write"));
                return Outcome::Failed;
            }
            // A log that cannot be made now (its disk full): the writes wait for it.
            m_diskTrouble = error;
            m_writesRefused = false;
            return Outcome::DiskFailed;
        }
        std::unique_ptr<Database> db = joblog::openLog(path, &m_waitUntil, &error);
        if (!db) {
            if (!QFileInfo::exists(path)) {
                continue; // deleted between its making and the open
            }
            m_diskTrouble = QStringLiteral("cannot open %1: %2").arg(path, error);
            m_writesRefused = false;
            return Outcome::DiskFailed;
        }
        if (!db->begin(true)) {
            if (joblog::lockedOut(*db)) {
                return Outcome::Locked;
            }
            if (replacedUnder(*db)) {
                continue;
            }
            if (diskFailed(*db)) {
                m_diskTrouble = db->lastError();
                m_writesRefused = true;
                return Outcome::DiskFailed;
            }
            dropQueued(count, db->lastError());
            return Outcome::Failed;
        }
        // The lock may have been waited for while a reset deleted the file.
        if (replacedUnder(*db)) {
            db->rollback();
            continue;
        }
        QStringList failures(count);
        QSet<QString> formsRecorded; // once per form and transaction
        bool replaced = false;
        for (int i = 0; i < count && !replaced; ++i) {
            const Pending& p = m_queue.at(static_cast<size_t>(i));
            bool written = false;
            if (p.key.isEmpty() && !p.sql.isEmpty()) {
                written = db->exec(p.sql, p.binds);
                error = db->lastError();
            } else {
                written = joblog::writeJob(*db, p.key, p.fields, p.onlyIfNew, nullptr, &error);
            }
            if (!written && joblog::lockedOut(*db)) {
                db->rollback();
                return Outcome::Locked;
            }
            if (!written && (refusedAsMoved(*db) || replacedUnder(*db))) {
                replaced = true;
                break;
            }
            if (!written && (diskFailed(*db) || !db->inTransaction())) {
                // The disk, not the row, failed (a full disk may end the transaction too):
                // nothing of this transaction is kept, and all of it is written again later.
                m_diskTrouble = error;
                m_writesRefused = true;
                db->rollback();
                return Outcome::DiskFailed;
            }
            if (!written) {
                failures[i] = (p.key.isEmpty() ? p.what : p.key) + QStringLiteral(" not stored: ") + error;
            } else {
                recordDateForms(*db, p.fields, formsRecorded);
            }
            if (!p.key.isEmpty() && m_afterJob) {
                m_afterJob(p.key);
            }
        }
        if (replaced || replacedUnder(*db)) {
            db->rollback();
            continue;
        }
        if (!db->commit()) {
            const bool locked = joblog::lockedOut(*db);
            const bool moved = refusedAsMoved(*db) || replacedUnder(*db);
            const bool disk = diskFailed(*db);
            error = db->lastError();
            db->rollback();
            if (locked) {
                return Outcome::Locked;
            }
            if (moved) {
                continue;
            }
            if (disk) {
                m_diskTrouble = error;
                m_writesRefused = true;
                return Outcome::DiskFailed;
            }
            dropQueued(count, error);
            return Outcome::Failed;
        }
        for (int i = 0; i < count; ++i) {
            if (!failures.at(i).isEmpty()) {
                warn(failures.at(i));
            }
            popFront(failures.at(i).isEmpty());
        }
        return Outcome::Done;
    }
    // Replaced again and again: the writes wait for the retry timer, as behind a lock.
    return Outcome::Locked;
}

} // namespace hlv
