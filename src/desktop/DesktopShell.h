#pragma once

#include "platform/Shell.h"

namespace hlv {

// Opens files, folders, programs and web addresses with the desktop's handler.
class DesktopShell final : public Shell
{
public:
    bool open(const QString& target) override;
};

} // namespace hlv
