#include "concept_job.h"

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <unordered_set>
#include <vector>

#include "redaction_burn.h"
#include "system_db.h"
#include "system_upgrade.h"

namespace docserver {
namespace {

// Searches whose thread is at work on the system, in the whole process.
std::atomic<int> g_running{0};

struct Running {
    Running() { ++g_running; }
    ~Running() { --g_running; }
};

// Index words that may be the term or one of its forms: the forms all begin
// with the term, or with the term less a final "s" or "e".
std::string CandidateMatch(const std::vector<ConceptTerm>& terms) {
    std::string match;
    for (const ConceptTerm& term : terms) {
        std::string stem = term.word;
        if (term.choice != 1 && stem.size() > 3 && (stem.back() == 's' || stem.back() == 'e'))
            stem.pop_back();
        if (!match.empty()) match += " OR ";
        match += "\"" + stem + (term.choice == 1 ? "\"" : "\" *");
    }
    return match;
}

}  // namespace

ConceptJob::ConceptJob(std::string databasePath, const ConceptScope& scope, ConceptSearch search)
    : databasePath_(std::move(databasePath)), scope_(scope), search_(std::move(search)) {
    thread_ = std::thread([this] { Run(); });
}

ConceptJob::~ConceptJob() {
    stop_ = true;
    thread_.join();
}

bool ConceptJob::WaitFinished(std::chrono::milliseconds wait) {
    std::unique_lock<std::mutex> lock(mutex_);
    return ended_.wait_for(lock, wait, [this] { return finished_; });
}

int ConceptSearchesRunning() {
    return g_running.load();
}

void ConceptJob::Run() {
    try {
        const Running running;  // until its connections have closed
        SystemDb db;
        std::string error;
        if (db.Open(databasePath_, false, error)) {
            AddCandidatePages(db);
            AddNearWords(db);
        } else {
            error_ = "Unable to Open the System";
            reason_ = error;
        }
    } catch (const DatabaseError& e) {
        // Hits of the rows read before the failure are not the search's.
        error_ = "Unable to Read the System";
        reason_ = e.what();
    } catch (const std::exception&) {
        error_ = "Database Busy";
    }
    std::lock_guard<std::mutex> lock(mutex_);
    finished_ = true;
    ended_.notify_all();
}

void ConceptJob::AddCandidatePages(SystemDb& db) {
    const std::string sql =
        std::string("SELECT image_key, ocr_text FROM pages WHERE project_id = ?1 AND ") +
        kOcrIndexMatchSql + " AND restricted = 0 AND " +
        SearchableTextSql(5) + " ORDER BY seq";
    Statement pages(db, sql.c_str());
    BindOcrIndexMatch(pages, scope_.projectId, CandidateMatch(search_.Terms()), scope_.firstSeq,
                      scope_.lastSeq)
        .Bind(5, scope_.user);
    while (!stop_ && pages.Row()) search_.AddPage(pages.Text(0), pages.Text(1));
}

// The index's words within two edits of a word no page holds, counted in
// the pages the search may read.
void ConceptJob::AddNearWords(SystemDb& db) {
    const std::vector<std::string> unseen = search_.UnseenWords();
    if (unseen.empty() || stop_) return;
    std::string error;
    if (!db.Exec("CREATE VIRTUAL TABLE IF NOT EXISTS temp.ocr_words "
                 "USING fts5vocab(main, ocr_index, row);"
                 "CREATE VIRTUAL TABLE IF NOT EXISTS temp.ocr_word_places "
                 "USING fts5vocab(main, ocr_index, instance)",
                 error))
        return;
    std::size_t shortest = SIZE_MAX, longest = 0;
    for (const std::string& word : unseen) {
        shortest = std::min(shortest, word.size());
        longest = std::max(longest, word.size());
    }
    std::vector<std::string> near;
    Statement words(db, "SELECT term FROM temp.ocr_words WHERE length(term) BETWEEN ?1 AND ?2");
    words.Bind(1, static_cast<std::int64_t>(std::max<std::size_t>(3, shortest - 2)))
        .Bind(2, static_cast<std::int64_t>(longest + 2));
    while (!stop_ && words.Row()) {
        std::string word = words.Text(0);
        for (const std::string& u : unseen) {
            if (EditDistance(u, word, 2) <= 2) {
                near.push_back(std::move(word));
                break;
            }
        }
    }
    if (near.empty()) return;

    std::unordered_set<std::int64_t> readable;
    const std::string sql =
        "SELECT seq FROM pages WHERE project_id = ?1 AND seq BETWEEN ?2 AND ?3 "
        "AND restricted = 0 AND " +
        SearchableTextSql(4);
    Statement pages(db, sql.c_str());
    pages.Bind(1, scope_.projectId)
        .Bind(2, scope_.firstSeq)
        .Bind(3, scope_.lastSeq)
        .Bind(4, scope_.user);
    while (!stop_ && pages.Row()) readable.insert(pages.Int(0));

    const std::int64_t first = TextRowId(scope_.projectId, scope_.firstSeq, 0);
    const std::int64_t last = TextRowId(scope_.projectId, scope_.lastSeq, 255);
    Statement places(db, "SELECT doc FROM temp.ocr_word_places WHERE term = ?1");
    for (const std::string& word : near) {
        places.Reset().Bind(1, word);
        int count = 0;
        while (!stop_ && places.Row()) {
            const std::int64_t row = places.Int(0);
            if (row >= first && row <= last && readable.count(SeqOfTextRow(row)) > 0) ++count;
        }
        if (count > 0) search_.AddNearWord(word, count);
    }
}

}  // namespace docserver
