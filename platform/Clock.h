#pragma once

// The clock the program reads today's date and the time from.

#include <QDate>
#include <QDateTime>
#include <QTime>

namespace platform {

// Today's date and the current time, behind an interface so tests can fix them.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDate today() const = 0;
    virtual QTime now() const = 0;
    QDateTime currentDateTime() const { return QDateTime(today(), now()); }
};

class SystemClock final : public Clock
{
public:
    QDate today() const override { return QDate::currentDate(); }
    QTime now() const override { return QTime::currentTime(); }
};

} // namespace platform
