#pragma once
// The print engine. It is the print options holder (printing/prnt_optns.h:
// how the image key and the message are lettered and placed, the bar code,
// scaling, clips, margins, paper frames and the slip sheet tray) and runs
// the job: pages are composed on an
// off-screen surface at a render resolution and handed whole to the
// printer (platform/printer.h). The batch print file reads the options too.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/draw_surface.h"
#include "platform/printer.h"
#include "printing/prnt_optns.h"

class cGdiPrn : public cPrntOptns {
  public:
    enum PrintModeValue { kPrintWin = 0, kPrintTiff = 1 };
    // The highest resolution a page is composed at for a printer that
    // stretches bitmaps itself.
    static constexpr std::int32_t kStretchedPageDpi = 300;

    cGdiPrn();
    ~cGdiPrn();
    cGdiPrn(const cGdiPrn&) = delete;
    cGdiPrn& operator=(const cGdiPrn&) = delete;

    // ---- Stored settings ----
    void LoadUserPrintSettings();
    void SaveUserPrintSettings();
    void SetPrinterOptionsObject(cPrntOptns& cObj);

    // ---- Jobs ----
    bool StartWinPrintJob(std::int32_t iScaleMode, bool iLoadUserPrintSettings,
                          platform::DrawSurface& picOutPut, const std::string& szWaterMarkFname,
                          platform::DrawSurface* picWaterMark, const std::string& szPrinterName,
                          std::int16_t iSupportColor);
    bool StartTIFFPrintJob(std::int32_t iScaleMode, bool iLoadUserPrintSettings,
                           platform::DrawSurface& picOutPut, const std::string& szWaterMarkFname,
                           platform::DrawSurface* picWaterMark, std::int16_t iForceBlackAndWhite);
    // False when the printer could not finish or hand over the job's
    // output; LastErrorMsg tells why.
    bool StopWinPrintJob();
    // The open job stops short of what it was meant to print: its pages so
    // far still go out, but never in place of a file it was to replace.
    void CutJobShort();
    void StopTIFFPrintJob();
    bool WinPrntStartNewDocument(std::int16_t iDuplex, const std::string& szPJLStapleCommand);
    // DuplexSide: 0 alternate, 1 front, 2 back.
    bool WinPrntImage(const platform::DrawSurface& picImage, std::int16_t iImgDpi,
                      const std::string& szMsgText, const std::string& szKeyText,
                      const std::string& szBndryText, bool bLandscape, std::int16_t DuplexSide);
    bool TiffPrntImage(const platform::DrawSurface& picImage, std::int16_t iImgDpi,
                       const std::string& szMsgText, const std::string& szKeyText,
                       const std::string& szBndryText, bool bLandscape);
    void WinPrntSlipSheet(const std::string& szTitle, const std::string& szMsg,
                          const std::string& szFooter, bool& ok);
    void TiffPrntSlipSheet(const std::string& szTitle, const std::string& szMsg,
                           const std::string& szFooter, bool& ok);

    const std::string& LastErrorMsg() const { return lastErrorMsg_; }
    std::int32_t DocPages() const { return docPages_; }
    bool DocStarted() const { return docState_ >= 1; }
    std::int32_t TotalPages() const { return totalPages_; }
    std::int32_t ScaledImageTop() const { return scaledImageTop_; }
    std::int32_t ScaledImageLeft() const { return scaledImageLeft_; }
    std::int32_t ScaledImageWidth() const { return scaledImageWidth_; }
    std::int32_t ScaledImageHeight() const { return scaledImageHeight_; }
    // The printer of the open job (null without one).
    std::shared_ptr<platform::Printer> JobPrinter() const { return printer_; }

    // ---- Set per job; the options are the holder's properties ----
    // A bin above 0 serves the next page only.
    void OverridePaperTray(std::int16_t iTray) { overridePaperTray_ = iTray; }
    // Set by the job start; taken from callers only after a TIFF job started.
    bool BlackAndWhite() const { return blackAndWhite_; }
    void BlackAndWhite(bool on);

    // ---- Page composition, open to the tests of its rules ----
    void WrapTextLines(platform::DrawSurface& surface, const std::string& text, std::int32_t width,
                       std::string& result) const;
    static void GetTextField(const std::string& separator, const std::string& text, std::int32_t n,
                             std::string& result);
    static void CountTextFields(const std::string& separator, const std::string& text,
                                std::int32_t& count);
    static void ClipToPixels(std::int32_t value, std::int32_t resolution, std::int32_t& pixels);
    void BarCodeWidth(const std::string& key, std::int32_t resolution, std::int32_t size,
                      std::int32_t& width) const;
    void BarCodeHeight(const std::string& key, std::int32_t resolution, std::int32_t size,
                       std::int32_t& height) const;
    void DrawBarCode(platform::DrawSurface& surface, const std::string& key, std::int32_t x1,
                     std::int32_t y1, std::int32_t x2, std::int32_t y2, const std::string& face,
                     std::int32_t size, std::int32_t resolution, std::int32_t rotation,
                     bool withText);
    // The 15 modules of a character, bit 0 first, a set bit a bar.
    std::uint16_t BarCodePattern(int code);
    void RenderImagePage(const platform::DrawSurface& picImage, platform::DrawSurface& out,
                         std::int32_t frameW, std::int32_t frameH, std::int32_t imgDpi,
                         std::int32_t resolution, std::int32_t border, const std::string& msg,
                         const std::string& key, const std::string& bndry, bool landscape,
                         bool grow, bool& ok);
    void RenderSlipSheet(platform::DrawSurface& out, std::int32_t pageW, std::int32_t pageH,
                         std::int32_t resolution, std::int32_t margin, const std::string& title,
                         const std::string& msg, const std::string& footer, bool& ok) const;

  private:
    struct Bands;
    void MeasureBands(platform::DrawSurface& out, Bands& bands, std::int32_t W, std::int32_t H,
                      std::int32_t b, std::int32_t R, std::int32_t ml, std::int32_t mt,
                      const std::string& msg, const std::string& key, const std::string& bndry,
                      bool landscape);
    void DrawBands(platform::DrawSurface& out, const Bands& bands, std::int32_t W, std::int32_t H,
                   std::int32_t b, std::int32_t R, std::int32_t ml, std::int32_t mt,
                   const std::string& key, const std::string& bndry, bool landscape);
    void InitBarCodeTable();
    void SendPrinterEscape(platform::Printer* printer, const std::string& data, std::int32_t count,
                           bool& ok);
    bool BeginPrintJob(bool iLoadUserPrintSettings, const std::string& szWaterMarkFname,
                       platform::DrawSurface& picOutPut, platform::DrawSurface* picWaterMark);
    bool EndPrintJob();
    void SetPaperTray(std::int16_t bin);
    void SetPaperSize(std::int32_t paperClass);
    void ApplyClassLocks(std::int32_t& paperClass);

    // Job state.
    std::int16_t overridePaperTray_ = 0;
    bool blackAndWhite_ = false;
    bool jobOpen_ = false;
    int printMode_ = kPrintWin;
    std::int32_t jobScaleMode_ = 0;
    std::int32_t totalPages_ = 0;
    std::int32_t docPages_ = 0;
    int docState_ = 0;
    std::int32_t currentTray_ = -1;
    std::int32_t currentPaperClass_ = -1;
    bool nextSideIsBack_ = false;
    bool duplexOn_ = false;
    std::int32_t docFirstPaperClass_ = -1;
    std::int32_t sheetFrontPaperClass_ = -1;
    int stretchSupport_ = 0;
    std::string lastErrorMsg_;
    // The caller owns both and may destroy them before ending the job.
    platform::SurfaceRef output_;
    platform::SurfaceRef waterMark_;
    std::shared_ptr<platform::Printer> printer_;

    std::int32_t scaledImageTop_ = 0;
    std::int32_t scaledImageLeft_ = 0;
    std::int32_t scaledImageWidth_ = 0;
    std::int32_t scaledImageHeight_ = 0;

    std::array<std::uint16_t, 256> barCodeTable_{};
};
