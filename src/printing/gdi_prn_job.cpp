// The job frame: starting and stopping jobs, printer documents with duplex
// and staple, one image page with its bin, class and side, raw escapes.

#include <cctype>

#include "platform/rounding.h"
#include "printing/gdi_prn.h"
#include "printing/page_setup.h"
#include "render/gdi_lead.h"

namespace {

using platform::RoundToInt;

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

}  // namespace

cGdiPrn::cGdiPrn() = default;

cGdiPrn::~cGdiPrn() {
    if (jobOpen_) EndPrintJob();
}

// The block of a raw pass-through escape: a 16-bit count, low byte first,
// then the bytes. Data the count cannot hold is refused.
void cGdiPrn::SendPrinterEscape(platform::Printer* printer, const std::string& data,
                                std::int32_t count, bool& ok) {
    ok = false;
    if (!printer || count < 0 || count > 0xFFFF || static_cast<std::size_t>(count) > data.size()) {
        return;
    }
    std::string block;
    block.reserve(count + 2);
    block += static_cast<char>(count & 0xFF);
    block += static_cast<char>((count >> 8) & 0xFF);
    block.append(data, 0, count);
    ok = printer->Escape(block);
}

bool cGdiPrn::BeginPrintJob(bool iLoadUserPrintSettings, const std::string& szWaterMarkFname,
                            platform::DrawSurface& picOutPut, platform::DrawSurface* picWaterMark) {
    bool ok = true;
    if (jobOpen_) EndPrintJob();
    jobOpen_ = true;
    totalPages_ = 0;
    lastErrorMsg_.clear();
    blackAndWhite_ = false;
    output_ = &picOutPut;
    output_->BackColor = 0xFFFFFF;
    output_->Clear();
    waterMark_ = nullptr;
    if (picWaterMark && !szWaterMarkFname.empty()) {
        cGdiLead engine;
        bool drawn = false;
        if (engine.OpenImageFile(szWaterMarkFname)) {
            picWaterMark->BackColor = 0xFFFFFF;
            picWaterMark->Resize(engine.ImgWidth(), engine.ImgHeight());
            drawn = picWaterMark->IsValid() && engine.SetGraphicsOutput(picWaterMark) &&
                    engine.DrawImageRect(0, 0, engine.ImgWidth(), engine.ImgHeight(),
                                         engine.ImgWidth(), engine.ImgHeight());
            engine.FreeGraphics();
            engine.FreeImage();
        }
        if (drawn) {
            waterMark_ = picWaterMark;
        } else {
            lastErrorMsg_ = "Could Not Load WaterMark Image";
            ok = false;
        }
    }
    if (iLoadUserPrintSettings) LoadUserPrintSettings();
    return ok;
}

bool cGdiPrn::EndPrintJob() {
    if (jobOpen_ && printMode_ == kPrintWin && docState_ > 1 && printer_) printer_->EndDoc();
    docPages_ = 0;
    docState_ = 0;
    jobOpen_ = false;
    totalPages_ = 0;
    if (output_) output_->Clear();
    if (waterMark_) waterMark_->Clear();
    output_ = nullptr;
    waterMark_ = nullptr;
    bool ended = true;
    if (printer_ && !printer_->EndJob()) {
        ended = false;
        lastErrorMsg_ = platform::WithFailureReason("Unable to Submit Image to Printer", *printer_);
    }
    printer_.reset();
    return ended;
}

bool cGdiPrn::StartWinPrintJob(std::int32_t iScaleMode, bool iLoadUserPrintSettings,
                               platform::DrawSurface& picOutPut,
                               const std::string& szWaterMarkFname,
                               platform::DrawSurface* picWaterMark,
                               const std::string& szPrinterName, std::int16_t iSupportColor) {
    if (!szWaterMarkFname.empty() && !picWaterMark) {
        lastErrorMsg_ = "Must Provide WaterMark Control to allow Watermarking.";
        return false;
    }
    // An open job ends properly, its document included, before the next.
    if (jobOpen_) EndPrintJob();
    std::shared_ptr<platform::Printer> current = platform::CurrentPrinter();
    if (!szPrinterName.empty() &&
        (!current || Upper(current->DeviceName()) != Upper(szPrinterName))) {
        if (!platform::SelectCurrentPrinter(szPrinterName)) {
            const std::string why = platform::PrinterUnreachable(szPrinterName);
            lastErrorMsg_ = "Unable to Start Print Job" + (why.empty() ? "" : "\n" + why);
            return false;
        }
        current = platform::CurrentPrinter();
    }
    if (!current) {
        lastErrorMsg_ = "Unable to Start Print Job";
        return false;
    }
    // A file that cannot be written is refused before any page is composed.
    if (const std::string why = current->CannotTakeJob(); !why.empty()) {
        lastErrorMsg_ = "Unable to Start Print Job\n" + why;
        return false;
    }
    docPages_ = 0;
    docState_ = 0;
    currentTray_ = -1;
    currentPaperClass_ = -1;
    nextSideIsBack_ = false;
    docFirstPaperClass_ = -1;
    sheetFrontPaperClass_ = -1;
    duplexOn_ = false;
    stretchSupport_ = 0;
    jobScaleMode_ = iScaleMode == 4 ? 4 : 0;

    if (!BeginPrintJob(iLoadUserPrintSettings, szWaterMarkFname, picOutPut, picWaterMark)) {
        EndPrintJob();
        return false;
    }
    printMode_ = kPrintWin;
    printer_ = current;
    if (iSupportColor == 2) printer_->SetColorMode(platform::kColorColor);
    if (iSupportColor == 1) printer_->SetColorMode(platform::kColorMonochrome);
    int colorMode = printer_->ColorMode();
    if (colorMode == 0) colorMode = platform::kColorMonochrome;
    if (colorMode == platform::kColorColor && printer_->BitsPerPixel() < 2) {
        printer_->SetColorMode(platform::kColorMonochrome);
        colorMode = platform::kColorMonochrome;
    }
    blackAndWhite_ = colorMode < platform::kColorColor;
    return true;
}

bool cGdiPrn::StartTIFFPrintJob(std::int32_t iScaleMode, bool iLoadUserPrintSettings,
                                platform::DrawSurface& picOutPut,
                                const std::string& szWaterMarkFname,
                                platform::DrawSurface* picWaterMark,
                                std::int16_t iForceBlackAndWhite) {
    if (!szWaterMarkFname.empty() && !picWaterMark) {
        lastErrorMsg_ = "Must Provide WaterMark Control to allow Watermarking.";
        return false;
    }
    if (jobOpen_) EndPrintJob();
    if (!BeginPrintJob(iLoadUserPrintSettings, szWaterMarkFname, picOutPut, picWaterMark)) {
        EndPrintJob();
        return false;
    }
    printMode_ = kPrintTiff;
    jobScaleMode_ = iScaleMode;
    blackAndWhite_ = iForceBlackAndWhite != 0;
    return true;
}

void cGdiPrn::BlackAndWhite(bool on) {
    if (printMode_ == kPrintTiff) blackAndWhite_ = on;
}

void cGdiPrn::CutJobShort() {
    if (jobOpen_ && printer_) printer_->CutShort();
}

bool cGdiPrn::StopWinPrintJob() {
    if (!jobOpen_) return true;
    if (docState_ > 1 && printer_) printer_->EndDoc();
    docPages_ = 0;
    docState_ = 0;
    jobOpen_ = false;
    return EndPrintJob();
}

void cGdiPrn::StopTIFFPrintJob() {
    if (jobOpen_) EndPrintJob();
}

bool cGdiPrn::WinPrntStartNewDocument(std::int16_t iDuplex, const std::string& szPJLStapleCommand) {
    docFirstPaperClass_ = -1;
    sheetFrontPaperClass_ = -1;
    duplexOn_ = false;
    if (!jobOpen_) {
        lastErrorMsg_ = "Print Job Not Yet Started";
        return false;
    }
    if (printMode_ != kPrintWin || !printer_) {
        lastErrorMsg_ = "Invalid Print Mode";
        return false;
    }
    if (docState_ > 1) printer_->EndDoc();
    docPages_ = 0;
    docState_ = 1;
    if (iDuplex < 1) {
        printer_->SetDuplex(platform::kDuplexSimplex);
    } else if (!printer_->SetDuplex(platform::kDuplexLongEdge)) {
        lastErrorMsg_ = "Unable to Set Duplex Mode on Printer";
        return false;
    } else {
        duplexOn_ = true;
    }
    if (!szPJLStapleCommand.empty()) {
        if (!printer_->HasDeviceContext()) {
            lastErrorMsg_ = "Unable to Send Staple Command to Printer";
            return false;
        }
        bool sent = false;
        SendPrinterEscape(printer_.get(), szPJLStapleCommand,
                          static_cast<std::int32_t>(szPJLStapleCommand.size()), sent);
        docState_ = 2;
    }
    return true;
}

// A held class wins; with none held, the page's own class is held.
void cGdiPrn::ApplyClassLocks(std::int32_t& paperClass) {
    if (options_.resizeDuplex) {
        if (sheetFrontPaperClass_ == -1) {
            sheetFrontPaperClass_ = paperClass;
        } else {
            paperClass = sheetFrontPaperClass_;
        }
    }
    if (options_.resizeStaple) {
        if (docFirstPaperClass_ == -1) {
            docFirstPaperClass_ = paperClass;
        } else {
            paperClass = docFirstPaperClass_;
        }
    }
}

bool cGdiPrn::WinPrntImage(const platform::DrawSurface& picImage, std::int16_t iImgDpi,
                           const std::string& szMsgText, const std::string& szKeyText,
                           const std::string& szBndryText, bool bLandscape,
                           std::int16_t DuplexSide) {
    // A page that is not composed leaves the output blank; one that is
    // clears it as it is composed.
    if (!jobOpen_ || printMode_ != kPrintWin || !printer_ || !output_) {
        if (output_) output_->Clear();
        lastErrorMsg_ = "Invalid Print Mode";
        return false;
    }
    // The page before is put out now: a printer that could not take it
    // stops the job here, not at its end.
    if (docPages_ > 0 && !printer_->NewPage()) {
        output_->Clear();
        lastErrorMsg_ = platform::WithFailureReason("Unable to Submit Image to Printer", *printer_);
        return false;
    }
    ++docPages_;
    docState_ = 2;

    const bool back = duplexOn_ && (DuplexSide == 2 || (DuplexSide == 0 && nextSideIsBack_));
    const std::int32_t w = picImage.Width(), h = picImage.Height();
    std::int32_t d = iImgDpi < 50 ? 50 : iImgDpi;
    std::int32_t paperClass = printing::PaperClassFor(
        static_cast<float>(w) / d, static_cast<float>(h) / d, options_.supportedSizes);

    std::int16_t bin = 0;
    if (overridePaperTray_ > 0) {
        bin = overridePaperTray_;
        overridePaperTray_ = 0;
        paperClass = printing::kLetter;
    }
    bool trayChanged = false;
    if (bin != currentTray_) {
        currentTray_ = bin;
        SetPaperTray(bin);
        trayChanged = true;
    }
    if (paperClass != currentPaperClass_ || trayChanged) ApplyClassLocks(paperClass);
    if (paperClass != currentPaperClass_) {
        currentPaperClass_ = paperClass;
        SetPaperSize(paperClass);
    }

    if (duplexOn_) {
        bool sent = false;
        if (back) {
            SendPrinterEscape(printer_.get(), platform::kBackSideEscape, 5, sent);
            nextSideIsBack_ = false;
            sheetFrontPaperClass_ = -1;
        } else {
            SendPrinterEscape(printer_.get(), platform::kFrontSideEscape, 5, sent);
            sheetFrontPaperClass_ = paperClass;
            nextSideIsBack_ = true;
        }
    }
    printer_->PrintText(" ");

    std::int32_t Wf = printer_->PageWidth(), Hf = printer_->PageHeight();
    if (jobScaleMode_ == 4) options_.frames.ForClass(paperClass, Wf, Hf);
    std::int32_t R = printing::RenderResolutionFor(Wf, paperClass);
    if (stretchSupport_ == 0) stretchSupport_ = printer_->StretchesBitmaps() ? 2 : 1;
    std::int32_t composeW = Wf, composeH = Hf;
    bool stretched = false;
    if (stretchSupport_ == 2) {
        if (R > kStretchedPageDpi && d > kStretchedPageDpi) d = kStretchedPageDpi;
        if (d < R && w < Wf) {
            const float ratio = static_cast<float>(d) / static_cast<float>(R);
            composeW = RoundToInt(ratio * Wf);
            composeH = RoundToInt(ratio * Hf);
            R = d;
            stretched = true;
        }
    }
    const std::int32_t border = RoundToInt(R / 12.0);

    bool ok = false;
    RenderImagePage(picImage, *output_, composeW, composeH, iImgDpi, R, border, szMsgText,
                    szKeyText, szBndryText, bLandscape, false, ok);
    if (!ok) {
        lastErrorMsg_ = "Unable to Create Output Image";
        return false;
    }
    const QImage& page = output_->Image();
    const bool sent =
        stretched ? printer_->StretchImage(0, 0, Wf, Hf, page) : printer_->DrawImage(0, 0, page);
    if (!sent) {
        lastErrorMsg_ = platform::WithFailureReason("Unable to Submit Image to Printer", *printer_);
        return false;
    }
    ++totalPages_;
    return true;
}
