#pragma once

#include <QDateTime>

namespace hlv {

// The time of day, from the system or, in tests, set by hand.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock
{
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

} // namespace hlv
