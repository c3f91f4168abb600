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
        // Most values were seen before: their bytes are looked up before anything else.
        Query::Kind kind = Query::Kind::Null;
        const QByteArrayView seen = query.rawText(column, &kind);
        if ((kind == Query::Kind::Text || kind == Query::Kind::Integer) &&
            m_seen.contains(QByteArray::fromRawData(seen.data(), seen.size()))) {
            return;
        }
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
    // The first and last days are those the views give the rows: recorded, else by the rule.
    const bool inTransaction = m_db->begin();
    joblog::SubmitDays days;
    const auto recordedDay = joblog::submitDaySource(*m_db);
    Query query(*m_db, QStringLiteral("SELECT Server, Queue, User, Pages, \"Deleted Pages\", \"Printed Pages\", "
                                      "\"Time Submitted\", ") +
                           recordedDay.first + QStringLiteral(" FROM HLV_Log") + recordedDay.second);
    NameSet servers;
    NameSet queues;
    NameSet users;
    while (query.next()) {
        ++figures.LogJobsManaged;
        days.add(query, 6, 7);
        // Names are told apart exactly, ignoring letter case only.
        servers.add(query, 0);
        queues.add(query, 1);
        users.add(query, 2);
        figures.LogPagesManaged += numberOf(query, 3);
        figures.LogDeletedPages += numberOf(query, 4);
        // A job released and then deleted counts as deleted only.
        Query::Kind kind = Query::Kind::Null;
        qint64 integer = 0;
        const QByteArrayView deletedPages = query.rawValue(4, &kind, &integer);
        const bool noDeletedPages =
            kind == Query::Kind::Null || (kind == Query::Kind::Text && deletedPages.isEmpty()) ||
            ((kind == Query::Kind::Float || kind == Query::Kind::Blob) && fieldText(query.value(4)).isEmpty());
        if (noDeletedPages) {
            figures.LogPrintedPages += numberOf(query, 5);
        }
    }
    const bool ok = !query.failed() && days.resolve(*m_db);
    if (!ok) {
        qWarning().noquote() << "hlv: job log: statistics read failed:" << m_db->lastError();
    }
    query.reset();
    if (inTransaction) {
        m_db->rollback();
    }
    CloseLogDatabase();
    if (!ok) {
        return false;
    }
    const QDateTime first(days.earliest(), QTime(0, 0));
    const QDateTime last(days.latest(), QTime(0, 0));
    if (first.isValid() && first < figures.LogStarted) {
        figures.LogStarted = first;
    }
    if (last.isValid() && last > figures.LogFinished) {
        figures.LogFinished = last;
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
