#pragma once

// A clock for tests that shows what it was set to.

#include "platform/Clock.h"

namespace platform {

// A clock for tests: it shows what it was set to.
class FixedClock final : public Clock
{
public:
    explicit FixedClock(QDateTime at) : at_(std::move(at)) {}
    QDate today() const override { return at_.date(); }
    QTime now() const override { return at_.time(); }
    void set(const QDateTime &at) { at_ = at; }
    void advanceSeconds(int seconds) { at_ = at_.addSecs(seconds); }

private:
    QDateTime at_;
};

} // namespace platform
