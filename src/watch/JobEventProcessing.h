#pragma once

#include <functional>

#include <QString>
#include <QStringList>

namespace hlv {

class PopupMessages;
class WatchJobLog;

// The values the mail window takes for an alert, program-wide: set by each e-mail alert and
// kept until the next one; the alert mode is switched off only by Test Email.
struct MailAlert
{
    bool MailAlertMode = false;
    QString MailAlertSubject;
    QString MailAlertBody;
};

// What the Record and Alert menus of the watch window say at the moment of a job event.
struct WatchOutputs
{
    QString server;          // the server box
    bool csvOn = false;      // Record > Jobs > CSV checked
    QString csvPath;         // ...and its caption
    bool databaseOn = false; // Record > Jobs > Database checked
    bool popupOn = false;    // Alert > Jobs > Message on Error
    QString popupComputer;   // the caption of the message computer menu (also when unset)
    bool emailOn = false;    // Alert > Jobs > Email on Error
};

// One job detail record taken apart, always twelve fields: a short record is filled up with
// empty fields, so a damaged event is shown and recorded as far as it goes.
struct JobEventFields
{
    static constexpr int kFieldCount = 12;
    QStringList d;

    static JobEventFields parse(const QString& record);
    // Job id "-" time submitted: the key of the job log.
    QString transactionId() const { return d.at(10) + QLatin1Char('-') + d.at(9); }
};

// The five job states that mean trouble at the printer and raise alerts.
bool isAlertStatus(const QString& statusText);
// The thirteen lines of the window's translated box, each ending in CR LF.
QString translatedJobText(const JobEventFields& f, const QString& statusText);
// The text of popups and alert mails (no line break at its end).
QString jobWarningText(const JobEventFields& f, const QString& statusText, const QString& server);
// The CSV file's first line and one event's line (without their CR LF).
QString jobCsvHeaderLine();
QString jobCsvDataLine(const QString& action, const QString& server, const QString& statusText,
                       const JobEventFields& f);
// Appends one line to the CSV file, whole or not at all: the header goes first into a new
// file, and a failed write (a full disk) is cut back to the last whole line (a new file is
// removed, so the next line makes it again with its header).
// False (with the path and the reason in *error) when the line could not be written.
bool appendJobCsvLine(const QString& path, const QString& dataLine, QString* error = nullptr);

// The handling of every job event of the watch program: the readable text for the window,
// the CSV line, the job log row of a job seen for the first time, and the popup and e-mail
// alerts for jobs in trouble.
class JobEventProcessor
{
public:
    // showMailer hands the alert in mail to the mail window, which sends it by itself.
    JobEventProcessor(WatchJobLog& log, PopupMessages& popups, MailAlert& mail, std::function<void()> showMailer);

    // Returns the translated text. Failing outputs are skipped; the next event is handled
    // as if nothing had happened.
    QString ProcessJobEvent(const QString& strAction, const QString& strDetail, const WatchOutputs& outputs);
    // Told when the CSV file begins to fail (the text) and when it is written again (an
    // empty text); each is also written on stderr.
    void setCsvNotice(std::function<void(const QString&)> notice) { m_csvNotice = std::move(notice); }

private:
    void recordJob(const JobEventFields& f, const QString& statusText, const QString& server);
    void csvWritten(bool written, const QString& error);

    WatchJobLog& m_log;
    PopupMessages& m_popups;
    MailAlert& m_mail;
    std::function<void()> m_showMailer;
    std::function<void(const QString&)> m_csvNotice;
    bool m_csvFailing = false;
};

} // namespace hlv
