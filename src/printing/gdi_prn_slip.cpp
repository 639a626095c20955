// Slip sheets, and the paper bin and size changes of every page.

#include <algorithm>

#include "platform/rounding.h"
#include "printing/gdi_prn.h"
#include "printing/page_setup.h"
#include "render/gdi32.h"

namespace {

using platform::RoundToInt;

std::int32_t LineHeight(const platform::DrawSurface& dc, const std::string& text) {
    std::int32_t w = 0, h = 0;
    mGdi32::GetTextWidth(dc, text, w, h);
    return h;
}

std::int32_t LineWidth(const platform::DrawSurface& dc, const std::string& text) {
    std::int32_t w = 0, h = 0;
    mGdi32::GetTextWidth(dc, text, w, h);
    return w;
}

}  // namespace

void cGdiPrn::SetPaperTray(std::int16_t bin) {
    if (!printer_) return;
    const int wanted = bin == 0 ? static_cast<int>(platform::kBinAuto) : bin;
    if (printer_->SetPaperBin(wanted)) return;
    printer_->SetPaperBin(wanted == platform::kBinAuto ? static_cast<int>(platform::kBinUpper)
                                                       : static_cast<int>(platform::kBinAuto));
}

void cGdiPrn::SetPaperSize(std::int32_t paperClass) {
    if (!printer_) return;
    const int current = printer_->PaperSize();
    int code = platform::kPaperLetter;
    if (paperClass == printing::kLegal) code = platform::kPaperLegal;
    if (paperClass == printing::kOversize) {
        code = current == platform::kPaper11x17 ? platform::kPaper11x17 : platform::kPaperTabloid;
    }
    if (code == current) return;
    if (!printer_->SetPaperSize(code) && code == platform::kPaperTabloid) {
        printer_->SetPaperSize(platform::kPaper11x17);
    }
}

void cGdiPrn::RenderSlipSheet(platform::DrawSurface& out, std::int32_t pageW, std::int32_t pageH,
                              std::int32_t resolution, std::int32_t margin,
                              const std::string& title, const std::string& msg,
                              const std::string& footer, bool& ok) const {
    ok = false;
    if (pageW <= 0 || pageH <= 0) return;
    const std::int32_t R = std::clamp<std::int32_t>(resolution, 100, 1200);
    const std::int32_t M = margin;
    out.ForeColor = 0;
    out.BackColor = 0xFFFFFF;
    out.DrawWidth = 5;
    out.DrawMode = platform::kDrawCopyPen;
    out.FillStyle = platform::kFillSolid;
    out.Resize(pageW, pageH);
    if (!out.IsValid()) return;
    const std::string face = options_.msgFontName.empty() ? "Arial" : options_.msgFontName;

    // One block of text lines; returns the y after its last line.
    auto block = [&](const std::string& text, std::int32_t points, bool wholeForHeight,
                     std::int32_t startY, bool fromBottom, bool rightAligned,
                     std::int32_t& spacing) {
        platform::SurfaceFont newFont, oldFont;
        mGdi32::CreateFontForDC(out, face, RoundToInt(points * R / 100.0), 0, 0, newFont, oldFont);
        const std::int32_t h = LineHeight(out, wholeForHeight ? text : text.substr(0, 10));
        std::string wrapped;
        WrapTextLines(out, text, pageW - 2 * M, wrapped);
        spacing = RoundToInt(h * 1.25);
        std::int32_t lines = 0;
        CountTextFields("@", wrapped, lines);
        lines = std::min<std::int32_t>(lines, 30);
        std::int32_t y = fromBottom ? pageH - lines * spacing - M : startY;
        for (std::int32_t i = 1; i <= lines; ++i) {
            std::string line;
            GetTextField("@", wrapped, i, line);
            if (line.empty()) {
                if (fromBottom) y += spacing;
                continue;
            }
            const std::int32_t lw = LineWidth(out, line);
            std::int32_t x = rightAligned         ? pageW - lw - M
                             : lw < pageW - 2 * M ? RoundToInt((pageW - lw) / 2.0)
                                                  : M;
            mGdi32::DrawTextWrapped(out, line, 0, x, y, pageW, pageH);
            y += spacing;
        }
        mGdi32::RestoreFontForDC(out, newFont, oldFont);
        return y;
    };

    std::int32_t titleEnd = 0, spacing = 0;
    if (!title.empty()) {
        const std::int32_t y = block(title, 18, true, M, false, false, spacing);
        // The rule spans the text block, margin to margin.
        const platform::TwipsPerPixel tw = out.Twips();
        out.Line(RoundToInt(M * tw.x), RoundToInt(y * tw.y), RoundToInt((pageW - M) * tw.x),
                 RoundToInt(y * tw.y), 0);
        titleEnd = y + 2 * spacing;
    }
    if (!msg.empty()) {
        // The start needs the spacing first: measure it with the font alone.
        platform::SurfaceFont newFont, oldFont;
        mGdi32::CreateFontForDC(out, face, RoundToInt(14 * R / 100.0), 0, 0, newFont, oldFont);
        const std::int32_t msgSpacing = RoundToInt(LineHeight(out, msg.substr(0, 10)) * 1.25);
        mGdi32::RestoreFontForDC(out, newFont, oldFont);
        block(msg, 14, false, std::max(5 * msgSpacing, titleEnd), false, false, spacing);
    }
    if (!footer.empty()) block(footer, 18, false, 0, true, true, spacing);
    ok = true;
}

void cGdiPrn::WinPrntSlipSheet(const std::string& szTitle, const std::string& szMsg,
                               const std::string& szFooter, bool& ok) {
    ok = false;
    if (!jobOpen_ || printMode_ != kPrintWin || !printer_ || !output_) {
        lastErrorMsg_ = "Invalid Print Mode";
        return;
    }
    if (docPages_ > 0 && !printer_->NewPage()) {
        lastErrorMsg_ = platform::WithFailureReason("Unable to Submit Image to Printer", *printer_);
        return;
    }
    docState_ = 2;
    ++docPages_;

    std::int16_t bin = 0;
    if (overridePaperTray_ >= 1) {
        bin = overridePaperTray_;
        overridePaperTray_ = 0;
    } else if (options_.slipSheetPaperTray > 0) {
        bin = options_.slipSheetPaperTray;
    }
    if (bin != currentTray_) {
        currentTray_ = bin;
        SetPaperTray(bin);
    }
    if (currentPaperClass_ != printing::kLetter) {
        currentPaperClass_ = printing::kLetter;
        SetPaperSize(printing::kLetter);
    }
    if (duplexOn_) {
        // The slip sheet keeps its sheet to itself.
        sheetFrontPaperClass_ = -1;
        nextSideIsBack_ = false;
        bool sent = false;
        SendPrinterEscape(printer_.get(), platform::kFrontSideEscape, 5, sent);
    }
    printer_->PrintText(" ");

    std::int32_t W = printer_->PageWidth(), H = printer_->PageHeight();
    if (jobScaleMode_ == 4) W = options_.frames.LetterX, H = options_.frames.LetterY;
    std::int32_t R = printing::RenderResolutionFor(W, printing::kLetter);
    // Text needs no more than image pages get: a 1200 dpi letter page
    // composed whole would take half a gigabyte.
    if (stretchSupport_ == 0) stretchSupport_ = printer_->StretchesBitmaps() ? 2 : 1;
    std::int32_t composeW = W, composeH = H;
    if (stretchSupport_ == 2 && R > kStretchedPageDpi) {
        const double ratio = static_cast<double>(kStretchedPageDpi) / R;
        composeW = RoundToInt(ratio * W);
        composeH = RoundToInt(ratio * H);
        R = kStretchedPageDpi;
    }
    bool made = false;
    RenderSlipSheet(*output_, composeW, composeH, R, RoundToInt(R / 12.0), szTitle, szMsg, szFooter,
                    made);
    if (!made) {
        lastErrorMsg_ = "Unable to Create SlipSheet";
        return;
    }
    const QImage& page = output_->Image();
    const bool sent = (page.width() == W && page.height() == H)
                          ? printer_->DrawImage(0, 0, page)
                          : printer_->StretchImage(0, 0, W, H, page);
    if (!sent) {
        lastErrorMsg_ =
            platform::WithFailureReason("Unable to Submit SlipSheet to Printer", *printer_);
        return;
    }
    ok = true;
    ++totalPages_;
}

void cGdiPrn::TiffPrntSlipSheet(const std::string& szTitle, const std::string& szMsg,
                                const std::string& szFooter, bool& ok) {
    ok = false;
    if (!jobOpen_ || printMode_ != kPrintTiff || !output_) {
        lastErrorMsg_ = "Invalid Print Mode";
        return;
    }
    std::int32_t W = 2400, H = 3136, R = 300, margin = 38;
    switch (jobScaleMode_) {
        case 1:
            W = 2544, H = 3296, margin = 75;
            break;
        case 2:
            W = 2544, H = 3296, margin = 38;
            break;
        case 4:
            W = options_.frames.LetterX, H = options_.frames.LetterY;
            R = printing::RenderResolutionFor(W, printing::kLetter);
            margin = 0;
            break;
        default:
            break;
    }
    RenderSlipSheet(*output_, W, H, R, margin, szTitle, szMsg, szFooter, ok);
    if (!ok) {
        lastErrorMsg_ = "Unable to Create SlipSheet";
        return;
    }
    ++totalPages_;
}
