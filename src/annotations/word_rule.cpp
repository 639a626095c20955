#include "annotations/word_rule.h"

namespace TalqClientAPI_Header {

bool IsWordByte(unsigned char c) {
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
    switch (c) {
        case 0x83:  // f with hook
        case 0x88:  // modifier circumflex
        case 0x8A:  // S caron, OE, Z caron and their small forms
        case 0x8C:
        case 0x8E:
        case 0x9A:
        case 0x9C:
        case 0x9E:
        case 0x9F:  // Y diaeresis
        case 0xAA:  // the ordinal indicators
        case 0xBA:
        case 0xB2:  // superscript digits
        case 0xB3:
        case 0xB9:
        case 0xB5:  // micro
        case 0xBC:  // fractions
        case 0xBD:
        case 0xBE:
            return true;
        default:
            // Latin-1 letters, less the multiplication and division signs.
            return c >= 0xC0 && c != 0xD7 && c != 0xF7;
    }
}

std::vector<std::string> EntryWords(const std::string& entry) {
    std::vector<std::string> words;
    std::string word;
    for (char c : entry) {
        if (IsWordByte(static_cast<unsigned char>(c))) {
            word.push_back(c);
        } else if (!word.empty()) {
            words.push_back(std::move(word));
            word.clear();
        }
    }
    if (!word.empty()) words.push_back(std::move(word));
    return words;
}

}  // namespace TalqClientAPI_Header
