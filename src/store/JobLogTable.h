#pragma once

#include <memory>
#include <optional>
#include <utility>

#include <QDeadlineTimer>
#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace hlv {

class Database;

// The row-level steps on the job log table that both programs writing a job log share:
// the console's store and the watch program's own procedures write the same file, so they
// must write it the same way.
namespace joblog {

// The stored spelling of a job field (letter case ignored), or an empty text when the
// table has no such field.
QString canonicalField(const QString& field);

// Empty text is stored as "no value", so that later readers can tell a field never set
// (or cleared) from one holding text.
QVariant storedValue(const QString& text);

// Copies the template job log to path: written under a temporary name, synced and then
// given its name without replacing anything, so no program ever opens half a file and a
// log another program created meanwhile is kept. False (with error) on failure.
bool copyTemplate(const QString& templatePath, const QString& path, QString* error = nullptr);

// Whether the file at path is a log without a single table: no bytes at all (a file made
// by an opener that creates what it does not find), or the one first page that failed
// writes into such a file leave behind.
bool holdsNoTable(const QString& path);

// A log without a table is removed, so that it is made again from the template as a
// missing log is. True when it was removed. A log another program gave tables to
// meanwhile is left in place.
bool removeEmptyLog(const QString& path);

// Sets one field of the job's row, editing the row or adding it, in one immediate
// transaction that no other writer of the file can split. The value is already text.
bool writeField(Database& db, const QString& transactionId, const QString& field, const QString& text,
                QString* error = nullptr);

// Whether the log holds a row for the job; nothing when the look-up failed.
std::optional<bool> isLogged(Database& db, const QString& transactionId, QString* error = nullptr);

// One job's fields for the log, in the order they are written. A value is turned into
// text (vbText) when the entry is handed to a job log.
struct JobEntry
{
    QString key;
    QList<std::pair<QString, QVariant>> fields;
};

// The first fields of a job seen for the first time, from the fields d of its job detail
// record (at least 12), in the order both programs write them: server, queue, description,
// computer, user, job id, time submitted, priority and, only with withPages, pages and size.
JobEntry newJobEntry(const QString& key, const QString& server, const QStringList& d, bool withPages);

// Opens an existing log for one operation. A lock another program holds is waited for
// until waitUntil expires (at once when it has), then the step fails with a lock error.
std::unique_ptr<Database> openLog(const QString& path, const QDeadlineTimer* waitUntil, QString* error = nullptr);

// Whether the last failure on db was a lock held by another connection.
bool lockedOut(const Database& db);

// Writes the fields (names as jobFields() spells them, values already text) of one job's
// row with one statement, so the row is stored whole or not at all: onlyIfNew adds the
// row only when the log holds none for the key yet (and leaves a logged job alone),
// otherwise the row is edited, or added when the key is new. The caller holds the
// transaction. *added tells whether a row was added.
bool writeJob(Database& db, const QString& transactionId, const QList<std::pair<QString, QString>>& fields,
              bool onlyIfNew, bool* added = nullptr, QString* error = nullptr);

} // namespace joblog
} // namespace hlv
