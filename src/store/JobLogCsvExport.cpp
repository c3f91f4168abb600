#include <algorithm>

#include <QDebug>
#include <QLocale>
#include <QSaveFile>

#include "JobLogStore.h"
#include "platform/Database.h"
#include "platform/Environment.h"
#include "store/JobLogColumns.h"
#include "store/SubmitDates.h"

namespace hlv {

using joblog::fieldText;
using joblog::plainText;
using joblog::SubmitDateReader;

namespace {

// The export's output file, opened for writing; it replaces the old file only on commit.
bool openCsvOutput(QSaveFile& file)
{
    return file.open(QIODevice::WriteOnly);
}

} // namespace

bool JobLogStore::ExportLogToCsv()
{
    // The file is written as the rows are read, a block at a time, so a large log is never
    // held whole in memory; QSaveFile still replaces the old file only when all is written.
    // Whole numbers and ASCII text go from SQLite's bytes straight into the block; other
    // values take the QVariant route, so every cell reads as it always has.
    const QString path = csvFilePath();
    QSaveFile file(path);
    bool writeOk = openCsvOutput(file);
    QByteArray out;
    constexpr qsizetype kBlock = 1 << 16;
    out.reserve(kBlock + kBlock / 4);
    const auto flush = [&](bool always) {
        if (always || out.size() >= kBlock) {
            writeOk = writeOk && file.write(out) == out.size();
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
        Query query(*m_db, QStringLiteral("SELECT Server, Queue, Description, Computer, User, Pages, Priority, Size, "
                                          "\"Time Submitted\", Name, Deleted, Resumed, \"Deleted Pages\", "
                                          "\"Printed Pages\", \"HLV Computer\", \"HLV User\", Comments "
                                          "FROM HLV_Log ORDER BY rowid"));
        SubmitDateReader dates;
        QList<QByteArray> monthNames;
        const QLocale locale;
        for (int month = 1; month <= 12; ++month) {
            monthNames.append(locale.monthName(month, QLocale::LongFormat).toUtf8());
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
            const std::optional<QByteArrayView> submitted = plainText(query, 8, &null);
            QDate date;
            if (submitted) {
                date = null || submitted->isEmpty() ? QDate() : dates.dateOf(*submitted);
            } else {
                const QString text = fieldText(query.value(8));
                date = text.isEmpty() ? QDate() : dates.dateOf(text);
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
        readOk = !query.failed();
        if (!readOk) {
            qWarning().noquote() << "hlv: job log: export read failed:" << m_db->lastError();
        }
        CloseLogDatabase();
    }
    out += "\r\n";
    flush(true);

    if (!writeOk || !file.commit()) {
        qWarning().noquote() << "hlv: job log: cannot write" << path << ":" << file.errorString();
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
