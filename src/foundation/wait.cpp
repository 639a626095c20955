#include "foundation/wait.h"

#include <string>

#include "platform/clock.h"
#include "platform/event_pump.h"

namespace mVBUtil {

void WaitSeconds(int n) {
    std::string last = platform::CurrentClock().TimeText();
    while (n >= 1) {
        platform::DoEvents();
        std::string now = platform::CurrentClock().TimeText();
        if (now != last) {
            last = now;
            --n;
        }
    }
}

}  // namespace mVBUtil
