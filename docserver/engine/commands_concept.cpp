// The concept search commands: a search runs a slice of pages per poll.
#include <fstream>
#include <memory>

#include "command_engine.h"
#include "command_rules.h"
#include "concept_search.h"
#include "redaction_burn.h"

namespace docserver {
namespace {

constexpr int kPagesPerPoll = 40;

bool WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();  // a full disk shows when the buffer is written out
    return static_cast<bool>(out);
}

}  // namespace

// "IDEX_StartSearch" R phrase R most items R second number
std::string CommandEngine::ConceptStart(ConnectionState& state, const CommandText& command) {
    const std::string& text = command.text;
    std::vector<std::string> fields;
    std::size_t start = 0;
    while (true) {
        std::size_t sep = text.find(kRecordSep, start);
        fields.push_back(text.substr(start, sep == std::string::npos ? sep : sep - start));
        if (sep == std::string::npos) break;
        start = sep + 1;
    }
    if (fields.size() < 2 || fields[0] != "IDEX_StartSearch") return "ERROR: Invalid Command";
    ProjectAccess access;
    if (std::string error = ConnectionProject(state, access); !error.empty()) return error;
    int maxItems = 100;
    if (fields.size() > 2 && !fields[2].empty() && fields[2].size() < 7 &&
        fields[2].find_first_not_of("0123456789") == std::string::npos) {
        maxItems = std::stoi(fields[2]);
    }
    auto search = std::make_shared<ConceptSearch>(fields[1], access.id, maxItems);
    if (search->Terms().empty()) return "ERROR: Invalid Search String";
    search->nextSeq = access.firstSeq - 1;
    state.conceptSearch = search;
    return "OK";
}

std::string CommandEngine::ConceptQuery(ConnectionState& state) {
    std::shared_ptr<ConceptSearch> search = state.conceptSearch;
    if (!search) return "-1,No Search Started,0";
    ProjectAccess access;
    if (std::string error = ConnectionProject(state, access);
        !error.empty() || access.id != search->ProjectId()) {
        state.conceptSearch.reset();
        return "-1,Project Not Selected,0";
    }
    if (!search->finished) {
        // A page left out still counts towards the poll, so a poll stays short.
        const std::string sql =
            "SELECT seq, image_key, CASE WHEN " + SearchableTextSql(5) +
            " THEN ocr_text ELSE '' END FROM pages WHERE project_id = ?1 AND seq > ?2 AND "
            "seq <= ?3 AND restricted = 0 ORDER BY seq LIMIT ?4";
        Statement pages(db_, sql.c_str());
        pages.Bind(1, access.id)
            .Bind(2, search->nextSeq)
            .Bind(3, access.lastSeq)
            .Bind(4, kPagesPerPoll)
            .Bind(5, access.user);
        int scanned = 0;
        while (pages.Step()) {
            search->nextSeq = pages.Int(0);
            search->AddPage(pages.Text(1), pages.Text(2));
            ++scanned;
        }
        if (scanned == kPagesPerPoll) return "1";
        search->finished = true;
        return "1";
    }
    state.conceptSearch.reset();
    std::string rows = search->QueryFileText();
    std::string terms = search->TermFileText();
    std::string spelling = search->SpellFileText();
    int bits = (rows.empty() ? 0 : 1) | (terms.empty() ? 0 : 2) | (spelling.empty() ? 0 : 4);
    if (bits == 0) return "0,,0";
    std::string name = IssueTempName(state.user, "concept", "Q", "X");
    if (name.empty()) return "-1,Unable to Create Result Files,0";
    std::string stem = name.substr(0, name.size() - 1);
    std::string tmp = systemDir_ + "/tmp/";
    bool ok = (rows.empty() || WriteText(tmp + name, rows)) &&
              (terms.empty() || WriteText(tmp + "D" + stem, terms)) &&
              (spelling.empty() || WriteText(tmp + "S" + stem, spelling));
    if (!ok) return "-1,Unable to Write Result Files,0";
    return "0," + name + "," + std::to_string(bits);
}

}  // namespace docserver
