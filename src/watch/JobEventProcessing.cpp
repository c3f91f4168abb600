#include "watch/JobEventProcessing.h"

#include <QDebug>
#include <QFile>
#include <QFileInfo>

#include "jobmonitor/JobDetailRecord.h"
#include "platform/print/StatusText.h"
#include "store/JobLogTable.h"
#include "watch/PopupMessages.h"
#include "watch/WatchJobLog.h"

namespace hlv {

namespace {

const QLatin1String kCrLf("\r\n");

// A CSV cell: the value between double quotes, its own double quotes doubled so that a
// document title holding one cannot break the file's columns.
QString csvCell(const QString& value)
{
    QString escaped = value;
    escaped.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

} // namespace

JobEventFields JobEventFields::parse(const QString& record)
{
    JobEventFields f;
    f.d = readJobDetailRecord(record);
    return f;
}

bool isAlertStatus(const QString& statusText)
{
    static const QStringList alerting = {QStringLiteral("Error"), QStringLiteral("Offline"), QStringLiteral("Paperout"),
                                         QStringLiteral("Blocked Dev Queue"),
                                         QStringLiteral("User Intervention Required")};
    return alerting.contains(statusText);
}

QString translatedJobText(const JobEventFields& f, const QString& statusText)
{
    const QStringList& d = f.d;
    QString text;
    text += QStringLiteral("Log ID: ") + f.transactionId() + kCrLf;
    text += QStringLiteral("Status: ") + statusText + kCrLf;
    text += QStringLiteral("Description: ") + d.at(1) + kCrLf;
    text += QStringLiteral("Computer: ") + d.at(2) + kCrLf;
    text += QStringLiteral("User: ") + d.at(3) + kCrLf;
    text += QStringLiteral("Queue: ") + d.at(4) + kCrLf;
    text += QStringLiteral("Pages: ") + d.at(5) + kCrLf;
    text += QStringLiteral("Pages Printed: ") + d.at(6) + kCrLf;
    text += QStringLiteral("Priority: ") + d.at(7) + kCrLf;
    text += QStringLiteral("Size: ") + d.at(8) + kCrLf;
    text += QStringLiteral("Time Submitted: ") + d.at(9) + kCrLf;
    text += QStringLiteral("ID: ") + d.at(10) + kCrLf;
    text += QStringLiteral("Name: ") + d.at(11) + kCrLf;
    return text;
}

QString jobWarningText(const JobEventFields& f, const QString& statusText, const QString& server)
{
    const QStringList& d = f.d;
    return QStringLiteral("Warning: Job ") + d.at(10) + QStringLiteral(" titled ") + d.at(1) + QStringLiteral(" in ") +
           d.at(4) + QStringLiteral(" on ") + server + kCrLf + QStringLiteral("for ") + d.at(3) +
           QStringLiteral(" on ") + d.at(2) + QStringLiteral(" is reporting a status of ") + statusText;
}

QString jobCsvHeaderLine()
{
    return QStringLiteral("\"Job Action\",\"Server\",\"Status\",\"Description\",\"Computer\",\"User\",\"Queue\","
                          "\"Pages\",\"Printed Pages\",\"Priority\",\"Size\",\"Time Submitted\",\"ID\",\"Name\"");
}

QString jobCsvDataLine(const QString& action, const QString& server, const QString& statusText, const JobEventFields& f)
{
    QString line = csvCell(action) + QLatin1Char(',') + csvCell(server) + QLatin1Char(',') + csvCell(statusText) +
                   QLatin1Char(',');
    for (int i = 1; i <= 11; ++i) {
        line += csvCell(f.d.at(i)) + QLatin1Char(',');
    }
    return line;
}

namespace {

// Where the file's last whole line ends: a line cut short by an earlier failure (or by a
// program that ended while writing) is taken off before the next line is added.
qint64 lastLineEnd(QFile& file)
{
    qint64 end = file.size();
    constexpr qint64 kStep = 4096;
    while (end > 0) {
        const qint64 from = qMax<qint64>(0, end - kStep);
        if (!file.seek(from)) {
            return -1;
        }
        const QByteArray block = file.read(end - from);
        if (block.size() != end - from) {
            return -1;
        }
        const qsizetype newline = block.lastIndexOf('\n');
        if (newline >= 0) {
            return from + newline + 1;
        }
        end = from;
    }
    return 0;
}

} // namespace

bool appendJobCsvLine(const QString& path, const QString& dataLine, QString* error)
{
    const auto fail = [&](const QString& why) {
        if (error) {
            *error = QStringLiteral("%1: %2").arg(path, why);
        }
        return false;
    };
    // A new file gets the header with its first line. Unbuffered, so that a write the disk
    // refuses is known at once, with what it left.
    const bool created = !QFileInfo::exists(path);
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) {
        return fail(file.errorString());
    }
    const qint64 start = created ? 0 : lastLineEnd(file);
    if (start < 0) {
        return fail(file.errorString());
    }
    QByteArray bytes;
    if (created) {
        bytes = (jobCsvHeaderLine() + kCrLf).toUtf8();
    }
    bytes += (dataLine + kCrLf).toUtf8();
    if (file.size() != start && !file.resize(start)) {
        return fail(file.errorString());
    }
    if (file.seek(start) && file.write(bytes) == bytes.size()) {
        return true;
    }
    const QString why = file.errorString();
    // Not a part of a line: the file ends with its last whole line, and a file made for
    // this line is not left without its header.
    if (created) {
        file.remove();
    } else {
        file.resize(start);
    }
    return fail(why);
}

JobEventProcessor::JobEventProcessor(WatchJobLog& log, PopupMessages& popups, MailAlert& mail,
                                     std::function<void()> showMailer)
    : m_log(log)
    , m_popups(popups)
    , m_mail(mail)
    , m_showMailer(std::move(showMailer))
{}

void JobEventProcessor::csvWritten(bool written, const QString& error)
{
    // Told once when the file begins to fail, and once when it takes lines again.
    if (written == m_csvFailing) {
        m_csvFailing = !written;
        const QString text = written ? QString() : QStringLiteral("CSV file cannot be written: ") + error;
        qWarning().noquote() << "HlvWatch:" << (written ? QStringLiteral("CSV file written again") : text);
        if (m_csvNotice) {
            m_csvNotice(text);
        }
    }
}

void JobEventProcessor::recordJob(const JobEventFields& f, const QString& statusText, const QString& server)
{
    // The look-up is part of the write: a job already logged is left alone, and a log that
    // cannot be read gets no write either.
    m_log.LogNewJob(
        joblog::newJobEntry(f.transactionId(), server, f.d,
                            statusText != QLatin1String("Printing") && statusText != QLatin1String("Printed")));
}

QString JobEventProcessor::ProcessJobEvent(const QString& strAction, const QString& strDetail,
                                           const WatchOutputs& outputs)
{
    const JobEventFields f = JobEventFields::parse(strDetail);
    const QString statusText = GetJobStatusText(QVariant(f.d.at(0)));
    const bool inError = isAlertStatus(statusText);
    const QString translated = translatedJobText(f, statusText);

    if (outputs.csvOn) {
        QString error;
        const bool written =
            appendJobCsvLine(outputs.csvPath, jobCsvDataLine(strAction, outputs.server, statusText, f), &error);
        csvWritten(written, error);
    }
    if (outputs.databaseOn) {
        recordJob(f, statusText, outputs.server);
    }

    const QString warning = jobWarningText(f, statusText, outputs.server);
    if (outputs.popupOn && inError) {
        m_popups.netSend(outputs.popupComputer, warning);
        m_popups.msgAllSessions(outputs.popupComputer, warning);
    }
    if (outputs.emailOn && inError) {
        m_mail.MailAlertMode = true;
        m_mail.MailAlertSubject = QStringLiteral("HLV: Job Error on ") + outputs.server;
        m_mail.MailAlertBody = warning;
        if (m_showMailer) {
            m_showMailer();
        }
    }
    return translated;
}

} // namespace hlv
