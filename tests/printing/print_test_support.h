#pragma once
// Pages and measurements shared by the print engine's tests.

#include <QRect>

#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "platform/draw_surface.h"
#include "platform/rounding.h"
#include "render/gdi32.h"

namespace printtest {

// Every test font is fixed-width, so a text's width is its length times
// one character's.
inline constexpr const char* kMono = "Liberation Mono";

// A white page image of w x h pixels with a black frame one pixel wide.
inline platform::DrawSurface FramedPage(int w, int h) {
    platform::DrawSurface page(w, h);
    QImage& img = page.Image();
    for (int x = 0; x < w; ++x)
        img.setPixel(x, 0, 0xFF000000u), img.setPixel(x, h - 1, 0xFF000000u);
    for (int y = 0; y < h; ++y)
        img.setPixel(0, y, 0xFF000000u), img.setPixel(w - 1, y, 0xFF000000u);
    return page;
}

// Line height and one character's width of the mono face at a size in
// points at resolution R, as the engine makes its fonts.
inline void MonoMetrics(int points, int resolution, int& charWidth, int& lineHeight) {
    platform::DrawSurface dc(10, 10);
    platform::SurfaceFont f, old;
    mGdi32::CreateFontForDC(dc, kMono, platform::RoundToInt(points * resolution / 100.0), 0, 0, f,
                            old);
    std::int32_t w = 0, h = 0;
    mGdi32::GetTextWidth(dc, "MMMMMMMMMM", w, h);
    charWidth = w / 10;
    lineHeight = h;
}

// Width of a text in the mono face at a size in points at resolution R.
inline int MonoWidth(int points, int resolution, const std::string& text) {
    platform::DrawSurface dc(10, 10);
    platform::SurfaceFont f, old;
    mGdi32::CreateFontForDC(dc, kMono, platform::RoundToInt(points * resolution / 100.0), 0, 0, f,
                            old);
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

// Code 39 as published: bar, space, bar, ... for each character.
inline const std::map<std::string, char>& Symbology() {
    static const std::map<std::string, char> table = {
        {"nnnwwnwnn", '0'}, {"wnnwnnnnw", '1'}, {"nnwwnnnnw", '2'}, {"wnwwnnnnn", '3'},
        {"nnnwwnnnw", '4'}, {"wnnwwnnnn", '5'}, {"nnwwwnnnn", '6'}, {"nnnwnnwnw", '7'},
        {"wnnwnnwnn", '8'}, {"nnwwnnwnn", '9'}, {"wnnnnwnnw", 'A'}, {"nnwnnwnnw", 'B'},
        {"wnwnnwnnn", 'C'}, {"nnnnwwnnw", 'D'}, {"wnnnwwnnn", 'E'}, {"nnwnwwnnn", 'F'},
        {"nnnnnwwnw", 'G'}, {"wnnnnwwnn", 'H'}, {"nnwnnwwnn", 'I'}, {"nnnnwwwnn", 'J'},
        {"wnnnnnnww", 'K'}, {"nnwnnnnww", 'L'}, {"wnwnnnnwn", 'M'}, {"nnnnwnnww", 'N'},
        {"wnnnwnnwn", 'O'}, {"nnwnwnnwn", 'P'}, {"nnnnnnwww", 'Q'}, {"wnnnnnwwn", 'R'},
        {"nnwnnnwwn", 'S'}, {"nnnnwnwwn", 'T'}, {"wwnnnnnnw", 'U'}, {"nwwnnnnnw", 'V'},
        {"wwwnnnnnn", 'W'}, {"nwnnwnnnw", 'X'}, {"wwnnwnnnn", 'Y'}, {"nwwnwnnnn", 'Z'},
        {"nwnnnnwnw", '-'}, {"wwnnnnwnn", '.'}, {"nwwnnnwnn", ' '}, {"nwnwnwnnn", '$'},
        {"nwnwnnnwn", '/'}, {"nwnnnwnwn", '+'}, {"nnnwnwnwn", '%'}, {"nwnnwnwnn", '*'},
    };
    return table;
}

// Reads the symbol from dark/light samples along the reading direction.
inline std::string DecodeCode39(const std::vector<bool>& dark) {
    std::vector<int> runs;
    std::size_t i = 0;
    while (i < dark.size() && !dark[i]) ++i;
    while (i < dark.size()) {
        const bool colour = dark[i];
        int n = 0;
        while (i < dark.size() && dark[i] == colour) ++n, ++i;
        runs.push_back(n);
    }
    if (!runs.empty() && runs.size() % 2 == 0) runs.pop_back();  // trailing light
    if (runs.empty()) return "";
    const int narrow = *std::min_element(runs.begin(), runs.end());
    std::string text;
    for (std::size_t c = 0; c + 9 <= runs.size(); c += 10) {
        std::string elements;
        for (std::size_t k = c; k < c + 9; ++k) elements += runs[k] >= 2 * narrow ? 'w' : 'n';
        auto it = Symbology().find(elements);
        text += it == Symbology().end() ? '?' : it->second;
    }
    return text;
}

}  // namespace printtest
