#pragma once
// The page pane's mouse: the drag in progress (its tool object), where it
// started, which button went down last, and the clip offered next.

#include <cstdint>
#include <memory>
#include <string>

#include "viewer/mouse_tools.h"

namespace viewer {

struct MouseDrawing {
    // The drag in progress and its tool number (a toolbar change or any
    // redisplay clears it, which abandons the drag).
    std::unique_ptr<MouseTool> tool;
    std::int16_t MouseTrack = 0;
    std::int32_t BandStartX = 0, BandStartY = 0;  // image pixels of the mouse-down
    std::int32_t LastMouseX = 0, LastMouseY = 0;  // twips of the mouse-down
    std::int16_t RightButtonDown = 0;
    std::string LastClipText;
    std::int32_t LastClipMode = 1;
};

}  // namespace viewer
