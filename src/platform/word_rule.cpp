#include "platform/word_rule.h"

namespace platform {

bool IsWordByte(unsigned char c) {
    if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
    switch (c) {
        case 0x83:  // f with hook
        case 0x88:  // modifier circumflex, a letter to the indexes
        case 0x8A:  // S caron
        case 0x8C:  // OE
        case 0x8E:  // Z caron
        case 0x9A:
        case 0x9C:
        case 0x9E:
        case 0x9F:  // Y diaeresis
        case 0xAA:  // feminine ordinal
        case 0xB2:  // superscript two, three
        case 0xB3:
        case 0xB5:  // micro
        case 0xB9:  // superscript one
        case 0xBA:  // masculine ordinal
        case 0xBC:  // the three fractions
        case 0xBD:
        case 0xBE:
            return true;
        default:
            break;
    }
    // Latin-1 letters, less the multiplication and division signs.
    return c >= 0xC0 && c != 0xD7 && c != 0xF7;
}

std::vector<std::string> TextWords(const std::string& text) {
    std::vector<std::string> words;
    std::string word;
    for (char c : text) {
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

}  // namespace platform
