#pragma once

namespace mVBUtil {

// The one wait primitive: yields to the event loop until the clock's
// "hh:mm:ss" text has changed n times, so n seconds last between n - 1 and
// n seconds. Returns at once, without yielding, for n < 1.
void WaitSeconds(int n);

}  // namespace mVBUtil
