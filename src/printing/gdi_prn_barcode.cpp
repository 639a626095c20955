// The image key as a Code 39 bar code with the key text under it.

#include <algorithm>
#include <cstring>

#include "platform/rounding.h"
#include "printing/gdi_prn.h"
#include "render/gdi32.h"

namespace {

using platform::RoundToInt;

// Code 39 characters, their bars and spaces from the start: n narrow, w wide.
struct Code39Char {
    char c;
    const char* elements;
};
constexpr Code39Char kCode39[] = {
    {'0', "nnnwwnwnn"}, {'1', "wnnwnnnnw"}, {'2', "nnwwnnnnw"}, {'3', "wnwwnnnnn"},
    {'4', "nnnwwnnnw"}, {'5', "wnnwwnnnn"}, {'6', "nnwwwnnnn"}, {'7', "nnnwnnwnw"},
    {'8', "wnnwnnwnn"}, {'9', "nnwwnnwnn"}, {'A', "wnnnnwnnw"}, {'B', "nnwnnwnnw"},
    {'C', "wnwnnwnnn"}, {'D', "nnnnwwnnw"}, {'E', "wnnnwwnnn"}, {'F', "nnwnwwnnn"},
    {'G', "nnnnnwwnw"}, {'H', "wnnnnwwnn"}, {'I', "nnwnnwwnn"}, {'J', "nnnnwwwnn"},
    {'K', "wnnnnnnww"}, {'L', "nnwnnnnww"}, {'M', "wnwnnnnwn"}, {'N', "nnnnwnnww"},
    {'O', "wnnnwnnwn"}, {'P', "nnwnwnnwn"}, {'Q', "nnnnnnwww"}, {'R', "wnnnnnwwn"},
    {'S', "nnwnnnwwn"}, {'T', "nnnnwnwwn"}, {'U', "wwnnnnnnw"}, {'V', "nwwnnnnnw"},
    {'W', "wwwnnnnnn"}, {'X', "nwnnwnnnw"}, {'Y', "wwnnwnnnn"}, {'Z', "nwwnwnnnn"},
    {'-', "nwnnnnwnw"}, {'.', "wwnnnnwnn"}, {'/', "nwnwnnnwn"}, {'+', "nwnnnwnwn"},
    {'%', "nnnwnwnwn"}, {'*', "nwnnwnwnn"},
};
constexpr const char* kSpaceElements = "nwwnnnwnn";

std::uint16_t PatternOf(const char* elements) {
    std::uint16_t bits = 0;
    int module = 0;
    for (int i = 0; i < 9; ++i) {
        const int width = elements[i] == 'w' ? 3 : 1;
        if (i % 2 == 0) {
            for (int k = 0; k < width; ++k) bits |= static_cast<std::uint16_t>(1u << (module + k));
        }
        module += width;
    }
    return bits;
}

std::uint16_t PatternOfChar(char c) {
    for (const Code39Char& e : kCode39) {
        if (e.c == c) return PatternOf(e.elements);
    }
    return 0;
}

struct BarSizes {
    std::int32_t cw, m, g;
};

BarSizes SizesFor(std::int32_t resolution, std::int32_t size) {
    const std::int32_t s = std::clamp<std::int32_t>(size, 8, 100);
    const float perChar = static_cast<float>(resolution) * s / 100.0f / 15.0f;
    BarSizes z;
    z.cw = std::max(RoundToInt(perChar) * 15, 15);
    z.m = RoundToInt(z.cw / 15.0);
    z.g = std::max(RoundToInt(z.cw / 4.0), 2);
    return z;
}

}  // namespace

void cGdiPrn::InitBarCodeTable() {
    const std::uint16_t dash = PatternOfChar('-');
    barCodeTable_.fill(dash);
    for (const Code39Char& e : kCode39) {
        barCodeTable_[static_cast<unsigned char>(e.c)] = PatternOf(e.elements);
    }
    barCodeTable_[static_cast<unsigned char>(',')] = PatternOf(kSpaceElements);
    barCodeTable_[static_cast<unsigned char>('_')] = PatternOfChar('/');
    barCodeTable_[static_cast<unsigned char>('&')] = PatternOfChar('+');
    barCodeTable_[static_cast<unsigned char>(' ')] = dash;
    barCodeTable_[static_cast<unsigned char>('$')] = dash;
}

std::uint16_t cGdiPrn::BarCodePattern(int code) {
    if (barCodeTable_[0] == 0) InitBarCodeTable();
    if (code < 0 || code > 255) return barCodeTable_[static_cast<unsigned char>('-')];
    return barCodeTable_[code];
}

// The reservation covers the module gap after every character, so the
// symbol ends inside its box.
void cGdiPrn::BarCodeWidth(const std::string& key, std::int32_t resolution, std::int32_t size,
                           std::int32_t& width) const {
    const BarSizes z = SizesFor(resolution, size);
    width = (static_cast<std::int32_t>(key.size()) + 2) * (z.cw + z.m);
}

void cGdiPrn::BarCodeHeight(const std::string&, std::int32_t resolution, std::int32_t size,
                            std::int32_t& height) const {
    height = 2 * SizesFor(resolution, size).cw;
}

void cGdiPrn::DrawBarCode(platform::DrawSurface& surface, const std::string& key, std::int32_t x1,
                          std::int32_t y1, std::int32_t x2, std::int32_t y2,
                          const std::string& face, std::int32_t size, std::int32_t resolution,
                          std::int32_t rotation, bool withText) {
    if (key.empty()) return;
    if (x1 > x2) std::swap(x1, x2);
    if (y1 > y2) std::swap(y1, y2);
    const BarSizes z = SizesFor(resolution, size);
    const std::int32_t barLength = withText ? z.cw : z.cw + 2 * z.g;

    surface.DrawMode = platform::kDrawCopyPen;
    surface.FillStyle = platform::kFillSolid;
    surface.DrawWidth = 1;
    surface.ForeColor = 0;
    surface.BackColor = 0xFFFFFF;
    const platform::TwipsPerPixel tw = surface.Twips();
    // One module's bar at offset o along the symbol, across its bar span.
    auto bar = [&](std::int32_t o) {
        const std::int32_t along2 = o + z.m - 1;
        std::int32_t l, t, r, b;
        switch (rotation) {
            case 1:
                l = x2 - z.g - barLength + 1, r = x2 - z.g, t = y1 + o, b = y1 + along2;
                break;
            case 2:
                l = x2 - along2, r = x2 - o, t = y2 - z.g - barLength + 1, b = y2 - z.g;
                break;
            case 3:
                l = x1 + z.g, r = x1 + z.g + barLength - 1, t = y2 - along2, b = y2 - o;
                break;
            default:
                l = x1 + o, r = x1 + along2, t = y1 + z.g, b = y1 + z.g + barLength - 1;
                break;
        }
        surface.Box(RoundToInt(l * tw.x), RoundToInt(t * tw.y), RoundToInt(r * tw.x),
                    RoundToInt(b * tw.y), 0, true);
    };

    std::string symbol = "*";
    for (char c : key) symbol += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    symbol += "*";
    std::int32_t o = 0;
    for (unsigned char c : symbol) {
        const std::uint16_t pattern = BarCodePattern(c);
        for (int bit = 0; bit < 15; ++bit) {
            if (pattern & (1u << bit)) bar(o);
            o += z.m;
        }
        o += z.m;
    }

    if (!withText) return;
    const std::int32_t textSize =
        std::max(RoundToInt(RoundToInt(std::clamp<std::int32_t>(size, 8, 100) / 2.0) *
                            static_cast<double>(resolution) / 100.0),
                 8);
    platform::SurfaceFont newFont, oldFont;
    mGdi32::CreateFontForDC(surface, face.empty() ? "Arial" : face, textSize, rotation, 0, newFont,
                            oldFont);
    const std::int32_t shift = z.cw + z.g;
    switch (rotation) {
        case 1:
            mGdi32::DrawTextWrapped(surface, key, rotation, x1, y1, x2 - shift, y2);
            break;
        case 2:
            mGdi32::DrawTextWrapped(surface, key, rotation, x1, y1, x2, y2 - shift);
            break;
        case 3:
            mGdi32::DrawTextWrapped(surface, key, rotation, x1 + shift, y1, x2, y2);
            break;
        default:
            mGdi32::DrawTextWrapped(surface, key, rotation, x1, y1 + shift, x2, y2);
            break;
    }
    mGdi32::RestoreFontForDC(surface, newFont, oldFont);
}
