#pragma once

// Monotonic time in seconds, for double-click detection; tests drive their own.
class Clock {
public:
    virtual ~Clock() = default;
    virtual double now() const = 0;
};

class SteadyClock final : public Clock {
public:
    double now() const override;
};
