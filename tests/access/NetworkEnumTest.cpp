// The network walk over a network laid out by the test, the batch packing of providers,
// and the service discovery provider's arrangement of what it finds.
#include "console/access/NetworkEnum.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "platform/NetworkResources.h"
#include "support/FakeEnvironment.h"
#include "support/FakeNetworkResources.h"
#include "support/WaitFor.h"

namespace hlv::test {
namespace {

using F = FakeNetworkResources;

class NetworkEnumTest : public ::testing::Test
{
protected:
    // GIVEN one network with domain WORKGROUP holding two servers, the first sharing a
    // printer and a folder.
    void layOutSmallNetwork()
    {
        net.tree[QString()] = {F::network(QStringLiteral("Test Network"))};
        net.tree[QStringLiteral("Test Network")] = {F::domain(QStringLiteral("WORKGROUP"))};
        net.tree[QStringLiteral("WORKGROUP")] = {F::server(QStringLiteral("\\\\PS01")),
                                                 F::server(QStringLiteral("\\\\PS02"))};
        net.tree[QStringLiteral("\\\\PS01")] = {F::printShare(QStringLiteral("\\\\PS01\\Laser")),
                                                F::record(ResourceDisplayType::Share, QStringLiteral("\\\\PS01\\Docs"),
                                                          ResourceUsage::Connectable, ResourceType::Disk)};
    }

    FakeNetworkResources net;
    FakeEnvironment env;
};

TEST_F(NetworkEnumTest, Reset_SmallNetwork_SortsEveryResourceIntoItsList)
{
    layOutSmallNetwork();
    CNetworkEnum scan(net, env);
    scan.SetResourceType(ResourceType::Any);
    scan.Reset();

    EXPECT_EQ(scan.GetServerList(), QStringLiteral("\\\\PS01,\\\\PS02,"));
    EXPECT_EQ(scan.GetDomainList(), QStringLiteral("WORKGROUP, "));
    EXPECT_EQ(scan.GetNetworkList(), QStringLiteral("Test Network|"));
    // A printer share is a share: the printer list never fills.
    EXPECT_EQ(scan.GetShareList(), QStringLiteral("\\\\PS01\\Laser|\\\\PS01\\Docs|"));
    EXPECT_EQ(scan.GetPrinterList(), QString());
    EXPECT_EQ(scan.GetLocalUserName(), QStringLiteral("operator"));
    EXPECT_EQ(scan.GetLocalMachineName(), QStringLiteral("WS01"));
    // Breadth-first: each container is opened after those found before it; shares are
    // never opened.
    EXPECT_EQ(net.opened, (QStringList{QString(), QStringLiteral("Test Network"), QStringLiteral("WORKGROUP"),
                                       QStringLiteral("\\\\PS01"), QStringLiteral("\\\\PS02")}));
    EXPECT_EQ(net.openEnumerations(), 0) << "every enumeration opened is closed again";
}

TEST_F(NetworkEnumTest, ResourceType_NewAndSet_PassedToEveryOpen)
{
    layOutSmallNetwork();
    CNetworkEnum scan(net, env);
    EXPECT_EQ(scan.GetResourceType(), ResourceType::Disk);
    scan.Reset();
    ASSERT_EQ(net.openTypes.size(), 5);
    for (qint32 type : std::as_const(net.openTypes)) {
        EXPECT_EQ(type, ResourceType::Disk);
    }
}

TEST_F(NetworkEnumTest, Reset_TopLevelYieldsOneResourceOnly_ListsAndLocalNamesStayEmpty)
{
    net.tree[QString()] = {F::network(QStringLiteral("Lonely Network"))};
    CNetworkEnum scan(net, env);
    scan.Reset();

    EXPECT_EQ(scan.resources().size(), 1);
    EXPECT_EQ(scan.GetNetworkList(), QString());
    EXPECT_EQ(scan.GetServerList(), QString());
    EXPECT_EQ(scan.GetLocalUserName(), QString());
    EXPECT_EQ(scan.GetLocalMachineName(), QString());
}

TEST_F(NetworkEnumTest, Reset_TopLevelCannotBeOpened_ReturnsWithEmptyLists)
{
    layOutSmallNetwork();
    net.openFailures[QString()] = NetResult::NoNetwork;
    CNetworkEnum scan(net, env);
    scan.Reset();

    EXPECT_TRUE(scan.resources().isEmpty());
    EXPECT_EQ(scan.GetServerList(), QString());
    EXPECT_EQ(net.openEnumerations(), 0);
}

TEST_F(NetworkEnumTest, Reset_ContainerRefusesToOpen_WalkGoesOnWithTheNext)
{
    layOutSmallNetwork();
    net.tree[QStringLiteral("Test Network")].append(F::domain(QStringLiteral("SECRET")));
    net.tree[QStringLiteral("Test Network")].append(F::domain(QStringLiteral("OPEN")));
    net.tree[QStringLiteral("SECRET")] = {F::server(QStringLiteral("\\\\HIDDEN"))};
    net.tree[QStringLiteral("OPEN")] = {F::server(QStringLiteral("\\\\PS03"))};
    net.openFailures[QStringLiteral("SECRET")] = 5; // access denied
    CNetworkEnum scan(net, env);
    scan.Reset();

    EXPECT_EQ(scan.GetServerList(), QStringLiteral("\\\\PS01,\\\\PS02,\\\\PS03,"));
    EXPECT_EQ(scan.GetDomainList(), QStringLiteral("WORKGROUP, SECRET, OPEN, "));
}

TEST_F(NetworkEnumTest, Reset_DomainLargerThanOneBatch_ListsOnlyTheFirstBatch)
{
    net.tree[QString()] = {F::network(QStringLiteral("Test Network"))};
    net.tree[QStringLiteral("Test Network")] = {F::domain(QStringLiteral("BIG"))};
    QList<NetResource> servers;
    qint64 bytes = 0;
    qsizetype fitting = -1;
    for (int i = 0; i < 200; ++i) {
        servers.append(F::server(QStringLiteral("\\\\PC%1").arg(i, 3, 10, QLatin1Char('0'))));
        bytes += servers.constLast().packedSize();
        if (bytes > CNetworkEnum::kBatchBytes && fitting < 0) {
            fitting = i;
        }
    }
    ASSERT_GT(fitting, 0);
    net.tree[QStringLiteral("BIG")] = servers;

    CNetworkEnum scan(net, env);
    scan.Reset();

    const QStringList listed = scan.GetServerList().split(QLatin1Char(','), Qt::SkipEmptyParts);
    ASSERT_EQ(listed.size(), fitting);
    EXPECT_EQ(listed.constFirst(), QStringLiteral("\\\\PC000"));
    EXPECT_EQ(listed.constLast(), QStringLiteral("\\\\PC%1").arg(fitting - 1, 3, 10, QLatin1Char('0')));
    EXPECT_EQ(net.reads[QStringLiteral("BIG")], 1) << "one successful batch per container";
}

TEST_F(NetworkEnumTest, Reset_ContainerAnswersMoreDataForEver_GivesUpAndWalksOn)
{
    layOutSmallNetwork();
    net.endlessMoreData.insert(QStringLiteral("\\\\PS01"));
    CNetworkEnum scan(net, env);
    scan.Reset();

    EXPECT_EQ(net.reads[QStringLiteral("\\\\PS01")], CNetworkEnum::kMaxMoreDataTries);
    EXPECT_EQ(scan.GetShareList(), QString());
    EXPECT_EQ(scan.GetServerList(), QStringLiteral("\\\\PS01,\\\\PS02,"));
    EXPECT_EQ(net.openEnumerations(), 0);
}

TEST_F(NetworkEnumTest, Reset_Twice_ListsEveryResourceTwice)
{
    layOutSmallNetwork();
    CNetworkEnum scan(net, env);
    scan.Reset();
    scan.Reset();

    EXPECT_EQ(scan.GetServerList(), QStringLiteral("\\\\PS01,\\\\PS02,\\\\PS01,\\\\PS02,"));
    EXPECT_EQ(scan.GetDomainList(), QStringLiteral("WORKGROUP, WORKGROUP, "));
    EXPECT_EQ(scan.resources().size(), 6) << "the resource list itself is rebuilt";
}

TEST_F(NetworkEnumTest, SortResources_EachDisplayType_GoesToItsListWithItsSeparator)
{
    struct Case
    {
        qint32 displayType;
        QString (CNetworkEnum::*list)() const;
        QString expected;
    };
    const QList<Case> cases = {
        {0, &CNetworkEnum::GetGenericList, QStringLiteral("X|")},
        {1, &CNetworkEnum::GetDomainList, QStringLiteral("X, ")},
        {2, &CNetworkEnum::GetServerList, QStringLiteral("X,")},
        {3, &CNetworkEnum::GetShareList, QStringLiteral("X|")},
        {4, &CNetworkEnum::GetFileList, QStringLiteral("X|")},
        {5, &CNetworkEnum::GetGroupList, QStringLiteral("X|")},
        {6, &CNetworkEnum::GetNetworkList, QStringLiteral("X|")},
        {7, &CNetworkEnum::GetRootList, QStringLiteral("X|")},
        {8, &CNetworkEnum::GetShareAdminList, QStringLiteral("X|")},
        {9, &CNetworkEnum::GetDirectoryList, QStringLiteral("X|")},
    };
    const QList<QString (CNetworkEnum::*)() const> allLists = {
        &CNetworkEnum::GetGenericList,   &CNetworkEnum::GetDomainList, &CNetworkEnum::GetServerList,
        &CNetworkEnum::GetShareList,     &CNetworkEnum::GetFileList,   &CNetworkEnum::GetGroupList,
        &CNetworkEnum::GetNetworkList,   &CNetworkEnum::GetRootList,   &CNetworkEnum::GetShareAdminList,
        &CNetworkEnum::GetDirectoryList, &CNetworkEnum::GetPrinterList};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.displayType);
        FakeNetworkResources provider;
        // Two records at the top level, neither a container; the second one's type is
        // beyond the known ones and goes nowhere.
        provider.tree[QString()] = {F::record(c.displayType, QStringLiteral("X"), ResourceUsage::Connectable),
                                    F::record(10, QStringLiteral("Y"), ResourceUsage::Connectable)};
        CNetworkEnum scan(provider, env);
        scan.Reset();
        for (auto list : allLists) {
            EXPECT_EQ((scan.*list)(), list == c.list ? c.expected : QString());
        }
    }
}

TEST_F(NetworkEnumTest, LoadLocalNames_NameLongerThanTheBuffer_StaysEmpty)
{
    layOutSmallNetwork();
    env.user = QString(254, QLatin1Char('u'));
    env.computer = QString(255, QLatin1Char('c'));
    CNetworkEnum scan(net, env);
    scan.Reset();
    EXPECT_EQ(scan.GetLocalUserName(), env.user);
    EXPECT_EQ(scan.GetLocalMachineName(), QString());
}

// ---- batches as providers pack them ----

TEST(BatchedNetworkResourcesTest, EnumResource_Batches_PackedByBytesAndCount)
{
    FakeNetworkResources net;
    const NetResource a = F::server(QStringLiteral("\\\\AAAA")); // 32 + 7 + 13 bytes
    net.tree[QString()] = {a, a, a};
    NetEnumHandle handle = 0;
    ASSERT_EQ(net.openEnum(2, 0, 0, nullptr, handle), NetResult::NoError);

    QList<NetResource> out;
    qint32 count = -1;
    EXPECT_EQ(net.enumResource(handle, count, out, a.packedSize() - 1), NetResult::MoreData);
    EXPECT_EQ(count, 0);
    count = 1;
    EXPECT_EQ(net.enumResource(handle, count, out, 4096), NetResult::NoError);
    EXPECT_EQ(count, 1);
    count = -1;
    EXPECT_EQ(net.enumResource(handle, count, out, 2 * a.packedSize()), NetResult::NoError);
    EXPECT_EQ(count, 2);
    EXPECT_EQ(out.size(), 3);
    EXPECT_EQ(net.enumResource(handle, count, out, 4096), NetResult::NoMoreItems);
    EXPECT_EQ(net.closeEnum(handle), NetResult::NoError);
    EXPECT_EQ(net.closeEnum(handle), NetResult::InvalidHandle);
    EXPECT_EQ(net.enumResource(handle, count, out, 4096), NetResult::InvalidHandle);
}

TEST(BatchedNetworkResourcesTest, PackedSize_MissingNames_TakeNoBytes)
{
    NetResource r;
    EXPECT_EQ(r.packedSize(), 32);
    r.lpRemoteName = QStringLiteral("\\\\Zoë"); // five characters, six bytes in UTF-8
    r.lpComment = QStringLiteral("");
    EXPECT_EQ(r.packedSize(), 32 + 7 + 1);
}

// ---- the service discovery provider ----

TEST(DnsSdNetworkResourcesTest, Arrange_PrintersOfSeveralServers_GroupedByHostUnderTheirDomain)
{
    const QList<DiscoveredPrinter> printers = {
        {QStringLiteral("ps1.local"), 631, QStringLiteral("local"), QStringLiteral("Laser"), QStringLiteral("Floor 2")},
        {QStringLiteral("ps2.local"), 8631, QStringLiteral("local"), QStringLiteral("Ink"), QString()},
        {QStringLiteral("ps1.local"), 631, QStringLiteral("local"), QStringLiteral("Colour"), QString()},
        // the same queue announced twice (IPP and IPPS) is one share
        {QStringLiteral("ps1.local"), 631, QStringLiteral("local"), QStringLiteral("Laser"), QStringLiteral("Floor 2")},
        {QStringLiteral("ps9.example.com"), 631, QStringLiteral("example.com"), QStringLiteral("Wide"), QString()},
        {QString(), 631, QStringLiteral("local"), QStringLiteral("Nowhere"), QString()},
    };
    const auto tree = DnsSdNetworkResources::arrange(printers);
    const auto names = [&](const QString& container) {
        QStringList out;
        const auto it = tree.find(container);
        if (it != tree.end()) {
            for (const NetResource& r : it->second) {
                out.append(r.lpRemoteName);
            }
        }
        return out;
    };
    EXPECT_EQ(names(QString()), QStringList{DnsSdNetworkResources::networkName()});
    EXPECT_EQ(names(DnsSdNetworkResources::networkName()),
              (QStringList{QStringLiteral("local"), QStringLiteral("example.com")}));
    EXPECT_EQ(names(QStringLiteral("local")),
              (QStringList{QStringLiteral("\\\\ps1.local"), QStringLiteral("\\\\ps2.local:8631")}));
    EXPECT_EQ(names(QStringLiteral("\\\\ps1.local")),
              (QStringList{QStringLiteral("\\\\ps1.local\\Laser"), QStringLiteral("\\\\ps1.local\\Colour")}));
    EXPECT_EQ(tree.at(QStringLiteral("\\\\ps1.local")).constFirst().lpComment, QStringLiteral("Floor 2"));
    EXPECT_EQ(tree.at(QStringLiteral("\\\\ps1.local")).constFirst().dwDisplayType, ResourceDisplayType::Share);
    EXPECT_EQ(tree.at(QStringLiteral("local")).constFirst().dwDisplayType, ResourceDisplayType::Server);
    EXPECT_TRUE(tree.at(QStringLiteral("local")).constFirst().dwUsage & ResourceUsage::Container);
}

TEST(DnsSdNetworkResourcesTest, PrinterOf_Announcements_ServerFromTheResolvedHostQueueFromTheResourcePath)
{
    struct Case
    {
        ResolvedService service;
        DiscoveredPrinter printer;
    };
    const QStringList lab = {QStringLiteral("txtvers=1"), QStringLiteral("rp=printers/Lab")};
    const QList<Case> cases = {
        // a plainly named service keeps its host: the host is what it resolves to
        {{QStringLiteral("Lab Printer"), QStringLiteral("labsrv.local"), 631, QStringLiteral("local"), lab},
         {QStringLiteral("labsrv.local"), 631, QStringLiteral("local"), QStringLiteral("Lab"),
          QStringLiteral("Lab Printer")}},
        // the share is the queue of the path, never a name made from the instance
        {{QStringLiteral("Lab @ labsrv"), QStringLiteral("labsrv.local."), 631, QStringLiteral("local."), lab},
         {QStringLiteral("labsrv.local"), 631, QStringLiteral("local"), QStringLiteral("Lab"),
          QStringLiteral("Lab @ labsrv")}},
        {{QStringLiteral("Floor 2"),
          QStringLiteral("ps9.example.com"),
          8631,
          QStringLiteral("example.com"),
          {QStringLiteral("RP=/classes/Floor2")}},
         {QStringLiteral("ps9.example.com"), 8631, QStringLiteral("example.com"), QStringLiteral("Floor2"),
          QStringLiteral("Floor 2")}},
        // a printer that serves itself: its own path, or its name when it has none
        {{QStringLiteral("Office Jet"), QStringLiteral("jet.local"), 631, QString(), {QStringLiteral("rp=ipp/print")}},
         {QStringLiteral("jet.local"), 631, QStringLiteral("local"), QStringLiteral("ipp/print"),
          QStringLiteral("Office Jet")}},
        {{QStringLiteral("Office Jet"), QStringLiteral("jet.local"), 631, QStringLiteral("local"), {}},
         {QStringLiteral("jet.local"), 631, QStringLiteral("local"), QStringLiteral("Office Jet"),
          QStringLiteral("Office Jet")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.service.instance.toStdString() + " on " + c.service.hostName.toStdString());
        const DiscoveredPrinter p = DnsSdNetworkResources::printerOf(c.service);
        EXPECT_EQ(p.host, c.printer.host);
        EXPECT_EQ(p.port, c.printer.port);
        EXPECT_EQ(p.domain, c.printer.domain);
        EXPECT_EQ(p.queue, c.printer.queue);
        EXPECT_EQ(p.info, c.printer.info);
    }
}

TEST(DnsSdNetworkResourcesTest, Reset_WithoutDiscoveryDaemon_EndsAtOnceAndFindsNoServer)
{
    // A machine without a message bus, and one whose bus has no avahi-daemon on it.
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString busPath = dir.filePath(QStringLiteral("bus"));
    QProcess bus;
    bus.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                              QStringLiteral("--address=unix:path=") + busPath});
    ASSERT_TRUE(bus.waitForStarted(5000)) << "dbus-daemon is missing (scripts/install-deps installs it)";
    ASSERT_TRUE(waitFor([&] { return QFileInfo(busPath).exists(); }, 5000));

    const QByteArray saved = qgetenv("DBUS_SYSTEM_BUS_ADDRESS");
    const bool had = qEnvironmentVariableIsSet("DBUS_SYSTEM_BUS_ADDRESS");
    for (const QString& address : {QStringLiteral("unix:path=") + dir.filePath(QStringLiteral("none")),
                                   QStringLiteral("unix:path=") + busPath}) {
        SCOPED_TRACE(address.toStdString());
        qputenv("DBUS_SYSTEM_BUS_ADDRESS", address.toUtf8());
        DnsSdNetworkResources provider;
        FakeEnvironment env;
        CNetworkEnum scan(provider, env);
        scan.SetResourceType(ResourceType::Any);
        QElapsedTimer clock;
        clock.start();
        scan.Reset();

        // A wait for the missing daemon lasts the browse time (2.5 s) or the bus's own 25 s.
        EXPECT_LT(clock.elapsed(), 2000) << "the search waits for a daemon that is not there";
        EXPECT_EQ(scan.GetServerList(), QString());
        EXPECT_EQ(scan.GetNetworkList(), QString()) << "the network alone is no finding";
        EXPECT_EQ(provider.openEnumerations(), 0);
    }
    had ? qputenv("DBUS_SYSTEM_BUS_ADDRESS", saved) : qunsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    bus.terminate();
    EXPECT_TRUE(bus.waitForFinished(5000));
}

} // namespace
} // namespace hlv::test
