#pragma once

#include <QtGlobal>

namespace hlv {

// What the server connection shows on the main window: the connection lamp and the
// hourglass pointers of the window and of its queue job list.
class ConnectionSurface
{
public:
    virtual ~ConnectionSurface() = default;
    // The lamp's colour as 0xBBGGRR (0xFF0000 blue, 0xFFFF00 cyan).
    virtual void setActiveUpdateColor(quint32 bgr) = 0;
    virtual void setMainBusy(bool busy) = 0;
    virtual void setJobListBusy(bool busy) = 0;
};

} // namespace hlv
