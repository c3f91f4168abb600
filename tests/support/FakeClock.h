#pragma once

#include "platform/Clock.h"

namespace hlv::test {

class FakeClock : public Clock
{
public:
    explicit FakeClock(QDateTime start = QDateTime(QDate(2026, 3, 14), QTime(9, 30, 0)))
        : current(std::move(start))
    {}
    QDateTime now() const override { return current; }
    void advance(qint64 seconds) { current = current.addSecs(seconds); }

    QDateTime current;
};

} // namespace hlv::test
