#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>

#include "ConsoleFixture.h"
#include "console/ui/JobListWidget.h"
#include "store/IniFile.h"
#include "store/JobLogStore.h"
#include "support/ForwardingPrintServer.h"
#include "support/Settle.h"

namespace hlv::test {

// Every operation the console asks of a print server, as "op queue id [value]", and jobs
// listed twice on demand (two print jobs answering to one ID).
struct PrintLog
{
    QStringList calls;
    qint64 duplicateJobId = 0;
};

class RecordingPrintServer final : public ForwardingPrintServer
{
public:
    RecordingPrintServer(std::unique_ptr<PrintServer> inner, PrintLog& log)
        : ForwardingPrintServer(std::move(inner))
        , m_log(log)
    {}
    PrintResult queueJobs(const QString& queue, QList<PrintJobInfo>& out) override
    {
        const PrintResult r = inner().queueJobs(queue, out);
        if (m_log.duplicateJobId != 0) {
            for (qsizetype i = out.size() - 1; i >= 0; --i) {
                if (out[i].JobId == m_log.duplicateJobId) {
                    out.insert(i + 1, out[i]);
                }
            }
        }
        return r;
    }
    PrintResult pauseQueue(const QString& q) override
    {
        return record(QStringLiteral("pauseQueue ") + q, [&] { return inner().pauseQueue(q); });
    }
    PrintResult holdQueue(const QString& q) override
    {
        return record(QStringLiteral("holdQueue ") + q, [&] { return inner().holdQueue(q); });
    }
    PrintResult resumeQueue(const QString& q) override
    {
        return record(QStringLiteral("resumeQueue ") + q, [&] { return inner().resumeQueue(q); });
    }
    PrintResult purgeQueue(const QString& q) override
    {
        return record(QStringLiteral("purgeQueue ") + q, [&] { return inner().purgeQueue(q); });
    }
    PrintResult pauseJob(const QString& q, qint64 id) override
    {
        return record(jobCall(QStringLiteral("pauseJob"), q, id), [&] { return inner().pauseJob(q, id); });
    }
    PrintResult resumeJob(const QString& q, qint64 id) override
    {
        return record(jobCall(QStringLiteral("resumeJob"), q, id), [&] { return inner().resumeJob(q, id); });
    }
    PrintResult removeJob(const QString& q, qint64 id) override
    {
        return record(jobCall(QStringLiteral("removeJob"), q, id), [&] { return inner().removeJob(q, id); });
    }
    PrintResult setJobPriority(const QString& q, qint64 id, qint64 priority) override
    {
        return record(jobCall(QStringLiteral("setJobPriority"), q, id) + QLatin1Char(' ') + QString::number(priority),
                      [&] { return inner().setJobPriority(q, id, priority); });
    }
    int printTestPage(const QString& printerName) override
    {
        m_log.calls << QStringLiteral("printTestPage ") + printerName;
        return inner().printTestPage(printerName);
    }

private:
    static QString jobCall(const QString& op, const QString& q, qint64 id)
    {
        return op + QLatin1Char(' ') + q + QLatin1Char(' ') + QString::number(id);
    }
    template <typename F> PrintResult record(const QString& call, F&& f)
    {
        m_log.calls << call;
        return f();
    }

    PrintLog& m_log;
};

class RecordingPrintSystem final : public PrintSystem
{
public:
    RecordingPrintSystem(std::unique_ptr<PrintSystem> inner, PrintLog& log)
        : m_inner(std::move(inner))
        , m_log(log)
    {}
    std::unique_ptr<PrintServer> connect(const QString& server, QString* error = nullptr) override
    {
        auto inner = m_inner->connect(server, error);
        if (!inner) {
            return nullptr;
        }
        return std::make_unique<RecordingPrintServer>(std::move(inner), m_log);
    }
    void setPasswordPrompt(PasswordPrompt prompt) override { m_inner->setPasswordPrompt(std::move(prompt)); }

private:
    std::unique_ptr<PrintSystem> m_inner;
    PrintLog& m_log;
};

// Passes every box to the scripted dialogs, first running a hook: a test uses it to act
// while a box is open, as a timer or the operator could.
class HookedDialogs final : public ForwardingDialogs
{
public:
    using ForwardingDialogs::ForwardingDialogs;
    std::function<void()> onMessage;

    int msgBox(const QString& text, int style, const QString& title) override
    {
        if (onMessage) {
            onMessage();
        }
        return ForwardingDialogs::msgBox(text, style, title);
    }
};

// Swallows a timer's ticks so that a test drives the polling loop by calling its handler.
class TickBlocker : public QObject
{
public:
    bool eventFilter(QObject*, QEvent* event) override { return event->type() == QEvent::Timer; }
};

// The console connected to server PS1 with the queue Sales selected, audit on, and both
// timers held still: the tests call the tick handlers themselves.
class ActionsFixture : public ConsoleFixture
{
protected:
    void SetUp() override
    {
        ConsoleFixture::SetUp();
        printSystem = std::make_unique<RecordingPrintSystem>(std::move(printSystem), printLog);
        addQueue(QStringLiteral("PS1"), QStringLiteral("Sales"), QStringLiteral("Floor 2"));
    }

    FrmMain& open(const QString& extraSettings = QString())
    {
        writeIni(QStringLiteral("[Halvern]\nServer=PS1\nQueue=Sales\nAudit=True\nStartMax=False\n") + extraSettings);
        context = std::make_unique<ConsoleContext>(*printSystem, hookedDialogs, shell, clock, env, processes);
        context->templatePath = QStringLiteral(HLV_BIN_DIR "/hlv.mdb");
        context->programDir = QStringLiteral(HLV_BIN_DIR);
        context->startJobMonitor = false;
        window = std::make_unique<FrmMain>(*context);
        window->Timer1.installEventFilter(&m_blocker);
        window->Timer2.installEventFilter(&m_blocker);
        settle(window->Form_Load());
        settle(*window); // what the start-up set off (AutoQueue's holds, say)
        printLog.calls.clear();
        return *window;
    }

    sim::SimPrintStore& ps1() { return server(QStringLiteral("PS1")); }
    qint64 job(const QString& document, const QString& owner, std::optional<qint64> pages, bool paused = false,
               int minute = 15)
    {
        return addJob(QStringLiteral("PS1"), QStringLiteral("Sales"), document, owner, pages, 2048, paused,
                      QDateTime(QDate(2026, 3, 14), QTime(9, minute, 30)));
    }
    // Reloads the job lists from the server, as a reload of the operator does.
    void reload() { settle(window->RefreshJobList(window->serverBoxText(), QString())); }
    // Selects the queue-list row whose ID column is the job's id.
    void selectJob(qint64 id)
    {
        const QStringList ids = window->JobList->columnTexts(9);
        const int row = static_cast<int>(ids.indexOf(QString::number(id)));
        ASSERT_GE(row, 0) << "job " << id << " not listed";
        window->JobList->selectRow(row);
    }
    PrintJobInfo jobInfo(qint64 id)
    {
        QList<PrintJobInfo> jobs;
        ps1().jobs(jobs);
        for (const PrintJobInfo& j : std::as_const(jobs)) {
            if (j.JobId == id) {
                return j;
            }
        }
        return {};
    }
    bool jobListed(qint64 id)
    {
        QList<PrintJobInfo> jobs;
        ps1().jobs(jobs);
        for (const PrintJobInfo& j : std::as_const(jobs)) {
            if (j.JobId == id) {
                return true;
            }
        }
        return false;
    }
    quint32 queueStatus()
    {
        QList<PrinterInfo> printers;
        ps1().printers(printers, QStringLiteral("PS1"));
        return printers.value(0).Status;
    }
    QString counter(const char* key) const
    {
        return window->iniFile().ReadIni(QStringLiteral("Log Counters"), QString::fromLatin1(key));
    }
    // The transaction key of a job as the queue list shows it.
    static QString keyOf(qint64 id, int minute = 15)
    {
        return QString::number(id) + QStringLiteral("-3/14/2026 9:") + QString::number(minute) +
               QStringLiteral(":30 AM");
    }
    QStringList messageTexts() const
    {
        QStringList out;
        for (const auto& box : dialogs.messages()) {
            out << box.text;
        }
        return out;
    }

    PrintLog printLog;
    HookedDialogs hookedDialogs{dialogs};

private:
    TickBlocker m_blocker;
};

} // namespace hlv::test
