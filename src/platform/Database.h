#pragma once

#include <memory>
#include <optional>

#include <QByteArrayView>
#include <QString>
#include <QVariant>

struct sqlite3;
struct sqlite3_stmt;

namespace hlv {

// A thin layer over one SQLite connection, standing where the programs would use a
// desktop database engine. Every value goes in through a bound parameter; SQL text is
// never assembled from data.
//
// Two programs (the console and the watch program) write the same file, so every
// connection waits for a lock held by the other instead of failing at once.
class Database
{
public:
    enum class Mode { ReadWrite, ReadOnly, Create };
    static constexpr int kDefaultBusyTimeoutMs = 10000;

    // Opens the file; with ReadWrite or ReadOnly the file must exist already.
    static std::unique_ptr<Database> open(const QString& path, Mode mode = Mode::ReadWrite, QString* error = nullptr);
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Runs one statement (or several separated by ';' when binds is empty).
    bool exec(const QString& sql, const QVariantList& binds = {});
    // The first column of the first row, or nothing when there is no row or on failure.
    std::optional<QVariant> scalar(const QString& sql, const QVariantList& binds = {});

    bool begin(bool immediate = false);
    bool commit();
    void rollback();
    // False once a failed step (a full disk, for one) has rolled the transaction back.
    bool inTransaction() const;

    void setBusyTimeout(int ms);
    qint64 lastInsertRowId() const;
    int changes() const;
    QString lastError() const { return m_lastError; }
    QString path() const { return m_path; }
    sqlite3* handle() const { return m_db; }

private:
    friend class Query;
    Database(sqlite3* db, QString path);
    void recordError();

    sqlite3* m_db = nullptr;
    QString m_path;
    QString m_lastError;
};

// One prepared statement. Parameters are numbered from 1, as SQLite numbers them.
class Query
{
public:
    Query(Database& db, const QString& sql);
    ~Query();
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    bool isValid() const { return m_stmt != nullptr; }
    Query& bind(int index, const QVariant& value);
    Query& bindAll(const QVariantList& values);

    // Steps to the next row; false at the end or on failure (see failed()).
    bool next();
    // Runs a statement that returns no rows; false on failure.
    bool exec();
    void reset();

    bool failed() const { return m_failed; }
    int columnCount() const;
    QString columnName(int column) const;
    QVariant value(int column) const;
    // How a value is stored, as value() would turn it into a QVariant.
    enum class Kind { Null, Integer, Float, Text, Blob };
    // How the column's value is stored, and for whole numbers and text its text as SQLite
    // gives it (UTF-8 as stored), valid until the next step, without building a QVariant.
    // Real numbers and blobs give no text (read them with value()). Meant for readers that
    // copy many values straight into a file.
    QByteArrayView rawText(int column, Kind* kind) const;
    // The same, except that a whole number is given by its value (in *integer, no text):
    // SQLite would build the text of each one.
    QByteArrayView rawValue(int column, Kind* kind, qint64* integer) const;

private:
    Database& m_db;
    sqlite3_stmt* m_stmt = nullptr;
    bool m_failed = false;
};

} // namespace hlv
