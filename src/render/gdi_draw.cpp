#include <algorithm>

#include "foundation/fields.h"
#include "foundation/number_text.h"
#include "platform/rounding.h"
#include "render/gdi32.h"

namespace mGdi32 {
namespace {

using platform::RoundToInt;

struct ScreenRect {
    std::int32_t left, top, right, bottom;
};

ScreenRect ToScreen(const ImageRect& r, ImageViewTransform& t) {
    ScreenRect s{r.left, r.top, r.right, r.bottom};
    ImageToScreen(s.left, s.top, t);
    ImageToScreen(s.right, s.bottom, t);
    return s;
}

int TwipsX(const platform::DrawSurface& p, std::int32_t x) {
    return RoundToInt(x * p.Twips().x);
}
int TwipsY(const platform::DrawSurface& p, std::int32_t y) {
    return RoundToInt(y * p.Twips().y);
}

void BoxInTwips(platform::DrawSurface& p, const ScreenRect& s, std::int32_t color, bool filled) {
    p.Box(TwipsX(p, s.left), TwipsY(p, s.top), TwipsX(p, s.right), TwipsY(p, s.bottom), color,
          filled);
}

void Order(ScreenRect& s) {
    if (s.left > s.right) std::swap(s.left, s.right);
    if (s.top > s.bottom) std::swap(s.top, s.bottom);
}

// Places a w x h text in the box for its direction.
void Centre(ScreenRect& s, int direction, int w, int h) {
    const double W = s.right - s.left, H = s.bottom - s.top;
    switch (direction) {
        case 1:
            if (w < H) s.top = RoundToInt(s.top + (H - w) / 2);
            if (h < W) s.right = RoundToInt(s.right - (W - h) / 2);
            break;
        case 2:
            if (w < W) s.right = RoundToInt(s.right - (W - w) / 2);
            if (h < H) s.bottom = RoundToInt(s.bottom - (H - h) / 2);
            break;
        case 3:
            if (w < H) s.bottom = RoundToInt(s.bottom - (H - w) / 2);
            if (h < W) s.left = RoundToInt(s.left + (W - h) / 2);
            break;
        default:
            if (w < W) s.left = RoundToInt(s.left + (W - w) / 2);
            if (h < H) s.top = RoundToInt(s.top + (H - h) / 2);
            break;
    }
}

// Draws text in the annotation's font into the box, centred or from its
// starting corner.
void DrawBoxedText(platform::DrawSurface& picture, const std::string& text, AnnotFont& font,
                   ScreenRect s, std::int32_t directionBits, ImageViewTransform& t, bool centre) {
    if (font.face.empty()) font.face = "Arial";
    int height = RoundToInt(static_cast<double>(t.scale) *
                            RoundToInt(static_cast<double>(t.factor) * font.size));
    if (height < 6) height = 6;
    const int direction = TextDirectionFor(directionBits, t.rotation);
    Order(s);
    platform::SurfaceFont created, previous;
    CreateFontForDC(picture, font.face, height, direction, font.style, created, previous);
    if (centre) {
        std::int32_t w = 0, h = 0;
        GetTextWidth(picture, text, w, h);
        Centre(s, direction, w, h);
    }
    DrawTextWrapped(picture, text, direction, s.left, s.top, s.right, s.bottom);
    RestoreFontForDC(picture, created, previous);
}

}  // namespace

void DrawAnnotBox(platform::DrawSurface& picture, std::int32_t color, const ImageRect& rect,
                  ImageViewTransform& t, std::int16_t outline) {
    picture.DrawMode = platform::kDrawMaskPen;
    picture.FillStyle = platform::kFillSolid;
    picture.DrawStyle = platform::kDrawSolid;
    picture.DrawWidth = 1;
    if (outline != 0) {
        picture.FillStyle = platform::kFillUpwardDiagonal;
        color = 0;
    }
    BoxInTwips(picture, ToScreen(rect, t), color, outline == 0);
}

void DrawRubberBandRect(platform::DrawSurface& picture, const ImageRect& rect,
                        ImageViewTransform& t) {
    picture.DrawMode = platform::kDrawInvert;
    picture.FillStyle = platform::kFillTransparent;
    picture.DrawStyle = platform::kDrawSolid;
    picture.DrawWidth = 2;
    BoxInTwips(picture, ToScreen(rect, t), 0, false);
}

void DrawMarkupLine(platform::DrawSurface& picture, std::int32_t color, std::int32_t size,
                    const std::string& points, ImageViewTransform& t, std::int16_t selected) {
    if (t.factor == 0.0f) t.factor = 1.0f;
    int width = 1;
    if (selected != 0) {
        picture.DrawStyle = platform::kDrawDash;
        picture.FillStyle = platform::kFillTransparent;
        picture.DrawMode = platform::kDrawInvert;
        color = 0;
    } else {
        picture.DrawMode = platform::kDrawMaskPen;
        picture.FillStyle = platform::kFillSolid;
        picture.DrawStyle = platform::kDrawSolid;
        if (t.scale == 0.0f) t.scale = 1.0f;
        width = RoundToInt(static_cast<double>(t.factor) * size * t.scale);
    }
    picture.DrawWidth = width < 1 ? 1 : width;

    // A flag, not a zero test, marks the previous point: a vertex that
    // lands on screen row or column 0 still joins its neighbours.
    bool havePrevious = false;
    std::int32_t px = 0, py = 0;
    int pos = 1;
    while (pos != -1) {
        std::string pair = mVBUtil::NextToken(";", points, pos);
        std::int32_t x = RoundToInt(mVBUtil::Val(mVBUtil::GetField(",", pair, 1)));
        std::int32_t y = RoundToInt(mVBUtil::Val(mVBUtil::GetField(",", pair, 2)));
        if (x == 0 || y == 0) continue;
        ImageToScreen(x, y, t);
        if (havePrevious) {
            picture.Line(TwipsX(picture, px), TwipsY(picture, py), TwipsX(picture, x),
                         TwipsY(picture, y), color);
        }
        px = x;
        py = y;
        havePrevious = true;
    }
}

void DrawRedactionLabel(platform::DrawSurface& picture, std::int32_t fillColor,
                        const std::string& label, AnnotFont& font, const ImageRect& rect,
                        std::int32_t directionBits, ImageViewTransform& t, std::int16_t colorMode,
                        std::int16_t fillMode) {
    const int fillStyle = fillMode == 1   ? platform::kFillTransparent
                          : fillMode == 2 ? platform::kFillDiagonalCross
                                          : platform::kFillSolid;
    std::int32_t outline = fillColor;
    if (colorMode == 1) {
        outline = 0;
    } else if (colorMode == 2 && fillStyle == platform::kFillSolid) {
        outline = 0xFFFFFF;
    }
    if (fillStyle != platform::kFillSolid && outline == 0xFFFFFF) outline = 0;

    picture.DrawMode = platform::kDrawCopyPen;
    picture.FillStyle = fillStyle;
    picture.FillColor = fillColor;
    picture.DrawStyle = platform::kDrawSolid;
    picture.DrawWidth = 1;
    ScreenRect s = ToScreen(rect, t);
    BoxInTwips(picture, s, outline, false);

    if (label.empty()) return;
    picture.ForeColor = colorMode == 1 ? 0xFFFFFF : colorMode == 2 ? 0 : font.color;
    DrawBoxedText(picture, label, font, s, directionBits, t, true);
}

void DrawTextAnnotation(platform::DrawSurface& picture, const std::string& text, AnnotFont& font,
                        const ImageRect& rect, std::int32_t directionBits, ImageViewTransform& t,
                        std::int16_t selected, std::int16_t centre) {
    if (text.empty()) return;
    ScreenRect s = ToScreen(rect, t);
    picture.ForeColor = selected != 0 ? 0 : font.color;
    DrawBoxedText(picture, text, font, s, directionBits, t, centre != 0);
}

}  // namespace mGdi32
