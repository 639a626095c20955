#pragma once
// One set of a query list that the server keeps, and the procedures that
// open, page, upload and sort it on the server.

#include <cstdint>
#include <string>

#include "navigation/query_api.h"
#include "platform/wire_separators.h"

namespace navigation {

// Separators of the query requests and replies.
using wire::kListSep;
using wire::kRecordSep;
using wire::kSectionSep;

}  // namespace navigation

namespace TalqClientAPI_Header {

struct QueryRecord {
    std::string FirstKey;
    std::string LastKey;
    std::string CurrentKey;
    std::int32_t CurrentRow = 0;  // 1-based among the valid rows; 0 = none
    std::int32_t RowCount = 0;
    std::int32_t MoreFlags = 0;  // 1 more follow, 2 more before
    std::string KeyList;         // valid keys joined by ","
    std::string InvalidKeyList;  // "*" keys joined by ","
    std::string RowTextList;     // texts of the valid rows joined by "|"
    std::string ServerFile;      // temporary file (kind 2) or tag selection (kind 1)
    std::int16_t Kind = 0;       // 0 none, 1 issue tag, 2 server temporary file
    std::int16_t PageSize = 2000;
    std::int16_t Level = 0;
    std::string Position;  // the server's token of the set
};

inline constexpr int kMoreFollows = 1;
inline constexpr int kMoreBefore = 2;

void ClearServerQuery(navigation::QueryApi& api, QueryRecord& query);
bool OpenServerQuery(navigation::QueryApi& api, QueryRecord& query, std::int16_t kind,
                     const std::string& serverFile, std::int16_t level, std::int32_t pageSize);
// direction: 0 first set (also a reload), 1 next, 2 previous.
bool QueryScroll(navigation::QueryApi& api, QueryRecord& query, std::int16_t direction);
bool UploadKeyListFile(navigation::QueryApi& api, QueryRecord& query, const std::string& file,
                       std::int16_t level);
// order: 0 ascending, 1 descending.
bool StartQuerySort(navigation::QueryApi& api, QueryRecord& query, std::int16_t order);
// True while the job runs (text = its progress). status goes in as 0, or 1
// to abort, and comes back as the server's status.
bool CheckBackgroundStatus(navigation::QueryApi& api, QueryRecord& query, std::string& text,
                           std::int16_t& status);

// Lines of a key-list file (CR LF, LF or CR ended; the last may lack one);
// false when it cannot be opened or read whole.
bool ReadKeyListFile(const std::string& file, std::string& text);

}  // namespace TalqClientAPI_Header
