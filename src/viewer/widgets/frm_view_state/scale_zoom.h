#pragma once
// How the page is scaled and scrolled, and the zoom window beneath it.

#include <cstdint>

namespace viewer {

struct ScaleAndZoom {
    float g_ScaleFactor = 0.0f;
    std::int16_t g_ScaleMode = 0;
    std::int32_t g_DspWidth = 0, g_DspHeight = 0;
    std::int32_t g_Hscroll = 0, g_Vscroll = 0;
    std::int16_t ZoomWin_Active = 0;
    float ZoomWin_Scale = 0.0f;
    std::int32_t ZoomWin_X = 0, ZoomWin_Y = 0;
    // The splitter above the zoom window.
    std::int32_t ZoomBarPosn = 0;
    std::int16_t ZoomBar_Drag = 0;
    float ZoomBarRatio = 0.0f;
};

}  // namespace viewer
