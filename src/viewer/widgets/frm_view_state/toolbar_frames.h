#pragma once
// The frames of the window's five toolbars: per toolbar, whether a hover or
// pressed frame is drawn and around which button (the index is kept when the
// frame goes).

#include <cstdint>

namespace viewer {

struct ToolbarFrames {
    std::int16_t TbarFrame = 0, TbarFrameIdx = 0;
    std::int16_t NavTBarFrame = 0, NavTBarFrameIdx = 0;
    std::int16_t MiscTBarFrame = 0, MiscTBarFrameIdx = 0;
    std::int16_t TBQueryFrame = 0, TBQueryFrameIdx = 0;
    std::int16_t TBTagFrame = 0, TBTagFrameIdx = 0;
};

}  // namespace viewer
