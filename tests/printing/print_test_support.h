#pragma once
// Pages and measurements shared by the print engine's tests.

#include <QRect>

#include <cstdint>
#include <string>

#include "platform/draw_surface.h"
#include "platform/rounding.h"
#include "viewer/gdi32.h"

namespace printtest {

// Every test font is fixed-width, so a text's width is its length times
// one character's.
inline constexpr const char* kMono = "Liberation Mono";

// A white page image of w x h pixels with a black frame one pixel wide.
inline platform::DrawSurface FramedPage(int w, int h) {
    platform::DrawSurface page(w, h);
    QImage& img = page.Image();
    for (int x = 0; x < w; ++x) img.setPixel(x, 0, 0xFF000000u), img.setPixel(x, h - 1, 0xFF000000u);
    for (int y = 0; y < h; ++y) img.setPixel(0, y, 0xFF000000u), img.setPixel(w - 1, y, 0xFF000000u);
    return page;
}

// Line height and one character's width of the mono face at a size in
// points at resolution R, as the engine makes its fonts.
inline void MonoMetrics(int points, int resolution, int& charWidth, int& lineHeight) {
    platform::DrawSurface dc(10, 10);
    platform::SurfaceFont f, old;
    mGdi32::CreateFontForDC(dc, kMono, platform::RoundToInt(points * resolution / 100.0), 0, 0,
                            f, old);
    std::int32_t w = 0, h = 0;
    mGdi32::GetTextWidth(dc, "MMMMMMMMMM", w, h);
    charWidth = w / 10;
    lineHeight = h;
}

// Width of a text in the mono face at a size in points at resolution R.
inline int MonoWidth(int points, int resolution, const std::string& text) {
    platform::DrawSurface dc(10, 10);
    platform::SurfaceFont f, old;
    mGdi32::CreateFontForDC(dc, kMono, platform::RoundToInt(points * resolution / 100.0), 0, 0,
                            f, old);
    std::int32_t w = 0, h = 0;
    mGdi32::GetTextWidth(dc, text, w, h);
    return w;
}

// The smallest rectangle holding every pixel darker than mid grey inside
// the area; empty when there is none.
inline QRect InkBox(const QImage& img, const QRect& area) {
    QRect box;
    const QRect a = area.intersected(img.rect());
    for (int y = a.top(); y <= a.bottom(); ++y) {
        for (int x = a.left(); x <= a.right(); ++x) {
            if (qGray(img.pixel(x, y)) < 128) box |= QRect(x, y, 1, 1);
        }
    }
    return box;
}

}  // namespace printtest
