// Query paging, temporary files, the date sort and saving as a collection.
#include "query_commands.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <fstream>
#include <map>
#include <mutex>
#include <unordered_set>

#include <sqlite3.h>

#include "command_engine.h"
#include "command_rules.h"
#include "engine_text.h"
#include "path_confine.h"
#include "tag_numbers.h"
#include "transaction.h"

namespace docserver {
namespace {

// Leading decimal digits; 0 when there are none.
std::int64_t Number(const std::string& text) {
    std::int64_t value = 0;
    std::size_t i = 0;
    bool negative = !text.empty() && text[0] == '-';
    if (negative) i = 1;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9' && value < 1000000000; ++i)
        value = value * 10 + (text[i] - '0');
    return negative ? -value : value;
}

// A temporary file name carries no separators of any kind.
bool IsBareName(const std::string& name) {
    if (name.empty() || name == "." || name == ".." || name.size() > 128) return false;
    for (unsigned char c : name)
        if (c < 32 || c == '/' || c == '\\' || c == ',' || c == ':' || c == 127) return false;
    return true;
}

}  // namespace

std::optional<std::string> QueryCommands::Dispatch(ConnectionState& state,
                                                   const CommandText& command) {
    const std::string& verb = command.Field(0);
    if (verb.rfind("TALQQueryScroll", 0) == 0) return QueryScroll(state, command);
    if (verb == "TALQCreateTempFile") return CreateTempFile(command);
    if (verb == "TALQWriteTempFile") return WriteTempFile(command);
    if (verb == "TALQStartQuerySort") return StartSort(state, command);
    if (verb == "BackGroundStatus") return BackgroundStatus(state, command);
    if (verb == "TALQConvertQueryToIssue") return ConvertToIssue(state, command);
    if (verb == "TALQSearchResultsTempFile") return SearchNotes(command);
    if (verb == "TALQSearchImgText") return SearchOcr(command);
    if (verb == "TALQDTSearchDate") return SearchDate(command);
    return std::nullopt;
}

namespace {

// One count per system for the whole process, so that every engine on it
// (the server's workers) can tell rows built elsewhere still hold.
std::shared_ptr<std::atomic<std::uint64_t>> GenerationOf(const std::string& systemDir) {
    // Never destroyed: a thread may still build rows while the process exits.
    using Counts = std::map<std::string, std::weak_ptr<std::atomic<std::uint64_t>>>;
    static std::mutex& mutex = *new std::mutex;
    static Counts& counts = *new Counts;
    std::lock_guard<std::mutex> lock(mutex);
    std::shared_ptr<std::atomic<std::uint64_t>> count = counts[systemDir].lock();
    if (!count) {
        count = std::make_shared<std::atomic<std::uint64_t>>(0);
        counts[systemDir] = count;
    }
    return count;
}

}  // namespace

QueryCommands::QueryCommands(CommandEngine& engine)
    : engine_(engine),
      db_(engine.Db()),
      systemDir_(engine.SystemDir()),
      generation_(GenerationOf(engine.SystemDir())) {}

// A change anywhere shows on this connection as a new data version (other
// connections) or more changes (its own). Whichever engine sees it first
// bumps the count, before any rows are built from the changed database.
std::uint64_t QueryCommands::Generation() {
    Statement version(db_, "PRAGMA data_version");
    const std::int64_t dataVersion = version.Row() ? version.Int(0) : -1;
    const std::int64_t changes = sqlite3_total_changes(db_.Handle());
    if (dataVersion < 0 || dataVersion != seenDataVersion_ || changes != seenChanges_) {
        seenDataVersion_ = dataVersion;
        seenChanges_ = changes;
        return ++*generation_;
    }
    return generation_->load();
}

std::string QueryCommands::OpenProject(const std::string& user, const std::string& password,
                                       const std::string& project, ProjectAccess& access) {
    return engine_.OpenProject(CommandText("Q," + user + "," + password + "," + project), access);
}

bool QueryCommands::TempPath(const std::string& given, std::string& path) const {
    // Local connections are handed full paths; they name the same folder.
    std::string name = given;
    for (const std::string& folder : {systemDir_ + "/tmp/", std::string("tmp/")})
        if (name.rfind(folder, 0) == 0) name = name.substr(folder.size());
    if (!IsBareName(name)) return false;
    path = systemDir_ + "/tmp/" + name;
    // Where the name leads, links followed, must be that file of tmp/.
    return ResolvedInside(systemDir_, path) == "tmp/" + name;
}

std::string QueryCommands::IssueTempName(const std::string& user, const std::string& purpose,
                                         std::string& why) {
    why = "no free name in the system's tmp folder";
    for (int attempt = 0; attempt < 10; ++attempt) {
        std::string name = engine_.IssueTempName(user, purpose, "Q", ".TMP");
        if (name.empty()) return "";
        // Created exclusively: a file of that name is never taken over.
        int fd = ::open((systemDir_ + "/tmp/" + name).c_str(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        if (fd >= 0) {
            ::close(fd);
            why.clear();
            return name;
        }
        why = ErrnoReason(errno);
    }
    return "";
}

bool QueryCommands::LevelExists(std::int64_t projectId, int level) {
    if (level == 0) return true;
    Statement s(db_, "SELECT 1 FROM boundary_levels WHERE project_id = ? AND level = ?");
    s.Bind(1, projectId).Bind(2, static_cast<std::int64_t>(level));
    return s.Row();
}

std::vector<std::int64_t> QueryCommands::UnitStarts(std::int64_t projectId, int level) {
    std::vector<std::int64_t> starts;
    Statement s(db_,
                "SELECT seq FROM pages WHERE project_id = ? AND bndry_level >= ? ORDER BY seq");
    s.Bind(1, projectId).Bind(2, static_cast<std::int64_t>(level));
    while (s.Row()) starts.push_back(s.Int(0));
    return starts;
}

std::string QueryCommands::KeyOf(std::int64_t projectId, std::int64_t seq) {
    Statement s(db_, "SELECT image_key FROM pages WHERE project_id = ? AND seq = ?");
    s.Bind(1, projectId).Bind(2, seq);
    return s.Row() ? s.Text(0) : std::string();
}

bool QueryCommands::BuildRows(ConnectionState& state, const ProjectAccess& access, int kind,
                              const std::string& source, int level, QueryRows& rows,
                              std::string& error) {
    const std::int64_t projectId = access.id;
    rows.reset();
    if (!LevelExists(projectId, level)) {
        error = "ERROR: Invalid Level";
        return false;
    }
    std::string path;
    const std::uint64_t generation = Generation();
    std::string identity = std::to_string(projectId) + "|" + std::to_string(access.firstSeq) + "|" +
                           std::to_string(access.lastSeq) + "|" + std::to_string(kind) + "|" +
                           std::to_string(level) + "|" + source;
    if (kind == 0) {
        if (const char* refusal = Refusal(Need::SeeTags, access.security, access.restriction);
            *refusal != '\0') {
            error = refusal;
            return false;
        }
    }
    if (kind == 1) {
        if (!TempPath(source, path)) {
            error = "ERROR: Invalid File Name";
            return false;
        }
        if (!SameText(engine_.TempFileOwner(path.substr(path.rfind('/') + 1)), access.user)) {
            error = "ERROR: Query File Not Found";
            return false;
        }
        struct stat info {};
        if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
            error = "ERROR: Query File Not Found";
            return false;
        }
        identity += "|" + std::to_string(info.st_size) + "|" + std::to_string(info.st_mtim.tv_sec) +
                    "." + std::to_string(info.st_mtim.tv_nsec) + "|" + std::to_string(info.st_ino);
    } else if (kind != 0) {
        error = "ERROR: Invalid Query Type";
        return false;
    }
    if (const auto& cached = state.queryCache; cached && cached->counter == generation_.get() &&
                                               cached->generation == generation &&
                                               cached->identity == identity) {
        rows = cached->rows;
        return true;
    }

    std::vector<QueryRow> pages;
    if (kind == 0) {
        Statement s(db_,
                    "SELECT p.seq, p.image_key FROM tags t "
                    "JOIN page_tags pt ON pt.project_id = t.project_id AND pt.tag_id = t.tag_id "
                    "JOIN pages p ON p.project_id = pt.project_id AND p.seq = pt.seq "
                    "WHERE t.project_id = ? AND t.name = ? ORDER BY p.seq");
        s.Bind(1, projectId).Bind(2, source);
        while (s.Row())
            if (s.Int(0) >= access.firstSeq && s.Int(0) <= access.lastSeq)
                pages.push_back(QueryRow{s.Text(1), "", s.Int(0)});
    } else {
        std::ifstream in(path, std::ios::binary);
        Statement find(db_,
                       "SELECT seq, image_key FROM pages WHERE project_id = ? AND image_key = ?");
        std::string line;
        while (std::getline(in, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            QueryRow row;
            std::size_t tab = line.find('\t');
            row.key = line.substr(0, tab);
            if (tab != std::string::npos) row.text = line.substr(tab + 1);
            if (row.key.empty()) continue;
            if (row.key[0] != '*' && find.Ok()) {
                find.Reset().Bind(1, projectId).Bind(2, row.key);
                if (find.Row() && find.Int(0) >= access.firstSeq && find.Int(0) <= access.lastSeq) {
                    row.seq = find.Int(0);
                    // The stored spelling of the key, as every other reply gives it.
                    row.key = find.Text(1);
                }
            }
            if (row.seq == 0 && row.key[0] != '*') row.key.insert(0, "*");
            pages.push_back(std::move(row));
        }
    }

    std::vector<QueryRow> built;
    if (level == 0) {
        built = std::move(pages);
    } else {
        // One row per unit, at the unit's first page, in the order the units
        // are first met; a description of the unit is its row text.
        std::vector<std::int64_t> starts = UnitStarts(projectId, level);
        std::unordered_set<std::int64_t> seen;
        Statement desc(db_,
                       "SELECT seq, description FROM folder_descriptions "
                       "WHERE project_id = ? AND level = ?");
        desc.Bind(1, projectId).Bind(2, static_cast<std::int64_t>(level));
        std::map<std::int64_t, std::string> descriptions;
        while (desc.Row()) descriptions[desc.Int(0)] = desc.Text(1);
        for (QueryRow& row : pages) {
            if (row.seq == 0) {
                built.push_back(std::move(row));
                continue;
            }
            auto it = std::upper_bound(starts.begin(), starts.end(), row.seq);
            // Pages before the first unit start form a unit of their own.
            std::int64_t unit = it == starts.begin() ? 0 : *(it - 1);
            if (!seen.insert(unit).second) continue;
            if (unit == 0) {
                Statement first(db_, "SELECT MIN(seq) FROM pages WHERE project_id = ?");
                first.Bind(1, projectId);
                unit = first.Row() ? first.Int(0) : row.seq;
            }
            auto d = descriptions.find(unit);
            std::string text = d != descriptions.end() && !d->second.empty() ? d->second : row.text;
            built.push_back(QueryRow{KeyOf(projectId, unit), text, unit});
        }
    }
    rows = std::make_shared<const std::vector<QueryRow>>(std::move(built));
    state.queryCache = std::make_shared<const QueryCache>(
        QueryCache{identity, generation_.get(), generation, rows});
    return true;
}

// "TALQQueryScroll," user "," password "," project "," kind SS start SS
// position SS source SS level SS size SS direction. The position token is
// the offset of the set's first row, so a copied record pages on its own.
std::string QueryCommands::QueryScroll(ConnectionState& state, const CommandText& command) {
    std::vector<std::string> sections = Split(command.text, kSectionSep);
    if (sections.size() != 7) return "ERROR: Invalid Query Request";
    CommandText head(sections[0]);
    if (head.Count() < 5) return "ERROR: Invalid Query Request";
    std::string project = head.text.substr(0, head.text.rfind(','));
    project = CommandText(project).Rest(3);
    ProjectAccess access;
    if (std::string e = OpenProject(head.Field(1), head.Field(2), project, access); !e.empty())
        return e;
    int kind = static_cast<int>(Number(head.fields.back()));
    const std::string& startKey = sections[1];
    const std::string& position = sections[2];
    const std::string& source = sections[3];
    int level = static_cast<int>(Number(sections[4]));
    std::int64_t size = std::clamp<std::int64_t>(Number(sections[5]), 1, 100000);
    std::int64_t direction = Number(sections[6]);

    QueryRows built;
    std::string error;
    if (!BuildRows(state, access, kind, source, level, built, error)) return error;
    const std::vector<QueryRow>& rows = *built;
    std::int64_t total = static_cast<std::int64_t>(rows.size());

    std::int64_t offset = 0;
    if (direction == 1 || direction == 2) {
        if (!position.empty()) {
            offset = std::max<std::int64_t>(0, Number(position));
            offset = direction == 1 ? offset + size : std::max<std::int64_t>(0, offset - size);
        } else if (!startKey.empty() && direction == 1) {
            // Without a token the set starts after the start key (key order).
            std::string folded = startKey;
            for (char& c : folded)
                if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
            while (offset < total) {
                std::string k = rows[offset].key;
                for (char& c : k)
                    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
                if (k > folded) break;
                ++offset;
            }
        }
    }
    offset = std::min(offset, total);
    std::int64_t end = std::min(total, offset + size);
    bool after = end < total;
    bool before = offset > 0;
    std::string marker = after && before ? "BOTH"
                         : after         ? "MOREFOLLOWS"
                         : before        ? "MOREBEFORE"
                                         : "NONE";
    std::string reply = offset < end ? rows[offset].key : std::string();
    reply.push_back(kSectionSep);
    reply += std::to_string(offset);
    reply.push_back(kSectionSep);
    reply += marker;
    reply.push_back(kSectionSep);
    reply += std::to_string(end - offset);
    reply.push_back(kSectionSep);
    for (std::int64_t i = offset; i < end; ++i) {
        if (i > offset) reply.push_back(kRecordSep);
        reply += rows[i].key;
        reply.push_back('\t');
        reply += rows[i].text;
    }
    return reply;
}

// "TALQCreateTempFile," user "," password "," project
std::string QueryCommands::CreateTempFile(const CommandText& command) {
    ProjectAccess access;
    if (std::string e = OpenProject(command.Field(1), command.Field(2), command.Rest(3), access);
        !e.empty())
        return e;
    std::string why;
    std::string name = IssueTempName(command.Field(1), "query", why);
    return name.empty() ? engine_.Failed("ERROR: Unable to Create Temporary File", why) : name;
}

// "TALQWriteTempFile," user "," password "," project "," file "," data; data
// holds lines joined by character 24, and each chunk ends its last line.
std::string QueryCommands::WriteTempFile(const CommandText& command) {
    if (command.Count() < 6) return "ERROR: Invalid Request";
    // Project names may hold no comma here: the file and data follow it.
    ProjectAccess access;
    if (std::string e = OpenProject(command.Field(1), command.Field(2), command.Field(3), access);
        !e.empty())
        return e;
    std::string path;
    if (!TempPath(command.Field(4), path)) return "ERROR: Invalid File Name";
    struct stat info {};
    if (!SameText(engine_.TempFileOwner(path.substr(path.rfind('/') + 1)), access.user) ||
        ::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return "ERROR: File Not Found";
    std::string data = command.Rest(5);
    for (char& c : data)
        if (c == kRecordSep) c = '\n';
    data.push_back('\n');
    errno = 0;
    std::ofstream out(path, std::ios::binary | std::ios::app);
    out << data;
    out.close();
    const int writeError = errno;
    return out ? "OK"
               : engine_.Failed("ERROR: Unable to Write File",
                                writeError != 0 ? ErrnoReason(writeError) : "");
}

// "TALQStartQuerySort," kind "," source "," level "," order, for the
// connection's project.
std::string QueryCommands::StartSort(ConnectionState& state, const CommandText& command) {
    ProjectAccess access;
    if (std::string e = engine_.ConnectionProject(state, access); !e.empty()) return e;
    if (command.Count() < 5) return "ERROR: Invalid Request";
    // The source (a tag name may hold commas) lies between the kind and the
    // last two fields.
    std::string rest = command.Rest(2);
    std::size_t last = rest.rfind(',');
    std::size_t middle = last == std::string::npos ? last : rest.rfind(',', last - 1);
    if (middle == std::string::npos) return "ERROR: Invalid Request";
    std::string source = rest.substr(0, middle);
    int level = static_cast<int>(Number(rest.substr(middle + 1, last - middle - 1)));
    auto job = std::make_shared<QuerySortJob>();
    std::string error;
    QueryRows rows;
    if (!BuildRows(state, access, static_cast<int>(Number(command.Field(1))), source, level, rows,
                   error))
        return error;
    job->rows = *rows;
    job->order = Number(rest.substr(last + 1)) == 1 ? 1 : 0;
    job->projectId = access.id;
    job->user = state.user;
    job->dates.resize(job->rows.size());
    state.sortJob = job;
    return "OK";
}

// "BackGroundStatus," n: n = 1 aborts the job. Reply: running, status, text.
std::string QueryCommands::BackgroundStatus(ConnectionState& state, const CommandText& command) {
    std::shared_ptr<QuerySortJob> job = state.sortJob;
    if (!job) return "0,2,No Background Job";
    if (Number(command.Field(1)) != 0) {
        state.sortJob.reset();
        return "0,1,Sort Aborted";
    }
    QuerySortJob& j = *job;
    std::size_t end = std::min(j.rows.size(), j.dated + kSortSlice);
    {
        Statement s(db_,
                    "SELECT seq, doc_date FROM pages WHERE project_id = ? AND seq BETWEEN ? AND ?");
        // One range read covers the slice's pages, whatever their order.
        std::int64_t lo = INT64_MAX, hi = 0;
        for (std::size_t i = j.dated; i < end; ++i)
            if (j.rows[i].seq != 0) {
                lo = std::min(lo, j.rows[i].seq);
                hi = std::max(hi, j.rows[i].seq);
            }
        std::map<std::int64_t, std::string> dates;
        if (hi != 0) {
            s.Bind(1, j.projectId).Bind(2, lo).Bind(3, hi);
            while (s.Row()) dates[s.Int(0)] = s.Text(1);
        }
        for (std::size_t i = j.dated; i < end; ++i) {
            auto d = dates.find(j.rows[i].seq);
            j.dates[i] = d != dates.end() ? d->second : std::string();
        }
    }
    j.dated = end;
    if (j.dated < j.rows.size())
        return "1,0,Sorting " + std::to_string(j.dated) + " of " + std::to_string(j.rows.size());

    std::vector<std::size_t> order(j.rows.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    // Undated pages and invalid keys go last in either order.
    std::stable_sort(order.begin(), order.end(), [&j](std::size_t a, std::size_t b) {
        bool ua = j.rows[a].seq == 0 || j.dates[a].empty();
        bool ub = j.rows[b].seq == 0 || j.dates[b].empty();
        if (ua != ub) return ub;
        if (ua) return false;
        return j.order == 0 ? j.dates[a] < j.dates[b] : j.dates[a] > j.dates[b];
    });
    std::vector<QueryRow> sorted;
    sorted.reserve(order.size());
    for (std::size_t i : order) sorted.push_back(j.rows[i]);
    state.sortJob.reset();
    std::string why;
    std::string name = WriteResultFile(j.user, "sort", sorted, why);
    // The status's fields are split at commas: the reason is told as a
    // reply's is.
    if (name.empty()) return "0,3," + engine_.Failed("Unable to Write Sorted List", why);
    return "0,0," + name;
}

std::string QueryCommands::WriteResultFile(const std::string& user, const std::string& purpose,
                                           const std::vector<QueryRow>& rows, std::string& why) {
    std::string name = IssueTempName(user, purpose, why);
    if (name.empty()) return "";
    std::string text;
    for (const QueryRow& row : rows) {
        text += row.key;
        if (!row.text.empty()) {
            text.push_back('\t');
            text += row.text;
        }
        text += "\r\n";
    }
    errno = 0;
    std::ofstream out(systemDir_ + "/tmp/" + name, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
        why = errno != 0 ? ErrnoReason(errno) : "";
        ::unlink((systemDir_ + "/tmp/" + name).c_str());
        return "";
    }
    return name;
}

// "TALQConvertQueryToIssue," user "," password "," project "," file ","
// name "," level: every page of the listed keys (of their units above level
// 0) joins the collection, which is created when it is new.
std::string QueryCommands::ConvertToIssue(ConnectionState& state, const CommandText& command) {
    if (command.Count() != 7) return "ERROR: Invalid Collection Name";
    ProjectAccess access;
    if (std::string e = OpenProject(command.Field(1), command.Field(2), command.Field(3), access);
        !e.empty())
        return e;
    const std::int64_t projectId = access.id;
    const std::string& name = command.Field(5);
    if (name.empty() || name.size() > 40) return "ERROR: Invalid Collection Name";
    for (unsigned char c : name)
        if (c < 32 || c == '|' || c == ',') return "ERROR: Invalid Collection Name";
    int level = static_cast<int>(Number(command.Field(6)));
    QueryRows built;
    std::string error;
    if (!BuildRows(state, access, 1, command.Field(4), level, built, error)) return error;
    const std::vector<QueryRow>& rows = *built;

    // The collection and its pages are saved as one.
    Transaction transaction(db_);
    Statement find(db_, "SELECT tag_id FROM tags WHERE project_id = ? AND name = ?");
    find.Bind(1, projectId).Bind(2, name);
    std::int64_t tagId = 0;
    if (find.Row()) {
        tagId = find.Int(0);
    } else {
        const std::string number = std::string("SELECT ") + kNextTagIdSql;
        Statement next(db_, number.c_str());
        next.Bind(1, projectId);
        tagId = next.Row() ? next.Int(0) : 1;
        Statement add(db_,
                      "INSERT INTO tags (project_id, tag_id, name, is_collection) "
                      "VALUES (?, ?, ?, 1)");
        if (!add.Bind(1, projectId).Bind(2, tagId).Bind(3, name).Run())
            return engine_.Failed("ERROR: Unable to Create Collection", add.Error());
    }
    std::vector<std::int64_t> starts =
        level > 0 ? UnitStarts(projectId, level) : std::vector<std::int64_t>();
    Statement tag(db_,
                  "INSERT OR IGNORE INTO page_tags (project_id, seq, tag_id) "
                  "SELECT project_id, seq, ? FROM pages WHERE project_id = ? "
                  "AND seq BETWEEN ? AND ?");
    bool ok = tag.Ok();
    for (const QueryRow& row : rows) {
        if (row.seq == 0 || !ok) continue;
        std::int64_t last = row.seq;
        if (level > 0) {
            auto it = std::upper_bound(starts.begin(), starts.end(), row.seq);
            last = it == starts.end() ? access.lastSeq : *it - 1;
        }
        // A unit reaching past the user's range is tagged only inside it.
        last = std::min(last, access.lastSeq);
        ok = tag.Reset()
                 .Bind(1, tagId)
                 .Bind(2, projectId)
                 .Bind(3, std::max(row.seq, access.firstSeq))
                 .Bind(4, last)
                 .Run();
    }
    const std::string why = WhyFailed(tag);
    ok = ok && transaction.Commit();
    return ok ? "OK"
              : engine_.Failed("ERROR: Unable to Save Collection",
                               why.empty() ? transaction.Error() : why);
}

}  // namespace docserver
