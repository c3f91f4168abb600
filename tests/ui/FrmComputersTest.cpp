// The computer picker over a network laid out by the test, opened from the main window.
#include "console/ui/FrmComputers.h"

#include <QListWidget>

#include "ConsoleFixture.h"
#include "console/ui/JobListWidget.h"
#include "support/FakeNetworkResources.h"

namespace hlv::test {
namespace {

using F = FakeNetworkResources;

class FrmComputersTest : public ConsoleFixture
{
protected:
    void SetUp() override
    {
        ConsoleFixture::SetUp();
        writeIni(QStringLiteral("[Halvern]\nAudit=True\n"));
    }
    void configure(ConsoleContext& ctx) override { ctx.networkResources = &network; }

    // GIVEN a network whose domain holds the print servers PS1 and PS2.
    void layOutNetwork()
    {
        network.tree[QString()] = {F::network(QStringLiteral("Test Network"))};
        network.tree[QStringLiteral("Test Network")] = {F::domain(QStringLiteral("WORKGROUP"))};
        network.tree[QStringLiteral("WORKGROUP")] = {F::server(QStringLiteral("\\\\PS1")),
                                                     F::server(QStringLiteral("\\\\PS2"))};
        network.tree[QStringLiteral("\\\\PS2")] = {F::printShare(QStringLiteral("\\\\PS2\\Sales"))};
    }

    // Opens the picker the way the operator does: the search button, OK in the box.
    FrmComputers* openPicker(FrmMain& w)
    {
        dialogs.msgAnswers.push_back(MsgBoxResult::Ok);
        w.FindComputers_Click();
        return w.findChild<FrmComputers*>();
    }

    static QStringList items(const FrmComputers& picker)
    {
        QStringList out;
        for (int i = 0; i < picker.lstComputers->count(); ++i) {
            out.append(picker.lstComputers->item(i)->text());
        }
        return out;
    }

    FakeNetworkResources network;
};

TEST_F(FrmComputersTest, FindComputers_Confirmed_ListsServersByNameAlone)
{
    layOutNetwork();
    FrmMain& w = start();
    FrmComputers* picker = openPicker(w);
    ASSERT_NE(picker, nullptr);

    EXPECT_TRUE(picker->isVisible());
    EXPECT_EQ(picker->windowTitle(), QStringLiteral("Search for Print Servers"));
    EXPECT_FALSE(picker->isModal());
    EXPECT_EQ(items(*picker), (QStringList{QStringLiteral("PS1"), QStringLiteral("PS2")}));
    EXPECT_TRUE(w.statusPanelText(1).startsWith(QStringLiteral("Search for Print Servers ")));
    // The picker scans everything, not only disk resources.
    ASSERT_FALSE(network.openTypes.isEmpty());
    EXPECT_EQ(network.openTypes.constFirst(), ResourceType::Any);
}

TEST_F(FrmComputersTest, FindComputers_Cancelled_OpensNothingAndWritesNoStatus)
{
    layOutNetwork();
    FrmMain& w = start();
    const QString before = w.statusPanelText(1);
    dialogs.msgAnswers.push_back(MsgBoxResult::Cancel);
    w.FindComputers_Click();

    EXPECT_EQ(w.findChild<FrmComputers*>(), nullptr);
    EXPECT_TRUE(network.opened.isEmpty());
    EXPECT_EQ(w.statusPanelText(1), before);
    ASSERT_FALSE(dialogs.shown.isEmpty());
    EXPECT_EQ(dialogs.shown.constLast().text,
              QStringLiteral("Press OK to begin searching your network for machines.\r\nThis may take a few minutes."));
}

TEST_F(FrmComputersTest, Scan_WhileRunning_HidesSearchButtonAndShowsHourglass)
{
    layOutNetwork();
    FrmMain& w = start();
    w.show();
    QList<bool> buttonVisible;
    QList<Qt::CursorShape> cursors;
    network.onOpen = [&](const QString&) {
        buttonVisible.append(w.FindComputers->isVisible());
        cursors.append(w.cursor().shape());
        cursors.append(w.JobList->cursor().shape());
    };
    FrmComputers* picker = openPicker(w);
    ASSERT_NE(picker, nullptr);

    ASSERT_FALSE(buttonVisible.isEmpty());
    EXPECT_FALSE(buttonVisible.contains(true));
    EXPECT_TRUE(std::all_of(cursors.cbegin(), cursors.cend(), [](Qt::CursorShape c) { return c == Qt::WaitCursor; }));
    EXPECT_TRUE(w.FindComputers->isVisible());
    EXPECT_NE(w.cursor().shape(), Qt::WaitCursor);
    EXPECT_NE(w.JobList->cursor().shape(), Qt::WaitCursor);
}

TEST_F(FrmComputersTest, Refresh_Twice_ListsEveryComputerThreeTimes)
{
    layOutNetwork();
    FrmMain& w = start();
    FrmComputers* picker = openPicker(w);
    ASSERT_NE(picker, nullptr);
    picker->cmdRefresh->click();
    picker->cmdRefresh->click();

    EXPECT_EQ(items(*picker), (QStringList{QStringLiteral("PS1"), QStringLiteral("PS2"), QStringLiteral("PS1"),
                                           QStringLiteral("PS2"), QStringLiteral("PS1"), QStringLiteral("PS2")}));
}

TEST_F(FrmComputersTest, Select_Computer_FillsServerBoxSearchesItAndCloses)
{
    layOutNetwork();
    addQueue(QStringLiteral("PS2"), QStringLiteral("Sales"));
    addQueue(QStringLiteral("PS2"), QStringLiteral("Stores"));
    FrmMain& w = start();
    QPointer<FrmComputers> picker = openPicker(w);
    ASSERT_FALSE(picker.isNull());

    picker->lstComputers->setCurrentRow(1);
    picker->cmdSelect->click();
    settle(w);

    EXPECT_EQ(w.serverBoxText(), QStringLiteral("PS2"));
    EXPECT_EQ(w.ActiveServer, QStringLiteral("PS2"));
    EXPECT_EQ(w.CurrentPrintQueue->count(), 2);
    EXPECT_TRUE(w.statusPanelText(1).startsWith(QStringLiteral("Queues Found ")));
    ASSERT_FALSE(audit().isEmpty());
    EXPECT_EQ(audit().constLast(), QStringLiteral("Queue|Search for queues on PS2"));
    EXPECT_TRUE(waitFor([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return picker.isNull();
    }));
}

TEST_F(FrmComputersTest, Select_EmptyList_DoesNothingAndStaysOpen)
{
    // No network at all: the top level cannot be opened.
    network.openFailures[QString()] = NetResult::NoNetwork;
    FrmMain& w = start();
    const QStringList auditBefore = audit();
    FrmComputers* picker = openPicker(w);
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->lstComputers->count(), 0);

    picker->cmdSelect->click();
    EXPECT_TRUE(picker->isVisible());
    EXPECT_EQ(audit(), auditBefore);
}

TEST_F(FrmComputersTest, Cancel_ClosesThePickerAndAnotherSearchScansAnew)
{
    layOutNetwork();
    FrmMain& w = start();
    QPointer<FrmComputers> picker = openPicker(w);
    ASSERT_FALSE(picker.isNull());
    picker->cmdCancel->click();
    ASSERT_TRUE(waitFor([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return picker.isNull();
    }));

    network.opened.clear();
    FrmComputers* again = openPicker(w);
    ASSERT_NE(again, nullptr);
    EXPECT_FALSE(network.opened.isEmpty());
    EXPECT_EQ(items(*again), (QStringList{QStringLiteral("PS1"), QStringLiteral("PS2")}));
}

TEST_F(FrmComputersTest, Refresh_ClosedDuringTheScan_PutsTheMainWindowBack)
{
    layOutNetwork();
    FrmMain& w = start();
    QPointer<FrmComputers> picker = openPicker(w);
    ASSERT_FALSE(picker.isNull());
    network.onOpen = [&](const QString& container) {
        if (container == QStringLiteral("WORKGROUP") && picker) {
            picker->close();
        }
    };
    picker->cmdRefresh->click();

    EXPECT_FALSE(w.FindComputers->isHidden());
    EXPECT_NE(w.cursor().shape(), Qt::WaitCursor);
    EXPECT_TRUE(waitFor([&] {
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        return picker.isNull();
    }));
}

TEST(FrmComputersServerNamesTest, ServerNames_Lists_SplitAtCommas)
{
    struct Case
    {
        QString list;
        QStringList names;
    };
    const QList<Case> cases = {
        {QString(), {}},
        {QStringLiteral("\\\\A,\\\\B,"), {QStringLiteral("A"), QStringLiteral("B")}},
        {QStringLiteral("\\\\A,\\\\B"), {QStringLiteral("A")}}, // a final piece without a comma
        {QStringLiteral("\\\\A,,\\\\B,"), {QStringLiteral("A"), QStringLiteral("B")}},
        {QStringLiteral("X,"), {QStringLiteral("X")}},
        {QStringLiteral("\\\\host:8631,"), {QStringLiteral("host:8631")}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FrmComputers::serverNames(c.list), c.names) << c.list.toStdString();
    }
}

TEST(FrmComputersServerNamesTest, ServerNames_ListLongerThan32767Characters_WalkedToTheEnd)
{
    QString list;
    for (int i = 0; i < 3000; ++i) {
        list += QStringLiteral("\\\\SERVER%1,").arg(i, 5, 10, QLatin1Char('0'));
    }
    ASSERT_GT(list.size(), 32767);
    const QStringList names = FrmComputers::serverNames(list);
    ASSERT_EQ(names.size(), 3000);
    EXPECT_EQ(names.constLast(), QStringLiteral("SERVER02999"));
}

} // namespace
} // namespace hlv::test
