#pragma once
// The arithmetic of the original-file window: scale for a scale mode, scroll
// ranges in units of ten screen pixels, the zoom steps and list, drag-to-zoom
// and the stored window position. Pure functions, tested without a window.

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace viewer::nativeview {

// A scroll bar over a scaled length shown in a view; all values 32-bit.
struct ScrollRange {
    bool enabled = false;
    std::int32_t maximum = 0;
    std::int32_t smallChange = 0;
    std::int32_t largeChange = 0;
};
ScrollRange RangeFor(std::int32_t displayLength, std::int32_t viewLength);

// The scale of one image in one view, and what follows from it.
struct ViewScale {
    float scale = 0.0f;
    std::int32_t dspWidth = 0, dspHeight = 0;
    ScrollRange horizontal, vertical;
};
// mode 0 fit width, 1 fit page (the smaller ratio), 2 keep `current` (0:
// fit width). An image with a zero side has no scale.
std::optional<ViewScale> ScaleFor(int mode, float current, std::int32_t imgWidth,
                                  std::int32_t imgHeight, std::int32_t viewWidth,
                                  std::int32_t viewHeight);

// Scroll offset, in screen pixels, of a bar's value, kept inside the image.
std::int32_t OffsetForBar(std::int32_t barValue, std::int32_t displayLength,
                          std::int32_t viewLength);
// Offset that brings a scaled image position to the view's edge as far as
// the range allows; 0 when the image fits.
std::int32_t OffsetForPoint(float scale, std::int32_t imagePos, std::int32_t displayLength,
                            std::int32_t viewLength);

// One step of Zoom In or Zoom Out; none at scale 0 (the window beeps).
std::optional<float> ZoomStep(float scale, bool zoomIn);

// The zoom a dragged rectangle (image pixels, any corner order) asks for in
// a view; none for a rectangle of 25 pixels or less on both sides.
std::optional<float> DragZoom(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                              std::int32_t viewWidth, std::int32_t viewHeight);

extern const std::array<const char*, 13> kZoomList;
// "125%" for 1.25.
std::string PercentText(float scale);

// A window rectangle in twips.
struct WindowRect {
    std::int32_t left = 0, top = 0, width = 0, height = 0;
    bool operator==(const WindowRect&) const = default;
};
// "left,top,width,height" as stored; none unless all four are numbers and
// the size is positive. The result lies inside the available area.
std::optional<WindowRect> ParseStartPos(const std::string& stored, const WindowRect& available);
std::string FormatStartPos(const WindowRect& rect);

}  // namespace viewer::nativeview
