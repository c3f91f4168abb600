#include "console/ui/frmAction.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <gtest/gtest.h>

#include "console/ui/VbColour.h"

using namespace hlv;

namespace {

struct Recorder
{
    QStringList calls;
    bool hide = false;
    std::optional<JobRowValues> row;

    frmAction::Commands commands()
    {
        return {[this] { calls << QStringLiteral("print"); },
                [this] { calls << QStringLiteral("delete"); },
                [this] { calls << QStringLiteral("printAll"); },
                [this] { calls << QStringLiteral("deleteAll"); },
                [this] { return row; },
                [this] {
                    return hide;
                }};
    }
};

JobRowValues reportRow()
{
    JobRowValues r;
    r.Description = QStringLiteral("Report");
    r.Computer = QStringLiteral("PC7");
    r.Size = QStringLiteral("120KB");
    r.Pages = QStringLiteral("3");
    return r;
}

QRect px(const QRect& twips)
{
    return {twipsToPixels(twips.left()), twipsToPixels(twips.top()), twipsToPixels(twips.width()),
            twipsToPixels(twips.height())};
}

} // namespace

TEST(FrmAction, AllButtonsShown_SixControlsAtDesignPlaces)
{
    Recorder rec;
    rec.row = reportRow();
    auto* form = new frmAction(rec.commands());
    form->show();
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Job Actions - Halvern"));
    EXPECT_FALSE(form->isModal());
    EXPECT_TRUE(form->cmdPrintAll->isVisible());
    EXPECT_TRUE(form->cmdDeleteAll->isVisible());
    EXPECT_EQ(form->txtPrintJob->geometry(), px(QRect(0, 0, 4575, 615)));
    EXPECT_EQ(form->PrintButton->geometry(), px(QRect(0, 600, 2295, 855)));
    EXPECT_EQ(form->DeleteButton->geometry(), px(QRect(2280, 600, 2295, 855)));
    EXPECT_EQ(form->cmdPrintAll->geometry(), px(QRect(0, 1440, 2295, 495)));
    EXPECT_EQ(form->cmdDeleteAll->geometry(), px(QRect(2280, 1440, 2295, 495)));
    EXPECT_EQ(form->CancelButton->geometry(), px(QRect(0, 1920, 4575, 495)));
    EXPECT_EQ(form->summaryText(), QStringLiteral("Report\r\nPC7 - 120KB - Pages: 3"));
    EXPECT_EQ(form->txtPrintJob->toPlainText(), QStringLiteral("Report\nPC7 - 120KB - Pages: 3"));

    // As painted: no scroll bar down the summary's right side, and the second line's text in
    // its lower half.
    const QImage summary = form->txtPrintJob->grab().toImage();
    const QColor base = form->txtPrintJob->palette().color(QPalette::Base);
    int scrollBarPixels = 0;
    int secondLinePixels = 0;
    for (int y = 3; y < summary.height() - 3; ++y) {
        for (int x = summary.width() - 12; x < summary.width() - 3; ++x) {
            scrollBarPixels += summary.pixelColor(x, y) != base ? 1 : 0;
        }
        for (int x = 3; y > summary.height() / 2 && x < summary.width() / 2; ++x) {
            secondLinePixels += summary.pixelColor(x, y) != base ? 1 : 0;
        }
    }
    EXPECT_EQ(scrollBarPixels, 0);
    EXPECT_GT(secondLinePixels, 0);
    form->close();
}

TEST(FrmAction, HideAllButtons_TallerButtonsStayPutOverActivations)
{
    Recorder rec;
    rec.hide = true;
    auto* form = new frmAction(rec.commands());
    form->show();
    EXPECT_FALSE(form->cmdPrintAll->isVisible());
    EXPECT_FALSE(form->cmdDeleteAll->isVisible());
    const QRect print = form->PrintButton->geometry();
    EXPECT_GT(print.height(), twipsToPixels(855));
    EXPECT_LE(print.bottom(), form->CancelButton->geometry().top());
    for (int i = 0; i < 5; ++i) {
        form->Form_Activate();
    }
    EXPECT_EQ(form->PrintButton->geometry(), print);
    EXPECT_EQ(form->DeleteButton->geometry().height(), print.height());
    form->close();
}

TEST(FrmAction, NoRowSelected_ShowsNoJobSelected)
{
    Recorder rec;
    auto* form = new frmAction(rec.commands());
    EXPECT_EQ(form->summaryText(), QStringLiteral("No Job Selected"));
    // A row selected later shows at the next activation.
    rec.row = reportRow();
    form->Form_Activate();
    EXPECT_EQ(form->summaryText(), QStringLiteral("Report\r\nPC7 - 120KB - Pages: 3"));
    form->close();
}

TEST(FrmAction, Buttons_ForwardAndCloseAsDesigned)
{
    struct Case
    {
        const char* button;
        const char* call;
        bool closes;
    };
    const Case cases[] = {{"PrintButton", "print", true},
                          {"DeleteButton", "delete", true},
                          {"cmdPrintAll", "printAll", false},
                          {"cmdDeleteAll", "deleteAll", false},
                          {"CancelButton", nullptr, true}};
    for (const Case& c : cases) {
        Recorder rec;
        rec.row = reportRow();
        QPointer<frmAction> form = new frmAction(rec.commands());
        form->show();
        auto* button = form->findChild<QPushButton*>(QString::fromUtf8(c.button));
        ASSERT_NE(button, nullptr) << c.button;
        button->click();
        EXPECT_EQ(rec.calls, c.call ? QStringList{QString::fromUtf8(c.call)} : QStringList{}) << c.button;
        EXPECT_EQ(form && form->isVisible(), !c.closes) << c.button;
        QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        if (form) {
            form->close();
            QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        }
        EXPECT_TRUE(form.isNull()) << c.button;
    }
}
