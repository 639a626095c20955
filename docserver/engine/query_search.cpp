// Searches of notes and annotations, of OCR text and of document dates;
// each answers "count,file", the file made only when there are hits.
#include <algorithm>
#include <map>
#include <set>

#include <iterator>

#include "command_engine.h"
#include "command_rules.h"
#include "platform/word_rule.h"
#include "query_commands.h"
#include "redaction_burn.h"
#include "system_upgrade.h"
#include "written_texts.h"

namespace docserver {
namespace {

// A full-text query for one word: quoted, so it is taken as it is.
std::string Phrase(const std::string& word) {
    return "\"" + word + "\"";
}

// More distinct words than anyone types: a search of them is refused
// rather than left to tie up the server.
constexpr std::size_t kMaxSearchWords = 1000;
constexpr const char* kTooManyWords = "ERROR: Too Many Search Words";

// The distinct words of a search text in their order (the index folds case
// itself); false when there are more than kMaxSearchWords.
bool SearchWords(const std::string& text, std::vector<std::string>& words) {
    std::set<std::string> seen;
    for (std::string& word : platform::TextWords(text)) {
        std::string folded = word;
        for (char& c : folded)
            if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
        if (!seen.insert(std::move(folded)).second) continue;
        if (words.size() == kMaxSearchWords) return false;
        words.push_back(std::move(word));
    }
    return true;
}

// Pages (seqs, ascending) of the project inside [firstSeq, lastSeq] whose
// text in the index matches the query.
std::set<std::int64_t> IndexedPages(SystemDb& db, const char* index, const std::string& match,
                                    const ProjectAccess& access) {
    std::string sql = std::string("SELECT rowid FROM ") + index + " WHERE " + index +
                      " MATCH ? AND rowid BETWEEN ? AND ?";
    Statement s(db, sql.c_str());
    s.Bind(1, match)
        .Bind(2, TextRowId(access.id, access.firstSeq, 0))
        .Bind(3, TextRowId(access.id, access.lastSeq, 255));
    std::set<std::int64_t> seqs;
    while (s.Row()) seqs.insert(SeqOfTextRow(s.Int(0)));
    return seqs;
}

// The free text between the first `from` commas and the last `fromEnd` ones.
bool MiddleText(const CommandText& command, std::size_t from, std::size_t fromEnd,
                std::string& middle) {
    if (command.Count() < from + fromEnd + 1) return false;
    std::string rest = command.Rest(from);
    std::size_t cut = rest.size();
    for (std::size_t i = 0; i < fromEnd; ++i) {
        cut = rest.rfind(',', cut == 0 ? 0 : cut - 1);
        if (cut == std::string::npos) return false;
    }
    middle = rest.substr(0, cut);
    return true;
}

const std::string& FieldFromEnd(const CommandText& command, std::size_t index) {
    return command.Field(command.Count() - 1 - index);
}

bool IsDate(const std::string& text) {
    return text.size() == 8 &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

constexpr std::size_t kMaxHits = 32000;

}  // namespace

std::string QueryCommands::SearchReply(const std::string& user, const std::string& purpose,
                                       const std::vector<QueryRow>& hits) {
    if (hits.empty()) return "0,";
    std::string why;
    std::string name = WriteResultFile(user, purpose, hits, why);
    if (name.empty()) return engine_.Failed("ERROR: Unable to Write Search Results", why);
    return std::to_string(hits.size()) + "," + name;
}

// "TALQSearchResultsTempFile," user "," password "," project "," words ",0,32000," operator
// A page is found by its annotation lists and the descriptions of the units
// that start at it, taken together.
std::string QueryCommands::SearchNotes(const CommandText& command) {
    std::string words;
    if (!MiddleText(command, 4, 3, words)) return "ERROR: Invalid Search Request";
    ProjectAccess access;
    if (std::string e = OpenProject(command.Field(1), command.Field(2), command.Field(3), access);
        !e.empty())
        return e;
    bool all = FieldFromEnd(command, 0) == "1";
    std::vector<std::string> wanted;
    if (!SearchWords(words, wanted)) return kTooManyWords;
    if (std::string why; !RefreshNoteIndex(db_, &why))
        return engine_.Failed("ERROR: Unable to Search Notes", why);
    std::set<std::int64_t> pages;
    for (std::size_t i = 0; i < wanted.size(); ++i) {
        if (all && i > 0 && pages.empty()) break;
        std::set<std::int64_t> found = IndexedPages(db_, "note_index", Phrase(wanted[i]), access);
        if (!all || i == 0) {
            pages.insert(found.begin(), found.end());
            continue;
        }
        std::set<std::int64_t> both;
        std::set_intersection(pages.begin(), pages.end(), found.begin(), found.end(),
                              std::inserter(both, both.end()));
        pages.swap(both);
    }
    std::vector<QueryRow> hits;
    const bool seeThrough = MaySeeThroughRedactions(access.security);
    for (std::int64_t seq : pages) {
        if (hits.size() >= kMaxHits) break;
        if (!seeThrough && engine_.HasRedactions(access.id, seq)) continue;
        hits.push_back(QueryRow{KeyOf(access.id, seq), "", seq});
    }
    return SearchReply(command.Field(1), "search", hits);
}

// "TALQSearchImgText," user "," password "," project "," words "," operator ",32000"
std::string QueryCommands::SearchOcr(const CommandText& command) {
    std::string words;
    if (!MiddleText(command, 4, 2, words)) return "ERROR: Invalid Search Request";
    ProjectAccess access;
    if (std::string e = OpenProject(command.Field(1), command.Field(2), command.Field(3), access);
        !e.empty())
        return e;
    bool all = FieldFromEnd(command, 1) == "1";
    std::vector<std::string> wanted;
    if (!SearchWords(words, wanted)) return kTooManyWords;
    std::vector<QueryRow> hits;
    if (wanted.empty()) return SearchReply(command.Field(1), "search", hits);
    std::string match;
    for (const std::string& word : wanted)
        match += (match.empty() ? "" : all ? " AND " : " OR ") + Phrase(word);
    const std::string sql =
        std::string("SELECT seq, image_key FROM pages WHERE project_id = ?1 AND ") +
        kOcrIndexMatchSql + " AND " +
        SearchableTextSql(6) + " ORDER BY seq LIMIT ?5";
    Statement s(db_, sql.c_str());
    BindOcrIndexMatch(s, access.id, match, access.firstSeq, access.lastSeq)
        .Bind(5, static_cast<std::int64_t>(kMaxHits))
        .Bind(6, access.user);
    while (s.Row()) hits.push_back(QueryRow{s.Text(1), "", s.Int(0)});
    return SearchReply(command.Field(1), "search", hits);
}

// "TALQDTSearchDate," user "," password "," project "," criterion "," date1 "," date2
// 1 equal, 2 up to, 3 from, 4 between (both included), 5 pages without a date.
std::string QueryCommands::SearchDate(const CommandText& command) {
    if (command.Count() != 7) return "ERROR: Invalid Search Request";
    ProjectAccess access;
    if (std::string e = OpenProject(command.Field(1), command.Field(2), command.Field(3), access);
        !e.empty())
        return e;
    const std::int64_t projectId = access.id;
    const std::string& criterion = command.Field(4);
    const std::string& first = command.Field(5);
    const std::string& second = command.Field(6);
    const char* sql = nullptr;
    if (criterion == "1") sql = "doc_date = ?1";
    if (criterion == "2") sql = "doc_date <> '' AND doc_date <= ?1";
    if (criterion == "3") sql = "doc_date >= ?1";
    if (criterion == "4") sql = "doc_date BETWEEN ?1 AND ?2";
    if (criterion == "5") sql = "doc_date = ''";
    if (sql == nullptr) return "ERROR: Invalid Date Criterion";
    if (criterion != "5" && (!IsDate(first) || (criterion == "4" && !IsDate(second))))
        return "ERROR: Invalid Date";
    std::string query = std::string(
                            "SELECT seq, image_key FROM pages WHERE project_id = ?3 AND seq "
                            "BETWEEN ?4 AND ?5 AND ") +
                        sql + " ORDER BY seq LIMIT " + std::to_string(kMaxHits);
    Statement s(db_, query.c_str());
    if (criterion != "5") s.Bind(1, first);
    if (criterion == "4") s.Bind(2, second);
    s.Bind(3, projectId).Bind(4, access.firstSeq).Bind(5, access.lastSeq);
    std::vector<QueryRow> hits;
    while (s.Row()) hits.push_back(QueryRow{s.Text(1), "", s.Int(0)});
    return SearchReply(command.Field(1), "search", hits);
}

}  // namespace docserver
