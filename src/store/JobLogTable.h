#pragma once

#include <optional>

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

// Sets one field of the job's row, editing the row or adding it, in one immediate
// transaction that no other writer of the file can split. The value is already text.
bool writeField(Database& db, const QString& transactionId, const QString& field, const QString& text,
                QString* error = nullptr);

// Whether the log holds a row for the job; nothing when the look-up failed.
std::optional<bool> isLogged(Database& db, const QString& transactionId, QString* error = nullptr);

// Logs a job seen for the first time from the fields d of its job detail record (at least
// 12), in the order both programs write them: server, queue, description, computer, user,
// job id, time submitted, priority and, only with withPages, pages and size. Each write
// skips its own failure, so the row may stay incomplete. Log is any job log with LogJobField.
template <class Log>
void logJobRecord(Log& log, const QString& key, const QString& server, const QStringList& d, bool withPages)
{
    log.LogJobField(key, QStringLiteral("Server"), server);
    log.LogJobField(key, QStringLiteral("Queue"), d.at(4));
    log.LogJobField(key, QStringLiteral("Description"), d.at(1));
    log.LogJobField(key, QStringLiteral("Computer"), d.at(2));
    log.LogJobField(key, QStringLiteral("User"), d.at(3));
    log.LogJobField(key, QStringLiteral("Name"), d.at(10));
    log.LogJobField(key, QStringLiteral("Time Submitted"), d.at(9));
    log.LogJobField(key, QStringLiteral("Priority"), d.at(7));
    if (withPages) {
        log.LogJobField(key, QStringLiteral("Pages"), d.at(5));
        log.LogJobField(key, QStringLiteral("Size"), d.at(8));
    }
}

} // namespace joblog
} // namespace hlv
