// Loading the operator's settings at start-up and saving them at shutdown.
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "console/ui/ConsoleContext.h"
#include "console/ui/FrmMain.h"
#include "console/ui/JobListWidget.h"
#include "console/ui/SettingsRules.h"
#include "console/ui/VbColour.h"
#include "platform/Clock.h"
#include "platform/Dialogs.h"
#include "platform/Environment.h"
#include "platform/GeneralDate.h"
#include "store/IniFile.h"
#include "store/TextConversion.h"

namespace hlv {

namespace {

const QString kSection = QStringLiteral("Halvern");
const QString kFavouritesSection = QStringLiteral("Favourites");

QString booleanText(bool value)
{
    return value ? QStringLiteral("True") : QStringLiteral("False");
}

QString joinNumbers(const QList<double>& values)
{
    QString out;
    for (int i = 0; i < values.size(); ++i) {
        out += storedNumberText(values.at(i));
        if (i + 1 < values.size()) {
            out += QLatin1Char(',');
        }
    }
    return out;
}

} // namespace

void FrmMain::LoadSettings()
{
    // One read of the settings file for the whole load.
    const IniPass ini(*m_ini);
    const auto read = [&ini](const QString& key) {
        return ini.ReadIni(kSection, key);
    };
    ConsoleSettings& s = m_settings;

    s.Server = read(QStringLiteral("Server"));
    s.Queue = read(QStringLiteral("Queue"));
    s.AutoQueue = read(QStringLiteral("AutoQueue"));
    s.TimedRelease = read(QStringLiteral("TimedRelease"));
    s.TimedReleaseTime = read(QStringLiteral("TimedReleaseTime"));
    s.TimedReleaseAction = read(QStringLiteral("TimedReleaseAction"));

    // The window size: a value that is no number leaves the size (and the remembered
    // normal size) as start-up set it.
    {
        const QString width = read(QStringLiteral("DisplaySizeWidth"));
        bool ok = false;
        const double twips = width.trimmed().toDouble(&ok);
        if (ok && twips > 0) {
            s.DisplaySizeWidth = width;
            resize(twipsToPixels(twips), height());
        }
    }
    {
        const QString height = read(QStringLiteral("DisplaySizeHeight"));
        bool ok = false;
        const double twips = height.trimmed().toDouble(&ok);
        if (ok && twips > 0) {
            s.DisplaySizeHeight = height;
            resize(width(), twipsToPixels(twips));
        }
    }

    s.ColumnWidths = read(QStringLiteral("ColumnWidths"));
    s.ColumnPositions = read(QStringLiteral("ColumnPositions"));

    {
        const std::optional<double> size = storedNumber(read(QStringLiteral("GridFontSize")));
        if (size && *size > 0) {
            QFont font = JobList->font();
            font.setPointSizeF(*size);
            JobList->setFont(font);
        }
    }

    s.ShowErrors = read(QStringLiteral("ShowErrors"));
    s.ShowServerView = read(QStringLiteral("ShowServerView"));
    s.StartMax = read(QStringLiteral("StartMax"));
    s.Company = read(QStringLiteral("Company"));
    s.Tagline = taglineFromStored(read(QStringLiteral("Tagline")));
    if (const auto hide = readBoolean(read(QStringLiteral("QAHideAllButtons")))) {
        s.QAHideAllButtons = *hide;
    }

    s.ShowUpdates = read(QStringLiteral("ShowUpdates"));
    s.FavouritesPanel = read(QStringLiteral("FavouritesPanel"));
    s.ShowNetwork = read(QStringLiteral("ShowNetwork"));
    s.ShowQueueInfo = read(QStringLiteral("ShowQueueInfo"));
    s.ShowQueueControl = read(QStringLiteral("ShowQueueControl"));
    s.ShowSearch = read(QStringLiteral("ShowSearch"));
    s.ShowStatusBar = read(QStringLiteral("ShowStatusBar"));
    s.PollNorm = read(QStringLiteral("PollNorm"));
    s.PollAQ = read(QStringLiteral("PollAQ"));
    s.PollAQactive = read(QStringLiteral("PollAQactive"));
    s.QuickAction = static_cast<int>(leadingNumber(read(QStringLiteral("QuickAction"))));
    s.JobAction = read(QStringLiteral("JobAction"));
    s.Exceptions = read(QStringLiteral("Exceptions"));
    s.ReportPath = read(QStringLiteral("ReportPath"));
    s.LogPath = read(QStringLiteral("LogPath"));
    s.SimpleView = read(QStringLiteral("SimpleView"));
    if (const auto audit = readBoolean(read(QStringLiteral("Audit")))) {
        s.Audit = *audit;
    }

    {
        const QString reset = read(QStringLiteral("ResetTotal"));
        if (!reset.isEmpty()) {
            const QDateTime stored = parseGeneralDate(reset);
            if (stored.isValid()) {
                s.ResetTotal = QDateTime(stored.date(), QTime(0, 0));
            } else {
                // Written under another locale, perhaps: kept as stored, not lost.
                s.ResetTotalStored = reset;
            }
        } else {
            s.ResetTotal = m_ctx.clock.now();
        }
    }

    // The status bar is shown at design: anything but a true value hides it.
    if (readBoolean(s.ShowStatusBar) != std::optional<bool>(true)) {
        mnuStatusBar_Click();
    }

    appendProgress(QStringLiteral("Favourites, "));
    for (int i = 0; i < 20; ++i) {
        const QString caption = ini.ReadIni(kFavouritesSection, QString::number(i));
        if (caption.isEmpty()) {
            continue;
        }
        mnuFavSep1->setVisible(true);
        mnuFavSep2->setVisible(true);
        mnuDelFav->setVisible(true);
        if (s.SimpleView == QStringLiteral("Full Menu")) {
            mnuExportFav->setVisible(true);
        }
        QAction* entry = mnuFav[static_cast<size_t>(i)];
        entry->setText(caption);
        const QStringList fields = caption.split(QStringLiteral(" | "));
        if (fields.size() > 6 && fields.at(3) == QStringLiteral("AR On") && fields.at(6) == QStringLiteral("AA")) {
            entry->setChecked(true);
        }
        entry->setVisible(true);
        favbutton[static_cast<size_t>(i)]->setToolTip(caption);
        favbutton[static_cast<size_t>(i)]->setVisible(true);
    }

    if (s.AutoQueue == QStringLiteral("1")) {
        appendProgress(QStringLiteral("AutoQueue, "));
    }
    if (s.TimedRelease == QStringLiteral("1")) {
        appendProgress(QStringLiteral("Timed Release (") + s.TimedReleaseAction + QStringLiteral(" at ") +
                       s.TimedReleaseTime + QStringLiteral("), "));
    }

    // Panels are hidden at design; each is switched on unless its key reads as false.
    if (onUnlessFalse(s.ShowUpdates)) {
        mnuOnline_Click();
    }
    if (onUnlessFalse(s.FavouritesPanel)) {
        mnuFavouritesPanel_Click();
    }
    if (onUnlessFalse(s.ShowNetwork)) {
        mnuNetwork_Click();
    }
    if (onUnlessFalse(s.ShowQueueInfo)) {
        mnuQueueInfo_Click();
    }
    if (onUnlessFalse(s.ShowQueueControl)) {
        mnuQueueControl_Click();
    }
    if (onUnlessFalse(s.ShowSearch)) {
        mnuSearchQueue_Click();
    }
    if (onUnlessFalse(s.StartMax)) {
        setWindowState(windowState() | Qt::WindowMaximized);
    }

    if (s.PollNorm.isEmpty()) {
        s.PollNorm = SettingsDefaults::kPollNorm;
    }
    if (s.PollAQ.isEmpty()) {
        s.PollAQ = SettingsDefaults::kPollAQ;
    }
    if (s.PollAQactive.isEmpty()) {
        s.PollAQactive = SettingsDefaults::kPollAQactive;
    }
    if (s.ReportPath.isEmpty()) {
        s.ReportPath = m_ctx.environment.temp();
    }
    if (s.Company.isEmpty()) {
        s.Company = SettingsDefaults::kCompany;
    }
    if (s.Tagline.isEmpty()) {
        s.Tagline = SettingsDefaults::kTagline;
    }

    // The step recorder exists only on the desktop system it was written for.
    if (QFile::exists(QStringLiteral("c:\\Windows\\System32\\psr.exe"))) {
        mnupsr->setVisible(true);
        mnupsrsep->setVisible(true);
    }

    if (s.LogPath.isEmpty()) {
        s.LogPath = m_ctx.environment.appData();
    }

    SwSimpleView();
}

void FrmMain::SaveSettings()
{
    List_Save(CurrentPrinter, m_ctx.environment.appData() + QStringLiteral("/hlv.his"));
    // At shutdown nothing pending may run any more (a late connection failure would raise
    // its box with nobody left to answer it).
    if (!m_unloaded) {
        yieldToEvents();
    }

    // One write of the settings file for the whole save, at its end.
    IniPass ini(*m_ini);
    ConsoleSettings& s = m_settings;
    // A key that cannot be written is reported once at the end; the keys after it are
    // still written.
    bool ok = true;
    const auto write = [&ini, &ok](const QString& key, const QString& value) {
        ok = ini.WriteIni(kSection, key, value) && ok;
    };

    write(QStringLiteral("Server"), serverBoxText());
    // Closed before the start-up selected the saved queue: that queue is still the last one.
    write(QStringLiteral("Queue"), m_startupQueue ? *m_startupQueue : queueBoxText());
    write(QStringLiteral("AutoQueue"), QString::number(value(chkAutoQueue)));
    write(QStringLiteral("TimedRelease"), QString::number(value(chkTimed)));
    write(QStringLiteral("TimedReleaseTime"), txtTimed->text());
    write(QStringLiteral("TimedReleaseAction"),
          optTimed[0]->isChecked() ? QStringLiteral("PRINT") : QStringLiteral("CLEAR"));
    if (!(windowState() & (Qt::WindowMaximized | Qt::WindowMinimized | Qt::WindowFullScreen))) {
        s.DisplaySizeWidth = QString::number(qRound(pixelsToTwips(width())));
        s.DisplaySizeHeight = QString::number(qRound(pixelsToTwips(height())));
    }
    write(QStringLiteral("DisplaySizeWidth"), s.DisplaySizeWidth);
    write(QStringLiteral("DisplaySizeHeight"), s.DisplaySizeHeight);

    s.ColumnWidths = joinNumbers(jobListColumnWidthsTwips());
    write(QStringLiteral("ColumnWidths"), s.ColumnWidths);
    QList<double> positions;
    for (int p : jobListColumnPositions()) {
        positions.append(p);
    }
    s.ColumnPositions = joinNumbers(positions);
    write(QStringLiteral("ColumnPositions"), s.ColumnPositions);

    write(QStringLiteral("GridFontSize"), storedNumberText(JobList->font().pointSizeF()));
    write(QStringLiteral("ShowErrors"), s.ShowErrors);
    write(QStringLiteral("ShowServerView"), s.ShowServerView);
    write(QStringLiteral("StartMax"), s.StartMax);
    write(QStringLiteral("Company"), s.Company);
    write(QStringLiteral("Tagline"), storedTagline(s.Tagline));
    write(QStringLiteral("ShowUpdates"), s.ShowUpdates);
    write(QStringLiteral("FavouritesPanel"), s.FavouritesPanel);
    write(QStringLiteral("ShowNetwork"), s.ShowNetwork);
    write(QStringLiteral("ShowQueueInfo"), s.ShowQueueInfo);
    write(QStringLiteral("ShowQueueControl"), s.ShowQueueControl);
    write(QStringLiteral("ShowSearch"), s.ShowSearch);
    write(QStringLiteral("ShowStatusBar"), booleanText(mnuStatusBar->isChecked()));
    write(QStringLiteral("Audit"), booleanText(s.Audit));
    write(QStringLiteral("PollNorm"), s.PollNorm);
    write(QStringLiteral("PollAQ"), s.PollAQ);
    write(QStringLiteral("PollAQactive"), s.PollAQactive);
    write(QStringLiteral("QuickAction"), QString::number(s.QuickAction));
    write(QStringLiteral("JobAction"), s.JobAction);
    write(QStringLiteral("Exceptions"), s.Exceptions);
    write(QStringLiteral("ResetTotal"),
          s.ResetTotal.isValid() || s.ResetTotalStored.isEmpty() ? generalDateText(s.ResetTotal) : s.ResetTotalStored);
    write(QStringLiteral("ReportPath"), s.ReportPath);
    write(QStringLiteral("LogPath"), s.LogPath);
    write(QStringLiteral("SimpleView"), s.SimpleView);
    write(QStringLiteral("QAHideAllButtons"), booleanText(s.QAHideAllButtons));
    for (int i = 0; i < 20; ++i) {
        ok = ini.WriteIni(kFavouritesSection, QString::number(i), mnuFav[static_cast<size_t>(i)]->text()) && ok;
    }
    if (!ini.commit()) {
        ok = false;
    }

    if (!ok) {
        m_ctx.dialogs.msgBox(QStringLiteral("Halvern had problems saving your data."), 64, productName());
    }
}

} // namespace hlv
