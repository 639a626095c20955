// Page information, words and OCR text, locks, dates and unit descriptions.
#include <algorithm>
#include <ctime>

#include "command_engine.h"
#include "command_rules.h"
#include "engine_text.h"
#include "lock_holders.h"
#include "redaction_burn.h"
#include "server/request_frame.h"
#include "transaction.h"

namespace docserver {
namespace {

constexpr std::size_t kMaxFieldText = 4000;
constexpr char kLockedBy[] = "ERROR: Page Locked by ";

// User ids compare as the users table does (ASCII letters folded).
bool SameUser(const std::string& a, const std::string& b) {
    auto fold = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; };
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i)
        if (fold(a[i]) != fold(b[i])) return false;
    return true;
}

bool ParseNumber(const std::string& text, std::int64_t& value) {
    if (text.empty() || text.size() > 18) return false;
    std::size_t i = text[0] == '-' ? 1 : 0;
    if (i == text.size()) return false;
    for (std::size_t j = i; j < text.size(); ++j)
        if (text[j] < '0' || text[j] > '9') return false;
    value = std::stoll(text);
    return true;
}

}  // namespace

// "TALQGetPageInfo," P "," key "," 315: level, rotation, 0, info values,
// restriction mark, original file, "", "", placeholder mark (99).
std::string CommandEngine::GetPageInfo(const CommandText& command) {
    ProjectAccess access;
    if (std::string error = OpenProject(command, access); !error.empty()) return error;
    std::int64_t seq = PageSeq(access, command.Middle(4, 1));
    if (seq == 0) return "ERROR: Invalid Image Key";
    Statement p(db_,
                "SELECT bndry_level, rotation, restricted, original_file, placeholder "
                "FROM pages WHERE project_id = ? AND seq = ?");
    p.Bind(1, access.id).Bind(2, seq);
    if (!p.Row()) return "ERROR: Invalid Image Key";
    Statement fields(db_,
                     "SELECT f.position, COALESCE(i.value, '') FROM info_fields f LEFT JOIN "
                     "page_info i ON i.project_id = f.project_id AND i.seq = ? AND "
                     "i.position = f.position WHERE f.project_id = ? ORDER BY f.position");
    fields.Bind(1, seq).Bind(2, access.id);
    std::string values;
    bool first = true;
    while (fields.Row()) {
        if (!first) values += ",";
        first = false;
        std::string value = fields.Text(1);
        std::replace(value.begin(), value.end(), ',', ';');
        values += value;
    }
    const std::string sep(1, kRecordSep);
    return std::to_string(p.Int(0)) + sep + std::to_string(p.Int(1)) + sep + "0" + sep + values +
           sep + std::to_string(p.Int(2) != 0 ? 1 : 0) + sep + p.Text(3) + sep + sep + sep +
           (p.Int(4) != 0 ? "99" : "0");
}

// "TALQPutPageInfo," P "," key "," level, or P "," key ",," rotation.
std::string CommandEngine::PutPageInfo(const CommandText& command) {
    ProjectAccess access;
    if (std::string error = OpenProject(command, access); !error.empty()) return error;
    bool rotation = command.Count() >= 7 && command.FromEnd(1).empty();
    std::string key = command.Middle(4, rotation ? 2 : 1);
    std::int64_t seq = PageSeq(access, key);
    if (seq == 0) return MissingPage(access, key);
    std::int64_t value = 0;
    if (!ParseNumber(command.FromEnd(0), value)) return "ERROR: Invalid Value";
    if (rotation) {
        if (value < 0 || value > 3) return "ERROR: Invalid Rotation";
        // Whoever may change the page turns it, unless another connection
        // holds it; no lock is taken between the check and the turn.
        Transaction transaction(db_);
        if (std::string held = HeldByAnother(access, seq); !held.empty()) return held;
        Statement u(db_, "UPDATE pages SET rotation = ? WHERE project_id = ? AND seq = ?");
        return u.Bind(1, value).Bind(2, access.id).Bind(3, seq).Run() && transaction.Commit()
                   ? "OK"
                   : Failed("ERROR: Update Failed", WhyFailed(u, transaction));
    }
    if (const char* refusal = Refusal(Need::EditBoundaries, access.security, access.restriction);
        *refusal != '\0')
        return refusal;
    if (value != 0) {
        Statement known(db_, "SELECT 1 FROM boundary_levels WHERE project_id = ? AND level = ?");
        known.Bind(1, access.id).Bind(2, value);
        if (!known.Row()) return "ERROR: Invalid Boundary Level";
    }
    Statement u(db_, "UPDATE pages SET bndry_level = ? WHERE project_id = ? AND seq = ?");
    return u.Bind(1, value).Bind(2, access.id).Bind(3, seq).Run()
               ? "OK"
               : Failed("ERROR: Update Failed", u.Error());
}

// "TALQGetWordList," P "," key: width, height and the two resolutions of the
// stored image, then the words as "word|x|y|width|height" joined by "^".
std::string CommandEngine::GetWordList(const CommandText& command) {
    ProjectAccess access;
    if (std::string error = OpenProject(command, access); !error.empty()) return error;
    std::int64_t seq = PageSeq(access, command.Rest(4));
    if (seq == 0) return "ERROR: Invalid Image Key";
    std::string file, list;
    int width = 0, height = 0, dpiX = 0, dpiY = 0;
    {
        // Ended before the size is kept (system_db.h).
        Statement p(db_,
                    "SELECT image_file, word_list, image_width, image_height, image_dpi_x, "
                    "image_dpi_y FROM pages WHERE project_id = ? AND seq = ?");
        p.Bind(1, access.id).Bind(2, seq);
        if (!p.Row()) return "ERROR: Invalid Image Key";
        file = p.Text(0);
        list = p.Text(1);
        width = static_cast<int>(p.Int(2));
        height = static_cast<int>(p.Int(3));
        dpiX = static_cast<int>(p.Int(4));
        dpiY = static_cast<int>(p.Int(5));
    }
    if (width <= 0 || height <= 0 || dpiX <= 0 || dpiY <= 0) {
        // Read once from the image, then kept with the page.
        StoredImageSize(file, width, height, dpiX, dpiY);
        if (width > 0) {
            try {
                Statement keep(db_,
                               "UPDATE pages SET image_width = ?, image_height = ?, "
                               "image_dpi_x = ?, image_dpi_y = ? WHERE project_id = ? AND seq = ?");
                keep.Bind(1, std::int64_t{width}).Bind(2, std::int64_t{height});
                keep.Bind(3, std::int64_t{dpiX}).Bind(4, std::int64_t{dpiY});
                keep.Bind(5, access.id).Bind(6, seq).Run();
            } catch (const DatabaseBusy&) {
                // Kept another time; the reply needs only the values.
            }
        }
    }
    // What the burned-in image hides is not sent as words either.
    const std::string words =
        WordsOutsideRedactions(list, RedactionBoxes(HiddenRedactions(access, seq, file)));
    return std::to_string(width) + "," + std::to_string(height) + "," + std::to_string(dpiX) + "," +
           std::to_string(dpiY) + "," + words;
}

std::string CommandEngine::PageText(const ProjectAccess& access, std::int64_t seq) {
    // Plain text has no places to black out: a user who sees redactions
    // opaque gets no text of a redacted page.
    Statement p(db_, "SELECT ocr_text, image_file FROM pages WHERE project_id = ? AND seq = ?");
    p.Bind(1, access.id).Bind(2, seq);
    if (!p.Row() || !HiddenRedactions(access, seq, p.Text(1)).empty()) return "";
    return p.Text(0);
}

// "TALQGetPageWBuf,,,," key "," start "," end: the OCR text's words from the
// start to the end offset (both inclusive), single blanks between them.
std::string CommandEngine::GetPageWBuf(const ConnectionState& state, const CommandText& command) {
    ProjectAccess access;
    if (std::string error = ConnectionProject(state, access); !error.empty()) return error;
    std::int64_t seq = PageSeq(access, command.Middle(4, 2));
    if (seq == 0) return "ERROR: Invalid Image Key";
    std::int64_t start = 0, end = 0;
    if (!ParseNumber(command.FromEnd(1), start) || !ParseNumber(command.FromEnd(0), end))
        return "ERROR: Invalid Range";
    std::string text = PageText(access, seq);
    auto size = static_cast<std::int64_t>(text.size());
    // Both ends are inclusive, as the concept search's hit rows give them.
    start = std::max<std::int64_t>(start, 0);
    end = std::min<std::int64_t>(end, size - 1);
    std::string words;
    bool blank = false;
    for (std::int64_t i = start; i <= end; ++i) {
        unsigned char c = static_cast<unsigned char>(text[static_cast<std::size_t>(i)]);
        if (c <= ' ') {
            blank = !words.empty();
            continue;
        }
        if (blank) words.push_back(' ');
        blank = false;
        words.push_back(static_cast<char>(c));
    }
    return words.empty() ? "NONE" : words;
}

// "TALQGetPageOcr,,,," key
std::string CommandEngine::GetPageOcr(const ConnectionState& state, const CommandText& command) {
    ProjectAccess access;
    if (std::string error = ConnectionProject(state, access); !error.empty()) return error;
    std::int64_t seq = PageSeq(access, command.Rest(4));
    if (seq == 0) return "ERROR: Invalid Image Key";
    std::string text = PageText(access, seq);
    return text.empty() ? "NONE" : text;
}

std::string CommandEngine::HeldByAnother(const ProjectAccess& access, std::int64_t seq,
                                         std::string* holderOwner) {
    // One login may be open in two viewers: the lock is the connection's,
    // and the same user's other connection is refused like any other.
    const ConnectionState* state = CurrentConnection();
    std::string user, session, owner;
    HolderRecord holder;
    {
        Statement held(db_, "SELECT user_id, session, owner FROM page_locks WHERE "
                            "project_id = ? AND seq = ?");
        held.Bind(1, access.id).Bind(2, seq);
        if (!held.Row() || (state != nullptr && held.Text(1) == state->session)) return {};
        user = held.Text(0);
        session = held.Text(1);
        owner = held.Text(2);
        if (holderOwner != nullptr) *holderOwner = owner;
        // Judged by its latest sign of life in any of its rows: taking a
        // lock is one.
        Statement signs(db_,
                        "SELECT MAX(seen), MAX(silence), MAX(taken) FROM page_locks WHERE "
                        "session = ? AND owner = ?");
        signs.Bind(1, session).Bind(2, owner);
        if (!signs.Row()) return kLockedBy + user;
        holder = {owner, signs.Int(0), signs.Text(2), signs.Int(1)};
    }
    // A holder refused the project since (its rights removed, its key range
    // reaching nothing) can neither use its locks there nor give them back
    // through the project's checks: they keep nobody out.
    if (ProjectAccess its; !UserAccess(user, access.id, its)) {
        Statement release(db_, "DELETE FROM page_locks WHERE session = ? AND project_id = ?");
        release.Bind(1, session).Bind(2, access.id).Run();
        return {};
    }
    // The reads are finished before the write below.
    if (!HolderGone(holder, std::time(nullptr))) return kLockedBy + user;
    // A holder that is gone gives back every lock it held. Only rows
    // naming the same process go: the judgement was made on them.
    Statement release(db_, "DELETE FROM page_locks WHERE session = ? AND owner = ?");
    release.Bind(1, session).Bind(2, owner).Run();
    return {};
}

// A lock is the connection's; another connection's lock is refused, and so
// is a page the user may not change.
std::string CommandEngine::SetPageLock(ConnectionState& state, const CommandText& command) {
    ProjectAccess access;
    if (std::string error = OpenProject(command, access); !error.empty()) return error;
    std::int64_t seq = PageSeq(access, command.Rest(4));
    if (seq == 0) return MissingPage(access, command.Rest(4));
    // The check and the taking are one write, so two connections never both win.
    Transaction transaction(db_);
    std::string holder;
    if (std::string held = HeldByAnother(access, seq, &holder); !held.empty()) {
        // The same user on another connection of this server may be the
        // asker's own, lost with its network: its viewer can tell, and
        // learns when that one goes. Only the lock is told so; what the
        // page's other commands refuse stays as it was.
        if (deadPeerSeconds_ > 0 && holder == ProcessIdentity() &&
            SameUser(held.substr(sizeof kLockedBy - 1), access.user))
            held += RequestFrame::LockedOnAnotherConnection(deadPeerSeconds_);
        return held;
    }
    // The holder is named to others as the system knows the user, however
    // the login was typed.
    // The holder may run on another machine (a local-access session, or a
    // server, sharing the system's folder), where only its signs of life
    // tell that it still holds.
    const std::int64_t now = std::time(nullptr);
    Statement take(db_,
                   "INSERT OR REPLACE INTO page_locks(project_id, seq, user_id, session, taken, "
                   "owner, seen, silence) VALUES (?, ?, COALESCE((SELECT user_id FROM users "
                   "WHERE user_id = ?), ?), ?, ?, ?, ?, ?)");
    take.Bind(1, access.id)
        .Bind(2, seq)
        .Bind(3, access.user)
        .Bind(4, access.user)
        .Bind(5, state.session)
        .Bind(6, NowText())
        .Bind(7, ProcessIdentity())
        .Bind(8, now)
        .Bind(9, kSilentHolderSeconds);
    if (!take.Run() || !transaction.Commit())
        return Failed("ERROR: Unable to Lock Page", WhyFailed(take, transaction));
    if (state.lockedPages.empty()) state.lifeShown = now;
    state.lockedPages.emplace(access.id, seq);
    return "OK";
}

// The connection's own lock is given back whatever became of its rights or
// key range since it was taken: only the password is checked. Kept, it would
// keep every other user off the page for as long as the connection lives.
std::string CommandEngine::RemovePageLock(ConnectionState& state, const CommandText& command) {
    if (std::string refusal = LoginRefusal(command.Field(1), command.Field(2)); !refusal.empty())
        return refusal;
    const std::string key = command.Rest(4);
    std::int64_t project = 0, seq = 0;
    {
        Statement own(db_,
                      "SELECT l.project_id, l.seq FROM projects j JOIN pages p ON p.project_id = "
                      "j.project_id JOIN page_locks l ON l.project_id = p.project_id AND l.seq = "
                      "p.seq WHERE j.name = ? AND p.image_key = ? AND l.session = ?");
        own.Bind(1, command.Field(3)).Bind(2, key).Bind(3, state.session);
        if (own.Row()) {
            project = own.Int(0);
            seq = own.Int(1);
        }
    }
    if (seq == 0) {
        // Nothing of the connection's to give back: answered as any command
        // naming the project and page.
        ProjectAccess access;
        if (std::string error = OpenProject(command, access); !error.empty()) return error;
        return PageSeq(access, key) == 0 ? "ERROR: Invalid Image Key" : "OK";
    }
    Statement drop(db_, "DELETE FROM page_locks WHERE project_id = ? AND seq = ? AND session = ?");
    drop.Bind(1, project).Bind(2, seq).Bind(3, state.session);
    if (!drop.Run()) return Failed("ERROR: Unable to Remove Lock", drop.Error());
    state.lockedPages.erase({project, seq});
    return "OK";
}

std::string CommandEngine::GetPageDate(const CommandText& command) {
    ProjectAccess access;
    if (std::string error = OpenProject(command, access); !error.empty()) return error;
    std::int64_t seq = PageSeq(access, command.Rest(4));
    if (seq == 0) return "ERROR: Invalid Image Key";
    Statement p(db_, "SELECT doc_date FROM pages WHERE project_id = ? AND seq = ?");
    p.Bind(1, access.id).Bind(2, seq);
    std::string date = p.Row() ? p.Text(0) : "";
    return date.empty() ? "NONE" : date;
}

// "TALQDTPutDate," P "," key "," date
std::string CommandEngine::PutPageDate(const CommandText& command) {
    ProjectAccess access;
    if (std::string error = OpenProject(command, access); !error.empty()) return error;
    if (command.Count() < 6) return "ERROR: Invalid Date";
    std::int64_t seq = PageSeq(access, command.Middle(4, 1));
    if (seq == 0) return MissingPage(access, command.Middle(4, 1));
    const std::string& date = command.FromEnd(0);
    if (date.size() > 64) return "ERROR: Invalid Date";
    Statement u(db_, "UPDATE pages SET doc_date = ? WHERE project_id = ? AND seq = ?");
    return u.Bind(1, date).Bind(2, access.id).Bind(3, seq).Run()
               ? "OK"
               : Failed("ERROR: Update Failed", u.Error());
}

// "TALQGetFolderDescription," P "," key "," level: of the unit of the level
// that holds the key.
std::string CommandEngine::GetFolderDescription(const CommandText& command) {
    ProjectAccess access;
    if (std::string error = OpenProject(command, access); !error.empty()) return error;
    std::int64_t seq = PageSeq(access, command.Middle(4, 1));
    std::int64_t level = 0;
    if (seq == 0 || !ParseNumber(command.FromEnd(0), level) || level <= 0) return "NONE";
    Statement d(db_,
                "SELECT description FROM folder_descriptions WHERE project_id = ? AND seq = ? "
                "AND level = ?");
    d.Bind(1, access.id).Bind(2, UnitStart(access, seq, level)).Bind(3, level);
    std::string text = d.Row() ? d.Text(0) : "";
    return text.empty() ? "NONE" : text;
}

// "TALQPutFolderDescription," P "," key "," level "," description, the
// description being the rest of the command.
std::string CommandEngine::PutFolderDescription(const CommandText& command) {
    ProjectAccess access;
    if (std::string error = OpenProject(command, access); !error.empty()) return error;
    std::int64_t seq = PageSeq(access, command.Field(4));
    if (seq == 0) return "ERROR: Invalid Image Key";
    std::int64_t level = 0;
    if (!ParseNumber(command.Field(5), level) || level <= 0) return "ERROR: Invalid Boundary Level";
    {
        // Ended before the write (system_db.h).
        Statement known(db_, "SELECT 1 FROM boundary_levels WHERE project_id = ? AND level = ?");
        known.Bind(1, access.id).Bind(2, level);
        if (!known.Row()) return "ERROR: Invalid Boundary Level";
    }
    std::string text = command.Rest(6);
    if (text.size() > kMaxFieldText) return "ERROR: Description Too Long";
    Statement put(db_,
                  "INSERT OR REPLACE INTO folder_descriptions(project_id, seq, level, description) "
                  "VALUES (?, ?, ?, ?)");
    put.Bind(1, access.id).Bind(2, UnitStart(access, seq, level)).Bind(3, level).Bind(4, text);
    return put.Run() ? "OK" : Failed("ERROR: Update Failed", put.Error());
}

}  // namespace docserver
