#include "navigation/concept_hits.h"

#include <algorithm>
#include <climits>
#include <fstream>
#include <vector>

#include "foundation/fields.h"
#include "foundation/number_text.h"
#include "foundation/text_match.h"
#include "platform/rounding.h"

namespace navigation {
namespace {

struct PageWord {
    std::string word;
    std::int32_t x, y, width, height;
};

// The word list's entries up to the first empty one.
std::vector<PageWord> ReadWordList(const std::string& wordList) {
    std::vector<PageWord> words;
    int position = wordList.empty() ? -1 : 1;
    while (position != -1) {
        std::string entry = mVBUtil::NextToken("^", wordList, position);
        if (entry.empty()) break;
        auto number = [&](int n) {
            return platform::RoundToInt(mVBUtil::Val(mVBUtil::GetField("|", entry, n)));
        };
        words.push_back(
            {mVBUtil::GetField("|", entry, 1), number(2), number(3), number(4), number(5)});
    }
    return words;
}

std::string RectText(std::int64_t left, std::int64_t top, std::int64_t right, std::int64_t bottom) {
    return std::to_string(left) + "," + std::to_string(top) + "," + std::to_string(right) + "," +
           std::to_string(bottom);
}

std::int64_t Number(const std::string& text) {
    return platform::RoundToInt64(mVBUtil::Val(text));
}

// A segment's passage range within an OCR text of length ocrLength, clamped
// to it; false when nothing of it lies there.
bool PassageRange(const std::string& segment, std::int64_t ocrLength, std::int64_t& start,
                  std::int64_t& end) {
    start = Number(mVBUtil::GetField(",", segment, 1));
    end = std::min(Number(mVBUtil::GetField(",", segment, 2)), ocrLength - 1);
    return start >= 0 && start <= end;
}

bool SameWordNoCase(const std::string& a, const std::string& b) {
    return mVBUtil::CompareTextNoCase(a, b) == 0;
}

struct Run {
    int start = 0, end = 0, length = 0;  // page word indexes; length 0 = none
};

}  // namespace

std::string BuildQuesterHitRects(const std::string& wordList, const std::string& passage) {
    if (wordList.empty() || passage.empty()) return "";
    std::vector<std::string> p;
    int position = 1;
    while (position != -1) p.push_back(mVBUtil::NextToken(" ", passage, position));
    const std::vector<PageWord> words = ReadWordList(wordList);
    if (words.empty()) return "";
    const int u = static_cast<int>(p.size()) - 1;
    const int n = static_cast<int>(words.size());
    const bool longPassage = u >= 21;
    const double longRun = 0.75 * u;

    // Match position of each page word in the passage, 1-based; 0 none.
    std::vector<int> m(static_cast<size_t>(n), 0);
    int expected = 0, count = 0, misses = 0;
    std::string stem;
    for (int w = 0; w < n; ++w) {
        const std::string& word = words[static_cast<size_t>(w)].word;
        if (word.size() < 2 || word == stem) continue;
        const char last = word.back();
        stem = last == 'S' || last == 's' ? word.substr(0, word.size() - 1) : std::string();
        bool hit = false;
        for (int i = expected; i <= expected + 2 && i <= u; ++i) {
            if (!SameWordNoCase(word, p[static_cast<size_t>(i)])) continue;
            m[static_cast<size_t>(w)] = i + 1;
            expected = i + 1;
            ++count;
            hit = true;
            break;
        }
        if (hit) continue;
        if (misses > 10 && count > longRun && longPassage) break;
        auto found = std::find_if(p.begin(), p.end(),
                                  [&](const std::string& pw) { return SameWordNoCase(word, pw); });
        if (found == p.end()) {
            ++misses;
            continue;
        }
        if (count > longRun && longPassage) break;
        const int i = static_cast<int>(found - p.begin());
        m[static_cast<size_t>(w)] = i + 1;
        expected = i + 1;
        count = 1;
        misses = 1;
    }

    Run best, current;
    auto judge = [&](const Run& run) {
        if (run.length > best.length || (run.length == best.length && run.length > 0 &&
                                         run.end - run.start < best.end - best.start))
            best = run;
    };
    int previous = 0;
    for (int w = 0; w < n; ++w) {
        const int mw = m[static_cast<size_t>(w)];
        if (mw == 0) continue;
        if (current.length > 0 && mw <= previous) {
            judge(current);
            current = {w, w, 1};
        } else {
            if (current.length == 0) current.start = w;
            current.end = w;
            ++current.length;
        }
        previous = mw;
    }
    judge(current);
    if (best.length == 0) return "";

    const PageWord& first = words[static_cast<size_t>(best.start)];
    std::int64_t left = first.x, top = first.y;
    std::int64_t right = std::int64_t{first.x} + first.width;
    std::int64_t bottom = std::int64_t{first.y} + first.height;
    for (int w = best.start; w <= best.end; ++w) {
        const PageWord& pw = words[static_cast<size_t>(w)];
        left = std::min<std::int64_t>(left, pw.x);
        top = std::min<std::int64_t>(top, pw.y);
        right = std::max(right, std::int64_t{pw.x} + pw.width);
        bottom = std::max(bottom, std::int64_t{pw.y} + pw.height);
    }
    return RectText(left, top, right, bottom);
}

std::string BuildWordHiliteRects(const std::string& ocrText, const std::string& wordList,
                                 const std::string& passageRect, const std::string& segment) {
    const int fields = mVBUtil::CountFields(",", segment);
    if (fields < 3) return "";
    std::int64_t start = 0, end = 0;
    if (!PassageRange(segment, static_cast<std::int64_t>(ocrText.size()), start, end)) return "";
    const std::string passage =
        ocrText.substr(static_cast<size_t>(start), static_cast<size_t>(end - start + 1));
    const auto length = static_cast<std::int64_t>(passage.size());

    std::vector<std::string> terms;
    for (int f = 3; f <= fields; ++f) {
        const std::string pair = mVBUtil::GetField(",", segment, f);
        const std::int64_t s = Number(mVBUtil::GetField(":", pair, 1));
        const std::int64_t e = std::min(Number(mVBUtil::GetField(":", pair, 2)), length - 1);
        if (s < 0 || s >= length || e < s) continue;
        terms.push_back(
            mVBUtil::UCase(passage.substr(static_cast<size_t>(s), static_cast<size_t>(e - s + 1))));
    }
    if (terms.empty()) return "";

    const std::int64_t left = Number(mVBUtil::GetField(",", passageRect, 1));
    const std::int64_t top = Number(mVBUtil::GetField(",", passageRect, 2));
    const std::int64_t right = Number(mVBUtil::GetField(",", passageRect, 3));
    const std::int64_t bottom = Number(mVBUtil::GetField(",", passageRect, 4));
    std::string result;
    for (const PageWord& w : ReadWordList(wordList)) {
        const std::string upper = mVBUtil::UCase(w.word);
        for (const std::string& term : terms) {
            if (term != upper) continue;
            if (w.x < left || w.x > right || w.y < top || w.y > bottom) continue;
            if (!result.empty()) result += "^";
            result += RectText(w.x, w.y, std::int64_t{w.x} + w.width, std::int64_t{w.y} + w.height);
        }
    }
    return result;
}

ConceptHits BuildConceptHits(const std::string& rowText, const std::string& wordList,
                             const std::string& ocrText, const WordBufFn& wordBuf) {
    ConceptHits hits;
    const bool ocrKnown = ocrText.size() > 1;
    // Without the OCR text the range cannot be checked against it.
    const std::int64_t ocrLength = ocrKnown ? static_cast<std::int64_t>(ocrText.size()) : INT64_MAX;
    const int segments = mVBUtil::CountFields("[", rowText);
    for (int i = 2; i <= segments; ++i) {
        const std::string segment = mVBUtil::GetField("[", rowText, i);
        std::int64_t start = 0, end = 0;
        if (!PassageRange(segment, ocrLength, start, end)) continue;
        std::string words;
        if (!wordBuf(std::to_string(start), std::to_string(end), words) || words.empty()) continue;
        const std::string rect = BuildQuesterHitRects(wordList, words);
        if (rect.empty()) continue;
        hits.hitRects += (hits.hitRects.empty() ? "" : "|") + rect;
        if (!ocrKnown) continue;
        const std::string group = BuildWordHiliteRects(ocrText, wordList, rect, segment);
        if (!group.empty()) hits.wordRects += (hits.wordRects.empty() ? "" : "|") + group;
    }
    return hits;
}

std::int32_t MaxItemsFromAnswer(const std::string& answer, std::int32_t current) {
    if (answer.empty()) return current;
    const double value = mVBUtil::Val(answer);
    return platform::RoundToInt(std::clamp(value, 10.0, 99999.0));
}

std::string ReplaceWholeWord(const std::string& phrase, const std::string& word,
                             const std::string& replacement) {
    if (word.empty()) return phrase;
    auto isWordChar = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               static_cast<unsigned char>(c) >= 0xC0;
    };
    std::string result;
    std::size_t from = 0;
    while (true) {
        std::size_t at = phrase.find(word, from);
        if (at == std::string::npos) break;
        const std::size_t after = at + word.size();
        const bool whole = (at == 0 || !isWordChar(phrase[at - 1])) &&
                           (after >= phrase.size() || !isWordChar(phrase[after]));
        result += phrase.substr(from, at - from);
        result += whole ? replacement : word;
        from = after;
    }
    return result + phrase.substr(from);
}

bool ReadQuesterRows(const std::string& path, bool termFile, std::vector<QuesterRow>& rows) {
    rows.clear();
    std::ifstream in(path, std::ios::binary);
    if (path.empty() || !in) return false;
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        QuesterRow row;
        row.word = mVBUtil::GetField("^", line, 1);
        const std::string choices = mVBUtil::GetField("^", line, termFile ? 3 : 2);
        if (termFile)
            row.selected = platform::RoundToInt(mVBUtil::Val(mVBUtil::GetField("^", line, 2)));
        int position = choices.empty() ? -1 : 1;
        while (position != -1) row.choices.push_back(mVBUtil::NextToken("~", choices, position));
        rows.push_back(std::move(row));
    }
    return true;
}

}  // namespace navigation
