#include <QByteArray>

#include "platform/PrintSystem.h"
#include "platform/print/CupsPrintSystem.h"
#include "platform/print/SimPrintSystem.h"

namespace hlv {

std::unique_ptr<PrintSystem> createPrintSystem(QString* error)
{
    const QString choice = QString::fromLocal8Bit(qgetenv("HLV_PRINT_SYSTEM"));
    if (choice.startsWith(QStringLiteral("sim:"))) {
        const QString folder = choice.mid(4);
        if (!folder.isEmpty()) {
            return std::make_unique<SimPrintSystem>(folder);
        }
    } else if (choice.isEmpty() || choice == QStringLiteral("cups")) {
        return std::make_unique<CupsPrintSystem>();
    }
    if (error) {
        *error = QStringLiteral("HLV_PRINT_SYSTEM=\"%1\" is not understood (use \"cups\" or \"sim:FOLDER\"); "
                                "using CUPS.")
                     .arg(choice);
    }
    return std::make_unique<CupsPrintSystem>();
}

} // namespace hlv
