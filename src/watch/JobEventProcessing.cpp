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

bool appendJobCsvLine(const QString& path, const QString& dataLine)
{
    if (!QFileInfo::exists(path)) {
        QFile header(path);
        if (!header.open(QIODevice::WriteOnly | QIODevice::Append)) {
            qWarning().noquote() << "HlvWatch: CSV file" << path << "cannot be created:" << header.errorString();
            return false;
        }
        header.write((jobCsvHeaderLine() + kCrLf).toUtf8());
    }
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        qWarning().noquote() << "HlvWatch: CSV file" << path << "cannot be written:" << file.errorString();
        return false;
    }
    const QByteArray bytes = (dataLine + kCrLf).toUtf8();
    return file.write(bytes) == bytes.size() && file.flush();
}

JobEventProcessor::JobEventProcessor(WatchJobLog& log, PopupMessages& popups, MailAlert& mail,
                                     std::function<void()> showMailer)
    : m_log(log)
    , m_popups(popups)
    , m_mail(mail)
    , m_showMailer(std::move(showMailer))
{}

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
        appendJobCsvLine(outputs.csvPath, jobCsvDataLine(strAction, outputs.server, statusText, f));
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
