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
    , m_busyTimeoutMs(Database::kDefaultBusyTimeoutMs)
{}

JobLogStore::~JobLogStore() = default;

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
    if (m_host.logPath().isEmpty() && !QDir().mkpath(target.absolutePath())) {
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

bool JobLogStore::OpenLogDatabase()
{
    const QString path = logFilePath();
    if (!QFileInfo::exists(path) && createFromTemplate(path)) {
        // These records are written before the file is opened for the caller: each of them
        // opens and closes the new file on its own.
        WriteAudit(QStringLiteral("Log"), QStringLiteral("New log file created."));
        WriteAudit(QStringLiteral("Queue"), QStringLiteral("Current Queue ") + m_host.serverBoxText() +
                                                QLatin1Char('-') + m_host.queueBoxText());
        if (m_host.autoQueueChecked()) {
            WriteAudit(QStringLiteral("AutoQueue"), QStringLiteral("AutoQueue Enabled"));
        }
    }
    QString error;
    std::unique_ptr<Database> db = Database::open(path, Database::Mode::ReadWrite, &error);
    if (!db) {
        qWarning().noquote() << "hlv: job log: cannot open" << path << ":" << error;
        m_db.reset();
        return false;
    }
    db->setBusyTimeout(m_busyTimeoutMs);
    // Every field is its own transaction: emptying the rollback journal instead of deleting
    // it spares a directory update per write (measured: about half the time per field),
    // with the same safety. A zero-length hlv.mdb-journal stays beside the log.
    db->exec(QStringLiteral("PRAGMA journal_mode = TRUNCATE"));
    m_db = std::move(db);
    return true;
}

void JobLogStore::CloseLogDatabase()
{
    m_db.reset();
}

bool JobLogStore::LogJobField(const QString& transactionId, const QString& field, const QVariant& value)
{
    if (!OpenLogDatabase()) {
        return false;
    }
    const bool stored = SetJobField(transactionId, field, value);
    CloseLogDatabase();
    return stored;
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
    if (!OpenLogDatabase()) {
        return false;
    }
    // Taken after the open, which writes a new log's own records first.
    const QDateTime now = m_clock.now();
    const std::optional<QString> text = vbText(description);
    const bool ok =
        m_db->exec(QStringLiteral("INSERT INTO HLV_Audit (\"Time\", \"Action\", \"Description\", "
                                  "\"HLV User\", \"HLV Computer\") VALUES (?1, ?2, ?3, ?4, ?5)"),
                   {storedTimeText(now), joblog::storedValue(action), text ? joblog::storedValue(*text) : QVariant(),
                    joblog::storedValue(m_env.userName()), joblog::storedValue(m_env.computerName())});
    if (!ok) {
        qWarning().noquote() << "hlv: job log: audit record" << action << "lost:" << m_db->lastError();
    }
    CloseLogDatabase();
    return ok;
}

bool JobLogStore::ExportLogToCsv()
{
    QString text = QStringLiteral("Server,Queue,Description,Computer,User,Pages,Priority,Size,Time Submitted,Year,"
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
        QStringList cells;
        while (query.next()) {
            cells.clear();
            for (int column = 0; column < 2; ++column) {
                cells << csvCell(fieldText(query.value(column)));
            }
            cells << csvCell(QLatin1Char('\'') + StripChars(fieldText(query.value(2)), QStringLiteral(",")) +
                             QLatin1Char('\''));
            for (int column = 3; column < 9; ++column) {
                cells << csvCell(fieldText(query.value(column)));
            }
            const QString submitted = fieldText(query.value(8));
            const QDate date = submitted.isEmpty() ? QDate() : dates.dateOf(submitted);
            if (date.isValid()) {
                cells << QString::number(date.year()) << locale.monthName(date.month(), QLocale::LongFormat)
                      << QString::number(date.day());
            } else {
                cells << QString() << QString() << QString();
            }
            for (int column = 9; column < 17; ++column) {
                cells << csvCell(fieldText(query.value(column)));
            }
            text += cells.join(QLatin1Char(',')) + kCrLf;
        }
        readOk = !query.failed();
        if (!readOk) {
            qWarning().noquote() << "hlv: job log: export read failed:" << m_db->lastError();
        }
        CloseLogDatabase();
    }
    text += kCrLf;

    const QString path = csvFilePath();
    QSaveFile file(path);
    const QByteArray bytes = text.toUtf8();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
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
    while (query.next()) {
        ++figures.LogJobsManaged;
        const QString submitted = fieldText(query.value(0));
        if (!submitted.isEmpty()) {
            const QDate date = dates.dateOf(submitted);
            if (date.isValid()) {
                const QDateTime day(date, QTime(0, 0));
                if (day < figures.LogStarted) {
                    figures.LogStarted = day;
                }
                if (day > figures.LogFinished) {
                    figures.LogFinished = day;
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
