#include <cstdio>

#include <QCoreApplication>
#include <QTextStream>

#include "tools/PrintSimTool.h"

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    const int code = hlv::runPrintSim(app.arguments().mid(1), out, err);
    out.flush();
    err.flush();
    return code;
}
