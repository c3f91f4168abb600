#include "platform/print/CupsPrintSystem.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <string>

#include <QCoreApplication>
#include <QDateTime>
#include <QSysInfo>
#include <QThread>
#include <QUrl>
#include <cups/cups.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include "platform/print/CupsAttributes.h"
#include "platform/print/CupsExchange.h"
#include "platform/print/CupsStateMap.h"
#include "platform/print/CupsSubscription.h"
#include "platform/print/LocalUser.h"

namespace hlv {

namespace {

QString text(const char* value)
{
    return value ? QString::fromUtf8(value) : QString();
}

std::string utf8(const QString& value)
{
    return value.toUtf8().toStdString();
}

// Why a connect to host:port failed. The connect CUPS makes reports a refused port as "Host
// is down"; a port that refuses does so at once, so a short plain connect tells the two
// apart. Anything but a refusal keeps CUPS's own words.
QString connectFailure(const std::string& host, int port, const QString& cupsText)
{
    if (host.empty() || host[0] == '/') {
        return cupsText; // the local socket
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    if (getaddrinfo(host.c_str(), std::to_string(port).c_str(), &hints, &found) != 0 || !found) {
        return cupsText;
    }
    bool refused = false;
    for (addrinfo* a = found; a && !refused; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            continue;
        }
        int result = ::connect(fd, a->ai_addr, a->ai_addrlen);
        if (result != 0 && errno == EINPROGRESS) {
            pollfd p{fd, POLLOUT, 0};
            if (::poll(&p, 1, 250) == 1) {
                int soError = 0;
                socklen_t length = sizeof soError;
                ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &length);
                refused = soError == ECONNREFUSED;
            }
        } else if (result != 0) {
            refused = errno == ECONNREFUSED;
        }
        ::close(fd);
    }
    freeaddrinfo(found);
    return refused ? QString::fromUtf8(std::strerror(ECONNREFUSED)) : cupsText;
}

const char* noPassword(const char*, http_t*, const char*, const char*, void*)
{
    return nullptr;
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

// How long a printer has been in its state, by the server's printer-state-change-time.
qint64 stateAge(const Group& g)
{
    const std::optional<int> since = g.integer("printer-state-change-time");
    return since ? std::max<qint64>(0, QDateTime::currentSecsSinceEpoch() - *since) : 0;
}

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

// The last segment of a printer URI: the queue name, its percent escapes decoded once
// ("Q%2541x" is the printer "Q%41x").
QString queueFromUri(const QString& uri)
{
    const QString path = QUrl(uri).path(QUrl::FullyEncoded);
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
// Connections may be made and used on other threads than the program's own (a report asks
// many computers at once): what one request needs for the prompt is kept per thread, and
// only the program's own thread asks the operator, as only it may show a window.
struct CupsPrintSystem::Shared
{
    PasswordPrompt prompt;
    static thread_local std::string password; // the answer handed to libcups; must outlive the callback
    static thread_local QString server;       // the server of the request running now, for the prompt

    static const char* passwordCallback(const char* prompt, http_t*, const char*, const char*, void* data)
    {
        Q_UNUSED(prompt);
        auto* self = static_cast<Shared*>(data);
        const QCoreApplication* app = QCoreApplication::instance();
        if (!self || !self->prompt || !app || QThread::currentThread() != app->thread()) {
            return nullptr;
        }
        const std::optional<QString> answer = self->prompt(server, text(cupsUser()));
        if (!answer) {
            return nullptr;
        }
        password = utf8(*answer);
        return password.c_str();
    }
};

thread_local std::string CupsPrintSystem::Shared::password;
thread_local QString CupsPrintSystem::Shared::server;

namespace {

class CupsPrintServer final : public PrintServer
{
public:
    // host and port: how printer URIs and web pages name the server.
    CupsPrintServer(QString name, bool localComputer, QString host, int port, std::shared_ptr<CupsExchange> exchange)
        : m_name(std::move(name))
        , m_localComputer(localComputer)
        , m_host(std::move(host))
        , m_port(port)
        , m_exchange(std::move(exchange))
    {}

    QString serverName() const override { return m_name; }

    PrintResult printers(QList<PrinterInfo>& out) override { return listPrinters(QString(), out); }

    PrintResult printer(const QString& name, PrinterInfo& out, bool& found) override
    {
        QList<PrinterInfo> one;
        const PrintResult r = name.isEmpty() ? PrintResult::success() : listPrinters(name, one);
        found = !one.isEmpty();
        if (found) {
            out = one.first();
        }
        return r;
    }

    // The printers of the server, or the one named (none when there is no such printer).
    PrintResult listPrinters(const QString& one, QList<PrinterInfo>& out)
    {
        out.clear();
        ipp_t* request = newRequest(one.isEmpty() ? IPP_OP_CUPS_GET_PRINTERS : IPP_OP_GET_PRINTER_ATTRIBUTES, one);
        ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                      cupsattr::count(cupsattr::kPrinter), nullptr, cupsattr::kPrinter);
        ipp_t* response = nullptr;
        bool answered = false;
        const PrintResult r = run(request, "/", &response, &answered);
        if (!r) {
            // A server without any printer (or without the one named) answers "not found".
            if (answered && m_exchange->status() == IPP_STATUS_ERROR_NOT_FOUND) {
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
            const QStringList reasons = g.list("printer-state-reasons");
            const QString message = g.string("printer-state-message");
            const qint64 age = stateAge(g);
            p.Status = cupsstate::printerStatusBits(state, reasons, message, age);
            p.StoppedBy = cupsstate::printerStoppingBits(state, reasons, message, age);
            p.ExtendedPrinterStatus = cupsstate::extendedPrinterStatus(state, p.Status);
            p.PrinterPath = QStringLiteral("\\\\") + m_name + QLatin1Char('\\') + p.ShareName;
            out.append(p);
        }
        ippDelete(response);
        return PrintResult::success();
    }

    PrintResult jobs(QList<PrintJobInfo>& out) override { return listJobs(QString(), out); }

    std::unique_ptr<JobWatch> watchJobs() override
    {
        return CupsSubscription::create(m_exchange, printerUri(QString()), utf8(localUserName()));
    }

    // CUPS keeps ended jobs unless told not to (PreserveJobHistory).
    bool keepsEndedJobs() const override { return true; }

    PrintResult endedJobs(const QDateTime& since, QList<PrintJobInfo>& out) override
    {
        return listJobs(QString(), out, 0, since.isValid() ? since.toSecsSinceEpoch() : 0);
    }

    PrintResult job(qint64 jobId, PrintJobInfo& out, bool& found) override
    {
        found = false;
        if (jobId <= 0 || jobId > INT_MAX) {
            return PrintResult::success(); // IPP has no such job id
        }
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

    // Pause-Printer stops the job being printed and sends it back to wait, and CUPS has no
    // pause after the current job (Pause-Printer-After-Current-Job is not supported;
    // Hold-New-Jobs is accepted but holds nothing). So the hold pauses only a printer that
    // prints nothing: one that is printing is left to end its job, and a later hold pauses
    // it. A printer already stopped is left as it is: a pause would put "Paused" over the
    // complaint of the backend that stopped it, and the stop would read as the operator's.
    PrintResult holdQueue(const QString& queue) override
    {
        if (queue.isEmpty()) {
            return PrintResult::failure(QStringLiteral("No printer name was given."));
        }
        ipp_t* request = newRequest(IPP_OP_GET_PRINTER_ATTRIBUTES, queue);
        ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", nullptr, "printer-state");
        ipp_t* response = nullptr;
        if (PrintResult r = run(request, "/", &response); !r) {
            return r;
        }
        ipp_attribute_t* state = ippFindAttribute(response, "printer-state", IPP_TAG_ENUM);
        const int value = state ? ippGetInteger(state, 0) : IPP_PSTATE_IDLE;
        ippDelete(response);
        if (value != IPP_PSTATE_IDLE) {
            return PrintResult::success();
        }
        return queueOperation(IPP_OP_PAUSE_PRINTER, queue);
    }
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

        const QByteArray resource = "/printers/" + QUrl::toPercentEncoding(printerName);
        ipp_t* response = m_exchange->send(request, resource.constData(), page);
        const bool ok = response && m_exchange->granted();
        ippDelete(response);
        if (ok) {
            return TestPageResult::Success;
        }
        const ipp_status_t ipp = m_exchange->status();
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
        url.setPath(QStringLiteral("/printers/") + printerName, QUrl::DecodedMode);
        return url.toString(QUrl::FullyEncoded);
    }

private:
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
        ipp_t* answer = m_exchange->send(request, resource);
        if (answered) {
            *answered = m_exchange->answered();
        }
        if (!answer || !m_exchange->granted()) {
            ippDelete(answer);
            const QString& why = m_exchange->message();
            return PrintResult::failure(why.isEmpty() ? QStringLiteral("The print server did not answer.") : why);
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
        ipp_t* request = newRequest(IPP_OP_GET_JOB_ATTRIBUTES, queue);
        ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", static_cast<int>(jobId));
        ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                      cupsattr::count(cupsattr::kJobQueue), nullptr, cupsattr::kJobQueue);
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
    // that one job as long as it is not completed (none when the server no longer has it);
    // with endedSince, the completed jobs that ended then (seconds since the epoch) or later.
    PrintResult listJobs(const QString& queue, QList<PrintJobInfo>& out, qint64 jobId = 0,
                         std::optional<qint64> endedSince = std::nullopt)
    {
        out.clear();
        ipp_t* request = newRequest(jobId > 0 ? IPP_OP_GET_JOB_ATTRIBUTES : IPP_OP_GET_JOBS, queue);
        if (jobId > 0) {
            ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "job-id", static_cast<int>(jobId));
        } else {
            ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "which-jobs", nullptr,
                         endedSince ? "completed" : "not-completed");
            // One more than a list may hold: the server builds no more than that, and the
            // answer still shows that there were too many.
            const qint64 most = CupsExchange::limits().maxJobs;
            ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "limit",
                          static_cast<int>(std::min<qint64>(most + 1, INT_MAX)));
        }
        ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                      cupsattr::count(cupsattr::kJob), nullptr, cupsattr::kJob);
        ipp_t* response = nullptr;
        bool answered = false;
        const PrintResult r = run(request, "/", &response, &answered);
        if (!r) {
            const bool gone = jobId > 0 && answered && m_exchange->status() == IPP_STATUS_ERROR_NOT_FOUND;
            return gone ? PrintResult::success() : r;
        }
        // Every job that is not held reads the trouble of its printer; the printers are
        // asked once, when the first such job comes.
        std::optional<QHash<QString, quint32>> printerBits;
        for (const Group& g : groups(response, IPP_TAG_JOB)) {
            const auto id = g.integer("job-id");
            if (!id || (endedSince && g.integer("time-at-completed").value_or(0) < *endedSince)) {
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
            for (const char* pages : {"job-impressions", "job-media-sheets", "job-pages"}) {
                if (const auto count = g.integer(pages)) {
                    job.TotalPages = *count;
                    break;
                }
            }
            job.PagesPrinted =
                g.integer("job-impressions-completed").value_or(g.integer("job-media-sheets-completed").value_or(0));
            job.Priority = g.integer("job-priority").value_or(50);
            if (const auto kilobytes = g.integer("job-k-octets")) {
                job.Size = qint64(*kilobytes) * 1024;
            }
            job.TimeSubmitted = QDateTime::fromSecsSinceEpoch(g.integer("time-at-creation").value_or(0));
            const int state = g.integer("job-state").value_or(IPP_JSTATE_PENDING);
            // One job read by id may have ended meanwhile; the server's history still has it.
            job.ended = state >= IPP_JSTATE_CANCELED;
            const QStringList reasons = g.list("job-state-reasons");
            job.ownStatus = cupsstate::jobOwnStatus(state, reasons);
            if (job.ownStatus) {
                if (!printerBits) {
                    // One job read by id needs its own printer only, not every printer.
                    printerBits = printerStates(jobId > 0 ? printer : queue);
                }
                quint32 trouble = printerBits->value(printer);
                // A job of a class prints on one of its members: that printer's trouble
                // holds it up as much as the class's own, and CUPS tells it with the job.
                const QString actual = g.string("job-printer-uri-actual");
                if (!actual.isEmpty() && queueFromUri(actual) != printer) {
                    trouble |=
                        cupsstate::printerStoppingBits(IPP_PSTATE_PROCESSING, g.list("job-printer-state-reasons"),
                                                       g.string("job-printer-state-message"));
                }
                job.StatusMask = cupsstate::jobStatusOnPrinter(*job.ownStatus, trouble);
            } else {
                job.StatusMask = cupsstate::jobStatusMask(state, reasons);
            }
            out.append(job);
        }
        ippDelete(response);
        return PrintResult::success();
    }

    // The stopping bits of the printers by name: of every printer, or of the one named.
    QHash<QString, quint32> printerStates(const QString& queue)
    {
        const bool one = !queue.isEmpty();
        ipp_t* request = newRequest(one ? IPP_OP_GET_PRINTER_ATTRIBUTES : IPP_OP_CUPS_GET_PRINTERS, queue);
        ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                      cupsattr::count(cupsattr::kPrinterState), nullptr, cupsattr::kPrinterState);
        ipp_t* response = nullptr;
        QHash<QString, quint32> out;
        if (!run(request, "/", &response)) {
            return out;
        }
        for (const Group& g : groups(response, IPP_TAG_PRINTER)) {
            const QString name = g.string("printer-name");
            if (!name.isEmpty()) {
                out.insert(name, cupsstate::printerStoppingBits(g.integer("printer-state").value_or(IPP_PSTATE_IDLE),
                                                                g.list("printer-state-reasons"),
                                                                g.string("printer-state-message"), stateAge(g)));
            }
        }
        ippDelete(response);
        return out;
    }

    QString m_name;
    bool m_localComputer;
    QString m_host;
    int m_port;
    std::shared_ptr<CupsExchange> m_exchange;
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

void CupsPrintSystem::interruptCalls(bool on)
{
    CupsExchange::interruptAll(on);
}

bool CupsPrintSystem::callsInterrupted() const
{
    return CupsExchange::interruptedAll();
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
        // A server named without a port listens on the IPP port; the port of the default
        // server (CUPS_SERVER, client.conf) belongs to that server alone.
        targetPort = port == 0 ? IPP_PORT : port;
    }

    std::shared_ptr<Shared> shared = m_shared;
    const auto prepare = [shared, server] {
        Shared::server = server;
        cupsSetPasswordCB2(&Shared::passwordCallback, shared.get());
    };
    QString why;
    std::shared_ptr<CupsExchange> exchange = CupsExchange::connect(target, targetPort, prepare, &why);
    if (!exchange) {
        return fail(QStringLiteral("The print server \"%1\" cannot be reached: %2")
                        .arg(server, connectFailure(target, targetPort, why)));
    }
    // The local socket's printers are named with "localhost" and the standard port.
    const bool socket = target[0] == '/';
    auto connection = std::make_unique<CupsPrintServer>(
        server, local, socket ? QStringLiteral("localhost") : QString::fromStdString(target), targetPort,
        std::move(exchange));
    // Something that accepts connections is not yet a print server; one that takes the
    // connection but never answers counts as unreachable, within a few seconds.
    if (const PrintResult r = connection->probe(); !r) {
        return fail(QStringLiteral("The print server \"%1\" cannot be reached: %2").arg(server, r.error));
    }
    return connection;
}

} // namespace hlv
