// Finding keys, stepping by page or unit, unit lists and unit bounds.
#include <algorithm>

#include "command_engine.h"

namespace docserver {
namespace {

std::int64_t Number(const std::string& text) {
    try {
        return text.empty() ? 0 : std::stoll(text);
    } catch (...) {
        return 0;
    }
}

}  // namespace

// An entry's text keeps the reply's separators out: "," becomes ";", and a
// tab or line break a blank.
std::string ScrollEntryText(std::string text) {
    for (char& ch : text) {
        if (ch == ',') ch = ';';
        if (ch == '\t' || ch == '\r' || ch == '\n') ch = ' ';
    }
    return text;
}

std::int64_t CommandEngine::UnitStart(const ProjectAccess& access, std::int64_t seq,
                                      std::int64_t level) {
    if (level <= 0) return seq;
    Statement s(db_,
                "SELECT MAX(seq) FROM pages WHERE project_id = ? AND seq <= ? AND "
                "bndry_level >= ?");
    s.Bind(1, access.id).Bind(2, seq).Bind(3, level);
    std::int64_t start = s.Row() ? s.Int(0) : 0;
    return std::max(start, access.firstSeq);
}

std::int64_t CommandEngine::UnitEnd(const ProjectAccess& access, std::int64_t seq,
                                    std::int64_t level) {
    if (level <= 0) return seq;
    Statement s(db_,
                "SELECT MIN(seq) FROM pages WHERE project_id = ? AND seq > ? AND "
                "bndry_level >= ?");
    s.Bind(1, access.id).Bind(2, seq).Bind(3, level);
    std::int64_t next = s.Row() ? s.Int(0) : 0;
    return next == 0 ? access.lastSeq : std::min(next - 1, access.lastSeq);
}

// "TALQFindKey," P "," key, the key being the rest of the command.
std::string CommandEngine::FindKey(const CommandText& command) {
    ProjectAccess access;
    if (std::string error = OpenProject(command, access); !error.empty()) return error;
    if (access.firstSeq > access.lastSeq) return "0,";
    KeyPosition position = Locate(access, command.Rest(4));
    bool inRange = position.seq >= access.firstSeq && position.seq <= access.lastSeq;
    if (position.exact && inRange) return "4," + position.key;
    std::int64_t seq = std::clamp(position.seq, access.firstSeq, access.lastSeq);
    Statement s(db_, "SELECT image_key FROM pages WHERE project_id = ? AND seq = ?");
    s.Bind(1, access.id).Bind(2, seq);
    return s.Row() ? "5," + s.Text(0) : "0,";
}

// "TALQNextKey," P "," key "," level (and "TALQPrevKey"): the next page, or
// the first page of the next unit of the level; "NONE" at the end.
std::string CommandEngine::StepKey(const CommandText& command, bool forward) {
    ProjectAccess access;
    if (std::string error = OpenProject(command, access); !error.empty()) return error;
    std::string key = command.Middle(4, 1);
    std::int64_t level = Number(command.FromEnd(0));
    std::int64_t lo = access.firstSeq, hi = access.lastSeq;
    if (!key.empty()) {
        KeyPosition position = Locate(access, key);
        if (forward)
            lo = std::max(lo, position.exact ? position.seq + 1 : position.seq);
        else
            hi = std::min(hi, position.seq - 1);
    }
    Statement s(db_, forward ? "SELECT image_key FROM pages WHERE project_id = ? AND seq >= ? "
                               "AND seq <= ? AND bndry_level >= ? ORDER BY seq LIMIT 1"
                             : "SELECT image_key FROM pages WHERE project_id = ? AND seq >= ? "
                               "AND seq <= ? AND bndry_level >= ? ORDER BY seq DESC LIMIT 1");
    s.Bind(1, access.id).Bind(2, lo).Bind(3, hi).Bind(4, level > 0 ? level : INT64_MIN);
    return s.Row() ? s.Text(0) : "NONE";
}

// "TALQGetScroll," P "," key "," level "," count [",1"]: the units of the
// level inside the unit of the next coarser level that holds the key, a
// window of count around the key's unit. "TALQGetNextScroll" and
// "TALQGetPrevScroll" answer the count units strictly after or before it.
std::string CommandEngine::GetScroll(const CommandText& command, ScrollWindow window) {
    ProjectAccess access;
    if (std::string error = OpenProject(command, access); !error.empty()) return error;
    if (access.firstSeq > access.lastSeq) return "ERROR: No Pages";
    std::int64_t level = Number(command.Field(5));
    std::int64_t count = std::clamp<std::int64_t>(Number(command.Field(6)), 1, 20000);
    bool texts = !command.Field(7).empty() && command.Field(7) != "0";

    KeyPosition position = Locate(access, command.Field(4));
    std::int64_t seq = std::clamp(position.seq, access.firstSeq, access.lastSeq);
    std::int64_t coarser = 0;
    // A page starts the units of every level up to its own, so the coarser
    // level is the next higher number.
    Statement c(db_, "SELECT MIN(level) FROM boundary_levels WHERE project_id = ? AND level > ?");
    c.Bind(1, access.id).Bind(2, std::max<std::int64_t>(level, 0));
    if (c.Row()) coarser = c.Int(0);
    std::int64_t first = access.firstSeq, last = access.lastSeq;
    if (coarser > 0) {
        first = UnitStart(access, seq, coarser);
        last = UnitEnd(access, seq, coarser);
    }
    std::int64_t holder = UnitStart(access, seq, level);

    struct Entry {
        std::int64_t seq;
        std::string key;
    };
    std::vector<Entry> entries;
    Statement s(db_,
                "SELECT seq, image_key FROM pages WHERE project_id = ? AND seq >= ? AND "
                "seq <= ? AND bndry_level >= ? ORDER BY seq");
    s.Bind(1, access.id).Bind(2, first).Bind(3, last).Bind(4, level > 0 ? level : INT64_MIN);
    std::size_t at = 0;
    while (s.Row()) {
        if (s.Int(0) <= holder) at = entries.size();
        entries.push_back({s.Int(0), s.Text(1)});
    }
    std::size_t n = entries.size();
    std::size_t size = static_cast<std::size_t>(count);
    std::size_t begin = 0, end = 0;
    if (window == ScrollWindow::After) {
        begin = std::min(n, at + 1);
        end = std::min(n, begin + size);
    } else if (window == ScrollWindow::Before) {
        end = at;
        begin = end > size ? end - size : 0;
    } else {
        begin = at > size / 2 ? at - size / 2 : 0;
        end = std::min(n, begin + size);
        begin = end > size ? std::min(begin, end - size) : 0;
    }

    bool before = begin > 0, after = end < n;
    std::string reply = before && after ? "BOTH"
                        : before        ? "MOREBEFORE"
                        : after         ? "MOREAFTER"
                                        : "ALL";
    Statement d(db_,
                "SELECT description FROM folder_descriptions WHERE project_id = ? AND seq = ? "
                "AND level = ?");
    for (std::size_t i = begin; i < end; ++i) {
        reply += "," + entries[i].key;
        if (!texts) continue;
        d.Reset().Bind(1, access.id).Bind(2, entries[i].seq).Bind(3, level);
        if (d.Row()) reply += "\t" + ScrollEntryText(d.Text(0));
    }
    return reply;
}

// "TALQGetBoundaryInfo," P "," key: per boundary level (finest first) the
// first keys of the units holding the key ";" their last keys.
std::string CommandEngine::GetBoundaryInfo(const CommandText& command) {
    ProjectAccess access;
    if (std::string error = OpenProject(command, access); !error.empty()) return error;
    std::int64_t seq = PageSeq(access, command.Rest(4));
    if (seq == 0) return "ERROR: Invalid Image Key";
    Statement keyOf(db_, "SELECT image_key FROM pages WHERE project_id = ? AND seq = ?");
    auto key = [&](std::int64_t at) {
        keyOf.Reset().Bind(1, access.id).Bind(2, at);
        return keyOf.Row() ? keyOf.Text(0) : std::string();
    };
    std::string begins, ends;
    Statement levels(db_,
                     "SELECT level FROM boundary_levels WHERE project_id = ? ORDER BY position");
    levels.Bind(1, access.id);
    bool firstLevel = true;
    while (levels.Row()) {
        std::int64_t level = levels.Int(0);
        if (!firstLevel) {
            begins += ",";
            ends += ",";
        }
        firstLevel = false;
        begins += key(UnitStart(access, seq, level));
        ends += key(UnitEnd(access, seq, level));
    }
    return begins + ";" + ends;
}

}  // namespace docserver
