#pragma once

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <gtest/gtest.h>

namespace hlv::test {

// The outcome of one run of a command-line tool.
struct ToolRun
{
    bool finished = false;
    bool crashed = false;
    int exitCode = -1;
    QString out;
    QString err;
};

// The time-out only ends a tool that hangs: a private cupsd started on a loaded machine may
// take a minute to answer its first lpstat.
inline ToolRun runTool(const QString& program, const QStringList& args, int timeoutMs = 120000)
{
    QProcess p;
    p.start(program, args);
    ToolRun r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.finished = true;
    r.crashed = p.exitStatus() != QProcess::NormalExit;
    r.exitCode = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// Runs a tool the test relies on and returns its standard output; a tool that does not
// finish or fails fails the test.
inline QString runToolChecked(const QString& program, const QStringList& args)
{
    const ToolRun r = runTool(program, args);
    if (!r.finished) {
        ADD_FAILURE() << program.toStdString() << " did not finish";
        return {};
    }
    EXPECT_EQ(r.exitCode, 0) << program.toStdString() << " " << args.join(QLatin1Char(' ')).toStdString() << ": "
                             << r.err.toStdString();
    return r.out;
}

// The address ("127.0.0.1:PORT") of the private CUPS server that the ctest fixture
// private_cupsd started, or an empty text outside that fixture.
inline QString privateCupsServer()
{
    QFile file(QStringLiteral(HLV_BINARY_DIR "/private-cupsd/server"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
}

} // namespace hlv::test
