// Temporary files of tmp/: issued to a user, registered to the connection
// that made or last used them, and cleared an hour after that connection
// ended (unless a connection of the user took them up meanwhile) or once
// its process is found gone.
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <ctime>
#include <utility>
#include <vector>

#include <sqlite3.h>

#include "command_engine.h"
#include "engine_text.h"
#include "lock_holders.h"
#include "path_confine.h"
#include "transaction.h"

namespace docserver {
namespace {

// How long an ended connection's files wait for its viewer to come back
// (a reconnection after a request timed out pages its list on); cleared at
// a later connection's end or the next open after that.
constexpr const char* kComeBackWithin = "-3600 seconds";

// This machine as the start of a ProcessIdentity: host name and machine id.
std::string ThisMachine() {
    const std::string& identity = ProcessIdentity();
    const std::size_t host = identity.find(' ');
    const std::size_t machine = host == std::string::npos ? host : identity.find(' ', host + 1);
    return machine == std::string::npos ? identity : identity.substr(0, machine + 1);
}

// The rows whose connection ended longer ago than that. Only a connection of
// this machine is judged: its end was stamped by this machine's clock.
std::string Expired() {
    const std::string machine = ThisMachine();
    std::string quoted;
    for (char c : machine) quoted += c == '\'' ? std::string("''") : std::string(1, c);
    return std::string("ended <> '' AND ended < strftime('%Y-%m-%dT%H:%M:%S', 'now', '") +
           kComeBackWithin + "') AND substr(CAST(owner AS BLOB), 1, " +
           std::to_string(machine.size()) + ") = CAST('" + quoted + "' AS BLOB)";
}

// A take-up is a courtesy of the command: it never holds the command up.
constexpr int kTakeUpWaitMs = 100;

// Not a bound: a file is cleared at start only on proof its process is gone.
constexpr std::int64_t kNoSilenceBound = std::int64_t{1} << 40;

bool IsRegularFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// A registered file and, for a concept search's query file (the stem and
// "X"), its term and spelling files ("D" and "S" before the stem).
std::vector<std::string> Family(const std::string& name, const std::string& purpose) {
    std::vector<std::string> names{name};
    if (purpose == "concept" && name.size() > 1 && name.back() == 'X') {
        const std::string stem = name.substr(0, name.size() - 1);
        names.push_back("D" + stem);
        names.push_back("S" + stem);
    }
    return names;
}

}  // namespace

std::string CommandEngine::IssueTempName(const std::string& user, const std::string& purpose,
                                         const std::string& prefix, const std::string& suffix) {
    ::mkdir((systemDir_ + "/tmp").c_str(), 0755);
    // The folder itself may not lead elsewhere.
    if (ResolvedInside(systemDir_, systemDir_ + "/tmp") != "tmp") return "";
    const std::string session = running_.state != nullptr ? running_.state->session : "";
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
                      "INSERT OR IGNORE INTO server_files (name, user_id, purpose, created, "
                      "session, owner) VALUES (?, ?, ?, ?, ?, ?)");
        add.Bind(1, name).Bind(2, user).Bind(3, purpose).Bind(4, NowText()).Bind(5, session);
        if (!add.Bind(6, session.empty() ? std::string() : ProcessIdentity()).Run())
            throw DatabaseError(add.Error());
        if (sqlite3_changes(db_.Handle()) > 0 && !IsRegularFile(systemDir_ + "/tmp/" + name))
            return name;
    }
    return "";
}

std::string CommandEngine::TempFileOwner(const std::string& name) {
    std::string row = name;
    std::string user, session;
    {
        Statement s(db_, "SELECT user_id, session FROM server_files WHERE name = ?");
        s.Bind(1, name);
        if (s.Row()) {
            user = s.Text(0);
            session = s.Text(1);
        }
    }
    // The term and spelling files of a concept search ("D" and "S" before
    // the stem) belong to the owner of its query file (the stem and "X").
    if (user.empty() && name.size() > 1 && (name[0] == 'D' || name[0] == 'S')) {
        row = name.substr(1) + "X";
        Statement c(db_,
                    "SELECT user_id, session FROM server_files WHERE name = ? AND "
                    "purpose = 'concept'");
        c.Bind(1, row);
        if (c.Row()) {
            user = c.Text(0);
            session = c.Text(1);
        }
    }
    // A connection of the owner asking for the file may go on using it (a
    // viewer's reconnection pages its list on): the file is kept while that
    // connection lives, whichever made it.
    const ConnectionState* asking = running_.state;
    if (!user.empty() && asking != nullptr && !asking->session.empty() &&
        session != asking->session && SameText(user, asking->user)) {
        try {
            LockWaitLimit brief(kTakeUpWaitMs);
            Statement take(db_,
                           "UPDATE server_files SET session = ?, owner = ?, ended = '' "
                           "WHERE name = ?");
            take.Bind(1, asking->session).Bind(2, ProcessIdentity()).Bind(3, row).Run();
        } catch (const DatabaseBusy&) {
            // Taken up at its next use.
        } catch (const DatabaseError&) {
            // The same: the command itself only reads.
        }
    }
    return user;
}

void CommandEngine::ClearTempFiles(const std::vector<std::pair<std::string, std::string>>& rows) {
    // A folder that leads elsewhere is none of ours to clear.
    if (rows.empty() || ResolvedInside(systemDir_, systemDir_ + "/tmp") != "tmp") return;
    for (const auto& [name, purpose] : rows)
        for (const std::string& file : Family(name, purpose))
            if (!file.empty() && file.find('/') == std::string::npos && file != "." && file != "..")
                ::unlink((systemDir_ + "/tmp/" + file).c_str());
}

void CommandEngine::DropConnectionFiles(const std::string& session) {
    {
        // Most connections made none: their end takes no write lock.
        const std::string ask = "SELECT 1 FROM server_files WHERE session = ? OR (" + Expired() + ")";
        Statement any(db_, ask.c_str());
        if (!any.Bind(1, session).Step()) return;
    }
    std::vector<std::pair<std::string, std::string>> rows;  // name, purpose
    {
        Transaction transaction(db_);
        Statement end(db_, "UPDATE server_files SET ended = ? WHERE session = ? AND ended = ''");
        end.Bind(1, NowText()).Bind(2, session).Run();
        rows = TakeExpiredRows();
        // Files go only once their rows have: a row never names nothing
        // while its file could still be read through it.
        if (!transaction.Commit()) return;
    }
    ClearTempFiles(rows);
}

std::vector<std::pair<std::string, std::string>> CommandEngine::TakeExpiredRows() {
    std::vector<std::pair<std::string, std::string>> rows;
    const std::string expired = Expired();
    {
        const std::string select = "SELECT name, purpose FROM server_files WHERE " + expired;
        Statement s(db_, select.c_str());
        while (s.Step()) rows.emplace_back(s.Text(0), s.Text(1));
    }
    if (!rows.empty()) {
        const std::string drop = "DELETE FROM server_files WHERE " + expired;
        Statement(db_, drop.c_str()).Run();
    }
    return rows;
}

void CommandEngine::RecoverTempFiles() {
    const std::int64_t now = std::time(nullptr);
    std::vector<std::string> gone;
    {
        // Only proof counts: another machine's process, or a process of an
        // older system, may have handed out its files yesterday and still
        // serve them today.
        Statement owners(db_,
                         "SELECT owner, MAX(created) FROM server_files WHERE owner <> '' "
                         "GROUP BY owner");
        while (owners.Step())
            if (HolderGone({owners.Text(0), 0, owners.Text(1), kNoSilenceBound}, now))
                gone.push_back(owners.Text(0));
    }
    {
        // Nothing to clear takes no write lock at open.
        const std::string ask = "SELECT 1 FROM server_files WHERE " + Expired();
        Statement any(db_, ask.c_str());
        if (gone.empty() && !any.Step()) return;
    }
    std::vector<std::pair<std::string, std::string>> rows;
    {
        Transaction transaction(db_);
        rows = TakeExpiredRows();
        {
            Statement s(db_, "SELECT name, purpose FROM server_files WHERE owner = ?");
            for (const std::string& owner : gone) {
                s.Reset().Bind(1, owner);
                while (s.Step()) rows.emplace_back(s.Text(0), s.Text(1));
            }
        }
        Statement drop(db_, "DELETE FROM server_files WHERE owner = ?");
        for (const std::string& owner : gone) drop.Reset().Bind(1, owner).Run();
        if (rows.empty() || !transaction.Commit()) return;
    }
    ClearTempFiles(rows);
}

}  // namespace docserver
