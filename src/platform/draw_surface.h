#pragma once
// A drawing surface in place of a device context and a picture box: a 32-bit
// RGB image with the drawing state that persists between calls (draw mode,
// fill style and colour, draw style and width, fore colour, selected font).
// Line and box coordinates are twips, as a picture box measures them; text
// and block copies use pixels. Antialiasing is always off, so every pixel a
// routine touches is predictable.

#include <QFont>
#include <QImage>
#include <QPainter>
#include <QPen>

#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// Colours as the system stores them: blue * 65536 + green * 256 + red.
QRgb RgbFromColorRef(std::int32_t color);
std::int32_t ColorRefFromRgb(QRgb rgb);

enum DrawModeValue { kDrawInvert = 6, kDrawMaskPen = 9, kDrawCopyPen = 13 };
enum FillStyleValue {
    kFillSolid = 0,
    kFillTransparent = 1,
    kFillUpwardDiagonal = 4,
    kFillDiagonalCross = 7
};
enum DrawStyleValue { kDrawSolid = 0, kDrawDash = 1 };

// The screen's twips per pixel; 15 at 96 dots per inch.
struct TwipsPerPixel {
    double x = 15.0;
    double y = 15.0;
};
// Taken from the primary screen when a GUI application runs, else 96 dpi.
TwipsPerPixel ScreenTwipsPerPixel();
// Tests fix the value; a zero or negative value returns to the screen's.
void SetScreenTwipsPerPixelForTest(TwipsPerPixel value);

// A font as selected into a surface. valid is false for "no font".
struct SurfaceFont {
    bool valid = false;
    std::string face;
    int cellHeight = 0;  // ascent + descent in pixels
    int escapement = 0;  // tenths of a degree, counter-clockwise
    bool bold = false;
    bool italic = false;
    bool underline = false;
};

class DrawSurface {
  public:
    DrawSurface() = default;
    DrawSurface(int width, int height, std::int32_t backColor = 0xFFFFFF);

    bool IsValid() const { return !image_.isNull(); }
    int Width() const { return image_.width(); }
    int Height() const { return image_.height(); }
    QImage& Image() { return image_; }
    const QImage& Image() const { return image_; }
    // Resizes and clears to the back colour.
    void Resize(int width, int height);
    void Clear();

    // Pixel of the surface as a stored colour value; -1 outside.
    std::int32_t Point(int x, int y) const;

    int DrawMode = kDrawCopyPen;
    int FillStyle = kFillTransparent;
    std::int32_t FillColor = 0;
    int DrawStyle = kDrawSolid;
    int DrawWidth = 1;
    std::int32_t ForeColor = 0;
    std::int32_t BackColor = 0xFFFFFF;
    // Raster capability bits of the device; 0x800 = can stretch bitmaps.
    int RasterCaps = 0x800;

    TwipsPerPixel Twips() const { return twips_; }
    void SetTwips(TwipsPerPixel value) { twips_ = value; }

    // A line from one point to the other in the given colour, in twips.
    void Line(int x1, int y1, int x2, int y2, std::int32_t color);
    // A box between two corners in twips: its outline in the colour and its
    // inside in the fill style and fill colour ("B"); filled == true fills
    // it with the colour whatever the fill style ("BF").
    void Box(int x1, int y1, int x2, int y2, std::int32_t color, bool filled);

    // The selected font; selecting returns the previous one.
    SurfaceFont SelectFont(const SurfaceFont& font);
    const SurfaceFont& SelectedFont() const { return font_; }
    // Text of the selected font in the fore colour, its top-left reference
    // point at (x, y) in pixels, turned by the font's escapement.
    void TextOut(int x, int y, const std::string& text);
    // Width and height of one line of text in the selected font (unturned).
    void TextExtent(const std::string& text, int& width, int& height) const;

    // Copies a picture at its own size to (x, y) in pixels.
    void BitBlt(int x, int y, const QImage& source);

    // Expires when this surface is destroyed, so a holder of a pointer to
    // a surface it does not own can tell whether it may still use it.
    std::weak_ptr<const void> Lifetime() const { return life_.token; }

  private:
    // Every object its own token: a copy or an assignment never takes over
    // another surface's.
    struct LifeToken {
        std::shared_ptr<const char> token = std::make_shared<const char>('\0');
        LifeToken() = default;
        LifeToken(const LifeToken&) : LifeToken() {}
        LifeToken(LifeToken&&) : LifeToken() {}
        LifeToken& operator=(const LifeToken&) { return *this; }
        LifeToken& operator=(LifeToken&&) { return *this; }
    };

    void BeginPainting(QPainter& p);
    QPen PenFor(std::int32_t color) const;
    void HatchWithRasterOp(const QRect& area, Qt::BrushStyle hatch);

    QImage image_;
    SurfaceFont font_;
    TwipsPerPixel twips_ = ScreenTwipsPerPixel();
    LifeToken life_;
};

// A surface someone else owns: reads as null once that surface is gone,
// whatever order its owner destroys things in.
class SurfaceRef {
  public:
    SurfaceRef() = default;
    SurfaceRef(DrawSurface* surface)  // NOLINT: as a plain pointer is set
        : surface_(surface), life_(surface ? surface->Lifetime() : std::weak_ptr<const void>()) {}

    DrawSurface* get() const { return life_.expired() ? nullptr : surface_; }
    explicit operator bool() const { return get() != nullptr; }
    DrawSurface* operator->() const { return get(); }
    DrawSurface& operator*() const { return *get(); }

  private:
    DrawSurface* surface_ = nullptr;
    std::weak_ptr<const void> life_;
};

// The Qt font whose ascent plus descent equals the font's cell height.
QFont QtFontFor(const SurfaceFont& font);

}  // namespace platform
