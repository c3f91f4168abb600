#include <algorithm>

#include <QDebug>
#include <QLocale>

#include "JobLogStore.h"
#include "platform/AtomicFile.h"
#include "platform/Database.h"
#include "platform/Environment.h"
#include "store/JobLogColumns.h"
#include "store/SubmitDates.h"

namespace hlv {

using joblog::fieldText;
using joblog::plainText;

bool JobLogStore::ExportLogToCsv(QString* writeError)
{
    // The file is written as the rows are read, a block at a time, so a large log is never
    // held whole in memory; the old file is still replaced only once all is on the disk, and
    // nothing planted at its name in a shared temporary folder is followed.
    // Whole numbers and ASCII text go from SQLite's bytes straight into the block; other
    // values take the QVariant route, so every cell reads as it always has.
    const QString path = csvFilePath();
    AtomicFile file(path, ReplaceTarget::NameOnly);
    bool writeOk = file.open();
    QByteArray out;
    constexpr qsizetype kBlock = 1 << 16;
    out.reserve(kBlock + kBlock / 4);
    const auto flush = [&](bool always) {
        if (always || out.size() >= kBlock) {
            writeOk = writeOk && file.write(out);
            out.clear();
        }
    };
    // A cell quoted, its quotes doubled, when it holds a comma, a quote or a line break.
    const auto appendCell = [&out](QByteArrayView cell) {
        const bool quoted = std::any_of(cell.begin(), cell.end(),
                                        [](char c) { return c == ',' || c == '"' || c == '\r' || c == '\n'; });
        if (!quoted) {
            out.append(cell);
        } else {
            out.append('"');
            for (const char c : cell) {
                out.append(c);
                if (c == '"') {
                    out.append('"');
                }
            }
            out.append('"');
        }
        out.append(',');
    };
    const auto appendColumn = [&](const Query& query, int column) {
        bool null = false;
        if (const std::optional<QByteArrayView> raw = plainText(query, column, &null)) {
            appendCell(*raw);
        } else {
            appendCell(fieldText(query.value(column)).toUtf8());
        }
    };
    out += "Server,Queue,Description,Computer,User,Pages,Priority,Size,Time Submitted,Year,Month,Day,ID,Deleted,"
           "Resumed,Deleted Pages,Printed Pages,HLV Computer,HLV User,Comments\r\n";
    bool readOk = false;
    if (OpenLogDatabase()) {
        // Year, month and day are the day the views give the row. The days and the rows are
        // read in one transaction, so both see the same log.
        const bool inTransaction = m_db->begin();
        joblog::SubmitDays days;
        const bool daysOk = days.load(*m_db);
        const auto recordedDay = joblog::submitDaySource(*m_db);
        Query query(*m_db, QStringLiteral("SELECT Server, Queue, Description, Computer, User, Pages, Priority, Size, "
                                          "\"Time Submitted\", Name, Deleted, Resumed, \"Deleted Pages\", "
                                          "\"Printed Pages\", \"HLV Computer\", \"HLV User\", Comments, ") +
                               recordedDay.first + QStringLiteral(" FROM HLV_Log") + recordedDay.second +
                               QStringLiteral(" ORDER BY HLV_Log.rowid"));
        QList<QByteArray> monthNames;
        const QLocale locale;
        for (int month = 1; month <= 12; ++month) {
            monthNames.append(locale.standaloneMonthName(month, QLocale::LongFormat).toUtf8());
        }
        QByteArray description;
        while (query.next()) {
            appendColumn(query, 0);
            appendColumn(query, 1);
            // The description between single quotes, its commas taken out.
            bool null = false;
            if (const std::optional<QByteArrayView> raw = plainText(query, 2, &null)) {
                description = "'";
                for (const char c : *raw) {
                    if (c != ',') {
                        description.append(c);
                    }
                }
                description.append('\'');
                appendCell(description);
            } else {
                appendCell(
                    (QLatin1Char('\'') + StripChars(fieldText(query.value(2)), QStringLiteral(",")) + QLatin1Char('\''))
                        .toUtf8());
            }
            for (int column = 3; column < 9; ++column) {
                appendColumn(query, column);
            }
            // The day its writer recorded, else the day the rule gives its text.
            Query::Kind dayKind = Query::Kind::Null;
            const QByteArrayView recorded = query.rawText(17, &dayKind);
            const std::optional<QByteArrayView> submitted = plainText(query, 8, &null);
            QDate date;
            if (submitted) {
                date = days.dayOf(recorded, null ? QByteArrayView() : *submitted);
            } else {
                date = days.dayOf(recorded, fieldText(query.value(8)).toUtf8());
            }
            if (date.isValid()) {
                out += QByteArray::number(date.year()) + ',' + monthNames.at(date.month() - 1) + ',' +
                       QByteArray::number(date.day()) + ',';
            } else {
                out += ",,,";
            }
            for (int column = 9; column < 17; ++column) {
                appendColumn(query, column);
            }
            out.chop(1); // the last cell's comma
            out += "\r\n";
            flush(false);
        }
        readOk = daysOk && !query.failed();
        if (!readOk) {
            qWarning().noquote() << "hlv: job log: export read failed:" << m_db->lastError();
        }
        query.reset();
        if (inTransaction) {
            m_db->rollback();
        }
        CloseLogDatabase();
    }
    out += "\r\n";
    flush(true);

    if (!writeOk || !file.commit()) {
        qWarning().noquote() << "hlv: job log: export:" << file.errorString();
        if (writeError) {
            *writeError = file.errorString();
        }
        return false;
    }
    return readOk;
}

QString StripChars(const QString& text, const QString& chars)
{
    QString result = text;
    for (const QChar c : chars) {
        result.remove(c, Qt::CaseSensitive);
    }
    return result;
}

} // namespace hlv
