#pragma once

#include <QString>

namespace hlv {

// Opens a file, a folder, a program or a web address with the desktop's handler, as a
// double click would. The result is not examined by any caller.
class Shell
{
public:
    virtual ~Shell() = default;
    virtual void open(const QString& target) = 0;
};

} // namespace hlv
