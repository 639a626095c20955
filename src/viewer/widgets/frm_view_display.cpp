// The one road by which a key reaches the screen, the page lock and the
// status line.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>

#include <cctype>
#include <fstream>

#include "annotations/annotation_rec.h"
#include "foundation/big_string.h"
#include "foundation/fields.h"
#include "foundation/number_text.h"
#include "foundation/text_match.h"
#include "platform/prompts.h"
#include "platform/text_codec.h"
#include "viewer/widgets/frm_view.h"

namespace viewer {
namespace {

const char* const kCrLf = "\r\n";

bool IsEightDigits(const std::string& d) {
    if (d.size() != 8) return false;
    for (char c : d) {
        if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    }
    return true;
}

// A stored YYYYMMDD date in the chosen format; other replies as received.
std::string FormatPageDate(const std::string& d, int format) {
    if (d.empty()) return "None";
    if (!IsEightDigits(d)) return d;
    const std::string y = d.substr(0, 4), m = d.substr(4, 2), day = d.substr(6, 2);
    switch (format) {
        case 1:
            return m + "/" + day + "/" + y;
        case 2:
            return y + "/" + m + "/" + day;
        case 3:
            return day + "/" + m + "/" + y;
        default:
            return d;
    }
}

bool FolderExists(const std::string& path) {
    return QFileInfo(platform::ToQString(path)).dir().exists();
}

void DeleteFileIfThere(const std::string& path) {
    if (frmView::FileExist(path)) QFile::remove(platform::ToQString(path));
}

}  // namespace

bool frmView::FileExist(const std::string& path) {
    return !path.empty() && QFile::exists(platform::ToQString(path));
}

void frmView::WriteStatus(const std::string& status) {
    const QString text = platform::ToQString(status);
    txtStatus->setPlainText(text);
    lblStatus->setText(text);
}

void frmView::ShowPageArea(bool picture) {
    picImage->setVisible(picture);
    VScroll1->setVisible(picture);
    HScroll1->setVisible(picture);
    txtImage->setVisible(!picture);
    if (picture) txtImage->clear();
}

bool frmView::FailPage(std::string& status, const char* mark) {
    status += mark;
    WriteStatus(status);
    ReleasePageLock();
    if (TagPal_Active != 0) UpdateTagPalette("");
    return false;
}

bool frmView::DisplayImage(const std::string& key) {
    ViewerSession& session = Session();
    ReleasePageLock();
    szCurrentKey = key;
    std::string status = key;
    if (ImgObj) {
        ImgObj->FreeGraphics();
        ImgObj->FreeImage();
    }
    ClearPane(picImage);
    ClearPane(picZoom2);
    g_Hscroll = g_Vscroll = 0;
    g_ValidImage = 0;
    g_PageReadOnly = 0;
    g_PageRestricted = 0;
    RedactCount = HiLiteCount = StickyCount = TextNoteCount = ClipCount = MarkUpCount = 0;
    g_szWordList.clear();
    g_WordBoxes.clear();
    g_WordListNums = {};
    PageOcrText.clear();
    g_NativeBlocked = false;
    setWindowTitle(platform::ToQString("Project: " + session.ProjectName()));

    // A new login empties the session's temporary folder, and this name with it.
    if (szTempFname.empty() || !FolderExists(szTempFname)) {
        szTempFname = session.CreateLocalTempFile(1);
    }
    DeleteFileIfThere(szTempFname);

    if ((session.SystemFlags() & 0x400) == 0) {
        SetPageLock(key);
        if (g_PageReadOnly != 0) status += " [READ ONLY]";
    }
    const bool infoOk = session.GetImagePageInfo(key, g_PageBndryLvl, g_Rotation, g_PageRestricted,
                                                 g_szPageInfo, g_szNativeFile);
    if (!infoOk) g_szNativeFile.clear();
    if (StickyRotate) g_Rotation = g_StickyRotation;

    PageImage page;
    page.placeholder = session.IsPlaceHolderImage();
    bool fromTextBox = false, fromRenderedText = false;
    if (page.placeholder) {
        g_Rotation = 0;
        std::string ocr;
        if (g_PageRestricted == 0 && session.GetPageOCR(szCurrentKey, ocr)) {
            if (UseTextBox) {
                if (picImage->isVisible()) ShowPageArea(false);
                txtImage->setPlainText(platform::ToQString(ocr));
                fromTextBox = true;
            } else {
                if (picImage->isHidden()) ShowPageArea(true);
                page.bytes = session.GetTextImage(ocr);
                fromRenderedText = !page.bytes.empty();
            }
        }
    }
    if (!fromRenderedText) {
        if (!fromTextBox && picImage->isHidden()) ShowPageArea(true);
        page = session.GetImage(key, g_ViewQuality);
        if (page.bytes.empty()) return FailPage(status, " *** Bad Image ***");
    }
    const bool placeholder = page.placeholder;
    g_ViewScaleFactor = placeholder ? 1.0f : page.scale;

    {
        std::ofstream out;
        if (!szTempFname.empty()) {
            out.open(platform::ToQString(szTempFname).toLocal8Bit().toStdString(),
                     std::ios::binary | std::ios::trunc);
        }
        if (!out) {
            FailPage(status, " *** Error Retrieving Image ***");
            platform::Beep();
            platform::MsgBox("Cannot Create Temporary File\n" + szTempFname, platform::vbCritical,
                             "Error");
            return false;
        }
        out.write(page.bytes.data(), static_cast<std::streamsize>(page.bytes.size()));
        page.bytes.clear();
    }

    if (!ImgObj->OpenImageFile(szTempFname)) {
        FailPage(status, " *** Error Opening Image ***");
        if (session.DisplayErrorMsgs()) {
            platform::Beep();
            platform::MsgBox(ImgObj->GetLastError(), platform::vbCritical, "Warning");
        }
        return false;
    }
    if (g_PageRestricted != 0) {
        ReleasePageLock();
        g_PageReadOnly = 1;
        g_NativeBlocked = true;
    }
    if (g_Rotation != 0) ImgObj->RotateImage(g_Rotation);
    session.GetWordList(key, g_szWordList, g_WordListNums);
    g_WordBoxes = TalqClientAPI_Header::ParseWordBoxes(g_szWordList);

    std::string lists[6];
    const bool listsOk = session.GetAllAnnotations(key, lists);
    AnnotationList* targets[6] = {&RedactList,   &HiLiteList, &StickyList,
                                  &TextNoteList, &ClipList,   &MarkUpList};
    int* counts[6] = {&RedactCount,   &HiLiteCount, &StickyCount,
                      &TextNoteCount, &ClipCount,   &MarkUpCount};
    for (int i = 0; i < 6; ++i) {
        if (!lists[i].empty()) {
            TalqClientAPI_Header::ParseAnnotationList(lists[i], *targets[i], *counts[i]);
        }
    }
    const bool seesThroughRedactions = session.AreRedactionsOkToView();
    if (!listsOk || !infoOk) {
        // Unknown redactions or restriction: nothing may be changed or
        // opened, and a user who may not see through redactions sees nothing.
        ReleasePageLock();
        g_PageReadOnly = 1;
        g_NativeBlocked = true;
        if (!seesThroughRedactions) {
            ImgObj->FreeImage();
            return FailPage(status, " *** Error Retrieving Image ***");
        }
    }
    if (RedactCount > 0 && !seesThroughRedactions) g_NativeBlocked = true;
    g_ImgWidth = ImgObj->ImgWidth();
    g_ImgHeight = ImgObj->ImgHeight();
    g_ImgBpp = ImgObj->BitsPerPixel();
    g_ImgDPI = ImgObj->Xresolution();

    ClearBackBuffer(picImage2, picImage);
    if (!ImgObj->SetGraphicsOutput(&picImage2)) {
        status += " *** Error Displaying Image ***";
        setWindowTitle(platform::ToQString(status));
        if (session.DisplayErrorMsgs()) {
            platform::Beep();
            platform::MsgBox(ImgObj->GetLastError(), platform::vbCritical, "Warning");
        }
        ImgObj->FreeImage();
        DeleteFileIfThere(szTempFname);
        ReleasePageLock();
        return false;
    }
    if (g_NativeBlocked) g_szNativeFile.clear();
    g_ValidImage = placeholder ? 2 : 1;

    SetImageScale(g_ScaleMode);
    RedisplayImage();
    if (ZoomWin_Active != 0) RedisplayZoomImage();

    RefreshDocumentBounds(key);
    AppendStatusDetails(key, status);
    WriteStatus(status);
    if (TagPal_Active != 0) UpdateTagPalette(key);
    return true;
}

void frmView::RefreshDocumentBounds(const std::string& key) {
    ViewerSession& session = Session();
    if (g_iDocLvl < 1) {
        g_szDocBkey = g_szDocEkey = g_sz3rdBkey = g_sz3rdEkey = key;
        return;
    }
    const bool inside = !g_DocBoundsStale && mVBUtil::CompareTextNoCase(key, g_szDocBkey) >= 0 &&
                        mVBUtil::CompareTextNoCase(key, g_szDocEkey) <= 0;
    if (inside) return;
    std::string begKey, endKey;
    if (!session.GetBndryBegEndKey(key, g_iDocLvl, begKey, endKey)) return;
    g_szDocBkey = begKey;
    g_szDocEkey = endKey;
    g_DocBoundsStale = false;
    // A new document: its position is counted afresh, never carried over.
    g_iDocPsn = 0;
    if (g_CalcDocPsn < 1) {
        g_szPageList.clear();
        g_iDocCnt = 0;
    } else {
        session.GetBndryScrollList(key, 0, g_szPageList, g_iDocFlags, g_iDocCnt, g_iDocPsn);
        if (g_iDocFlags > 0) g_iDocCnt = 0;
    }

    g_szDocFldrDesc.clear();
    const std::string levels = session.BndryLvls();
    for (int i = session.BndryNbr(); i >= 1; --i) {
        const std::int32_t level = BoundaryLevelAt(levels, i);
        if (level <= 0) continue;
        g_szDocFldrDesc = session.GetFolderDescription(g_szDocBkey, level);
        if (!g_szDocFldrDesc.empty()) break;
    }

    std::int32_t third = g_iLimit3rdLvl != 0 ? g_iLimit3rdLvl : session.Bndry3rdParty();
    if (third == 0) third = g_iDocLvl;
    if (third == g_iDocLvl || !session.GetBndryBegEndKey(key, third, g_sz3rdBkey, g_sz3rdEkey)) {
        g_sz3rdBkey = g_szDocBkey;
        g_sz3rdEkey = g_szDocEkey;
    }
}

void frmView::AppendStatusDetails(const std::string& key, std::string& status) {
    ViewerSession& session = Session();
    if (g_iDocCnt > 0) {
        if (g_iDocPsn == 0) {
            int position = 1;
            for (int n = 0; n < g_iDocCnt && position != -1; ++n) {
                const std::string token = mVBUtil::NextToken(",", g_szPageList, position);
                ++g_iDocPsn;
                if (mVBUtil::CompareTextNoCase(token, key) >= 0) break;
            }
        }
        status += " (Page " + std::to_string(g_iDocPsn) + " of " + std::to_string(g_iDocCnt) + ")";
    }
    if (g_CalcDocPsn == 2) {
        std::string position;
        BuildFullPositionText(g_szDocBkey, g_szDocEkey, position);
        status += "  " + position;
    }
    if ((g_StatusLine & 8) != 0 && (session.FullText() & 8) != 0) {
        status += "  DocDate: " + FormatPageDate(session.GetPageDate(szCurrentKey), DateFormat);
    }
    if (!g_szDocFldrDesc.empty() && (g_StatusLine & 1) != 0) status += kCrLf + g_szDocFldrDesc;
    if ((g_StatusLine & 4) != 0 && !g_szPageInfo.empty()) {
        const std::string sep(1, TalqClientAPI_Header::kListSep);
        const std::string descs = session.InfoDescs();
        clsBigString entries;
        bool any = false;
        const int n = mVBUtil::CountFields(sep, g_szPageInfo);
        for (int i = 1; i <= n; ++i) {
            const std::string value = mVBUtil::GetField(sep, g_szPageInfo, i);
            if (value.empty()) continue;
            if (any) entries.AddStr(", ");
            entries.AddStr(mVBUtil::GetField("|", descs, i) + ": " + value);
            any = true;
        }
        if (any) status += kCrLf + entries.GetStr();
    }
    if ((g_StatusLine & 2) != 0) {
        std::string list;
        const std::int32_t n = session.GetImageTags(key, list);
        std::string tags;
        int position = 1;
        for (int i = 0; i < n && position != -1; ++i) {
            if (i > 0) tags += ", ";
            tags += mVBUtil::NextToken(",", list, position);
        }
        if (!tags.empty()) status += kCrLf + tags;
    }
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
