#include "JobLogStore.h"

#include <algorithm>

#include <QCoreApplication>
#include <QDebug>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QSaveFile>
#include <QSet>

#include "platform/Clock.h"
#include "platform/Database.h"
#include "platform/Environment.h"
#include "platform/GeneralDate.h"
#include "store/JobLogTable.h"
#include "store/JobLogWriter.h"
#include "store/StoreHost.h"
#include "store/TextConversion.h"

namespace hlv {

namespace {

// The stored name and text of one field of a job's row, or nothing (with a line on stderr)
// when the field is not one of the row's or its value has no text.
std::optional<std::pair<QString, QString>> fieldToWrite(const QString& transactionId, const QString& field,
                                                        const QVariant& value, bool keyAllowed)
{
    const QString name = joblog::canonicalField(field);
    if (name.isEmpty() || (!keyAllowed && name == QLatin1String("TransactionID"))) {
        qWarning().noquote() << "hlv: job log: no field" << field << "- not written";
        return std::nullopt;
    }
    std::optional<QString> text = vbText(value);
    if (!text) {
        qWarning().noquote() << "hlv: job log: no text for" << name << "of" << transactionId << "- not written";
        return std::nullopt;
    }
    return std::pair{name, std::move(*text)};
}

const QString kStoredTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");

QString fieldText(const QVariant& value)
{
    return value.isNull() ? QString() : value.toString();
}

// The calendar day of a submit-time text, cached by its date part: a log holds many jobs
// per day, and reading a date through the locale is the costly step of a pass.
QString caseFolded(const QString& name)
{
    return name.toCaseFolded();
}

bool isAscii(QByteArrayView text)
{
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

class SubmitDateReader
{
public:
    SubmitDateReader()
        : m_byDatePart(!generalDateFormat().contains(QLatin1Char(' ')))
    {}

    QDate dateOf(const QString& text)
    {
        if (!m_byDatePart) {
            return parseGeneralDate(text).date();
        }
        const QString trimmed = text.trimmed();
        const qsizetype blank = trimmed.indexOf(QLatin1Char(' '));
        const QString datePart = blank < 0 ? trimmed : trimmed.left(blank);
        const auto found = m_cache.constFind(datePart);
        if (found != m_cache.constEnd()) {
            return found.value();
        }
        const QDate date = parseGeneralDate(datePart).date();
        m_cache.insert(datePart, date);
        return date;
    }

    // The same for a value as SQLite gives it. Rows come mostly in the order they were
    // logged, so the date part of the previous row answers most of them without a look-up.
    QDate dateOf(QByteArrayView utf8)
    {
        if (!m_byDatePart || !isAscii(utf8)) {
            return dateOf(QString::fromUtf8(utf8));
        }
        qsizetype start = 0;
        qsizetype end = utf8.size();
        while (start < end && isAsciiSpace(utf8[start])) {
            ++start;
        }
        while (end > start && isAsciiSpace(utf8[end - 1])) {
            --end;
        }
        QByteArrayView datePart = utf8.sliced(start, end - start);
        if (const qsizetype blank = datePart.indexOf(' '); blank >= 0) {
            datePart = datePart.first(blank);
        }
        if (m_hasLast && datePart == QByteArrayView(m_lastPart)) {
            return m_lastDate;
        }
        m_lastDate = dateOf(QString::fromLatin1(datePart));
        m_lastPart = datePart.toByteArray();
        m_hasLast = true;
        return m_lastDate;
    }

private:
    static bool isAsciiSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

    bool m_byDatePart;
    QHash<QString, QDate> m_cache;
    bool m_hasLast = false;
    QByteArray m_lastPart;
    QDate m_lastDate;
};

// The text a column gives, as fieldText(query.value(column)) would, for whole numbers and
// ASCII text straight from SQLite's bytes (nothing when the value must take the QVariant
// route: real numbers, blobs, text beyond ASCII).
std::optional<QByteArrayView> plainText(const Query& query, int column, bool* null)
{
    Query::Kind kind = Query::Kind::Null;
    const QByteArrayView raw = query.rawText(column, &kind);
    *null = kind == Query::Kind::Null;
    if (*null) {
        return QByteArrayView();
    }
    if (kind == Query::Kind::Integer || (kind == Query::Kind::Text && isAscii(raw))) {
        return raw;
    }
    return std::nullopt;
}

// leadingNumber of a column's text; plain digits are read without building a text.
double numberOf(const Query& query, int column)
{
    bool null = false;
    const std::optional<QByteArrayView> raw = plainText(query, column, &null);
    if (null) {
        return 0;
    }
    if (raw && !raw->isEmpty() && raw->size() <= 15 &&
        std::all_of(raw->begin(), raw->end(), [](char c) { return c >= '0' && c <= '9'; })) {
        qint64 value = 0;
        for (const char c : *raw) {
            value = value * 10 + (c - '0');
        }
        return static_cast<double>(value);
    }
    return leadingNumber(raw ? QString::fromLatin1(*raw) : fieldText(query.value(column)));
}

// The names of one column told apart ignoring letter case, each value's bytes folded once.
class NameSet
{
public:
    void add(const Query& query, int column)
    {
        bool null = false;
        const std::optional<QByteArrayView> raw = plainText(query, column, &null);
        if (null || (raw && raw->isEmpty())) {
            return;
        }
        if (!raw) {
            const QString text = fieldText(query.value(column));
            if (!text.isEmpty()) {
                m_folded.insert(caseFolded(text));
            }
            return;
        }
        const QByteArray key = QByteArray::fromRawData(raw->data(), raw->size());
        if (!m_seen.contains(key)) {
            m_seen.insert(raw->toByteArray());
            m_folded.insert(caseFolded(QString::fromLatin1(*raw)));
        }
    }
    int count() const { return static_cast<int>(m_folded.size()); }

private:
    QSet<QByteArray> m_seen;
    QSet<QString> m_folded;
};

} // namespace

const QStringList& JobLogStore::jobFields()
{
    static const QStringList fields = {
        QStringLiteral("TransactionID"), QStringLiteral("Server"),       QStringLiteral("Queue"),
        QStringLiteral("Description"),   QStringLiteral("Computer"),     QStringLiteral("User"),
        QStringLiteral("Name"),          QStringLiteral("Priority"),     QStringLiteral("Time Submitted"),
        QStringLiteral("Pages"),         QStringLiteral("Size"),         QStringLiteral("Deleted"),
        QStringLiteral("Deleted Pages"), QStringLiteral("Resumed"),      QStringLiteral("Printed Pages"),
        QStringLiteral("HLV User"),      QStringLiteral("HLV Computer"), QStringLiteral("Comments"),
    };
    return fields;
}

QString JobLogStore::defaultTemplatePath()
{
    return QCoreApplication::applicationDirPath() + QStringLiteral("/hlv.mdb");
}

JobLogStore::JobLogStore(const Environment& env, const Clock& clock, const StoreHost& host, QString templatePath)
    : m_env(env)
    , m_clock(clock)
    , m_host(host)
    , m_templatePath(std::move(templatePath))
    , m_writer(
          std::make_unique<JobLogWriter>(QStringLiteral("hlv"), [this](QString* error) { return prepareLog(error); }))
{}

JobLogStore::~JobLogStore() = default;

void JobLogStore::setBusyTimeoutMs(int ms)
{
    m_writer->setBusyTimeoutMs(ms);
}

void JobLogStore::setAfterJobWritten(std::function<void(const QString&)> hook)
{
    m_writer->setAfterJobWritten(std::move(hook));
}

int JobLogStore::pendingWrites() const
{
    return m_writer->pendingCount();
}

QString JobLogStore::logFilePath() const
{
    QString folder = m_host.logPath();
    if (folder.isEmpty()) {
        folder = m_env.appData();
    }
    while (folder.size() > 1 && folder.endsWith(QLatin1Char('/'))) {
        folder.chop(1);
    }
    return folder + QStringLiteral("/hlv.mdb");
}

QString JobLogStore::csvFilePath() const
{
    return m_env.temp() + QStringLiteral("/HLV_Log.csv");
}

QString JobLogStore::storedTimeText(const QDateTime& value)
{
    return value.toString(kStoredTimeFormat);
}

QString JobLogStore::displayTimeText(const QString& stored)
{
    const QDateTime value = QDateTime::fromString(stored, kStoredTimeFormat);
    return value.isValid() ? generalDateText(value) : stored;
}

bool JobLogStore::createFromTemplate(const QString& path)
{
    const QFileInfo target(path);
    // The application-data folder of a fresh account may not exist yet, also when the
    // setting names it; a folder the operator chose elsewhere (a share) is never made up.
    const bool defaultFolder =
        m_host.logPath().isEmpty() || QDir::cleanPath(m_host.logPath()) == QDir::cleanPath(m_env.appData());
    if (defaultFolder && !QDir().mkpath(target.absolutePath())) {
        qWarning().noquote() << "hlv: job log: cannot create folder" << target.absolutePath();
        return false;
    }
    QString error;
    if (!joblog::copyTemplate(m_templatePath, path, &error)) {
        qWarning().noquote() << "hlv: job log:" << error;
        return false;
    }
    return true;
}

QString JobLogStore::prepareLog(QString* error)
{
    const QString path = logFilePath();
    if (!QFileInfo::exists(path) && createFromTemplate(path)) {
        // These records are written before anything else goes into the new file: each of
        // them opens and closes the new file on its own.
        m_creating = true;
        WriteAudit(QStringLiteral("Log"), QStringLiteral("New log file created."));
        WriteAudit(QStringLiteral("Queue"), QStringLiteral("Current Queue ") + m_host.serverBoxText() +
                                                QLatin1Char('-') + m_host.queueBoxText());
        if (m_host.autoQueueChecked()) {
            WriteAudit(QStringLiteral("AutoQueue"), QStringLiteral("AutoQueue Enabled"));
        }
        m_creating = false;
    }
    if (!QFileInfo::exists(path)) {
        if (error) {
            *error = QStringLiteral("there is no log file %1").arg(path);
        }
        return QString();
    }
    return path;
}

bool JobLogStore::openForCaller(bool* locked)
{
    m_db.reset();
    if (locked) {
        *locked = false;
    }
    QString error;
    const QString path = prepareLog(&error);
    std::unique_ptr<Database> db = path.isEmpty() ? nullptr : joblog::openLog(path, m_writer->waitDeadline(), &error);
    // Reading the schema finds a lock or a damaged file before the caller's first step.
    if (db && !db->scalar(QStringLiteral("SELECT COUNT(*) FROM sqlite_master")).has_value()) {
        if (joblog::lockedOut(*db)) {
            m_writer->lockSeen();
            if (locked) {
                *locked = true;
            }
        }
        error = db->lastError();
        db.reset();
    }
    if (!db) {
        qWarning().noquote() << "hlv: job log: cannot open" << logFilePath() << ":" << error;
        return false;
    }
    m_db = std::move(db);
    return true;
}

bool JobLogStore::OpenLogDatabase()
{
    // What waits to be written goes first, so that the caller reads it back.
    m_writer->startWait();
    m_writer->flush();
    return openForCaller();
}

void JobLogStore::CloseLogDatabase()
{
    m_db.reset();
}

bool JobLogStore::queueJob(const QString& transactionId, const QList<std::pair<QString, QVariant>>& fields,
                           bool onlyIfNew, quint64* ticket)
{
    JobLogWriter::Fields texts;
    for (const auto& [field, value] : fields) {
        auto named = fieldToWrite(transactionId, field, value, false);
        if (!named) {
            return false;
        }
        texts.append(std::move(*named));
    }
    *ticket = m_writer->queueJob(transactionId, std::move(texts), onlyIfNew);
    return true;
}

bool JobLogStore::LogJobField(const QString& transactionId, const QString& field, const QVariant& value)
{
    quint64 ticket = 0;
    if (!queueJob(transactionId, {{field, value}}, false, &ticket)) {
        return false;
    }
    m_writer->startWait();
    m_writer->flush();
    return m_writer->stored(ticket);
}

void JobLogStore::LogNewJobs(const QList<joblog::JobEntry>& jobs)
{
    quint64 ticket = 0;
    for (const joblog::JobEntry& job : jobs) {
        queueJob(job.key, job.fields, true, &ticket);
    }
    m_writer->startWait();
    m_writer->flush();
}

void JobLogStore::LogJobsFields(const QList<joblog::JobEntry>& jobs)
{
    quint64 ticket = 0;
    for (const joblog::JobEntry& job : jobs) {
        queueJob(job.key, job.fields, false, &ticket);
    }
    m_writer->startWait();
    m_writer->flush();
}

std::optional<QSet<QString>> JobLogStore::LoggedJobs(const QStringList& keys)
{
    QSet<QString> logged;
    m_writer->startWait();
    m_writer->flush();
    bool locked = false;
    if (!openForCaller(&locked)) {
        return locked ? std::optional<QSet<QString>>(logged) : std::nullopt;
    }
    bool ok = m_db->begin();
    for (const QString& key : keys) {
        if (!ok) {
            break;
        }
        const std::optional<bool> found = joblog::isLogged(*m_db, key);
        ok = found.has_value();
        if (found.value_or(false)) {
            logged.insert(key);
        }
    }
    if (!ok) {
        locked = joblog::lockedOut(*m_db);
        qWarning().noquote() << "hlv: job log: cannot look up the listed jobs:" << m_db->lastError();
    }
    m_db->rollback();
    CloseLogDatabase();
    if (locked) {
        m_writer->lockSeen();
        return QSet<QString>();
    }
    return ok ? std::optional<QSet<QString>>(logged) : std::nullopt;
}

bool JobLogStore::SetJobField(const QString& transactionId, const QString& field, const QVariant& value)
{
    if (!m_db) {
        return false;
    }
    const auto named = fieldToWrite(transactionId, field, value, true);
    if (!named) {
        return false;
    }
    const auto& [name, text] = *named;
    QString error;
    if (!joblog::writeField(*m_db, transactionId, name, text, &error)) {
        qWarning().noquote() << "hlv: job log: write of" << name << "for" << transactionId << "failed:" << error;
        return false;
    }
    return true;
}

bool JobLogStore::IsJobLogged(const QString& transactionId, bool* failed)
{
    if (failed) {
        *failed = false;
    }
    bool logged = false;
    bool readFailed = true;
    if (OpenLogDatabase()) {
        QString error;
        const std::optional<bool> found = joblog::isLogged(*m_db, transactionId, &error);
        logged = found.value_or(false);
        readFailed = !found;
        if (readFailed) {
            if (joblog::lockedOut(*m_db)) {
                m_writer->lockSeen();
            }
            qWarning().noquote() << "hlv: job log: cannot look up" << transactionId << ":" << error;
        }
        CloseLogDatabase();
    }
    if (failed) {
        *failed = readFailed;
    }
    return logged && !readFailed;
}

bool JobLogStore::WriteAudit(const QString& action, const QVariant& description)
{
    if (!m_host.auditOn()) {
        return true;
    }
    // A missing log is made first, with its creation records, so that this record's time,
    // taken next, follows theirs.
    if (!m_creating) {
        prepareLog(nullptr);
    }
    const QDateTime now = m_clock.now();
    const std::optional<QString> text = vbText(description);
    const QString sql = QStringLiteral("INSERT INTO HLV_Audit (\"Time\", \"Action\", \"Description\", "
                                       "\"HLV User\", \"HLV Computer\") VALUES (?1, ?2, ?3, ?4, ?5)");
    const QVariantList binds = {storedTimeText(now), joblog::storedValue(action),
                                text ? joblog::storedValue(*text) : QVariant(), joblog::storedValue(m_env.userName()),
                                joblog::storedValue(m_env.computerName())};
    if (m_creating) {
        // A record of the log's creation goes straight into the new file, ahead of
        // everything that waits to be written.
        QString error;
        std::unique_ptr<Database> db = joblog::openLog(logFilePath(), m_writer->waitDeadline(), &error);
        const bool ok = db && db->exec(sql, binds);
        if (!ok) {
            qWarning().noquote() << "hlv: job log: audit record" << action << "lost:" << (db ? db->lastError() : error);
        }
        return ok;
    }
    const quint64 ticket = m_writer->queueStatement(QStringLiteral("audit record ") + action, sql, binds);
    m_writer->startWait();
    m_writer->flush();
    return m_writer->stored(ticket);
}

void JobLogStore::WriteAudits(const QList<std::pair<QString, QString>>& records)
{
    if (!m_host.auditOn() || records.isEmpty()) {
        return;
    }
    if (!m_creating) {
        prepareLog(nullptr);
    }
    const QDateTime now = m_clock.now();
    const QString sql = QStringLiteral("INSERT INTO HLV_Audit (\"Time\", \"Action\", \"Description\", "
                                       "\"HLV User\", \"HLV Computer\") VALUES (?1, ?2, ?3, ?4, ?5)");
    for (const auto& [action, description] : records) {
        const QVariantList binds = {storedTimeText(now), joblog::storedValue(action), joblog::storedValue(description),
                                    joblog::storedValue(m_env.userName()), joblog::storedValue(m_env.computerName())};
        m_writer->queueStatement(QStringLiteral("audit record ") + action, sql, binds);
    }
    m_writer->startWait();
    m_writer->flush();
}

bool JobLogStore::ExportLogToCsv()
{
    // The file is written as the rows are read, a block at a time, so a large log is never
    // held whole in memory; QSaveFile still replaces the old file only when all is written.
    // Whole numbers and ASCII text go from SQLite's bytes straight into the block; other
    // values take the QVariant route, so every cell reads as it always has.
    const QString path = csvFilePath();
    QSaveFile file(path);
    bool writeOk = file.open(QIODevice::WriteOnly);
    QByteArray out;
    constexpr qsizetype kBlock = 1 << 16;
    out.reserve(kBlock + kBlock / 4);
    const auto flush = [&](bool always) {
        if (always || out.size() >= kBlock) {
            writeOk = writeOk && file.write(out) == out.size();
            out.clear();
        }
    };
    // A cell quoted, its quotes doubled, when it holds a comma, a quote or a line break.
    const auto appendCell = [&out](QByteArrayView cell) {
        const bool quoted = std::any_of(cell.begin(), cell.end(),
                                        [](char c) { return c == ',' || c == '"' || c == '\r' || c == '\n'; });
        if (!quoted) {
            out.append(cell);
        } else {
            out.append('"');
            for (const char c : cell) {
                out.append(c);
                if (c == '"') {
                    out.append('"');
                }
            }
            out.append('"');
        }
        out.append(',');
    };
    const auto appendColumn = [&](const Query& query, int column) {
        bool null = false;
        if (const std::optional<QByteArrayView> raw = plainText(query, column, &null)) {
            appendCell(*raw);
        } else {
            appendCell(fieldText(query.value(column)).toUtf8());
        }
    };
    out += "Server,Queue,Description,Computer,User,Pages,Priority,Size,Time Submitted,Year,Month,Day,ID,Deleted,"
           "Resumed,Deleted Pages,Printed Pages,HLV Computer,HLV User,Comments\r\n";
    bool readOk = false;
    if (OpenLogDatabase()) {
        Query query(*m_db, QStringLiteral("SELECT Server, Queue, Description, Computer, User, Pages, Priority, Size, "
                                          "\"Time Submitted\", Name, Deleted, Resumed, \"Deleted Pages\", "
                                          "\"Printed Pages\", \"HLV Computer\", \"HLV User\", Comments "
                                          "FROM HLV_Log ORDER BY rowid"));
        SubmitDateReader dates;
        QList<QByteArray> monthNames;
        const QLocale locale;
        for (int month = 1; month <= 12; ++month) {
            monthNames.append(locale.monthName(month, QLocale::LongFormat).toUtf8());
        }
        QByteArray description;
        while (query.next()) {
            appendColumn(query, 0);
            appendColumn(query, 1);
            // The description between single quotes, its commas taken out.
            bool null = false;
            if (const std::optional<QByteArrayView> raw = plainText(query, 2, &null)) {
                description = "'";
                for (const char c : *raw) {
                    if (c != ',') {
                        description.append(c);
                    }
                }
                description.append('\'');
                appendCell(description);
            } else {
                appendCell(
                    (QLatin1Char('\'') + StripChars(fieldText(query.value(2)), QStringLiteral(",")) + QLatin1Char('\''))
                        .toUtf8());
            }
            for (int column = 3; column < 9; ++column) {
                appendColumn(query, column);
            }
            const std::optional<QByteArrayView> submitted = plainText(query, 8, &null);
            QDate date;
            if (submitted) {
                date = null || submitted->isEmpty() ? QDate() : dates.dateOf(*submitted);
            } else {
                const QString text = fieldText(query.value(8));
                date = text.isEmpty() ? QDate() : dates.dateOf(text);
            }
            if (date.isValid()) {
                out += QByteArray::number(date.year()) + ',' + monthNames.at(date.month() - 1) + ',' +
                       QByteArray::number(date.day()) + ',';
            } else {
                out += ",,,";
            }
            for (int column = 9; column < 17; ++column) {
                appendColumn(query, column);
            }
            out.chop(1); // the last cell's comma
            out += "\r\n";
            flush(false);
        }
        readOk = !query.failed();
        if (!readOk) {
            qWarning().noquote() << "hlv: job log: export read failed:" << m_db->lastError();
        }
        CloseLogDatabase();
    }
    out += "\r\n";
    flush(true);

    if (!writeOk || !file.commit()) {
        qWarning().noquote() << "hlv: job log: cannot write" << path << ":" << file.errorString();
        return false;
    }
    return readOk;
}

bool JobLogStore::ComputeLogStats()
{
    LogStats figures;
    figures.LogStarted = m_clock.now();
    figures.LogFinished = figures.LogStarted;
    m_stats = figures;

    if (!OpenLogDatabase()) {
        return false;
    }
    Query query(*m_db, QStringLiteral("SELECT \"Time Submitted\", Server, Queue, User, Pages, \"Deleted Pages\", "
                                      "\"Printed Pages\" FROM HLV_Log"));
    SubmitDateReader dates;
    NameSet servers;
    NameSet queues;
    NameSet users;
    // Days are compared as dates while reading; only the earliest and the latest become
    // moments, once, after the pass.
    QDate firstDay;
    QDate lastDay;
    while (query.next()) {
        ++figures.LogJobsManaged;
        bool null = false;
        const std::optional<QByteArrayView> submitted = plainText(query, 0, &null);
        if (!null && !(submitted && submitted->isEmpty())) {
            const QDate date = submitted ? dates.dateOf(*submitted) : dates.dateOf(fieldText(query.value(0)));
            if (date.isValid()) {
                if (!firstDay.isValid() || date < firstDay) {
                    firstDay = date;
                }
                if (!lastDay.isValid() || date > lastDay) {
                    lastDay = date;
                }
            }
        }
        // Names are told apart exactly, ignoring letter case only.
        servers.add(query, 1);
        queues.add(query, 2);
        users.add(query, 3);
        figures.LogPagesManaged += numberOf(query, 4);
        figures.LogDeletedPages += numberOf(query, 5);
        // A job released and then deleted counts as deleted only.
        const std::optional<QByteArrayView> deletedPages = plainText(query, 5, &null);
        if (null || (deletedPages && deletedPages->isEmpty()) ||
            (!deletedPages && fieldText(query.value(5)).isEmpty())) {
            figures.LogPrintedPages += numberOf(query, 6);
        }
    }
    const bool ok = !query.failed();
    if (!ok) {
        qWarning().noquote() << "hlv: job log: statistics read failed:" << m_db->lastError();
    }
    CloseLogDatabase();
    if (!ok) {
        return false;
    }
    if (firstDay.isValid() && QDateTime(firstDay, QTime(0, 0)) < figures.LogStarted) {
        figures.LogStarted = QDateTime(firstDay, QTime(0, 0));
    }
    if (lastDay.isValid() && QDateTime(lastDay, QTime(0, 0)) > figures.LogFinished) {
        figures.LogFinished = QDateTime(lastDay, QTime(0, 0));
    }
    figures.LogServersManaged = servers.count();
    figures.LogQueuesManaged = queues.count();
    figures.LogUsersManaged = users.count();
    const double handled = figures.LogDeletedPages + figures.LogPrintedPages;
    if (handled > 0) {
        figures.LogSaving = 100 * figures.LogDeletedPages / handled;
    }
    m_stats = figures;
    return true;
}

QString StripChars(const QString& text, const QString& chars)
{
    QString result = text;
    for (const QChar c : chars) {
        result.remove(c, Qt::CaseSensitive);
    }
    return result;
}

} // namespace hlv
