#pragma once
// The print engine. It starts with its option set: how the image key and
// the message are lettered and placed, the bar code, scaling, clips and
// margins and the paper sizes; the batch print file reads them too.

#include <cstdint>
#include <string>

class cGdiPrn {
  public:
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
    bool AllowLandscapeBatesMsg() const { return allowLandscapeBatesMsg_; }
    void AllowLandscapeBatesMsg(bool on) { allowLandscapeBatesMsg_ = on; }
    std::int32_t SupportedSizes() const { return supportedSizes_; }
    void SupportedSizes(std::int32_t iImageSizeOption) { supportedSizes_ = iImageSizeOption; }

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

  private:
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
    bool allowLandscapeBatesMsg_ = false;
    std::int32_t supportedSizes_ = 0;
    std::int32_t topClip_ = 0;
    std::int32_t leftClip_ = 0;
    std::int32_t rightClip_ = 0;
    std::int32_t bottomClip_ = 0;
    std::int32_t leftMargin_ = 0;
    std::int32_t topMargin_ = 0;
};
