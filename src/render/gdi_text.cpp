#include <algorithm>

#include "foundation/fields.h"
#include "platform/rounding.h"
#include "render/gdi32.h"

namespace mGdi32 {

bool CreateFontForDC(platform::DrawSurface& dc, const std::string& face, std::int32_t size,
                     std::int32_t direction, std::int32_t style, platform::SurfaceFont& newFont,
                     platform::SurfaceFont& previousFont) {
    newFont = platform::SurfaceFont{};
    previousFont = platform::SurfaceFont{};
    if (!dc.IsValid()) return false;
    platform::SurfaceFont font;
    font.valid = true;
    font.face = face.substr(0, 31);
    font.cellHeight = platform::RoundToInt(size * 1.65);
    switch (direction) {
        case 1:
            font.escapement = 2700;
            break;
        case 2:
            font.escapement = 1800;
            break;
        case 3:
            font.escapement = 900;
            break;
        default:
            font.escapement = 0;
            break;
    }
    font.bold = (style & kFontBold) != 0;
    font.italic = (style & kFontItalic) != 0;
    font.underline = (style & kFontUnderline) != 0;
    previousFont = dc.SelectFont(font);
    newFont = font;
    return true;
}

void RestoreFontForDC(platform::DrawSurface& dc, const platform::SurfaceFont& newFont,
                      const platform::SurfaceFont& previousFont) {
    if (previousFont.valid || newFont.valid) dc.SelectFont(previousFont);
}

bool GetTextWidth(const platform::DrawSurface& dc, const std::string& text, std::int32_t& width,
                  std::int32_t& height) {
    int w = 0, h = 0;
    dc.TextExtent(text, w, h);
    width = w;
    height = h;
    return width > 0 && height > 0;
}

namespace {

int WidthOf(const platform::DrawSurface& dc, const std::string& text) {
    if (text.empty()) return 0;
    std::int32_t w = 0, h = 0;
    GetTextWidth(dc, text, w, h);
    return w;
}

// Moves characters from the end of text to the front of rest until it fits.
void SpillToFit(const platform::DrawSurface& dc, std::string& text, std::string& rest, int room) {
    while (!text.empty() && WidthOf(dc, text) > room) {
        rest.insert(rest.begin(), text.back());
        text.pop_back();
    }
}

void NextLine(int direction, int h, int& x, int& y) {
    switch (direction) {
        case 1:
            x -= h;
            break;
        case 2:
            y -= h;
            break;
        case 3:
            x += h;
            break;
        default:
            y += h;
            break;
    }
}

}  // namespace

void DrawTextWrapped(platform::DrawSurface& dc, const std::string& text, std::int32_t direction,
                     std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2) {
    std::int32_t w = 0, h = 0;
    if (!GetTextWidth(dc, text, w, h)) return;
    if (direction < 0 || direction > 3) direction = 0;
    const int left = std::min(x1, x2), right = std::max(x1, x2);
    const int top = std::min(y1, y2), bottom = std::max(y1, y2);
    int x = left, y = top, L = right - left, D = bottom - top;
    switch (direction) {
        case 1:
            x = right;
            y = top;
            L = bottom - top;
            D = right - left;
            break;
        case 2:
            x = right;
            y = bottom;
            L = right - left;
            D = bottom - top;
            break;
        case 3:
            x = left;
            y = bottom;
            L = bottom - top;
            D = right - left;
            break;
        default:
            break;
    }
    if (w <= L) {
        dc.TextOut(x, y, text);
        return;
    }
    if (2 * h > D) {
        // One line only: the longest prefix that fits.
        std::size_t n = 0;
        while (n < text.size() && WidthOf(dc, text.substr(0, n + 1)) <= L) ++n;
        if (n > 0) dc.TextOut(x, y, text.substr(0, n));
        return;
    }

    std::string line, rest;
    int lineWidth = 0, depth = 0;
    const int words = mVBUtil::CountFields(" ", text);
    for (int i = 1; i <= words; ++i) {
        std::string word = mVBUtil::GetField(" ", text, i) + " ";
        if (!rest.empty()) {
            word = rest + word;
            rest.clear();
        }
        SpillToFit(dc, word, rest, L);
        int wordWidth = WidthOf(dc, word);
        if (lineWidth + wordWidth < L) {
            line += word;
            lineWidth += wordWidth;
            continue;
        }
        if (line.empty()) {
            line = word;
            word.clear();
        }
        dc.TextOut(x, y, line);
        line = word;
        lineWidth = WidthOf(dc, word);
        depth += h;
        if (depth >= D) break;
        NextLine(direction, h, x, y);
    }
    if (depth < D) {
        if (!rest.empty()) {
            line += rest;
            rest.clear();
        }
        if (!line.empty()) {
            SpillToFit(dc, line, rest, L);
            dc.TextOut(x, y, line);
            NextLine(direction, h, x, y);
            depth += h;
            if (!rest.empty() && depth < D) {
                while (!rest.empty() && WidthOf(dc, rest) > L) rest.pop_back();
                dc.TextOut(x, y, rest);
            }
        }
    }
}

bool IsPrinterStretchDib(const platform::DrawSurface& dc) {
    return (dc.RasterCaps & 0x800) != 0;
}

std::int32_t TextDirectionFor(std::int32_t directionBits, std::int32_t viewRotation) {
    std::int32_t fromBits = 0;
    if (directionBits == 3) {
        fromBits = 3;
    } else {
        if (directionBits & 1) fromBits = 1;
        if (directionBits & 2) fromBits = 2;
        if (directionBits & 4) fromBits = 3;
    }
    std::int32_t direction = viewRotation - fromBits;
    if (direction < 0) direction += 4;
    return (direction < 0 || direction > 3) ? 0 : direction;
}

}  // namespace mGdi32
