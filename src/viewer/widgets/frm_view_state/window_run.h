#pragma once
// The window's own run: whether it has loaded, the behaviour flags a caller
// gave it, the command messages waiting and the page's temporary file.

#include <cstdint>
#include <string>

#include "viewer/command_messages.h"

namespace viewer {

struct WindowRun {
    std::int16_t MainFormLoaded = 0;
    // Bits that turn features off (ResetBehavior).
    std::int32_t lBehaviorFlags = 0;
    std::int16_t AbortNow = 0;
    std::int16_t MessageInProcess = 0;
    modView::MessageQueue MessageQueue;
    // The one file every page goes through.
    std::string szTempFname;
};

}  // namespace viewer
