#include "platform/draw_surface.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPainter>
#include <QPolygon>
#include <QScreen>

#include <map>
#include <tuple>

#include "platform/rounding.h"
#include "platform/text_codec.h"

namespace platform {
namespace {

TwipsPerPixel g_testTwips{0.0, 0.0};

QColor ToQColor(std::int32_t color) {
    return QColor(RgbFromColorRef(color));
}

// Pen colours under each draw mode: mask pen ANDs the colour into the page,
// invert ignores the colour, copy pen replaces.
void ApplyDrawMode(QPainter& p, int drawMode) {
    switch (drawMode) {
        case kDrawMaskPen:
            p.setCompositionMode(QPainter::RasterOp_SourceAndDestination);
            break;
        case kDrawInvert:
            p.setCompositionMode(QPainter::RasterOp_NotDestination);
            break;
        default:
            // Colours are opaque: drawing over is copying, and the gaps of
            // a hatch keep the page.
            p.setCompositionMode(QPainter::CompositionMode_SourceOver);
            break;
    }
}

Qt::BrushStyle HatchFor(int fillStyle) {
    switch (fillStyle) {
        case kFillSolid:
            return Qt::SolidPattern;
        case kFillUpwardDiagonal:
            return Qt::BDiagPattern;
        case kFillDiagonalCross:
            return Qt::DiagCrossPattern;
        case 2:
            return Qt::HorPattern;
        case 3:
            return Qt::VerPattern;
        case 5:
            return Qt::FDiagPattern;
        case 6:
            return Qt::CrossPattern;
        default:
            return Qt::NoBrush;
    }
}

}  // namespace

QRgb RgbFromColorRef(std::int32_t color) {
    std::uint32_t c = static_cast<std::uint32_t>(color);
    return qRgb(c & 0xFF, (c >> 8) & 0xFF, (c >> 16) & 0xFF);
}

std::int32_t ColorRefFromRgb(QRgb rgb) {
    return static_cast<std::int32_t>(qRed(rgb) | (qGreen(rgb) << 8) | (qBlue(rgb) << 16));
}

TwipsPerPixel ScreenTwipsPerPixel() {
    if (g_testTwips.x > 0 && g_testTwips.y > 0) return g_testTwips;
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            double dx = screen->logicalDotsPerInchX();
            double dy = screen->logicalDotsPerInchY();
            if (dx > 0 && dy > 0) return {1440.0 / dx, 1440.0 / dy};
        }
    }
    return {15.0, 15.0};
}

void SetScreenTwipsPerPixelForTest(TwipsPerPixel value) {
    g_testTwips = value;
}

DrawSurface::DrawSurface(int width, int height, std::int32_t backColor) : BackColor(backColor) {
    Resize(width, height);
}

void DrawSurface::Resize(int width, int height) {
    if (width <= 0 || height <= 0) {
        image_ = QImage();
        return;
    }
    image_ = QImage(width, height, QImage::Format_RGB32);
    Clear();
}

void DrawSurface::Clear() {
    if (!image_.isNull()) image_.fill(RgbFromColorRef(BackColor));
}

std::int32_t DrawSurface::Point(int x, int y) const {
    if (!image_.valid(x, y)) return -1;
    return ColorRefFromRgb(image_.pixel(x, y));
}

void DrawSurface::BeginPainting(QPainter& p) {
    p.begin(&image_);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setBackgroundMode(Qt::TransparentMode);
    ApplyDrawMode(p, DrawMode);
}

QPen DrawSurface::PenFor(std::int32_t color) const {
    QPen pen(ToQColor(color));
    pen.setWidth(DrawWidth < 1 ? 1 : DrawWidth);
    pen.setStyle(DrawStyle == kDrawDash ? Qt::DashLine : Qt::SolidLine);
    pen.setCapStyle(Qt::SquareCap);
    pen.setJoinStyle(Qt::MiterJoin);
    return pen;
}

void DrawSurface::Line(int x1, int y1, int x2, int y2, std::int32_t color) {
    if (image_.isNull()) return;
    QPainter p;
    BeginPainting(p);
    p.setPen(PenFor(color));
    QPoint a(RoundToInt(x1 / twips_.x), RoundToInt(y1 / twips_.y));
    QPoint b(RoundToInt(x2 / twips_.x), RoundToInt(y2 / twips_.y));
    if (a == b) {
        p.drawPoint(a);
    } else {
        p.drawLine(a, b);
    }
}

void DrawSurface::Box(int x1, int y1, int x2, int y2, std::int32_t color, bool filled) {
    if (image_.isNull()) return;
    int l = RoundToInt(x1 / twips_.x), r = RoundToInt(x2 / twips_.x);
    int t = RoundToInt(y1 / twips_.y), b = RoundToInt(y2 / twips_.y);
    if (l > r) std::swap(l, r);
    if (t > b) std::swap(t, b);
    const QRect inside(QPoint(l, t), QPoint(r, b));
    const Qt::BrushStyle hatch = filled ? Qt::SolidPattern : HatchFor(FillStyle);
    // Raster operations would treat the gaps of a hatch as black: apply the
    // operation to the hatch's own pixels only.
    const bool hatchByHand =
        hatch != Qt::NoBrush && hatch != Qt::SolidPattern && DrawMode != kDrawCopyPen;
    if (hatchByHand) HatchWithRasterOp(inside, hatch);
    QPainter p;
    BeginPainting(p);
    if (filled) {
        p.fillRect(inside, ToQColor(color));
        return;
    }
    if (hatch != Qt::NoBrush && !hatchByHand) {
        p.fillRect(inside, QBrush(ToQColor(FillColor), hatch));
    }
    p.setPen(PenFor(color));
    p.setBrush(Qt::NoBrush);
    if (l == r || t == b) {
        p.drawLine(QPoint(l, t), QPoint(r, b));
        return;
    }
    // One closed outline, so an inverting pen meets no corner twice.
    QPolygon outline;
    outline << QPoint(l, t) << QPoint(r, t) << QPoint(r, b) << QPoint(l, b);
    p.drawPolygon(outline);
}

void DrawSurface::HatchWithRasterOp(const QRect& area, Qt::BrushStyle hatch) {
    const QRect box = area.intersected(image_.rect());
    if (box.isEmpty()) return;
    QImage pattern(box.size(), QImage::Format_ARGB32);
    pattern.fill(Qt::transparent);
    {
        QPainter pp(&pattern);
        pp.setBrushOrigin(-box.topLeft());  // the hatch lines up with the page
        pp.fillRect(pattern.rect(), QBrush(Qt::black, hatch));
    }
    const QRgb color = RgbFromColorRef(FillColor);
    for (int y = 0; y < box.height(); ++y) {
        const QRgb* from = reinterpret_cast<const QRgb*>(pattern.constScanLine(y));
        QRgb* to = reinterpret_cast<QRgb*>(image_.scanLine(box.top() + y)) + box.left();
        for (int x = 0; x < box.width(); ++x) {
            if (qAlpha(from[x]) == 0) continue;
            to[x] =
                DrawMode == kDrawInvert ? (~to[x] | 0xFF000000u) : (to[x] & (color | 0xFF000000u));
        }
    }
}

SurfaceFont DrawSurface::SelectFont(const SurfaceFont& font) {
    SurfaceFont previous = font_;
    font_ = font;
    return previous;
}

void DrawSurface::TextOut(int x, int y, const std::string& text) {
    if (image_.isNull() || text.empty()) return;
    QPainter p(&image_);
    p.setRenderHint(QPainter::Antialiasing, false);
    p.setRenderHint(QPainter::TextAntialiasing, false);
    QFont f = QtFontFor(font_);
    p.setFont(f);
    p.setPen(ToQColor(ForeColor));
    p.translate(x, y);
    if (font_.escapement != 0) p.rotate(-font_.escapement / 10.0);
    p.drawText(0, QFontMetrics(f).ascent(), ToQString(text));
}

void DrawSurface::TextExtent(const std::string& text, int& width, int& height) const {
    QFontMetrics m(QtFontFor(font_));
    width = text.empty() ? 0 : m.horizontalAdvance(ToQString(text));
    height = m.ascent() + m.descent();
}

void DrawSurface::BitBlt(int x, int y, const QImage& source) {
    if (image_.isNull() || source.isNull()) return;
    QPainter p(&image_);
    p.setCompositionMode(QPainter::CompositionMode_Source);
    p.drawImage(QPoint(x, y), source);
}

QFont QtFontFor(const SurfaceFont& font) {
    QFont f(font.valid && !font.face.empty() ? ToQString(font.face) : QStringLiteral("Arial"));
    f.setBold(font.bold);
    f.setItalic(font.italic);
    f.setUnderline(font.underline);
    f.setStyleStrategy(QFont::NoAntialias);
    int cell = font.valid ? font.cellHeight : 16;
    if (cell < 1) cell = 1;

    // The pixel size whose ascent plus descent comes to the cell height;
    // searched once per face, cell and style.
    using Key = std::tuple<std::string, int, bool, bool>;
    static std::map<Key, int> cache;
    Key key{font.face, cell, font.bold, font.italic};
    auto it = cache.find(key);
    if (it != cache.end()) {
        f.setPixelSize(it->second);
        return f;
    }
    auto cellOf = [&f](int px) {
        f.setPixelSize(px);
        QFontMetrics m(f);
        return m.ascent() + m.descent();
    };
    int px = cell;
    int got = cellOf(px);
    if (got > 0) px = RoundToInt(static_cast<double>(cell) * cell / got);
    if (px < 1) px = 1;
    while (px > 1 && cellOf(px) > cell) --px;
    while (px < 4 * cell && cellOf(px + 1) <= cell) ++px;
    cache[key] = px;
    f.setPixelSize(px);
    return f;
}

}  // namespace platform
