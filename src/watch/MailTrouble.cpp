#include "watch/MailTrouble.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "platform/GeneralDate.h"

namespace hlv {

MailTroubleWindow::MailTroubleWindow(QWidget* parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("MailTroubleWindow"));
    setWindowTitle(QStringLiteral("Halvern Watch - Alert Mail"));
    setStyleSheet(QStringLiteral("#MailTroubleWindow { background-color: #C0FFC0; }"));
    lblStatus = new QLabel(this);
    lblStatus->setWordWrap(true);
    auto* lastLabel = new QLabel(QStringLiteral("Last error:"), this);
    txtLastError = new QPlainTextEdit(this);
    txtLastError->setReadOnly(true);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblStatus);
    layout->addWidget(lastLabel);
    layout->addWidget(txtLastError, 1);
    resize(420, 200);
}

QString MailTroubleWindow::summary() const
{
    if (m_count == 0) {
        return {};
    }
    return QString::number(m_count) + (m_count == 1 ? QStringLiteral(" alert") : QStringLiteral(" alerts")) +
           QStringLiteral(" not mailed since ") + generalDateText(m_since);
}

void MailTroubleWindow::notMailed(const QString& why, const QDateTime& at)
{
    const bool begins = m_count == 0;
    if (begins) {
        m_since = at;
    }
    ++m_count;
    m_last = at;
    lblStatus->setText(summary() + QLatin1Char('.'));
    txtLastError->setPlainText(generalDateText(at) + QStringLiteral(": ") +
                               QString(why).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    if (begins) {
        show();
        raise();
    }
}

void MailTroubleWindow::mailed(const QDateTime& at)
{
    if (m_count == 0) {
        return;
    }
    lblStatus->setText(QStringLiteral("Alerts are mailed again since %1; %2 not mailed from %3 to %4.")
                           .arg(generalDateText(at),
                                QString::number(m_count) +
                                    (m_count == 1 ? QStringLiteral(" alert was") : QStringLiteral(" alerts were")),
                                generalDateText(m_since), generalDateText(m_last)));
    m_count = 0;
    m_since = {};
}

} // namespace hlv
