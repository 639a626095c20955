// Which files a user may read: the temporary files issued to the user, and
// the images and originals of the pages the user may see.
#include <map>
#include <optional>

#include "command_engine.h"
#include "command_rules.h"

namespace docserver {

bool CommandEngine::UserAccess(const std::string& user, std::int64_t projectId,
                               ProjectAccess& access) {
    Statement s(db_,
                "SELECT up.first_key, up.last_key, up.security, p.restriction FROM user_projects "
                "up JOIN projects p ON p.project_id = up.project_id "
                "WHERE up.user_id = ? AND up.project_id = ?");
    s.Bind(1, user).Bind(2, projectId);
    if (!s.Step()) return false;
    access = ProjectAccess{};
    access.id = projectId;
    access.user = user;
    LimitRange(access, s.Text(0), s.Text(1));
    access.security = s.Int(2);
    access.restriction = s.Int(3);
    return true;
}

std::string CommandEngine::RedactionList(std::int64_t projectId, std::int64_t seq) {
    Statement s(db_,
                "SELECT list_text FROM annotations WHERE project_id = ? AND seq = ? AND kind = 4");
    s.Bind(1, projectId).Bind(2, seq);
    return s.Step() ? s.Text(0) : "";
}

bool CommandEngine::HasRedactions(std::int64_t projectId, std::int64_t seq) {
    return !RedactionList(projectId, seq).empty();
}

bool CommandEngine::MaySeeOriginal(const ProjectAccess& access, std::int64_t seq) {
    if (seq < access.firstSeq || seq > access.lastSeq) return false;
    if (ImagesRestricted(access.security, access.restriction)) return false;
    Statement p(db_, "SELECT restricted FROM pages WHERE project_id = ? AND seq = ?");
    p.Bind(1, access.id).Bind(2, seq);
    if (!p.Step() || p.Int(0) != 0) return false;
    return MaySeeThroughRedactions(access.security) || !HasRedactions(access.id, seq);
}

std::string CommandEngine::TempFileOwner(const std::string& name) {
    Statement s(db_, "SELECT user_id FROM server_files WHERE name = ?");
    s.Bind(1, name);
    if (s.Step()) return s.Text(0);
    // The term and spelling files of a concept search ("D" and "S" before
    // the stem) belong to the owner of its query file (the stem and "X").
    if (name.size() > 1 && (name[0] == 'D' || name[0] == 'S')) {
        Statement c(db_, "SELECT user_id FROM server_files WHERE name = ? AND purpose = 'concept'");
        c.Bind(1, name.substr(1) + "X");
        if (c.Step()) return c.Text(0);
    }
    return "";
}

bool CommandEngine::MayReadFile(const std::string& user, const std::string& relative) {
    if (user.empty()) return false;
    if (relative.rfind("tmp/", 0) == 0) {
        std::string owner = TempFileOwner(relative.substr(4));
        return !owner.empty() && SameText(owner, user);
    }
    const bool original = relative.rfind("originals/", 0) == 0;
    if (!original && relative.rfind("images/", 0) != 0) return false;
    Statement pages(db_, original ? "SELECT project_id, seq FROM pages WHERE original_file = ?"
                                  : "SELECT project_id, seq FROM pages WHERE image_file = ?");
    pages.Bind(1, relative);
    bool used = false;
    // Pages of a large project may share one file: each project's access
    // is worked out once.
    std::map<std::int64_t, std::optional<ProjectAccess>> projects;
    while (pages.Step()) {
        used = true;
        auto [known, added] = projects.try_emplace(pages.Int(0));
        if (added) {
            ProjectAccess found;
            if (UserAccess(user, pages.Int(0), found)) known->second = found;
        }
        if (!known->second) continue;
        const ProjectAccess& access = *known->second;
        std::int64_t seq = pages.Int(1);
        if (original) {
            if (MaySeeOriginal(access, seq)) return true;
        } else if (seq >= access.firstSeq && seq <= access.lastSeq &&
                   !ImagesRestricted(access.security, access.restriction) &&
                   (MaySeeThroughRedactions(access.security) || !HasRedactions(access.id, seq))) {
            // The stored image has no redactions burned in.
            return true;
        }
    }
    // An original of no page is a file clips attach, open to every user.
    return original && !used;
}

}  // namespace docserver
