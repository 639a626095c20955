// System flags, version, login and the project record.
#include "command_engine.h"

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
    if (!CheckUser(user, command.Field(2))) return "0";
    Statement s(db_, "SELECT user_id, system_security, full_name FROM users WHERE user_id = ?");
    s.Bind(1, user);
    if (!s.Step()) return "0";
    state.user = s.Text(0);
    state.projectId = 0;
    state.projectName.clear();
    return "1" + std::string(1, kListSep) + std::to_string(s.Int(1)) + std::string(1, kListSep) +
           s.Text(2);
}

// "TALQGetProjectInfo," user "," password "," project
std::string CommandEngine::GetProjectInfo(ConnectionState& state, const CommandText& command) {
    if (!CheckUser(command.Field(1), command.Field(2))) return "ERROR: Invalid Login";
    // A project name is the rest of the command.
    std::string name = command.Rest(3);
    Statement p(db_,
                "SELECT p.project_id, p.name, up.security, p.record_skipped, p.bndry_3rd_party, "
                "p.full_text, p.further_text1, p.description, p.backward_link, "
                "p.print_message, p.restriction, p.further_text2 "
                "FROM projects p JOIN user_projects up ON up.project_id = p.project_id "
                "WHERE p.name = ? AND up.user_id = ?");
    p.Bind(1, name).Bind(2, command.Field(1));
    if (name.empty() || !p.Step()) return "ERROR: Invalid Project " + name;
    std::int64_t id = p.Int(0);

    std::vector<std::string> levels, descs, icons, flags;
    Statement b(db_,
                "SELECT level, description, icon, flag_code FROM boundary_levels "
                "WHERE project_id = ? ORDER BY position");
    b.Bind(1, id);
    while (b.Step()) {
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
    while (f.Step()) {
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

}  // namespace docserver
