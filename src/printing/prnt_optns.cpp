#include "printing/prnt_optns.h"

namespace {

void Unpack(const PaperFrames& f, std::int32_t& LtrX, std::int32_t& LtrY, std::int32_t& LglX,
            std::int32_t& LglY, std::int32_t& OvrX, std::int32_t& OvrY) {
    LtrX = f.LetterX, LtrY = f.LetterY;
    LglX = f.LegalX, LglY = f.LegalY;
    OvrX = f.OverSizeX, OvrY = f.OverSizeY;
}

}  // namespace

std::int16_t cPrntOptns::FontSizeInRange(std::int32_t size) {
    return static_cast<std::int16_t>(size < 6 ? 6 : size > 300 ? 300 : size);
}

const std::string& cPrntOptns::KeyFontName() {
    if (options_.keyFontName.empty()) options_.keyFontName = "Arial";
    return options_.keyFontName;
}
void cPrntOptns::KeyFontName(const std::string& szKeyFontName) {
    options_.keyFontName = szKeyFontName.empty() ? "Arial" : szKeyFontName;
}
const std::string& cPrntOptns::MsgFontName() {
    if (options_.msgFontName.empty()) options_.msgFontName = "Arial";
    return options_.msgFontName;
}
void cPrntOptns::MsgFontName(const std::string& szMsgFontName) {
    options_.msgFontName = szMsgFontName.empty() ? "Arial" : szMsgFontName;
}
void cPrntOptns::KeyFontSize(std::int16_t iFontSize) {
    options_.keyFontSize = FontSizeInRange(iFontSize);
}
void cPrntOptns::MsgFontSize(std::int16_t iFontSize) {
    options_.msgFontSize = FontSizeInRange(iFontSize);
}
void cPrntOptns::KeyPsn(std::int32_t iKeyPsn) {
    options_.keyPsn = (iKeyPsn < 0 || iKeyPsn > 6) ? 6 : iKeyPsn;
}
void cPrntOptns::MsgPsn(std::int32_t iMsgPsn) {
    options_.msgPsn = (iMsgPsn < 0 || iMsgPsn > 6) ? 4 : iMsgPsn;
}

void cPrntOptns::SetCustomFrames(std::int32_t LtrX, std::int32_t LtrY, std::int32_t LglX,
                                 std::int32_t LglY, std::int32_t OvrX, std::int32_t OvrY) {
    options_.frames = PaperFrames{LtrX, LtrY, LglX, LglY, OvrX, OvrY};
}

void cPrntOptns::GetCustomFrames(std::int32_t& LtrX, std::int32_t& LtrY, std::int32_t& LglX,
                                 std::int32_t& LglY, std::int32_t& OvrX, std::int32_t& OvrY) const {
    Unpack(options_.frames, LtrX, LtrY, LglX, LglY, OvrX, OvrY);
}

void cPrntOptns::GetDefaultFrames(std::int32_t& LtrX, std::int32_t& LtrY, std::int32_t& LglX,
                                  std::int32_t& LglY, std::int32_t& OvrX, std::int32_t& OvrY) {
    Unpack(PaperFrames{}, LtrX, LtrY, LglX, LglY, OvrX, OvrY);
}
