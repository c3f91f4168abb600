#pragma once

#include <memory>
#include <string>

#include <QElapsedTimer>
#include <QHash>
#include <QString>

#include "platform/PrintSystem.h"

namespace hlv {

class CupsExchange;

// A CUPS printer subscription for the job and queue events of every queue of a server,
// read by the pull method: Get-Notifications asks for the events after the last one seen.
//
// The lease is short and renewed while the subscription is read (at a third of it), so
// a watcher that goes away without cancelling leaves nothing behind for long; the object's
// end cancels it unless the server was given up (abandon) or stopped answering. A server
// that refuses to let it be read (its policy wants a password for Get-Notifications) gives
// a refusal (PrintResult::refused); the cancel is still tried, as a policy may allow it.
// Events tell which jobs changed
// (job-created, -state-changed, -config-changed, -progress, -completed) and which queues
// changed state (printer-state-changed, -deleted); a gap in the event numbers (the server
// keeps only so many events) or a server restart asks for a whole reading.
//
// Uses the connection of the PrintServer that made it, on that server's thread.
class CupsSubscription final : public JobWatch
{
public:
    static constexpr int kLeaseSeconds = 60;
    // The lease asked for at creation, until the first reading has shown that the server
    // lets the subscription be read.
    static constexpr int kFirstLeaseSeconds = 10;

    // Subscribes on the server that exchange is connected to (serverUri: "ipp://host:port/").
    // Null when the server refuses or does not answer; why then tells what it said, and
    // refused whether it was a refusal.
    static std::unique_ptr<CupsSubscription> create(std::shared_ptr<CupsExchange> exchange, std::string serverUri,
                                                    std::string user, int leaseSeconds = kLeaseSeconds,
                                                    QString* why = nullptr, bool* refused = nullptr);
    ~CupsSubscription() override;
    CupsSubscription(const CupsSubscription&) = delete;
    CupsSubscription& operator=(const CupsSubscription&) = delete;

    PrintResult changes(JobChanges& out) override;
    void abandon() override { m_abandoned = true; }

    int id() const { return m_id; }
    int renewals() const { return m_renewals; }

private:
    CupsSubscription(std::shared_ptr<CupsExchange> exchange, std::string serverUri, std::string user, int id,
                     int leaseSeconds);
    PrintResult renew();

    std::shared_ptr<CupsExchange> m_exchange;
    std::string m_uri;
    std::string m_user;
    int m_id;
    int m_lease;
    qint64 m_nextSequence = 1;
    int m_renewals = 0;
    bool m_abandoned = false;
    // When each job not yet told ended was created, by job id: a job's creation and its
    // end may come in different readings.
    QHash<qint64, qint64> m_createdAt;
    QElapsedTimer m_sinceLease;
};

} // namespace hlv
