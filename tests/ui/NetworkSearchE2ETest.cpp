// The network search over real service discovery: run by scripts/netns-avahi on the search
// side of its private network, where the servers labsrv (queues Lab and Colour, announced
// plainly and CUPS-style) and othersrv (queue Wide on port 8631) announce themselves and a
// local cupsd runs beside the console.
#include <iostream>

#include <QElapsedTimer>
#include <QListWidget>
#include <QPointer>

#include "ConsoleFixture.h"
#include "console/access/NetworkEnum.h"
#include "console/ui/FrmComputers.h"
#include "platform/NetworkResources.h"
#include "platform/print/CupsPrintSystem.h"
#include "support/ToolProcess.h"

namespace hlv::test {
namespace {

QString localCups()
{
    return qEnvironmentVariable("HLV_NETNS_LOCAL_CUPS");
}

// The queues of the local cupsd, sorted.
QStringList localQueues()
{
    // Each line: "QUEUE accepting requests since ..."
    QStringList queues;
    const QString out =
        runToolChecked(QStringLiteral("lpstat"), {QStringLiteral("-h"), localCups(), QStringLiteral("-a")});
    for (const QString& line : out.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        queues.append(line.section(QLatin1Char(' '), 0, 0));
    }
    queues.sort();
    return queues;
}

QStringList sortedPieces(const QString& list, QChar separator)
{
    QStringList pieces = list.split(separator, Qt::SkipEmptyParts);
    pieces.sort();
    return pieces;
}

class NetworkSearchE2ETest : public ConsoleFixture
{
protected:
    void SetUp() override
    {
        ASSERT_FALSE(localCups().isEmpty()) << "run this program through scripts/netns-avahi (ctest does)";
        ConsoleFixture::SetUp();
    }
    void configure(ConsoleContext& ctx) override { ctx.networkResources = &network; }

    // Bounds far beyond the search's real length: a search that waits them out instead of ending
    // when the daemon has told all it knows fails plainly, whatever the machine's load.
    DnsSdNetworkResources network{20000, 10000};
};

TEST_F(NetworkSearchE2ETest, Search_AnnouncedServers_ListsEachHostWithItsQueuesWithoutTouchingAnyScheduler)
{
    const QStringList queuesBefore = localQueues();
    ASSERT_EQ(queuesBefore, QStringList{QStringLiteral("Desk")});

    CNetworkEnum scan(network, env);
    scan.SetResourceType(ResourceType::Any);
    QElapsedTimer clock;
    clock.start();
    scan.Reset();
    const qint64 elapsed = clock.elapsed();
    std::cout << "network search took " << elapsed << " ms" << std::endl;

    EXPECT_EQ(sortedPieces(scan.GetServerList(), QLatin1Char(',')),
              (QStringList{QStringLiteral("\\\\labsrv.local"), QStringLiteral("\\\\othersrv.local:8631")}));
    EXPECT_EQ(sortedPieces(scan.GetShareList(), QLatin1Char('|')),
              (QStringList{QStringLiteral("\\\\labsrv.local\\Colour"), QStringLiteral("\\\\labsrv.local\\Lab"),
                           QStringLiteral("\\\\othersrv.local:8631\\Wide")}));
    EXPECT_LE(elapsed, 8000);
    EXPECT_EQ(localQueues(), queuesBefore) << "the search made a queue on the local scheduler";
}

TEST_F(NetworkSearchE2ETest, Picker_FoundServerChosen_ConnectsAndListsItsQueues)
{
    struct Case
    {
        QString server;
        QStringList queues;
    };
    const QList<Case> cases = {
        {QStringLiteral("labsrv.local"), {QStringLiteral("Colour"), QStringLiteral("Lab")}},
        {QStringLiteral("othersrv.local:8631"), {QStringLiteral("Wide")}},
    };
    printSystem = std::make_unique<CupsPrintSystem>();
    FrmMain& w = start();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.server.toStdString());
        dialogs.msgAnswers.push_back(MsgBoxResult::Ok);
        w.FindComputers_Click();
        QPointer<FrmComputers> picker = w.findChild<FrmComputers*>();
        ASSERT_FALSE(picker.isNull());
        const QList<QListWidgetItem*> found = picker->lstComputers->findItems(c.server, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << "the picker lists " << picker->lstComputers->count() << " computers";
        picker->lstComputers->setCurrentItem(found.constFirst());
        picker->cmdSelect->click();
        settle(w);

        EXPECT_EQ(w.ActiveServer, c.server);
        QStringList queues;
        for (int i = 0; i < w.CurrentPrintQueue->count(); ++i) {
            queues.append(w.CurrentPrintQueue->itemText(i));
        }
        queues.sort();
        EXPECT_EQ(queues, c.queues) << "status: " << w.statusPanelText(1).toStdString() << "; last box: "
                                    << (dialogs.shown.isEmpty() ? std::string()
                                                                : dialogs.shown.constLast().text.toStdString());
        ASSERT_TRUE(waitFor([&] {
            QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
            return picker.isNull();
        }));
    }
}

} // namespace
} // namespace hlv::test
