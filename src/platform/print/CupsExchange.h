#pragma once

#include <functional>
#include <memory>
#include <string>

#include <QByteArray>
#include <QDeadlineTimer>
#include <QString>
#include <cups/cups.h>

namespace hlv {

// One connection to a CUPS server and the IPP exchanges over it. Every request of the
// programs goes through here, so that nothing a server sends can cost unbounded time or
// memory:
//   - each exchange (sending the request, reading the whole answer) has one deadline, the
//     answer time-out, however the answer arrives: a server that sends a byte every few
//     seconds is given up at the deadline, not waited on per byte. A reconnect inside the
//     exchange adds its own time, itself bounded by the connect time-out;
//   - an answer larger than the cap is given up as soon as it passes the cap (or as soon
//     as its announced length does);
//   - so is an answer that lists more jobs than maxJobs, as soon as it does: the jobs are
//     counted as the bytes arrive, before anything is built from them.
// All end as a failed exchange ("no answer"), the same as a server that cannot be reached.
//
// The answer is read whole, in large blocks, and parsed from memory: parsed straight off the
// connection, libcups reads it a few bytes per call, each with its own wait, which costs
// more than the server's own work for long job lists.
//
// Not thread-safe: one exchange at a time, on the thread that uses the connection.
class CupsExchange
{
public:
    struct Limits
    {
        int connectMs = 3000;
        int firstAnswerMs = 1500; // the answer to the first request after connecting
        int answerMs = 10000;
        // Far above what a server with several hundred thousand jobs sends for a job list
        // (a job takes about 0.5 KB with the attributes asked for), and yet a bound.
        qint64 maxAnswerBytes = qint64(256) << 20;
        // CUPS keeps 500 jobs unless told otherwise, and a busy server told to keep more holds
        // a few thousand: 50,000 is far above any real queue, and what a program builds from
        // that many (about 2 KB a job with the monitor's comparison, 3 KB in a server report)
        // stays under 200 MB, far below the machine. A longer list is taken for a fault of the
        // server.
        qint64 maxJobs = 50000;
    };
    // Process-wide; tests shorten them.
    static Limits limits();
    static void setLimits(const Limits& limits);

    // Connects to host and port (a host starting with "/" is a local socket). `prepare` runs
    // before every exchange (it sets up the password prompt for the thread). Null when the
    // server cannot be reached, with *error telling why.
    static std::unique_ptr<CupsExchange> connect(const std::string& host, int port, std::function<void()> prepare,
                                                 QString* error = nullptr);
    ~CupsExchange();
    CupsExchange(const CupsExchange&) = delete;
    CupsExchange& operator=(const CupsExchange&) = delete;

    // Sends the request (taking it over), followed by `document` when it is not empty, and
    // returns the answer (the caller deletes it), or null when none came. status() and
    // message() tell the outcome either way; a password challenge is answered through the
    // prompt and the request sent again.
    ipp_t* send(ipp_t* request, const char* resource, const QByteArray& document = QByteArray());

    // Sends the request and returns the answer only when the server granted it; null
    // otherwise, with message() telling why.
    ipp_t* sendGranted(ipp_t* request, const char* resource);

    // From any thread: ends every exchange in progress in this process at once, and fails
    // every new one at once, until called again with false. For a program asked to stop
    // while a server holds its thread.
    static void interruptAll(bool on);
    static bool interruptedAll();

    // Of the last exchange: whether an IPP answer came (a refusal included), its status
    // (or the HTTP failure as an IPP status), and the server's words or ours.
    bool answered() const { return m_answered; }
    ipp_status_t status() const { return m_status; }
    bool granted() const { return m_answered && m_status <= IPP_STATUS_OK_EVENTS_COMPLETE; }
    const QString& message() const { return m_message; }

private:
    class Watchdog;

    CupsExchange(http_t* http, std::function<void()> prepare);
    void watch();
    static int keepWaiting(http_t* http, void* self);
    bool reconnect();
    ipp_t* readAnswer();
    void setHttpFailure(http_status_t status);

    http_t* m_http;
    std::function<void()> m_prepare;
    QDeadlineTimer m_deadline;
    bool m_first = true;
    bool m_tooLarge = false;
    bool m_tooManyJobs = false;
    bool m_cutOff = false; // the deadline ended the connection
    bool m_answered = false;
    ipp_status_t m_status = IPP_STATUS_OK;
    QString m_message;
};

} // namespace hlv
