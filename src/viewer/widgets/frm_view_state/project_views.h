#pragma once
// What the selected project allows: access levels, the navigation limit and
// the levels of the navigation buttons, derived by LoadProjectViews.

#include <array>
#include <cstdint>
#include <string>

namespace viewer {

struct ProjectViews {
    // Elsewhere: AnnotAccessLevel, TagAccessLevel, RedactAccessLevel.
    std::int32_t g_RestrictAnnotations = 0, g_RestrictTags = 0, g_RestrictRedactions = 0;
    std::int16_t g_LimitNav = 0;      // elsewhere: NavRestricted
    std::int32_t g_iLimit3rdLvl = 0;  // elsewhere: NavLimitLevel
    // Boundary level stepped by each navigation button (0 and 1: pages).
    std::array<std::int32_t, 10> NavButtonLevel{};
    std::int16_t RedactMode = 0;
    std::int16_t g_TagPalInitialized = 0;
};

// The link to the document database program.
struct DatabaseLink {
    bool g_bBackLink = false;
    std::int32_t Conc_Ctrls_Start = 0;  // elsewhere: LinkButtonsLeft
    std::string DDE_LINK;
};

}  // namespace viewer
