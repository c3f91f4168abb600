#pragma once

#include <QStringList>

#include "console/access/ConnectionSurface.h"
#include "console/reports/ReportWindow.h"

namespace hlv::test {

// The main window's lamp and pointers as a report leaves them, with every change recorded.
class RecordingSurface : public ConnectionSurface
{
public:
    void setActiveUpdateColor(quint32 bgr) override { lamp = bgr; }
    void setMainBusy(bool busy) override
    {
        mainBusy = busy;
        changes << (busy ? QStringLiteral("main busy") : QStringLiteral("main idle"));
    }
    void setJobListBusy(bool busy) override
    {
        jobListBusy = busy;
        changes << (busy ? QStringLiteral("list busy") : QStringLiteral("list idle"));
    }

    quint32 lamp = 0;
    bool mainBusy = false;
    bool jobListBusy = false;
    QStringList changes;
};

// The main window's settings, shown queue and favourites, as plain fields.
class FakeReportWindow : public ReportWindow
{
public:
    ReportSettings reportSettings() const override { return settings; }
    ShownQueue shownQueue() const override { return shown; }
    QStringList favouriteCaptions() const override { return favourites; }
    void reportNotWritten(const QString& path, const QString& why) override
    {
        notWritten << path + QLatin1Char('|') + why;
    }

    ReportSettings settings;
    ShownQueue shown;
    QStringList favourites;
    QStringList notWritten; // "path|why" of each page that could not be written
};

} // namespace hlv::test
