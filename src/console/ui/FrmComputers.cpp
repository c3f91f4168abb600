#include "console/ui/FrmComputers.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>

#include "console/access/NetworkEnum.h"
#include "console/ui/FrmMain.h"

namespace hlv {

FrmComputers::FrmComputers(FrmMain& main, NetworkResources* network, const Environment& environment)
    : QWidget(&main, Qt::Window)
    , m_main(main)
    , m_network(network)
    , m_environment(environment)
{
    setWindowTitle(QStringLiteral("Search for Print Servers"));
    setAttribute(Qt::WA_DeleteOnClose);

    lstComputers = new QListWidget(this);
    lstComputers->setSelectionMode(QAbstractItemView::SingleSelection);
    cmdSelect = new QPushButton(QStringLiteral("Select"), this);
    cmdRefresh = new QPushButton(style()->standardIcon(QStyle::SP_BrowserReload), QStringLiteral("Refresh"), this);
    cmdCancel = new QPushButton(QStringLiteral("Cancel"), this);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lstComputers, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdSelect);
    buttons->addWidget(cmdRefresh);
    buttons->addStretch(1);
    buttons->addWidget(cmdCancel);
    layout->addLayout(buttons);
    resize(320, 360);

    connect(cmdSelect, &QPushButton::clicked, this, &FrmComputers::cmdSelect_Click);
    connect(cmdRefresh, &QPushButton::clicked, this, &FrmComputers::cmdRefresh_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &FrmComputers::cmdCancel_Click);
    connect(lstComputers, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem*) { cmdSelect_Click(); });
}

void FrmComputers::Form_Load()
{
    LoadComputers();
}

QStringList FrmComputers::serverNames(const QString& serverList)
{
    QString text = serverList;
    text.remove(QStringLiteral("\\\\"));
    QStringList names = text.split(QLatin1Char(','));
    names.removeLast(); // the piece after the last comma (normally empty)
    names.removeAll(QString());
    return names;
}

void FrmComputers::LoadComputers()
{
    m_main.FindComputers->setVisible(false);
    m_main.setMainBusy(true);
    m_main.setJobListBusy(true);

    // The window may be closed while it lets pending events run: then only the main
    // window, which outlives it, is put back.
    FrmMain& main = m_main;
    const QPointer<FrmComputers> self(this);
    QStringList names;
    if (m_network) {
        CNetworkEnum scan(*m_network, m_environment);
        scan.SetResourceType(ResourceType::Any);
        scan.Reset();
        QCoreApplication::processEvents();
        names = serverNames(scan.GetServerList());
        QCoreApplication::processEvents();
    }
    if (self.isNull() || m_unloading) {
        main.FindComputers->setVisible(true);
        main.setMainBusy(false);
        main.setJobListBusy(false);
        return;
    }

    // The list is not cleared: a refresh adds what it finds below the earlier items.
    lstComputers->addItems(names);
    if (!lstComputers->currentItem() && lstComputers->count() > 0) {
        lstComputers->setCurrentRow(0);
    }

    m_main.FindComputers->setVisible(true);
    m_main.setMainBusy(false);
    m_main.setJobListBusy(false);
}

void FrmComputers::cmdSelect_Click()
{
    // Without a chosen computer there is nothing to search; the picker stays open.
    QListWidgetItem* item = lstComputers->currentItem();
    if (!item) {
        return;
    }
    m_main.CurrentPrinter->setEditText(item->text());
    // The search goes on as the server answers; the picker has done its part.
    detach(m_main.FindPrintQueues_Click());
    unload();
}

void FrmComputers::cmdRefresh_Click()
{
    LoadComputers();
}

void FrmComputers::cmdCancel_Click()
{
    unload();
}

void FrmComputers::Form_Terminate()
{
    unload();
}

void FrmComputers::closeEvent(QCloseEvent* event)
{
    m_unloading = true;
    Form_Unload();
    QWidget::closeEvent(event);
}

void FrmComputers::unload()
{
    if (m_unloading) {
        return;
    }
    m_unloading = true;
    close();
}

} // namespace hlv
