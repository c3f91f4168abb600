#include "console/ui/FrmMain_ActionSupport.h"

#include "console/access/WMILiveView.h"
#include "console/ui/ConsoleContext.h"
#include "console/ui/FrmMain.h"
#include "console/ui/JobListWidget.h"
#include "console/ui/QueueAutomation.h"
#include "store/IniFile.h"
#include "store/JobLogStore.h"
#include "store/JobLogTable.h"

namespace hlv::actions {

JobRowValues rowValues(const JobRow& row)
{
    const auto sub = [&row](int index) {
        return row.subItems.value(index - 1);
    };
    JobRowValues v;
    v.Status = row.text;
    v.Description = sub(1);
    v.Computer = sub(2);
    v.User = sub(3);
    v.Pages = sub(4);
    v.Printed = sub(5);
    v.Priority = sub(6);
    v.Size = sub(7);
    v.Submitted = sub(8);
    v.ID = sub(9);
    v.Name = sub(10);
    return v;
}

std::optional<JobRowValues> selectedRow(const FrmMain& w)
{
    const int index = w.JobList->selectedRow();
    if (index < 0 || index >= w.JobList->rowCount()) {
        return std::nullopt;
    }
    return rowValues(w.JobList->row(index));
}

void showStatus(FrmMain& w, QLatin1String text)
{
    w.setStatusPanelText(1, QString(text) + w.timeText());
}

QString queueName(const FrmMain& w)
{
    return w.CurrentQueue ? w.CurrentQueue->queueName() : QString();
}

void countDeletedPages(FrmMain& w, const QString& pages)
{
    addDeletedPages(w.SessionDeleted, pages);
    if (const auto add = pagesValue(pages)) {
        addToLogCounter(w.iniFile(), QString(ActionText::DeletedCounter), *add);
    }
}

void countDeletedPages(FrmMain& w, const QStringList& pages)
{
    // The settings file is written once for all of them.
    double total = 0;
    bool any = false;
    for (const QString& p : pages) {
        addDeletedPages(w.SessionDeleted, p);
        if (const auto add = pagesValue(p)) {
            total += *add;
            any = true;
        }
    }
    if (any) {
        addToLogCounter(w.iniFile(), QString(ActionText::DeletedCounter), total);
    }
}

void countPrintedPages(FrmMain& w, const QStringList& pages)
{
    double total = 0;
    bool any = false;
    for (const QString& p : pages) {
        addPrintedPages(w.SessionPrinted, p);
        if (const auto add = pagesValue(p)) {
            total += *add;
            any = true;
        }
    }
    if (any) {
        addToLogCounter(w.iniFile(), QString(ActionText::PrintedCounter), total);
    }
}

void countPrintedPages(FrmMain& w, const QString& pages)
{
    addPrintedPages(w.SessionPrinted, pages);
    if (const auto add = pagesValue(pages)) {
        addToLogCounter(w.iniFile(), QString(ActionText::PrintedCounter), *add);
    }
}

void writeJobLogFields(FrmMain& w, const QString& transactionId, const QList<JobLogField>& fields)
{
    // One write for the job's fields: each field alone would open, commit and close the log.
    joblog::JobEntry entry{transactionId, {}};
    for (const JobLogField& f : fields) {
        entry.fields.append({f.field, f.value});
    }
    w.jobLog().LogJobsFields({entry});
}

void setPollInterval(FrmMain& w, const QString& setting)
{
    if (const auto interval = intervalFromSetting(setting)) {
        w.Timer2.setInterval(*interval);
    }
}

void restartPollTimer(FrmMain& w, const QString& setting)
{
    if (w.isUnloaded()) {
        return; // a step that went on after the close arms nothing
    }
    w.Timer2.stop();
    setPollInterval(w, setting);
    w.Timer2.start();
}

} // namespace hlv::actions
