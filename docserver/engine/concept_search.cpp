#include "concept_search.h"

#include <algorithm>
#include <initializer_list>
#include <string_view>

#include "platform/word_rule.h"

namespace docserver {
namespace {

bool IsWordChar(char c) {
    return platform::IsWordByte(static_cast<unsigned char>(c));
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// Calls f(start, end) for each word of text, end exclusive.
template <typename F>
void ForEachWord(const std::string& text, std::size_t from, std::size_t to, F f) {
    std::size_t i = from;
    while (i < to) {
        while (i < to && !IsWordChar(text[i])) ++i;
        std::size_t start = i;
        while (i < to && IsWordChar(text[i])) ++i;
        if (i > start) f(start, i);
    }
}

}  // namespace

std::vector<ConceptTerm> ConceptTerms(const std::string& phrase) {
    std::vector<ConceptTerm> terms;
    ForEachWord(phrase, 0, phrase.size(), [&](std::size_t start, std::size_t end) {
        std::string typed = phrase.substr(start, end - start);
        ConceptTerm term;
        std::size_t digits = typed.size();
        while (digits > 0 && typed[digits - 1] >= '0' && typed[digits - 1] <= '9') --digits;
        if (digits > 0 && digits < typed.size() && typed.size() - digits <= 2) {
            term.choice = std::stoi(typed.substr(digits));
            typed.resize(digits);
        }
        std::string word = Lower(typed);
        if (word.size() < 2) return;
        term.word = word;
        term.typed = typed;
        bool seen = std::any_of(terms.begin(), terms.end(),
                                [&](const ConceptTerm& t) { return t.word == word; });
        if (!seen) terms.push_back(term);
    });
    return terms;
}

// Checked without building the forms: this runs for every word of a page.
bool MatchesTerm(const std::string& word, const ConceptTerm& term) {
    const std::string_view w(word), t(term.word);
    if (w == t) return true;
    if (term.choice == 1) return false;
    auto endsAs = [&w](std::string_view stem, std::initializer_list<std::string_view> endings) {
        if (w.size() <= stem.size() || w.substr(0, stem.size()) != stem) return false;
        const std::string_view rest = w.substr(stem.size());
        return std::find(endings.begin(), endings.end(), rest) != endings.end();
    };
    if (endsAs(t, {"s", "es", "ed", "ing", "er", "ers"})) return true;
    // A term given in a plural or with an "e" finds the plain forms too.
    if (t.size() > 3 && t.back() == 's' && w == t.substr(0, t.size() - 1)) return true;
    return t.size() > 3 && t.back() == 'e' && endsAs(t.substr(0, t.size() - 1), {"ed", "ing"});
}

std::string ConceptHitRow(const std::string& ocrText, const std::vector<ConceptTerm>& terms,
                          int& hits) {
    hits = 0;
    std::string segments;
    std::size_t lineStart = 0;
    while (lineStart < ocrText.size()) {
        std::size_t lineEnd = ocrText.find('\n', lineStart);
        if (lineEnd == std::string::npos) lineEnd = ocrText.size();
        std::size_t textEnd = lineEnd;
        if (textEnd > lineStart && ocrText[textEnd - 1] == '\r') --textEnd;
        std::string pairs;
        std::size_t lastToken = std::string::npos;
        ForEachWord(ocrText, lineStart, textEnd, [&](std::size_t start, std::size_t end) {
            std::string word = Lower(ocrText.substr(start, end - start));
            for (const ConceptTerm& term : terms) {
                if (!MatchesTerm(word, term)) continue;
                ++hits;
                // The term covers its whole blank-separated token, as the
                // page's word list gives it ("payment," not "payment").
                while (start > lineStart && static_cast<unsigned char>(ocrText[start - 1]) > ' ')
                    --start;
                while (end<textEnd&& static_cast<unsigned char>(ocrText[end])> ' ') ++end;
                if (start == lastToken) break;
                lastToken = start;
                pairs += "," + std::to_string(start - lineStart) + ":" +
                         std::to_string(end - 1 - lineStart);
                break;
            }
        });
        if (!pairs.empty()) {
            segments += "[" + std::to_string(lineStart) + "," + std::to_string(textEnd - 1) + pairs;
        }
        lineStart = lineEnd + 1;
    }
    if (segments.empty()) return "";
    return std::to_string(hits) + " hits" + segments;
}

int EditDistance(const std::string& a, const std::string& b, int limit) {
    int n = static_cast<int>(a.size()), m = static_cast<int>(b.size());
    if (std::abs(n - m) > limit) return limit + 1;
    std::vector<int> previous(m + 1), current(m + 1);
    for (int j = 0; j <= m; ++j) previous[j] = j;
    for (int i = 1; i <= n; ++i) {
        current[0] = i;
        int best = current[0];
        for (int j = 1; j <= m; ++j) {
            int cost = a[i - 1] == b[j - 1] ? 0 : 1;
            current[j] = std::min({previous[j] + 1, current[j - 1] + 1, previous[j - 1] + cost});
            best = std::min(best, current[j]);
        }
        if (best > limit) return limit + 1;
        std::swap(previous, current);
    }
    return previous[m];
}

ConceptSearch::ConceptSearch(std::string phrase, int maxItems)
    : phrase_(std::move(phrase)), maxItems_(maxItems) {
    terms_ = ConceptTerms(phrase_);
    found_.assign(terms_.size(), false);
    seen_.assign(terms_.size(), false);
    if (maxItems_ < 1) maxItems_ = 1;
}

void ConceptSearch::AddPage(const std::string& key, const std::string& ocrText) {
    const bool known = std::find(found_.begin(), found_.end(), false) == found_.end() &&
                       std::find(seen_.begin(), seen_.end(), false) == seen_.end();
    if (!known)
        ForEachWord(ocrText, 0, ocrText.size(), [&](std::size_t start, std::size_t end) {
            const std::string word = Lower(ocrText.substr(start, end - start));
            for (std::size_t i = 0; i < terms_.size(); ++i) {
                if (word == terms_[i].word) seen_[i] = true;
                if (!found_[i] && MatchesTerm(word, terms_[i])) found_[i] = true;
            }
        });
    int hits = 0;
    std::string row = ConceptHitRow(ocrText, terms_, hits);
    if (!row.empty()) rows_.push_back({hits, static_cast<std::int64_t>(rows_.size()), key, row});
}

std::vector<std::string> ConceptSearch::UnseenWords() const {
    std::vector<std::string> words;
    for (std::size_t i = 0; i < terms_.size(); ++i)
        if (!seen_[i] && terms_[i].word.size() >= 3) words.push_back(terms_[i].word);
    return words;
}

void ConceptSearch::AddNearWord(const std::string& word, int count) {
    nearWords_[word] += count;
}

std::string ConceptSearch::QueryFileText() const {
    std::vector<Row> rows = rows_;
    std::stable_sort(rows.begin(), rows.end(),
                     [](const Row& a, const Row& b) { return a.hits > b.hits; });
    if (static_cast<int>(rows.size()) > maxItems_) rows.resize(static_cast<std::size_t>(maxItems_));
    std::string text;
    for (const Row& row : rows) text += row.key + "\t" + row.text + "\n";
    return text;
}

std::string ConceptSearch::TermFileText() const {
    std::string text;
    for (std::size_t i = 0; i < terms_.size(); ++i) {
        if (!found_[i]) continue;
        const ConceptTerm& term = terms_[i];
        text += term.word + "^" + std::to_string(term.choice == 1 ? 1 : 2) + "^" + term.word +
                " (this word only)~" + term.word + " and its word forms\n";
    }
    return text;
}

std::string ConceptSearch::SpellFileText() const {
    std::string text;
    for (std::size_t i = 0; i < terms_.size(); ++i) {
        const ConceptTerm& term = terms_[i];
        if (seen_[i] || term.word.size() < 3) continue;
        struct Candidate {
            int distance;
            int count;
            std::string word;
        };
        std::vector<Candidate> candidates;
        for (const auto& [word, count] : nearWords_) {
            if (word.size() < 3) continue;
            int distance = EditDistance(term.word, word, 2);
            if (distance <= 2) candidates.push_back({distance, count, word});
        }
        if (candidates.empty()) continue;
        std::sort(candidates.begin(), candidates.end(), [](const Candidate& a, const Candidate& b) {
            if (a.distance != b.distance) return a.distance < b.distance;
            if (a.count != b.count) return a.count > b.count;
            return a.word < b.word;
        });
        if (candidates.size() > 5) candidates.resize(5);
        text += term.typed + "^";
        for (std::size_t i = 0; i < candidates.size(); ++i)
            text += (i > 0 ? "~" : "") + candidates[i].word;
        text += "\n";
    }
    return text;
}

}  // namespace docserver
