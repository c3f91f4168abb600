#include "store/JobLogWriter.h"

#include <QDebug>
#include <QFile>
#include <sys/stat.h>

#include "platform/Database.h"
#include "store/JobLogTable.h"

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

// The file behind a path (device and inode), or nothing while there is no file.
std::pair<quint64, quint64> fileIdentity(const QString& path)
{
    struct stat info = {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0) {
        return {0, 0};
    }
    return {static_cast<quint64>(info.st_dev), static_cast<quint64>(info.st_ino)};
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
        flush();
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
        warn(QStringLiteral("%1 writes lost at exit: the log stayed locked").arg(m_queue.size()));
    }
}

void JobLogWriter::warn(const QString& text) const
{
    qWarning().noquote() << m_tag + QStringLiteral(": job log:") << text;
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
    return m_queue.back().ticket;
}

quint64 JobLogWriter::queueStatement(const QString& what, const QString& sql, const QVariantList& binds)
{
    Pending pending;
    pending.ticket = m_nextTicket++;
    pending.what = what;
    pending.sql = sql;
    pending.binds = binds;
    m_queue.push_back(std::move(pending));
    return m_queue.back().ticket;
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

bool JobLogWriter::flush()
{
    if (m_flushing || m_queue.empty()) {
        return m_queue.empty();
    }
    m_flushing = true;
    m_stored.clear();
    const Outcome outcome = writeQueued(static_cast<int>(m_queue.size()));
    m_flushing = false;
    if (outcome == Outcome::Locked) {
        lockSeen();
        if (!m_retry.isActive()) {
            warn(QStringLiteral("locked by another program; %1 writes wait and are tried again").arg(m_queue.size()));
            m_retry.start();
        }
    } else if (m_queue.empty()) {
        m_retry.stop();
    }
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
    m_queue.pop_front();
}

JobLogWriter::Outcome JobLogWriter::writeQueued(int count)
{
    // A second round only when the log was replaced while the first was being written.
    for (int round = 0; round < 2; ++round) {
        QString error;
        const QString path = m_prepare(&error);
        if (path.isEmpty()) {
            dropQueued(count, error);
            return Outcome::Failed;
        }
        std::unique_ptr<Database> db = joblog::openLog(path, &m_waitUntil, &error);
        if (!db) {
            dropQueued(count, QStringLiteral("cannot open %1: %2").arg(path, error));
            return Outcome::Failed;
        }
        const auto identity = fileIdentity(path);
        if (!db->begin(true)) {
            if (joblog::lockedOut(*db)) {
                return Outcome::Locked;
            }
            dropQueued(count, db->lastError());
            return Outcome::Failed;
        }
        QStringList failures(count);
        for (int i = 0; i < count; ++i) {
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
            if (!written) {
                failures[i] = (p.key.isEmpty() ? p.what : p.key) + QStringLiteral(" not stored: ") + error;
            }
            if (!p.key.isEmpty() && m_afterJob) {
                m_afterJob(p.key);
            }
        }
        if (fileIdentity(path) != identity) {
            // Deleted or replaced under the open transaction (nobody holding the lock):
            // these rows belong in the log that is there now.
            db->rollback();
            continue;
        }
        if (!db->commit()) {
            const bool locked = joblog::lockedOut(*db);
            error = db->lastError();
            db->rollback();
            if (locked) {
                return Outcome::Locked;
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
    return Outcome::Locked;
}

} // namespace hlv
