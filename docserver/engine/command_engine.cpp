#include "command_engine.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <exception>

#include "command_rules.h"
#include "damage_check.h"
#include "engine_text.h"
#include "imaging/reduced_cache.h"
#include "lock_holders.h"
#include "login_throttle.h"
#include "query_commands.h"
#include "read_watch.h"
#include "system_upgrade.h"
#include "transaction.h"

namespace docserver {

CommandText::CommandText(const std::string& command, std::size_t maxFields) : text(command) {
    std::size_t start = 0;
    while (true) {
        std::size_t comma = text.find(',', start);
        if (comma == std::string::npos || fields.size() + 1 >= maxFields) {
            fields.push_back(text.substr(start));
            break;
        }
        fields.push_back(text.substr(start, comma - start));
        start = comma + 1;
    }
}

const std::string& CommandText::Field(std::size_t index) const {
    static const std::string kEmpty;
    return index < fields.size() ? fields[index] : kEmpty;
}

std::string CommandText::Rest(std::size_t index) const {
    std::size_t pos = 0;
    for (std::size_t i = 0; i < index; ++i) {
        pos = text.find(',', pos);
        if (pos == std::string::npos) return "";
        ++pos;
    }
    return text.substr(pos);
}

std::string CommandText::Middle(std::size_t from, std::size_t fromEnd) const {
    std::size_t start = 0;
    for (std::size_t i = 0; i < from; ++i) {
        start = text.find(',', start);
        if (start == std::string::npos) return "";
        ++start;
    }
    std::size_t end = text.size();
    for (std::size_t i = 0; i < fromEnd; ++i) {
        if (end == 0) return "";
        end = text.rfind(',', end - 1);
        if (end == std::string::npos || end < start) return "";
    }
    return text.substr(start, end - start);
}

int CompareText(const std::string& a, const std::string& b) {
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 'a' + 'A');
        if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 'a' + 'A');
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool SameText(const std::string& a, const std::string& b) {
    return CompareText(a, b) == 0;
}

const std::string& CommandText::FromEnd(std::size_t index) const {
    static const std::string kEmpty;
    return index < fields.size() ? fields[fields.size() - 1 - index] : kEmpty;
}

namespace {

// Uploads carry bytes after their last field, NULs included; they are read
// by the length the command states.
bool CarriesBytes(const std::string& command) {
    const std::string writeFile = std::string("TALQWriteFile") + kRecordSep;
    for (const std::string& verb :
         {std::string("TALQStoreImageFile,"), std::string("TALQImportLine,"), writeFile}) {
        if (command.rfind(verb, 0) == 0) return true;
    }
    return false;
}

// Fields an upload's head has before its bytes; the bytes are never split.
constexpr std::size_t kUploadHeadFields = 10;

}  // namespace

namespace {

// The bound of cache/ unless the system's settings name another.
constexpr std::int64_t kReducedCacheBytes = std::int64_t{1} << 30;

}  // namespace

CommandEngine::CommandEngine() = default;
CommandEngine::~CommandEngine() = default;

std::unique_ptr<CommandEngine> CommandEngine::Open(const std::string& systemDir,
                                                   std::string& error, bool checkWhole) {
    std::string dir = systemDir;
    while (dir.size() > 1 && (dir.back() == '/' || dir.back() == '\\')) dir.pop_back();
    struct stat info {};
    if (dir.empty() || ::stat(dir.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        error = "no system directory at " + systemDir;
        return nullptr;
    }
    // SQLite says only that it cannot open a file that is not there.
    if (struct stat db{}; ::stat((dir + "/system.db").c_str(), &db) != 0) {
        error = errno == ENOENT ? "system.db is missing: " + dir + "/system.db"
                                : "cannot reach " + dir + "/system.db: " + ErrnoReason(errno);
        return nullptr;
    }
    std::unique_ptr<CommandEngine> engine(new CommandEngine());
    engine->systemDir_ = dir;
    // A refused open folds no log into the file: it may be another file's.
    struct KeepLogOutUnlessServed {
        SystemDb& db;
        bool served = false;
        ~KeepLogOutUnlessServed() {
            if (!served) db.KeepLogOut();
        }
    } refused{engine->db_};
    const bool logLeft = LogLeftBeside(dir + "/system.db");
    if (!engine->db_.Open(dir + "/system.db", false, error)) return nullptr;
    engine->queries_ = std::make_shared<QueryCommands>(*engine);
    engine->throttle_ = std::make_shared<LoginThrottle>();
    // Why a step failed: damage only where a check of the file finds it.
    const auto failure = [&](const std::string& prefix, const std::string& reason) {
        if (!SystemDb::DamageSuspected()) return prefix + reason;
        const FileCheck check = engine->db_.SettleSuspectedDamage(!logLeft);
        return check.result == FileCheck::Result::kDamaged ? DamagedRefusal(check.finding, logLeft)
                                                           : prefix + MalformedRead(check);
    };
    std::int64_t bound = kReducedCacheBytes;
    try {
        // Refuse a database that is not ours. The probe ends before the
        // upgrade, which may drop tables.
        if (Statement probe(engine->db_, "SELECT COUNT(*) FROM users");
            !probe.Ok() || !probe.Step()) {
            const bool suspected = SystemDb::DamageSuspected();
            error = failure("cannot read system.db: ", probe.Error());
            if (NotADatabase(probe) && engine->db_.Damaged())
                error = kNotADatabase + (": " + probe.Error());
            else if (!suspected && HoldsNoSystem(probe))
                error = "system.db holds no system";
            return nullptr;
        }
        // Before the upgrade, which would write into a damaged file, or fold
        // a log left beside it into it.
        if (std::string damage =
                checkWhole || logLeft
                    ? DamageAtOpen(engine->db_, dir + "/system.db", logLeft, engine->startNote_)
                    : std::string();
            !damage.empty()) {
            error = std::move(damage);
            return nullptr;
        }
        // Texts converted first: recovery hashes the passwords as read.
        if (!UpgradeSystem(engine->db_, error)) {
            error = failure("cannot upgrade system.db: ", error);
            return nullptr;
        }
        if (!ParseCount(engine->Setting("ReducedCacheBytes", ""), bound))
            bound = kReducedCacheBytes;
    } catch (const SystemHeld& e) {
        error = e.what();
        return nullptr;
    } catch (const DatabaseBusy&) {
        error = "system.db is locked by another program";
        return nullptr;
    } catch (const DatabaseError& e) {
        error = failure("cannot read system.db: ", e.what());
        return nullptr;
    }
    // Recovery drops what was prepared from a store it undoes.
    engine->reduced_ = std::make_unique<imaging::ReducedCache>(dir + "/cache", bound);
    try {
        engine->Recover();
    } catch (const DatabaseError& e) {
        error = failure("cannot read system.db: ", e.what());
        return nullptr;
    }
    engine->LoadLoginAddresses();
    // A step recovery let pass may have read the file as malformed.
    if (SystemDb::DamageSuspected()) {
        if (const FileCheck check = engine->db_.SettleSuspectedDamage(!logLeft);
            check.result == FileCheck::Result::kDamaged) {
            error = DamagedRefusal(check.finding, logLeft);
            return nullptr;
        }
    }
    refused.served = true;
    return engine;
}

void CommandEngine::ShareLoginThrottle(std::shared_ptr<LoginThrottle> throttle) {
    if (throttle) throttle_ = std::move(throttle);
}

namespace {

// Sets the running command for the length of a dispatch.
class RunningScope {
  public:
    RunningScope(CommandEngine::Running& running, const CommandRule* rule,
                 const ConnectionState* state)
        : running_(running), saved_(running) {
        running_ = {rule, state};
    }
    ~RunningScope() { running_ = saved_; }
    RunningScope(const RunningScope&) = delete;
    RunningScope& operator=(const RunningScope&) = delete;

  private:
    CommandEngine::Running& running_;
    CommandEngine::Running saved_;
};

}  // namespace

namespace {

// The command's verb, for the error output: never its fields, which carry
// passwords.
std::string VerbOf(const std::string& command) {
    std::size_t end = 0;
    while (end < command.size() && end < 64 &&
           (std::isalnum(static_cast<unsigned char>(command[end])) != 0 || command[end] == '_'))
        ++end;
    return command.substr(0, end);
}

}  // namespace

std::string CommandEngine::Failed(const std::string& reply, const std::string& why) {
    const std::string told = why.empty() ? "no reason given" : why;
    failure_ = (reply.rfind("ERROR: ", 0) == 0 ? reply.substr(7) : reply) + ": " + told;
    const std::string carried = WireReason(why);
    return carried.empty() ? reply : reply + ": " + carried;
}

std::string CommandEngine::Execute(ConnectionState& state, const std::string& command) {
    state.passwordChanged.clear();
    state.failure.clear();
    failure_.clear();
    refusedProject_ = 0;
    std::string reply;
    const std::uint64_t commits = SystemDb::Commits();
    const std::uint64_t readFailures = ReadFailures();
    try {
        // A request's payload ends with one NUL; anything after it is not command.
        const bool upload = CarriesBytes(command);
        std::string text = upload ? command : command.substr(0, command.find('\0'));
        if (text.empty()) return "ERROR: Invalid Command";
        // Checked before splitting: a huge text of commas would become
        // millions of fields.
        if (!upload && text.size() > kMaxCommandText) return "ERROR: Command Too Long";
        // What another file would answer is no answer, and a save stored in
        // a file gone is lost: checked before and once more before the
        // reply (below). What a damaged file still answers may be wrong:
        // told, not served.
        if (db_.Damaged()) throw DatabaseError(kSystemDamaged);
        if (const std::string why = db_.Displaced(); !why.empty())
            reply = "ERROR: Database Error " + why;
        else
            reply = Dispatch(state, CommandText(text, upload ? kUploadHeadFields : SIZE_MAX));
    } catch (const SystemHeld& e) {
        reply = std::string("ERROR: Database Error ") + e.what();
    } catch (const DatabaseBusy&) {
        reply = "ERROR: Database Busy, Try Again";
    } catch (const DatabaseError& e) {
        reply = std::string("ERROR: Database Error ") + (db_.Damaged() ? kSystemDamaged : e.what());
        failure_ = reply.substr(7);
    } catch (const std::exception& e) {
        reply = std::string("ERROR: Server Failure ") + e.what();
        failure_ = reply.substr(7);
    }
    // A command cut short never leaves its transaction open for the next.
    if (sqlite3* handle = db_.Handle(); handle != nullptr && !sqlite3_get_autocommit(handle)) {
        std::string ignored;
        try {
            db_.Exec("ROLLBACK", ignored);
        } catch (const DatabaseBusy&) {
        }
    }
    // A connection refused its project keeps no locks there.
    if (refusedProject_ != 0) DropRefusedLocks(state);
    // A save that was stored is answered as stored, a retry would store it
    // twice; what was found is told on the error output and to the next
    // request.
    const bool failed = reply.rfind("ERROR", 0) == 0;
    const bool stored = SystemDb::Commits() != commits && !failed;
    // A read the disk failed is the disk's failure, whatever SQLite made of
    // it (a short read is a page of zeros to it): this request fails, and
    // nothing is suspected of the file.
    if (ReadFailures() != readFailures) {
        db_.ForgetFailedRead();
        if (!stored) reply = std::string("ERROR: Database Error ") + kDiskReadFailed;
        failure_ = std::string("Database Error ") + kDiskReadFailed;
    }
    // A read answered as malformed (a step that failed, or one the command
    // took for no row) is no answer, and damage only once a check of the
    // whole file finds it so.
    if (SystemDb::DamageSuspected()) {
        const FileCheck check = db_.SettleSuspectedDamage();
        const std::string why = check.result == FileCheck::Result::kDamaged
                                    ? std::string(kSystemDamaged)
                                    : MalformedRead(check);
        if (!stored) reply = "ERROR: Database Error " + why;
        failure_ = "Database Error " + why;
    }
    // Checked again after a save, and after a failure, whose reason the
    // move may be. A read that began before a move answered from the file
    // that was there.
    if (stored || failed) {
        if (const std::string why = db_.Displaced(); !why.empty()) {
            if (!stored) reply = "ERROR: Database Error " + why;
            failure_ = "Database Error " + why;
        }
    }
    if (!failure_.empty()) state.failure = VerbOf(command) + ": " + failure_;
    if (reply.empty()) reply = "OK";
    return reply;
}

std::string CommandEngine::Dispatch(ConnectionState& state, const CommandText& command) {
    DropLeftStores();
    ShowLife(state);
    // A session whose password changed elsewhere, or whose user was
    // disabled or removed, ends: the commands that carry no password would
    // go on answering it.
    if (state.ended || (!state.user.empty() && !LoginStands(state)))
        return state.disabled  ? RequestFrame::kUserDisabled
               : state.removed ? RequestFrame::kUserRemoved
                               : RequestFrame::kSessionEnded;
    const std::string& verb = command.Field(0);
    const CommandRule* rule = FindRule(verb);
    if (rule == nullptr) return "ERROR: Unknown Command " + verb.substr(0, 64);
    RunningScope running(running_, rule, &state);
    if (std::string refusal = Admit(state, *rule, command); !refusal.empty()) return refusal;
    if (verb == "TALQGetSystemFlags") return GetSystemFlags(command);
    if (verb == "TALQGetExtSystemFlags") return GetExtSystemFlags(command);
    if (verb == "TALQGetVersion") return GetVersion(command);
    if (verb == "TALQChangePassword") return ChangePassword(state, command);
    if (verb == "TALQRequiredLogin") return RequiredLogin(state, command);
    if (verb == "TALQGetProjectInfo") return GetProjectInfo(state, command);
    if (verb == "TALQCloseProject") return CloseProject(state, command);
    if (verb == "TALQGetTalqPrjList") return GetProjectList(command);
    if (verb == "TALQFindKey") return FindKey(command);
    if (verb == "TALQNextKey") return StepKey(command, true);
    if (verb == "TALQPrevKey") return StepKey(command, false);
    if (verb == "TALQGetScroll") return GetScroll(command, ScrollWindow::Around);
    if (verb == "TALQGetNextScroll") return GetScroll(command, ScrollWindow::After);
    if (verb == "TALQGetPrevScroll") return GetScroll(command, ScrollWindow::Before);
    if (verb == "TALQGetBoundaryInfo") return GetBoundaryInfo(command);
    if (verb == "TALQGetPageInfo") return GetPageInfo(command);
    if (verb == "TALQPutPageInfo") return PutPageInfo(command);
    if (verb == "TALQGetWordList") return GetWordList(command);
    if (verb == "TALQGetPageWBuf") return GetPageWBuf(state, command);
    if (verb == "TALQGetPageOcr") return GetPageOcr(state, command);
    if (verb == "TALQSetPageLock") return SetPageLock(state, command);
    if (verb == "TALQRemovePageLock") return RemovePageLock(state, command);
    if (verb == "TALQDTGetDate") return GetPageDate(command);
    if (verb == "TALQDTPutDate") return PutPageDate(command);
    if (verb == "TALQGetFolderDescription") return GetFolderDescription(command);
    if (verb == "TALQPutFolderDescription") return PutFolderDescription(command);
    if (verb == "TALQSendClientImage") return SendClientImage(command);
    if (verb == "TALQSendTextImage") return SendTextImage(state, command);
    if (verb == "TALQSendStellantImage") return SendStellantImage(state, command);
    if (verb == "TALQGetTagPoolList") return GetTagPool(command);
    if (verb == "TALQGetTagPaletteList") return GetTagPalette(command);
    if (verb == "TALQGetImageTags") return GetImageTags(command);
    if (verb == "TALQTurnTagOn") return SwitchTag(command, true);
    if (verb == "TALQTurnTagOff") return SwitchTag(command, false);
    if (verb.rfind("TALQIsDocTagged", 0) == 0) return IsDocTagged(command);
    if (verb == "TALQAddTag") return AddTag(command);
    if (verb == "TALQUpdateTag") return UpdateTag(command);
    if (verb == "TALQDelTag") return DeleteTag(command);
    if (verb == "TALQPutPaletteList") return PutPalette(command);
    if (verb == "TALQIsPageRestricted") return IsPageRestricted(command);
    if (verb == "TALQGetAnnotations") return GetAnnotations(command);
    if (verb == "TALQPutAnnotations") {
        if (std::string refused = RefuseRemoteClipList(state, command); !refused.empty())
            return refused;
        return PutAnnotations(command);
    }
    if (verb == "TALQResolveFile") return ResolveFile(state, command);
    if (verb == "TALQDoesFileExist") return DoesFileExist(state, command);
    if (verb == "TALQReadFromFile") return ReadFromFile(state, command);
    if (verb == "TALQDeleteFile") return DeleteFile(state, command);
    if (verb == "TALQStoreImageFile") return StoreImageFile(command);
    if (verb == "TALQImportLine") return ImportLine(command);
    if (verb == "TALQGetBatchDirs") return GetBatchDirs(command);
    if (verb == "TALQValidateBatchPrinter") return ValidateBatchPrinter(command);
    if (verb == "TALQGetNextBatch") return GetNextBatch(state, command);
    if (verb.rfind(std::string("TALQWriteFile") + kRecordSep, 0) == 0)
        return WriteFile(state, command);
    if (verb == "TALQCloseOutBatchFile") return CloseOutBatchFile(state, command);
    if (verb == "TALQUpdtPrintLog") return UpdatePrintLog(state, command);
    if (verb == "IDEX_IsSupported") return "YES";
    if (verb.rfind("IDEX_StartSearch", 0) == 0) return ConceptStart(state, command);
    if (verb == "IDEX_QuerySearch") return ConceptQuery(state);
    if (std::optional<std::string> reply = queries_->Dispatch(state, command)) return *reply;
    return "ERROR: Unknown Command " + verb.substr(0, 64);
}

void CommandEngine::EndConnection(ConnectionState& state, bool peerMayReturn) {
    if (!state.session.empty()) {
        try {
            Statement drop(db_, "DELETE FROM page_locks WHERE session = ?");
            drop.Bind(1, state.session).Run();
        } catch (const DatabaseBusy&) {
            // Left to the clearing of dead owners' locks.
        }
        try {
            if (!peerMayReturn) DropConnectionFiles(state.session);
        } catch (const DatabaseBusy&) {
            // Left to the clearing at open once this process is gone.
        } catch (const DatabaseError&) {
            // The same.
        }
    }
    state = ConnectionState{};
}

void CommandEngine::ShowProcessLives() {
    try {
        const auto now = static_cast<std::int64_t>(std::time(nullptr));
        Transaction transaction(db_);
        Statement locks(db_, "UPDATE page_locks SET seen = ? WHERE owner = ?");
        Statement jobs(db_, "UPDATE batch_jobs SET seen = ? WHERE state = 'open' AND owner = ?");
        locks.Bind(1, now).Bind(2, ProcessIdentity()).Run();
        jobs.Bind(1, now).Bind(2, ProcessIdentity()).Run();
        transaction.Commit();
    } catch (const DatabaseBusy&) {
        // Shown at the next beat, well within the bound.
    } catch (const DatabaseError&) {
        // No connection now: tried again at the next beat.
    }
    // A beat that read the file as malformed would fail so at every beat.
    if (SystemDb::DamageSuspected()) db_.SettleSuspectedDamage();
}

void CommandEngine::ShowLife(ConnectionState& state) {
    if (!state.local || state.ended) return;
    const std::int64_t now = std::time(nullptr);
    if (now - state.lifeShown < kLifeShownEverySeconds && now >= state.lifeShown) return;
    try {
        if (!state.lockedPages.empty()) {
            Statement touch(db_, "UPDATE page_locks SET seen = ? WHERE session = ?");
            if (!touch.Bind(1, now).Bind(2, state.session).Run()) return;
            if (static_cast<std::size_t>(sqlite3_changes(db_.Handle())) < state.lockedPages.size())
                state.ended = true;
        }
        // The open batch jobs of this process, whichever of its
        // connections opened them. Looked for first: most processes hold
        // none and need not write.
        bool jobs = false;
        {
            Statement open(db_, "SELECT 1 FROM batch_jobs WHERE state = 'open' AND owner = ?");
            jobs = open.Bind(1, ProcessIdentity()).Step();
        }
        if (jobs) {
            Statement touch(db_,
                            "UPDATE batch_jobs SET seen = ? WHERE state = 'open' AND owner = ?");
            if (!touch.Bind(1, now).Bind(2, ProcessIdentity()).Run()) return;
        }
        state.lifeShown = now;
    } catch (const DatabaseBusy&) {
        // Shown at its next request.
    }
}

std::string CommandEngine::Setting(const std::string& name, const std::string& fallback) {
    Statement s(db_, "SELECT value FROM system_settings WHERE name = ?");
    s.Bind(1, name);
    // A failed read throws: taken for the fallback, it would answer flags
    // (page locking among them) the system was never set to.
    return s.Row() ? s.Text(0) : fallback;
}

}  // namespace docserver
