#pragma once
// Fonts, text measuring and word wrap, and the drawing primitives of the
// annotation layers, all on a platform::DrawSurface. Every primitive takes
// stored image coordinates and converts them through the view's transform.

#include <cstdint>
#include <string>

#include "platform/draw_surface.h"
#include "render/image_view_transform.h"

namespace mGdi32 {

// FontStyleBits.
constexpr int kFontItalic = 4;
constexpr int kFontBold = 8;
constexpr int kFontUnderline = 16;

// A rectangle in stored image coordinates.
struct ImageRect {
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int32_t right = 0;
    std::int32_t bottom = 0;
};

// Font of a redaction label or a text note.
struct AnnotFont {
    std::string face;
    std::int32_t size = 0;
    std::int32_t style = 0;
    std::int32_t color = 0;
};

// Selects a font whose cell is size * 1.65 pixels high, turned for the
// text direction (0 to 3, quarter turns clockwise). False leaves the
// surface's font as it was and both out values empty.
bool CreateFontForDC(platform::DrawSurface& dc, const std::string& face, std::int32_t size,
                     std::int32_t direction, std::int32_t style, platform::SurfaceFont& newFont,
                     platform::SurfaceFont& previousFont);
void RestoreFontForDC(platform::DrawSurface& dc, const platform::SurfaceFont& newFont,
                      const platform::SurfaceFont& previousFont);
bool GetTextWidth(const platform::DrawSurface& dc, const std::string& text, std::int32_t& width,
                  std::int32_t& height);
void DrawTextWrapped(platform::DrawSurface& dc, const std::string& text, std::int32_t direction,
                     std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2);
bool IsPrinterStretchDib(const platform::DrawSurface& dc);

// Text direction of a rotated annotation on a page shown with the
// transform's rotation; always 0 to 3.
std::int32_t TextDirectionFor(std::int32_t directionBits, std::int32_t viewRotation);

void DrawAnnotBox(platform::DrawSurface& picture, std::int32_t color, const ImageRect& rect,
                  ImageViewTransform& t, std::int16_t outline);
void DrawRubberBandRect(platform::DrawSurface& picture, const ImageRect& rect,
                        ImageViewTransform& t);
void DrawMarkupLine(platform::DrawSurface& picture, std::int32_t color, std::int32_t size,
                    const std::string& points, ImageViewTransform& t, std::int16_t selected);
// An empty face in the font record becomes "Arial" there.
void DrawRedactionLabel(platform::DrawSurface& picture, std::int32_t fillColor,
                        const std::string& label, AnnotFont& font, const ImageRect& rect,
                        std::int32_t directionBits, ImageViewTransform& t, std::int16_t colorMode,
                        std::int16_t fillMode);
void DrawTextAnnotation(platform::DrawSurface& picture, const std::string& text, AnnotFont& font,
                        const ImageRect& rect, std::int32_t directionBits, ImageViewTransform& t,
                        std::int16_t selected, std::int16_t centre);

}  // namespace mGdi32
