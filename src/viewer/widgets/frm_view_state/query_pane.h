#pragma once
// The open query list and the searches that fill it.

#include <cstdint>
#include <string>

#include "navigation/query_record.h"

namespace viewer {

struct QueryPane {
    std::int16_t Query_Active = 0;
    TalqClientAPI_Header::QueryRecord CurrentQuery;
    std::string QuerySrchStr;
    // The concept search holds a result (elsewhere: IsQuesterActive).
    bool bQuesterActive = false;
    // The date search reopens with the last dates.
    std::string DateSearchStart, DateSearchEnd;
    // Folder of the combined tag list; the session's private folder when empty.
    std::string MultiTagFolder;
};

}  // namespace viewer
