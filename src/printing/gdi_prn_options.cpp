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
