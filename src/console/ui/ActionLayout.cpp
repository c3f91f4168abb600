#include "console/ui/ActionLayout.h"

namespace hlv {

ActionLayout actionLayout(bool hideAllButtons)
{
    ActionLayout layout;
    layout.txtPrintJob = QRect(0, 0, 4575, 615);
    layout.PrintButton = QRect(0, 600, 2295, 855);
    layout.DeleteButton = QRect(2280, 600, 2295, 855);
    layout.cmdPrintAll = QRect(0, 1440, 2295, 495);
    layout.cmdDeleteAll = QRect(2280, 1440, 2295, 495);
    layout.CancelButton = QRect(0, 1920, 4575, 495);
    if (hideAllButtons) {
        layout.allButtonsVisible = false;
        const int height = layout.CancelButton.top() - layout.PrintButton.top();
        layout.PrintButton.setHeight(height);
        layout.DeleteButton.setHeight(height);
    }
    return layout;
}

QString actionSummaryText(const QString& description, const QString& computer, const QString& size,
                          const QString& pages)
{
    return description + QStringLiteral("\r\n") + computer + QStringLiteral(" - ") + size +
           QStringLiteral(" - Pages: ") + pages;
}

QString actionNoJobText()
{
    return QStringLiteral("No Job Selected");
}

} // namespace hlv
