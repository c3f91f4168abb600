#include "console/ui/frmSplash.h"

#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QPainter>
#include <QPlainTextEdit>
#include <QTextDocument>
#include <QVBoxLayout>

#include "console/ui/FrmMain.h"

namespace hlv {

namespace {

QPixmap logoPixmap()
{
    QPixmap pixmap(64, 64);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(0, 0, 128), 3));
    p.setBrush(QColor(192, 255, 192));
    p.drawRoundedRect(4, 16, 56, 30, 6, 6);
    p.setBrush(Qt::white);
    p.drawRect(16, 4, 32, 14);
    p.drawRect(16, 40, 32, 20);
    return pixmap;
}

} // namespace

frmSplash::frmSplash(QWidget* mainWindow)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint)
    , m_mainWindow(mainWindow)
{
    setAttribute(Qt::WA_DeleteOnClose, false);
    setMinimumWidth(480);

    auto* layout = new QVBoxLayout(this);
    Frame1 = new QFrame(this);
    Frame1->setFrameShape(QFrame::Box);
    auto* inner = new QVBoxLayout(Frame1);
    imgLogo = new QLabel(Frame1);
    imgLogo->setPixmap(logoPixmap());
    Image1 = new QLabel(Frame1);
    lblProductName = new QLabel(QStringLiteral("Product"), Frame1);
    QFont big = lblProductName->font();
    big.setPointSize(18);
    big.setBold(true);
    lblProductName->setFont(big);
    lblVersion = new QLabel(QStringLiteral("Version"), Frame1);
    lblPlatform = new QLabel(QStringLiteral("Windows"), Frame1);
    lblCompanyProduct = new QLabel(QStringLiteral("www.halvern.example"), Frame1);
    txtPromo = new QPlainTextEdit(Frame1);
    txtPromo->setReadOnly(true);
    txtPromo->setPlainText(QStringLiteral("Save money and the \r\nenvironment by reducing \r\npaper and ink usage \r\n"
                                          "through better printer \r\nmanagement.\r\n"));
    // Tall enough for every line of the text: the box never scrolls.
    txtPromo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    txtPromo->setFixedHeight(txtPromo->fontMetrics().lineSpacing() * (txtPromo->blockCount() + 1) +
                             2 * (txtPromo->frameWidth() + static_cast<int>(txtPromo->document()->documentMargin())));
    lblStatus = new QLabel(Frame1);
    lblStatus->setFont(QFont(QStringLiteral("Arial")));
    lblStatus->setWordWrap(true);
    inner->addWidget(imgLogo);
    inner->addWidget(Image1);
    inner->addWidget(lblProductName);
    inner->addWidget(lblVersion);
    inner->addWidget(lblPlatform);
    inner->addWidget(lblCompanyProduct);
    inner->addWidget(txtPromo);
    inner->addWidget(lblStatus);
    layout->addWidget(Frame1);

    Timer1.setInterval(kDesignInterval);
    connect(&Timer1, &QTimer::timeout, this, &frmSplash::Timer1_Timer);
}

void frmSplash::Form_Load()
{
    lblVersion->setText(QStringLiteral("Version ") + FrmMain::versionText());
    lblProductName->setText(FrmMain::productName());
    lblCompanyProduct->setText(FrmMain::webServerAddress());
}

void frmSplash::showEvent(QShowEvent* event)
{
    // The window takes the size its texts need (the progress line grows during start-up).
    adjustSize();
    QWidget::showEvent(event);
}

void frmSplash::Timer1_Timer()
{
    Timer1.stop();
    if (m_mainWindow) {
        m_mainWindow->show();
        m_mainWindow->raise();
    }
    // Unloading: the window goes; the next reference loads a fresh one.
    hide();
    deleteLater();
}

} // namespace hlv
