// What opening a system puts right: older tables brought up to date, plain
// passwords hashed, and the page locks and batch jobs of owners that died
// (a server or library killed mid-session) released, their page image
// stores cut off before the commit undone (image_stores.h) and their
// temporary files cleared (temp_files.cpp).
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <ctime>
#include <random>
#include <vector>

#include "command_engine.h"
#include "image_stores.h"
#include "lock_holders.h"
#include "passwords.h"
#include "path_confine.h"
#include "transaction.h"

namespace docserver {
namespace {

constexpr int kLeftStoresWaitMs = 100;

bool HasColumn(SystemDb& db, const char* table, const std::string& column) {
    Statement s(db, (std::string("PRAGMA table_info(") + table + ")").c_str());
    while (s.Step())
        if (s.Text(1) == column) return true;
    return false;
}

// A hash takes tens of milliseconds, so none is made inside a write: a
// few rows are read, hashed, then stored in one short write, each only
// over the plain text it was made from (a login or another opener may
// have hashed or changed it meanwhile). Openers starting together take
// the rows in different orders and so share the work.
constexpr std::size_t kHashedPerWrite = 8;

void HashPlainPasswords(SystemDb& db) {
    std::mt19937 order(std::random_device{}());
    for (std::size_t round = 0, rounds = 1; round < rounds; ++round) {
        std::vector<std::pair<std::string, std::string>> plain;  // user, password
        {
            Statement users(db, "SELECT user_id, password FROM users");
            while (users.Step())
                if (!IsPasswordHash(users.Text(1)))
                    plain.emplace_back(users.Text(0), users.Text(1));
            if (users.Failed()) return;
        }
        if (round == 0) rounds = plain.size() / kHashedPerWrite + 1;
        std::shuffle(plain.begin(), plain.end(), order);
        plain.resize(std::min(plain.size(), kHashedPerWrite));
        if (plain.empty()) return;
        std::vector<std::string> hashes;
        for (const auto& row : plain) hashes.push_back(HashPassword(row.second));
        Transaction transaction(db);
        Statement store(db, "UPDATE users SET password = ? WHERE user_id = ? AND password = ?");
        for (std::size_t i = 0; i < plain.size(); ++i) {
            store.Reset().Bind(1, hashes[i]).Bind(2, plain[i].first).Bind(3, plain[i].second);
            if (!store.Run()) return;
        }
        if (!transaction.Commit()) return;
    }
}

}  // namespace

std::string HostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0) return "";
    return name;
}

std::string SessionName(const std::string& connection) {
    // The start time keeps the name of a session apart from those of a
    // dead process whose pid came round again.
    const std::string& identity = ProcessIdentity();
    return HostName() + "/" + std::to_string(::getpid()) + ":" + connection + "@" +
           identity.substr(identity.rfind(' ') + 1);
}

void CommandEngine::Recover() {
    try {
        RecoverHeld();
    } catch (const DatabaseBusy&) {
        // Another process holds the system; it recovers.
    }
    try {
        RecoverStores();
    } catch (const DatabaseBusy&) {
        // Another process holds the system; it recovers.
    }
    try {
        RecoverTempFiles();
    } catch (const DatabaseBusy&) {
        // Another process holds the system; it recovers.
    } catch (const DatabaseError&) {
        // Files left over refuse no system: the next opener tries again.
    }
    try {
        HashPlainPasswords(db_);
    } catch (const DatabaseBusy&) {
        // A row left plain is hashed by the next login or opening.
    }
}

void CommandEngine::RecoverHeld() {
    std::string error;
    Transaction transaction(db_);
    if (!HasColumn(db_, "batch_jobs", "session"))
        db_.Exec("ALTER TABLE batch_jobs ADD COLUMN session TEXT NOT NULL DEFAULT ''", error);
    std::int64_t imageIndexColumns = 0;
    {
        Statement columns(db_, "SELECT COUNT(*) FROM pragma_index_info('pages_by_image')");
        if (columns.Step()) imageIndexColumns = columns.Int(0);
    }
    // Older systems indexed the image file alone.
    if (imageIndexColumns == 1) db_.Exec("DROP INDEX pages_by_image", error);
    db_.Exec("CREATE INDEX IF NOT EXISTS pages_by_image ON pages(image_file, project_id, seq)",
             error);
    db_.Exec("CREATE INDEX IF NOT EXISTS pages_by_original ON pages(original_file)", error);
    db_.Exec("CREATE INDEX IF NOT EXISTS annotations_redacted ON annotations(project_id, seq) "
             "WHERE kind = 4 AND list_text <> ''",
             error);
    // Systems made before printed ranges were logged.
    db_.Exec(
        "CREATE TABLE IF NOT EXISTS print_log (log_id INTEGER PRIMARY KEY, user_id TEXT NOT NULL "
        "COLLATE NOCASE, project TEXT NOT NULL DEFAULT '' COLLATE NOCASE, local_pages INTEGER NOT "
        "NULL DEFAULT 0, batch_pages INTEGER NOT NULL DEFAULT 0, printed TEXT NOT NULL DEFAULT '')",
        error);

    // Each holder is judged by its latest sign of life in any of its rows.
    const std::int64_t now = std::time(nullptr);
    std::vector<std::pair<std::string, std::string>> goneLocks, goneJobs;  // session, owner
    {
        Statement locks(db_,
                        "SELECT session, owner, MAX(seen), MAX(silence), MAX(taken) FROM "
                        "page_locks GROUP BY session, owner");
        while (locks.Step())
            if (HolderGone({locks.Text(1), locks.Int(2), locks.Text(4), locks.Int(3)}, now))
                goneLocks.emplace_back(locks.Text(0), locks.Text(1));
        Statement jobs(db_,
                       "SELECT session, owner, MAX(seen), MAX(silence), MAX(created) FROM "
                       "batch_jobs WHERE state = 'open' GROUP BY session, owner");
        while (jobs.Step())
            if (HolderGone({jobs.Text(1), jobs.Int(2), jobs.Text(4), jobs.Int(3)}, now))
                goneJobs.emplace_back(jobs.Text(0), jobs.Text(1));
    }
    Statement unlock(db_, "DELETE FROM page_locks WHERE session = ? AND owner = ?");
    for (const auto& [session, owner] : goneLocks)
        unlock.Reset().Bind(1, session).Bind(2, owner).Run();
    std::vector<std::pair<std::int64_t, std::string>> cutOff;
    {
        Statement jobs(db_,
                       "SELECT job_id, file_name FROM batch_jobs WHERE state = 'open' AND "
                       "session = ? AND owner = ?");
        for (const auto& [session, owner] : goneJobs) {
            jobs.Reset().Bind(1, session).Bind(2, owner);
            while (jobs.Step()) cutOff.emplace_back(jobs.Int(0), jobs.Text(1));
        }
    }
    Statement abandon(db_, "UPDATE batch_jobs SET state = 'abandoned' WHERE job_id = ?");
    std::vector<std::string> abandoned;
    for (const auto& [id, name] : cutOff)
        if (abandon.Reset().Bind(1, id).Run()) abandoned.push_back(name);
    // A job whose end was not stored stays open, so its parts stay too.
    if (!transaction.Commit()) return;
    // The parts written so far never reach a printer.
    for (const std::string& name : abandoned) {
        const std::string stem = name.size() >= 3 ? name.substr(0, name.size() - 3) : "";
        for (const char* ending : {"P__", "MRK"}) {
            std::string path;
            if (!stem.empty() && ConfinePath(systemDir_, stem + ending, path) &&
                LeadsWhereNamed(systemDir_, path))
                ::unlink(path.c_str());
        }
    }
}

bool CommandEngine::RecoverStores() {
    std::vector<std::string> undone;
    bool committed = false;
    {
        Transaction transaction(db_);
        SettleStores(db_, systemDir_, "", undone);
        // Undoing again, after a commit that failed, finds the same files.
        committed = transaction.Commit();
    }
    // A reader may have prepared the file never committed.
    if (reduced_)
        for (const std::string& full : undone) DropReduced(full);
    return committed;
}

void CommandEngine::DropLeftStores() {
    const unsigned left = StoreRecordsLeft();
    if (left == 0) return;
    try {
        // The command itself is not held up by a reader still there.
        LockWaitLimit brief(kLeftStoresWaitMs);
        if (RecoverStores()) StoreRecordsSettled(left);
    } catch (const DatabaseBusy&) {
        // Tried again before the next command.
    } catch (const DatabaseError&) {
        // No connection now: the same.
    }
}

}  // namespace docserver
