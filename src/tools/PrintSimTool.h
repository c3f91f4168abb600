#pragma once

#include <QStringList>
#include <QTextStream>

namespace hlv {

// The simulator tool's commands: arguments without the program name, results on out,
// messages on err. Returns the exit code: 0 done, 1 the command failed, 2 bad arguments
// (after the usage text).
int runPrintSim(const QStringList& args, QTextStream& out, QTextStream& err);

QString printSimUsage();

} // namespace hlv
