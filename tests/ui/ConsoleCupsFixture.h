#pragma once

#include <QCoreApplication>
#include <QRegularExpression>
#include <QTemporaryFile>

#include "ConsoleFixture.h"
#include "platform/print/CupsPrintSystem.h"
#include "support/ToolProcess.h"

namespace hlv::test {

// The console over the private CUPS server of the ctest fixture private_cupsd, with a queue
// of its own on /dev/null (created here, removed again after the test).
class ConsoleCupsFixture : public ConsoleFixture
{
protected:
    // The queue's name starts with prefix; extraOptions go to lpadmin as they are.
    void setUpCups(const QString& prefix, const QStringList& extraOptions = {})
    {
        ConsoleFixture::SetUp();
        cupsServer = privateCupsServer();
        if (cupsServer.isEmpty()) {
            GTEST_SKIP() << "no private CUPS server: run through ctest (fixture private_cupsd)";
        }
        printSystem = std::make_unique<CupsPrintSystem>();
        queue = prefix + QString::number(QCoreApplication::applicationPid());
        runToolChecked(QStringLiteral("lpadmin"),
                       QStringList{QStringLiteral("-h"), cupsServer, QStringLiteral("-p"), queue, QStringLiteral("-E"),
                                   QStringLiteral("-v"), QStringLiteral("file:///dev/null"), QStringLiteral("-o"),
                                   QStringLiteral("printer-is-shared=true")} +
                           extraOptions);
    }
    void TearDown() override
    {
        if (!cupsServer.isEmpty()) {
            window.reset();
            runToolChecked(QStringLiteral("lpadmin"), {QStringLiteral("-h"), cupsServer, QStringLiteral("-x"), queue});
        }
        ConsoleFixture::TearDown();
    }

    // The private CUPS server's own folder (its spool, logs and configuration).
    static QString cupsRoot()
    {
        QFile file(QStringLiteral(HLV_BINARY_DIR "/private-cupsd/root"));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()).trimmed() : QString();
    }

    // Submits a held job with lp, as user when one is named; returns its id (0 when lp
    // gave none).
    qint64 submitHeld(const QString& title, const QString& user = QString())
    {
        QTemporaryFile document;
        EXPECT_TRUE(document.open());
        document.write("Halvern console test\n");
        document.flush();
        QStringList args{QStringLiteral("-h"), cupsServer, QStringLiteral("-d"), queue,
                         QStringLiteral("-t"), title,      QStringLiteral("-H"), QStringLiteral("hold"),
                         document.fileName()};
        if (!user.isEmpty()) {
            args.insert(2, user);
            args.insert(2, QStringLiteral("-U"));
        }
        const QString out = runToolChecked(QStringLiteral("lp"), args);
        static const QRegularExpression id(QStringLiteral("request id is .*-(\\d+) "));
        const auto match = id.match(out);
        EXPECT_TRUE(match.hasMatch()) << out.toStdString();
        return match.hasMatch() ? match.captured(1).toLongLong() : 0;
    }

    QString cupsServer;
    QString queue;
};

} // namespace hlv::test
