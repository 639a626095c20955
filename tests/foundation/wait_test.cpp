#include "foundation/wait.h"

#include <gtest/gtest.h>

#include "platform/clock.h"
#include "platform/event_pump.h"

namespace {

TEST(WaitSeconds, CountsChangesOfTheClockSecondWhileYielding) {
    platform::ManualClock clock;
    platform::ScopedClock useClock(clock);
    platform::CallbackEventPump pump([&] { clock.AdvanceMs(400); });
    platform::ScopedEventPump usePump(pump);

    mVBUtil::WaitSeconds(3);
    EXPECT_EQ(clock.MonotonicMs(), 3200);  // changes at 1.2 s, 2.0 s and 3.2 s
    EXPECT_EQ(pump.Yields(), 8);
}

TEST(WaitSeconds, ALongHandlerCountsAsOneChange) {
    platform::ManualClock clock;
    platform::ScopedClock useClock(clock);
    platform::CallbackEventPump pump([&] { clock.AdvanceSeconds(5); });
    platform::ScopedEventPump usePump(pump);

    mVBUtil::WaitSeconds(2);
    EXPECT_EQ(pump.Yields(), 2);
}

TEST(WaitSeconds, ReturnsAtOnceForNothingToWait) {
    platform::ManualClock clock;
    platform::ScopedClock useClock(clock);
    platform::CallbackEventPump pump([&] { clock.AdvanceSeconds(1); });
    platform::ScopedEventPump usePump(pump);

    mVBUtil::WaitSeconds(0);
    mVBUtil::WaitSeconds(-3);
    EXPECT_EQ(pump.Yields(), 0);
}

}  // namespace
