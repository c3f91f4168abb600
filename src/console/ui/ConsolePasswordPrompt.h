#pragma once

#include <cstdio>

#include "platform/PrintSystem.h"

class QObject;

namespace hlv {

class Dialogs;

// The console's answer to a print server that wants a password. Only a call an operator
// waits for asks, through the password box of dialogs on the window's thread (window is
// any object of that thread); a call nobody waits for (a polling tick, a favourite's own
// activation) is refused at once, with one line on errors.
PrintSystem::PasswordPrompt consolePasswordPrompt(Dialogs& dialogs, QObject* window, FILE* errors = stderr);

} // namespace hlv
