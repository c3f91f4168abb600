#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

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

namespace {

QString caseFolded(const QString& name)
{
    return name.toCaseFolded();
}

// The byte texts of a column seen before: an open table looked up by a cheap hash, as most
// rows repeat a name seen many rows before.
class SeenTexts
{
public:
    // True when text was seen before; else it is remembered.
    bool seen(QByteArrayView text)
    {
        if (m_texts.size() * 2 >= m_slots.size()) {
            grow();
        }
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t slot = hashOf(text) & mask;; slot = (slot + 1) & mask) {
            const std::uint32_t index = m_slots[slot];
            if (index == 0) {
                m_slots[slot] = std::uint32_t(m_texts.size() + 1);
                m_texts.emplace_back(text.data(), std::size_t(text.size()));
                return false;
            }
            const std::string& known = m_texts[index - 1];
            if (known.size() == std::size_t(text.size()) && std::memcmp(known.data(), text.data(), known.size()) == 0) {
                return true;
            }
        }
    }

private:
    static std::size_t hashOf(QByteArrayView text)
    {
        std::uint64_t hash = 1469598103934665603ull;
        for (const char c : text) {
            hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        }
        return std::size_t(hash ^ (hash >> 29));
    }
    void grow()
    {
        m_slots.assign(m_slots.empty() ? 64 : m_slots.size() * 2, 0);
        const std::size_t mask = m_slots.size() - 1;
        for (std::size_t i = 0; i < m_texts.size(); ++i) {
            std::size_t slot = hashOf(QByteArrayView(m_texts[i].data(), qsizetype(m_texts[i].size()))) & mask;
            while (m_slots[slot] != 0) {
                slot = (slot + 1) & mask;
            }
            m_slots[slot] = std::uint32_t(i + 1);
        }
    }
    std::vector<std::uint32_t> m_slots; // index + 1 into m_texts, 0 for none
    std::vector<std::string> m_texts;
};

// The names of one column told apart ignoring letter case, each value's bytes folded once.
class NameSet
{
public:
    void add(const Query& query, int column)
    {
        // Most values were seen before: their bytes are looked up before anything else.
        Query::Kind kind = Query::Kind::Null;
        const QByteArrayView raw = query.rawText(column, &kind);
        if (kind == Query::Kind::Text || kind == Query::Kind::Integer) {
            if (m_seen.seen(raw)) {
                return;
            }
            if (raw.isEmpty()) {
                return;
            }
            if (kind == Query::Kind::Integer || joblog::isAscii(raw)) {
                m_folded.insert(caseFolded(QString::fromLatin1(raw)));
                return;
            }
        }
        if (kind == Query::Kind::Null) {
            return;
        }
        const QString text = fieldText(query.value(column));
        if (!text.isEmpty()) {
            m_folded.insert(caseFolded(text));
        }
    }
    int count() const { return static_cast<int>(m_folded.size()); }

private:
    SeenTexts m_seen;
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
    const bool formsOk = days.load(*m_db);
    const auto recordedDay = joblog::submitDaySource(*m_db);
    Query query(*m_db, QStringLiteral("SELECT Server, Queue, User, Pages, \"Deleted Pages\", \"Printed Pages\", "
                                      "\"Time Submitted\", ") +
                           recordedDay.first + QStringLiteral(" FROM HLV_Log") + recordedDay.second);
    NameSet servers;
    NameSet queues;
    NameSet users;
    while (query.next()) {
        ++figures.LogJobsManaged;
        Query::Kind dayKind = Query::Kind::Null;
        days.add(query.rawText(7, &dayKind), days.submitText(query, 6));
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
    const bool ok = formsOk && !query.failed();
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
