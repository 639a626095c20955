#pragma once
// The print engine. It carries the option set (how the image key and the
// message are lettered and placed, the bar code, scaling, clips, margins,
// paper sizes, trays and frames) and the job: pages are composed on an
// off-screen surface at a render resolution and handed whole to the
// printer (platform/printer.h). The batch print file reads the options too.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/draw_surface.h"
#include "platform/printer.h"

class cPrntOptns;

// The frame table: page sizes of the three paper classes in pixels.
struct PaperFrames {
    std::int32_t LetterX = 2400, LetterY = 3128;
    std::int32_t LegalX = 2400, LegalY = 4000;
    std::int32_t OverSizeX = 3128, OverSizeY = 4936;

    // The frame of a paper class (1 letter, 2 legal, 3 oversize).
    void ForClass(std::int32_t paperClass, std::int32_t& x, std::int32_t& y) const {
        x = paperClass == 2 ? LegalX : paperClass == 3 ? OverSizeX : LetterX;
        y = paperClass == 2 ? LegalY : paperClass == 3 ? OverSizeY : LetterY;
    }
};

class cGdiPrn {
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
    platform::Printer* JobPrinter() const { return printer_.get(); }

    // ---- Options ----
    std::int16_t SlipSheetPaperTray() const { return slipSheetPaperTray_; }
    void SlipSheetPaperTray(std::int16_t iTray) { slipSheetPaperTray_ = iTray; }
    // A bin above 0 serves the next page only.
    void OverridePaperTray(std::int16_t iTray) { overridePaperTray_ = iTray; }

    const std::string& KeyFontName();
    void KeyFontName(const std::string& szKeyFontName);
    const std::string& MsgFontName();
    void MsgFontName(const std::string& szMsgFontName);
    std::int16_t KeyFontSize() const { return keyFontSize_; }
    void KeyFontSize(std::int16_t iFontSize);
    std::int16_t MsgFontSize() const { return msgFontSize_; }
    void MsgFontSize(std::int16_t iFontSize);
    std::int32_t KeyPsn() const { return keyPsn_; }
    void KeyPsn(std::int32_t iKeyPsn);
    std::int32_t MsgPsn() const { return msgPsn_; }
    void MsgPsn(std::int32_t iMsgPsn);
    std::int32_t KeyFontColor() const { return keyFontColor_; }
    void KeyFontColor(std::int32_t iColor) { keyFontColor_ = iColor; }
    std::int32_t MsgFontColor() const { return msgFontColor_; }
    void MsgFontColor(std::int32_t iColor) { msgFontColor_ = iColor; }

    bool MsgAboveKey() const { return msgAboveKey_; }
    void MsgAboveKey(bool on) { msgAboveKey_ = on; }
    bool UseBarCode() const { return useBarCode_; }
    void UseBarCode(bool on) { useBarCode_ = on; }
    bool MaxHorzScale() const { return maxHorzScale_; }
    void MaxHorzScale(bool on) { maxHorzScale_ = on; }
    bool EnlargeSmallImages() const { return enlargeSmallImages_; }
    void EnlargeSmallImages(bool on) { enlargeSmallImages_ = on; }
    bool ResizeStaple() const { return resizeStaple_; }
    void ResizeStaple(bool on) { resizeStaple_ = on; }
    bool ResizeDuplex() const { return resizeDuplex_; }
    void ResizeDuplex(bool on) { resizeDuplex_ = on; }
    bool AllowLandscapeBatesMsg() const { return allowLandscapeBatesMsg_; }
    void AllowLandscapeBatesMsg(bool on) { allowLandscapeBatesMsg_ = on; }
    std::int32_t SupportedSizes() const { return supportedSizes_; }
    void SupportedSizes(std::int32_t iImageSizeOption) { supportedSizes_ = iImageSizeOption; }
    // Set by the job start; taken from callers only after a TIFF job started.
    bool BlackAndWhite() const { return blackAndWhite_; }
    void BlackAndWhite(bool on);

    std::int32_t TopClip() const { return topClip_; }
    void TopClip(std::int32_t lPixels) { topClip_ = lPixels; }
    std::int32_t LeftClip() const { return leftClip_; }
    void LeftClip(std::int32_t lPixels) { leftClip_ = lPixels; }
    std::int32_t RightClip() const { return rightClip_; }
    void RightClip(std::int32_t lPixels) { rightClip_ = lPixels; }
    std::int32_t BottomClip() const { return bottomClip_; }
    void BottomClip(std::int32_t lPixels) { bottomClip_ = lPixels; }
    std::int32_t LeftMargin() const { return leftMargin_; }
    void LeftMargin(std::int32_t lPixels) { leftMargin_ = lPixels; }
    std::int32_t TopMargin() const { return topMargin_; }
    void TopMargin(std::int32_t lPixels) { topMargin_ = lPixels; }

    void SetCustomFrames(std::int32_t LtrX, std::int32_t LtrY, std::int32_t LglX, std::int32_t LglY,
                         std::int32_t OvrX, std::int32_t OvrY);
    void GetCustomFrames(std::int32_t& LtrX, std::int32_t& LtrY, std::int32_t& LglX,
                         std::int32_t& LglY, std::int32_t& OvrX, std::int32_t& OvrY) const;
    static void GetDefaultFrames(std::int32_t& LtrX, std::int32_t& LtrY, std::int32_t& LglX,
                                 std::int32_t& LglY, std::int32_t& OvrX, std::int32_t& OvrY);
    const PaperFrames& Frames() const { return frames_; }

    bool KeyFontBold() const { return keyFontBold_; }
    void KeyFontBold(bool on) { keyFontBold_ = on; }
    bool KeyFontItalic() const { return keyFontItalic_; }
    void KeyFontItalic(bool on) { keyFontItalic_ = on; }
    bool KeyFontUnderline() const { return keyFontUnderline_; }
    void KeyFontUnderline(bool on) { keyFontUnderline_ = on; }
    bool MsgFontBold() const { return msgFontBold_; }
    void MsgFontBold(bool on) { msgFontBold_ = on; }
    bool MsgFontItalic() const { return msgFontItalic_; }
    void MsgFontItalic(bool on) { msgFontItalic_ = on; }
    bool MsgFontUnderline() const { return msgFontUnderline_; }
    void MsgFontUnderline(bool on) { msgFontUnderline_ = on; }

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

    // Options.
    std::int16_t slipSheetPaperTray_ = 0;
    std::int16_t overridePaperTray_ = 0;
    std::string keyFontName_ = "Arial";
    std::string msgFontName_ = "Arial";
    std::int16_t keyFontSize_ = 14;
    std::int16_t msgFontSize_ = 14;
    std::int32_t keyPsn_ = 6;
    std::int32_t msgPsn_ = 4;
    std::int32_t keyFontColor_ = 0;
    std::int32_t msgFontColor_ = 0;
    bool msgAboveKey_ = false;
    bool useBarCode_ = false;
    bool maxHorzScale_ = false;
    bool enlargeSmallImages_ = false;
    bool resizeStaple_ = false;
    bool resizeDuplex_ = false;
    bool allowLandscapeBatesMsg_ = false;
    std::int32_t supportedSizes_ = 0;
    bool blackAndWhite_ = false;
    std::int32_t topClip_ = 0;
    std::int32_t leftClip_ = 0;
    std::int32_t rightClip_ = 0;
    std::int32_t bottomClip_ = 0;
    std::int32_t leftMargin_ = 0;
    std::int32_t topMargin_ = 0;
    PaperFrames frames_;
    bool keyFontBold_ = false, keyFontItalic_ = false, keyFontUnderline_ = false;
    bool msgFontBold_ = false, msgFontItalic_ = false, msgFontUnderline_ = false;

    // Job state.
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
