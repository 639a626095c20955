#pragma once
// Where query lists come from and where they go: tag combinations, the
// searches, saving the keys of a list, saving a list as a collection, and
// the sort by date.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "foundation/big_string.h"
#include "navigation/query_record.h"

namespace navigation {

// How several issue tags combine.
enum MultiIssueLogic : std::int16_t { kLogicOr = 0, kLogicAnd = 1, kLogicNot = 2 };

// One linear pass over two ascending "," lists (both emptied): the union,
// the intersection, or the items of a that are not in b.
void MergeKeyLists(clsBigString& a, clsBigString& b, clsBigString& result, std::int16_t logic);

// Every row key of an issue tag at level 0, in key order, joined by ",";
// a failed request ends the fetch with what was read, and is false.
bool FetchTagKeys(QueryApi& api, const std::string& tag, clsBigString& list);

// The keys of several tags combined by logic; names are joined by character 30.
// merge combines each further tag into the keys so far (MergeKeyLists).
// Nothing when a tag could not be read whole: a part of it would combine
// into a list that looks complete and is not.
using MergeFunction =
    std::function<void(clsBigString&, clsBigString&, clsBigString&, std::int16_t)>;
std::optional<std::string> CombineTags(QueryApi& api, const std::string& names, int count,
                                       std::int16_t logic,
                                       const MergeFunction& merge = MergeKeyLists);

// Creates a new file for a combined tag list in a private folder, never
// taking over an existing one; "" when none could be made.
std::string CreateMultiTagFile(const std::string& folder);

// Writes every valid key of every set of a copy of the query, one a line,
// to the file; count = keys written. The outcome tells which step failed,
// reason the system's own words when creating or writing did. The file is
// replaced only once the whole list is on disk; on failure it stays as it was.
enum class SaveKeysResult { kOk, kCannotCreate, kCannotPosition, kWriteFailed };
SaveKeysResult SaveQueryKeys(QueryApi& api, const TalqClientAPI_Header::QueryRecord& query,
                             const std::string& file, std::int32_t& count, std::string& reason);

// A new collection name trimmed; false with the reason when it holds ",",
// "|" or a control character, or is empty.
bool CheckCollectionName(std::string& name, std::string& reason);

// Whether the collection now holds every key of the query, as the server
// tells it (the collection and its pages are saved as one): how a save whose
// answer was lost came out. Nothing when either could not be read whole.
std::optional<bool> CollectionHoldsQuery(QueryApi& api,
                                         const TalqClientAPI_Header::QueryRecord& query,
                                         const std::string& name);

// The sort by date after the server accepted it: polls once a second until
// the job ends. Cancel is asked before each poll; the abort code goes out
// only after it. True only when the record holds the sorted list.
struct SortLoopHooks {
    std::function<void()> pump;                        // one pass of the message loop
    std::function<bool()> cancelled;                   // the user pressed Cancel
    std::function<void(const std::string&)> progress;  // the job's progress text
    std::function<void()> wait;                        // one clock second
};
bool PollQuerySort(QueryApi& api, TalqClientAPI_Header::QueryRecord& query,
                   const SortLoopHooks& hooks);

// Dates of the date search: exactly 8 ASCII digits, a year from 1800 to the
// next year (or 0), a month up to 12.
bool IsValidSearchDate(const std::string& text, int currentYear);

}  // namespace navigation

namespace TalqClientAPI_Header {

// mode 0 notes, annotations and folders; any other the OCR text.
bool SearchImageText(navigation::QueryApi& api, QueryRecord& query, std::int16_t mode,
                     const std::string& words, std::int16_t searchOperator);
bool SearchDocDate(navigation::QueryApi& api, QueryRecord& query, std::int16_t criterion,
                   const std::string& startDate, const std::string& endDate);

}  // namespace TalqClientAPI_Header
