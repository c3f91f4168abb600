#include "Database.h"

#include <sqlite3.h>

namespace hlv {

std::unique_ptr<Database> Database::open(const QString& path, Mode mode, QString* error)
{
    int flags = SQLITE_OPEN_NOMUTEX;
    switch (mode) {
    case Mode::ReadWrite:
        flags |= SQLITE_OPEN_READWRITE;
        break;
    case Mode::ReadOnly:
        flags |= SQLITE_OPEN_READONLY;
        break;
    case Mode::Create:
        flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
        break;
    }
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(path.toUtf8().constData(), &db, flags, nullptr);
    if (rc != SQLITE_OK) {
        if (error) {
            *error = db ? QString::fromUtf8(sqlite3_errmsg(db)) : QString::fromUtf8(sqlite3_errstr(rc));
        }
        sqlite3_close(db);
        return nullptr;
    }
    sqlite3_extended_result_codes(db, 1);
    sqlite3_busy_timeout(db, kDefaultBusyTimeoutMs);
    return std::unique_ptr<Database>(new Database(db, path));
}

Database::Database(sqlite3* db, QString path)
    : m_db(db)
    , m_path(std::move(path))
{}

Database::~Database()
{
    sqlite3_close_v2(m_db);
}

void Database::recordError()
{
    m_lastError = QString::fromUtf8(sqlite3_errmsg(m_db));
}

bool Database::exec(const QString& sql, const QVariantList& binds)
{
    if (binds.isEmpty()) {
        char* message = nullptr;
        if (sqlite3_exec(m_db, sql.toUtf8().constData(), nullptr, nullptr, &message) != SQLITE_OK) {
            m_lastError = QString::fromUtf8(message ? message : sqlite3_errmsg(m_db));
            sqlite3_free(message);
            return false;
        }
        return true;
    }
    Query q(*this, sql);
    q.bindAll(binds);
    return q.exec();
}

std::optional<QVariant> Database::scalar(const QString& sql, const QVariantList& binds)
{
    Query q(*this, sql);
    q.bindAll(binds);
    if (!q.next()) {
        return std::nullopt;
    }
    return q.value(0);
}

bool Database::begin(bool immediate)
{
    return exec(immediate ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"));
}

bool Database::commit()
{
    return exec(QStringLiteral("COMMIT"));
}

void Database::rollback()
{
    exec(QStringLiteral("ROLLBACK"));
}

bool Database::inTransaction() const
{
    return sqlite3_get_autocommit(m_db) == 0;
}

void Database::setBusyTimeout(int ms)
{
    sqlite3_busy_timeout(m_db, ms);
}

qint64 Database::lastInsertRowId() const
{
    return sqlite3_last_insert_rowid(m_db);
}

int Database::changes() const
{
    return sqlite3_changes(m_db);
}

Query::Query(Database& db, const QString& sql)
    : m_db(db)
{
    const QByteArray text = sql.toUtf8();
    if (sqlite3_prepare_v2(db.m_db, text.constData(), static_cast<int>(text.size()), &m_stmt, nullptr) != SQLITE_OK) {
        m_db.recordError();
        m_stmt = nullptr;
        m_failed = true;
    }
}

Query::~Query()
{
    sqlite3_finalize(m_stmt);
}

Query& Query::bind(int index, const QVariant& value)
{
    if (!m_stmt) {
        return *this;
    }
    int rc = SQLITE_OK;
    if (!value.isValid() || value.isNull()) {
        rc = sqlite3_bind_null(m_stmt, index);
    } else {
        switch (value.typeId()) {
        case QMetaType::Bool:
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::Long:
        case QMetaType::LongLong:
        case QMetaType::ULong:
        case QMetaType::ULongLong:
        case QMetaType::Short:
        case QMetaType::UShort:
            rc = sqlite3_bind_int64(m_stmt, index, value.toLongLong());
            break;
        case QMetaType::Double:
        case QMetaType::Float:
            rc = sqlite3_bind_double(m_stmt, index, value.toDouble());
            break;
        case QMetaType::QByteArray: {
            const QByteArray bytes = value.toByteArray();
            rc = sqlite3_bind_blob64(m_stmt, index, bytes.constData(), static_cast<sqlite3_uint64>(bytes.size()),
                                     SQLITE_TRANSIENT);
            break;
        }
        default: {
            const QByteArray text = value.toString().toUtf8();
            rc = sqlite3_bind_text64(m_stmt, index, text.constData(), static_cast<sqlite3_uint64>(text.size()),
                                     SQLITE_TRANSIENT, SQLITE_UTF8);
            break;
        }
        }
    }
    if (rc != SQLITE_OK) {
        m_db.recordError();
        m_failed = true;
    }
    return *this;
}

Query& Query::bindAll(const QVariantList& values)
{
    for (int i = 0; i < values.size(); ++i) {
        bind(i + 1, values.at(i));
    }
    return *this;
}

bool Query::next()
{
    if (!m_stmt || m_failed) {
        return false;
    }
    const int rc = sqlite3_step(m_stmt);
    if (rc == SQLITE_ROW) {
        return true;
    }
    if (rc != SQLITE_DONE) {
        m_db.recordError();
        m_failed = true;
    }
    return false;
}

bool Query::exec()
{
    if (!m_stmt || m_failed) {
        return false;
    }
    int rc = sqlite3_step(m_stmt);
    while (rc == SQLITE_ROW) {
        rc = sqlite3_step(m_stmt);
    }
    if (rc != SQLITE_DONE) {
        m_db.recordError();
        m_failed = true;
        return false;
    }
    return true;
}

void Query::reset()
{
    if (m_stmt) {
        sqlite3_reset(m_stmt);
        sqlite3_clear_bindings(m_stmt);
        m_failed = false;
    }
}

int Query::columnCount() const
{
    return m_stmt ? sqlite3_column_count(m_stmt) : 0;
}

QString Query::columnName(int column) const
{
    return m_stmt ? QString::fromUtf8(sqlite3_column_name(m_stmt, column)) : QString();
}

QVariant Query::value(int column) const
{
    if (!m_stmt) {
        return {};
    }
    switch (sqlite3_column_type(m_stmt, column)) {
    case SQLITE_INTEGER:
        return QVariant::fromValue<qlonglong>(sqlite3_column_int64(m_stmt, column));
    case SQLITE_FLOAT:
        return sqlite3_column_double(m_stmt, column);
    case SQLITE_TEXT:
        return QString::fromUtf8(reinterpret_cast<const char*>(sqlite3_column_text(m_stmt, column)),
                                 sqlite3_column_bytes(m_stmt, column));
    case SQLITE_BLOB:
        return QByteArray(static_cast<const char*>(sqlite3_column_blob(m_stmt, column)),
                          sqlite3_column_bytes(m_stmt, column));
    default:
        return {};
    }
}

QByteArrayView Query::rawText(int column, Kind* kind) const
{
    *kind = Kind::Null;
    if (!m_stmt) {
        return {};
    }
    // The value once, then its type and bytes straight from it: each sqlite3_column_*()
    // call looks the column up again. The type first: asking for the text converts the value.
    sqlite3_value* const value = sqlite3_column_value(m_stmt, column);
    switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
        *kind = Kind::Integer;
        break;
    case SQLITE_FLOAT:
        // Not turned into text: value() still gives the number.
        *kind = Kind::Float;
        return {};
    case SQLITE_TEXT:
        *kind = Kind::Text;
        break;
    case SQLITE_BLOB:
        *kind = Kind::Blob;
        return {};
    default:
        return {};
    }
    const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
    return text ? QByteArrayView(text, sqlite3_value_bytes(value)) : QByteArrayView();
}

QByteArrayView Query::rawValue(int column, Kind* kind, qint64* integer) const
{
    *kind = Kind::Null;
    if (!m_stmt) {
        return {};
    }
    sqlite3_value* const value = sqlite3_column_value(m_stmt, column);
    switch (sqlite3_value_type(value)) {
    case SQLITE_INTEGER:
        *kind = Kind::Integer;
        *integer = sqlite3_value_int64(value);
        return {};
    case SQLITE_FLOAT:
        *kind = Kind::Float;
        return {};
    case SQLITE_TEXT: {
        *kind = Kind::Text;
        const auto* text = reinterpret_cast<const char*>(sqlite3_value_text(value));
        return text ? QByteArrayView(text, sqlite3_value_bytes(value)) : QByteArrayView();
    }
    case SQLITE_BLOB:
        *kind = Kind::Blob;
        return {};
    default:
        return {};
    }
}

} // namespace hlv
