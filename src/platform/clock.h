#pragma once
// The wall clock the cooperative waits watch. Tests install a manual clock so
// that a wait of several seconds costs no real time.

#include <cstdint>
#include <string>

namespace platform {

class Clock {
public:
    virtual ~Clock() = default;
    // Local time as "hh:mm:ss".
    virtual std::string TimeText() = 0;
    // Milliseconds from an arbitrary origin; never goes backwards.
    virtual std::int64_t MonotonicMs() = 0;
};

Clock& CurrentClock();

// Installs a clock for the lifetime of the object (tests).
class ScopedClock {
public:
    explicit ScopedClock(Clock& clock);
    ~ScopedClock();
    ScopedClock(const ScopedClock&) = delete;
    ScopedClock& operator=(const ScopedClock&) = delete;

private:
    Clock* previous_;
};

// A clock that moves only when told to.
class ManualClock : public Clock {
public:
    std::string TimeText() override;
    std::int64_t MonotonicMs() override { return ms_; }
    void AdvanceMs(std::int64_t ms) { ms_ += ms; }
    void AdvanceSeconds(int seconds) { ms_ += 1000LL * seconds; }

private:
    std::int64_t ms_ = 0;
};

}  // namespace platform
