#pragma once

#include <memory>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "WatchDoubles.h"
#include "WatchTestSupport.h"
#include "support/FakeEnvironment.h"
#include "support/FakeProcessControl.h"
#include "support/RecordingShell.h"
#include "support/ScriptedDialogs.h"
#include "support/WaitFor.h"
#include "watch/WatchContext.h"
#include "watch/frmWatch.h"

namespace hlv::test {

// The watch window over doubles: a temporary application-data folder, scripted dialogs, a
// recording shell and popup layer, and a notification area the test controls. No job
// monitor server can be started (its folder is empty) unless a test points programDir at
// the built programs.
class WatchFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        env.appDataPath = m_dir.filePath(QStringLiteral("appdata"));
        env.tempPath = m_dir.filePath(QStringLiteral("temp"));
        env.computer = QStringLiteral("WS01");
        ASSERT_TRUE(QDir().mkpath(env.appDataPath));
        ASSERT_TRUE(QDir().mkpath(env.tempPath));
        ASSERT_TRUE(QFile::exists(templateDb())) << "build the template first";
    }
    void TearDown() override
    {
        window.reset();
        context.reset();
    }

    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString iniPath() const { return env.appDataPath + QStringLiteral("/hlvw.ini"); }
    void writeIni(const QString& text)
    {
        QFile file(iniPath());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text.toUtf8());
    }
    QString iniText() const { return QString::fromUtf8(fileBytes(iniPath())); }

    frmWatch& build()
    {
        context = std::make_unique<WatchContext>(dialogs, shell, env, *processControl, popups, tray);
        context->programDir = m_dir.filePath(QStringLiteral("no-programs"));
        context->templatePath = templateDb();
        context->endProgram = [this] {
            ++programEnded;
        };
        configure(*context);
        window = std::make_unique<frmWatch>(*context);
        return *window;
    }
    frmWatch& start()
    {
        build();
        window->Form_Load();
        return *window;
    }
    virtual void configure(WatchContext&) {}

    FakeEnvironment env;
    ScriptedDialogs dialogs;
    RecordingShell shell;
    FakeProcessControl processes;
    ProcessControl* processControl = &processes;
    RecordingPopupMessages popups;
    FakeTrayIcon tray;
    int programEnded = 0;
    std::unique_ptr<WatchContext> context;
    std::unique_ptr<frmWatch> window;

private:
    QTemporaryDir m_dir;
};

} // namespace hlv::test
