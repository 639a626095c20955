#pragma once
// Executes one command text for one connection and returns the reply bytes.
// The same engine answers the TCP server and the local-access library.

#include <cstdint>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/wire_separators.h"
#include "server/request_frame.h"
#include "system_db.h"

namespace docserver {
namespace imaging {
class ReducedCache;
}

class ConceptJob;
class LoginThrottle;
struct CommandRule;
class QueryCommands;
struct QueryCache;
struct QuerySortJob;

// What a login proved: digests of the user's stored password, and of it
// with the password sent (passwords.h).
struct LoginProof {
    std::string stored;
    std::string pair;
};

// What the server remembers of one connection between its commands.
struct ConnectionState {
    std::string user;   // user of the last successful login; "" = none
    LoginProof proved;  // what that login proved
    // The user's password changed since, or the user was disabled or
    // removed: nothing more is answered, and the transport ends the
    // connection as soon as it sees this.
    bool ended = false;
    bool disabled = false;  // ended as its user was disabled
    bool removed = false;   // ended as its user was removed
    // The user whose password the command just run changed, for the
    // transport to end that user's other connections at once; "" = none.
    std::string passwordChanged;
    // What the command just run failed to do inside the server, and why,
    // for the transport's error output; "" = nothing failed.
    std::string failure;
    std::int64_t projectId = 0;
    std::string projectName;  // the current project; "" = none
    std::string session;      // names the connection in page locks and batch jobs
    // The pages it locked (project, seq), and when a local-access session
    // last showed in their rows that it lives (seconds since the epoch).
    std::set<std::pair<std::int64_t, std::int64_t>> lockedPages;
    std::int64_t lifeShown = 0;
    std::string address;      // the peer's address; failed logins are counted by it
    bool local = false;       // the local-access library: file names are full paths
    std::shared_ptr<ConceptJob> conceptSearch;     // the connection's concept search
    std::shared_ptr<QuerySortJob> sortJob;         // the connection's sort by date
    std::shared_ptr<const QueryCache> queryCache;  // the query rows it last built
};

// A command split at its commas: fields[0] is the verb ("TALQGetVersion").
struct CommandText {
    // At most maxFields fields: the last one then holds the rest, commas included.
    explicit CommandText(const std::string& text, std::size_t maxFields = SIZE_MAX);
    const std::string& Field(std::size_t index) const;  // "" past the end
    // Everything after the first index commas (free text holding commas).
    std::string Rest(std::size_t index) const;
    std::size_t Count() const { return fields.size(); }
    // The text between the first `from` commas and the last `fromEnd` ones:
    // a free field followed by fixed fields, which are read from the end.
    std::string Middle(std::size_t from, std::size_t fromEnd) const;
    // Field counted from the end: 0 is the last.
    const std::string& FromEnd(std::size_t index) const;

    std::string text;
    std::vector<std::string> fields;
};

// The project a command names, checked against the user's rights, and the
// part of its pages (by seq) the user may reach.
struct ProjectAccess {
    std::int64_t id = 0;
    std::string user;
    std::int64_t firstSeq = 1;
    std::int64_t lastSeq = 0;
    std::int64_t security = 0;     // the user's project security bits
    std::int64_t restriction = 0;  // the project's restriction bits
};

// Where a key stands among a project's pages.
struct KeyPosition {
    std::int64_t seq = 0;  // the page's seq, or that of the first key above it
    bool exact = false;
    std::string key;  // the stored key when exact
};

class CommandEngine {
  public:
    // Opens the system directory's database; nullptr with error set when the
    // directory is not a system directory. checkWhole reads the whole file
    // first and refuses a damaged one: a server does at its start, not every
    // viewer that opens a shared folder's system (each read there crosses
    // the network and holds off other machines' writes).
    static std::unique_ptr<CommandEngine> Open(const std::string& systemDir, std::string& error,
                                               bool checkWhole = false);
    ~CommandEngine();

    // Never an empty reply: failures begin with "ERROR".
    std::string Execute(ConnectionState& state, const std::string& command);
    struct Running {
        const CommandRule* rule = nullptr;
        const ConnectionState* state = nullptr;
    };

    // The connection ended: its locks go, and the temporary files it made or
    // last used go an hour later, unless a connection of the user takes them
    // up meanwhile (a viewer reconnecting after a time-out pages its list
    // on) or its peer may come back for them (a connection closed for
    // idling, a local session ended under a viewer that opens its handle
    // again): those stay until its process is gone.
    void EndConnection(ConnectionState& state, bool peerMayReturn = false);
    // A server shows in the rows of every lock and open batch job its
    // connections hold that it lives, idle connections' too: once it stops,
    // as a crash stops it, a process that cannot see its pid sees them go
    // within the bound.
    void ShowProcessLives();

    // Servers with several engines share one count of failed logins.
    void ShareLoginThrottle(std::shared_ptr<LoginThrottle> throttle);
    LoginThrottle& Throttle() { return *throttle_; }
    std::shared_ptr<LoginThrottle> SharedThrottle() const { return throttle_; }

    const std::string& SystemDir() const { return systemDir_; }
    // What the open's check of the whole file could not do (cut at its
    // time, a read the disk failed), for the error output; "" when none.
    const std::string& StartNote() const { return startNote_; }
    SystemDb& Db() { return db_; }
    // A server's connections whose peers went without a close are closed
    // within this time; its refusal of a page lock says so to the user of
    // the holding connection, who may be that peer come back. 0: connections
    // are not closed so (the library).
    void SetDeadPeerSeconds(int seconds) { deadPeerSeconds_ = seconds; }

  private:
    friend class QueryCommands;  // the query lists share the project checks
    CommandEngine();
    std::string Dispatch(ConnectionState& state, const CommandText& command);
    // "" when the connection may run the command under its rule, else the
    // refusal (engine_admission.cpp).
    std::string Admit(const ConnectionState& state, const CommandRule& rule,
                      const CommandText& command);
    // The rule and connection of the command running, for the checks its
    // handler makes deep down. An engine runs one command at a time.
    const CommandRule* CurrentRule() const { return running_.rule; }
    const ConnectionState* CurrentConnection() const { return running_.state; }
    // Rights of the user in the project; the current rule's refusal or "".
    std::string Authorize(ProjectAccess& access);
    // The reply for a write or read the server could not carry out: the
    // reply's own text first, then why; kept for the transport's error
    // output.
    std::string Failed(const std::string& reply, const std::string& why);
    // A page image that cannot be read (the error output names the file
    // and why), a text that cannot be drawn.
    std::string Unread(const std::string& path);
    std::string Unrendered();
    // Opening: hashes plain passwords, clears what dead owners left behind.
    void Recover();
    void RecoverHeld();
    // Undoes the page image stores cut off before their commit, clears
    // what those cut off after it left; false when that was not committed.
    bool RecoverStores();
    // The store records this process could not drop, dropped before its
    // next command, waiting briefly: they keep other processes out.
    void DropLeftStores();

    // Helpers of the command families.
    // The system setting, or fallback when it has none; throws when it
    // cannot be read.
    std::string Setting(const std::string& name, const std::string& fallback);
    // "" when the password is the user's; else the refusal, which holds
    // back users with too many recent failures unchecked. Only the password
    // the connection proved as the user skips that; proved, when given, is
    // filled on success, and checked with the stored value the password
    // was found to match.
    std::string LoginRefusal(const std::string& user, const std::string& password,
                             LoginProof* proved = nullptr, std::string* checked = nullptr);
    // The user's stored password and whether the user is disabled; none for
    // no such user. The statement ends before it returns, so no snapshot
    // is held across a hash. Throws when the row cannot be read.
    struct UserPassword {
        std::string stored;
        bool disabled = false;
    };
    std::optional<UserPassword> ReadUserPassword(const std::string& user);
    // Whether the password the connection's login proved is still the
    // user's, and the user neither disabled nor removed since; when not,
    // marks the session ended, and why. Throws when the row cannot be read:
    // a failed read is no changed password.
    bool LoginStands(ConnectionState& state);
    // Password changes under the server's policy (commands_login.cpp).
    std::string ChangePassword(ConnectionState& state, const CommandText& command);
    // The addresses users logged in from, kept with them in the system so
    // that the hold on a guessed user still spares them after a restart.
    void KeepLoginAddress(const std::string& user, const std::string& address);
    void LoadLoginAddresses();

    // System, login and project commands (commands_session.cpp).
    std::string GetSystemFlags(const CommandText& command);
    std::string GetExtSystemFlags(const CommandText& command);
    std::string GetVersion(const CommandText& command);
    std::string RequiredLogin(ConnectionState& state, const CommandText& command);
    std::string GetProjectInfo(ConnectionState& state, const CommandText& command);
    std::string CloseProject(ConnectionState& state, const CommandText& command);
    std::string GetProjectList(const CommandText& command);

    // "" when the command's user, password and project (fields 1 to 3) open
    // the project; else the error reply.
    std::string OpenProject(const CommandText& command, ProjectAccess& access);
    // The same for commands that carry no user: the connection's project.
    std::string ConnectionProject(const ConnectionState& state, ProjectAccess& access);
    // The connection was refused the named project (no rights there, or a
    // key range that reaches nothing): its locks there go at the end of the
    // command (DropRefusedLocks), for it can no longer give them back
    // through the project's checks nor use them.
    void NoteRefused(const std::string& projectName);
    void DropRefusedLocks(ConnectionState& state);
    // Narrows the access to the user's key range; the error reply when a
    // bound is no key of the project, which reaches nothing rather than
    // whatever a mistyped bound compares beyond.
    std::string LimitRange(ProjectAccess& access, const std::string& firstKey,
                           const std::string& lastKey);
    KeyPosition Locate(const ProjectAccess& access, const std::string& key);
    // The seq of the page with exactly this key inside the user's range; 0 when none.
    std::int64_t PageSeq(const ProjectAccess& access, const std::string& key);
    // The reply when PageSeq found no page for the key: a page in range was
    // refused because it may not be changed.
    std::string MissingPage(const ProjectAccess& access, const std::string& key);
    // "ERROR: Page Locked by <user>" while another connection holds the
    // page's lock, the same user's included, else empty: what a locked page
    // shows others is read-only.
    // holderOwner, when given, gets the ProcessIdentity of the holder.
    std::string HeldByAnother(const ProjectAccess& access, std::int64_t seq,
                              std::string* holderOwner = nullptr);
    // A local-access session shows in the rows of its locks, and of its
    // process's open batch jobs, that it lives; one that finds a lock of its
    // own gone (taken from it while it kept still too long) ends, as a
    // connection closed for idling does.
    void ShowLife(ConnectionState& state);

    // Key navigation (commands_navigation.cpp).
    std::string FindKey(const CommandText& command);
    std::string StepKey(const CommandText& command, bool forward);
    enum class ScrollWindow { Around, After, Before };
    std::string GetScroll(const CommandText& command, ScrollWindow window);
    std::string GetBoundaryInfo(const CommandText& command);
    // First seq of the unit of level holding seq (level 0: the page itself).
    std::int64_t UnitStart(const ProjectAccess& access, std::int64_t seq, std::int64_t level);
    // Last seq of the unit of level starting at or before seq.
    std::int64_t UnitEnd(const ProjectAccess& access, std::int64_t seq, std::int64_t level);

    // Page information, words, locks, dates, descriptions (commands_pages.cpp).
    std::string GetPageInfo(const CommandText& command);
    std::string PutPageInfo(const CommandText& command);
    std::string GetWordList(const CommandText& command);
    std::string GetPageWBuf(const ConnectionState& state, const CommandText& command);
    std::string GetPageOcr(const ConnectionState& state, const CommandText& command);
    // The page's OCR text as the user may read it.
    std::string PageText(const ProjectAccess& access, std::int64_t seq);
    std::string SetPageLock(ConnectionState& state, const CommandText& command);
    std::string RemovePageLock(ConnectionState& state, const CommandText& command);
    std::string GetPageDate(const CommandText& command);
    std::string PutPageDate(const CommandText& command);
    std::string GetFolderDescription(const CommandText& command);
    std::string PutFolderDescription(const CommandText& command);

    // Page images (commands_images.cpp).
    std::string SendClientImage(const CommandText& command);
    std::string SendTextImage(const ConnectionState& state, const CommandText& command);
    std::string SendStellantImage(const ConnectionState& state, const CommandText& command);
    // The user may see a page whose original is this file (relative name).
    bool MayShowOriginal(const ConnectionState& state, const std::string& relative);
    // The reply for a quality of the stored image at path, with the boxes
    // of the redaction list burned in ("" for none).
    std::string PreparedImage(const std::string& path, int quality, const std::string& redactions);
    // The cache entry of such a reply; "" when the file cannot be found.
    std::string ReducedName(const std::string& path, int quality, const std::string& redactions);
    // The cache entries of the stored image at path go.
    void DropReduced(const std::string& path);
    // Size and resolution of a stored page image; zeros when it cannot be read.
    void StoredImageSize(const std::string& file, int& width, int& height, int& dpiX, int& dpiY);

    // Tags, annotation lists and page restriction (commands_tags.cpp).
    std::string GetTagPool(const CommandText& command);
    std::string GetTagPalette(const CommandText& command);
    std::string GetImageTags(const CommandText& command);
    std::string SwitchTag(const CommandText& command, bool on);
    std::string IsDocTagged(const CommandText& command);
    std::string AddTag(const CommandText& command);
    std::string UpdateTag(const CommandText& command);
    std::string DeleteTag(const CommandText& command);
    std::string PutPalette(const CommandText& command);
    std::string IsPageRestricted(const CommandText& command);
    std::string GetAnnotations(const CommandText& command);
    // Clips are made only in local access: a clip list over TCP is refused.
    static std::string RefuseRemoteClipList(const ConnectionState& state,
                                            const CommandText& command);
    std::string PutAnnotations(const CommandText& command);
    // The user's project security bits in the project.
    std::int64_t ProjectSecurity(const ProjectAccess& access);

    // Server files and uploads (commands_files.cpp). A name is relative to
    // the system directory, a bare name lies in tmp/, and a full path must
    // lie inside the directory.
    bool ResolveName(const std::string& name, std::string& fullPath);
    // The name a reply gives the connection for a path inside the directory.
    std::string ReplyName(const ConnectionState& state, const std::string& relative);
    std::string ResolveFile(const ConnectionState& state, const CommandText& command);
    std::string DoesFileExist(const ConnectionState& state, const CommandText& command);
    std::string ReadFromFile(const ConnectionState& state, const CommandText& command);
    std::string DeleteFile(const ConnectionState& state, const CommandText& command);
    std::string StoreImageFile(const CommandText& command);
    std::string ImportLine(const CommandText& command);
    // A fresh name in tmp/ registered for the user: prefix, number, suffix.
    std::string IssueTempName(const std::string& user, const std::string& purpose,
                              const std::string& prefix, const std::string& suffix);

    // Who may read which file (file_access.cpp). A temporary file is its
    // owner's; a page image is read by those who may see one of the pages
    // that use it, an original by those who may see all of them.
    // A connection of the owner asking takes the file up: it then stays
    // while that connection lives (temp_files.cpp).
    std::string TempFileOwner(const std::string& name);
    // The temporary files registered to a connection that ended; those of
    // processes proven gone (a crash), at open; and their files.
    void DropConnectionFiles(const std::string& session);
    void RecoverTempFiles();
    // Rows of connections that ended longer ago than a viewer comes back in,
    // deleted; inside the caller's transaction.
    std::vector<std::pair<std::string, std::string>> TakeExpiredRows();
    void ClearTempFiles(const std::vector<std::pair<std::string, std::string>>& rows);
    bool MayReadFile(const std::string& user, const std::string& relative);
    bool MayReadOriginal(const std::string& user, const std::string& relative);
    // Projects an original no page names belongs to.
    std::vector<std::int64_t> OwnersOfUnnamedOriginal(const std::string& relative);
    // Whether the user sees the page's original: a page in range, not
    // restricted, and showing no redactions the user may not see through.
    bool MaySeeOriginal(const ProjectAccess& access, std::int64_t seq);
    bool HasRedactions(std::int64_t projectId, std::int64_t seq);
    // The page's redaction list as stored; "" when it has none.
    std::string RedactionList(std::int64_t projectId, std::int64_t seq);
    // The redaction lists the user may not see through of every page
    // showing the stored image file (relative name), in a stable order and
    // joined as one list; "" when there are none. seenThrough names a
    // project whose redactions the user is known to see through.
    std::string HiddenRedactions(const std::string& user, const std::string& file,
                                 std::optional<std::int64_t> seenThrough);
    // The same for the page, whose stored image is file ("" for none).
    std::string HiddenRedactions(const ProjectAccess& access, std::int64_t seq,
                                 const std::string& file);
    // The access of the user to a project; false without rights there.
    bool UserAccess(const std::string& user, std::int64_t projectId, ProjectAccess& access);

    // Batch printers and batch files (commands_batch.cpp).
    std::string GetBatchDirs(const CommandText& command);
    std::string ValidateBatchPrinter(const CommandText& command);
    std::string GetNextBatch(const ConnectionState& state, const CommandText& command);
    std::string WriteFile(const ConnectionState& state, const CommandText& command);
    std::string CloseOutBatchFile(const ConnectionState& state, const CommandText& command);
    std::string UpdatePrintLog(const ConnectionState& state, const CommandText& command);

    // Concept search (commands_concept.cpp).
    std::string ConceptStart(ConnectionState& state, const CommandText& command);
    std::string ConceptQuery(ConnectionState& state);

    std::string systemDir_;
    std::string startNote_;
    SystemDb db_;
    std::unique_ptr<imaging::ReducedCache> reduced_;  // cache/
    std::shared_ptr<QueryCommands> queries_;          // query lists and searches
    std::shared_ptr<LoginThrottle> throttle_;
    Running running_;
    std::string failure_;              // of the command running (Failed)
    std::int64_t refusedProject_ = 0;  // the project the command running was refused
    int deadPeerSeconds_ = 0;
};

// The name of a connection in page locks and batch jobs, apart from every
// other process's; the rows' owner (lock_holders.h) tells whether it lives.
std::string SessionName(const std::string& connection);
std::string HostName();
// A folder description as a scroll entry's text.
std::string ScrollEntryText(std::string text);

// Names compare as the client compares them: only 'a' to 'z' folded.
bool SameText(const std::string& a, const std::string& b);
// -1, 0 or 1 in the same folding; a proper prefix is smaller.
int CompareText(const std::string& a, const std::string& b);

using wire::kFieldSep;
using wire::kListSep;
using wire::kRecordSep;
using wire::kSectionSep;
inline constexpr const char* kServerVersion = "8.6.0";
// The longest command that carries no upload bytes.
inline constexpr std::size_t kMaxCommandText = 4u << 20;
// The longest user id and password the system takes: what a login can carry.
inline constexpr std::size_t kMaxUserIdLength = RequestFrame::kMaxUserIdLength;
inline constexpr std::size_t kMaxPasswordLength = RequestFrame::kMaxPasswordLength;

}  // namespace docserver
