// The concept search commands: the start sets the search going in the
// background and each poll reports on it.
#include <cerrno>
#include <chrono>
#include <fstream>
#include <memory>

#include "command_engine.h"
#include "command_rules.h"
#include "concept_job.h"
#include "engine_text.h"

namespace docserver {
namespace {

// A poll waits this long for the end, so a client that polls without pause
// does not spin; the viewer polls once a second. The local-access library
// runs in the viewer's one thread, so its polls wait less.
constexpr std::chrono::milliseconds kPollWait{100};
constexpr std::chrono::milliseconds kLocalPollWait{20};

bool WriteText(const std::string& path, const std::string& text, std::string& why) {
    errno = 0;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();  // a full disk shows when the buffer is written out
    if (!out && why.empty() && errno != 0) why = ErrnoReason(errno);
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
    ConceptSearch search(fields[1], maxItems);
    if (search.Terms().empty()) return "ERROR: Invalid Search String";
    ConceptScope scope{access.id, access.firstSeq, access.lastSeq, access.user};
    state.conceptSearch.reset();  // an earlier search stops first
    state.conceptSearch =
        std::make_shared<ConceptJob>(systemDir_ + "/system.db", scope, std::move(search));
    return "OK";
}

std::string CommandEngine::ConceptQuery(ConnectionState& state) {
    std::shared_ptr<ConceptJob> job = state.conceptSearch;
    if (!job) return "-1,No Search Started,0";
    ProjectAccess access;
    if (std::string error = ConnectionProject(state, access);
        !error.empty() || access.id != job->ProjectId()) {
        state.conceptSearch.reset();
        // A refused project is told as every command tells it; another
        // project chosen since is not the search's.
        if (error.rfind("ERROR: ", 0) == 0) return "-1," + WireReason(error.substr(7)) + ",0";
        return "-1,Project Not Selected,0";
    }
    if (!job->WaitFinished(state.local ? kLocalPollWait : kPollWait)) return "1";
    state.conceptSearch.reset();
    // The status's fields are split at commas: the reason is told as a
    // reply's is.
    if (!job->Error().empty()) return "-1," + Failed(job->Error(), job->Reason()) + ",0";
    const ConceptSearch& search = job->Search();
    std::string rows = search.QueryFileText();
    std::string terms = search.TermFileText();
    std::string spelling = search.SpellFileText();
    int bits = (rows.empty() ? 0 : 1) | (terms.empty() ? 0 : 2) | (spelling.empty() ? 0 : 4);
    if (bits == 0) return "0,,0";
    std::string name = IssueTempName(state.user, "concept", "Q", "X");
    if (name.empty()) return "-1,Unable to Create Result Files,0";
    std::string stem = name.substr(0, name.size() - 1);
    std::string tmp = systemDir_ + "/tmp/";
    std::string why;
    bool ok = (rows.empty() || WriteText(tmp + name, rows, why)) &&
              (terms.empty() || WriteText(tmp + "D" + stem, terms, why)) &&
              (spelling.empty() || WriteText(tmp + "S" + stem, spelling, why));
    if (!ok) return "-1," + Failed("Unable to Write Result Files", why) + ",0";
    return "0," + name + "," + std::to_string(bits);
}

}  // namespace docserver
