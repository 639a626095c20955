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
#include "image_stores.h"
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

// Written with a name of its own, through to the disk, so an acknowledged
// upload survives a crash; false, with why, when it is not all there.
bool WritePart(const std::string& path, const std::string& bytes, std::string& why) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0) {
        why = ErrnoReason(errno);
        return false;
    }
    std::size_t done = 0;
    errno = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        done += static_cast<std::size_t>(n);
    }
    const bool ok = done == bytes.size() && ::fsync(fd) == 0;
    if (!ok) why = ErrnoReason(errno != 0 ? errno : EIO);
    ::close(fd);
    return ok;
}

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
    if (!ConfinePath(systemDir_, relative, full) || !LeadsWhereNamed(systemDir_, full))
        return "ERROR: Invalid File Name";
    // Claimed before anything is written, and written under names of its
    // own: a store refused touches no file.
    std::string why;
    StoreClaim claim(db_, systemDir_, relative, full);
    {
        std::vector<std::string> undone;
        const bool claimed = claim.Claim(why, undone);
        for (const std::string& path : undone) DropReduced(path);
        if (!claimed) return Failed("ERROR: Unable to Store Image", why);
    }
    if (!WritePart(claim.Files().part, bytes, why) || !claim.Written(why)) {
        claim.Abandon();
        return Failed("ERROR: Unable to Store Image", why);
    }
    std::string replaced;
    bool committed = false;
    {
        // The file takes its place only once the database names it, within
        // the same transaction, and the old one stays until the commit, so a
        // failure on either side leaves the old page.
        LockWaitLimit wait(claim.WaitLeftMs());
        Transaction transaction(db_);
        bool ok = claim.InTime(why) && claim.MarkCommitted(why);
        if (ok && !original) {
            Statement old(db_, "SELECT image_file FROM pages WHERE project_id = ? AND seq = ?");
            old.Bind(1, access.id).Bind(2, seq);
            if (old.Row() && !old.Text(0).empty()) ConfinePath(systemDir_, old.Text(0), replaced);
        }
        if (ok) {
            Statement u(db_, original ? "UPDATE pages SET original_file = ? "
                                        "WHERE project_id = ? AND seq = ?"
                                      : "UPDATE pages SET image_file = ? "
                                        "WHERE project_id = ? AND seq = ?");
            ok = u.Bind(1, relative).Bind(2, access.id).Bind(3, seq).Run();
            why = WhyFailed(u);
        }
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
        if (ok && claim.KeepOld(why)) {
            StoreReached(StoreStep::Kept);
            if (::rename(claim.Files().part.c_str(), full.c_str()) == 0) {
                claim.Placed();
                committed = transaction.Commit();
                if (!committed) why = transaction.Error();
            } else {
                why = ErrnoReason(errno);
            }
        }
    }
    if (committed) {
        StoreReached(StoreStep::Committed);
        claim.Finished();
    } else {
        claim.Abandon();
    }
    // What was prepared from the image replaced, under either name, is
    // stale; so is what a reader prepared from the new one before a failure.
    if (!original) {
        DropReduced(full);
        if (!replaced.empty() && committed) DropReduced(replaced);
    }
    return committed ? "OK" : Failed("ERROR: Unable to Store Image", why);
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
