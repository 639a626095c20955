#pragma once
// The print options holder: the option set behind its properties and their
// setter rules. The print engine is one; dialogs may hold a plain copy
// (cGdiPrn::SetPrinterOptionsObject), which takes no trays or colours.

#include <cstdint>
#include <string>

#include "printing/gdi_prn_options.h"

class cPrntOptns {
  public:
    const PrintOptionSet& Options() const { return options_; }
    void Options(const PrintOptionSet& options) { options_ = options; }

    std::int16_t SlipSheetPaperTray() const { return options_.slipSheetPaperTray; }
    void SlipSheetPaperTray(std::int16_t iTray) { options_.slipSheetPaperTray = iTray; }

    // A face is never empty when read.
    const std::string& KeyFontName();
    void KeyFontName(const std::string& szKeyFontName);
    const std::string& MsgFontName();
    void MsgFontName(const std::string& szMsgFontName);
    std::int16_t KeyFontSize() const { return options_.keyFontSize; }
    void KeyFontSize(std::int16_t iFontSize);
    std::int16_t MsgFontSize() const { return options_.msgFontSize; }
    void MsgFontSize(std::int16_t iFontSize);
    std::int32_t KeyPsn() const { return options_.keyPsn; }
    void KeyPsn(std::int32_t iKeyPsn);
    std::int32_t MsgPsn() const { return options_.msgPsn; }
    void MsgPsn(std::int32_t iMsgPsn);
    std::int32_t KeyFontColor() const { return options_.keyFontColor; }
    void KeyFontColor(std::int32_t iColor) { options_.keyFontColor = iColor; }
    std::int32_t MsgFontColor() const { return options_.msgFontColor; }
    void MsgFontColor(std::int32_t iColor) { options_.msgFontColor = iColor; }

    bool MsgAboveKey() const { return options_.msgAboveKey; }
    void MsgAboveKey(bool on) { options_.msgAboveKey = on; }
    bool UseBarCode() const { return options_.useBarCode; }
    void UseBarCode(bool on) { options_.useBarCode = on; }
    bool MaxHorzScale() const { return options_.maxHorzScale; }
    void MaxHorzScale(bool on) { options_.maxHorzScale = on; }
    bool EnlargeSmallImages() const { return options_.enlargeSmallImages; }
    void EnlargeSmallImages(bool on) { options_.enlargeSmallImages = on; }
    bool ResizeStaple() const { return options_.resizeStaple; }
    void ResizeStaple(bool on) { options_.resizeStaple = on; }
    bool ResizeDuplex() const { return options_.resizeDuplex; }
    void ResizeDuplex(bool on) { options_.resizeDuplex = on; }
    bool AllowLandscapeBatesMsg() const { return options_.allowLandscapeBatesMsg; }
    void AllowLandscapeBatesMsg(bool on) { options_.allowLandscapeBatesMsg = on; }
    std::int32_t SupportedSizes() const { return options_.supportedSizes; }
    void SupportedSizes(std::int32_t iImageSizeOption) {
        options_.supportedSizes = iImageSizeOption;
    }

    std::int32_t TopClip() const { return options_.topClip; }
    void TopClip(std::int32_t lPixels) { options_.topClip = lPixels; }
    std::int32_t LeftClip() const { return options_.leftClip; }
    void LeftClip(std::int32_t lPixels) { options_.leftClip = lPixels; }
    std::int32_t RightClip() const { return options_.rightClip; }
    void RightClip(std::int32_t lPixels) { options_.rightClip = lPixels; }
    std::int32_t BottomClip() const { return options_.bottomClip; }
    void BottomClip(std::int32_t lPixels) { options_.bottomClip = lPixels; }
    std::int32_t LeftMargin() const { return options_.leftMargin; }
    void LeftMargin(std::int32_t lPixels) { options_.leftMargin = lPixels; }
    std::int32_t TopMargin() const { return options_.topMargin; }
    void TopMargin(std::int32_t lPixels) { options_.topMargin = lPixels; }

    void SetCustomFrames(std::int32_t LtrX, std::int32_t LtrY, std::int32_t LglX, std::int32_t LglY,
                         std::int32_t OvrX, std::int32_t OvrY);
    void GetCustomFrames(std::int32_t& LtrX, std::int32_t& LtrY, std::int32_t& LglX,
                         std::int32_t& LglY, std::int32_t& OvrX, std::int32_t& OvrY) const;
    static void GetDefaultFrames(std::int32_t& LtrX, std::int32_t& LtrY, std::int32_t& LglX,
                                 std::int32_t& LglY, std::int32_t& OvrX, std::int32_t& OvrY);
    const PaperFrames& Frames() const { return options_.frames; }

    bool KeyFontBold() const { return options_.keyStyle.bold; }
    void KeyFontBold(bool on) { options_.keyStyle.bold = on; }
    bool KeyFontItalic() const { return options_.keyStyle.italic; }
    void KeyFontItalic(bool on) { options_.keyStyle.italic = on; }
    bool KeyFontUnderline() const { return options_.keyStyle.underline; }
    void KeyFontUnderline(bool on) { options_.keyStyle.underline = on; }
    bool MsgFontBold() const { return options_.msgStyle.bold; }
    void MsgFontBold(bool on) { options_.msgStyle.bold = on; }
    bool MsgFontItalic() const { return options_.msgStyle.italic; }
    void MsgFontItalic(bool on) { options_.msgStyle.italic = on; }
    bool MsgFontUnderline() const { return options_.msgStyle.underline; }
    void MsgFontUnderline(bool on) { options_.msgStyle.underline = on; }

    // Font sizes run from 6 to 300 points.
    static std::int16_t FontSizeInRange(std::int32_t size);

  protected:
    PrintOptionSet options_;
};
