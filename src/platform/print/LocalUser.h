#pragma once

#include <QString>

namespace hlv {

// The login name of the user running this process (the effective user), as print
// servers are told it with every request.
QString localUserName();

} // namespace hlv
