#pragma once
// The stand-in's concept search: the words of a phrase and their close
// forms, looked up in the pages' OCR text.
//
// Result files (plain text, lines ended by LF):
//   query file  one row per page: key, Tab, row text. The row text is the
//               hit count and " hits", then one segment per hit passage:
//               "[" start "," end, then "," s ":" e per matched term, where
//               start and end are positions in the page's OCR text and s, e
//               positions within the passage (all from 0, inclusive). A
//               passage is one line of the OCR text; a term covers its whole
//               blank-separated token, as the word list gives it.
//   term file   term "^" selected definition "^" definitions joined by "~"
//   spell file  word as typed "^" suggestions joined by "~"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace docserver {

struct ConceptTerm {
    std::string word;   // lower case
    std::string typed;  // as the phrase gives it
    int choice = 0;     // 1 the exact word, 2 (or 0) the word and its forms
};

// Words of the phrase (letters and digits), lower case; a trailing number is
// the choice of definition ("bank1"). Repeated words count once.
std::vector<ConceptTerm> ConceptTerms(const std::string& phrase);

// Whether a lower-case word of the text is the term or one of its forms.
bool MatchesTerm(const std::string& word, const ConceptTerm& term);

// The row text of one page, "" when nothing matched; hits counts matches.
std::string ConceptHitRow(const std::string& ocrText, const std::vector<ConceptTerm>& terms,
                          int& hits);

// Edit distance, stopping early above limit.
int EditDistance(const std::string& a, const std::string& b, int limit);

// The rows and offers of one search, from the pages that may hold a term
// and the project's words close to a term that no page holds.
class ConceptSearch {
  public:
    ConceptSearch(std::string phrase, int maxItems);

    // A page of the project that may hold a term (every page that does
    // must be added).
    void AddPage(const std::string& key, const std::string& ocrText);
    // Terms of three or more letters that no added page holds as they stand:
    // the words spelling is offered for.
    std::vector<std::string> UnseenWords() const;
    // A word of the project within two edits of an unseen word, with its
    // occurrences in the pages the search may read.
    void AddNearWord(const std::string& word, int count);

    const std::vector<ConceptTerm>& Terms() const { return terms_; }

    std::string QueryFileText() const;
    std::string TermFileText() const;
    std::string SpellFileText() const;

  private:
    struct Row {
        int hits;
        std::int64_t order;
        std::string key;
        std::string text;
    };
    std::string phrase_;
    int maxItems_;
    std::vector<ConceptTerm> terms_;
    std::vector<Row> rows_;
    std::vector<bool> found_;               // by term: some word matches it
    std::vector<bool> seen_;                // by term: its word itself occurs
    std::map<std::string, int> nearWords_;  // word -> occurrences
};

}  // namespace docserver
