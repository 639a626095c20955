// Which files a user may read: the temporary files issued to the user, and
// the images and originals of the pages the user may see.
#include <algorithm>
#include <map>
#include <optional>

#include "command_engine.h"
#include "command_rules.h"
#include "engine_text.h"
#include "redaction_burn.h"

namespace docserver {
namespace {

// Whether a clip's text (the file path, then the program after character
// 30) names the original: the same name inside originals/, whether given
// as "@name", relative or as a path ending in it.
bool ClipNames(std::string text, const std::string& relative) {
    text = text.substr(0, text.find(kListSep));
    for (char& c : text) {
        if (c == '\\') c = '/';
        if (c == wire::kCommaSub) c = ',';
    }
    if (!text.empty() && text[0] == '@') text.erase(0, 1);
    const std::string inside = relative.substr(std::string("originals/").size());
    if (text == inside || text == relative) return true;
    return text.size() > relative.size() &&
           text.compare(text.size() - relative.size(), relative.size(), relative) == 0 &&
           text[text.size() - relative.size() - 1] == '/';
}

}  // namespace

bool CommandEngine::UserAccess(const std::string& user, std::int64_t projectId,
                               ProjectAccess& access) {
    Statement s(db_,
                "SELECT up.first_key, up.last_key, up.security, p.restriction FROM user_projects "
                "up JOIN projects p ON p.project_id = up.project_id "
                "WHERE up.user_id = ? AND up.project_id = ?");
    s.Bind(1, user).Bind(2, projectId);
    if (!s.Row()) return false;
    access = ProjectAccess{};
    access.id = projectId;
    access.user = user;
    if (!LimitRange(access, s.Text(0), s.Text(1)).empty()) return false;
    access.security = s.Int(2);
    access.restriction = s.Int(3);
    return true;
}

std::string CommandEngine::RedactionList(std::int64_t projectId, std::int64_t seq) {
    Statement s(db_,
                "SELECT list_text FROM annotations WHERE project_id = ? AND seq = ? AND kind = 4");
    s.Bind(1, projectId).Bind(2, seq);
    return s.Row() ? s.Text(0) : "";
}

bool CommandEngine::HasRedactions(std::int64_t projectId, std::int64_t seq) {
    return !RedactionList(projectId, seq).empty();
}

// Pages may share one stored image: a box on any of them covers the same
// pixels on all of them.
std::string CommandEngine::HiddenRedactions(const std::string& user, const std::string& file,
                                            std::optional<std::int64_t> seenThrough) {
    std::string slashed = file, backslashed = file;
    std::replace(slashed.begin(), slashed.end(), '\\', '/');
    std::replace(backslashed.begin(), backslashed.end(), '/', '\\');
    // A large project may show one image on many pages: those of the
    // project seen through are passed over in the index, their annotations
    // never read.
    Statement s(db_,
                "SELECT p.project_id, r.list_text FROM pages p JOIN annotations r ON "
                "r.project_id = p.project_id AND r.seq = p.seq AND r.kind = 4 WHERE "
                "p.image_file IN (?1, ?2, ?3) AND p.project_id IS NOT ?4 AND r.list_text <> '' "
                "ORDER BY p.project_id, p.seq");
    s.Bind(1, file).Bind(2, slashed).Bind(3, backslashed);
    if (seenThrough) s.Bind(4, *seenThrough);
    std::map<std::int64_t, bool> opaque;
    std::string lists;
    while (s.Row()) {
        auto [known, added] = opaque.try_emplace(s.Int(0), true);
        if (added) {
            ProjectAccess access;
            known->second = !UserAccess(user, s.Int(0), access) ||
                            !MaySeeThroughRedactions(access.security);
        }
        if (!known->second) continue;
        if (!lists.empty()) lists.push_back(kRecordSep);
        lists += s.Text(1);
    }
    return lists;
}

std::string CommandEngine::HiddenRedactions(const ProjectAccess& access, std::int64_t seq,
                                            const std::string& file) {
    const bool seesThrough = MaySeeThroughRedactions(access.security);
    if (!file.empty())
        return HiddenRedactions(access.user, file,
                                seesThrough ? std::optional(access.id) : std::nullopt);
    return seesThrough ? "" : RedactionList(access.id, seq);
}

bool CommandEngine::MaySeeOriginal(const ProjectAccess& access, std::int64_t seq) {
    if (seq < access.firstSeq || seq > access.lastSeq) return false;
    if (ImagesRestricted(access.security, access.restriction)) return false;
    Statement p(db_, "SELECT restricted, image_file FROM pages WHERE project_id = ? AND seq = ?");
    p.Bind(1, access.id).Bind(2, seq);
    if (!p.Row() || p.Int(0) != 0) return false;
    return HiddenRedactions(access, seq, p.Text(1)).empty();
}

bool CommandEngine::MayReadFile(const std::string& user, const std::string& relative) {
    if (user.empty()) return false;
    if (relative.rfind("tmp/", 0) == 0) {
        std::string owner = TempFileOwner(relative.substr(4));
        return !owner.empty() && SameText(owner, user);
    }
    if (relative.rfind("originals/", 0) == 0) return MayReadOriginal(user, relative);
    if (relative.rfind("images/", 0) != 0) return false;
    // The stored image has no redactions burned in.
    if (!HiddenRedactions(user, relative, std::nullopt).empty()) return false;
    Statement pages(db_, "SELECT project_id, seq FROM pages WHERE image_file = ?");
    pages.Bind(1, relative);
    // Pages of a large project may share one file: each project's access
    // is worked out once.
    std::map<std::int64_t, std::optional<ProjectAccess>> projects;
    while (pages.Row()) {
        auto [known, added] = projects.try_emplace(pages.Int(0));
        if (added) {
            ProjectAccess found;
            if (UserAccess(user, pages.Int(0), found)) known->second = found;
        }
        if (!known->second) continue;
        const ProjectAccess& access = *known->second;
        std::int64_t seq = pages.Int(1);
        if (seq >= access.firstSeq && seq <= access.lastSeq &&
            !ImagesRestricted(access.security, access.restriction))
            return true;
    }
    return false;
}

// An original holds the text of every page that names it, so every one of
// them must be open to the user.
bool CommandEngine::MayReadOriginal(const std::string& user, const std::string& relative) {
    std::string backslashed = relative;
    std::replace(backslashed.begin(), backslashed.end(), '/', '\\');
    Statement pages(db_, ("SELECT project_id, MIN(seq), MAX(seq), MAX(restricted), MAX(" +
                          HiddenRedactionsSql("pages", 3) +
                          ") FROM pages WHERE original_file IN (?1, ?2) GROUP BY project_id")
                             .c_str());
    pages.Bind(1, relative).Bind(2, backslashed).Bind(3, user);
    bool named = false;
    while (pages.Row()) {
        named = true;
        ProjectAccess access;
        if (!UserAccess(user, pages.Int(0), access) || pages.Int(1) < access.firstSeq ||
            pages.Int(2) > access.lastSeq || pages.Int(3) != 0 ||
            ImagesRestricted(access.security, access.restriction) || pages.Int(4) != 0)
            return false;
    }
    if (named) return true;
    // A file no page names (a clip's) is its project's: the project whose
    // folder holds it or whose clips name it.
    for (std::int64_t project : OwnersOfUnnamedOriginal(relative)) {
        ProjectAccess access;
        if (UserAccess(user, project, access) &&
            !ImagesRestricted(access.security, access.restriction))
            return true;
    }
    return false;
}

std::vector<std::int64_t> CommandEngine::OwnersOfUnnamedOriginal(const std::string& relative) {
    std::vector<std::int64_t> owners;
    const std::string inside = relative.substr(std::string("originals/").size());
    if (std::size_t slash = inside.find('/'); slash != std::string::npos) {
        Statement folder(db_, "SELECT project_id FROM projects WHERE name = ?");
        folder.Bind(1, inside.substr(0, slash));
        if (folder.Row()) owners.push_back(folder.Int(0));
    }
    const std::string base = inside.substr(inside.rfind('/') + 1);
    Statement clips(db_,
                    "SELECT project_id, list_text FROM annotations WHERE kind = 2 AND "
                    "instr(list_text, ?) > 0");
    clips.Bind(1, base);
    while (clips.Row()) {
        for (const std::string& record : Split(clips.Text(1), kRecordSep)) {
            std::vector<std::string> fields = Split(record, kFieldSep);
            if (fields.size() > 12 && ClipNames(fields[12], relative)) {
                owners.push_back(clips.Int(0));
                break;
            }
        }
    }
    return owners;
}

}  // namespace docserver
