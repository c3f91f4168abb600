#pragma once

// Small steps the job actions, queue actions, polling loop and automation share. They work
// on the main window's public state only.

#include <optional>

#include <QList>
#include <QSet>
#include <QString>

#include "console/ui/JobActionRules.h"
#include "platform/PrintSystem.h"

namespace hlv {

class FrmMain;
struct JobRow;

namespace actions {

// While it lives, the action named is marked as waiting for its server; refused() when the
// same action was already waiting (pressed again, or started by a tick, meanwhile): it
// would act on and record the same jobs a second time.
class ActionInProgress
{
public:
    ActionInProgress(QSet<QString>& waiting, QString name)
        : m_waiting(waiting)
        , m_name(std::move(name))
        , m_refused(waiting.contains(m_name))
    {
        m_waiting.insert(m_name);
    }
    ~ActionInProgress()
    {
        if (!m_refused) {
            m_waiting.remove(m_name);
        }
    }
    ActionInProgress(const ActionInProgress&) = delete;
    ActionInProgress& operator=(const ActionInProgress&) = delete;
    bool refused() const { return m_refused; }

private:
    QSet<QString>& m_waiting;
    QString m_name;
    bool m_refused;
};

// A queue-list row as the job actions read it (sub-items 1 Description ... 10 Name).
JobRowValues rowValues(const JobRow& row);
// The row selected in the queue's job list, read afresh; nothing when none is selected.
std::optional<JobRowValues> selectedRow(const FrmMain& w);

// Panel 1 of the status bar: the action text followed by the time of day.
void showStatus(FrmMain& w, QLatin1String text);

// The name operations use for the queue the window holds in CurrentQueue.
QString queueName(const FrmMain& w);

// Raise SessionDeleted/SessionPrinted and the matching counter of the settings file by a
// job's pages; a page count that is not a number changes nothing.
void countDeletedPages(FrmMain& w, const QString& pages);
void countPrintedPages(FrmMain& w, const QString& pages);
// The same for the pages of many jobs at once (an action on every job of a queue).
void countDeletedPages(FrmMain& w, const QStringList& pages);
void countPrintedPages(FrmMain& w, const QStringList& pages);

// Writes a job's job-log fields in order, in one write; a field that cannot be written is
// skipped.
void writeJobLogFields(FrmMain& w, const QString& transactionId, const QList<JobLogField>& fields);

// Sets Timer2's interval from a polling setting; a setting that is not a positive number
// leaves the interval as it was.
void setPollInterval(FrmMain& w, const QString& setting);
// Stops Timer2, sets its interval from the setting and starts it again.
void restartPollTimer(FrmMain& w, const QString& setting);

} // namespace actions
} // namespace hlv
