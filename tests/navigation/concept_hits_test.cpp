// Placing a concept search's passages and term words on a page.

#include "navigation/concept_hits.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using navigation::BuildConceptHits;
using navigation::BuildQuesterHitRects;

struct Box {
    const char* word;
    int x, y, w, h;
};

std::string WordList(const std::vector<Box>& boxes) {
    std::string list;
    for (const Box& b : boxes) {
        if (!list.empty()) list += "^";
        list += std::string(b.word) + "|" + std::to_string(b.x) + "|" + std::to_string(b.y) + "|" +
                std::to_string(b.w) + "|" + std::to_string(b.h);
    }
    return list;
}

// Page words on one line, each 10 wide, 20 apart.
std::string Line(const std::vector<const char*>& words) {
    std::vector<Box> boxes;
    for (size_t i = 0; i < words.size(); ++i)
        boxes.push_back({words[i], static_cast<int>(20 * i), 0, 10, 10});
    return WordList(boxes);
}

TEST(QuesterHitRects, ThePassageIsBoxedWhereItsWordsRunOnThePage) {
    struct Case {
        const char* name;
        std::string wordList;
        std::string passage;
        std::string rect;
    } cases[] = {
        {"across two lines",
         WordList({{"The", 10, 10, 30, 20},
                   {"buyer", 50, 10, 50, 20},
                   {"signed", 110, 10, 60, 20},
                   {"the", 10, 40, 30, 20},
                   {"contract", 50, 40, 80, 20},
                   {"today.", 140, 40, 60, 20}}),
         "buyer signed the contract", "10,10,170,60"},
        {"repeated words: the longest run wins",
         Line({"the", "cat", "sat.", "the", "cat", "sat", "on", "the", "mat."}),
         "the cat sat on the mat.", "80,0,170,10"},
        {"punctuation and case", Line({"He", "SIGNED,", "the", "deal"}), "signed, THE",
         "20,0,50,10"},
        {"a plural's singular right after it is skipped", Line({"Cats", "Cat", "dog"}), "cat dog",
         "40,0,50,10"},
        {"the stem compares exactly", Line({"cats", "Cat", "dog"}), "cat dog", "20,0,50,10"},
        {"equal runs: the narrower wins", Line({"alpha", "zz", "beta", "alpha", "beta"}),
         "alpha beta", "60,0,90,10"},
        {"nothing in common", Line({"one", "two"}), "three four", ""},
        {"no word list", "", "one", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BuildQuesterHitRects(c.wordList, c.passage), c.rect) << c.name;
}

// The server's word buffer over an OCR text: both ends inclusive.
struct FakeWordBuf {
    std::string ocr;
    std::vector<std::string> requests;
    bool operator()(const std::string& start, const std::string& end, std::string& words) {
        requests.push_back(start + "," + end);
        words.clear();
        bool blank = false;
        for (long i = std::stol(start); i <= std::stol(end) && i < static_cast<long>(ocr.size());
             ++i) {
            const char c = ocr[static_cast<size_t>(i)];
            if (c == ' ' || c == '\r' || c == '\n') {
                blank = !words.empty();
                continue;
            }
            if (blank) words += ' ';
            blank = false;
            words += c;
        }
        return true;
    }
};

const std::string kOcr = "The buyer signed the contract.\r\nPayment follows.\r\n";
const std::string kWords = WordList({{"The", 0, 0, 30, 10},
                                     {"buyer", 40, 0, 50, 10},
                                     {"signed", 100, 0, 60, 10},
                                     {"the", 170, 0, 30, 10},
                                     {"contract.", 210, 0, 90, 10},
                                     {"Payment", 0, 20, 70, 10},
                                     {"follows.", 80, 20, 80, 10}});

TEST(ConceptHits, EachSegmentGivesItsPassageBoxAndItsTermWords) {
    FakeWordBuf buf{kOcr, {}};
    auto hits = BuildConceptHits("3 hits[0,29,4:8,21:29[32,47,0:6", kWords, kOcr, std::ref(buf));
    EXPECT_EQ(hits.hitRects, "0,0,300,10|0,20,160,30");
    EXPECT_EQ(hits.wordRects, "40,0,90,10^210,0,300,10|0,20,70,30");
    EXPECT_EQ(buf.requests, (std::vector<std::string>{"0,29", "32,47"}));
}

TEST(ConceptHits, PositionsOutsideTheTextOrReversedAreClampedOrSkipped) {
    FakeWordBuf buf{kOcr, {}};
    // A negative start and a reversed range send nothing; an end past the
    // text is cut to it; reversed, negative and overlong term pairs neither
    // crash nor mark words.
    auto hits = BuildConceptHits("x[-3,10,0:2[12,5[0,999,4:8,30:2,-1:3,21:500[1e3x,2", kWords, kOcr,
                                 std::ref(buf));
    EXPECT_EQ(buf.requests, (std::vector<std::string>{"0,49"}));
    EXPECT_EQ(hits.hitRects, "0,0,300,30");
    EXPECT_EQ(hits.wordRects, "40,0,90,10");
}

TEST(ConceptHits, APageWithoutOcrTextGetsPassagesButNoWords) {
    FakeWordBuf buf{kOcr, {}};
    auto hits = BuildConceptHits("1 hits[0,29,4:8", kWords, " ", std::ref(buf));
    EXPECT_EQ(hits.hitRects, "0,0,300,10");
    EXPECT_EQ(hits.wordRects, "");
    EXPECT_EQ(buf.requests, (std::vector<std::string>{"0,29"}));
}

TEST(ConceptSearchInputs, MaxItemsAndWholeWordReplacement) {
    struct {
        const char* answer;
        int items;
    } answers[] = {{"5", 10},         {"0", 10},          {"abc", 10},
                   {"250000", 99999}, {"250 items", 250}, {"", 777}};
    for (const auto& a : answers)
        EXPECT_EQ(navigation::MaxItemsFromAnswer(a.answer, 777), a.items) << a.answer;

    struct {
        const char* phrase;
        const char* word;
        const char* choice;
        const char* result;
    } replacements[] = {
        {"recieve payment", "recieve", "receive", "receive payment"},
        {"form a formal form", "form", "from", "from a formal from"},
        {"Recieve recieve", "recieve", "receive", "Recieve receive"},
    };
    for (const auto& r : replacements)
        EXPECT_EQ(navigation::ReplaceWholeWord(r.phrase, r.word, r.choice), r.result) << r.phrase;
}

}  // namespace
