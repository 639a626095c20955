// The page on display: its lock and the road by which a key reaches the screen.

#include "viewer/widgets/frm_view.h"

namespace viewer {

bool frmView::DisplayImage(const std::string& key) {
    // The page requests of the session plug in here; until then a key is
    // recorded and the page area shows no page.
    szCurrentKey = key;
    ReleasePageLock();
    g_Hscroll = g_Vscroll = 0;
    g_ValidImage = 0;
    g_PageReadOnly = 0;
    g_PageRestricted = 0;
    RedactCount = HiLiteCount = StickyCount = TextNoteCount = ClipCount = MarkUpCount = 0;
    g_szWordList.clear();
    g_NativeBlocked = false;
    RedisplayImage();
    return false;
}

void frmView::SetPageLock(const std::string& key) {
    if (!g_szLockedKey.empty()) ReleasePageLock();
    if (Session().SetPageLock(key)) {
        g_szLockedKey = key;
        g_PageReadOnly = 0;
    } else {
        g_PageReadOnly = 1;
    }
}

void frmView::ReleasePageLock() {
    if (!g_szLockedKey.empty() && Session().IsProjectValid()) {
        Session().RemovePageLock(g_szLockedKey);
    }
    g_szLockedKey.clear();
}

}  // namespace viewer
