#pragma once

#include <QString>
#include <QStringList>

#include "console/reports/ReportFrame.h"

namespace hlv {

// The queue the main window shows, with its automation controls, as the printer table
// describes it.
struct ShownQueue
{
    QString server;            // the server box's text
    QString queue;             // the queue box's text
    bool autoQueue = false;    // AutoQueue ticked
    bool timedRelease = false; // AutoRelease ticked
    bool printJobs = true;     // the release prints ("Print Jobs") rather than deletes
    QString releaseTime;       // the release time box's text
};

// What the reports read from the main window at the moment they run.
class ReportWindow
{
public:
    virtual ~ReportWindow() = default;
    virtual ReportSettings reportSettings() const = 0;
    virtual ShownQueue shownQueue() const = 0;
    // The captions of the favourites in use (menu entries shown), in slot order.
    virtual QStringList favouriteCaptions() const = 0;
    // A report page that could not be written (nothing is opened): the path and why.
    virtual void reportNotWritten(const QString& path, const QString& why) = 0;
};

} // namespace hlv
