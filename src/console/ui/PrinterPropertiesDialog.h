#pragma once

#include <QString>

#include "platform/PrintSystem.h"

class QDialog;
class QWidget;

namespace hlv {

// A printer's properties, read-only and without modality, for print systems without a page
// of their own. The window deletes itself when closed.
QDialog* makePrinterPropertiesDialog(const PrinterInfo& printer, const QString& server, QWidget* parent);

} // namespace hlv
