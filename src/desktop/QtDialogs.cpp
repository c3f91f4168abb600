#include "desktop/QtDialogs.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QInputDialog>
#include <QMessageBox>
#include <QStringList>

namespace hlv {

namespace {

QString titleOrApp(const QString& title)
{
    return title.isEmpty() ? QCoreApplication::applicationName() : title;
}

QMessageBox::Icon boxIcon(int style)
{
    switch (style & 0x70) {
    case MsgBoxStyle::Critical:
        return QMessageBox::Critical;
    case MsgBoxStyle::Question:
        return QMessageBox::Question;
    case MsgBoxStyle::Exclamation:
        return QMessageBox::Warning;
    case MsgBoxStyle::Information:
        return QMessageBox::Information;
    default:
        return QMessageBox::NoIcon;
    }
}

} // namespace

int QtDialogs::msgBox(const QString& text, int style, const QString& title)
{
    QMessageBox box(m_parent);
    box.setWindowTitle(titleOrApp(title));
    box.setText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    box.setIcon(boxIcon(style));
    struct Button
    {
        QMessageBox::StandardButton qt;
        int code;
    };
    QList<Button> buttons;
    switch (style & 0xF) {
    case MsgBoxStyle::OkCancel:
        buttons = {{QMessageBox::Ok, MsgBoxResult::Ok}, {QMessageBox::Cancel, MsgBoxResult::Cancel}};
        break;
    case MsgBoxStyle::AbortRetryIgnore:
        buttons = {{QMessageBox::Abort, MsgBoxResult::Abort},
                   {QMessageBox::Retry, MsgBoxResult::Retry},
                   {QMessageBox::Ignore, MsgBoxResult::Ignore}};
        break;
    case MsgBoxStyle::YesNoCancel:
        buttons = {{QMessageBox::Yes, MsgBoxResult::Yes},
                   {QMessageBox::No, MsgBoxResult::No},
                   {QMessageBox::Cancel, MsgBoxResult::Cancel}};
        break;
    case MsgBoxStyle::YesNo:
        buttons = {{QMessageBox::Yes, MsgBoxResult::Yes}, {QMessageBox::No, MsgBoxResult::No}};
        break;
    case MsgBoxStyle::RetryCancel:
        buttons = {{QMessageBox::Retry, MsgBoxResult::Retry}, {QMessageBox::Cancel, MsgBoxResult::Cancel}};
        break;
    default:
        buttons = {{QMessageBox::Ok, MsgBoxResult::Ok}};
        break;
    }
    QMessageBox::StandardButtons set;
    for (const Button& b : std::as_const(buttons)) {
        set |= b.qt;
    }
    box.setStandardButtons(set);
    const int answer = box.exec();
    for (const Button& b : std::as_const(buttons)) {
        if (answer == b.qt) {
            return b.code;
        }
    }
    // Closing the box answers its cancel button, or OK when it has none.
    return set.testFlag(QMessageBox::Cancel) ? MsgBoxResult::Cancel
           : set.testFlag(QMessageBox::No)   ? MsgBoxResult::No
                                             : MsgBoxResult::Ok;
}

void QtDialogs::showMessage(const QString& text, int style, const QString& title)
{
    auto* box = new QMessageBox(m_parent);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::NonModal);
    box->setWindowTitle(titleOrApp(title));
    box->setText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    box->setIcon(boxIcon(style));
    box->setStandardButtons(QMessageBox::Ok);
    box->show();
}

QString QtDialogs::inputBox(const QString& prompt, const QString& title, const QString& defaultText)
{
    bool ok = false;
    const QString text =
        QInputDialog::getText(m_parent, titleOrApp(title), prompt, QLineEdit::Normal, defaultText, &ok);
    return ok ? text : QString();
}

std::optional<QString> QtDialogs::passwordBox(const QString& prompt, const QString& title)
{
    bool ok = false;
    const QString text =
        QInputDialog::getText(m_parent, titleOrApp(title), prompt, QLineEdit::Password, QString(), &ok);
    if (!ok) {
        return std::nullopt;
    }
    return text;
}

QString QtDialogs::qtFilter(const QString& filter)
{
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList out;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        out.append(parts.at(i));
    }
    if (out.isEmpty() && !filter.isEmpty()) {
        out.append(filter);
    }
    return out.join(QStringLiteral(";;"));
}

QString QtDialogs::openFileName(const QString& title, const QString& folder, const QString& filter)
{
    return QFileDialog::getOpenFileName(m_parent, title, folder, qtFilter(filter));
}

QString QtDialogs::saveFileName(const QString& title, const QString& folder, const QString& filter)
{
    return QFileDialog::getSaveFileName(m_parent, title, folder, qtFilter(filter));
}

QString QtDialogs::appendFileName(const QString& title, const QString& folder, const QString& filter)
{
    return QFileDialog::getSaveFileName(m_parent, title, folder, qtFilter(filter), nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

QString QtDialogs::folderName(const QString& title, const QString& folder)
{
    return QFileDialog::getExistingDirectory(m_parent, title, folder);
}

} // namespace hlv
