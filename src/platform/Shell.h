#pragma once

#include <QString>

namespace hlv {

// Opens a file, a folder, a program or a web address with the desktop's handler, as a
// double click would. The result is false when no handler could be started (no desktop
// opener, no browser, a program that cannot run); callers that report nothing ignore it.
class Shell
{
public:
    virtual ~Shell() = default;
    virtual bool open(const QString& target) = 0;
};

} // namespace hlv
