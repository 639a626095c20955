#pragma once
// The open query list and the searches that fill it.

#include <cstdint>
#include <string>

#include "navigation/query_record.h"

namespace viewer {

struct QueryPane {
    std::int16_t Query_Active = 0;
    // Set while the list fills, so its own selection changes are not clicks.
    std::int16_t QueryListLoading = 0;
    TalqClientAPI_Header::QueryRecord CurrentQuery;
    // Words to mark on the pages; they end with the session's project and user.
    std::string QuerySrchStr;
    // Words handed in by another program wait for the login and project the
    // same message or command line asks for.
    bool QuerySrchPending = false;
    void HandKeywords(const std::string& words) {
        QuerySrchStr = words;
        QuerySrchPending = true;
    }
    // A project open: handed words are its own from now on.
    void SettleKeywords(bool projectOpen) {
        if (projectOpen) QuerySrchPending = false;
    }
    // The concept search holds a result (elsewhere: IsQuesterActive).
    bool bQuesterActive = false;
    // The date search reopens with the last dates and criterion.
    std::string DateSearchStart, DateSearchEnd;
    std::int16_t DateSearchCriterion = 0;
    // Folder of the combined tag list; the session's private folder when empty.
    std::string MultiTagFolder;
};

}  // namespace viewer
