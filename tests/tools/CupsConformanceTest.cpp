#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryFile>
#include <gtest/gtest.h>

#include "platform/print/CupsPrintSystem.h"
#include "platform/print/LocalUser.h"
#include "support/ToolProcess.h"
#include "tools/PrintSystemConformance.h"

namespace hlv::test {

namespace {

class CupsHarness
{
public:
    void setUp()
    {
        m_server = privateCupsServer();
        if (m_server.isEmpty()) {
            GTEST_FAIL() << "no private CUPS server: run through ctest (fixture private_cupsd), or start "
                            "scripts/private-cupsd start " HLV_BINARY_DIR "/private-cupsd";
        }
        ASSERT_TRUE(m_document.open());
        m_document.write("Halvern conformance test document\n");
        m_document.flush();
    }
    void tearDown()
    {
        for (const QString& q : m_queues) {
            runToolChecked(QStringLiteral("lpadmin"), {QStringLiteral("-h"), m_server, QStringLiteral("-x"), q});
        }
    }
    PrintSystem& system() { return m_system; }
    QString serverName() const { return m_server; }
    // Nothing listens on port 1 of the loopback interface.
    QString unreachableServer() const { return QStringLiteral("127.0.0.1:1"); }
    QString addQueue(const QString& location, const QString& comment)
    {
        static int counter = 0;
        const QString name = QStringLiteral("hlv_%1_%2").arg(QCoreApplication::applicationPid()).arg(++counter);
        runToolChecked(QStringLiteral("lpadmin"),
                       {QStringLiteral("-h"), m_server, QStringLiteral("-p"), name, QStringLiteral("-E"),
                        QStringLiteral("-v"), QStringLiteral("file:///dev/null"), QStringLiteral("-L"), location,
                        QStringLiteral("-D"), comment, QStringLiteral("-o"), QStringLiteral("printer-is-shared=true")});
        m_queues.append(name);
        return name;
    }
    qint64 submitJob(const QString& queue, const QString& document)
    {
        const QString out =
            runToolChecked(QStringLiteral("lp"), {QStringLiteral("-h"), m_server, QStringLiteral("-d"), queue,
                                                  QStringLiteral("-t"), document, m_document.fileName()});
        static const QRegularExpression id(QStringLiteral("request id is .*-(\\d+) "));
        const auto match = id.match(out);
        EXPECT_TRUE(match.hasMatch()) << out.toStdString();
        return match.hasMatch() ? match.captured(1).toLongLong() : 0;
    }
    QString expectedOwner() const { return localUserName(); }

private:
    QString m_server;
    CupsPrintSystem m_system;
    QStringList m_queues;
    QTemporaryFile m_document;
};

} // namespace

struct CupsName
{
    template <typename T> static std::string GetName(int) { return "Cups"; }
};

INSTANTIATE_TYPED_TEST_SUITE_P(Cups, PrintSystemConformance, ::testing::Types<CupsHarness>, CupsName);

} // namespace hlv::test
