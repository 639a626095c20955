// Searches of notes and annotations, of OCR text and of document dates;
// each answers "count,file", the file made only when there are hits.
#include <algorithm>
#include <map>
#include <set>

#include "command_engine.h"
#include "query_commands.h"

namespace docserver {
namespace {

std::string Fold(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    return text;
}

bool IsWordChar(unsigned char c) {
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c >= 128 ||
           c == '\'' || c == '-';
}

// The words of a text, folded, as a set.
std::set<std::string> Words(const std::string& text) {
    std::set<std::string> words;
    std::string word;
    for (unsigned char c : text) {
        if (IsWordChar(c)) {
            word.push_back(static_cast<char>(c));
        } else if (!word.empty()) {
            words.insert(Fold(word));
            word.clear();
        }
    }
    if (!word.empty()) words.insert(Fold(word));
    return words;
}

// Any word (operator 0) or all of them (1) occur in the text's words.
bool Matches(const std::set<std::string>& textWords, const std::set<std::string>& wanted,
             bool all) {
    if (wanted.empty()) return false;
    for (const std::string& w : wanted) {
        bool found = textWords.count(w) > 0;
        if (found && !all) return true;
        if (!found && all) return false;
    }
    return all;
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
    std::string name = WriteResultFile(user, purpose, hits);
    if (name.empty()) return "ERROR: Unable to Write Search Results";
    return std::to_string(hits.size()) + "," + name;
}

// "TALQSearchResultsTempFile," user "," password "," project "," words ",0,32000," operator
std::string QueryCommands::SearchNotes(const CommandText& command) {
    std::string words;
    if (!MiddleText(command, 4, 3, words)) return "ERROR: Invalid Search Request";
    ProjectAccess access;
    if (std::string e = OpenProject(command.Field(1), command.Field(2), command.Field(3), access);
        !e.empty())
        return e;
    const std::int64_t projectId = access.id;
    bool all = FieldFromEnd(command, 0) == "1";
    std::set<std::string> wanted = Words(words);

    // Texts per page: annotation lists and the descriptions of the units
    // that start at the page.
    std::map<std::int64_t, std::string> texts;
    Statement a(db_, "SELECT seq, list_text FROM annotations WHERE project_id = ?");
    a.Bind(1, projectId);
    while (a.Step()) texts[a.Int(0)] += " " + a.Text(1);
    Statement f(db_, "SELECT seq, description FROM folder_descriptions WHERE project_id = ?");
    f.Bind(1, projectId);
    while (f.Step()) texts[f.Int(0)] += " " + f.Text(1);

    std::vector<QueryRow> hits;
    for (const auto& [seq, text] : texts) {
        if (hits.size() >= kMaxHits) break;
        if (seq < access.firstSeq || seq > access.lastSeq) continue;
        if (Matches(Words(text), wanted, all))
            hits.push_back(QueryRow{KeyOf(projectId, seq), "", seq});
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
    const std::int64_t projectId = access.id;
    bool all = FieldFromEnd(command, 1) == "1";
    std::set<std::string> wanted = Words(words);
    std::vector<QueryRow> hits;
    Statement p(db_,
                "SELECT seq, image_key, ocr_text FROM pages WHERE project_id = ? "
                "AND ocr_text <> '' ORDER BY seq");
    p.Bind(1, projectId);
    while (p.Step() && hits.size() < kMaxHits)
        if (p.Int(0) >= access.firstSeq && p.Int(0) <= access.lastSeq &&
            Matches(Words(p.Text(2)), wanted, all))
            hits.push_back(QueryRow{p.Text(1), "", p.Int(0)});
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
    while (s.Step()) hits.push_back(QueryRow{s.Text(1), "", s.Int(0)});
    return SearchReply(command.Field(1), "search", hits);
}

}  // namespace docserver
