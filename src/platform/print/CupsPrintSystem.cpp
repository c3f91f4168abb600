#include "platform/print/CupsPrintSystem.h"

#include <string>

#include <QDateTime>
#include <QSysInfo>
#include <QTemporaryFile>
#include <QUrl>
#include <cups/cups.h>

#include "platform/print/CupsSubscription.h"
#include "platform/print/LocalUser.h"

namespace hlv {

namespace {

constexpr int kConnectTimeoutMs = 3000;
constexpr double kFirstAnswerTimeoutSeconds = 1.5;
constexpr double kAnswerTimeoutSeconds = 10.0;

QString text(const char* value)
{
    return value ? QString::fromUtf8(value) : QString();
}

std::string utf8(const QString& value)
{
    return value.toUtf8().toStdString();
}

// Gives up at the first expiry of the answer time-out instead of waiting on.
int giveUp(http_t*, void*)
{
    return 0;
}

const char* noPassword(const char*, http_t*, const char*, const char*, void*)
{
    return nullptr;
}

// Strips the severity suffix IPP puts on printer-state-reasons.
QString baseReason(const QString& reason)
{
    for (const char* suffix : {"-report", "-warning", "-error"}) {
        if (reason.endsWith(QLatin1String(suffix))) {
            return reason.left(reason.size() - static_cast<qsizetype>(qstrlen(suffix)));
        }
    }
    return reason;
}

QStringList strings(ipp_attribute_t* attr)
{
    QStringList out;
    const int count = ippGetCount(attr);
    for (int i = 0; i < count; ++i) {
        out.append(text(ippGetString(attr, i, nullptr)));
    }
    return out;
}

// One group of a response (one printer or one job) as name -> attribute.
struct Group
{
    QList<ipp_attribute_t*> attrs;

    ipp_attribute_t* find(const char* name) const
    {
        for (ipp_attribute_t* a : attrs) {
            const char* n = ippGetName(a);
            if (n && qstrcmp(n, name) == 0) {
                return a;
            }
        }
        return nullptr;
    }
    QString string(const char* name) const
    {
        ipp_attribute_t* a = find(name);
        return a ? text(ippGetString(a, 0, nullptr)) : QString();
    }
    std::optional<int> integer(const char* name) const
    {
        ipp_attribute_t* a = find(name);
        if (!a || (ippGetValueTag(a) != IPP_TAG_INTEGER && ippGetValueTag(a) != IPP_TAG_ENUM)) {
            return std::nullopt;
        }
        return ippGetInteger(a, 0);
    }
    bool boolean(const char* name) const
    {
        ipp_attribute_t* a = find(name);
        return a && ippGetValueTag(a) == IPP_TAG_BOOLEAN && ippGetBoolean(a, 0);
    }
    QStringList list(const char* name) const
    {
        ipp_attribute_t* a = find(name);
        return a ? strings(a) : QStringList();
    }
};

QList<Group> groups(ipp_t* response, ipp_tag_t tag)
{
    QList<Group> out;
    Group current;
    bool inside = false;
    for (ipp_attribute_t* a = ippFirstAttribute(response); a; a = ippNextAttribute(response)) {
        if (!ippGetName(a) || ippGetGroupTag(a) != tag) {
            if (inside && !current.attrs.isEmpty()) {
                out.append(current);
            }
            current = Group();
            inside = ippGetGroupTag(a) == tag && ippGetName(a);
            if (inside) {
                current.attrs.append(a);
            }
            continue;
        }
        inside = true;
        current.attrs.append(a);
    }
    if (inside && !current.attrs.isEmpty()) {
        out.append(current);
    }
    return out;
}

// The last segment of a printer URI: the queue name.
QString queueFromUri(const QString& uri)
{
    const QString path = QUrl(uri).path();
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return QUrl::fromPercentEncoding(path.mid(slash + 1).toUtf8());
}

QString testPageText(const QString& server, const QString& printer, const QString& user)
{
    return QStringLiteral("Halvern test page\n\n"
                          "Printer: %1\nServer:  %2\nSent by: %3\nTime:    %4\n\n"
                          "If you can read this page, the printer and its queue work.\n")
        .arg(printer, server, user, QDateTime::currentDateTime().toString(Qt::ISODate));
}

} // namespace

// State shared between the print system and every connection it opened: the password
// prompt may be set after a connection was made.
struct CupsPrintSystem::Shared
{
    PasswordPrompt prompt;
    std::string password; // the answer handed to libcups; must outlive the callback
    QString server;       // the server of the request running now, for the prompt

    static const char* passwordCallback(const char* prompt, http_t*, const char*, const char*, void* data)
    {
        Q_UNUSED(prompt);
        auto* self = static_cast<Shared*>(data);
        if (!self || !self->prompt) {
            return nullptr;
        }
        const std::optional<QString> answer = self->prompt(self->server, text(cupsUser()));
        if (!answer) {
            return nullptr;
        }
        self->password = utf8(*answer);
        return self->password.c_str();
    }
};

namespace {

class CupsPrintServer final : public PrintServer
{
public:
    // host and port: how printer URIs and web pages name the server.
    CupsPrintServer(QString name, bool localComputer, QString host, int port, http_t* http,
                    std::shared_ptr<CupsPrintSystem::Shared> shared)
        : m_name(std::move(name))
        , m_localComputer(localComputer)
        , m_host(std::move(host))
        , m_port(port)
        , m_http(http)
        , m_shared(std::move(shared))
    {}
    ~CupsPrintServer() override { httpClose(m_http); }

    QString serverName() const override { return m_name; }

    PrintResult printers(QList<PrinterInfo>& out) override
    {
        out.clear();
        static const char* const wanted[] = {
            "printer-name", "printer-info",          "printer-location",         "printer-make-and-model",
            "device-uri",   "printer-state",         "printer-state-reasons",    "printer-is-shared",
            "printer-type", "printer-uri-supported", "printer-is-accepting-jobs"};
        ipp_t* request = newRequest(IPP_OP_CUPS_GET_PRINTERS, QString());
        ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                      static_cast<int>(std::size(wanted)), nullptr, wanted);
        ipp_t* response = nullptr;
        bool answered = false;
        const PrintResult r = run(request, "/", &response, &answered);
        if (!r) {
            // A server without any printer answers "not found": that is an empty list.
            if (answered && cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND) {
                return PrintResult::success();
            }
            return r;
        }
        for (const Group& g : groups(response, IPP_TAG_PRINTER)) {
            PrinterInfo p;
            p.Name = g.string("printer-name");
            if (p.Name.isEmpty()) {
                continue;
            }
            p.ShareName = p.Name;
            p.Shared = g.boolean("printer-is-shared");
            p.Local = (g.integer("printer-type").value_or(0) & CUPS_PRINTER_REMOTE) == 0;
            p.Location = g.string("printer-location");
            p.Comment = g.string("printer-info");
            p.DriverName = g.string("printer-make-and-model");
            p.PortName = g.string("device-uri");
            const int state = g.integer("printer-state").value_or(IPP_PSTATE_IDLE);
            p.Status = CupsPrintSystem::printerStatusBits(state, g.list("printer-state-reasons"));
            p.ExtendedPrinterStatus = CupsPrintSystem::extendedPrinterStatus(state, p.Status);
            p.PrinterPath = QStringLiteral("\\\\") + m_name + QLatin1Char('\\') + p.ShareName;
            out.append(p);
        }
        ippDelete(response);
        return PrintResult::success();
    }

    PrintResult jobs(QList<PrintJobInfo>& out) override { return listJobs(QString(), out); }

    std::unique_ptr<JobWatch> watchJobs() override
    {
        prepare();
        return CupsSubscription::create(m_http, printerUri(QString()), utf8(localUserName()));
    }

    PrintResult job(qint64 jobId, PrintJobInfo& out, bool& found) override
    {
        QList<PrintJobInfo> one;
        const PrintResult r = listJobs(QString(), one, jobId);
        found = !one.isEmpty();
        if (found) {
            out = one.first();
        }
        return r;
    }

    PrintResult queueJobs(const QString& queue, QList<PrintJobInfo>& out) override
    {
        out.clear();
        if (queue.isEmpty()) {
            return PrintResult::failure(QStringLiteral("No printer name was given."));
        }
        return listJobs(queue, out);
    }

    PrintResult computerName(QString& out) override
    {
        out = m_localComputer ? QSysInfo::machineHostName() : m_host;
        return PrintResult::success();
    }

    PrintResult pauseQueue(const QString& queue) override { return queueOperation(IPP_OP_PAUSE_PRINTER, queue); }
    PrintResult resumeQueue(const QString& queue) override { return queueOperation(IPP_OP_RESUME_PRINTER, queue); }
    PrintResult purgeQueue(const QString& queue) override { return queueOperation(IPP_OP_CANCEL_JOBS, queue); }

    PrintResult pauseJob(const QString& queue, qint64 jobId) override
    {
        return jobOperation(IPP_OP_HOLD_JOB, queue, jobId);
    }
    PrintResult resumeJob(const QString& queue, qint64 jobId) override
    {
        return jobOperation(IPP_OP_RELEASE_JOB, queue, jobId);
    }
    PrintResult removeJob(const QString& queue, qint64 jobId) override
    {
        return jobOperation(IPP_OP_CANCEL_JOB, queue, jobId);
    }
    PrintResult setJobPriority(const QString& queue, qint64 jobId, qint64 priority) override
    {
        if (priority < 1 || priority > 100) {
            return PrintResult::failure(QStringLiteral("The priority %1 is out of range (1 to 100).").arg(priority));
        }
        return jobOperation(IPP_OP_SET_JOB_ATTRIBUTES, queue, jobId, [priority](ipp_t* request) {
            ippAddInteger(request, IPP_TAG_JOB, IPP_TAG_INTEGER, "job-priority", static_cast<int>(priority));
        });
    }

    int printTestPage(const QString& printerName) override
    {
        if (printerName.isEmpty()) {
            return TestPageResult::Failed;
        }
        const QByteArray page = testPageText(m_name, printerName, localUserName()).toUtf8();
        ipp_t* request = newRequest(IPP_OP_PRINT_JOB, printerName);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "job-name", nullptr, "Test Page");
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_MIMETYPE, "document-format", nullptr, "text/plain");

        // A file request, because libcups then answers a password challenge and sends again.
        QTemporaryFile file;
        if (!file.open() || file.write(page) != page.size() || !file.flush()) {
            ippDelete(request);
            return TestPageResult::Failed;
        }
        const std::string resource = "/printers/" + utf8(printerName);
        prepare();
        ipp_t* response =
            cupsDoFileRequest(m_http, request, resource.c_str(), QFile::encodeName(file.fileName()).constData());
        const bool ok = response && cupsLastError() <= IPP_STATUS_OK_EVENTS_COMPLETE;
        ippDelete(response);
        if (ok) {
            return TestPageResult::Success;
        }
        const ipp_status_t ipp = cupsLastError();
        if (ipp == IPP_STATUS_ERROR_FORBIDDEN || ipp == IPP_STATUS_ERROR_NOT_AUTHORIZED ||
            ipp == IPP_STATUS_ERROR_NOT_AUTHENTICATED || ipp == IPP_STATUS_ERROR_CUPS_AUTHENTICATION_CANCELED) {
            return TestPageResult::AccessDenied;
        }
        return TestPageResult::Failed;
    }

    // Whether an IPP server answers at all; any IPP answer counts, a refusal included.
    PrintResult probe()
    {
        bool answered = false;
        const PrintResult r = run(newRequest(IPP_OP_CUPS_GET_DEFAULT, QString()), "/", nullptr, &answered);
        if (!answered) {
            return r;
        }
        return PrintResult::success();
    }

    QString printerWebPage(const QString& printerName) const override
    {
        QUrl url;
        url.setScheme(QStringLiteral("http"));
        url.setHost(m_host);
        url.setPort(m_port);
        url.setPath(QStringLiteral("/printers/") + printerName);
        return url.toString(QUrl::FullyEncoded);
    }

private:
    void prepare()
    {
        m_shared->server = m_name;
        cupsSetPasswordCB2(&CupsPrintSystem::Shared::passwordCallback, m_shared.get());
    }

    std::string printerUri(const QString& queue) const
    {
        char uri[HTTP_MAX_URI];
        const std::string host = utf8(m_host);
        const int port = m_port;
        if (queue.isEmpty()) {
            httpAssembleURI(HTTP_URI_CODING_ALL, uri, sizeof(uri), "ipp", nullptr, host.c_str(), port, "/");
        } else {
            const std::string path = "/printers/" + utf8(queue);
            httpAssembleURI(HTTP_URI_CODING_ALL, uri, sizeof(uri), "ipp", nullptr, host.c_str(), port, path.c_str());
        }
        return uri;
    }

    ipp_t* newRequest(ipp_op_t op, const QString& queue) const
    {
        ipp_t* request = ippNewRequest(op);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, printerUri(queue).c_str());
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                     utf8(localUserName()).c_str());
        return request;
    }

    // Sends a request (taking it over) and keeps the answer in *response when asked for.
    // *answered tells whether an IPP answer came back at all (a failure status included).
    PrintResult run(ipp_t* request, const char* resource, ipp_t** response = nullptr, bool* answered = nullptr)
    {
        prepare();
        ipp_t* answer = cupsDoRequest(m_http, request, resource);
        const ipp_status_t status = cupsLastError();
        if (answered) {
            *answered = answer != nullptr;
        }
        if (!answer || status > IPP_STATUS_OK_EVENTS_COMPLETE) {
            ippDelete(answer);
            QString message = text(cupsLastErrorString());
            if (message.isEmpty()) {
                message = QStringLiteral("The print server did not answer.");
            }
            return PrintResult::failure(message);
        }
        if (response) {
            *response = answer;
        } else {
            ippDelete(answer);
        }
        return PrintResult::success();
    }

    PrintResult queueOperation(ipp_op_t op, const QString& queue)
    {
        if (queue.isEmpty()) {
            return PrintResult::failure(QStringLiteral("No printer name was given."));
        }
        return run(newRequest(op, queue), "/admin/");
    }

    template <typename Extra = std::nullptr_t>
    PrintResult jobOperation(ipp_op_t op, const QString& queue, qint64 jobId, Extra extra = nullptr)
    {
        if (queue.isEmpty()) {
            return PrintResult::failure(QStringLiteral("No printer name was given."));
        }
        if (jobId <= 0 || jobId > INT_MAX) {
            return PrintResult::failure(QStringLiteral("The print job %1 does not exist.").arg(jobId));
        }
        // CUPS finds a job by its id alone, whatever printer the request names; a job is
        // only reached through the queue that holds it.
        if (const PrintResult held = checkJobQueue(queue, jobId); !held) {
            return held;
        }
        ipp_t* request = newRequest(op, queue);
        ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", static_cast<int>(jobId));
        if constexpr (!std::is_same_v<Extra, std::nullptr_t>) {
            extra(request);
        }
        return run(request, "/jobs/");
    }

    PrintResult checkJobQueue(const QString& queue, qint64 jobId)
    {
        static const char* const wanted[] = {"job-printer-uri"};
        ipp_t* request = newRequest(IPP_OP_GET_JOB_ATTRIBUTES, queue);
        ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", static_cast<int>(jobId));
        ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 1, nullptr, wanted);
        ipp_t* response = nullptr;
        if (PrintResult r = run(request, "/jobs/", &response); !r) {
            return r;
        }
        QString printer;
        if (ipp_attribute_t* a = ippFindAttribute(response, "job-printer-uri", IPP_TAG_URI)) {
            printer = queueFromUri(text(ippGetString(a, 0, nullptr)));
        }
        ippDelete(response);
        if (printer.compare(queue, Qt::CaseInsensitive) != 0) {
            return PrintResult::failure(
                QStringLiteral("The print job %1 does not exist in the queue %2.").arg(jobId).arg(queue));
        }
        return PrintResult::success();
    }

    // The jobs of a queue (all queues when empty) that are not completed; with a job id,
    // that one job as long as it is not completed (none when the server no longer has it).
    PrintResult listJobs(const QString& queue, QList<PrintJobInfo>& out, qint64 jobId = 0)
    {
        out.clear();
        static const char* const wanted[] = {"job-id",
                                             "job-name",
                                             "job-originating-host-name",
                                             "job-originating-user-name",
                                             "job-printer-uri",
                                             "job-priority",
                                             "job-k-octets",
                                             "time-at-creation",
                                             "job-state",
                                             "job-state-reasons",
                                             "job-impressions",
                                             "job-impressions-completed",
                                             "job-media-sheets",
                                             "job-media-sheets-completed"};
        ipp_t* request = newRequest(jobId > 0 ? IPP_OP_GET_JOB_ATTRIBUTES : IPP_OP_GET_JOBS, queue);
        if (jobId > 0) {
            ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", static_cast<int>(jobId));
        } else {
            ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "which-jobs", nullptr, "not-completed");
        }
        ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                      static_cast<int>(std::size(wanted)), nullptr, wanted);
        ipp_t* response = nullptr;
        bool answered = false;
        const PrintResult r = run(request, "/", &response, &answered);
        if (!r) {
            const bool gone = jobId > 0 && answered && cupsLastError() == IPP_STATUS_ERROR_NOT_FOUND;
            return gone ? PrintResult::success() : r;
        }
        // The reasons of the printers explain why a stopped job stopped.
        QHash<QString, QStringList> printerReasons;
        for (const Group& g : groups(response, IPP_TAG_JOB)) {
            const auto id = g.integer("job-id");
            if (!id) {
                continue;
            }
            PrintJobInfo job;
            job.JobId = *id;
            const QString printer = queueFromUri(g.string("job-printer-uri"));
            job.Name = printer + QStringLiteral(", ") + QString::number(job.JobId);
            job.Document = g.string("job-name");
            QString host = g.string("job-originating-host-name");
            // A job sent on the server itself names the server's loopback; for anyone
            // looking from elsewhere that computer is the server.
            if (!m_localComputer && (host == QStringLiteral("localhost") || host == QStringLiteral("127.0.0.1") ||
                                     host == QStringLiteral("::1"))) {
                host = m_host;
            }
            job.HostPrintQueue = host.isEmpty() ? QString() : QStringLiteral("\\\\") + host;
            job.Owner = g.string("job-originating-user-name");
            if (const auto pages = g.integer("job-impressions")) {
                job.TotalPages = *pages;
            } else if (const auto sheets = g.integer("job-media-sheets")) {
                job.TotalPages = *sheets;
            }
            job.PagesPrinted =
                g.integer("job-impressions-completed").value_or(g.integer("job-media-sheets-completed").value_or(0));
            job.Priority = g.integer("job-priority").value_or(50);
            job.Size = qint64(g.integer("job-k-octets").value_or(0)) * 1024;
            job.TimeSubmitted = QDateTime::fromSecsSinceEpoch(g.integer("time-at-creation").value_or(0));
            const int state = g.integer("job-state").value_or(IPP_JSTATE_PENDING);
            if (jobId > 0 && state >= IPP_JSTATE_CANCELED) {
                continue;
            }
            QStringList reasons;
            if (state == IPP_JSTATE_STOPPED) {
                if (!printerReasons.contains(printer)) {
                    printerReasons.insert(printer, reasonsOf(printer));
                }
                reasons = printerReasons.value(printer);
            }
            job.StatusMask = CupsPrintSystem::jobStatusMask(state, g.list("job-state-reasons"), reasons);
            out.append(job);
        }
        ippDelete(response);
        return PrintResult::success();
    }

    QStringList reasonsOf(const QString& printer)
    {
        static const char* const wanted[] = {"printer-state-reasons"};
        ipp_t* request = newRequest(IPP_OP_GET_PRINTER_ATTRIBUTES, printer);
        ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 1, nullptr, wanted);
        ipp_t* response = nullptr;
        if (!run(request, "/", &response)) {
            return {};
        }
        QStringList out;
        if (ipp_attribute_t* a = ippFindAttribute(response, "printer-state-reasons", IPP_TAG_KEYWORD)) {
            out = strings(a);
        }
        ippDelete(response);
        return out;
    }

    QString m_name;
    bool m_localComputer;
    QString m_host;
    int m_port;
    http_t* m_http;
    std::shared_ptr<CupsPrintSystem::Shared> m_shared;
};

} // namespace

CupsPrintSystem::CupsPrintSystem()
    : m_shared(std::make_shared<Shared>())
{}

CupsPrintSystem::~CupsPrintSystem()
{
    // libcups keeps the callback per thread; it must not point at a prompt that is gone,
    // nor fall back to its own prompt, which reads the terminal and would hang a window.
    cupsSetPasswordCB2(&noPassword, nullptr);
}

void CupsPrintSystem::setPasswordPrompt(PasswordPrompt prompt)
{
    m_shared->prompt = std::move(prompt);
}

bool CupsPrintSystem::isLocalServerName(const QString& server)
{
    const QString name = server.trimmed();
    return name == QStringLiteral(".") || name.compare(QStringLiteral("localhost"), Qt::CaseInsensitive) == 0 ||
           name.compare(QSysInfo::machineHostName(), Qt::CaseInsensitive) == 0;
}

bool CupsPrintSystem::splitServerName(const QString& server, QString& host, int& port)
{
    host.clear();
    port = 0;
    const QString name = server.trimmed();
    if (name.isEmpty()) {
        return false;
    }
    QString portText;
    if (name.startsWith(QLatin1Char('['))) {
        const qsizetype close = name.indexOf(QLatin1Char(']'));
        if (close < 0) {
            return false;
        }
        host = name.mid(1, close - 1);
        const QString rest = name.mid(close + 1);
        if (!rest.isEmpty()) {
            if (!rest.startsWith(QLatin1Char(':'))) {
                return false;
            }
            portText = rest.mid(1);
        }
    } else if (name.count(QLatin1Char(':')) == 1) {
        const qsizetype colon = name.indexOf(QLatin1Char(':'));
        host = name.left(colon);
        portText = name.mid(colon + 1);
    } else {
        host = name; // a bare IPv6 address or a plain host name
    }
    if (host.isEmpty() || host.contains(QLatin1Char('/')) || host.contains(QLatin1Char(' '))) {
        return false;
    }
    if (!portText.isNull()) {
        bool ok = false;
        port = portText.toInt(&ok);
        if (!ok || port < 1 || port > 65535) {
            return false;
        }
    }
    return true;
}

std::unique_ptr<PrintServer> CupsPrintSystem::connect(const QString& server, QString* error)
{
    const auto fail = [&](const QString& message) -> std::unique_ptr<PrintServer> {
        if (error) {
            *error = message;
        }
        return nullptr;
    };

    const bool local = isLocalServerName(server);
    QString host;
    int port = 0;
    std::string target;
    int targetPort = 0;
    if (local) {
        // The default server: the local socket, or whatever CUPS_SERVER / client.conf name.
        target = cupsServer();
        targetPort = ippPort();
    } else {
        if (!splitServerName(server, host, port)) {
            return fail(QStringLiteral("\"%1\" is not a print server name.").arg(server));
        }
        target = utf8(host);
        targetPort = port == 0 ? ippPort() : port;
    }

    http_t* http =
        httpConnect2(target.c_str(), targetPort, nullptr, AF_UNSPEC, cupsEncryption(), 1, kConnectTimeoutMs, nullptr);
    if (!http) {
        return fail(
            QStringLiteral("The print server \"%1\" cannot be reached: %2").arg(server, text(cupsLastErrorString())));
    }
    // The first answer must come quickly: a server that takes the connection but never
    // answers counts as unreachable, within a few seconds like one that cannot be reached.
    httpSetTimeout(http, kFirstAnswerTimeoutSeconds, &giveUp, nullptr);
    // The local socket's printers are named with "localhost" and the standard port.
    const bool socket = target[0] == '/';
    auto connection = std::make_unique<CupsPrintServer>(
        server, local, socket ? QStringLiteral("localhost") : QString::fromStdString(target), targetPort, http,
        m_shared);
    // Something that accepts connections is not yet a print server.
    if (const PrintResult r = connection->probe(); !r) {
        return fail(QStringLiteral("The print server \"%1\" cannot be reached: %2").arg(server, r.error));
    }
    httpSetTimeout(http, kAnswerTimeoutSeconds, &giveUp, nullptr);
    return connection;
}

quint32 CupsPrintSystem::printerStatusBits(int printerState, const QStringList& reasons)
{
    quint32 bits = printerState == IPP_PSTATE_STOPPED ? PrinterStatus::Paused : 0;
    for (const QString& full : reasons) {
        const QString r = baseReason(full);
        if (r == QStringLiteral("none") || r.isEmpty()) {
            continue;
        }
        if (r == QStringLiteral("paused") || r == QStringLiteral("moving-to-paused")) {
            bits |= PrinterStatus::Paused;
        } else if (r == QStringLiteral("media-jam")) {
            bits |= PrinterStatus::PaperJam;
        } else if (r == QStringLiteral("media-empty") || r == QStringLiteral("media-needed")) {
            bits |= PrinterStatus::PaperOut;
        } else if (r == QStringLiteral("input-tray-missing") || r == QStringLiteral("media-low")) {
            bits |= PrinterStatus::PaperProblem;
        } else if (r == QStringLiteral("offline") || r == QStringLiteral("shutdown") ||
                   r == QStringLiteral("timed-out") || r == QStringLiteral("connecting-to-device")) {
            bits |= PrinterStatus::Offline;
        } else if (r == QStringLiteral("output-area-full")) {
            bits |= PrinterStatus::OutputBinFull;
        } else if (r == QStringLiteral("spool-area-full")) {
            bits |= PrinterStatus::OutOfMemory;
        } else if (r == QStringLiteral("toner-low") || r == QStringLiteral("marker-supply-low")) {
            bits |= PrinterStatus::TonerLow;
        } else if (r == QStringLiteral("toner-empty") || r == QStringLiteral("marker-supply-empty")) {
            bits |= PrinterStatus::NoToner;
        } else if (r == QStringLiteral("door-open") || r == QStringLiteral("cover-open") ||
                   r == QStringLiteral("interlock-open")) {
            bits |= PrinterStatus::DoorOpen;
        } else if (r == QStringLiteral("other") || full.endsWith(QStringLiteral("-error"))) {
            bits |= PrinterStatus::Error;
        }
    }
    return bits;
}

int CupsPrintSystem::extendedPrinterStatus(int printerState, quint32 statusBits)
{
    if (statusBits & PrinterStatus::Paused) {
        return 8;
    }
    if (statusBits & PrinterStatus::Offline) {
        return 7;
    }
    if (statusBits & PrinterStatus::Error) {
        return 9;
    }
    if (statusBits != 0) {
        return 1;
    }
    return printerState == IPP_PSTATE_PROCESSING ? 4 : 3;
}

quint32 CupsPrintSystem::jobStatusMask(int jobState, const QStringList& jobReasons, const QStringList& printerReasons)
{
    const bool incoming = jobReasons.contains(QStringLiteral("job-incoming"));
    switch (jobState) {
    case IPP_JSTATE_PENDING:
        return incoming ? JobStatus::Spooling : 0;
    case IPP_JSTATE_HELD:
        return JobStatus::Paused;
    case IPP_JSTATE_PROCESSING:
        if (jobReasons.contains(QStringLiteral("processing-to-stop-point"))) {
            return JobStatus::Deleting;
        }
        return incoming ? JobStatus::Spooling : JobStatus::Printing;
    case IPP_JSTATE_STOPPED: {
        const quint32 printer = printerStatusBits(IPP_PSTATE_IDLE, printerReasons);
        if (printer & PrinterStatus::PaperOut) {
            return JobStatus::PaperOut;
        }
        if (printer & PrinterStatus::Offline) {
            return JobStatus::Offline;
        }
        return JobStatus::Error;
    }
    case IPP_JSTATE_CANCELED:
        return JobStatus::Deleted;
    case IPP_JSTATE_ABORTED:
        return JobStatus::Error;
    case IPP_JSTATE_COMPLETED:
        return JobStatus::Printed;
    default:
        return 0;
    }
}

} // namespace hlv
