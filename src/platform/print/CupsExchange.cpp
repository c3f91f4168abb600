#include "platform/print/CupsExchange.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

#include <QElapsedTimer>
#include <sys/socket.h>

#include "platform/TsanAnnotations.h"

namespace hlv {

namespace {

QString text(const char* value)
{
    return value ? QString::fromUtf8(value) : QString();
}

// The waits inside libcups last at most this long before asking whether to go on: the
// exchange's deadline is looked at between waits.
constexpr double kWaitSliceSeconds = 0.25;
// How many times one request is sent: a password challenge or an upgrade to encryption
// each ask for another round.
constexpr int kMaxSends = 5;

std::mutex limitsMutex;
CupsExchange::Limits currentLimits;
std::atomic<bool> interrupted{false};

// Counts the job groups of an IPP message as its bytes arrive, building nothing: a header
// of 8 bytes, then delimiter tags (below 0x10; 0x02 begins a job's attributes, 0x03 ends
// them all) and attributes, each a value tag, a 2-byte name length, the name, a 2-byte
// value length and the value.
class JobCounter
{
public:
    void feed(const char* data, qsizetype size)
    {
        const auto* p = reinterpret_cast<const unsigned char*>(data);
        const unsigned char* const end = p + size;
        while (p < end && m_want != Want::Done) {
            switch (m_want) {
            case Want::Skip: {
                const qint64 n = std::min<qint64>(m_left, end - p);
                p += n;
                m_left -= n;
                if (m_left == 0) {
                    m_want = m_next;
                }
                break;
            }
            case Want::Tag: {
                const unsigned char tag = *p++;
                if (tag == IPP_TAG_END) {
                    m_want = Want::Done;
                } else if (tag == IPP_TAG_JOB) {
                    ++m_jobs;
                } else if (tag >= 0x10) {
                    m_want = Want::NameLength;
                    m_lengthBytes = 0;
                    m_left = 0;
                }
                break;
            }
            case Want::NameLength:
            case Want::ValueLength:
                m_left = (m_left << 8) | *p++;
                if (++m_lengthBytes == 2) {
                    const bool name = m_want == Want::NameLength;
                    m_next = name ? Want::ValueLength : Want::Tag;
                    m_lengthBytes = 0;
                    if (m_left == 0) {
                        m_want = m_next;
                        m_left = 0;
                    } else {
                        m_want = Want::Skip;
                    }
                }
                break;
            case Want::Done:
                break;
            }
        }
    }
    qint64 jobs() const { return m_jobs; }

private:
    enum class Want { Skip, Tag, NameLength, ValueLength, Done };
    Want m_want = Want::Skip; // the header first
    Want m_next = Want::Tag;
    qint64 m_left = 8;
    int m_lengthBytes = 0;
    qint64 m_jobs = 0;
};

} // namespace

// Ends the connection of an exchange whose deadline has passed. libcups reads a header
// line by line and waits afresh for each piece that arrives, so a server that sends a
// byte every now and then never lets a wait run out; shutting the socket down ends any
// read or write in progress at once. The exchange reconnects for its next request.
class CupsExchange::Watchdog
{
public:
    static Watchdog& instance()
    {
        static Watchdog watchdog;
        return watchdog;
    }
    ~Watchdog()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
        }
        m_wake.notify_all();
        m_thread.join();
    }

    void watch(const CupsExchange* exchange, int fd, std::chrono::steady_clock::time_point deadline)
    {
        {
            std::lock_guard lock(m_mutex);
            m_watched[exchange] = Entry{fd, deadline, false};
            // The lock orders this with the watchdog's look, but ThreadSanitizer loses the locks
            // of a thread that has started child programs (Qt starts them with clone(CLONE_VM |
            // CLONE_VFORK), which it does not follow); told to it again on the map.
            tsan::release(&m_watched);
        }
        m_wake.notify_all();
    }
    // Ends every connection watched now, as if its deadline had passed.
    void cutAll()
    {
        {
            std::lock_guard lock(m_mutex);
            for (auto& [exchange, entry] : m_watched) {
                entry.deadline = std::chrono::steady_clock::now();
            }
        }
        m_wake.notify_all();
    }
    // Whether the deadline had ended the connection.
    bool release(const CupsExchange* exchange)
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_watched.find(exchange);
        if (it == m_watched.end()) {
            return false;
        }
        const bool fired = it->second.fired;
        m_watched.erase(it);
        return fired;
    }

private:
    struct Entry
    {
        int fd;
        std::chrono::steady_clock::time_point deadline;
        bool fired;
    };

    Watchdog()
        : m_thread([this] { run(); })
    {}

    void run()
    {
        std::unique_lock lock(m_mutex);
        while (!m_stop) {
            tsan::acquire(&m_watched);
            auto next = std::chrono::steady_clock::time_point::max();
            const auto now = std::chrono::steady_clock::now();
            for (auto& [exchange, entry] : m_watched) {
                if (entry.fired) {
                    continue;
                }
                if (entry.deadline <= now) {
                    ::shutdown(entry.fd, SHUT_RDWR);
                    entry.fired = true;
                } else {
                    next = std::min(next, entry.deadline);
                }
            }
            if (next == std::chrono::steady_clock::time_point::max()) {
                m_wake.wait(lock);
            } else {
                m_wake.wait_until(lock, next);
            }
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::map<const CupsExchange*, Entry> m_watched;
    bool m_stop = false;
    std::thread m_thread;
};

void CupsExchange::interruptAll(bool on)
{
    interrupted = on;
    if (on) {
        Watchdog::instance().cutAll();
    }
}

bool CupsExchange::interruptedAll()
{
    return interrupted;
}

CupsExchange::Limits CupsExchange::limits()
{
    std::lock_guard lock(limitsMutex);
    return currentLimits;
}

void CupsExchange::setLimits(const Limits& limits)
{
    std::lock_guard lock(limitsMutex);
    currentLimits = limits;
}

std::unique_ptr<CupsExchange> CupsExchange::connect(const std::string& host, int port, std::function<void()> prepare,
                                                    QString* error)
{
    http_t* http =
        httpConnect2(host.c_str(), port, nullptr, AF_UNSPEC, cupsEncryption(), 1, limits().connectMs, nullptr);
    if (!http) {
        if (error) {
            *error = text(cupsLastErrorString());
        }
        return nullptr;
    }
    return std::unique_ptr<CupsExchange>(new CupsExchange(http, std::move(prepare)));
}

CupsExchange::CupsExchange(http_t* http, std::function<void()> prepare)
    : m_http(http)
    , m_prepare(std::move(prepare))
{
    httpSetTimeout(m_http, kWaitSliceSeconds, &CupsExchange::keepWaiting, this);
}

CupsExchange::~CupsExchange()
{
    httpClose(m_http);
}

int CupsExchange::keepWaiting(http_t*, void* self)
{
    return static_cast<CupsExchange*>(self)->m_deadline.hasExpired() || interrupted ? 0 : 1;
}

// A fresh connection: the old one may hold the unread rest of an answer that was given up,
// or the server said it closes it. The time it takes is the connect time-out's, not the
// answer's.
bool CupsExchange::reconnect()
{
    m_cutOff = Watchdog::instance().release(this) || m_cutOff;
    QElapsedTimer took;
    took.start();
    const int connectMs = limits().connectMs;
    const bool ok = httpReconnect2(m_http, connectMs, nullptr) == 0;
    httpClearFields(m_http);
    m_deadline = QDeadlineTimer(m_deadline.remainingTime() + std::min<qint64>(took.elapsed(), connectMs));
    watch();
    return ok;
}

void CupsExchange::watch()
{
    const int fd = httpGetFd(m_http);
    if (fd >= 0) {
        Watchdog::instance().watch(this, fd, m_deadline.deadline<std::chrono::steady_clock>());
    }
}

ipp_t* CupsExchange::sendGranted(ipp_t* request, const char* resource)
{
    ipp_t* answer = send(request, resource);
    if (answer && !granted()) {
        ippDelete(answer);
        return nullptr;
    }
    return answer;
}

ipp_t* CupsExchange::send(ipp_t* request, const char* resource, const QByteArray& document)
{
    if (m_prepare) {
        m_prepare();
    }
    const Limits limits = CupsExchange::limits();
    m_deadline = QDeadlineTimer(m_first ? limits.firstAnswerMs : limits.answerMs);
    m_first = false;
    m_tooLarge = false;
    m_tooManyJobs = false;
    m_answered = false;
    m_status = IPP_STATUS_OK;
    m_message.clear();
    // An interrupted program waits for nothing, a connect included: no answer.
    if (interrupted) {
        ippDelete(request);
        m_status = IPP_STATUS_ERROR_SERVICE_UNAVAILABLE;
        m_message = QStringLiteral("The print server was not asked: the program is stopping.");
        return nullptr;
    }
    // Credentials of the local socket go stale between requests.
    if (const char* auth = httpGetAuthString(m_http); auth && qstrncmp(auth, "Local ", 6) == 0) {
        httpSetAuthString(m_http, nullptr, nullptr);
    }
    // libcups would reconnect by itself here, with a time-out of its own.
    const char* connection = httpGetField(m_http, HTTP_FIELD_CONNECTION);
    const bool closing = connection && qstricmp(connection, "close") == 0;
    if (closing || m_cutOff || httpGetState(m_http) != HTTP_STATE_WAITING) {
        reconnect();
    } else {
        watch();
    }
    m_cutOff = false;
    const size_t length = ippLength(request) + static_cast<size_t>(document.size());
    ipp_t* answer = nullptr;
    http_status_t status = HTTP_STATUS_ERROR;
    for (int attempt = 0; attempt < kMaxSends && !m_deadline.hasExpired(); ++attempt) {
        status = cupsSendRequest(m_http, request, resource, length);
        if (status == HTTP_STATUS_CONTINUE && ippGetState(request) == IPP_STATE_DATA && !document.isEmpty()) {
            status = cupsWriteRequestData(m_http, document.constData(), static_cast<size_t>(document.size()));
        }
        if (status > HTTP_STATUS_CONTINUE && status != HTTP_STATUS_OK) {
            break; // refused before the answer (a cancelled password included)
        }
        do {
            status = httpUpdate(m_http);
        } while (status == HTTP_STATUS_CONTINUE && !m_deadline.hasExpired());
        if (status == HTTP_STATUS_OK) {
            answer = readAnswer();
            break;
        }
        if (status == HTTP_STATUS_ERROR || status == HTTP_STATUS_CONTINUE) {
            status = HTTP_STATUS_ERROR;
            break;
        }
        if (status == HTTP_STATUS_UNAUTHORIZED) {
            if (cupsDoAuthentication(m_http, "POST", resource) != 0) {
                status = HTTP_STATUS_CUPS_AUTHORIZATION_CANCELED;
                break;
            }
            // The operator's time at the prompt is not the server's.
            m_deadline = QDeadlineTimer(limits.answerMs);
            watch();
            if (reconnect()) {
                continue;
            }
        } else if (status == HTTP_STATUS_UPGRADE_REQUIRED) {
            if (reconnect() && httpEncryption(m_http, HTTP_ENCRYPTION_REQUIRED) == 0) {
                continue;
            }
        }
        break;
    }
    ippDelete(request);
    m_cutOff = Watchdog::instance().release(this) || m_cutOff;
    if (answer) {
        m_answered = true;
        m_status = ippGetStatusCode(answer);
        ipp_attribute_t* said = ippFindAttribute(answer, "status-message", IPP_TAG_TEXT);
        m_message = said ? text(ippGetString(said, 0, nullptr)) : text(ippErrorString(m_status));
    } else if (m_tooLarge) {
        m_status = IPP_STATUS_ERROR_INTERNAL;
        m_message = QStringLiteral("The print server's answer is larger than %1 MB.")
                        .arg(limits.maxAnswerBytes / (1024 * 1024));
    } else if (m_tooManyJobs) {
        m_status = IPP_STATUS_ERROR_INTERNAL;
        m_message = QStringLiteral("The print server's answer lists more than %1 jobs.").arg(limits.maxJobs);
    } else if (m_cutOff || m_deadline.hasExpired()) {
        m_status = IPP_STATUS_ERROR_SERVICE_UNAVAILABLE;
        m_message = QStringLiteral("The print server did not answer in time.");
    } else if (status == HTTP_STATUS_OK) {
        m_status = IPP_STATUS_ERROR_INTERNAL;
        m_message = QStringLiteral("The print server's answer could not be read.");
    } else {
        setHttpFailure(status);
    }
    // Whatever is left of an answer given up stays unread: the next exchange connects anew.
    return answer;
}

// The body of an answer whose header said OK, read up to the cap and parsed. It is kept in
// blocks that are never moved, so an answer near the cap costs its own size, not twice it.
ipp_t* CupsExchange::readAnswer()
{
    constexpr qsizetype kBlockBytes = qsizetype(1) << 20;
    const qint64 cap = limits().maxAnswerBytes;
    const qint64 maxJobs = limits().maxJobs;
    JobCounter counter;
    // Without a Content-Length (an answer read until the server closes) libcups reports the
    // largest length it knows; only a length the server stated is held against the cap.
    const char* stated = httpGetField(m_http, HTTP_FIELD_CONTENT_LENGTH);
    if (stated && *stated && httpGetLength2(m_http) > cap) {
        m_tooLarge = true;
        return nullptr;
    }
    std::vector<QByteArray> blocks;
    qsizetype used = kBlockBytes; // of the last block
    qint64 total = 0;
    for (;;) {
        if (m_deadline.hasExpired()) {
            return nullptr;
        }
        if (used == kBlockBytes) {
            blocks.emplace_back(kBlockBytes, Qt::Uninitialized);
            used = 0;
        }
        const ssize_t got = httpRead2(m_http, blocks.back().data() + used, static_cast<size_t>(kBlockBytes - used));
        if (got < 0) {
            return nullptr; // the deadline passed, or a broken connection
        }
        if (got == 0) {
            break;
        }
        counter.feed(blocks.back().constData() + used, got);
        used += got;
        total += got;
        if (total > cap) {
            m_tooLarge = true;
            return nullptr;
        }
        if (counter.jobs() > maxJobs) {
            m_tooManyJobs = true;
            return nullptr;
        }
    }
    blocks.back().truncate(used);
    struct Reader
    {
        const std::vector<QByteArray>* blocks;
        size_t block = 0;
        qsizetype at = 0;
    } reader{&blocks};
    // libcups takes a short read for the end of the message: every read is filled whole,
    // across blocks, as far as the answer goes.
    const auto read = [](void* context, ipp_uchar_t* buffer, size_t bytes) -> ssize_t {
        auto* r = static_cast<Reader*>(context);
        if (r->block < r->blocks->size()) { // the common case: well inside one block
            const QByteArray& from = (*r->blocks)[r->block];
            if (static_cast<size_t>(from.size() - r->at) > bytes) {
                memcpy(buffer, from.constData() + r->at, bytes);
                r->at += static_cast<qsizetype>(bytes);
                return static_cast<ssize_t>(bytes);
            }
        }
        size_t done = 0;
        while (done < bytes && r->block < r->blocks->size()) {
            const QByteArray& from = (*r->blocks)[r->block];
            const size_t n = std::min(bytes - done, static_cast<size_t>(from.size() - r->at));
            memcpy(buffer + done, from.constData() + r->at, n);
            done += n;
            r->at += static_cast<qsizetype>(n);
            if (r->at == from.size()) {
                ++r->block;
                r->at = 0;
            }
        }
        return static_cast<ssize_t>(done);
    };
    ipp_t* answer = ippNew();
    ipp_state_t state;
    while ((state = ippReadIO(&reader, read, 1, nullptr, answer)) != IPP_STATE_DATA) {
        if (state == IPP_STATE_ERROR) {
            ippDelete(answer);
            return nullptr;
        }
    }
    return answer;
}

void CupsExchange::setHttpFailure(http_status_t status)
{
    switch (status) {
    case HTTP_STATUS_NOT_FOUND:
        m_status = IPP_STATUS_ERROR_NOT_FOUND;
        break;
    case HTTP_STATUS_UNAUTHORIZED:
        m_status = IPP_STATUS_ERROR_NOT_AUTHENTICATED;
        break;
    case HTTP_STATUS_CUPS_AUTHORIZATION_CANCELED:
        m_status = IPP_STATUS_ERROR_CUPS_AUTHENTICATION_CANCELED;
        break;
    case HTTP_STATUS_FORBIDDEN:
        m_status = IPP_STATUS_ERROR_FORBIDDEN;
        break;
    case HTTP_STATUS_ERROR:
        m_status = IPP_STATUS_ERROR_INTERNAL;
        break;
    default:
        m_status = IPP_STATUS_ERROR_SERVICE_UNAVAILABLE;
        break;
    }
    if (status == HTTP_STATUS_ERROR) {
        const int error = httpError(m_http);
        m_message = error != 0 ? text(strerror(error)) : QStringLiteral("The print server did not answer.");
    } else {
        m_message = text(httpStatus(status));
    }
}

} // namespace hlv
