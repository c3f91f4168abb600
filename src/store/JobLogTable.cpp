#include "store/JobLogTable.h"

#include <cerrno>
#include <cstring>

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <QThread>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Database.h"
#include "store/JobLogStore.h"
#include "store/SubmitDates.h"

namespace hlv::joblog {

namespace {

const QString kSubmitField = QStringLiteral("Time Submitted");

QString quoted(const QString& identifier)
{
    return QLatin1Char('"') + identifier + QLatin1Char('"');
}

// The process's umask, read without changing it where the system tells it.
mode_t processUmask()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (status.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : status.readAll().split('\n')) {
            if (line.startsWith("Umask:")) {
                bool ok = false;
                const uint mask = line.mid(6).trimmed().toUInt(&ok, 8);
                if (ok) {
                    return static_cast<mode_t>(mask);
                }
            }
        }
    }
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return mask;
}

void setError(QString* error, const QString& text)
{
    if (error) {
        *error = text;
    }
}

// The busy handler of a connection opened by openLog: waits in short steps until the
// caller's deadline.
int waitForLock(void* deadline, int /*count*/)
{
    const auto* until = static_cast<const QDeadlineTimer*>(deadline);
    const qint64 left = until ? until->remainingTime() : 0;
    if (left == 0) {
        return 0;
    }
    QThread::msleep(static_cast<unsigned long>(left < 0 ? 5 : qMin<qint64>(left, 5)));
    return 1;
}

// Records the row's submit day with the row, when its submit time is among the fields.
bool recordDay(Database& db, const QString& transactionId, const QList<std::pair<QString, QString>>& fields,
               QString* error)
{
    for (const auto& [field, text] : fields) {
        if (canonicalField(field) == kSubmitField && !recordSubmitDay(db, transactionId, text)) {
            setError(error, db.lastError());
            return false;
        }
    }
    return true;
}

} // namespace

QString canonicalField(const QString& field)
{
    for (const QString& name : JobLogStore::jobFields()) {
        if (name.compare(field, Qt::CaseInsensitive) == 0) {
            return name;
        }
    }
    return QString();
}

QVariant storedValue(const QString& text)
{
    return text.isEmpty() ? QVariant() : QVariant(text);
}

bool copyTemplate(const QString& templatePath, const QString& path, QString* error)
{
    QFile source(templatePath);
    if (!source.open(QIODevice::ReadOnly)) {
        setError(error, QStringLiteral("template %1 cannot be read: %2").arg(templatePath, source.errorString()));
        return false;
    }
    const QByteArray bytes = source.readAll();
    const QFileInfo target(path);
    QTemporaryFile copy(target.absolutePath() + QLatin1Char('/') + target.fileName() + QStringLiteral(".XXXXXX"));
    // A full disk shows here, by name, and leaves no log of part of the template behind.
    if (!copy.open() || copy.write(bytes) != bytes.size() || !copy.flush()) {
        setError(error, QStringLiteral("cannot copy the template to %1: %2").arg(path, copy.errorString()));
        return false;
    }
    if (::fsync(copy.handle()) != 0) {
        setError(error, QStringLiteral("cannot copy the template to %1: %2")
                            .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
        return false;
    }
    // The mode a new file gets under the umask, so that a group the umask admits (the watch
    // program under another account) can write a shared log.
    if (::fchmod(copy.handle(), 0666 & ~processUmask()) != 0) {
        setError(error, QStringLiteral("cannot set the mode of %1").arg(copy.fileName()));
        return false;
    }
    copy.close();
    // QFile::rename never replaces an existing file.
    if (!QFile::rename(copy.fileName(), path)) {
        setError(error, QStringLiteral("%1 exists already or cannot be created").arg(path));
        return false;
    }
    copy.setAutoRemove(false);
    return true;
}

bool holdsNoTable(const QString& path)
{
    struct stat info
    {};
    if (::lstat(QFile::encodeName(path).constData(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return false;
    }
    if (info.st_size == 0) {
        return true;
    }
    // Every table takes a page of its own beside the first: a database of one page, the
    // first page an earlier run's failed writes initialised, has none.
    constexpr qint64 kLargestPage = 65536;
    if (info.st_size > kLargestPage) {
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray header = file.read(100);
    if (header.size() < 100 || !header.startsWith(QByteArrayView("SQLite format 3\0", 16))) {
        return false;
    }
    const qint64 stored = (qint64(quint8(header.at(16))) << 8) | quint8(header.at(17));
    const qint64 pageSize = stored == 1 ? kLargestPage : stored;
    return info.st_size == pageSize;
}

bool removeEmptyLog(const QString& path)
{
    if (!holdsNoTable(path)) {
        return false;
    }
    const QByteArray native = QFile::encodeName(path);
    // Taken aside under a name of its own first: what is removed is then surely the empty
    // file, never a log another program made at the path meanwhile.
    QTemporaryFile aside(path + QStringLiteral(".empty-XXXXXX"));
    if (!aside.open()) {
        return false;
    }
    const QByteArray asideName = QFile::encodeName(aside.fileName());
    aside.close();
    if (::rename(native.constData(), asideName.constData()) != 0) {
        return false; // gone already: another program is at the same work
    }
    if (holdsNoTable(aside.fileName())) {
        return true; // removed with the temporary file
    }
    // Written meanwhile after all: back under its name, unless a new log took it.
    if (::link(asideName.constData(), native.constData()) != 0) {
        aside.setAutoRemove(false);
    }
    return false;
}

bool writeField(Database& db, const QString& transactionId, const QString& field, const QString& text, QString* error)
{
    const QString name = canonicalField(field);
    if (name.isEmpty()) {
        setError(error, QStringLiteral("no field %1").arg(field));
        return false;
    }
    if (!db.begin(true)) {
        setError(error, db.lastError());
        return false;
    }
    const QVariant bound = storedValue(text);
    bool ok = db.exec(QStringLiteral("UPDATE HLV_Log SET %1 = ?1 WHERE TransactionID = ?2").arg(quoted(name)),
                      {bound, transactionId});
    if (ok && db.changes() == 0) {
        ok = name == QLatin1String("TransactionID")
                 ? db.exec(QStringLiteral("INSERT INTO HLV_Log (TransactionID) VALUES (?1)"), {bound})
                 : db.exec(QStringLiteral("INSERT INTO HLV_Log (TransactionID, %1) VALUES (?1, ?2)").arg(quoted(name)),
                           {transactionId, bound});
    }
    if (ok && name == kSubmitField && !text.isEmpty()) {
        recordDateForm(db, text);
    }
    if (ok && name == kSubmitField) {
        ok = recordSubmitDay(db, transactionId, text);
    }
    if (!ok || !db.commit()) {
        setError(error, db.lastError());
        db.rollback();
        return false;
    }
    return true;
}

JobEntry newJobEntry(const QString& key, const QString& server, const QStringList& d, bool withPages)
{
    JobEntry entry{key,
                   {
                       {QStringLiteral("Server"), server},
                       {QStringLiteral("Queue"), d.at(4)},
                       {QStringLiteral("Description"), d.at(1)},
                       {QStringLiteral("Computer"), d.at(2)},
                       {QStringLiteral("User"), d.at(3)},
                       {QStringLiteral("Name"), d.at(10)},
                       {QStringLiteral("Time Submitted"), d.at(9)},
                       {QStringLiteral("Priority"), d.at(7)},
                   }};
    if (withPages) {
        entry.fields.append({QStringLiteral("Pages"), d.at(5)});
        entry.fields.append({QStringLiteral("Size"), d.at(8)});
    }
    return entry;
}

std::unique_ptr<Database> openLog(const QString& path, const QDeadlineTimer* waitUntil, QString* error)
{
    std::unique_ptr<Database> db = Database::open(path, Database::Mode::ReadWrite, error);
    if (!db) {
        return nullptr;
    }
    sqlite3_busy_handler(db->handle(), waitForLock, const_cast<QDeadlineTimer*>(waitUntil));
    // Emptying the rollback journal instead of deleting it spares a directory update per
    // transaction, with the same safety. A zero-length journal file stays beside the log.
    // A lock or a damaged file makes this fail as well; the first real step reports it.
    db->exec(QStringLiteral("PRAGMA journal_mode = TRUNCATE"));
    return db;
}

bool lockedOut(const Database& db)
{
    const int code = sqlite3_extended_errcode(db.handle()) & 0xff;
    return code == SQLITE_BUSY || code == SQLITE_LOCKED;
}

bool writeJob(Database& db, const QString& transactionId, const QList<std::pair<QString, QString>>& fields,
              bool onlyIfNew, bool* added, QString* error)
{
    if (added) {
        *added = false;
    }
    QStringList names;
    QVariantList values;
    for (const auto& [field, text] : fields) {
        const QString name = canonicalField(field);
        if (name.isEmpty() || name == QLatin1String("TransactionID")) {
            setError(error, QStringLiteral("no field %1").arg(field));
            return false;
        }
        names << quoted(name);
        values << storedValue(text);
    }
    if (onlyIfNew) {
        const std::optional<bool> logged = isLogged(db, transactionId, error);
        if (!logged) {
            return false;
        }
        if (*logged) {
            return true;
        }
    } else if (!names.isEmpty()) {
        QStringList sets;
        for (int i = 0; i < names.size(); ++i) {
            sets << names.at(i) + QStringLiteral(" = ?") + QString::number(i + 2);
        }
        if (!db.exec(
                QStringLiteral("UPDATE HLV_Log SET %1 WHERE TransactionID = ?1").arg(sets.join(QStringLiteral(", "))),
                QVariantList{transactionId} + values)) {
            setError(error, db.lastError());
            return false;
        }
        if (db.changes() > 0) {
            return recordDay(db, transactionId, fields, error);
        }
    }
    QStringList marks;
    for (int i = 0; i <= names.size(); ++i) {
        marks << QLatin1Char('?') + QString::number(i + 1);
    }
    names.prepend(QStringLiteral("TransactionID"));
    if (!db.exec(QStringLiteral("INSERT INTO HLV_Log (%1) VALUES (%2)")
                     .arg(names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))),
                 QVariantList{transactionId} + values)) {
        setError(error, db.lastError());
        return false;
    }
    if (added) {
        *added = true;
    }
    return recordDay(db, transactionId, fields, error);
}

std::optional<bool> isLogged(Database& db, const QString& transactionId, QString* error)
{
    Query query(db, QStringLiteral("SELECT 1 FROM HLV_Log WHERE TransactionID = ?1 LIMIT 1"));
    query.bind(1, transactionId);
    const bool found = query.next();
    if (query.failed()) {
        setError(error, db.lastError());
        return std::nullopt;
    }
    return found;
}

} // namespace hlv::joblog
