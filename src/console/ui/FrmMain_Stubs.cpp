// Handlers of commands whose work is not built yet. The controls and menu entries that run
// them exist and are wired; each handler does nothing until its command is built in its
// own file, when its empty body here goes away.
#include "console/ui/FrmMain.h"

namespace hlv {

} // namespace hlv
