#pragma once

#include <QDateTime>
#include <QString>
#include <QWidget>

class QLabel;
class QPlainTextEdit;

namespace hlv {

// The one window that tells the operator of alert mails that did not go out. A mail server
// that is down for a night fails every alert: each failure updates this window (how many
// alerts were not mailed since when, and the last error) rather than opening a box of its
// own, so the program's windows and memory stay as they are however long the trouble lasts.
//
// A trouble begins with the first alert not mailed and ends with the next alert mailed.
// The window is shown when a trouble begins; closed by the operator it stays closed until
// the next trouble, while its texts go on being kept current.
class MailTroubleWindow : public QWidget
{
    Q_OBJECT
public:
    explicit MailTroubleWindow(QWidget* parent = nullptr);

    // An alert that was not mailed (failed or dropped), for the reason why.
    void notMailed(const QString& why, const QDateTime& at);
    // An alert that went out: ends the trouble, when there is one.
    void mailed(const QDateTime& at);

    bool inTrouble() const { return m_count > 0; }
    // Alerts not mailed in the running trouble, and when it began.
    int notMailedCount() const { return m_count; }
    QDateTime since() const { return m_since; }
    // "12 alerts not mailed since 3/14/2026 9:30:00 AM"; empty without a trouble.
    QString summary() const;

    QLabel* lblStatus = nullptr;
    QPlainTextEdit* txtLastError = nullptr;

private:
    int m_count = 0;
    QDateTime m_since;
    QDateTime m_last;
};

} // namespace hlv
