#include "store/JobLogArchive.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>

#include "platform/Clock.h"
#include "platform/Database.h"
#include "platform/Dialogs.h"
#include "store/JobLogStore.h"

namespace hlv {

QString archiveFileName(const QDateTime& when)
{
    const QDate date = when.date();
    const QTime time = when.time();
    return QString::number(date.year()) + QLatin1Char('-') + QLocale().monthName(date.month(), QLocale::LongFormat) +
           QLatin1Char('-') + QString::number(date.day()) + QLatin1Char('-') + QString::number(time.hour()) +
           QString::number(time.minute()) + QStringLiteral("-hlv.mdb");
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
    // is not forced would refuse it; the bit counts for every user, root included.
    if (!(log.permissions() & QFileDevice::WriteOwner)) {
        qWarning().noquote() << "hlv: job log: reset refused, the log is read-only:" << path;
        return false;
    }

    // Hold the log exclusively while it is copied and deleted: a writer that holds it now
    // makes the reset fail instead of losing its write, and no writer starts meanwhile.
    QString error;
    std::unique_ptr<Database> db = Database::open(path, Database::Mode::ReadWrite, &error);
    if (!db) {
        qWarning().noquote() << "hlv: job log: reset cannot open" << path << ":" << error;
        return false;
    }
    db->setBusyTimeout(m_lockTimeoutMs);
    // The read after the lock completes any write interrupted earlier (a hot journal is
    // rolled back), so the copy is a whole database.
    if (!db->exec(QStringLiteral("BEGIN EXCLUSIVE")) ||
        !db->scalar(QStringLiteral("SELECT COUNT(*) FROM sqlite_master")).has_value()) {
        qWarning().noquote() << "hlv: job log: reset cannot take the log:" << db->lastError();
        return false;
    }

    if (archive) {
        const QString target = log.absolutePath() + QLatin1Char('/') + archiveFileName(m_clock.now());
        QFile source(path);
        QSaveFile copy(target);
        bool copied = source.open(QIODevice::ReadOnly) && copy.open(QIODevice::WriteOnly);
        if (copied) {
            const QByteArray bytes = source.readAll();
            copied = copy.write(bytes) == bytes.size() && copy.commit();
        }
        if (!copied) {
            qWarning().noquote() << "hlv: job log: cannot archive" << path << "to" << target << ":"
                                 << copy.errorString();
            db->rollback();
            return false;
        }
    }

    // The journal goes first, while the lock still guarantees that no write is under way
    // and it holds nothing: a journal left beside a new log of the same name would be
    // taken for that log's own. Once the log is gone, a new log and journal may appear at
    // any moment (the watch program), so nothing is removed after it.
    const QString journal = journalPath(path);
    if (QFile::exists(journal) && !QFile::remove(journal)) {
        qWarning().noquote() << "hlv: job log: cannot delete" << journal;
        db->rollback();
        return false;
    }
    if (!QFile::remove(path)) {
        qWarning().noquote() << "hlv: job log: cannot delete" << path;
        db->rollback();
        return false;
    }
    db->rollback();
    return true;
}

} // namespace hlv
