#pragma once

#include <optional>

#include <QString>
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

} // namespace joblog
} // namespace hlv
