// The files the console and the watch program replace as a whole: on a full disk the old
// file stays and the failure is reported; in a shared temporary folder nothing planted at
// a fixed output name is followed or written into.
#include <QComboBox>
#include <QDirIterator>
#include <sys/stat.h>
#include <unistd.h>

#include "console/reports/ReportFrame.h"
#include "store/IniFile.h"
#include "store/JobLogStore.h"
#include "support/FullFilesystem.h"
#include "ui/ConsoleFixture.h"
#include "watch/WatchSettings.h"
#include "support/Settle.h"

namespace hlv::test {
namespace {

// Swallows a timer's ticks, so no polling tick runs between the commands under test.
class TickBlocker : public QObject
{
public:
    bool eventFilter(QObject*, QEvent* event) override { return event->type() == QEvent::Timer; }
};

class OutputFilesTest : public ConsoleFixture
{
protected:
    FrmMain& open(const QString& ini)
    {
        writeIni(ini);
        build();
        window->Timer1.installEventFilter(&blocker);
        window->Timer2.installEventFilter(&blocker);
        settle(window->Form_Load());
        return *window;
    }
    static void put(const QString& path, const QByteArray& bytes)
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
        ASSERT_EQ(file.write(bytes), bytes.size());
    }
    static QByteArray bytesOf(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }
    // Temporary files a failed write left behind in a folder.
    static QStringList leftovers(const QString& folder)
    {
        QStringList out;
        QDirIterator it(folder, QDir::Files | QDir::Hidden);
        while (it.hasNext()) {
            const QString name = it.next();
            if (name.contains(QStringLiteral(".hlv-"))) {
                out.append(name);
            }
        }
        return out;
    }
    bool shown(const QString& text) const
    {
        for (const auto& box : dialogs.messages()) {
            if (box.text == text) {
                return true;
            }
        }
        return false;
    }

    TickBlocker blocker;
};

TEST_F(OutputFilesTest, FullDisk_EachFileReplacedWhole_KeepsTheOldFileAndReportsTheFailure)
{
    // GIVEN application data and temporary folder on a small file system of their own
    QTemporaryDir mountPoint;
    ASSERT_TRUE(mountPoint.isValid());
    FullFilesystem disk;
    QString why;
    if (!disk.mount(mountPoint.path(), "8m", &why)) {
        GTEST_SKIP() << why.toStdString();
    }
    env.appDataPath = mountPoint.path() + QStringLiteral("/appdata");
    env.tempPath = mountPoint.path() + QStringLiteral("/temp");
    ASSERT_TRUE(QDir().mkpath(env.appDataPath));
    ASSERT_TRUE(QDir().mkpath(env.tempPath));
    FrmMain& w = open(QStringLiteral("[Halvern]\nStartMax=False\nReportPath=") + env.tempPath + QLatin1Char('\n'));
    w.CurrentPrinter->addItem(QStringLiteral("PRINT9"));
    ASSERT_TRUE(w.jobLog().ExportLogToCsv()); // the log exists before the disk fills

    const ReportSettings reports{env.tempPath, QStringLiteral("Acme"), QString()};
    const IniFile watchIni(env, QString::fromLatin1(IniFile::kWatchFileName));
    const QString favourites = env.tempPath + QStringLiteral("/favourites.csv");
    const struct
    {
        const char* kind;
        QString path;
        // Writes the file; true when the failure was reported as this kind reports it
        // (the history and the watch settings only leave a line on stderr).
        std::function<bool()> write;
    } kinds[] = {
        {"console settings", iniPath(),
         [&] {
             w.SaveSettings();
             return shown(QStringLiteral("Halvern had problems saving your data."));
         }},
        {"server history", env.appDataPath + QStringLiteral("/hlv.his"),
         [&] {
             w.List_Save(w.CurrentPrinter, env.appDataPath + QStringLiteral("/hlv.his"));
             return true;
         }},
        {"watch settings", watchIni.path(),
         [&] {
             WatchSettingsState state;
             state.server = QStringLiteral("PRINT9");
             SaveWatchSettings(watchIni, state);
             return true;
         }},
        {"favourites export", favourites,
         [&] {
             dialogs.textAnswers.push_back(favourites);
             w.mnuExportFav_Click();
             return shown(QStringLiteral("Unable to write the favourites file ") + favourites);
         }},
        {"CSV export", w.jobLog().csvFilePath(),
         [&] {
             return !w.jobLog().ExportLogToCsv();
         }},
        {"report", reportFilePath(reports, QStringLiteral("/HLV_LogUserReport.html")),
         [&] {
             return !writeReportFile(reportFilePath(reports, QStringLiteral("/HLV_LogUserReport.html")),
                                     QStringLiteral("<html>new page</html>"));
         }},
    };
    for (const auto& k : kinds) {
        put(k.path, QByteArray("old ") + k.kind + "\r\n");
    }

    // WHEN each file is written again on the full disk THEN each keeps its old content
    for (const auto& k : kinds) {
        ASSERT_TRUE(disk.fill()); // whatever an earlier write freed is taken again
        dialogs.shown.clear();
        EXPECT_TRUE(k.write()) << k.kind << ": failure not reported";
        EXPECT_EQ(bytesOf(k.path), QByteArray("old ") + k.kind + "\r\n") << k.kind;
        EXPECT_EQ(leftovers(QFileInfo(k.path).absolutePath()), QStringList()) << k.kind;
    }
    window.reset();
    context.reset();
}

TEST_F(OutputFilesTest, PlantedAtEachOutputName_NothingFollowedOrWrittenInto_OutputOpenedFromASoundFile)
{
    // GIVEN a temporary folder that every account may write to, as TEMP and report folder
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString shared = root.filePath(QStringLiteral("shared"));
    const QString victims = root.filePath(QStringLiteral("victims"));
    ASSERT_TRUE(QDir().mkpath(shared));
    ASSERT_TRUE(QDir().mkpath(victims));
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 01777), 0);
    env.tempPath = shared;
    addQueue(QStringLiteral("PRINT1"), QStringLiteral("Q1"));
    FrmMain& w = open(QStringLiteral("[Halvern]\nServer=PRINT1\nQueue=Q1\nStartMax=False\nReportPath=") + shared +
                      QLatin1Char('\n'));

    // Planted by another account when the test may act as one (root), else by this one.
    const bool root_ = ::geteuid() == 0;
    const uid_t planter = root_ ? 65534 : ::geteuid();
    enum class Plant { LinkToFile, LinkToNothing, ForeignFile };
    const struct
    {
        const char* file;
        std::function<void(FrmMain&)> handler;
        const char* begins;
    } outputs[] = {
        {"/HLV_Log.csv", toEnd(&FrmMain::mnuLogFullReportCSV_Click), "Server,Queue,"},
        {"/HLV_PrinterReport.html", toEnd(&FrmMain::mnuPrinterReport_Click), "<html>"},
        {"/HLV_ServerReport.html", toEnd(&FrmMain::mnuServerReport_Click), "<html>"},
        {"/HLV_FavReport.html", toEnd(&FrmMain::mnuFavReport_Click), "<html>"},
        {"/HLV_LogTodayReport.html", toEnd(&FrmMain::mnuLogRptToday_Click), "<html>"},
        {"/HLV_LogFullReport.html", toEnd(&FrmMain::mnuLogFullReportHTML_Click), "<html>"},
        {"/HLV_LogPrinterReport.html", toEnd(&FrmMain::mnuLogRptPrinter_Click), "<html>"},
        {"/HLV_LogUserReport.html", toEnd(&FrmMain::mnuLogRptUser_Click), "<html>"},
        {"/HLV_LogDailyJobsReport.html", toEnd(&FrmMain::mnuLogRptDailyJobs_Click), "<html>"},
        {"/HLV_LogMonthlyJobsReport.html", toEnd(&FrmMain::mnuLogRptMonthlyJobs_Click), "<html>"},
        {"/HLV_LogQueueManagerReport.html", toEnd(&FrmMain::mnuLogRptHLV_Click), "<html>"},
        {"/HLV_LogAuditTodayReport.html", toEnd(&FrmMain::mnuAuditRptToday_Click), "<html>"},
        {"/HLV_LogAuditActionsReport.html", toEnd(&FrmMain::mnuAuditRptActions_Click), "<html>"},
    };
    for (const Plant plant : {Plant::LinkToFile, Plant::LinkToNothing, Plant::ForeignFile}) {
        if (plant == Plant::ForeignFile && !root_) {
            continue; // only root can leave a file of another account
        }
        for (const auto& o : outputs) {
            const std::string label = std::string(o.file) + " plant " + std::to_string(int(plant));
            const QString name = shared + QString::fromLatin1(o.file);
            const QString victim = victims + QString::fromLatin1(o.file);
            const QByteArray nameBytes = QFile::encodeName(name);
            QFile::remove(victim);
            QFile::remove(name);
            if (plant == Plant::ForeignFile) {
                put(name, "precious");
                ASSERT_EQ(::chmod(nameBytes.constData(), 0666), 0);
                ASSERT_EQ(::chown(nameBytes.constData(), planter, planter), 0);
            } else {
                if (plant == Plant::LinkToFile) {
                    put(victim, "precious");
                }
                ASSERT_EQ(::symlink(QFile::encodeName(victim).constData(), nameBytes.constData()), 0);
                ASSERT_EQ(::lchown(nameBytes.constData(), planter, planter), 0);
            }

            shell.opened.clear();
            o.handler(w);

            // The planted file, or the file its link names, is as it was.
            if (plant == Plant::LinkToFile) {
                EXPECT_EQ(bytesOf(victim), QByteArray("precious")) << label;
            } else if (plant == Plant::LinkToNothing) {
                EXPECT_FALSE(QFileInfo::exists(victim)) << label;
            } else {
                EXPECT_EQ(bytesOf(name), QByteArray("precious")) << label;
            }
            // What the desktop is asked to open is a plain file of this account holding the output.
            ASSERT_EQ(shell.opened.size(), 1) << label;
            const QString opened = shell.opened.first();
            struct stat info
            {};
            ASSERT_EQ(::lstat(QFile::encodeName(opened).constData(), &info), 0) << label;
            EXPECT_TRUE(S_ISREG(info.st_mode)) << label;
            EXPECT_EQ(info.st_uid, ::geteuid()) << label;
            EXPECT_TRUE(bytesOf(opened).startsWith(o.begins)) << label;
            EXPECT_TRUE(QFileInfo(opened).fileName() == QString::fromLatin1(o.file).mid(1)) << label;
            QFile::remove(opened);
        }
    }
}

} // namespace
} // namespace hlv::test
