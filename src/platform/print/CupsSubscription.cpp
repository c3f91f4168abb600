#include "platform/print/CupsSubscription.h"

#include <algorithm>
#include <climits>

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QUrl>
#include <cups/cups.h>

#include "platform/print/CupsAttributes.h"
#include "platform/print/CupsExchange.h"
#include "platform/print/CupsStateMap.h"

namespace hlv {

namespace {

QString text(const char* value)
{
    return value ? QString::fromUtf8(value) : QString();
}

ipp_t* newRequest(ipp_op_t op, const std::string& uri, const std::string& user)
{
    ipp_t* request = ippNewRequest(op);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, uri.c_str());
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, user.c_str());
    return request;
}

// Whether a status is the server's refusal of the operation (a password it wants, or a
// policy or limit that forbids it), as opposed to a server that is not there.
bool isRefusal(ipp_status_t status)
{
    return status == IPP_STATUS_ERROR_FORBIDDEN || status == IPP_STATUS_ERROR_NOT_AUTHENTICATED ||
           status == IPP_STATUS_ERROR_NOT_AUTHORIZED || status == IPP_STATUS_ERROR_CUPS_AUTHENTICATION_CANCELED ||
           status == IPP_STATUS_ERROR_OPERATION_NOT_SUPPORTED || status == IPP_STATUS_ERROR_TOO_MANY_SUBSCRIPTIONS;
}

// Sends the request (taking it over); the answer, or null with why set when the server
// refused or did not answer (*refused tells which).
ipp_t* send(CupsExchange& exchange, ipp_t* request, QString* why, bool* refused = nullptr)
{
    ipp_t* answer = exchange.sendGranted(request, "/");
    if (!answer) {
        if (refused) {
            // An HTTP refusal (a password wanted and none given) is one as well.
            *refused = isRefusal(exchange.status());
        }
        if (why) {
            *why = exchange.message();
            if (why->isEmpty()) {
                *why = QStringLiteral("The print server did not answer.");
            }
        }
    }
    return answer;
}

PrintResult failed(const QString& why, bool refused)
{
    return refused ? PrintResult::refusal(why) : PrintResult::failure(why);
}

// One event of a Get-Notifications answer.
struct Event
{
    qint64 sequence = 0; // IPP numbers reach 2^31 - 1: the one after it must not wrap
    QString name;
    qint64 jobId = 0;
    QString queue;
    // What a job event tells of its job.
    int jobState = 0;
    QString jobName;
    QStringList jobReasons;
    qint64 time = 0;      // printer-up-time: CUPS gives the time of day in seconds
    qint64 createdAt = 0; // time-at-creation, where the server tells it
};

QList<Event> events(ipp_t* answer)
{
    QList<Event> out;
    Event current;
    bool inside = false;
    const auto finish = [&] {
        if (inside) {
            out.append(current);
        }
        current = Event();
        inside = false;
    };
    for (ipp_attribute_t* a = ippFirstAttribute(answer); a; a = ippNextAttribute(answer)) {
        const char* name = ippGetName(a);
        if (!name || ippGetGroupTag(a) != IPP_TAG_EVENT_NOTIFICATION) {
            finish();
            continue;
        }
        inside = true;
        const QLatin1String n(name);
        if (n == QLatin1String("notify-sequence-number")) {
            current.sequence = ippGetInteger(a, 0);
        } else if (n == QLatin1String("notify-subscribed-event")) {
            current.name = text(ippGetString(a, 0, nullptr));
        } else if (n == QLatin1String("notify-job-id")) {
            current.jobId = ippGetInteger(a, 0);
        } else if (n == QLatin1String("job-state")) {
            current.jobState = ippGetInteger(a, 0);
        } else if (n == QLatin1String("job-name")) {
            current.jobName = text(ippGetString(a, 0, nullptr));
        } else if (n == QLatin1String("job-state-reasons")) {
            for (int i = 0; i < ippGetCount(a); ++i) {
                current.jobReasons.append(text(ippGetString(a, i, nullptr)));
            }
        } else if (n == QLatin1String("time-at-creation")) {
            current.createdAt = ippGetInteger(a, 0);
        } else if (n == QLatin1String("printer-up-time")) {
            current.time = ippGetInteger(a, 0);
        } else if (n == QLatin1String("printer-name")) {
            current.queue = text(ippGetString(a, 0, nullptr));
        } else if (n == QLatin1String("notify-printer-uri") && current.queue.isEmpty()) {
            const QString path = QUrl(text(ippGetString(a, 0, nullptr))).path();
            current.queue = QUrl::fromPercentEncoding(path.mid(path.lastIndexOf(QLatin1Char('/')) + 1).toUtf8());
        }
    }
    finish();
    return out;
}

// Takes what a job event tells into the job as told so far: the later event wins. The time
// the job was submitted is its time-at-creation where a notice tells it; else the time of
// its creation notice (createdAt, from this reading or an earlier one), which may fall a
// second after it. What no notice tells (owner, priority, size) stays unknown.
void tell(PrintJobInfo& job, const Event& e, qint64 createdAt)
{
    job.JobId = e.jobId;
    job.Priority = PrintJobInfo::kUnknownPriority;
    if (!e.queue.isEmpty()) {
        job.Name = e.queue + QStringLiteral(", ") + QString::number(e.jobId);
    }
    if (!e.jobName.isEmpty()) {
        job.Document = e.jobName;
    }
    if (e.jobState > 0) {
        // Only a job that has ended is ever taken from these notices alone, so the
        // printer's trouble, which no notice tells in full, does not matter here.
        job.ownStatus = cupsstate::jobOwnStatus(e.jobState, e.jobReasons);
        job.StatusMask = job.ownStatus ? *job.ownStatus : cupsstate::jobStatusMask(e.jobState, e.jobReasons);
        job.ended = e.jobState >= IPP_JSTATE_CANCELED;
    }
    if (e.createdAt > 0) {
        job.TimeSubmitted = QDateTime::fromSecsSinceEpoch(e.createdAt);
    } else if (createdAt > 0 && !job.TimeSubmitted.isValid()) {
        job.TimeSubmitted = QDateTime::fromSecsSinceEpoch(createdAt);
    }
}

// Jobs whose end was never told (its notice dropped by a full server) are not remembered
// without bound.
constexpr qsizetype kMostCreationsKept = 10000;

} // namespace

std::unique_ptr<CupsSubscription> CupsSubscription::create(std::shared_ptr<CupsExchange> exchange,
                                                           std::string serverUri, std::string user, int leaseSeconds,
                                                           QString* why, bool* refused)
{
    if (refused) {
        *refused = false;
    }
    ipp_t* request = newRequest(IPP_OP_CREATE_PRINTER_SUBSCRIPTIONS, serverUri, user);
    ippAddString(request, IPP_TAG_SUBSCRIPTION, IPP_TAG_KEYWORD, "notify-pull-method", nullptr, "ippget");
    ippAddStrings(request, IPP_TAG_SUBSCRIPTION, IPP_TAG_KEYWORD, "notify-events", cupsattr::count(cupsattr::kEvents),
                  nullptr, cupsattr::kEvents);
    // Made with a short lease, lengthened by the first reading: a server that lets anybody
    // subscribe but wants a password to read, renew or cancel keeps what it refused only
    // for these few seconds.
    ippAddInteger(request, IPP_TAG_SUBSCRIPTION, IPP_TAG_INTEGER, "notify-lease-duration",
                  std::min(leaseSeconds, kFirstLeaseSeconds));
    ipp_t* answer = send(*exchange, request, why, refused);
    if (!answer) {
        return nullptr;
    }
    ipp_attribute_t* idAttr = ippFindAttribute(answer, "notify-subscription-id", IPP_TAG_INTEGER);
    const int id = idAttr ? ippGetInteger(idAttr, 0) : 0;
    ippDelete(answer);
    if (id <= 0) {
        if (why) {
            *why = QStringLiteral("The print server made no subscription.");
        }
        return nullptr;
    }
    return std::unique_ptr<CupsSubscription>(
        new CupsSubscription(std::move(exchange), std::move(serverUri), std::move(user), id, leaseSeconds));
}

CupsSubscription::CupsSubscription(std::shared_ptr<CupsExchange> exchange, std::string serverUri, std::string user,
                                   int id, int leaseSeconds)
    : m_exchange(std::move(exchange))
    , m_uri(std::move(serverUri))
    , m_user(std::move(user))
    , m_id(id)
    , m_lease(leaseSeconds)
{
    m_sinceLease.start();
}

CupsSubscription::~CupsSubscription()
{
    if (m_abandoned) {
        return;
    }
    ipp_t* request = newRequest(IPP_OP_CANCEL_SUBSCRIPTION, m_uri, m_user);
    ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "notify-subscription-id", m_id);
    ippDelete(send(*m_exchange, request, nullptr));
}

PrintResult CupsSubscription::renew()
{
    ipp_t* request = newRequest(IPP_OP_RENEW_SUBSCRIPTION, m_uri, m_user);
    ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "notify-subscription-id", m_id);
    ippAddInteger(request, IPP_TAG_SUBSCRIPTION, IPP_TAG_INTEGER, "notify-lease-duration", m_lease);
    QString why;
    bool refused = false;
    ipp_t* answer = send(*m_exchange, request, &why, &refused);
    if (!answer) {
        return failed(why, refused);
    }
    ippDelete(answer);
    m_sinceLease.start();
    ++m_renewals;
    return PrintResult::success();
}

PrintResult CupsSubscription::changes(JobChanges& out)
{
    out = JobChanges();
    // Renewed at the first reading, then at a third of the lease: the server counts whole
    // seconds.
    if (m_renewals == 0 || m_sinceLease.elapsed() >= qint64(m_lease) * 1000 / 3) {
        if (PrintResult r = renew(); !r) {
            // Cut short by a stop, the server is still there to be told.
            m_abandoned = !r.refused && !CupsExchange::interruptedAll();
            return r;
        }
    }
    ipp_t* request = newRequest(IPP_OP_GET_NOTIFICATIONS, m_uri, m_user);
    ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "notify-subscription-ids", m_id);
    // Past the largest number IPP carries, ask from the last one and pass over it below.
    ippAddInteger(request, IPP_TAG_OPERATION, IPP_TAG_INTEGER, "notify-sequence-numbers",
                  static_cast<int>(std::min<qint64>(m_nextSequence, INT_MAX)));
    ippAddBoolean(request, IPP_TAG_OPERATION, "notify-wait", 0);
    QString why;
    bool refused = false;
    ipp_t* answer = send(*m_exchange, request, &why, &refused);
    if (!answer) {
        // Refused, gone (lease ran out, server restarted without it) or not answering:
        // either way this subscription is of no further use. A server that refuses still
        // answers, and is asked to cancel it; one that does not answer is not.
        m_abandoned = !refused && !CupsExchange::interruptedAll();
        return failed(why, refused);
    }
    const QList<Event> list = events(answer);
    ippDelete(answer);

    QSet<qint64> ids;
    QSet<QString> queues;
    QHash<qint64, PrintJobInfo> told;
    for (const Event& e : list) {
        if (e.sequence < m_nextSequence) {
            continue; // seen before
        }
        // Events the server dropped before they were read leave a gap in the numbers.
        if (e.sequence > m_nextSequence) {
            out.everything = true;
        }
        m_nextSequence = e.sequence + 1;
        if (e.name.startsWith(QLatin1String("job-")) && e.jobId > 0) {
            if (!ids.contains(e.jobId)) {
                ids.insert(e.jobId);
                out.jobIds.append(e.jobId);
            }
            const qint64 created = e.createdAt > 0 ? e.createdAt : e.time;
            if (e.name == QLatin1String("job-created") && created > 0) {
                if (m_createdAt.size() >= kMostCreationsKept) {
                    m_createdAt.clear();
                }
                m_createdAt.insert(e.jobId, created);
            }
            PrintJobInfo& job = told[e.jobId];
            tell(job, e, m_createdAt.value(e.jobId));
            if (job.ended) {
                m_createdAt.remove(e.jobId);
            }
        } else if (e.name.startsWith(QLatin1String("printer-")) && !e.queue.isEmpty()) {
            if (!queues.contains(e.queue)) {
                queues.insert(e.queue);
                out.queues.append(e.queue);
            }
        } else {
            out.everything = true;
        }
    }
    for (const qint64 id : std::as_const(out.jobIds)) {
        out.told.append(told.value(id));
    }
    return PrintResult::success();
}

} // namespace hlv
