#pragma once
// Where a concept search's hits lie on a page: the row text of a concept
// query names passages and term words by positions in the page's OCR text;
// these turn them into rectangle texts ("left,top,right,bottom" in image
// pixels) by aligning the passage with the page's word list
// ("word|x|y|width|height" entries joined by "^").

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace navigation {

// The bounding box of the run of page words that best aligns with the
// passage's blank-separated words; "" when none aligns.
std::string BuildQuesterHitRects(const std::string& wordList, const std::string& passage);

// The boxes of the page words inside passageRect that equal a term word of
// the segment ("start,end,s:e,..."), joined by "^"; "" when none.
std::string BuildWordHiliteRects(const std::string& ocrText, const std::string& wordList,
                                 const std::string& passageRect, const std::string& segment);

// The passage's words for a range of OCR positions, as the server gives
// them; false when the request failed.
using WordBufFn =
    std::function<bool(const std::string& start, const std::string& end, std::string& words)>;

struct ConceptHits {
    std::string hitRects;   // passage rectangles joined by "|"
    std::string wordRects;  // per passage a group of "^"-joined rectangles, joined by "|"
};

// Both rectangle lists of one concept row text. An ocrText of one character
// or less is unknown: passages are placed but no term words.
ConceptHits BuildConceptHits(const std::string& rowText, const std::string& wordList,
                             const std::string& ocrText, const WordBufFn& wordBuf);

// The most items a search returns after the answer to its input box:
// unchanged when the answer is empty, else its leading number within 10..99999.
std::int32_t MaxItemsFromAnswer(const std::string& answer, std::int32_t current);

// Every whole-word, exact-case occurrence of word in phrase replaced.
std::string ReplaceWholeWord(const std::string& phrase, const std::string& word,
                             const std::string& replacement);

// One row of the concept engine's spell or term file: the word (the term),
// its choices in order and, in a term file, the 1-based choice selected at
// first (0 or past the list: none).
struct QuesterRow {
    std::string word;
    std::vector<std::string> choices;
    std::int32_t selected = 0;
};

// The non-empty lines of a spell file ("word^choice~choice") or a term file
// ("term^selected^definition~definition"); false when it cannot be opened.
bool ReadQuesterRows(const std::string& path, bool termFile, std::vector<QuesterRow>& rows);

}  // namespace navigation
