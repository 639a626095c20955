// Composition of one image page: bands, fit, image, clip boxes, watermark.

#include <QPainter>

#include "platform/bitonal_image.h"
#include "platform/rounding.h"
#include "printing/gdi_prn.h"
#include "printing/gdi_prn_bands.h"
#include "printing/page_setup.h"

namespace {

using platform::RoundToInt;

// A pixel a stroke covers a third or more of turns black, so thin strokes
// of a shrunk black-and-white page survive and nothing grey is left.
constexpr int kBitonalThreshold = 170;

// Black and white averaged stay grey: blue alone tells the level.
inline quint32 BlackOrWhite(quint32 pixel) {
    const quint32 white = 0u - static_cast<quint32>((pixel & 0xFFu) >= kBitonalThreshold);
    return 0xFF000000u | (white & 0xFFFFFFu);
}

void BackToBitonal(QImage& image, const QRect& area) {
    const QRect r = area.intersected(image.rect());
    const int n = r.width();
    for (int y = r.top(); y <= r.bottom(); ++y) {
        quint32* line = reinterpret_cast<quint32*>(image.scanLine(y)) + r.left();
        int x = 0;
        // Eight at a time, so the compiler vectorises; most of a page is
        // paper, already white.
        for (; x + 8 <= n; x += 8) {
            quint32* p = line + x;
            if ((p[0] & p[1] & p[2] & p[3] & p[4] & p[5] & p[6] & p[7]) == 0xFFFFFFFFu) continue;
            for (int i = 0; i < 8; ++i) p[i] = BlackOrWhite(p[i]);
        }
        for (; x < n; ++x) line[x] = BlackOrWhite(line[x]);
    }
}

// The whole source stretched into a rectangle; a shrunk page keeps thin
// strokes as grey instead of losing them, a black-and-white one as black.
bool StretchInto(platform::DrawSurface& out, const QRect& target, const QImage& source,
                 QPainter::CompositionMode mode) {
    if (source.isNull() || target.isEmpty() || !out.IsValid()) return false;
    QPainter p(&out.Image());
    p.setCompositionMode(mode);
    const bool shrinking = target.width() < source.width() || target.height() < source.height();
    p.setRenderHint(QPainter::SmoothPixmapTransform, shrinking);
    p.drawImage(target, source);
    p.end();
    if (shrinking && mode == QPainter::CompositionMode_Source && platform::IsBitonal(source)) {
        BackToBitonal(out.Image(), target);
    }
    return true;
}

}  // namespace

// Sixteenths of an inch up to 16, pixels at 300 dpi above, both at R.
void cGdiPrn::ClipToPixels(std::int32_t value, std::int32_t resolution, std::int32_t& pixels) {
    if (value <= 0) {
        pixels = 0;
    } else if (value <= 16) {
        pixels = RoundToInt(static_cast<double>(value) * resolution / 16.0);
    } else {
        const float ratio = static_cast<float>(resolution) / 300.0f;
        pixels = RoundToInt(static_cast<float>(value) * ratio);
    }
}

void cGdiPrn::RenderImagePage(const platform::DrawSurface& picImage, platform::DrawSurface& out,
                              std::int32_t frameW, std::int32_t frameH, std::int32_t imgDpi,
                              std::int32_t R, std::int32_t b, const std::string& msg,
                              const std::string& key, const std::string& bndry, bool landscape,
                              bool grow, bool& ok) {
    ok = false;
    if (!options_.allowLandscapeBatesMsg) landscape = false;
    scaledImageTop_ = scaledImageLeft_ = scaledImageWidth_ = scaledImageHeight_ = 0;
    out.ForeColor = 0;
    out.BackColor = 0xFFFFFF;

    std::int32_t clipLeft, clipRight, clipBottom, clipTop, ml, mt;
    ClipToPixels(options_.leftClip, R, clipLeft);
    ClipToPixels(options_.rightClip, R, clipRight);
    ClipToPixels(options_.bottomClip, R, clipBottom);
    ClipToPixels(options_.topClip, R, clipTop);
    ClipToPixels(options_.leftMargin, R, ml);
    ClipToPixels(options_.topMargin, R, mt);

    const std::int32_t w = picImage.Width(), h = picImage.Height();
    const std::int32_t d = imgDpi < 50 ? 50 : imgDpi;
    printing::FitInput fit;
    fit.w = w;
    fit.h = h;
    fit.wi = static_cast<float>(w) / d;
    fit.hi = static_cast<float>(h) / d;
    fit.resolution = R;
    fit.enlargeSmall = options_.enlargeSmallImages;
    fit.maxHorzScale = options_.maxHorzScale;
    fit.landscape = landscape;

    Bands bands;
    MeasureBands(out, bands, frameW, frameH, b, R, ml, mt, msg, key, bndry, landscape);
    std::int32_t T = bands.top, B = bands.bottom;
    std::int32_t W = frameW, H = frameH;
    if (grow) (landscape ? W : H) += T + B;
    // A page as large as the last one reuses its pixels.
    if (out.Width() != W || out.Height() != H || !out.IsValid()) {
        out.Resize(W, H);
    } else {
        out.Clear();
    }
    if (!out.IsValid()) return;
    DrawBands(out, bands, W, H, b, R, ml, mt, key, bndry, landscape);
    std::int32_t L = 0, Rr = 0;
    if (landscape) {
        L = T;
        Rr = B;
        T = B = 0;
    }

    std::int32_t aw = W - 2 * b - ml - L - Rr;
    std::int32_t ah = H - 2 * b - T - B - mt;
    const bool fitStep = !(printMode_ == kPrintTiff && jobScaleMode_ == 3);
    if (fitStep && !printing::FitImage(fit, aw, ah)) return;
    if (aw < 1 || ah < 1) return;

    const std::int32_t x0 = ml + b + L, y0 = T + b + mt;
    const QRect imageRect(x0, y0, aw, ah);
    if (!StretchInto(out, imageRect, picImage.Image(), QPainter::CompositionMode_Source)) return;

    if (clipTop + clipBottom + clipLeft + clipRight != 0) {
        const platform::TwipsPerPixel tw = out.Twips();
        out.DrawMode = platform::kDrawCopyPen;
        out.FillStyle = platform::kFillSolid;
        auto whiteBox = [&](std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t bt) {
            out.Box(RoundToInt(l * tw.x), RoundToInt(t * tw.y), RoundToInt(r * tw.x),
                    RoundToInt(bt * tw.y), 0xFFFFFF, true);
        };
        if (clipTop > 0) whiteBox(x0, y0, x0 + aw, y0 + clipTop);
        if (clipBottom > 0) whiteBox(x0, y0 + ah - clipBottom, x0 + aw, y0 + ah);
        if (clipLeft > 0) whiteBox(x0, y0, x0 + clipLeft, y0 + ah);
        if (clipRight >= 1) whiteBox(x0 + aw - clipRight, y0, x0 + aw, y0 + ah);
    }
    if (waterMark_ && waterMark_->IsValid()) {
        StretchInto(out, imageRect, waterMark_->Image(), QPainter::RasterOp_SourceAndDestination);
    }

    ok = true;
    scaledImageTop_ = y0;
    scaledImageLeft_ = x0;
    scaledImageWidth_ = aw;
    scaledImageHeight_ = ah;
}

bool cGdiPrn::TiffPrntImage(const platform::DrawSurface& picImage, std::int16_t iImgDpi,
                            const std::string& szMsgText, const std::string& szKeyText,
                            const std::string& szBndryText, bool bLandscape) {
    if (!jobOpen_ || printMode_ != kPrintTiff || !output_) {
        lastErrorMsg_ = "Invalid Print Mode";
        return false;
    }
    std::int32_t Wf = 2400, Hf = 3136, R = 300, border = 25;
    bool grow = false;
    switch (jobScaleMode_) {
        case 1:
            Wf = 2544, Hf = 3296, border = 75;
            break;
        case 2:
            Wf = 2544, Hf = 3296, border = 25;
            break;
        case 3:
            Wf = picImage.Width(), Hf = picImage.Height(), R = iImgDpi, border = 0, grow = true;
            break;
        case 4: {
            // The local job's class rule: one rule for every page of the engine.
            const std::int32_t d = iImgDpi < 50 ? 50 : iImgDpi;
            const std::int32_t paperClass = printing::PaperClassFor(
                static_cast<float>(picImage.Width()) / d, static_cast<float>(picImage.Height()) / d,
                options_.supportedSizes);
            options_.frames.ForClass(paperClass, Wf, Hf);
            R = printing::RenderResolutionFor(Wf, paperClass);
            border = 0;
            break;
        }
        default:
            break;
    }
    bool ok = false;
    if (R >= 1) {
        RenderImagePage(picImage, *output_, Wf, Hf, iImgDpi, R, border, szMsgText, szKeyText,
                        szBndryText, bLandscape, grow, ok);
    }
    if (!ok) {
        lastErrorMsg_ = "Unable to Create Output Image";
        return false;
    }
    ++totalPages_;
    return true;
}
