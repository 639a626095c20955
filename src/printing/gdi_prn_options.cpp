#include "printing/gdi_prn.h"

namespace {

std::int16_t FontSizeInRange(std::int16_t size) {
    if (size < 6) return 6;
    if (size > 300) return 300;
    return size;
}

}  // namespace

// A face is never empty when read.
const std::string& cGdiPrn::KeyFontName() {
    if (keyFontName_.empty()) keyFontName_ = "Arial";
    return keyFontName_;
}
void cGdiPrn::KeyFontName(const std::string& szKeyFontName) {
    keyFontName_ = szKeyFontName.empty() ? "Arial" : szKeyFontName;
}
const std::string& cGdiPrn::MsgFontName() {
    if (msgFontName_.empty()) msgFontName_ = "Arial";
    return msgFontName_;
}
void cGdiPrn::MsgFontName(const std::string& szMsgFontName) {
    msgFontName_ = szMsgFontName.empty() ? "Arial" : szMsgFontName;
}
void cGdiPrn::KeyFontSize(std::int16_t iFontSize) {
    keyFontSize_ = FontSizeInRange(iFontSize);
}
void cGdiPrn::MsgFontSize(std::int16_t iFontSize) {
    msgFontSize_ = FontSizeInRange(iFontSize);
}
void cGdiPrn::KeyPsn(std::int32_t iKeyPsn) {
    keyPsn_ = (iKeyPsn < 0 || iKeyPsn > 6) ? 6 : iKeyPsn;
}
void cGdiPrn::MsgPsn(std::int32_t iMsgPsn) {
    msgPsn_ = (iMsgPsn < 0 || iMsgPsn > 6) ? 4 : iMsgPsn;
}

void cGdiPrn::BlackAndWhite(bool on) {
    if (printMode_ == kPrintTiff) blackAndWhite_ = on;
}

void cGdiPrn::SetCustomFrames(std::int32_t LtrX, std::int32_t LtrY, std::int32_t LglX,
                              std::int32_t LglY, std::int32_t OvrX, std::int32_t OvrY) {
    frames_ = PaperFrames{LtrX, LtrY, LglX, LglY, OvrX, OvrY};
}

void cGdiPrn::GetCustomFrames(std::int32_t& LtrX, std::int32_t& LtrY, std::int32_t& LglX,
                              std::int32_t& LglY, std::int32_t& OvrX, std::int32_t& OvrY) const {
    LtrX = frames_.LetterX, LtrY = frames_.LetterY;
    LglX = frames_.LegalX, LglY = frames_.LegalY;
    OvrX = frames_.OverSizeX, OvrY = frames_.OverSizeY;
}

void cGdiPrn::GetDefaultFrames(std::int32_t& LtrX, std::int32_t& LtrY, std::int32_t& LglX,
                               std::int32_t& LglY, std::int32_t& OvrX, std::int32_t& OvrY) {
    const PaperFrames defaults;
    LtrX = defaults.LetterX, LtrY = defaults.LetterY;
    LglX = defaults.LegalX, LglY = defaults.LegalY;
    OvrX = defaults.OverSizeX, OvrY = defaults.OverSizeY;
}
