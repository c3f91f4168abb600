#include "store/JobLogTable.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/Database.h"
#include "store/JobLogStore.h"

namespace hlv::joblog {

namespace {

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
    if (!copy.open() || copy.write(bytes) != bytes.size() || !copy.flush() || ::fsync(copy.handle()) != 0) {
        setError(error, QStringLiteral("cannot copy the template to %1").arg(path));
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
    if (!ok || !db.commit()) {
        setError(error, db.lastError());
        db.rollback();
        return false;
    }
    return true;
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
