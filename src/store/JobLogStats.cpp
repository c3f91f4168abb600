#include <QDebug>
#include <QSet>

#include "JobLogStore.h"
#include "platform/Clock.h"
#include "platform/Database.h"
#include "store/JobLogColumns.h"
#include "store/SubmitDates.h"

namespace hlv {

using joblog::fieldText;
using joblog::numberOf;
using joblog::plainText;
using joblog::SubmitDateReader;

namespace {

QString caseFolded(const QString& name)
{
    return name.toCaseFolded();
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

} // namespace hlv
