#pragma once
// The concept-search hits of one page: built when a row of a concept query
// is chosen, drawn while that page is on display.

#include <string>

namespace viewer {

struct ConceptHitState {
    std::string g_QuesterLastKey;         // the page they were built for
    std::string g_QuesterLastCoords;      // passage rectangles joined by "|"
    std::string g_QuesterLastWordCoords;  // per passage "^"-joined term words, joined by "|"
};

}  // namespace viewer
