#pragma once
// Query lists the server keeps for a client: tag queries and server
// temporary files paged in sets, uploads into temporary files, the sort by
// document date as a background job, saving a list as an issue collection,
// and the three searches that produce result files.

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "system_db.h"

namespace docserver {

class CommandEngine;
struct ConnectionState;
struct CommandText;
struct ProjectAccess;

// One row of a query at its level; seq 0 marks a key the project lacks.
struct QueryRow {
    std::string key;
    std::string text;
    std::int64_t seq = 0;
};

// A built query list; the cache and the replies paging it share one copy.
using QueryRows = std::shared_ptr<const std::vector<QueryRow>>;

// The rows a connection last built, kept while nothing changed: the server's
// workers each page it, whichever takes the connection's next request.
struct QueryCache {
    std::string identity;           // what the rows were built from
    const void* counter = nullptr;  // the change count generation belongs to
    std::uint64_t generation = 0;
    QueryRows rows;
};

// The sort of one connection, advanced a slice at a time by its polls.
struct QuerySortJob {
    std::vector<QueryRow> rows;
    std::vector<std::string> dates;
    std::size_t dated = 0;
    int order = 0;
    std::int64_t projectId = 0;
    std::string user;
};

class QueryCommands {
  public:
    explicit QueryCommands(CommandEngine& engine);

    // The reply, or nothing when the verb is not a query command.
    std::optional<std::string> Dispatch(ConnectionState& state, const CommandText& command);

    // Rows of a tag (kind 0) or a temporary file (kind 1) at a level; false
    // with the error reply when the list cannot be built. Pages outside the
    // user's range are left out of a tag and invalid in a file.
    bool BuildRows(ConnectionState& state, const ProjectAccess& access, int kind,
                   const std::string& source, int level, QueryRows& rows, std::string& error);

    // Rows per slice of the sort's date lookup, so a large list takes polls.
    static constexpr std::size_t kSortSlice = 20000;

  private:
    std::string QueryScroll(ConnectionState& state, const CommandText& command);
    std::string CreateTempFile(const CommandText& command);
    std::string WriteTempFile(const CommandText& command);
    std::string StartSort(ConnectionState& state, const CommandText& command);
    std::string BackgroundStatus(ConnectionState& state, const CommandText& command);
    std::string ConvertToIssue(ConnectionState& state, const CommandText& command);
    std::string SearchNotes(const CommandText& command);
    std::string SearchOcr(const CommandText& command);
    std::string SearchDate(const CommandText& command);

    // "" when user, password and project open the project; else the error.
    std::string OpenProject(const std::string& user, const std::string& password,
                            const std::string& project, ProjectAccess& access);
    // Full path of a bare temporary file name; false for anything else.
    bool TempPath(const std::string& name, std::string& path) const;
    // A new empty file in tmp/; "" with why when none could be made.
    std::string IssueTempName(const std::string& user, const std::string& purpose,
                              std::string& why);
    // Writes rows as a new result file; its name, "" with why on failure.
    std::string WriteResultFile(const std::string& user, const std::string& purpose,
                                const std::vector<QueryRow>& rows, std::string& why);
    std::string SearchReply(const std::string& user, const std::string& purpose,
                            const std::vector<QueryRow>& hits);
    // Unit starts (seqs) of a level, ascending.
    std::vector<std::int64_t> UnitStarts(std::int64_t projectId, int level);
    bool LevelExists(std::int64_t projectId, int level);
    std::string KeyOf(std::int64_t projectId, std::int64_t seq);

    // The count of database changes that engines of this process on this
    // system have seen, bumped when this engine's connection sees one.
    std::uint64_t Generation();

    CommandEngine& engine_;
    SystemDb& db_;
    std::string systemDir_;
    std::shared_ptr<std::atomic<std::uint64_t>> generation_;
    std::int64_t seenDataVersion_ = -1;
    std::int64_t seenChanges_ = -1;
};

}  // namespace docserver
