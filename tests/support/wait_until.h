#pragma once
// A bounded wait for a condition that yields through DoEvents, for tests that
// wait on sockets and other processes.

#include <cstdint>

#include "platform/clock.h"
#include "platform/event_pump.h"

namespace testsupport {

template <typename Pred>
bool WaitUntil(Pred done, int ms = 15000) {
    std::int64_t deadline = platform::CurrentClock().MonotonicMs() + ms;
    while (!done()) {
        if (platform::CurrentClock().MonotonicMs() >= deadline) return false;
        platform::DoEvents();
    }
    return true;
}

}  // namespace testsupport
