#include "printing/print_page_rules.h"

#include "printing/print_choices.h"

namespace printing {

std::string BatchField(const std::string& text) {
    std::string out = text;
    for (char& c : out) {
        if (c == '\r' || c == '\n') c = '@';
        if (c == '~') c = '-';
    }
    return out;
}

std::string BatchPageLine(const std::string& key, bool marked, const std::string& project,
                          const std::string& messageText, const std::string& boundaryCode,
                          std::int32_t flags) {
    std::string line = key;
    if (marked) line += "*R";
    line += "~0~" + project + "~" + BatchField(messageText) + "~" + BatchField(boundaryCode) + "~";
    if ((flags & kPrintImageKey) != 0) line += key;
    line += '\n';
    return line;
}

PageOrientation OrientPage(std::int32_t rotation, std::int32_t width, std::int32_t height,
                           std::int32_t dpi, std::int32_t currentLayerRotation) {
    const double res = dpi < 50 ? 50.0 : dpi;
    const bool tall = height > width;
    PageOrientation o;
    switch (rotation) {
        case 0:
            if (width > height && width / res > 9.0 && height / res > 7.0) o = {3, 3, true};
            break;
        case 1:
            o = tall ? PageOrientation{0, 0, true} : PageOrientation{1, 1, false};
            break;
        case 2:
            o = {2, 2, false};
            break;
        case 3:
            o = tall ? PageOrientation{2, 2, true} : PageOrientation{3, 3, false};
            break;
        default:
            o = {0, currentLayerRotation, false};
            break;
    }
    return o;
}

PrintLayers LayersFor(std::int32_t flags, bool marked, std::int32_t redactAccess,
                      std::int32_t annotAccess, bool blackAndWhite) {
    PrintLayers l;
    l.redactions = marked || redactAccess == 1 || (flags & kPrintRedactions) != 0;
    if (blackAndWhite) l.redactColorMode = 1;
    if ((flags & kPrintRedactBlack) != 0) l.redactColorMode = 1;
    if ((flags & kPrintRedactWhite) != 0) l.redactColorMode = 2;
    if (!marked && annotAccess < 2) {
        l.highlights = (flags & kPrintHighlights) != 0;
        l.markups = (flags & kPrintMarkups) != 0;
        l.notes = (flags & kPrintNotes) != 0;
    }
    return l;
}

bool WantsTags(std::int32_t flags, std::int32_t tagAccess) {
    return tagAccess != 2 && (flags & kPrintIssueTags) != 0;
}

std::string PageMessageText(std::int32_t flags, const std::string& message, std::int32_t tagAccess,
                            const std::string& tagList) {
    std::string text;
    if ((flags & kPrintMessage) != 0) text = message;
    if (!WantsTags(flags, tagAccess)) return text;
    if (!text.empty()) text += "@";
    std::size_t start = 0;
    bool first = true;
    while (!tagList.empty() && start <= tagList.size()) {
        std::size_t comma = tagList.find(',', start);
        if (comma == std::string::npos) comma = tagList.size();
        if (!first) text += ", ";
        text += tagList.substr(start, comma - start);
        first = false;
        start = comma + 1;
    }
    return text;
}

}  // namespace printing
