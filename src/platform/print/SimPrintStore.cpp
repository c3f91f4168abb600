#include "platform/print/SimPrintStore.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

namespace hlv::sim {

namespace {

constexpr int kSchemaVersion = 1;

const char* const kSchema = R"sql(
CREATE TABLE server (key TEXT PRIMARY KEY, value TEXT);
CREATE TABLE queues (
    id INTEGER PRIMARY KEY,
    name TEXT NOT NULL UNIQUE COLLATE NOCASE,
    share_name TEXT NOT NULL DEFAULT '',
    shared INTEGER NOT NULL DEFAULT 1,
    local INTEGER NOT NULL DEFAULT 1,
    location TEXT NOT NULL DEFAULT '',
    comment TEXT NOT NULL DEFAULT '',
    driver TEXT NOT NULL DEFAULT '',
    port TEXT NOT NULL DEFAULT '',
    status INTEGER NOT NULL DEFAULT 0,
    extended_status INTEGER,
    deny_test_page INTEGER NOT NULL DEFAULT 0
);
CREATE TABLE jobs (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    queue_id INTEGER NOT NULL REFERENCES queues(id) ON DELETE CASCADE,
    document TEXT NOT NULL DEFAULT '',
    owner TEXT NOT NULL DEFAULT '',
    host TEXT NOT NULL DEFAULT '',
    total_pages INTEGER,
    pages_printed INTEGER NOT NULL DEFAULT 0,
    priority INTEGER NOT NULL DEFAULT 1,
    size INTEGER NOT NULL DEFAULT 0,
    submitted INTEGER NOT NULL,
    status_mask INTEGER NOT NULL DEFAULT 0
);
)sql";

// Queue states in which the simulated spooler sends nothing to the printer.
constexpr quint32 kQueueStoppedBits =
    PrinterStatus::Paused | PrinterStatus::Error | PrinterStatus::PendingDeletion | PrinterStatus::PaperJam |
    PrinterStatus::PaperOut | PrinterStatus::PaperProblem | PrinterStatus::Offline | PrinterStatus::OutputBinFull |
    PrinterStatus::NotAvailable | PrinterStatus::NoToner | PrinterStatus::UserIntervention | PrinterStatus::DoorOpen |
    PrinterStatus::ServerUnknown;
// Job states in which a job waits instead of printing.
constexpr quint32 kJobStoppedBits = JobStatus::Paused | JobStatus::Error | JobStatus::Deleting | JobStatus::Offline |
                                    JobStatus::PaperOut | JobStatus::BlockedDevQueue |
                                    JobStatus::UserInterventionRequired;

// A job is named after its queue as the queue list shows it: the share name, or the
// printer's own name when it is not shared.
const char* const kJobColumns = "j.id, CASE WHEN q.share_name <> '' THEN q.share_name ELSE q.name END, j.document, "
                                "j.host, j.owner, j.total_pages, j.pages_printed, "
                                "j.priority, j.size, j.submitted, j.status_mask";

PrintJobInfo readJob(const Query& q)
{
    PrintJobInfo job;
    job.JobId = q.value(0).toLongLong();
    job.Name = q.value(1).toString() + QStringLiteral(", ") + QString::number(job.JobId);
    job.Document = q.value(2).toString();
    const QString host = q.value(3).toString();
    job.HostPrintQueue = host.isEmpty() ? QString() : QStringLiteral("\\\\") + host;
    job.Owner = q.value(4).toString();
    if (!q.value(5).isNull()) {
        job.TotalPages = q.value(5).toLongLong();
    }
    job.PagesPrinted = q.value(6).toLongLong();
    job.Priority = q.value(7).toLongLong();
    if (!q.value(8).isNull()) {
        job.Size = q.value(8).toLongLong();
    }
    job.TimeSubmitted = QDateTime::fromMSecsSinceEpoch(q.value(9).toLongLong());
    job.StatusMask = static_cast<quint32>(q.value(10).toLongLong());
    return job;
}

int derivedExtendedStatus(quint32 status, bool printing)
{
    if (status & PrinterStatus::Paused) {
        return 8;
    }
    if (status & PrinterStatus::Offline) {
        return 7;
    }
    if (status & PrinterStatus::Error) {
        return 9;
    }
    return printing ? 4 : 3;
}

QString stripBackslashes(QString host)
{
    while (host.startsWith(QLatin1Char('\\'))) {
        host.remove(0, 1);
    }
    return host;
}

// A value as the one-line listing shows it: tabs and line breaks would split the line.
QString flat(QString text)
{
    text.replace(QLatin1Char('\t'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    return text;
}

} // namespace

QString SimPrintStore::fileFor(const QString& dir, const QString& server)
{
    if (dir.isEmpty()) {
        return {};
    }
    QString name = server.toLower();
    if (name == QStringLiteral(".")) {
        name = QStringLiteral("localhost");
    }
    // Host names, IP addresses and "host:port"; nothing that could leave the folder.
    static const QRegularExpression valid(QStringLiteral("^[a-z0-9_\\-][a-z0-9_.:\\-]*$"));
    if (!valid.match(name).hasMatch()) {
        return {};
    }
    return QDir(dir).filePath(name + QStringLiteral(".sqlite"));
}

SimPrintStore::SimPrintStore(std::unique_ptr<Database> db)
    : m_db(std::move(db))
{}

std::unique_ptr<SimPrintStore> SimPrintStore::open(const QString& dir, const QString& server, QString* error)
{
    const QString file = fileFor(dir, server);
    if (file.isEmpty() || !QFileInfo(file).isFile()) {
        if (error) {
            *error = QStringLiteral("The print server \"%1\" cannot be reached.").arg(server);
        }
        return nullptr;
    }
    QString openError;
    auto db = Database::open(file, Database::Mode::ReadWrite, &openError);
    if (!db) {
        if (error) {
            *error = QStringLiteral("The print server \"%1\" cannot be reached: %2").arg(server, openError);
        }
        return nullptr;
    }
    db->exec(QStringLiteral("PRAGMA foreign_keys = ON"));
    const auto version = db->scalar(QStringLiteral("PRAGMA user_version"));
    if (!version || version->toInt() != kSchemaVersion) {
        if (error) {
            *error =
                QStringLiteral("The print server \"%1\" cannot be reached: not a simulated print server").arg(server);
        }
        return nullptr;
    }
    return std::unique_ptr<SimPrintStore>(new SimPrintStore(std::move(db)));
}

std::unique_ptr<SimPrintStore> SimPrintStore::create(const QString& dir, const QString& server,
                                                     const QString& computerName, QString* error)
{
    const QString file = fileFor(dir, server);
    if (file.isEmpty()) {
        if (error) {
            *error = QStringLiteral("\"%1\" is not a valid server name.").arg(server);
        }
        return nullptr;
    }
    if (QFileInfo::exists(file)) {
        if (error) {
            *error = QStringLiteral("The server \"%1\" exists already.").arg(server);
        }
        return nullptr;
    }
    QDir().mkpath(dir);
    // Build the file under a temporary name and move it into place, so that no other
    // process ever opens a server whose tables are not there yet.
    const QString temp = file + QStringLiteral(".new");
    QFile::remove(temp);
    {
        auto db = Database::open(temp, Database::Mode::Create, error);
        if (!db) {
            return nullptr;
        }
        const bool ok =
            db->exec(QString::fromUtf8(kSchema)) &&
            db->exec(QStringLiteral("INSERT INTO server(key, value) VALUES ('computer_name', ?1)"), {computerName}) &&
            db->exec(QStringLiteral("PRAGMA user_version = %1").arg(kSchemaVersion));
        if (!ok) {
            if (error) {
                *error = db->lastError();
            }
            db.reset();
            QFile::remove(temp);
            return nullptr;
        }
    }
    if (!QFile::rename(temp, file)) {
        QFile::remove(temp);
        if (error) {
            *error = QStringLiteral("The server \"%1\" exists already.").arg(server);
        }
        return nullptr;
    }
    auto store = open(dir, server, error);
    if (store) {
        // Readers and writers of several processes then do not block each other.
        store->m_db->exec(QStringLiteral("PRAGMA journal_mode = WAL"));
    }
    return store;
}

PrintResult SimPrintStore::dbFailure()
{
    return PrintResult::failure(m_db->lastError());
}

PrintResult SimPrintStore::write(const std::function<PrintResult()>& body)
{
    if (!m_db->begin(true)) {
        return dbFailure();
    }
    PrintResult result = body();
    if (!result) {
        m_db->rollback();
        return result;
    }
    if (!m_db->commit()) {
        const PrintResult failure = dbFailure();
        m_db->rollback();
        return failure;
    }
    return result;
}

QString SimPrintStore::computerName()
{
    const auto value = m_db->scalar(QStringLiteral("SELECT value FROM server WHERE key = 'computer_name'"));
    return value ? value->toString() : QString();
}

std::optional<qint64> SimPrintStore::findQueue(const QString& queue)
{
    // A queue is named by its own name first, then by the name it is shared under.
    Query q(*m_db, QStringLiteral("SELECT id FROM (SELECT id, 0 AS rank FROM queues WHERE name = ?1 "
                                  "UNION ALL SELECT id, 1 FROM queues WHERE share_name <> '' "
                                  "AND share_name = ?1 COLLATE NOCASE) ORDER BY rank LIMIT 1"));
    q.bind(1, queue);
    if (!q.next()) {
        return std::nullopt;
    }
    return q.value(0).toLongLong();
}

PrintResult SimPrintStore::printers(QList<PrinterInfo>& out, const QString& serverName)
{
    out.clear();
    if (!m_db->begin()) {
        return dbFailure();
    }
    Query q(*m_db, QStringLiteral("SELECT q.name, q.share_name, q.shared, q.local, q.location, q.comment, q.driver, "
                                  "q.port, q.status, q.extended_status, "
                                  "EXISTS(SELECT 1 FROM jobs j WHERE j.queue_id = q.id AND (j.status_mask & 16) <> 0) "
                                  "FROM queues q ORDER BY q.id"));
    while (q.next()) {
        PrinterInfo p;
        p.Name = q.value(0).toString();
        p.ShareName = q.value(1).toString();
        p.Shared = q.value(2).toInt() != 0;
        p.Local = q.value(3).toInt() != 0;
        p.Location = q.value(4).toString();
        p.Comment = q.value(5).toString();
        p.DriverName = q.value(6).toString();
        p.PortName = q.value(7).toString();
        p.Status = static_cast<quint32>(q.value(8).toLongLong());
        p.ExtendedPrinterStatus =
            q.value(9).isNull() ? derivedExtendedStatus(p.Status, q.value(10).toInt() != 0) : q.value(9).toInt();
        p.PrinterPath = QStringLiteral("\\\\") + serverName + QLatin1Char('\\') + p.queueName();
        out.append(p);
    }
    const bool failed = q.failed();
    m_db->commit();
    return failed ? dbFailure() : PrintResult::success();
}

std::optional<qint64> SimPrintStore::dataVersion()
{
    const auto version = m_db->scalar(QStringLiteral("PRAGMA data_version"));
    if (!version) {
        return std::nullopt;
    }
    return version->toLongLong();
}

PrintResult SimPrintStore::jobs(QList<PrintJobInfo>& out, const QString& queue)
{
    out.clear();
    if (!m_db->begin()) {
        return dbFailure();
    }
    PrintResult result;
    std::optional<qint64> queueId;
    if (!queue.isEmpty()) {
        queueId = findQueue(queue);
        if (!queueId) {
            result = PrintResult::failure(QStringLiteral("The printer \"%1\" does not exist.").arg(queue));
        }
    }
    if (result) {
        Query q(*m_db,
                QStringLiteral("SELECT %1 FROM jobs j JOIN queues q ON q.id = j.queue_id %2 ORDER BY j.id")
                    .arg(QLatin1String(kJobColumns), queueId ? QStringLiteral("WHERE j.queue_id = ?1") : QString()));
        if (queueId) {
            q.bind(1, *queueId);
        }
        while (q.next()) {
            out.append(readJob(q));
        }
        if (q.failed()) {
            result = dbFailure();
        }
    }
    m_db->commit();
    return result;
}

PrintResult SimPrintStore::changeQueueBits(const QString& queue, quint32 set, quint32 clear)
{
    return write([&]() {
        const auto id = findQueue(queue);
        if (!id) {
            return PrintResult::failure(QStringLiteral("The printer \"%1\" does not exist.").arg(queue));
        }
        if (!m_db->exec(QStringLiteral("UPDATE queues SET status = (status | ?1) & ~?2 WHERE id = ?3"),
                        {qint64(set), qint64(clear), *id})) {
            return dbFailure();
        }
        return PrintResult::success();
    });
}

PrintResult SimPrintStore::changeJobBits(const QString& queue, qint64 jobId, quint32 set, quint32 clear)
{
    return write([&]() {
        const auto id = findQueue(queue);
        if (!id) {
            return PrintResult::failure(QStringLiteral("The printer \"%1\" does not exist.").arg(queue));
        }
        if (!m_db->exec(QStringLiteral("UPDATE jobs SET status_mask = (status_mask | ?1) & ~?2 "
                                       "WHERE id = ?3 AND queue_id = ?4"),
                        {qint64(set), qint64(clear), jobId, *id})) {
            return dbFailure();
        }
        if (m_db->changes() == 0) {
            return PrintResult::failure(QStringLiteral("The print job %1 does not exist.").arg(jobId));
        }
        return PrintResult::success();
    });
}

PrintResult SimPrintStore::pauseQueue(const QString& queue)
{
    return changeQueueBits(queue, PrinterStatus::Paused, 0);
}

PrintResult SimPrintStore::resumeQueue(const QString& queue)
{
    return changeQueueBits(queue, 0, PrinterStatus::Paused);
}

PrintResult SimPrintStore::purgeQueue(const QString& queue)
{
    return write([&]() {
        const auto id = findQueue(queue);
        if (!id) {
            return PrintResult::failure(QStringLiteral("The printer \"%1\" does not exist.").arg(queue));
        }
        if (!m_db->exec(QStringLiteral("DELETE FROM jobs WHERE queue_id = ?1"), {*id})) {
            return dbFailure();
        }
        return PrintResult::success();
    });
}

PrintResult SimPrintStore::pauseJob(const QString& queue, qint64 jobId)
{
    return changeJobBits(queue, jobId, JobStatus::Paused, 0);
}

PrintResult SimPrintStore::resumeJob(const QString& queue, qint64 jobId)
{
    return changeJobBits(queue, jobId, 0, JobStatus::Paused);
}

PrintResult SimPrintStore::removeJob(const QString& queue, qint64 jobId)
{
    return write([&]() {
        const auto id = findQueue(queue);
        if (!id) {
            return PrintResult::failure(QStringLiteral("The printer \"%1\" does not exist.").arg(queue));
        }
        if (!m_db->exec(QStringLiteral("DELETE FROM jobs WHERE id = ?1 AND queue_id = ?2"), {jobId, *id})) {
            return dbFailure();
        }
        if (m_db->changes() == 0) {
            return PrintResult::failure(QStringLiteral("The print job %1 does not exist.").arg(jobId));
        }
        return PrintResult::success();
    });
}

PrintResult SimPrintStore::setJobPriority(const QString& queue, qint64 jobId, qint64 priority)
{
    if (priority < kMinPriority || priority > kMaxPriority) {
        return PrintResult::failure(QStringLiteral("The priority %1 is out of range (%2 to %3).")
                                        .arg(priority)
                                        .arg(kMinPriority)
                                        .arg(kMaxPriority));
    }
    return write([&]() {
        const auto id = findQueue(queue);
        if (!id) {
            return PrintResult::failure(QStringLiteral("The printer \"%1\" does not exist.").arg(queue));
        }
        if (!m_db->exec(QStringLiteral("UPDATE jobs SET priority = ?1 WHERE id = ?2 AND queue_id = ?3"),
                        {priority, jobId, *id})) {
            return dbFailure();
        }
        if (m_db->changes() == 0) {
            return PrintResult::failure(QStringLiteral("The print job %1 does not exist.").arg(jobId));
        }
        return PrintResult::success();
    });
}

int SimPrintStore::printTestPage(const QString& printerName, const QString& user, const QString& host)
{
    int code = TestPageResult::Failed;
    write([&]() {
        const auto id = findQueue(printerName);
        if (!id) {
            return PrintResult::failure({});
        }
        const auto deny = m_db->scalar(QStringLiteral("SELECT deny_test_page FROM queues WHERE id = ?1"), {*id});
        if (deny && deny->toInt() != 0) {
            code = TestPageResult::AccessDenied;
            return PrintResult::failure({});
        }
        if (!m_db->exec(QStringLiteral("INSERT INTO jobs(queue_id, document, owner, host, total_pages, size, "
                                       "priority, submitted) VALUES (?1, 'Test Page', ?2, ?3, 1, 20480, 1, ?4)"),
                        {*id, user, stripBackslashes(host), QDateTime::currentMSecsSinceEpoch()})) {
            return dbFailure();
        }
        code = TestPageResult::Success;
        return PrintResult::success();
    });
    return code;
}

PrintResult SimPrintStore::addQueue(const NewQueue& def)
{
    if (def.name.isEmpty()) {
        return PrintResult::failure(QStringLiteral("A queue needs a name."));
    }
    return write([&]() {
        // Printer names are unique among printers and share names among shares; a printer
        // may be named like another printer's share, as spoolers allow.
        const QString share = def.shareName.isEmpty() && !def.notShared ? def.name : def.shareName;
        if (m_db->scalar(QStringLiteral("SELECT 1 FROM queues WHERE name = ?1"), {def.name})) {
            return PrintResult::failure(QStringLiteral("The printer \"%1\" exists already.").arg(def.name));
        }
        if (!share.isEmpty() &&
            m_db->scalar(QStringLiteral("SELECT 1 FROM queues WHERE share_name = ?1 COLLATE NOCASE"), {share})) {
            return PrintResult::failure(QStringLiteral("The share name \"%1\" is in use already.").arg(share));
        }
        if (!m_db->exec(QStringLiteral("INSERT INTO queues(name, share_name, shared, location, comment, driver, port) "
                                       "VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)"),
                        {def.name, share, def.notShared ? 0 : 1, def.location, def.comment, def.model, def.port})) {
            return dbFailure();
        }
        return PrintResult::success();
    });
}

PrintResult SimPrintStore::addJob(const NewJob& def, qint64& jobId)
{
    if (def.priority < kMinPriority || def.priority > kMaxPriority) {
        return PrintResult::failure(QStringLiteral("The priority %1 is out of range (%2 to %3).")
                                        .arg(def.priority)
                                        .arg(kMinPriority)
                                        .arg(kMaxPriority));
    }
    return write([&]() {
        const auto id = findQueue(def.queue);
        if (!id) {
            return PrintResult::failure(QStringLiteral("The printer \"%1\" does not exist.").arg(def.queue));
        }
        const QDateTime submitted = def.submitted.isValid() ? def.submitted : QDateTime::currentDateTime();
        if (!m_db->exec(QStringLiteral("INSERT INTO jobs(queue_id, document, owner, host, total_pages, size, "
                                       "priority, submitted, status_mask) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)"),
                        {*id, def.document, def.owner, stripBackslashes(def.host),
                         def.pages ? QVariant(*def.pages) : QVariant(), def.size, def.priority,
                         submitted.toMSecsSinceEpoch(), qint64(def.paused ? JobStatus::Paused : 0)})) {
            return dbFailure();
        }
        jobId = m_db->lastInsertRowId();
        return PrintResult::success();
    });
}

PrintResult SimPrintStore::setJob(qint64 jobId, std::optional<quint32> statusMask, std::optional<qint64> pagesPrinted,
                                  std::optional<qint64> priority)
{
    return write([&]() {
        const auto exists = m_db->scalar(QStringLiteral("SELECT 1 FROM jobs WHERE id = ?1"), {jobId});
        if (!exists) {
            return PrintResult::failure(QStringLiteral("The print job %1 does not exist.").arg(jobId));
        }
        bool ok = true;
        if (statusMask) {
            ok = ok && m_db->exec(QStringLiteral("UPDATE jobs SET status_mask = ?1 WHERE id = ?2"),
                                  {qint64(*statusMask), jobId});
        }
        if (pagesPrinted) {
            ok = ok &&
                 m_db->exec(QStringLiteral("UPDATE jobs SET pages_printed = ?1 WHERE id = ?2"), {*pagesPrinted, jobId});
        }
        if (priority) {
            ok = ok && m_db->exec(QStringLiteral("UPDATE jobs SET priority = ?1 WHERE id = ?2"), {*priority, jobId});
        }
        return ok ? PrintResult::success() : dbFailure();
    });
}

PrintResult SimPrintStore::removeJob(qint64 jobId)
{
    return write([&]() {
        if (!m_db->exec(QStringLiteral("DELETE FROM jobs WHERE id = ?1"), {jobId})) {
            return dbFailure();
        }
        if (m_db->changes() == 0) {
            return PrintResult::failure(QStringLiteral("The print job %1 does not exist.").arg(jobId));
        }
        return PrintResult::success();
    });
}

PrintResult SimPrintStore::setQueue(const QString& queue, std::optional<quint32> status,
                                    std::optional<int> extendedStatus, std::optional<bool> denyTestPage)
{
    return write([&]() {
        const auto id = findQueue(queue);
        if (!id) {
            return PrintResult::failure(QStringLiteral("The printer \"%1\" does not exist.").arg(queue));
        }
        bool ok = true;
        if (status) {
            ok =
                ok && m_db->exec(QStringLiteral("UPDATE queues SET status = ?1 WHERE id = ?2"), {qint64(*status), *id});
        }
        if (extendedStatus) {
            // 0 hands the value back to the simulated spooler, which derives it from the state.
            ok = ok && m_db->exec(QStringLiteral("UPDATE queues SET extended_status = ?1 WHERE id = ?2"),
                                  {*extendedStatus == 0 ? QVariant() : QVariant(*extendedStatus), *id});
        }
        if (denyTestPage) {
            ok = ok && m_db->exec(QStringLiteral("UPDATE queues SET deny_test_page = ?1 WHERE id = ?2"),
                                  {*denyTestPage ? 1 : 0, *id});
        }
        return ok ? PrintResult::success() : dbFailure();
    });
}

PrintResult SimPrintStore::print(qint64 pages)
{
    if (pages < 1) {
        pages = 1;
    }
    return write([&]() {
        QList<qint64> running;
        {
            Query q(*m_db, QStringLiteral("SELECT id FROM queues WHERE (status & ?1) = 0 ORDER BY id"));
            q.bind(1, qint64(kQueueStoppedBits));
            while (q.next()) {
                running.append(q.value(0).toLongLong());
            }
            if (q.failed()) {
                return dbFailure();
            }
        }
        for (const qint64 queueId : running) {
            // The job already printing goes on; otherwise the next job by priority, then by age.
            Query q(*m_db, QStringLiteral("SELECT id, total_pages, pages_printed, status_mask FROM jobs "
                                          "WHERE queue_id = ?1 AND (status_mask & ?2) = 0 "
                                          "ORDER BY (status_mask & 16) DESC, priority DESC, id LIMIT 1"));
            q.bind(1, queueId).bind(2, qint64(kJobStoppedBits));
            if (!q.next()) {
                if (q.failed()) {
                    return dbFailure();
                }
                continue;
            }
            const qint64 jobId = q.value(0).toLongLong();
            const bool pagesKnown = !q.value(1).isNull();
            const qint64 total = q.value(1).toLongLong();
            const qint64 printed = q.value(2).toLongLong() + pages;
            const quint32 mask =
                (static_cast<quint32>(q.value(3).toLongLong()) | JobStatus::Printing) & ~quint32(JobStatus::Spooling);
            bool ok = true;
            if (!pagesKnown || printed >= total) {
                ok = m_db->exec(QStringLiteral("DELETE FROM jobs WHERE id = ?1"), {jobId});
            } else {
                ok = m_db->exec(QStringLiteral("UPDATE jobs SET pages_printed = ?1, status_mask = ?2 WHERE id = ?3"),
                                {printed, qint64(mask), jobId});
            }
            if (!ok) {
                return dbFailure();
            }
        }
        return PrintResult::success();
    });
}

PrintResult SimPrintStore::show(QStringList& lines, const QString& serverName)
{
    lines.clear();
    QList<PrinterInfo> queues;
    QList<PrintJobInfo> all;
    if (PrintResult r = printers(queues, serverName); !r) {
        return r;
    }
    if (PrintResult r = jobs(all); !r) {
        return r;
    }
    const auto deny = [this](const QString& name) {
        const auto v = m_db->scalar(QStringLiteral("SELECT deny_test_page FROM queues WHERE name = ?1"), {name});
        return v && v->toInt() != 0;
    };
    lines.append(QStringLiteral("server\tName=%1\tComputerName=%2").arg(flat(serverName), flat(computerName())));
    for (const PrinterInfo& p : queues) {
        lines.append(QStringLiteral("queue\tName=%1\tShareName=%2\tShared=%3\tStatus=%4\tExtendedPrinterStatus=%5"
                                    "\tLocation=%6\tComment=%7\tDriverName=%8\tPortName=%9")
                         .arg(flat(p.Name), flat(p.ShareName), QString::number(p.Shared ? 1 : 0),
                              QString::number(p.Status), QString::number(p.ExtendedPrinterStatus), flat(p.Location),
                              flat(p.Comment), flat(p.DriverName), flat(p.PortName)) +
                     QStringLiteral("\tDenyTestPage=%1").arg(deny(p.Name) ? 1 : 0));
    }
    for (const PrintJobInfo& j : all) {
        lines.append(QStringLiteral("job\tJobId=%1\tName=%2\tDocument=%3\tOwner=%4\tHostPrintQueue=%5\tTotalPages=%6"
                                    "\tPagesPrinted=%7\tPriority=%8\tSize=%9")
                         .arg(QString::number(j.JobId), flat(j.Name), flat(j.Document), flat(j.Owner),
                              flat(j.HostPrintQueue), j.TotalPages ? QString::number(*j.TotalPages) : QString(),
                              QString::number(j.PagesPrinted), QString::number(j.Priority),
                              j.Size ? QString::number(*j.Size) : QString()) +
                     QStringLiteral("\tStatusMask=%1\tTimeSubmitted=%2")
                         .arg(QString::number(j.StatusMask), j.TimeSubmitted.toString(Qt::ISODate)));
    }
    return PrintResult::success();
}

} // namespace hlv::sim
