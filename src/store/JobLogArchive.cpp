#include "store/JobLogArchive.h"

#include <cerrno>

#include <QCoreApplication>
#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QRandomGenerator>
#include <fcntl.h>
#include <sqlite3.h>
#include <unistd.h>

#include "platform/Clock.h"
#include "platform/Database.h"
#include "platform/Dialogs.h"
#include "store/JobLogStore.h"

namespace hlv {

QString archiveFileName(const QDateTime& when)
{
    const QDate date = when.date();
    const QTime time = when.time();
    return QString::number(date.year()) + QLatin1Char('-') +
           QLocale().standaloneMonthName(date.month(), QLocale::LongFormat) + QLatin1Char('-') +
           QString::number(date.day()) + QLatin1Char('-') + QString::number(time.hour()) +
           QString::number(time.minute()) + QStringLiteral("-hlv.mdb");
}

QString archiveFileName(const QDateTime& when, int n)
{
    QString name = archiveFileName(when);
    if (n > 1) {
        name.insert(name.size() - 4, QLatin1Char('-') + QString::number(n));
    }
    return name;
}

namespace {

// How many archives of one name a folder may hold before the reset gives up.
constexpr int kMaxArchivesPerName = 1000;

// A new, empty file beside the archives, with the mode the umask allows for new files.
QString createTemporary(const QString& folder, int* fd)
{
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QString name = folder + QStringLiteral(".hlv-archive-%1-%2.tmp")
                                          .arg(QCoreApplication::applicationPid())
                                          .arg(QRandomGenerator::global()->generate(), 8, 16, QLatin1Char('0'));
        *fd = ::open(QFile::encodeName(name).constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (*fd >= 0) {
            return name;
        }
        if (errno != EEXIST) {
            break;
        }
    }
    return QString();
}

bool writeAll(int fd, const char* data, qint64 size)
{
    while (size > 0) {
        const ssize_t written = ::write(fd, data, static_cast<size_t>(size));
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        data += written;
        size -= written;
    }
    return true;
}

// Gives the finished copy its archive name: the first free one of the names for now. A
// rename never replaces an existing file, so two resets at once cannot take one name.
bool publish(const QString& temporary, const QString& folder, const QDateTime& now)
{
    for (int n = 1; n <= kMaxArchivesPerName; ++n) {
        const QString target = folder + archiveFileName(now, n);
        if (QFile::exists(target)) {
            continue;
        }
        if (QFile::rename(temporary, target)) {
            return true;
        }
        if (!QFile::exists(target)) {
            qWarning().noquote() << "hlv: job log: cannot archive to" << target;
            break;
        }
    }
    QFile::remove(temporary);
    return false;
}

} // namespace

bool JobLogArchive::writeArchive(const QString& folder, const QDateTime& now, const std::function<bool(int)>& fill)
{
    int fd = -1;
    const QString temporary = createTemporary(folder, &fd);
    if (temporary.isEmpty()) {
        qWarning().noquote() << "hlv: job log: cannot create an archive in" << folder;
        return false;
    }
    const bool written = fill(fd) && ::fsync(fd) == 0;
    ::close(fd);
    if (!written) {
        QFile::remove(temporary);
        return false;
    }
    return publish(temporary, folder, now);
}

bool JobLogArchive::archiveDatabase(Database& log, const QString& folder, const QDateTime& now)
{
    // The file's bytes, read through the connection's own handle while it holds the lock.
    sqlite3_file* file = nullptr;
    if (sqlite3_file_control(log.handle(), "main", SQLITE_FCNTL_FILE_POINTER, &file) != SQLITE_OK || !file ||
        !file->pMethods) {
        qWarning().noquote() << "hlv: job log: cannot read the log through its connection";
        return false;
    }
    return writeArchive(folder, now, [file](int fd) {
        sqlite3_int64 size = 0;
        if (file->pMethods->xFileSize(file, &size) != SQLITE_OK) {
            return false;
        }
        QByteArray chunk(1 << 20, Qt::Uninitialized);
        for (sqlite3_int64 offset = 0; offset < size;) {
            const int amount = static_cast<int>(std::min<sqlite3_int64>(chunk.size(), size - offset));
            if (file->pMethods->xRead(file, chunk.data(), amount, offset) != SQLITE_OK ||
                !writeAll(fd, chunk.constData(), amount)) {
                qWarning().noquote() << "hlv: job log: cannot copy the log into an archive";
                return false;
            }
            offset += amount;
        }
        return true;
    });
}

bool JobLogArchive::archiveBytes(const QString& path, const QString& folder, const QDateTime& now)
{
    QFile source(path);
    if (!source.open(QIODevice::ReadOnly)) {
        qWarning().noquote() << "hlv: job log: cannot read" << path << ":" << source.errorString();
        return false;
    }
    const QByteArray bytes = source.readAll();
    source.close();
    return writeArchive(folder, now, [&bytes](int fd) { return writeAll(fd, bytes.constData(), bytes.size()); });
}

QString JobLogArchive::questionText()
{
    return QStringLiteral("Do you want to archive a copy of the database?");
}

QString JobLogArchive::failureText()
{
    return QStringLiteral("Error deleting log file - Check permissions");
}

QString JobLogArchive::journalPath(const QString& logPath)
{
    return logPath + QStringLiteral("-journal");
}

JobLogArchive::JobLogArchive(JobLogStore& store, Dialogs& dialogs, const Clock& clock)
    : m_store(store)
    , m_dialogs(dialogs)
    , m_clock(clock)
{}

bool JobLogArchive::ResetLogDatabase(const std::function<void()>& refreshJobLists)
{
    const bool archive = m_dialogs.msgBox(questionText(), MsgBoxStyle::YesNo + MsgBoxStyle::Critical,
                                          QStringLiteral("Warning")) == MsgBoxResult::Yes;
    // The store's own connection goes first: the file and its journal are about to go.
    m_store.CloseLogDatabase();
    if (!resetFile(m_store.logFilePath(), archive)) {
        m_dialogs.msgBox(failureText(), MsgBoxStyle::Critical, QStringLiteral("Halvern"));
        return false;
    }
    if (refreshJobLists) {
        refreshJobLists();
    }
    return true;
}

bool JobLogArchive::resetFile(const QString& path, bool archive)
{
    const QFileInfo log(path);
    if (!log.exists()) {
        // Nothing to keep and nothing to delete.
        return true;
    }
    // A read-only log (no write permission for its owner) is not deleted, as a delete that
    // is not forced would refuse it; the bit counts for every user, root included. It is
    // still archived first, under a shared lock that keeps writers out of the copy.
    const bool readOnly = !(log.permissions() & QFileDevice::WriteOwner);

    // Hold the log while it is copied and deleted: a writer that holds it now makes the
    // reset fail instead of losing its write, and no writer starts meanwhile. The copy is
    // read through this connection: a second handle on the file, once closed, would drop
    // this process's locks on it.
    QString error;
    std::unique_ptr<Database> db = Database::open(path, Database::Mode::ReadWrite, &error);
    if (!db) {
        qWarning().noquote() << "hlv: job log: reset cannot open" << path << ":" << error;
        return false;
    }
    db->setBusyTimeout(m_lockTimeoutMs);
    // The read after the lock completes any write interrupted earlier (a hot journal is
    // rolled back), so the copy is a whole database.
    bool damaged = false;
    if (!db->exec(readOnly ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN EXCLUSIVE")) ||
        !db->scalar(QStringLiteral("SELECT COUNT(*) FROM sqlite_master")).has_value()) {
        const int code = sqlite3_errcode(db->handle());
        if (code != SQLITE_NOTADB && code != SQLITE_CORRUPT) {
            qWarning().noquote() << "hlv: job log: reset cannot take the log:" << db->lastError();
            return false;
        }
        // Not a database: no program can write it, so there is no lock to hold.
        qWarning().noquote() << "hlv: job log: the log is damaged, reset archives its bytes:" << db->lastError();
        damaged = true;
        db.reset();
    }

    const auto release = [&db] {
        if (db) {
            db->rollback();
        }
    };
    if (archive) {
        const QDateTime now = m_clock.now();
        const QString folder = log.absolutePath() + QLatin1Char('/');
        const bool copied = damaged ? archiveBytes(path, folder, now) : archiveDatabase(*db, folder, now);
        if (!copied) {
            release();
            return false;
        }
    }
    if (m_beforeDelete) {
        m_beforeDelete();
    }
    if (readOnly) {
        qWarning().noquote() << "hlv: job log: reset refused, the log is read-only:" << path;
        release();
        return false;
    }

    // The journal goes first, while the lock still guarantees that no write is under way
    // and it holds nothing: a journal left beside a new log of the same name would be
    // taken for that log's own. Once the log is gone, a new log and journal may appear at
    // any moment (the watch program), so nothing is removed after it.
    const auto fail = [&release](const QString& file) {
        qWarning().noquote() << "hlv: job log: cannot delete" << file;
        release();
        return false;
    };
    const QString journal = journalPath(path);
    if (QFile::exists(journal) && !QFile::remove(journal)) {
        return fail(journal);
    }
    if (!QFile::remove(path)) {
        return fail(path);
    }
    release();
    return true;
}

} // namespace hlv
