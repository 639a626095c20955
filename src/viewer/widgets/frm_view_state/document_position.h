#pragma once
// Where the page on display stands: its document and its place in it, and
// the unit a restricted user may not leave.

#include <cstdint>
#include <string>

namespace viewer {

struct DocumentPosition {
    // Elsewhere: DocBeginKey, DocEndKey.
    std::string g_szDocBkey, g_szDocEkey;
    // Page position, page count and level of a document (elsewhere:
    // DocPagePos, DocPageCount, DocLevel).
    std::int32_t g_iDocPsn = 0, g_iDocCnt = 0, g_iDocLvl = 0;
    // The document bounds must be computed afresh at the next page display.
    bool g_DocBoundsStale = false;
    // The confining unit's first and last key (elsewhere: NavLimitBegKey, NavLimitEndKey).
    std::string g_sz3rdBkey, g_sz3rdEkey;

    // One page on: a known place moves within the document; an unknown one
    // (0, as after a page that was not shown) is counted by the display.
    void StepPage(bool forward) {
        if (g_iDocCnt <= 0 || g_iDocPsn <= 0) return;
        if (forward && g_iDocPsn < g_iDocCnt) ++g_iDocPsn;
        if (!forward && g_iDocPsn > 1) --g_iDocPsn;
    }

    // Forgets the document, the place in it and the confining unit, to be
    // worked out again; the level stays.
    void ForgetBounds() {
        g_szDocBkey.clear();
        g_szDocEkey.clear();
        g_sz3rdBkey.clear();
        g_sz3rdEkey.clear();
        g_iDocPsn = 0;
        g_iDocCnt = 0;
    }
};

}  // namespace viewer
