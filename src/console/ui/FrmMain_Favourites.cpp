// Favourites: up to twenty saved queue set-ups (server, queue and its automation), each the
// caption of a Favourites menu entry mirrored by a numbered button in the favourites panel.
// Choosing one loads it; in delete mode choosing one deletes it. The set travels to and from
// other consoles as a favourites file.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDebug>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "console/ui/AutoRelease.h"
#include "console/ui/ConsoleContext.h"
#include "console/ui/FavouriteCaption.h"
#include "console/ui/FrmMain.h"
#include "console/ui/MenuStyle.h"
#include "platform/AtomicFile.h"
#include "platform/Dialogs.h"

namespace hlv {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// A favourite with AutoRelease needs a release time that reads as a time of day: the
// polling loop compares it on every tick.
bool releaseTimeReadable(const QString& caption)
{
    return favouriteField(caption, 3) != QStringLiteral("AR On") || comparedTimeText(favouriteField(caption, 5));
}

} // namespace

bool FrmMain::favouriteSlotInUse(int index) const
{
    if (index < 0 || index >= kFavouriteSlots) {
        return false;
    }
    const QAction* entry = mnuFav[static_cast<size_t>(index)];
    return entry->isVisible() && entry->isEnabled();
}

void FrmMain::setFavouriteSlot(int index, const QString& caption, bool checked)
{
    QAction* entry = mnuFav[static_cast<size_t>(index)];
    QPushButton* button = favbutton[static_cast<size_t>(index)];
    entry->setText(caption);
    entry->setChecked(checked);
    entry->setEnabled(true);
    entry->setVisible(true);
    button->setToolTip(caption);
    button->setVisible(true);
}

void FrmMain::freeFavouriteSlot(int index)
{
    QAction* entry = mnuFav[static_cast<size_t>(index)];
    QPushButton* button = favbutton[static_cast<size_t>(index)];
    entry->setVisible(false);
    entry->setText(QString());
    entry->setChecked(false);
    button->setToolTip(QString());
    button->setVisible(false);
}

void FrmMain::showFavouriteMenuEntries()
{
    mnuFavSep1->setVisible(true);
    mnuFavSep2->setVisible(true);
    mnuDelFav->setVisible(true);
    // Export belongs to the full menu only; the other styles keep it hidden.
    if (effectiveMenuStyle(m_settings.SimpleView) == MenuStyles::Full) {
        mnuExportFav->setVisible(true);
    }
}

// ---------------------------------------------------------------------------------------
// Adding

void FrmMain::imgFavourite_Click()
{
    if (m_ctx.dialogs.msgBox(QStringLiteral("Add Current Print Queue To Favourites?"), MsgBoxStyle::YesNo,
                             productName()) != MsgBoxResult::Yes) {
        return;
    }
    FavouriteAutoActivate = value(chkAA) == 1;
    mnuAddFav_Click();
}

void FrmMain::mnuAddFav_Click()
{
    // Both ways of adding take AutoActivate from its box as it is now; a flag left over from
    // an earlier add through the image would otherwise decide for this one.
    FavouriteAutoActivate = value(chkAA) == 1;
    const bool autoActivate = FavouriteAutoActivate && value(chkTimed) == 1;

    if (value(chkTimed) == 1 && !comparedTimeText(txtTimed->text())) {
        m_ctx.dialogs.msgBox(QStringLiteral("The AutoRelease time \"") + txtTimed->text() +
                                 QStringLiteral("\" is not a time of day (for example 5:00 PM or 17:00). "
                                                "The favourite was not added."),
                             MsgBoxStyle::Exclamation, productName());
        FavouriteAutoActivate = false;
        return;
    }

    // Two favourites may not activate themselves at the same time. The times are compared
    // as typed, over every favourite that activates itself.
    if (autoActivate) {
        for (int i = 0; i < kFavouriteSlots; ++i) {
            const QAction* entry = mnuFav[static_cast<size_t>(i)];
            if (favouriteSlotInUse(i) && entry->isChecked() && favouriteField(entry->text(), 5) == txtTimed->text()) {
                m_ctx.dialogs.msgBox(QStringLiteral("Another queue is already scheduled for activation at this time!"),
                                     MsgBoxStyle::Exclamation, productName());
                return;
            }
        }
    }

    int slot = -1;
    for (int i = 0; i < kFavouriteSlots && slot < 0; ++i) {
        if (mnuFav[static_cast<size_t>(i)]->text().isEmpty()) {
            slot = i;
        }
    }
    if (slot < 0) {
        // All twenty are in use: the add quietly does nothing.
        FavouriteAutoActivate = false;
        return;
    }

    FavouriteSetup setup;
    setup.server = CurrentPrinter->currentText();
    setup.queue = CurrentPrintQueue->currentText();
    setup.autoQueue = value(chkAutoQueue) == 1;
    setup.autoRelease = value(chkTimed) == 1;
    setup.printJobs = optTimed[0]->isChecked();
    setup.releaseTime = txtTimed->text();
    setup.autoActivate = autoActivate;
    setFavouriteSlot(slot, buildFavouriteCaption(setup), autoActivate);
    showFavouriteMenuEntries();
}

// ---------------------------------------------------------------------------------------
// Choosing, loading and deleting

void FrmMain::favbutton_Click(int Index)
{
    if (favouriteSlotInUse(Index)) {
        mnuFav_Click(Index);
    }
}

void FrmMain::mnuDelFav_Click()
{
    mnuDelFav->setChecked(!mnuDelFav->isChecked());
}

void FrmMain::mnuFav_Click(int Index)
{
    if (Index < 0 || Index >= kFavouriteSlots) {
        return;
    }
    if (ResumeAllPending) {
        m_ctx.dialogs.msgBox(ActiveQueue +
                                 QStringLiteral(" is currently resuming print jobs. Please wait until all jobs are "
                                                "printed!"),
                             MsgBoxStyle::Exclamation, ActiveQueue + QStringLiteral(" Resume All"));
        return;
    }
    QAction* entry = mnuFav[static_cast<size_t>(Index)];
    const QString caption = entry->text();

    if (mnuDelFav->isChecked()) {
        if (m_ctx.dialogs.msgBox(QStringLiteral("Are you sure you want to delete ") + kCrLf + caption + kCrLf +
                                     QStringLiteral(" from your Favourites?"),
                                 MsgBoxStyle::YesNo | MsgBoxStyle::Critical,
                                 QStringLiteral("Warning")) != MsgBoxResult::Yes) {
            return;
        }
        freeFavouriteSlot(Index);
        bool anyLeft = false;
        for (const QAction* fav : mnuFav) {
            anyLeft = anyLeft || fav->isVisible();
        }
        if (!anyLeft) {
            // The last one gone: delete mode ends with the entries that served it.
            mnuFavSep1->setVisible(false);
            mnuFavSep2->setVisible(false);
            mnuDelFav->setVisible(false);
            mnuDelFav->setChecked(false);
            mnuExportFav->setVisible(false);
        }
        return;
    }

    detach(loadFavourite(Index));
}

Task<bool> FrmMain::activateFavourite(int Index)
{
    // Runs inside a polling tick: a pending Resume All is waited for without a box (the
    // next tick of the minute tries again), and delete mode does not apply.
    if (ResumeAllPending) {
        setStatusPanelText(1, ActiveQueue + QStringLiteral(" is currently resuming print jobs ") + timeText());
        co_return false;
    }
    co_await loadFavourite(Index);
    co_return true;
}

Task<void> FrmMain::loadFavourite(int Index)
{
    const QAction* entry = mnuFav[static_cast<size_t>(Index)];
    // Loading replaces the server, the queue and the whole automation. The polling loop
    // rests until the queue selection arms it again.
    Timer2.stop();
    const QStringList fields = favouriteFields(entry->text());
    const auto field = [&fields](int i) {
        return i < fields.size() ? fields.at(i) : QString();
    };
    m_settings.Server = field(0);
    CurrentPrinter->setEditText(field(0));
    const bool searched = co_await FindPrintQueues_Click();
    if (!searched) {
        co_return; // another search took over while the server was asked: it is the one shown
    }
    setValue(chkAutoQueue, 0);
    setValue(chkAA, 0);
    if (fields.size() > 1) {
        co_await setQueueBoxText(field(1));
    }
    if (field(2) == QStringLiteral("AQ On")) {
        setValue(chkAutoQueue, 1);
    }
    if (field(3) == QStringLiteral("AR On")) {
        setValue(chkTimed, 1);
        if (field(4) == QStringLiteral("Delete")) {
            optTimed[1]->setChecked(true);
        } else if (field(4) == QStringLiteral("Print")) {
            optTimed[0]->setChecked(true);
        }
        if (fields.size() > 5) {
            txtTimed->setText(field(5));
        }
        if (entry->isChecked()) {
            setValue(chkAA, 1);
        }
    }
}

// ---------------------------------------------------------------------------------------
// The favourites file

void FrmMain::mnuExportFav_Click()
{
    const QString path = m_ctx.dialogs.saveFileName(QStringLiteral("Export Favourites File"), QString(),
                                                    QStringLiteral("CSV Files (*.csv)|*.csv|All Files (*.*)|*.*"));
    if (path.isEmpty()) {
        return; // cancelled
    }
    QStringList captions;
    for (int i = 0; i < kFavouriteSlots; ++i) {
        if (favouriteSlotInUse(i)) {
            captions.append(mnuFav[static_cast<size_t>(i)]->text());
        }
    }
    // The file is replaced as a whole, so a failed write leaves the old file intact; the
    // operator is told, as the favourites did not reach the file.
    QString error;
    if (!writeFileAtomically(path, favouritesFileText(captions), ReplaceTarget::Followed, &error)) {
        qWarning().noquote() << "hlv: favourites:" << error;
        m_ctx.dialogs.msgBox(QStringLiteral("Unable to write the favourites file ") + path, MsgBoxStyle::Critical,
                             productName());
    }
}

void FrmMain::mnuImportFav_Click()
{
    const QString path = m_ctx.dialogs.openFileName(QStringLiteral("Import Favourites File"), QString(), QString());
    if (path.isEmpty()) {
        return; // cancelled
    }
    // A file that cannot be read changes nothing: reading it as empty would free every slot.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_ctx.dialogs.msgBox(QStringLiteral("Unable to read the favourites file ") + path, MsgBoxStyle::Critical,
                             productName());
        return;
    }
    const QStringList pieces = favouritesFromLine(favouritesFirstLine(file.readAll()));
    QStringList refused;
    for (int i = 0; i < kFavouriteSlots; ++i) {
        const QString& piece = pieces.at(i);
        const bool readable = releaseTimeReadable(piece);
        if (!readable) {
            refused.append(piece);
        }
        if (piece.isEmpty() || !readable) {
            freeFavouriteSlot(i);
            mnuFav[static_cast<size_t>(i)]->setEnabled(false);
        } else {
            setFavouriteSlot(i, piece, favouriteAutoActivates(piece));
            showFavouriteMenuEntries();
        }
    }
    if (!refused.isEmpty()) {
        m_ctx.dialogs.msgBox(QStringLiteral("These favourites were not imported, as their AutoRelease time is not a "
                                            "time of day:") +
                                 kCrLf + refused.join(kCrLf),
                             MsgBoxStyle::Exclamation, productName());
    }
}

} // namespace hlv
