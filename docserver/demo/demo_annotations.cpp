#include "demo/demo_annotations.h"

#include <algorithm>
#include <vector>

#include "platform/annotation_kinds.h"
#include "platform/wire_separators.h"

namespace docserver::demo {

namespace {

// Colours as the viewer keeps them: red in the low byte.
constexpr int kBlack = 0x000000, kWhite = 0xFFFFFF, kYellow = 0x00FFFF, kRed = 0x0000FF,
              kBlue = 0xFF0000;

struct Box {
    int left = 0, top = 0, right = 0, bottom = 0;
};

// One record of a list, its fields in the viewer's order.
struct Record {
    Box box;
    std::string font;  // "" or size, style, 0, 0, face joined by the list separator
    int labelFlag = 0;
    int color = 0;
    int rotation = 0;  // a markup's pen size
    int color2 = 0;
    std::string label;
    std::string text;
};

std::string Font(int size, const std::string& face) {
    const char sep = wire::kListSep;
    return std::to_string(size) + sep + "0" + sep + "0" + sep + "0" + sep + face;
}

std::string ListText(const std::vector<Record>& records) {
    const char sep = wire::kFieldSep;
    std::string text;
    for (const Record& r : records) {
        if (!text.empty()) text += wire::kRecordSep;
        for (int n : {r.box.left, r.box.top, r.box.right, r.box.bottom, 0}) {
            text += std::to_string(n) + sep;
        }
        text += r.font + sep;
        for (int n : {r.labelFlag, 0, r.color, r.rotation, r.color2}) {
            text += std::to_string(n) + sep;
        }
        text += r.label + wire::kStampSep + "ADMIN" + wire::kStampSep + "03/02/2026" + sep + r.text;
    }
    return text;
}

// The box around words first to last of a page, with a margin.
Box Around(const std::vector<imaging::WordBox>& words, std::size_t first, std::size_t last) {
    Box b{words[first].x, words[first].y, words[first].x, words[first].y};
    for (std::size_t i = first; i <= last && i < words.size(); ++i) {
        b.left = std::min(b.left, words[i].x);
        b.top = std::min(b.top, words[i].y);
        b.right = std::max(b.right, words[i].x + words[i].width);
        b.bottom = std::max(b.bottom, words[i].y + words[i].height);
    }
    return {b.left - 6, b.top - 6, b.right + 6, b.bottom + 6};
}

void Add(DemoProject& project, int page, int kind, const std::vector<Record>& records) {
    project.annotations.push_back({page, kind, ListText(records)});
}

}  // namespace

void MarkUpProject(DemoProject& project, const std::string& dir) {
    // Readable pages a reviewer of the first half reaches early.
    std::vector<int> readable;
    for (std::size_t i = 0; i < project.pages.size() && readable.size() < 4; ++i) {
        const DemoPage& p = project.pages[i];
        if (!p.placeholder && !p.restricted && p.content && p.content->words.size() > 40 &&
            p.size == imaging::PageSize::Letter && (readable.empty() || i > static_cast<std::size_t>(readable.back()) + 1))
            readable.push_back(static_cast<int>(i));
    }
    if (readable.size() < 4) return;
    const auto& words = [&](int page) -> const std::vector<imaging::WordBox>& {
        return project.pages[static_cast<std::size_t>(page)].content->words;
    };

    // A highlighted heading and a sticky note above it.
    const int a = readable[0];
    const Box heading = Around(words(a), 0, 2);
    Add(project, a, kHighlight, {{heading, "", 0, kYellow, 0, kYellow, "", ""}});
    Add(project, a, kStickyNote,
        {{{heading.left, heading.top - 160, heading.left + 72, heading.top - 88},
          "",
          0,
          0,
          0,
          0,
          "",
          "Check the date against the shipping log."}});

    // A labelled redaction over a line, and a typed note below the heading.
    const int b = readable[1];
    Add(project, b, kRedaction,
        {{Around(words(b), 12, 17), Font(28, "Arial"), 1, kBlack, 0, kWhite, "PRIVILEGED", ""}});
    const Box title = Around(words(b), 0, 0);
    Add(project, b, kTextNote,
        {{{title.left, title.bottom + 8, title.left + 1400, title.bottom + 70},
          Font(36, "Arial"),
          0,
          kBlue,
          0,
          kBlue,
          "",
          "Attorney review needed"}});

    // A pen stroke under a phrase, and a clip to the document's original.
    const int c = readable[2];
    const Box phrase = Around(words(c), 3, 6);
    const int y = phrase.bottom + 4;
    Add(project, c, kMarkup,
        {{{phrase.left, y, phrase.left, y},
          "",
          0,
          kRed,
          4,
          0,
          "",
          std::to_string(phrase.left) + "," + std::to_string(y) + ";" +
              std::to_string((phrase.left + phrase.right) / 2) + "," + std::to_string(y + 8) + ";" +
              std::to_string(phrase.right) + "," + std::to_string(y)}});
    std::string original;
    for (const DemoPage& p : project.pages) {
        if (!p.originalFile.empty()) {
            original = dir + "/" + p.originalFile;
            break;
        }
    }
    if (!original.empty()) {
        Add(project, c, kClip,
            {{{phrase.right + 60, phrase.top, phrase.right + 132, phrase.top + 72},
              "",
              0,
              0,
              0,
              1,
              "",
              original}});
    }

    // A page the reviewer turned a quarter clockwise.
    project.pages[static_cast<std::size_t>(readable[3])].rotation = 1;
}

}  // namespace docserver::demo
