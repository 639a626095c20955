// System flags, version, login and the project record.
#include <cstdint>
#include <stdexcept>
#include <utility>

#include "command_engine.h"
#include "command_rules.h"

namespace docserver {

std::string CommandEngine::GetSystemFlags(const CommandText&) {
    return Setting("SystemFlags", "0");
}

std::string CommandEngine::GetExtSystemFlags(const CommandText&) {
    return Setting("ExtSystemFlags", "0");
}

std::string CommandEngine::GetVersion(const CommandText&) {
    return Setting("Version", kServerVersion);
}

// "TALQRequiredLogin," user "," password ",," domain "," clientCode ",8.6,1"
std::string CommandEngine::RequiredLogin(ConnectionState& state, const CommandText& command) {
    if (command.Count() < 3 || command.Field(1).empty()) return "2";
    const std::string& user = command.Field(1);
    LoginProof proved;
    if (std::string refusal = LoginRefusal(user, command.Field(2), &proved); !refusal.empty())
        return refusal == "ERROR: Invalid Login" ? "0" : refusal;
    Statement s(db_, "SELECT user_id, system_security, full_name FROM users WHERE user_id = ?");
    s.Bind(1, user);
    if (!s.Row()) return "0";
    state.user = s.Text(0);
    state.proved = std::move(proved);
    state.projectId = 0;
    state.projectName.clear();
    return "1" + std::string(1, kListSep) + std::to_string(s.Int(1)) + std::string(1, kListSep) +
           s.Text(2);
}

// "TALQGetProjectInfo," user "," password "," project
std::string CommandEngine::GetProjectInfo(ConnectionState& state, const CommandText& command) {
    LoginProof proved;
    if (std::string refusal = LoginRefusal(command.Field(1), command.Field(2), &proved);
        !refusal.empty())
        return refusal;
    // A project name is the rest of the command.
    std::string name = command.Rest(3);
    Statement p(db_,
                "SELECT p.project_id, p.name, up.security, p.record_skipped, p.bndry_3rd_party, "
                "p.full_text, p.further_text1, p.description, p.backward_link, "
                "p.print_message, p.restriction, p.further_text2, up.first_key, up.last_key "
                "FROM projects p JOIN user_projects up ON up.project_id = p.project_id "
                "WHERE p.name = ? AND up.user_id = ?");
    p.Bind(1, name).Bind(2, command.Field(1));
    if (name.empty() || !p.Row()) {
        NoteRefused(name);
        return "ERROR: Invalid Project " + name;
    }
    std::int64_t id = p.Int(0);
    // A range that reaches nothing is told when the project is chosen.
    ProjectAccess range;
    range.id = id;
    if (std::string refusal = LimitRange(range, p.Text(12), p.Text(13)); !refusal.empty()) {
        refusedProject_ = id;
        return refusal;
    }

    std::vector<std::string> levels, descs, icons, flags;
    Statement b(db_,
                "SELECT level, description, icon, flag_code FROM boundary_levels "
                "WHERE project_id = ? ORDER BY position");
    b.Bind(1, id);
    while (b.Row()) {
        levels.push_back(std::to_string(b.Int(0)));
        descs.push_back(b.Text(1));
        icons.push_back(b.Text(2));
        flags.push_back(std::to_string(b.Int(3)));
    }
    std::vector<std::string> infoValues, infoDescs;
    Statement f(db_,
                "SELECT value, description FROM info_fields WHERE project_id = ? "
                "ORDER BY position");
    f.Bind(1, id);
    while (f.Row()) {
        infoValues.push_back(std::to_string(f.Int(0)));
        infoDescs.push_back(f.Text(1));
    }

    std::vector<std::string> fields;
    auto add = [&fields](const std::vector<std::string>& items) {
        fields.insert(fields.end(), items.begin(), items.end());
    };
    fields.push_back(std::to_string(levels.size()));
    add(levels);
    add(descs);
    add(icons);
    fields.push_back(std::to_string(infoValues.size()));
    add(infoValues);
    add(infoDescs);
    fields.push_back(std::to_string(p.Int(2)));
    fields.push_back(p.Text(3));
    fields.push_back(std::to_string(p.Int(4)));
    fields.push_back(std::to_string(p.Int(5)));
    fields.push_back(p.Text(6));
    add(flags);
    fields.push_back(p.Text(7));
    fields.push_back(p.Text(8));
    fields.push_back(p.Text(9));
    fields.push_back(std::to_string(p.Int(10)));
    fields.push_back(p.Text(11));

    state.user = command.Field(1);
    state.proved = std::move(proved);
    state.projectId = id;
    state.projectName = p.Text(1);
    std::string reply;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (i > 0) reply.push_back(kSectionSep);
        reply += fields[i];
    }
    return reply;
}

std::string CommandEngine::CloseProject(ConnectionState& state, const CommandText&) {
    state.projectId = 0;
    state.projectName.clear();
    return "OK";
}

// "TALQGetTalqPrjList," user "," password ",," clientCode: one entry per
// project the user may open, the name and after a Tab the list text.
std::string CommandEngine::GetProjectList(const CommandText& command) {
    if (std::string refusal = LoginRefusal(command.Field(1), command.Field(2)); !refusal.empty())
        return refusal;
    Statement s(db_,
                "SELECT p.name, p.list_text FROM projects p JOIN user_projects up "
                "ON up.project_id = p.project_id WHERE up.user_id = ? ORDER BY p.name");
    s.Bind(1, command.Field(1));
    std::string reply;
    while (s.Row()) {
        if (!reply.empty()) reply.push_back(',');
        reply += s.Text(0);
        if (!s.Text(1).empty()) reply += "\t" + s.Text(1);
    }
    // No project: a lone separator, whose two empty entries the client skips.
    return reply.empty() ? "," : reply;
}

std::string CommandEngine::OpenProject(const CommandText& command, ProjectAccess& access) {
    if (std::string refusal = LoginRefusal(command.Field(1), command.Field(2)); !refusal.empty())
        return refusal;
    Statement p(db_,
                "SELECT p.project_id, up.first_key, up.last_key FROM projects p "
                "JOIN user_projects up ON up.project_id = p.project_id "
                "WHERE p.name = ? AND up.user_id = ?");
    p.Bind(1, command.Field(3)).Bind(2, command.Field(1));
    if (!p.Row()) {
        NoteRefused(command.Field(3));
        return "ERROR: Invalid Project " + command.Field(3);
    }
    access = ProjectAccess{};
    access.id = p.Int(0);
    access.user = command.Field(1);
    if (std::string refusal = LimitRange(access, p.Text(1), p.Text(2)); !refusal.empty()) {
        refusedProject_ = access.id;
        return refusal;
    }
    return Authorize(access);
}

std::string CommandEngine::ConnectionProject(const ConnectionState& state, ProjectAccess& access) {
    if (state.user.empty() || state.projectId == 0) return "ERROR: Project Not Selected";
    Statement p(db_,
                "SELECT up.first_key, up.last_key FROM user_projects up "
                "WHERE up.project_id = ? AND up.user_id = ?");
    p.Bind(1, state.projectId).Bind(2, state.user);
    // Rights removed since the project was chosen: refused as every command
    // naming the project refuses it.
    if (!p.Row()) {
        refusedProject_ = state.projectId;
        return "ERROR: Invalid Project " + state.projectName;
    }
    access = ProjectAccess{};
    access.id = state.projectId;
    access.user = state.user;
    if (std::string refusal = LimitRange(access, p.Text(0), p.Text(1)); !refusal.empty()) {
        refusedProject_ = state.projectId;
        return refusal;
    }
    return Authorize(access);
}

void CommandEngine::NoteRefused(const std::string& projectName) {
    // Looked up only where the connection holds locks to give back.
    const ConnectionState* state = CurrentConnection();
    if (state == nullptr || state->lockedPages.empty()) return;
    Statement p(db_, "SELECT project_id FROM projects WHERE name = ?");
    p.Bind(1, projectName);
    if (p.Row()) refusedProject_ = p.Int(0);
}

void CommandEngine::DropRefusedLocks(ConnectionState& state) {
    const std::int64_t project = std::exchange(refusedProject_, 0);
    const auto first = state.lockedPages.lower_bound({project, INT64_MIN});
    const auto last = state.lockedPages.lower_bound({project + 1, INT64_MIN});
    if (project == 0 || first == last) return;
    // Nothing is written into a file found damaged or no longer the one opened.
    if (db_.Damaged() || !db_.Displaced().empty()) return;
    try {
        Statement drop(db_, "DELETE FROM page_locks WHERE session = ? AND project_id = ?");
        if (!drop.Bind(1, state.session).Bind(2, project).Run()) return;
    } catch (const std::runtime_error&) {
        // Busy or failed, left in place: whoever asks for such a page finds its holder
        // refused the project (HeldByAnother).
        return;
    }
    state.lockedPages.erase(first, last);
}

std::string CommandEngine::LimitRange(ProjectAccess& access, const std::string& firstKey,
                                      const std::string& lastKey) {
    Statement last(db_, "SELECT COALESCE(MAX(seq), 0) FROM pages WHERE project_id = ?");
    last.Bind(1, access.id);
    access.lastSeq = last.Row() ? last.Int(0) : 0;
    for (const std::string* bound : {&firstKey, &lastKey}) {
        if (bound->empty()) continue;
        const KeyPosition at = Locate(access, *bound);
        if (!at.exact) {
            access.firstSeq = 1;
            access.lastSeq = 0;
            return "ERROR: Invalid Key Range: " + *bound +
                   " is no key of the project; ask the administrator to correct it";
        }
        (bound == &firstKey ? access.firstSeq : access.lastSeq) = at.seq;
    }
    // Swapped bounds reach no page: the reviewer would see an empty project.
    if (!firstKey.empty() && !lastKey.empty() && access.firstSeq > access.lastSeq) {
        access.firstSeq = 1;
        access.lastSeq = 0;
        return "ERROR: Invalid Key Range: the first key " + firstKey +
               " comes after the last key " + lastKey + "; ask the administrator to correct it";
    }
    return "";
}

KeyPosition CommandEngine::Locate(const ProjectAccess& access, const std::string& key) {
    KeyPosition position;
    Statement exact(db_, "SELECT seq, image_key FROM pages WHERE project_id = ? AND image_key = ?");
    exact.Bind(1, access.id).Bind(2, key);
    if (exact.Row()) {
        position.seq = exact.Int(0);
        position.exact = true;
        position.key = exact.Text(1);
        return position;
    }
    // Binary search over seq with the client's compare: the database's own
    // case folding orders "_" and "[" differently.
    Statement last(db_, "SELECT COALESCE(MAX(seq), 0) FROM pages WHERE project_id = ?");
    last.Bind(1, access.id);
    std::int64_t lo = 1, hi = (last.Row() ? last.Int(0) : 0) + 1;
    Statement at(db_,
                 "SELECT image_key FROM pages WHERE project_id = ? AND seq >= ? ORDER BY seq "
                 "LIMIT 1");
    while (lo < hi) {
        std::int64_t mid = lo + (hi - lo) / 2;
        at.Reset().Bind(1, access.id).Bind(2, mid);
        if (!at.Row() || CompareText(at.Text(0), key) > 0)
            hi = mid;
        else
            lo = mid + 1;
    }
    position.seq = lo;
    return position;
}

std::int64_t CommandEngine::PageSeq(const ProjectAccess& access, const std::string& key) {
    KeyPosition position = Locate(access, key);
    if (!position.exact || position.seq < access.firstSeq || position.seq > access.lastSeq)
        return 0;
    // A restricted page is shown but never changed.
    const CommandRule* rule = CurrentRule();
    if (rule != nullptr && rule->page == PageUse::Write) {
        Statement r(db_, "SELECT restricted FROM pages WHERE project_id = ? AND seq = ?");
        r.Bind(1, access.id).Bind(2, position.seq);
        if (r.Row() && r.Int(0) != 0) return 0;
    }
    return position.seq;
}

std::string CommandEngine::MissingPage(const ProjectAccess& access, const std::string& key) {
    KeyPosition position = Locate(access, key);
    const bool reachable =
        position.exact && position.seq >= access.firstSeq && position.seq <= access.lastSeq;
    return reachable ? "ERROR: Insufficient Security Level" : "ERROR: Invalid Image Key";
}

}  // namespace docserver
