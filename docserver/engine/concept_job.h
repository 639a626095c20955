#pragma once
// A concept search run in the background from the command that starts it,
// on a thread with its own connection to the system, so that the polls only
// report. The full-text index picks the pages that may hold a term, and its
// vocabulary the words offered as spellings.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "concept_search.h"

namespace docserver {

class SystemDb;

// The pages a search may read: the project, the user's range, and the user,
// whose redactions that are not seen through leave their pages' text out.
struct ConceptScope {
    std::int64_t projectId = 0;
    std::int64_t firstSeq = 1;
    std::int64_t lastSeq = 0;
    std::string user;
};

// Searches at work in the process now: SQLite in a child forked meanwhile
// counts their file locks, which the child does not hold.
int ConceptSearchesRunning();

class ConceptJob {
  public:
    // search must have terms.
    ConceptJob(std::string databasePath, const ConceptScope& scope, ConceptSearch search);
    // Stops the search at its next page or word and waits for the thread.
    ~ConceptJob();
    ConceptJob(const ConceptJob&) = delete;
    ConceptJob& operator=(const ConceptJob&) = delete;

    std::int64_t ProjectId() const { return scope_.projectId; }
    // Waits up to wait for the search to end; true when it has.
    bool WaitFinished(std::chrono::milliseconds wait);
    // Once finished: the search's rows and offers, and why it failed ("" when
    // it did not).
    const ConceptSearch& Search() const { return search_; }
    const std::string& Error() const { return error_; }
    // SQLite's reason for that failure, when it gave one.
    const std::string& Reason() const { return reason_; }

  private:
    void Run();
    void AddCandidatePages(SystemDb& db);
    void AddNearWords(SystemDb& db);

    std::string databasePath_;
    ConceptScope scope_;
    ConceptSearch search_;
    std::string error_;
    std::string reason_;
    std::mutex mutex_;
    std::condition_variable ended_;
    bool finished_ = false;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace docserver
