#pragma once
// The stand-in's concept search: the words of a phrase and their close
// forms, looked up in the pages' OCR text a slice at a time.
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

class ConceptSearch {
  public:
    ConceptSearch(std::string phrase, std::int64_t projectId, int maxItems);

    // One page of the project.
    void AddPage(const std::string& key, const std::string& ocrText);

    const std::vector<ConceptTerm>& Terms() const { return terms_; }
    std::int64_t ProjectId() const { return projectId_; }
    std::int64_t nextSeq = 0;  // the last seq scanned
    bool finished = false;

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
    std::int64_t projectId_;
    int maxItems_;
    std::vector<ConceptTerm> terms_;
    std::vector<Row> rows_;
    std::map<std::string, int> vocabulary_;  // word -> occurrences
};

}  // namespace docserver
