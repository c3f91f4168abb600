#pragma once

#include "store/StoreHost.h"

namespace hlv::test {

// The main window's boxes and the store's two settings, as plain fields.
class FakeStoreHost : public StoreHost
{
public:
    QString serverBoxText() const override { return server; }
    QString queueBoxText() const override { return queue; }
    bool autoQueueChecked() const override { return autoQueue; }
    QString logPath() const override { return logFolder; }
    bool auditOn() const override { return audit; }

    QString server = QStringLiteral("PRINT1");
    QString queue = QStringLiteral("Q1");
    bool autoQueue = false;
    QString logFolder;
    bool audit = true;
};

} // namespace hlv::test
