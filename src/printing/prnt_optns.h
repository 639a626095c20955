#pragma once
// A plain copy of the print engine's options for dialogs to hold: the same
// defaults and setter rules, no trays, colours or job state.

#include <cstdint>
#include <string>

#include "printing/gdi_prn.h"

class cPrntOptns {
  public:
    std::int32_t SupportedSizes = 0;
    const std::string& KeyFontName() const { return keyFontName_; }
    void KeyFontName(const std::string& name) { keyFontName_ = name.empty() ? "Arial" : name; }
    std::int16_t KeyFontSize() const { return keyFontSize_; }
    void KeyFontSize(std::int16_t size);
    std::int16_t KeyPsn() const { return keyPsn_; }
    void KeyPsn(std::int32_t zone) {
        keyPsn_ = static_cast<std::int16_t>(zone < 0 || zone > 6 ? 6 : zone);
    }
    const std::string& MsgFontName() const { return msgFontName_; }
    void MsgFontName(const std::string& name) { msgFontName_ = name.empty() ? "Arial" : name; }
    std::int16_t MsgFontSize() const { return msgFontSize_; }
    void MsgFontSize(std::int16_t size);
    std::int16_t MsgPsn() const { return msgPsn_; }
    void MsgPsn(std::int32_t zone) {
        msgPsn_ = static_cast<std::int16_t>(zone < 0 || zone > 6 ? 4 : zone);
    }
    std::int32_t KeyFontColor() const { return 0; }
    std::int32_t MsgFontColor() const { return 0; }

    bool MsgAboveKey = false;
    bool UseBarCode = false;
    bool MaxHorzScale = false;
    bool EnlargeSmallImages = false;
    bool ResizeStaple = false;
    bool ResizeDuplex = false;
    bool AllowLandscapeBatesMsg = false;
    std::int32_t TopClip = 0, LeftClip = 0, RightClip = 0, BottomClip = 0;
    std::int32_t LeftMargin = 0, TopMargin = 0;
    bool KeyFontBold = false, KeyFontItalic = false, KeyFontUnderline = false;
    bool MsgFontBold = false, MsgFontItalic = false, MsgFontUnderline = false;

    void SetCustomFrames(std::int32_t LtrX, std::int32_t LtrY, std::int32_t LglX, std::int32_t LglY,
                         std::int32_t OvrX, std::int32_t OvrY) {
        frames_ = PaperFrames{LtrX, LtrY, LglX, LglY, OvrX, OvrY};
    }
    const PaperFrames& GetCustomFrames() const { return frames_; }

  private:
    std::string keyFontName_ = "Arial";
    std::string msgFontName_ = "Arial";
    std::int16_t keyFontSize_ = 14;
    std::int16_t msgFontSize_ = 14;
    std::int16_t keyPsn_ = 6;
    std::int16_t msgPsn_ = 4;
    PaperFrames frames_;
};
