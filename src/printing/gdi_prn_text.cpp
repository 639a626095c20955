// Key and message zones: measuring the bands, placing key, boundary text
// and message on portrait and landscape pages, and the message word wrap.

#include <algorithm>

#include "foundation/fields.h"
#include "platform/rounding.h"
#include "printing/gdi_prn.h"
#include "printing/gdi_prn_bands.h"
#include "render/gdi32.h"

namespace {

using platform::RoundToInt;

std::int32_t WidthOf(const platform::DrawSurface& dc, const std::string& text) {
    if (text.empty()) return 0;
    std::int32_t w = 0, h = 0;
    mGdi32::GetTextWidth(dc, text, w, h);
    return w;
}

int StyleBits(const FontStyle& style) {
    return (style.bold ? mGdi32::kFontBold : 0) | (style.italic ? mGdi32::kFontItalic : 0) |
           (style.underline ? mGdi32::kFontUnderline : 0);
}

bool InBottomBand(std::int32_t zone) {
    return zone >= 4;
}

bool IsLeftZone(std::int32_t zone) {
    return zone == 1 || zone == 4;
}

bool IsCentreZone(std::int32_t zone) {
    return zone == 2 || zone == 5;
}

// A font made at the page's resolution and released when it goes.
class ScopedFont {
  public:
    ScopedFont(platform::DrawSurface& dc, const std::string& face, std::int32_t points,
               std::int32_t resolution, std::int32_t rotation, int style)
        : dc_(dc) {
        const std::int32_t size = RoundToInt(static_cast<double>(points) * resolution / 100.0);
        mGdi32::CreateFontForDC(dc, face.empty() ? "Arial" : face, size, rotation, style, new_,
                                old_);
    }
    ~ScopedFont() { mGdi32::RestoreFontForDC(dc_, new_, old_); }
    ScopedFont(const ScopedFont&) = delete;
    ScopedFont& operator=(const ScopedFont&) = delete;

  private:
    platform::DrawSurface& dc_;
    platform::SurfaceFont new_, old_;
};

}  // namespace

void cGdiPrn::GetTextField(const std::string& separator, const std::string& text, std::int32_t n,
                           std::string& result) {
    result = mVBUtil::GetField(separator, text, n);
}

void cGdiPrn::CountTextFields(const std::string& separator, const std::string& text,
                              std::int32_t& count) {
    count = mVBUtil::CountFields(separator, text);
}

void cGdiPrn::WrapTextLines(platform::DrawSurface& surface, const std::string& text,
                            std::int32_t width, std::string& result) const {
    result.clear();
    if (width < 0) return;
    std::string rest = text;
    for (char& c : rest) {
        if (c == 29 || c == '\n') c = '@';
    }
    while (rest.find('@') != std::string::npos || WidthOf(surface, rest) > width) {
        const std::string first = rest.substr(0, rest.find('@'));
        std::string piece = first;
        while (!piece.empty() && WidthOf(surface, piece) > width) {
            while (!piece.empty() && piece.back() != ' ' && piece.size() >= 10) piece.pop_back();
            if (!piece.empty()) piece.pop_back();
        }
        // A line always takes a character, however narrow the width.
        if (piece.empty() && !first.empty()) piece = first.substr(0, 1);
        result += piece + "@";
        std::size_t next = piece.size();
        if (next < rest.size() && (rest[next] == ' ' || rest[next] == '@')) ++next;
        rest.erase(0, next);
    }
    result += rest;
}

void cGdiPrn::MeasureBands(platform::DrawSurface& out, Bands& bands, std::int32_t W, std::int32_t H,
                           std::int32_t b, std::int32_t R, std::int32_t ml, std::int32_t mt,
                           const std::string& msg, const std::string& key, const std::string& bndry,
                           bool landscape) {
    bands = Bands{};
    if (msg.empty() && key.empty() && bndry.empty()) return;
    const std::int32_t across = landscape ? H : W;
    const std::int32_t margin = landscape ? mt : ml;
    // Measuring needs a surface, not its size: the page's own one is kept.
    if (!out.IsValid()) out.Resize(across, 2 * R);
    const std::int32_t rotation = landscape ? 3 : 0;
    bands.sameZone = options_.keyPsn == options_.msgPsn;
    const bool sameBand = InBottomBand(options_.keyPsn) == InBottomBand(options_.msgPsn) &&
                          options_.keyPsn >= 1 && options_.msgPsn >= 1;
    bands.sideBySide = sameBand && !bands.sameZone;

    {
        ScopedFont font(out, KeyFontName(), options_.keyFontSize, R, rotation,
                        StyleBits(options_.keyStyle));
        if (!key.empty()) {
            if (options_.useBarCode) {
                BarCodeWidth(key, R, options_.keyFontSize, bands.kw);
                BarCodeHeight(key, R, options_.keyFontSize, bands.kh);
            } else {
                mGdi32::GetTextWidth(out, key, bands.kw, bands.kh);
            }
        }
        if (!bndry.empty()) {
            mGdi32::GetTextWidth(out, bndry, bands.bw, bands.bh);
            // Room for one average character more.
            bands.bw += RoundToInt(static_cast<double>(bands.bw) / bndry.size());
        }
    }
    bands.klw = bands.kw + bands.bw;
    bands.klh = std::max(bands.kh, bands.bh);
    (InBottomBand(options_.keyPsn) ? bands.bottom : bands.top) = bands.klh;

    if (msg.empty()) return;
    ScopedFont font(out, MsgFontName(), options_.msgFontSize, R, rotation,
                    StyleBits(options_.msgStyle));
    std::int32_t aw = 0;
    mGdi32::GetTextWidth(out, "A", aw, bands.mlh);
    const double free = across - margin - 2.0 * b - R / 4.0;
    double width = free;
    if (bands.sideBySide)
        width = IsCentreZone(options_.keyPsn) ? (free - bands.klw) / 2 : free - bands.klw;
    WrapTextLines(out, msg, RoundToInt(width), bands.wrapped);
    CountTextFields("@", bands.wrapped, bands.lines);
    bands.mh = bands.lines * bands.mlh;
    if (bands.sideBySide) {
        if (bands.mh > bands.klh)
            (InBottomBand(options_.keyPsn) ? bands.bottom : bands.top) = bands.mh;
    } else {
        (InBottomBand(options_.msgPsn) ? bands.bottom : bands.top) += bands.mh;
    }
}

void cGdiPrn::DrawBands(platform::DrawSurface& out, const Bands& bands, std::int32_t W,
                        std::int32_t H, std::int32_t b, std::int32_t R, std::int32_t ml,
                        std::int32_t mt, const std::string& key, const std::string& bndry,
                        bool landscape) {
    if (bands.mh < 1 && bands.klh < 1) return;
    const double twelfth = R / 12.0;
    const std::int32_t rotation = landscape ? 3 : 0;
    const std::int32_t keyColor = blackAndWhite_ ? 0 : options_.keyFontColor;
    const std::int32_t msgColor = blackAndWhite_ ? 0 : options_.msgFontColor;
    const std::int32_t klw = bands.klw, klh = bands.klh;

    if (klh >= 1) {
        out.ForeColor = keyColor;
        {
            ScopedFont font(out, KeyFontName(), options_.keyFontSize, R, rotation,
                            StyleBits(options_.keyStyle));
            std::int32_t x1, y1, x2, y2, textFrom[4];
            if (!landscape) {
                double x = IsLeftZone(options_.keyPsn)     ? ml + b + twelfth
                           : IsCentreZone(options_.keyPsn) ? (W - ml - b - klw) / 2.0 + ml + b
                                                           : W - klw - b - twelfth;
                double y = InBottomBand(options_.keyPsn) ? H - b - bands.bottom : mt + b;
                if (bands.sameZone && options_.msgAboveKey) y += bands.mh;
                x1 = RoundToInt(x);
                y1 = RoundToInt(y);
                x2 = x1 + klw;
                y2 = y1 + klh;
                textFrom[0] = x1 + bands.kw, textFrom[1] = y1, textFrom[2] = x2, textFrom[3] = y2;
            } else {
                double x = InBottomBand(options_.keyPsn) ? W - b - bands.bottom : ml + b + twelfth;
                double y = IsLeftZone(options_.keyPsn)     ? H - b - twelfth
                           : IsCentreZone(options_.keyPsn) ? (H - klw - b - mt) / 2.0 + mt + b
                                                           : mt + b + klw + twelfth;
                if (bands.sameZone && options_.msgAboveKey) x += bands.mh;
                x1 = RoundToInt(x);
                y2 = RoundToInt(y);
                x2 = x1 + klh;
                y1 = y2 - klw;
                textFrom[0] = x1, textFrom[1] = y1, textFrom[2] = x2, textFrom[3] = y2 - bands.kw;
            }
            if (!key.empty()) {
                if (options_.useBarCode) {
                    DrawBarCode(out, key, x1, y1, x2, y2, KeyFontName(), options_.keyFontSize, R,
                                rotation, true);
                } else {
                    mGdi32::DrawTextWrapped(out, key, rotation, x1, y1, x2, y2);
                }
            }
            if (!bndry.empty()) {
                mGdi32::DrawTextWrapped(out, bndry, rotation, textFrom[0], textFrom[1], textFrom[2],
                                        textFrom[3]);
            }
        }
        out.ForeColor = 0;
    }

    if (bands.mh <= 0) return;
    out.ForeColor = msgColor;
    {
        ScopedFont font(out, MsgFontName(), options_.msgFontSize, R, rotation,
                        StyleBits(options_.msgStyle));
        const std::int32_t mlh = bands.mlh;
        double across = InBottomBand(options_.msgPsn)
                            ? (landscape ? W - b - bands.bottom : H - b - bands.bottom)
                            : (landscape ? ml + b + twelfth : mt + b);
        if (bands.sameZone && !options_.msgAboveKey) across += klh;
        for (std::int32_t i = 1; i <= bands.lines; ++i, across += mlh) {
            std::string line;
            GetTextField("@", bands.wrapped, i, line);
            if (line.empty()) continue;
            const std::int32_t lw = WidthOf(out, line);
            if (!landscape) {
                double x = IsLeftZone(options_.msgPsn) ? ml + b + twelfth
                           : IsCentreZone(options_.msgPsn)
                               ? (bands.sideBySide ? (W - ml - lw - klw) / 2.0 + ml
                                                   : (W - ml - lw) / 2.0 + ml)
                               : W - lw - b - twelfth;
                const std::int32_t x1 = RoundToInt(x), y1 = RoundToInt(across);
                mGdi32::DrawTextWrapped(out, line, 0, x1, y1, x1 + lw, y1 + mlh);
            } else {
                double y = IsLeftZone(options_.msgPsn) ? H - b - twelfth
                           : IsCentreZone(options_.msgPsn)
                               ? (bands.sideBySide ? (H - klw - lw - b - mt) / 2.0 + mt + b
                                                   : (H - lw - b - mt) / 2.0 + mt + b)
                               : mt + b + lw + twelfth;
                const std::int32_t x1 = RoundToInt(across), y2 = RoundToInt(y);
                mGdi32::DrawTextWrapped(out, line, 3, x1, y2 - lw, x1 + mlh, y2);
            }
        }
    }
    out.ForeColor = 0;
}
