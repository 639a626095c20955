#pragma once
// The page pane's mouse: the drag in progress (its tool object), where it
// started, which button went down last, and the clip offered next.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "viewer/mouse_tools.h"

namespace viewer {

// A move or the release of the pane, in twips, kept to be followed later.
struct HeldMouseEvent {
    bool release = false;
    int x = 0, y = 0;
};

struct MouseDrawing {
    // The drag in progress and its tool number (a toolbar change or any
    // redisplay clears it, which abandons the drag).
    std::unique_ptr<MouseTool> tool;
    std::int16_t MouseTrack = 0;
    std::int32_t BandStartX = 0, BandStartY = 0;  // image pixels of the mouse-down
    std::int32_t LastMouseX = 0, LastMouseY = 0;  // twips of the mouse-down
    std::int16_t RightButtonDown = 0;
    // Set while a mouse-down waits to know the page's lock: the moves and
    // the release that come meanwhile, up to the release, are held here.
    bool holding = false;
    std::vector<HeldMouseEvent> held;
    std::string LastClipText;
    std::int32_t LastClipMode = 1;
};

}  // namespace viewer
