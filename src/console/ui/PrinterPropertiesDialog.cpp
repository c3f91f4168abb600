#include "console/ui/PrinterPropertiesDialog.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QVBoxLayout>

#include "platform/print/StatusText.h"

namespace hlv {

QDialog* makePrinterPropertiesDialog(const PrinterInfo& p, const QString& server, QWidget* parent)
{
    auto* dialog = new QDialog(parent);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setObjectName(QStringLiteral("PrinterProperties"));
    dialog->setWindowTitle(p.Name + QStringLiteral(" Properties"));
    auto* form = new QFormLayout;
    const auto row = [&](const QString& label, const QString& value) {
        auto* field = new QLineEdit(value, dialog);
        field->setReadOnly(true);
        field->setObjectName(label);
        form->addRow(label + QLatin1Char(':'), field);
    };
    row(QStringLiteral("Name"), p.Name);
    row(QStringLiteral("Server"), server);
    row(QStringLiteral("Share name"), p.ShareName);
    row(QStringLiteral("Shared"), p.Shared ? QStringLiteral("Yes") : QStringLiteral("No"));
    row(QStringLiteral("Location"), p.Location);
    row(QStringLiteral("Comment"), p.Comment);
    row(QStringLiteral("Model"), p.DriverName);
    row(QStringLiteral("Port"), p.PortName);
    row(QStringLiteral("Status"), GetPrinterStatusText(p.Status).trimmed());
    row(QStringLiteral("State"), GetExtendedPrinterStatusText(p.ExtendedPrinterStatus));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, dialog);
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
    auto* layout = new QVBoxLayout(dialog);
    layout->addLayout(form);
    layout->addWidget(buttons);
    dialog->setModal(false);
    return dialog;
}

} // namespace hlv
