#include <algorithm>
#include <array>
#include <charconv>
#include <optional>
#include <string>

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

namespace {

constexpr unsigned char kSpecial = 1;
constexpr unsigned char kNonAscii = 2;
constexpr std::array<unsigned char, 256> kByteClass = [] {
    std::array<unsigned char, 256> classes{};
    for (int byte = 0x80; byte < 0x100; ++byte) {
        classes[byte] = kNonAscii;
    }
    for (const char c : {',', '"', '\r', '\n'}) {
        classes[static_cast<unsigned char>(c)] = kSpecial;
    }
    return classes;
}();

} // namespace

bool JobLogStore::ExportLogToCsv(QString* writeError)
{
    // The file is written as the rows are read, a block at a time, so a large log is never
    // held whole in memory; the old file is still replaced only once all is on the disk, and
    // nothing planted at its name in a shared temporary folder is followed.
    // Whole numbers and ASCII text go from SQLite's bytes straight into the block; other
    // values take the QVariant route, so every cell reads as it always has.
    const QString path = csvFilePath();
    std::optional<AtomicFile> file;
    bool writeOk = false;
    // A plain byte buffer: a row is many small appends, each of which QByteArray would route
    // through its general insert.
    std::string out;
    constexpr std::size_t kBlock = 1 << 16;
    out.reserve(kBlock + kBlock / 4);
    const auto flush = [&](bool always) {
        if (always || out.size() >= kBlock) {
            writeOk = writeOk && file->write(QByteArrayView(out.data(), qsizetype(out.size())));
            out.clear(); // keeps its capacity
        }
    };
    static constexpr char kHeader[] =
        "Server,Queue,Description,Computer,User,Pages,Priority,Size,Time Submitted,Year,Month,Day,ID,Deleted,"
        "Resumed,Deleted Pages,Printed Pages,HLV Computer,HLV User,Comments\r\n";
    const auto start = [&] {
        file.reset();
        file.emplace(path, ReplaceTarget::NameOnly);
        writeOk = file->open();
        out.assign(kHeader);
    };
    // A cell quoted, its quotes doubled, when it holds a comma, a quote or a line break.
    const auto appendQuoted = [&out](QByteArrayView cell) {
        const char* const end = cell.data() + cell.size();
        out.push_back('"');
        for (const char* from = cell.data(); from < end;) {
            const char* quote = std::find(from, end, '"');
            out.append(from, quote);
            if (quote < end) {
                out.append("\"\"", 2);
                ++quote;
            }
            from = quote;
        }
        out.append("\",", 2);
    };
    // One look at each byte tells both whether the cell needs quotes and whether it is ASCII.
    const auto appendBytes = [&](QByteArrayView cell, bool* ascii) {
        unsigned char seen = 0;
        for (const char c : cell) {
            seen |= kByteClass[static_cast<unsigned char>(c)];
        }
        if (ascii) {
            *ascii = (seen & kNonAscii) == 0;
            if (!*ascii) {
                return;
            }
        }
        if ((seen & kSpecial) == 0) {
            out.append(cell.data(), std::size_t(cell.size()));
            out.push_back(',');
        } else {
            appendQuoted(cell);
        }
    };
    const auto appendCell = [&](QByteArrayView cell) {
        appendBytes(cell, nullptr);
    };
    // Whole numbers and ASCII text as SQLite gives them, as plainText() would take them.
    const auto appendColumn = [&](const Query& query, int column) {
        Query::Kind kind = Query::Kind::Null;
        qint64 integer = 0;
        const QByteArrayView raw = query.rawValue(column, &kind, &integer);
        if (kind == Query::Kind::Null) {
            out.push_back(',');
            return;
        }
        if (kind == Query::Kind::Integer) {
            // The digits SQLite would give, written here rather than built by SQLite.
            char digits[24];
            const char* const end = std::to_chars(digits, digits + sizeof digits, integer).ptr;
            out.append(digits, std::size_t(end - digits));
            out.push_back(',');
            return;
        }
        bool ascii = false;
        if (kind == Query::Kind::Text) {
            appendBytes(raw, &ascii);
        }
        if (!ascii) {
            appendCell(fieldText(query.value(column)).toUtf8());
        }
    };
    bool readOk = false;
    if (OpenLogDatabase()) {
        // Year, month and day are the day the views give the row, worked out as the rows are
        // read: the log is read once, in one transaction.
        const bool inTransaction = m_db->begin();
        joblog::SubmitDays days;
        const bool formsOk = days.load(*m_db);
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
        std::string description;
        const auto pass = [&] {
            start();
            // Rows come mostly in the order they were logged: most share the previous row's day.
            QDate cellsDate;
            std::string dayCells = ",,,";
            while (query.next()) {
                appendColumn(query, 0);
                appendColumn(query, 1);
                // The description between single quotes, its commas taken out.
                bool null = false;
                if (const std::optional<QByteArrayView> raw = plainText(query, 2, &null)) {
                    description.assign(1, '\'');
                    const char* const end = raw->data() + raw->size();
                    for (const char* from = raw->data(); from < end;) {
                        const char* comma = std::find(from, end, ',');
                        description.append(from, comma);
                        from = comma + (comma < end ? 1 : 0);
                    }
                    description.push_back('\'');
                    appendCell(QByteArrayView(description.data(), qsizetype(description.size())));
                } else {
                    appendCell((QLatin1Char('\'') + StripChars(fieldText(query.value(2)), QStringLiteral(",")) +
                                QLatin1Char('\''))
                                   .toUtf8());
                }
                for (int column = 3; column < 9; ++column) {
                    appendColumn(query, column);
                }
                // The day its writer recorded, else the day the rule gives its text.
                Query::Kind dayKind = Query::Kind::Null;
                const QDate date = days.dayOf(query.rawText(17, &dayKind), days.submitText(query, 8));
                if (date != cellsDate) {
                    cellsDate = date;
                    dayCells.clear();
                    if (date.isValid()) {
                        const QByteArray& month = monthNames.at(date.month() - 1);
                        dayCells.append(std::to_string(date.year())).append(1, ',');
                        dayCells.append(month.constData(), std::size_t(month.size())).append(1, ',');
                        dayCells.append(std::to_string(date.day())).append(1, ',');
                    } else {
                        dayCells = ",,,";
                    }
                }
                out += dayCells;
                for (int column = 9; column < 17; ++column) {
                    appendColumn(query, column);
                }
                out.pop_back(); // the last cell's comma
                out += "\r\n";
                flush(false);
            }
            return !query.failed();
        };
        readOk = formsOk && pass();
        if (readOk && !days.settled()) {
            // The log's later rows changed the order of a form its earlier rows were given:
            // the file is written again, every order now known.
            days.settle();
            query.reset();
            readOk = pass();
        }
        if (!readOk) {
            qWarning().noquote() << "hlv: job log: export read failed:" << m_db->lastError();
        }
        query.reset();
        if (inTransaction) {
            m_db->rollback();
        }
        CloseLogDatabase();
    }
    if (!file) {
        start();
    }
    out += "\r\n";
    flush(true);

    if (!writeOk || !file->commit()) {
        qWarning().noquote() << "hlv: job log: export:" << file->errorString();
        if (writeError) {
            *writeError = file->errorString();
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
