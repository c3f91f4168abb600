#pragma once

#include <functional>
#include <memory>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QToolButton>
#include <QtEndian>
#include <gtest/gtest.h>

#include "console/access/PrintWorker.h"
#include "console/ui/ConsoleContext.h"
#include "console/ui/FrmMain.h"
#include "platform/Database.h"
#include "platform/print/SimPrintStore.h"
#include "platform/print/SimPrintSystem.h"
#include "support/FakeClock.h"
#include "support/FakeEnvironment.h"
#include "support/FakeProcessControl.h"
#include "support/RecordingShell.h"
#include "support/ScriptedDialogs.h"
#include "support/WaitFor.h"
#include "support/Settle.h"

// Readable texts in test failures.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}

namespace hlv::test {

// The window shown and active with the server box focused, as an operator has it before
// typing; keys then go where the keyboard sends them.
inline QWidget* focusServerBox(FrmMain& w)
{
    w.show();
    w.activateWindow();
    EXPECT_TRUE(waitFor([&w] { return w.isActiveWindow(); }));
    w.CurrentPrinter->setFocus();
    EXPECT_TRUE(waitFor([] { return QApplication::focusWidget() != nullptr; }));
    return QApplication::focusWidget();
}

// Runs one polling tick to its end: the tick reads the queue on the print worker and goes
// on when the reading comes back.
inline void runPollTick(FrmMain& w)
{
    w.Timer2_Timer();
    EXPECT_TRUE(waitFor([&w] { return !w.pollTickRunning(); }));
}

// Waits until every call the window gave the print worker has been answered (a job
// action's steps after its answer included).
inline void settle(FrmMain& w)
{
    EXPECT_TRUE(waitFor([&w] { return w.printWorker().idle(); }));
}

// The console's main window over a simulated print system, a temporary application-data
// folder, scripted dialogs and a fixed clock. Dates are written in the English (US) form.
class ConsoleFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        m_savedLocale = QLocale();
        QLocale::setDefault(QLocale::c());
        env.appDataPath = m_dir.filePath(QStringLiteral("appdata"));
        env.tempPath = m_dir.filePath(QStringLiteral("temp"));
        simDir = m_dir.filePath(QStringLiteral("sim"));
        ASSERT_TRUE(QDir().mkpath(env.appDataPath));
        ASSERT_TRUE(QDir().mkpath(env.tempPath));
        ASSERT_TRUE(QDir().mkpath(simDir));
        ASSERT_TRUE(QFile::exists(QStringLiteral(HLV_BIN_DIR "/hlv.mdb"))) << "build the template first";
        printSystem = std::make_unique<SimPrintSystem>(simDir);
    }

    void TearDown() override
    {
        window.reset();
        context.reset();
        QLocale::setDefault(m_savedLocale);
    }

    // ---- the simulated servers ----
    sim::SimPrintStore& server(const QString& name, const QString& computerName = QString())
    {
        auto& slot = m_servers[name];
        if (!slot) {
            QString error;
            slot = sim::SimPrintStore::create(simDir, name, computerName.isEmpty() ? name : computerName, &error);
            EXPECT_TRUE(slot) << error.toStdString();
        }
        return *slot;
    }
    void addQueue(const QString& srv, const QString& queue, const QString& location = QString(),
                  const QString& comment = QString(), const QString& model = QString())
    {
        sim::NewQueue def;
        def.name = queue;
        def.location = location;
        def.comment = comment;
        def.model = model;
        ASSERT_TRUE(server(srv).addQueue(def).ok);
    }
    qint64 addJob(const QString& srv, const QString& queue, const QString& document, const QString& owner,
                  std::optional<qint64> pages, qint64 size, bool paused = false,
                  QDateTime submitted = QDateTime(QDate(2026, 3, 14), QTime(9, 15, 30)))
    {
        sim::NewJob def;
        def.queue = queue;
        def.document = document;
        def.owner = owner;
        def.host = QStringLiteral("PC7");
        def.pages = pages;
        def.size = size;
        def.paused = paused;
        def.submitted = submitted;
        qint64 id = 0;
        EXPECT_TRUE(server(srv).addJob(def, id).ok);
        return id;
    }

    // ---- the settings file ----
    QString iniPath() const { return env.appDataPath + QStringLiteral("/hlv.ini"); }
    void writeIni(const QString& text)
    {
        QFile file(iniPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text.toUtf8());
    }
    QString readFile(const QString& path) const
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    // ---- the window ----
    FrmMain& build()
    {
        context = std::make_unique<ConsoleContext>(*printSystem, dialogs, shell, clock, *environment, *processControl);
        context->templatePath = QStringLiteral(HLV_BIN_DIR "/hlv.mdb");
        context->programDir = QStringLiteral(HLV_BIN_DIR);
        context->startJobMonitor = false;
        configure(*context);
        window = std::make_unique<FrmMain>(*context);
        return *window;
    }
    FrmMain& start()
    {
        build();
        settle(window->Form_Load());
        settle(*window); // what the start-up set off (AutoQueue's holds, say)
        return *window;
    }
    // A test may change the context before the window is built.
    virtual void configure(ConsoleContext&) {}

    // The audit records as "Action|Description", oldest first.
    QStringList audit() const
    {
        QStringList out;
        auto db = Database::open(env.appDataPath + QStringLiteral("/hlv.mdb"));
        if (!db) {
            return out;
        }
        Query q(*db, QStringLiteral("SELECT Action, Description FROM HLV_Audit ORDER BY rowid"));
        while (q.next()) {
            out.append(q.value(0).toString() + QLatin1Char('|') + q.value(1).toString());
        }
        return out;
    }
    // One job log row's fields by name, empty when the job is not logged.
    QVariantMap logRow(const QString& transactionId) const
    {
        QVariantMap out;
        auto db = Database::open(env.appDataPath + QStringLiteral("/hlv.mdb"));
        if (!db) {
            return out;
        }
        Query q(*db, QStringLiteral("SELECT * FROM HLV_Log WHERE TransactionID = ?1"));
        q.bind(1, transactionId);
        if (q.next()) {
            for (int c = 0; c < q.columnCount(); ++c) {
                out.insert(q.columnName(c), q.value(c));
            }
        }
        return out;
    }
    // The job log's rows, or those of one queue: a print server shared with other tests
    // lists their jobs too.
    int logCount(const QString& queue = {}) const
    {
        auto db = Database::open(env.appDataPath + QStringLiteral("/hlv.mdb"));
        if (!db) {
            return 0;
        }
        if (queue.isEmpty()) {
            return db->scalar(QStringLiteral("SELECT COUNT(*) FROM HLV_Log")).value_or(0).toInt();
        }
        return db->scalar(QStringLiteral("SELECT COUNT(*) FROM HLV_Log WHERE Queue = ?"), {queue}).value_or(0).toInt();
    }
    // The transactions committed to the job log so far: the file change counter of its header.
    quint32 logCommits() const
    {
        QFile file(env.appDataPath + QStringLiteral("/hlv.mdb"));
        if (!file.open(QIODevice::ReadOnly) || !file.seek(24)) {
            return 0;
        }
        const QByteArray b = file.read(4);
        return b.size() == 4 ? qFromBigEndian<quint32>(b.constData()) : 0;
    }

    FakeEnvironment env;
    Environment* environment = &env; // a test may give the window the real environment
    FakeClock clock;
    ScriptedDialogs dialogs;
    RecordingShell shell;
    FakeProcessControl processes;
    ProcessControl* processControl = &processes;
    QString simDir;
    std::unique_ptr<PrintSystem> printSystem;
    std::unique_ptr<ConsoleContext> context;
    std::unique_ptr<FrmMain> window;

private:
    QTemporaryDir m_dir;
    QLocale m_savedLocale;
    std::map<QString, std::unique_ptr<sim::SimPrintStore>> m_servers;
};

} // namespace hlv::test
