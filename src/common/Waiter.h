#pragma once
// The fixed waits and every timer interval go through one injectable waiter, so the
// program uses the real durations and tests use none.
#include <chrono>

namespace velmora {

class IWaiter {
public:
    virtual ~IWaiter() = default;
    // Blocks the calling thread for the given time (the program's fixed waits).
    virtual void Wait(std::chrono::milliseconds duration) = 0;
    // The interval a timer of the given nominal length should really run with.
    virtual std::chrono::milliseconds TimerInterval(std::chrono::milliseconds nominal) const = 0;
};

class RealWaiter final : public IWaiter {
public:
    void Wait(std::chrono::milliseconds duration) override;
    std::chrono::milliseconds TimerInterval(std::chrono::milliseconds nominal) const override { return nominal; }
};

// Waits nothing and shortens every timer to zero: for tests.
class NoWaiter final : public IWaiter {
public:
    void Wait(std::chrono::milliseconds) override { ++waits; }
    std::chrono::milliseconds TimerInterval(std::chrono::milliseconds) const override
    {
        return std::chrono::milliseconds(0);
    }
    int waits = 0;
};

} // namespace velmora
