// Issue tags of pages and projects, annotation lists and page restriction.
#include <algorithm>
#include <set>
#include <vector>

#include "command_engine.h"
#include "engine_text.h"
#include "platform/annotation_kinds.h"
#include "tag_numbers.h"
#include "transaction.h"

namespace docserver {
namespace {

constexpr std::int64_t kTagModify = 0x13;
// Creating, renaming and deleting tag collections.
constexpr std::int64_t kAnnotationModify = 0x23;
constexpr std::int64_t kRedactionModify = 0x07;

bool ValidTagName(const std::string& name) {
    if (name.empty() || name.size() > 200) return false;
    for (unsigned char c : name)
        if (c == ',' || c == '|' || c < 32) return false;
    return true;
}

std::string JoinOrNone(const std::vector<std::string>& items) {
    if (items.empty()) return "NONE";
    std::string text;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) text += ",";
        text += items[i];
    }
    return text;
}

}  // namespace

std::int64_t CommandEngine::ProjectSecurity(const ProjectAccess& access) {
    Statement s(db_, "SELECT security FROM user_projects WHERE user_id = ? AND project_id = ?");
    s.Bind(1, access.user).Bind(2, access.id);
    return s.Row() ? s.Int(0) : 0;
}

namespace {

std::int64_t TagId(const SystemDb& db, std::int64_t project, const std::string& name) {
    Statement s(db, "SELECT tag_id FROM tags WHERE project_id = ? AND name = ?");
    s.Bind(1, project).Bind(2, name);
    return s.Row() ? s.Int(0) : 0;
}

}  // namespace

std::string CommandEngine::GetTagPool(const CommandText& command) {
    ProjectAccess access;
    if (std::string error = OpenProject(command, access); !error.empty()) return error;
    Statement s(db_, "SELECT name FROM tags WHERE project_id = ? ORDER BY name");
    s.Bind(1, access.id);
    std::vector<std::string> names;
    while (s.Row()) names.push_back(s.Text(0));
    return JoinOrNone(names);
}

// The user's own palette once the user saved one, else the project's.
std::string CommandEngine::GetTagPalette(const CommandText& command) {
    ProjectAccess access;
    if (std::string error = OpenProject(command, access); !error.empty()) return error;
    Statement own(db_, "SELECT 1 FROM user_palettes WHERE project_id = ? AND user_id = ?");
    own.Bind(1, access.id).Bind(2, access.user);
    const bool saved = own.Row();
    Statement s(db_, saved ? "SELECT t.name FROM user_palette_tags u JOIN tags t ON t.project_id "
                             "= u.project_id AND t.tag_id = u.tag_id WHERE u.project_id = ?1 "
                             "AND u.user_id = ?2 ORDER BY u.position"
                           : "SELECT name FROM tags WHERE project_id = ?1 AND palette_position "
                             "IS NOT NULL ORDER BY palette_position");
    s.Bind(1, access.id);
    if (saved) s.Bind(2, access.user);
    std::vector<std::string> names;
    while (s.Row()) names.push_back(s.Text(0));
    return JoinOrNone(names);
}

// "TALQGetImageTags," P "," key
std::string CommandEngine::GetImageTags(const CommandText& command) {
    ProjectAccess access;
    if (std::string error = OpenProject(command, access); !error.empty()) return error;
    std::int64_t seq = PageSeq(access, command.Rest(4));
    if (seq == 0) return "ERROR: Invalid Image Key";
    Statement s(db_,
                "SELECT t.name FROM page_tags pt JOIN tags t ON t.project_id = pt.project_id "
                "AND t.tag_id = pt.tag_id WHERE pt.project_id = ? AND pt.seq = ? ORDER BY t.name");
    s.Bind(1, access.id).Bind(2, seq);
    std::vector<std::string> names;
    while (s.Row()) names.push_back(s.Text(0));
    return JoinOrNone(names);
}

// "TALQTurnTagOn," P "," key "," tag; switching twice changes nothing.
std::string CommandEngine::SwitchTag(const CommandText& command, bool on) {
    ProjectAccess access;
    if (std::string error = OpenProject(command, access); !error.empty()) return error;
    if ((ProjectSecurity(access) & kTagModify) == 0) return "ERROR: Insufficient Security Level";
    std::int64_t seq = PageSeq(access, command.Middle(4, 1));
    if (seq == 0) return MissingPage(access, command.Middle(4, 1));
    std::int64_t tag = TagId(db_, access.id, command.FromEnd(0));
    if (tag == 0) return "ERROR: Invalid Tag Desc";
    Statement s(db_,
                on ? "INSERT OR IGNORE INTO page_tags (project_id, seq, tag_id) VALUES (?, ?, ?)"
                   : "DELETE FROM page_tags WHERE project_id = ? AND seq = ? AND tag_id = ?");
    return s.Bind(1, access.id).Bind(2, seq).Bind(3, tag).Run()
               ? "OK"
               : Failed("ERROR: Update Failed", s.Error());
}

// Two forms: "TALQIsDocTagged" R user R password R project R tag R begKey R
// endKey, and "TALQIsDocTagged," P "," tag "," begKey "," endKey.
std::string CommandEngine::IsDocTagged(const CommandText& command) {
    const std::string& text = command.text;
    std::vector<std::string> fields;
    if (text.size() > 15 && text[15] == kRecordSep) {
        std::size_t start = 16;
        while (true) {
            std::size_t sep = text.find(kRecordSep, start);
            fields.push_back(text.substr(start, sep == std::string::npos ? sep : sep - start));
            if (sep == std::string::npos) break;
            start = sep + 1;
        }
    } else {
        for (std::size_t i = 1; i < command.Count(); ++i) fields.push_back(command.Field(i));
    }
    if (fields.size() != 6) return "ERROR: Invalid Command";
    CommandText login("TALQIsDocTagged," + fields[0] + "," + fields[1] + "," + fields[2]);
    ProjectAccess access;
    if (std::string error = OpenProject(login, access); !error.empty()) return error;
    std::int64_t first = PageSeq(access, fields[4]);
    std::int64_t last = PageSeq(access, fields[5]);
    if (first == 0 || last == 0) return "ERROR: Invalid Image Key";
    if (last < first) std::swap(first, last);
    std::int64_t tag = TagId(db_, access.id, fields[3]);
    if (tag == 0) return "0";
    Statement s(db_,
                "SELECT 1 FROM page_tags WHERE project_id = ? AND tag_id = ? AND seq BETWEEN ? "
                "AND ? LIMIT 1");
    s.Bind(1, access.id).Bind(2, tag).Bind(3, first).Bind(4, last);
    return s.Row() ? "1" : "0";
}

// "TALQAddTag," P "," description
std::string CommandEngine::AddTag(const CommandText& command) {
    ProjectAccess access;
    if (std::string error = OpenProject(command, access); !error.empty()) return error;
    std::string name = command.Rest(4);
    if (!ValidTagName(name)) return "ERROR: Invalid Paramater";
    if (TagId(db_, access.id, name) != 0) return "ERROR: Tag Already Exists";
    const std::string insert =
        std::string("INSERT INTO tags (project_id, tag_id, name) VALUES (?1, ") + kNextTagIdSql +
        ", ?2)";
    Statement s(db_, insert.c_str());
    return s.Bind(1, access.id).Bind(2, name).Run() ? "1"
                                                    : Failed("ERROR: Update Failed", s.Error());
}

// "TALQUpdateTag," P "," old "," new: the palette and the pages keep the
// tag under its new name.
std::string CommandEngine::UpdateTag(const CommandText& command) {
    ProjectAccess access;
    if (std::string error = OpenProject(command, access); !error.empty()) return error;
    if (command.Count() != 6) return "ERROR: Invalid Paramater";
    const std::string& oldName = command.Field(4);
    const std::string& newName = command.Field(5);
    if (!ValidTagName(newName)) return "ERROR: Invalid Paramater";
    std::int64_t tag = TagId(db_, access.id, oldName);
    if (tag == 0) return "ERROR: Invalid Tag Desc";
    std::int64_t other = TagId(db_, access.id, newName);
    if (other != 0 && other != tag) return "ERROR: Tag Already Exists";
    Statement s(db_, "UPDATE tags SET name = ? WHERE project_id = ? AND tag_id = ?");
    return s.Bind(1, newName).Bind(2, access.id).Bind(3, tag).Run()
               ? "1"
               : Failed("ERROR: Update Failed", s.Error());
}

// "TALQDelTag," P "," description: gone from the pool, the palette and
// every page.
std::string CommandEngine::DeleteTag(const CommandText& command) {
    ProjectAccess access;
    if (std::string error = OpenProject(command, access); !error.empty()) return error;
    Transaction transaction(db_);
    std::int64_t tag = TagId(db_, access.id, command.Rest(4));
    if (tag == 0) return "ERROR: Invalid Tag Desc";
    Statement pages(db_, "DELETE FROM page_tags WHERE project_id = ? AND tag_id = ?");
    Statement s(db_, "DELETE FROM tags WHERE project_id = ? AND tag_id = ?");
    bool ok = pages.Bind(1, access.id).Bind(2, tag).Run() &&
              s.Bind(1, access.id).Bind(2, tag).Run() && transaction.Commit();
    return ok ? "1" : Failed("ERROR: Update Failed", WhyFailed(pages, s, transaction));
}

// "TALQPutPaletteList," P "," tags joined by "|": the user's own palette,
// which changes nothing others see. A name not in the pool (renamed or
// deleted since the list was made) refuses the whole list: stored without
// it, the palette would not be what the reviewer was told was saved.
std::string CommandEngine::PutPalette(const CommandText& command) {
    ProjectAccess access;
    if (std::string error = OpenProject(command, access); !error.empty()) return error;
    std::string list = command.Rest(4);
    Transaction transaction(db_);
    Statement clear(db_, "DELETE FROM user_palettes WHERE project_id = ? AND user_id = ?");
    Statement mine(db_, "INSERT INTO user_palettes (project_id, user_id) VALUES (?, ?)");
    bool ok = clear.Bind(1, access.id).Bind(2, access.user).Run() &&
              mine.Bind(1, access.id).Bind(2, access.user).Run();
    std::string why = WhyFailed(clear, mine);
    std::set<std::int64_t> placed;
    for (const std::string& name : Split(list, '|')) {
        if (name.empty()) continue;
        const std::int64_t tag = TagId(db_, access.id, name);
        if (tag == 0) return "ERROR: Invalid Tag Desc " + name;
        if (!placed.insert(tag).second) continue;
        Statement set(db_,
                      "INSERT INTO user_palette_tags (project_id, user_id, position, tag_id) "
                      "VALUES (?, ?, ?, ?)");
        ok = ok && set.Bind(1, access.id)
                       .Bind(2, access.user)
                       .Bind(3, static_cast<std::int64_t>(placed.size()))
                       .Bind(4, tag)
                       .Run();
        if (why.empty()) why = WhyFailed(set);
    }
    return ok && transaction.Commit()
               ? "OK"
               : Failed("ERROR: Update Failed", why.empty() ? transaction.Error() : why);
}

std::string CommandEngine::IsPageRestricted(const CommandText& command) {
    ProjectAccess access;
    if (std::string error = OpenProject(command, access); !error.empty()) return error;
    std::int64_t seq = PageSeq(access, command.Rest(4));
    if (seq == 0) return "ERROR: Invalid Image Key";
    Statement s(db_, "SELECT restricted FROM pages WHERE project_id = ? AND seq = ?");
    s.Bind(1, access.id).Bind(2, seq);
    return s.Row() && s.Int(0) != 0 ? "1" : "0";
}

// Sections by kind 1, 2, 4, 8, 16, 32, 64, joined by character 25.
std::string CommandEngine::GetAnnotations(const CommandText& command) {
    ProjectAccess access;
    if (std::string error = OpenProject(command, access); !error.empty()) return error;
    std::int64_t seq = PageSeq(access, command.Rest(4));
    if (seq == 0) return "ERROR: Invalid Image Key";
    Statement s(db_, "SELECT kind, list_text FROM annotations WHERE project_id = ? AND seq = ?");
    s.Bind(1, access.id).Bind(2, seq);
    std::vector<std::string> sections(7);
    while (s.Row()) {
        for (std::size_t bit = 0; bit < sections.size(); ++bit)
            if (s.Int(0) == (std::int64_t{1} << bit)) sections[bit] = s.Text(1);
    }
    std::string reply;
    for (std::size_t i = 0; i < sections.size(); ++i) {
        if (i > 0) reply.push_back(kSectionSep);
        reply += sections[i];
    }
    return reply;
}

std::string CommandEngine::RefuseRemoteClipList(const ConnectionState& state,
                                                const CommandText& command) {
    const std::string& kind = command.Field(5);
    const bool digits = !kind.empty() && kind.size() <= 3 &&
                        kind.find_first_not_of("0123456789") == std::string::npos;
    if (state.local || !digits || std::stoi(kind) != kClip) return "";
    return "ERROR: Clips can only be changed in Local Access Mode";
}

// "TALQPutAnnotations," P "," key "," kind "," list: the list of that kind
// is replaced; an empty list clears it. Clients send the commas of texts as
// CommaSub and read them back as commas (markup points are "x,y" pairs).
std::string CommandEngine::PutAnnotations(const CommandText& command) {
    ProjectAccess access;
    if (std::string error = OpenProject(command, access); !error.empty()) return error;
    std::int64_t seq = PageSeq(access, command.Field(4));
    if (seq == 0) return MissingPage(access, command.Field(4));
    const std::string& kindText = command.Field(5);
    std::int64_t kind = 0;
    bool digits = !kindText.empty() && kindText.size() <= 3;
    for (char c : kindText) digits = digits && c >= '0' && c <= '9';
    if (digits) kind = std::stoll(kindText);
    if (!IsAnnotationKind(kind)) return "ERROR: Invalid Annotation Type";
    std::int64_t needed = kind == kRedaction ? kRedactionModify : kAnnotationModify;
    if ((ProjectSecurity(access) & needed) == 0) return "ERROR: Insufficient Security Level";
    std::string list = command.Rest(6);
    std::replace(list.begin(), list.end(), wire::kCommaSub, ',');
    // Lists are replaced whole: a second writer would undo the holder's work.
    // The check and the write are one, so no lock is taken between them.
    Transaction transaction(db_);
    if (std::string held = HeldByAnother(access, seq); !held.empty()) return held;
    bool stored = false;
    std::string why;
    if (list.empty()) {
        Statement d(db_, "DELETE FROM annotations WHERE project_id = ? AND seq = ? AND kind = ?");
        stored = d.Bind(1, access.id).Bind(2, seq).Bind(3, kind).Run();
        why = WhyFailed(d);
    } else {
        Statement s(db_,
                    "INSERT OR REPLACE INTO annotations (project_id, seq, kind, list_text) "
                    "VALUES (?, ?, ?, ?)");
        stored = s.Bind(1, access.id).Bind(2, seq).Bind(3, kind).Bind(4, list).Run();
        why = WhyFailed(s);
    }
    return stored && transaction.Commit()
               ? "1"
               : Failed("ERROR: Update Failed", why.empty() ? transaction.Error() : why);
}

}  // namespace docserver
