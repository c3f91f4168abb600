#pragma once

#include <QList>

#include "platform/ProcessControl.h"

namespace hlv::test {

// A process table set by hand; records which processes were asked to end.
class FakeProcessControl final : public ProcessControl
{
public:
    QList<ProcessEntry> processes;
    QList<qint64> terminated;
    bool listFails = false;
    qint64 uid = 1000;

    bool listProcesses(QList<ProcessEntry>& out) override
    {
        if (listFails) {
            return false;
        }
        out = processes;
        return true;
    }
    bool terminate(qint64 pid) override
    {
        terminated.append(pid);
        return true;
    }
    qint64 currentUid() const override { return uid; }
};

} // namespace hlv::test
