// The engine's options in the per-user settings store, and their copy into
// a plain holder.

#include "foundation/mod_registry.h"
#include "foundation/number_text.h"
#include "platform/rounding.h"
#include "printing/gdi_prn.h"
#include "printing/prnt_optns.h"

namespace {

constexpr const char* kApp = "TALQWinPrnt";
constexpr const char* kSection = "Settings";

std::string Text(const std::string& key, const std::string& defaultValue) {
    return modRegistry::GetAppSetting(kApp, kSection, key, defaultValue);
}

std::int32_t Number(const std::string& key, const std::string& defaultValue) {
    return platform::RoundToInt(mVBUtil::Val(Text(key, defaultValue)));
}

std::int16_t FontSize(std::int32_t size) {
    return static_cast<std::int16_t>(size < 6 ? 6 : size > 300 ? 300 : size);
}

// FontFlags: 1 bold, 2 italic, 4 underline.
void ReadFontFlags(const std::string& key, bool& bold, bool& italic, bool& underline) {
    const std::int32_t flags = Number(key, "0");
    bold = (flags & 1) != 0;
    italic = (flags & 2) != 0;
    underline = (flags & 4) != 0;
}

std::int32_t FontFlags(bool bold, bool italic, bool underline) {
    return (bold ? 1 : 0) + (italic ? 2 : 0) + (underline ? 4 : 0);
}

void Save(const std::string& key, const std::string& value) {
    modRegistry::SaveAppSetting(kApp, kSection, key, value);
}

void Save(const std::string& key, std::int32_t value) {
    Save(key, std::to_string(value));
}

// Yes/no options are stored as -1 and 0.
void SaveFlag(const std::string& key, bool value) {
    Save(key, value ? -1 : 0);
}

}  // namespace

void cPrntOptns::KeyFontSize(std::int16_t size) {
    keyFontSize_ = FontSize(size);
}

void cPrntOptns::MsgFontSize(std::int16_t size) {
    msgFontSize_ = FontSize(size);
}

void cGdiPrn::LoadUserPrintSettings() {
    keyFontName_ = Text("KeyFontName", "Arial");
    keyFontSize_ = FontSize(Number("KeyFontSize", "14"));
    keyPsn_ = Number("KeyPsn", "6");
    if (keyPsn_ < 1 || keyPsn_ > 6) keyPsn_ = 6;
    ReadFontFlags("KeyFontFlags", keyFontBold_, keyFontItalic_, keyFontUnderline_);
    msgFontName_ = Text("MsgFontName", "Arial");
    msgFontSize_ = FontSize(Number("MsgFontSize", "14"));
    // Every zone the placement dialog offers, a zone shared with the key too.
    msgPsn_ = Number("MsgPsn", "4");
    if (msgPsn_ < 1 || msgPsn_ > 6) msgPsn_ = 4;
    ReadFontFlags("MsgFontFlags", msgFontBold_, msgFontItalic_, msgFontUnderline_);
    keyFontColor_ = Number("KeyFontColor", "0");
    msgFontColor_ = Number("MsgFontColor", "0");
    msgAboveKey_ = Number("MsgAboveKey", "0") != 0;
    useBarCode_ = Number("UseBarCode", "0") != 0;
    resizeStaple_ = Number("ResizeStaple", "0") != 0;
    resizeDuplex_ = Number("ResizeDuplex", "0") != 0;
    topClip_ = Number("TopClip", "0");
    leftClip_ = Number("LeftClip", "0");
    rightClip_ = Number("RightClip", "0");
    bottomClip_ = Number("BottomClip", "0");
    leftMargin_ = Number("LeftMargin", "0");
    topMargin_ = Number("TopMargin", "0");
    maxHorzScale_ = Number("MaxHorzScale", "0") != 0;
    enlargeSmallImages_ = Number("EnlargeSmall", "0") != 0;
    allowLandscapeBatesMsg_ = Number("AllowLandscapeBatesMsg", "0") != 0;
    supportedSizes_ = Number("AllowableSizes", "0");
    if (supportedSizes_ < 0 || supportedSizes_ > 6) supportedSizes_ = 0;
    slipSheetPaperTray_ = platform::RoundToInt16(mVBUtil::Val(Text("SlipSheetTray", "0")));
    frames_.LetterX = Number("LetterX", "2400");
    frames_.LetterY = Number("LetterY", "3128");
    frames_.LegalX = Number("LegalX", "2400");
    frames_.LegalY = Number("LegalY", "4000");
    frames_.OverSizeX = Number("OverSizeX", "3128");
    frames_.OverSizeY = Number("OverSizeY", "4936");
}

void cGdiPrn::SaveUserPrintSettings() {
    if (!keyFontName_.empty()) Save("KeyFontName", keyFontName_);
    if (keyFontSize_ > 0) Save("KeyFontSize", keyFontSize_);
    if (keyPsn_ > 0) Save("KeyPsn", keyPsn_);
    if (!msgFontName_.empty()) Save("MsgFontName", msgFontName_);
    if (msgFontSize_ > 0) Save("MsgFontSize", msgFontSize_);
    if (msgPsn_ > 0) Save("MsgPsn", msgPsn_);
    Save("MsgFontColor", msgFontColor_);
    Save("KeyFontColor", keyFontColor_);
    SaveFlag("MsgAboveKey", msgAboveKey_);
    SaveFlag("UseBarCode", useBarCode_);
    SaveFlag("ResizeStaple", resizeStaple_);
    SaveFlag("ResizeDuplex", resizeDuplex_);
    Save("TopClip", topClip_);
    Save("LeftClip", leftClip_);
    Save("RightClip", rightClip_);
    Save("BottomClip", bottomClip_);
    Save("LeftMargin", leftMargin_);
    Save("TopMargin", topMargin_);
    SaveFlag("MaxHorzScale", maxHorzScale_);
    SaveFlag("EnlargeSmall", enlargeSmallImages_);
    SaveFlag("AllowLandscapeBatesMsg", allowLandscapeBatesMsg_);
    Save("AllowableSizes", supportedSizes_);
    Save("SlipSheetTray", slipSheetPaperTray_);
    const std::pair<const char*, std::int32_t> frames[] = {
        {"LetterX", frames_.LetterX},     {"LetterY", frames_.LetterY},
        {"LegalX", frames_.LegalX},       {"LegalY", frames_.LegalY},
        {"OverSizeX", frames_.OverSizeX}, {"OverSizeY", frames_.OverSizeY}};
    for (const auto& [key, value] : frames) {
        if (value > 0) Save(key, value);
    }
    Save("KeyFontFlags", FontFlags(keyFontBold_, keyFontItalic_, keyFontUnderline_));
    Save("MsgFontFlags", FontFlags(msgFontBold_, msgFontItalic_, msgFontUnderline_));
}

void cGdiPrn::SetPrinterOptionsObject(cPrntOptns& cObj) {
    cObj.AllowLandscapeBatesMsg = allowLandscapeBatesMsg_;
    cObj.BottomClip = bottomClip_;
    cObj.EnlargeSmallImages = enlargeSmallImages_;
    cObj.KeyFontBold = keyFontBold_;
    cObj.KeyFontItalic = keyFontItalic_;
    cObj.KeyFontName(KeyFontName());
    cObj.KeyFontSize(keyFontSize_);
    cObj.KeyFontUnderline = keyFontUnderline_;
    cObj.KeyPsn(keyPsn_);
    cObj.MsgFontBold = msgFontBold_;
    cObj.MsgFontItalic = msgFontItalic_;
    cObj.MsgFontName(MsgFontName());
    cObj.MsgFontSize(msgFontSize_);
    cObj.MsgFontUnderline = msgFontUnderline_;
    cObj.MsgPsn(msgPsn_);
    cObj.LeftClip = leftClip_;
    cObj.LeftMargin = leftMargin_;
    cObj.MaxHorzScale = maxHorzScale_;
    cObj.MsgAboveKey = msgAboveKey_;
    cObj.ResizeDuplex = resizeDuplex_;
    cObj.ResizeStaple = resizeStaple_;
    cObj.RightClip = rightClip_;
    cObj.SupportedSizes = supportedSizes_;
    cObj.TopClip = topClip_;
    cObj.TopMargin = topMargin_;
    cObj.UseBarCode = useBarCode_;
    cObj.SetCustomFrames(frames_.LetterX, frames_.LetterY, frames_.LegalX, frames_.LegalY,
                         frames_.OverSizeX, frames_.OverSizeY);
}
