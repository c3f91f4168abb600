#pragma once

#include <QTimer>
#include <QWidget>

class QFrame;
class QLabel;
class QPlainTextEdit;

namespace hlv {

// The splash window: a one-line start-up progress text and the product's version. It is
// loaded hidden at start-up and filled there; its timer shows the main window and unloads
// it after five seconds. The same window is the About box.
class frmSplash : public QWidget
{
    Q_OBJECT
public:
    // mainWindow is shown by the timer's tick; it outlives the splash.
    explicit frmSplash(QWidget* mainWindow);

    void Form_Load();
    void Timer1_Timer();

    QLabel* lblStatus = nullptr;
    QLabel* lblVersion = nullptr;
    QLabel* lblPlatform = nullptr;
    QLabel* lblProductName = nullptr;
    QLabel* lblCompanyProduct = nullptr;
    QPlainTextEdit* txtPromo = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* imgLogo = nullptr;
    QFrame* Frame1 = nullptr;
    QTimer Timer1;

    static constexpr int kDesignInterval = 5000;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QWidget* m_mainWindow;
};

} // namespace hlv
