#pragma once
// The page on display: its key, what the engine made of it, what the server
// said of it, and its annotation layers.

#include <array>
#include <cstdint>
#include <string>

#include "annotations/annotation_layers.h"
#include "annotations/annotation_rec.h"

namespace viewer {

struct PageOnDisplay {
    std::string szCurrentKey;  // elsewhere: CurrentImageKey
    // 0 no page, 1 a page, 2 a placeholder (elsewhere: ImageDisplayState).
    std::int16_t g_ValidImage = 0;
    std::int32_t g_ImgWidth = 0, g_ImgHeight = 0, g_ImgBpp = 0, g_ImgDPI = 0;
    std::int32_t g_Rotation = 0;
    float g_ViewScaleFactor = 1.0f;
    std::string g_szLockedKey;
    // The session's lock epoch when the page's lock was last known.
    std::uint64_t lockEpoch = 0;
    std::int32_t g_PageReadOnly = 0, g_PageRestricted = 0;
    // The page as shown would be editable with its lock: locking is on and
    // neither restricted nor its lists or information failed. Only such a
    // page turns editable when its lock is had later.
    bool editableWithLock = false;
    // Why the lock the page held was refused on a new connection, until the
    // reviewer's next change of the page tells it.
    std::string lockLostUntold;
    // The session's lock epoch when the lists on display were read.
    std::uint64_t listsEpoch = 0;
    std::string statusText;  // as last written
    // What the page is made of did not come from the server: a click on the
    // page asks for it again.
    bool fetchFailed = false;
    // Why it did not come, until the display tells it.
    std::string untoldFetchFailure;
    bool g_NativeBlocked = false;
    std::string g_szWordList;
    TalqClientAPI_Header::WordBoxes g_WordBoxes;  // g_szWordList's boxes, read once per page
    std::string g_szNativeFile, g_szDocFldrDesc, g_szPageList;
};

// The page's annotation lists, one per kind.
using PageAnnotations = PageLists;

}  // namespace viewer
