#pragma once

#include <QString>

namespace hlv {

// What the job log store reads from the program that hosts it: the main window's server
// box, queue box and AutoQueue check box (recorded when a new log file is created) and the
// two settings that steer the store. The console's main window implements it; the watch
// program gives its own answers.
class StoreHost
{
public:
    virtual ~StoreHost() = default;
    virtual QString serverBoxText() const = 0;
    virtual QString queueBoxText() const = 0;
    virtual bool autoQueueChecked() const = 0;
    // The folder of the job log (setting LogPath); empty means the application-data folder.
    virtual QString logPath() const = 0;
    // Whether audit records are written (setting Audit).
    virtual bool auditOn() const = 0;
};

} // namespace hlv
