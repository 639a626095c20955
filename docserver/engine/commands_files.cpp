// Server files: resolving "@" names, existence, reading in pieces, deleting
// temporary files, and the two uploads (page image, full-text line).
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <vector>

#include <sqlite3.h>

#include "command_engine.h"
#include "command_rules.h"
#include "engine_text.h"
#include "lock_holders.h"
#include "path_confine.h"
#include "transaction.h"

namespace docserver {
namespace {

constexpr std::int64_t kMaxPiece = 10000;

bool IsRegularFile(const std::string& path, std::int64_t* size = nullptr) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return false;
    if (size != nullptr) *size = static_cast<std::int64_t>(info.st_size);
    return true;
}

std::string RealDir(const std::string& dir) {
    char resolved[PATH_MAX];
    return ::realpath(dir.c_str(), resolved) != nullptr ? std::string(resolved) : std::string();
}

// The folders a client may read from; the database and settings stay out.
bool Readable(const std::string& relative) {
    for (const char* folder : {"images/", "originals/", "tmp/"})
        if (relative.rfind(folder, 0) == 0) return true;
    return false;
}

// Written through to the disk, so an acknowledged upload survives a crash.
bool SyncFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    bool ok = ::fsync(fd) == 0;
    ::close(fd);
    return ok;
}

// Position just past the n-th comma of text; npos when there are fewer.
std::size_t AfterComma(const std::string& text, int n) {
    std::size_t pos = 0;
    for (int i = 0; i < n; ++i) {
        pos = text.find(',', pos);
        if (pos == std::string::npos) return pos;
        ++pos;
    }
    return pos;
}

// The file a store replaces, kept under a second name until the database
// names the new one for good, and put back when the commit fails or throws:
// a failed store never loses the page the database still describes.
class KeptUntilCommit {
  public:
    static constexpr const char* kAside = ".old";
    explicit KeptUntilCommit(std::string path) : path_(std::move(path)), aside_(path_ + kAside) {}
    KeptUntilCommit(const KeptUntilCommit&) = delete;
    KeptUntilCommit& operator=(const KeptUntilCommit&) = delete;
    ~KeptUntilCommit() { PutBack(); }
    // A link keeps readers of path from ever finding it missing; where the
    // file system has none, the file is moved aside. False, with why, when
    // it can be kept neither way.
    bool Keep(std::string& why) {
        // Left by a store killed after its commit; one killed before it
        // was undone when its record was found (ClaimStore).
        ::unlink(aside_.c_str());
        if (::link(path_.c_str(), aside_.c_str()) == 0 ||
            (errno != ENOENT && ::rename(path_.c_str(), aside_.c_str()) == 0)) {
            kept_ = true;
        } else if (errno != ENOENT) {
            why = ErrnoReason(errno);
            return false;
        }
        return true;
    }
    bool Kept() const { return kept_; }
    // Call once the new file is at path.
    void Placed() { placed_ = true; }
    void Committed() {
        if (kept_) ::unlink(aside_.c_str());
        kept_ = placed_ = false;
    }
    // The old file back at path, or none where there was none.
    void PutBack() {
        if (kept_) {
            ::rename(aside_.c_str(), path_.c_str());
        } else if (placed_) {
            ::unlink(path_.c_str());
        }
        kept_ = placed_ = false;
    }

  private:
    std::string path_, aside_;
    bool kept_ = false, placed_ = false;
};

// A store cut off before its commit undone: the file it set aside back at
// path, or, where it replaced none, its own file gone. Undone twice, it
// finds nothing more to do.
void UndoStore(const std::string& path, bool kept) {
    if (kept) {
        ::rename((path + KeptUntilCommit::kAside).c_str(), path.c_str());
    } else {
        ::unlink(path.c_str());
    }
}

// The record of a store under way, dropped when the store fails: left, it
// would keep this live process's later stores of the page out.
class StoreRecord {
  public:
    StoreRecord(SystemDb& db, std::string path) : db_(db), path_(std::move(path)) {}
    StoreRecord(const StoreRecord&) = delete;
    StoreRecord& operator=(const StoreRecord&) = delete;
    ~StoreRecord() {
        if (!made_) return;
        try {
            Statement drop(db_, "DELETE FROM image_stores WHERE path = ?");
            drop.Bind(1, path_).Run();
        } catch (const std::exception&) {
            // Left to the next opening after this process ends.
        }
    }
    void Made() { made_ = true; }
    // Dropped by the commit that named the file.
    void Ended() { made_ = false; }

  private:
    SystemDb& db_;
    std::string path_;
    bool made_ = false;
};

}  // namespace

bool CommandEngine::ResolveName(const std::string& name, std::string& fullPath) {
    if (name.empty()) return false;
    std::string relative = name;
    for (char& c : relative)
        if (c == '\\') c = '/';
    if (relative[0] == '/') {
        // A full path (the local-access library hands those out) must lie
        // inside the system directory.
        std::string root = RealDir(systemDir_);
        std::string dir = systemDir_ + "/";
        if (relative.rfind(dir, 0) == 0) {
            relative = relative.substr(dir.size());
        } else if (!root.empty() && relative.rfind(root + "/", 0) == 0) {
            relative = relative.substr(root.size() + 1);
        } else {
            return false;
        }
    } else if (relative.find('/') == std::string::npos) {
        relative = "tmp/" + relative;
    }
    std::string clean;
    if (!ConfinePath(systemDir_, relative, clean)) return false;
    std::string inside = clean.substr(systemDir_.size() + 1);
    // The folder counts where the path leads: a link in images/ to the
    // database is no image.
    std::string resolved = ResolvedInside(systemDir_, clean);
    if (!Readable(inside) || !Readable(resolved) ||
        inside.substr(0, inside.find('/')) != resolved.substr(0, resolved.find('/')))
        return false;
    fullPath = clean;
    return true;
}

std::string CommandEngine::ReplyName(const ConnectionState& state, const std::string& relative) {
    return state.local ? systemDir_ + "/" + relative : relative;
}

// "TALQResolveFile," key "," name. "@" alone is the page's original file;
// "@" followed by a name is that file among the originals.
std::string CommandEngine::ResolveFile(const ConnectionState& state, const CommandText& command) {
    std::string name = command.Rest(2);
    if (name.empty() || name[0] != '@') return "NONE";
    std::string relative;
    if (name.size() == 1) {
        ProjectAccess access;
        if (!ConnectionProject(state, access).empty()) return "NONE";
        std::int64_t seq = PageSeq(access, command.Field(1));
        if (seq == 0 || !MaySeeOriginal(access, seq)) return "NONE";
        Statement p(db_, "SELECT original_file FROM pages WHERE project_id = ? AND seq = ?");
        p.Bind(1, access.id).Bind(2, seq);
        if (!p.Row() || p.Text(0).empty()) return "NONE";
        relative = p.Text(0);
    } else {
        std::string rest = name.substr(1);
        for (char& c : rest)
            if (c == '\\') c = '/';
        relative = rest.rfind("originals/", 0) == 0 ? rest : "originals/" + rest;
    }
    std::string full;
    if (!ResolveName(relative, full) || !IsRegularFile(full)) return "NONE";
    if (!MayReadFile(state.user, full.substr(systemDir_.size() + 1))) return "NONE";
    return ReplyName(state, relative);
}

std::string CommandEngine::DoesFileExist(const ConnectionState& state, const CommandText& command) {
    std::string full;
    return ResolveName(command.Rest(1), full) && IsRegularFile(full) &&
                   MayReadFile(state.user, full.substr(systemDir_.size() + 1))
               ? "1"
               : "0";
}

// "TALQReadFromFile," name "," offset "," length: at most 10000 bytes, and
// "EOF" once the offset reaches the end.
std::string CommandEngine::ReadFromFile(const ConnectionState& state, const CommandText& command) {
    std::string full;
    std::int64_t offset = 0, length = 0, size = 0;
    if (command.Count() < 4 || !ParseCount(command.FromEnd(1), offset) ||
        !ParseCount(command.FromEnd(0), length) || length < 1) {
        return "ERROR: Invalid Read Request";
    }
    if (!ResolveName(command.Middle(1, 2), full) || !IsRegularFile(full, &size) ||
        !MayReadFile(state.user, full.substr(systemDir_.size() + 1)))
        return "ERROR: File Not Found";
    if (offset >= size) return "EOF";
    if (length > kMaxPiece) length = kMaxPiece;
    if (length > size - offset) length = size - offset;
    std::ifstream in(full, std::ios::binary);
    in.seekg(offset);
    std::string piece(static_cast<std::size_t>(length), '\0');
    errno = 0;
    in.read(piece.data(), length);
    const int readError = errno;
    piece.resize(static_cast<std::size_t>(in.gcount()));
    if (piece.empty())
        return Failed("ERROR: Read Failed", readError != 0 ? ErrnoReason(readError) : "");
    return piece;
}

// Only the server's temporary files can be deleted, each by its owner.
std::string CommandEngine::DeleteFile(const ConnectionState& state, const CommandText& command) {
    std::string full;
    std::string name = command.Rest(1);
    if (!ResolveName(name, full)) return "ERROR: Invalid File Name";
    if (full.rfind(systemDir_ + "/tmp/", 0) != 0) return "ERROR: File Cannot Be Deleted";
    if (!MayReadFile(state.user, full.substr(systemDir_.size() + 1)))
        return "ERROR: File Cannot Be Deleted";
    ::unlink(full.c_str());
    Statement s(db_, "DELETE FROM server_files WHERE name = ?");
    s.Bind(1, full.substr(systemDir_.size() + 5)).Run();
    return "OK";
}

std::string CommandEngine::IssueTempName(const std::string& user, const std::string& purpose,
                                         const std::string& prefix, const std::string& suffix) {
    ::mkdir((systemDir_ + "/tmp").c_str(), 0755);
    // The folder itself may not lead elsewhere.
    if (ResolvedInside(systemDir_, systemDir_ + "/tmp") != "tmp") return "";
    for (int attempt = 0; attempt < 1000; ++attempt) {
        std::int64_t number = 0;
        {
            // Ended before the insert (system_db.h).
            Statement n(db_, "SELECT COUNT(*) FROM server_files");
            number = (n.Row() ? n.Int(0) : 0) + 1 + attempt;
        }
        std::string digits = std::to_string(number % 1000000);
        digits.insert(0, 6 - digits.size(), '0');
        std::string name = prefix + digits + suffix;
        Statement add(db_,
                      "INSERT OR IGNORE INTO server_files (name, user_id, purpose, created) "
                      "VALUES (?, ?, ?, ?)");
        if (!add.Bind(1, name).Bind(2, user).Bind(3, purpose).Bind(4, NowText()).Run())
            throw DatabaseError(add.Error());
        if (sqlite3_changes(db_.Handle()) > 0 && !IsRegularFile(systemDir_ + "/tmp/" + name))
            return name;
    }
    return "";
}

// "TALQStoreImageFile," P "," key "," type "," level "," value "," length
// "," bytes: the page's image (or, for type 7, its original) is replaced.
std::string CommandEngine::StoreImageFile(const CommandText& command) {
    ProjectAccess access;
    if (std::string error = OpenProject(command, access); !error.empty()) return error;
    const std::string& text = command.text;
    std::size_t data = AfterComma(text, 9);
    std::int64_t type = 0, level = 0, length = 0;
    if (data == std::string::npos || !ParseCount(command.Field(5), type) ||
        !ParseCount(command.Field(6), level) || !ParseCount(command.Field(8), length) ||
        static_cast<std::int64_t>(text.size() - data) < length || length < 1) {
        return "ERROR: Invalid Image Data";
    }
    std::int64_t seq = PageSeq(access, command.Field(4));
    if (seq == 0) return "ERROR: Invalid Image Key";
    std::string bytes = text.substr(data, static_cast<std::size_t>(length));
    std::string ext = ".tif";
    if (bytes.rfind("\xff\xd8", 0) == 0) ext = ".jpg";
    if (bytes.rfind("\x89PNG", 0) == 0) ext = ".png";
    if (bytes.rfind("BM", 0) == 0) ext = ".bmp";
    if (bytes.rfind("GIF8", 0) == 0) ext = ".gif";
    if (bytes.rfind("%PDF", 0) == 0) ext = ".pdf";
    bool original = type == 7 || ext == ".pdf";
    std::string folder = original ? "originals" : "images";
    std::string relative =
        folder + "/upload_" + std::to_string(access.id) + "_" + std::to_string(seq) + ext;
    ::mkdir((systemDir_ + "/" + folder).c_str(), 0755);
    std::string full;
    if (!ConfinePath(systemDir_, relative, full) || !LeadsWhereNamed(systemDir_, full) ||
        !LeadsWhereNamed(systemDir_, full + ".part") ||
        !LeadsWhereNamed(systemDir_, full + KeptUntilCommit::kAside))
        return "ERROR: Invalid File Name";
    std::string partial = full + ".part";
    {
        errno = 0;
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        // A full disk shows when the buffer is written out.
        out.close();
        const bool written = static_cast<bool>(out) && SyncFile(partial);
        const int writeError = errno;
        if (!written) {
            ::unlink(partial.c_str());
            return Failed("ERROR: Unable to Store Image",
                          writeError != 0 ? ErrnoReason(writeError) : "");
        }
    }
    std::string replaced;
    if (!original) {
        Statement old(db_, "SELECT image_file FROM pages WHERE project_id = ? AND seq = ?");
        old.Bind(1, access.id).Bind(2, seq);
        if (old.Row() && !old.Text(0).empty()) ConfinePath(systemDir_, old.Text(0), replaced);
    }
    // The store is on record before its file takes the page's name, and
    // off it in the commit that names the file: a record left behind is a
    // store cut off before its commit, which opening the system undoes.
    // Destroyed in reverse: the transaction rolled back, the old file put
    // back, then the record dropped.
    StoreRecord record(db_, relative);
    KeptUntilCommit kept(full);
    {
        std::string why;
        Transaction pending(db_);
        bool ok = ClaimStore(relative, full, why) && kept.Keep(why);
        if (ok) {
            Statement add(db_,
                          "INSERT INTO image_stores (path, kept, owner, started) "
                          "VALUES (?, ?, ?, ?)");
            ok = add.Bind(1, relative)
                     .Bind(2, std::int64_t{kept.Kept() ? 1 : 0})
                     .Bind(3, ProcessIdentity())
                     .Bind(4, NowText())
                     .Run();
            why = WhyFailed(add);
        }
        if (ok && !pending.Commit()) {
            ok = false;
            why = pending.Error();
        }
        if (!ok) {
            ::unlink(partial.c_str());
            return Failed("ERROR: Unable to Store Image", why);
        }
    }
    record.Made();
    std::string why;
    bool committed = false;
    {
        Transaction transaction(db_);
        Statement u(db_, original
                             ? "UPDATE pages SET original_file = ? WHERE project_id = ? AND seq = ?"
                             : "UPDATE pages SET image_file = ? WHERE project_id = ? AND seq = ?");
        bool ok = u.Bind(1, relative).Bind(2, access.id).Bind(3, seq).Run();
        why = WhyFailed(u);
        if (ok && level > 0) {
            Statement known(db_,
                            "SELECT 1 FROM boundary_levels WHERE project_id = ? AND level = ?");
            known.Bind(1, access.id).Bind(2, level);
            if (known.Row()) {
                Statement l(db_,
                            "UPDATE pages SET bndry_level = ? WHERE project_id = ? AND seq = ?");
                ok = l.Bind(1, level).Bind(2, access.id).Bind(3, seq).Run();
                why = WhyFailed(l);
            }
        }
        if (ok) {
            Statement done(db_, "DELETE FROM image_stores WHERE path = ?");
            ok = done.Bind(1, relative).Run();
            why = WhyFailed(done);
        }
        // The file takes its place only once the database names it, within
        // the same transaction, and the old one stays until the commit, so a
        // failure on either side leaves the old page.
        if (ok && ::rename(partial.c_str(), full.c_str()) != 0) {
            ok = false;
            why = ErrnoReason(errno);
        }
        if (!ok) {
            ::unlink(partial.c_str());
            return Failed("ERROR: Unable to Store Image", why);
        }
        kept.Placed();
        committed = transaction.Commit();
        if (!committed) why = transaction.Error();
    }
    if (committed) {
        record.Ended();
        kept.Committed();
    } else {
        kept.PutBack();
    }
    // What was prepared from the image replaced, under either name, is
    // stale; so is what a reader prepared from the new one before a failure.
    if (!original) {
        DropReduced(full);
        if (!replaced.empty() && committed) DropReduced(replaced);
    }
    return committed ? "OK" : Failed("ERROR: Unable to Store Image", why);
}

// A record of a store whose owner is gone is undone here, before this store
// sets the file aside again; one whose owner lives keeps this store out.
bool CommandEngine::ClaimStore(const std::string& relative, const std::string& full,
                               std::string& why) {
    HolderRecord holder;
    bool found = false, keptOld = false;
    {
        Statement row(db_, "SELECT owner, started, kept FROM image_stores WHERE path = ?");
        row.Bind(1, relative);
        if (row.Row()) {
            found = true;
            holder = {row.Text(0), 0, row.Text(1), 0};
            keptOld = row.Int(2) != 0;
        } else if (row.Failed()) {
            why = row.Error();
            return false;
        }
    }
    if (!found) return true;
    if (!HolderGone(holder, std::time(nullptr))) {
        why = "another store of the page is under way";
        return false;
    }
    UndoStore(full, keptOld);
    Statement done(db_, "DELETE FROM image_stores WHERE path = ?");
    if (done.Bind(1, relative).Run()) return true;
    why = WhyFailed(done);
    return false;
}

void CommandEngine::RecoverStores() {
    Transaction transaction(db_);
    const std::int64_t now = std::time(nullptr);
    std::vector<std::pair<std::string, bool>> cutOff;  // path, kept
    {
        Statement rows(db_, "SELECT path, kept, owner, started FROM image_stores");
        while (rows.Step())
            if (HolderGone({rows.Text(2), 0, rows.Text(3), 0}, now))
                cutOff.emplace_back(rows.Text(0), rows.Int(1) != 0);
    }
    Statement done(db_, "DELETE FROM image_stores WHERE path = ?");
    std::vector<std::string> undone;
    for (const auto& [relative, keptOld] : cutOff) {
        // Only a file a store could have written is touched.
        std::string full;
        if (ConfinePath(systemDir_, relative, full) && LeadsWhereNamed(systemDir_, full) &&
            LeadsWhereNamed(systemDir_, full + KeptUntilCommit::kAside)) {
            UndoStore(full, keptOld);
            undone.push_back(full);
        }
        done.Reset().Bind(1, relative).Run();
    }
    // Undoing again, after a commit that failed, finds the same files.
    transaction.Commit();
    // A reader may have prepared the file never committed.
    if (reduced_)
        for (const std::string& full : undone) DropReduced(full);
}

// "TALQImportLine," P ",FT," key "," first "," second "," line: the line
// becomes the page's full text.
std::string CommandEngine::ImportLine(const CommandText& command) {
    ProjectAccess access;
    if (std::string error = OpenProject(command, access); !error.empty()) return error;
    if (command.Field(4) != "FT") return "ERROR: Invalid Import Type";
    std::int64_t seq = PageSeq(access, command.Field(5));
    if (seq == 0) return "ERROR: Invalid Image Key";
    std::size_t start = AfterComma(command.text, 8);
    if (start == std::string::npos) return "ERROR: Invalid Import Line";
    std::string line = command.text.substr(start);
    // The request frame's one closing NUL is not text.
    if (!line.empty() && line.back() == '\0') line.pop_back();
    Statement u(db_, "UPDATE pages SET ocr_text = ? WHERE project_id = ? AND seq = ?");
    return u.Bind(1, line).Bind(2, access.id).Bind(3, seq).Run()
               ? "OK"
               : Failed("ERROR: Update Failed", u.Error());
}

}  // namespace docserver
