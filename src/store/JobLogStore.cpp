#include "JobLogStore.h"

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

const QString kStoredTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");
const QLatin1String kCrLf("\r\n");

QString fieldText(const QVariant& value)
{
    return value.isNull() ? QString() : value.toString();
}

// The calendar day of a submit-time text, cached by its date part: a log holds many jobs
// per day, and reading a date through the locale is the costly step of a pass.
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

private:
    bool m_byDatePart;
    QHash<QString, QDate> m_cache;
};

QString csvCell(const QString& text)
{
    static const QString special = QStringLiteral(",\"\r\n");
    for (const QChar c : text) {
        if (special.contains(c)) {
            QString escaped = text;
            escaped.replace(QLatin1Char('"'), QStringLiteral("\"\""));
            return QLatin1Char('"') + escaped + QLatin1Char('"');
        }
    }
    return text;
}

QString caseFolded(const QString& name)
{
    return name.toCaseFolded();
}

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
        const QString name = joblog::canonicalField(field);
        if (name.isEmpty() || name == QLatin1String("TransactionID")) {
            qWarning().noquote() << "hlv: job log: no field" << field << "- not written";
            return false;
        }
        const std::optional<QString> text = vbText(value);
        if (!text) {
            qWarning().noquote() << "hlv: job log: no text for" << name << "of" << transactionId << "- not written";
            return false;
        }
        texts.append({name, *text});
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
    const QString name = joblog::canonicalField(field);
    if (name.isEmpty()) {
        qWarning().noquote() << "hlv: job log: no field" << field << "- not written";
        return false;
    }
    const std::optional<QString> text = vbText(value);
    if (!text) {
        qWarning().noquote() << "hlv: job log: no text for" << name << "of" << transactionId << "- not written";
        return false;
    }

    QString error;
    if (!joblog::writeField(*m_db, transactionId, name, *text, &error)) {
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

bool JobLogStore::ExportLogToCsv()
{
    // The file is written as the rows are read, a block at a time, so a large log is never
    // held whole in memory; QSaveFile still replaces the old file only when all is written.
    const QString path = csvFilePath();
    QSaveFile file(path);
    const bool fileOpen = file.open(QIODevice::WriteOnly);
    bool writeOk = fileOpen;
    QString text;
    constexpr qsizetype kBlock = 1 << 17;
    text.reserve(kBlock + kBlock / 4);
    const auto flush = [&](bool always) {
        if (always || text.size() >= kBlock) {
            const QByteArray bytes = text.toUtf8();
            writeOk = writeOk && file.write(bytes) == bytes.size();
            text.clear();
        }
    };
    text += QStringLiteral("Server,Queue,Description,Computer,User,Pages,Priority,Size,Time Submitted,Year,"
                           "Month,Day,ID,Deleted,Resumed,Deleted Pages,Printed Pages,HLV Computer,HLV User,"
                           "Comments") +
            kCrLf;
    bool readOk = false;
    if (OpenLogDatabase()) {
        Query query(*m_db, QStringLiteral("SELECT Server, Queue, Description, Computer, User, Pages, Priority, Size, "
                                          "\"Time Submitted\", Name, Deleted, Resumed, \"Deleted Pages\", "
                                          "\"Printed Pages\", \"HLV Computer\", \"HLV User\", Comments "
                                          "FROM HLV_Log ORDER BY rowid"));
        SubmitDateReader dates;
        const QLocale locale;
        const auto addCell = [&](const QString& cell) {
            text += csvCell(cell);
            text += QLatin1Char(',');
        };
        while (query.next()) {
            for (int column = 0; column < 2; ++column) {
                addCell(fieldText(query.value(column)));
            }
            addCell(QLatin1Char('\'') + StripChars(fieldText(query.value(2)), QStringLiteral(",")) + QLatin1Char('\''));
            for (int column = 3; column < 9; ++column) {
                addCell(fieldText(query.value(column)));
            }
            const QString submitted = fieldText(query.value(8));
            const QDate date = submitted.isEmpty() ? QDate() : dates.dateOf(submitted);
            if (date.isValid()) {
                text += QString::number(date.year()) + QLatin1Char(',') +
                        locale.monthName(date.month(), QLocale::LongFormat) + QLatin1Char(',') +
                        QString::number(date.day()) + QLatin1Char(',');
            } else {
                text += QStringLiteral(",,,");
            }
            for (int column = 9; column < 17; ++column) {
                addCell(fieldText(query.value(column)));
            }
            text.chop(1); // the last cell's comma
            text += kCrLf;
            flush(false);
        }
        readOk = !query.failed();
        if (!readOk) {
            qWarning().noquote() << "hlv: job log: export read failed:" << m_db->lastError();
        }
        CloseLogDatabase();
    }
    text += kCrLf;
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
    QSet<QString> servers;
    QSet<QString> queues;
    QSet<QString> users;
    // Days are compared as dates while reading; only the earliest and the latest become
    // moments, once, after the pass.
    QDate firstDay;
    QDate lastDay;
    while (query.next()) {
        ++figures.LogJobsManaged;
        const QString submitted = fieldText(query.value(0));
        if (!submitted.isEmpty()) {
            const QDate date = dates.dateOf(submitted);
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
        const QString server = fieldText(query.value(1));
        if (!server.isEmpty()) {
            servers.insert(caseFolded(server));
        }
        const QString queue = fieldText(query.value(2));
        if (!queue.isEmpty()) {
            queues.insert(caseFolded(queue));
        }
        const QString user = fieldText(query.value(3));
        if (!user.isEmpty()) {
            users.insert(caseFolded(user));
        }
        figures.LogPagesManaged += leadingNumber(fieldText(query.value(4)));
        const QString deletedPages = fieldText(query.value(5));
        figures.LogDeletedPages += leadingNumber(deletedPages);
        // A job released and then deleted counts as deleted only.
        if (deletedPages.isEmpty()) {
            figures.LogPrintedPages += leadingNumber(fieldText(query.value(6)));
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
    figures.LogServersManaged = static_cast<int>(servers.size());
    figures.LogQueuesManaged = static_cast<int>(queues.size());
    figures.LogUsersManaged = static_cast<int>(users.size());
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
