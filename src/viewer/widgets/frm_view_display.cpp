// The one road by which a key reaches the screen, the page lock and the
// status line.

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>

#include <cctype>
#include <utility>

#include "annotations/annotation_rec.h"
#include "foundation/big_string.h"
#include "foundation/fields.h"
#include "foundation/number_text.h"
#include "foundation/text_match.h"
#include "navigation/widgets/frm_prj_vw.h"
#include "platform/prompts.h"
#include "platform/text_codec.h"
#include "server/talq_client_api.h"
#include "viewer/widgets/frm_view.h"

namespace viewer {
namespace {

// What an image that does not open is called in the failure's box.
std::string UndecodedPageName(const std::string& key) {
    return "the image of page " + key +
           " (its stored file is damaged or of a kind the viewer cannot read: ask the "
           "administrator to store the page's image again)";
}

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
    page.statusText = status;
    const QString text = platform::ToQString(status);
    ui.txtStatus->setPlainText(text);
    ui.lblStatus->setText(text);
}

void frmView::ShowPageArea(bool picture) {
    ui.picImage->setVisible(picture);
    ui.VScroll1->setVisible(picture);
    ui.HScroll1->setVisible(picture);
    ui.txtImage->setVisible(!picture);
    if (picture) ui.txtImage->clear();
}

bool frmView::FailPage(std::string& status, const char* mark) {
    status += mark;
    WriteStatus(status);
    // Taken before the lock's release asks anything more. A server that
    // cannot reach its system fails every page alike: that is told once,
    // until it serves again.
    ViewerSession& session = Session();
    if (page.fetchFailed && session.DisplayErrorMsgs()) {
        const bool database =
            ViewerSession::ServerWords(session.LastError()).rfind("Database Error", 0) == 0;
        page.untoldFetchFailure =
            database ? session.TakeUntoldFailure() : session.TakeFailureReason();
    }
    ReleasePageLock();
    if (panes.TagPal_Active != 0) UpdateTagPalette("");
    return false;
}

bool frmView::DisplayImage(const std::string& key) {
    // On a dead link the page's many requests give up within one time-out.
    ViewerSession::Action action(Session());
    // Only this display's own failures are told.
    Session().TakeUntoldTransportError();
    page.untoldFetchFailure.clear();
    const bool shown = ShowPage(key);
    // The place of a page not shown is not known: the next display counts
    // it afresh, never one step from it.
    if (!shown) docPosition.g_iDocPsn = 0;
    const std::string fetch = std::exchange(page.untoldFetchFailure, std::string());
    if (!fetch.empty() && Session().DisplayErrorMsgs()) {
        platform::BeepWarning("Unable to Display ImageKey " + key + "\n" + fetch);
        return shown;
    }
    // A server out of reach, or one that cannot reach its system, fails the
    // page's requests alike: the marks alone would hide why, and one message
    // says it for all of them.
    TellUntoldFailure("");
    return shown;
}

bool frmView::TellUntoldFailure(const std::string& what) {
    ViewerSession& session = Session();
    if (!session.DisplayErrorMsgs()) return false;
    const std::string reason = session.TakeUntoldFailure();
    if (reason.empty()) return false;
    platform::BeepWarning(what.empty() ? reason : what + "\n" + reason);
    return true;
}

std::string frmView::TakeFailureReason() {
    return Session().TakeFailureReason();
}

bool frmView::TellSessionEnd() {
    ViewerSession& session = Session();
    if (!session.DisplayErrorMsgs()) return false;
    const std::string why = session.TakeUntoldSessionEnd();
    if (why.empty()) return false;
    platform::BeepWarning(why);
    return true;
}

bool frmView::TellFailedRequest(const std::string& what) {
    if (!Session().DisplayErrorMsgs()) return false;
    const std::string reason = TakeFailureReason();
    if (reason.empty()) return false;
    platform::BeepWarning(what + "\n" + reason);
    return true;
}

bool frmView::ShowPage(const std::string& key) {
    ViewerSession& session = Session();
    ++displayCount_;
    ReleasePageLock();
    page.szCurrentKey = key;
    std::string status = key;
    if (ImgObj) {
        ImgObj->FreeGraphics();
        ImgObj->FreeImage();
    }
    ClearPane(ui.picImage);
    ClearPane(ui.picZoom2);
    zoom.g_Hscroll = zoom.g_Vscroll = 0;
    page.g_ValidImage = 0;
    page.fetchFailed = false;
    page.g_PageReadOnly = 0;
    page.editableWithLock = false;
    page.lockLostUntold.clear();
    page.g_PageRestricted = 0;
    for (KindList& k : pageAnnotations) k.count = 0;
    page.g_szWordList.clear();
    page.g_WordBoxes.clear();
    replies.g_WordListNums = {};
    replies.PageOcrText.clear();
    page.g_NativeBlocked = false;
    ui.Tbar[20]->hide();
    setWindowTitle(platform::ToQString("Project: " + session.ProjectName()));

    // A new login empties the session's temporary folder, and this name with it.
    if (run.szTempFname.empty() || !FolderExists(run.szTempFname)) {
        run.szTempFname = session.CreateLocalTempFile(1);
    }
    DeleteFileIfThere(run.szTempFname);

    if ((session.SystemFlags() & 0x400) == 0) {
        SetPageLock(key);
        // Read-only only when the server refused the page: a lock that got
        // no answer is asked for again by the change that needs it.
        if (page.g_PageReadOnly != 0 && TalqClientAPI::LockRefused(session.LastError())) {
            status += " [READ ONLY]";
        } else {
            page.g_PageReadOnly = 0;
        }
    }
    const bool infoOk =
        session.GetImagePageInfo(key, replies.g_PageBndryLvl, page.g_Rotation,
                                 page.g_PageRestricted, replies.g_szPageInfo, page.g_szNativeFile);
    if (!infoOk) page.g_szNativeFile.clear();
    if (settings.StickyRotate) page.g_Rotation = settings.g_StickyRotation;

    PageImage image;
    image.placeholder = session.IsPlaceHolderImage();
    bool fromTextBox = false, fromRenderedText = false;
    if (image.placeholder) {
        page.g_Rotation = 0;
        std::string ocr;
        if (page.g_PageRestricted == 0 && session.GetPageOCR(page.szCurrentKey, ocr)) {
            if (settings.UseTextBox) {
                if (ui.picImage->isVisible()) ShowPageArea(false);
                ui.txtImage->setPlainText(platform::ToQString(ocr));
                fromTextBox = true;
            } else {
                if (ui.picImage->isHidden()) ShowPageArea(true);
                image.bytes = session.GetTextImage(ocr);
                fromRenderedText = !image.bytes.empty();
            }
        }
    }
    if (!fromRenderedText) {
        if (!fromTextBox && ui.picImage->isHidden()) ShowPageArea(true);
        image = session.GetImage(key, settings.g_ViewQuality);
        if (image.bytes.empty()) {
            page.fetchFailed = true;
            return FailPage(status, " *** Bad Image ***");
        }
    }
    const bool placeholder = image.placeholder;
    page.g_ViewScaleFactor = placeholder ? 1.0f : image.scale;

    // The page opens from the bytes as they came: no copy of it on disk. A
    // failure names the page, never a temporary file the user cannot mend.
    const bool opened = ImgObj->OpenImageBytes(image.bytes, UndecodedPageName(key));
    image.bytes.clear();
    if (!opened) {
        FailPage(status, " *** Error Opening Image ***");
        if (session.DisplayErrorMsgs()) {
            platform::Beep();
            platform::MsgBox(ImgObj->GetLastError(), platform::vbCritical, "Warning");
        }
        return false;
    }
    if (page.g_PageRestricted != 0) {
        ReleasePageLock();
        page.g_PageReadOnly = 1;
        page.g_NativeBlocked = true;
    }
    if (page.g_Rotation != 0) ImgObj->RotateImage(page.g_Rotation);
    session.GetWordList(key, page.g_szWordList, replies.g_WordListNums);
    page.g_WordBoxes = TalqClientAPI_Header::ParseWordBoxes(page.g_szWordList);

    AnnotationTexts lists;
    const bool listsOk = session.GetAllAnnotations(key, lists);
    TakePageLists(lists);
    const bool seesThroughRedactions = session.AreRedactionsOkToView();
    if (!listsOk || !infoOk) {
        // Unknown redactions or restriction: nothing may be changed or
        // opened, and a user who may not see through redactions sees nothing.
        ReleasePageLock();
        page.g_PageReadOnly = 1;
        page.g_NativeBlocked = true;
        if (!seesThroughRedactions) {
            ImgObj->FreeImage();
            page.fetchFailed = true;
            return FailPage(status, " *** Error Retrieving Image ***");
        }
    }
    page.g_ImgWidth = ImgObj->ImgWidth();
    page.g_ImgHeight = ImgObj->ImgHeight();
    page.g_ImgBpp = ImgObj->BitsPerPixel();
    page.g_ImgDPI = ImgObj->Xresolution();

    ClearBackBuffer(ui.picImage2, ui.picImage);
    if (!ImgObj->SetGraphicsOutput(&ui.picImage2)) {
        status += " *** Error Displaying Image ***";
        setWindowTitle(platform::ToQString(status));
        if (session.DisplayErrorMsgs()) {
            platform::Beep();
            platform::MsgBox(ImgObj->GetLastError(), platform::vbCritical, "Warning");
        }
        ImgObj->FreeImage();
        DeleteFileIfThere(run.szTempFname);
        ReleasePageLock();
        return false;
    }
    if (page.g_NativeBlocked) page.g_szNativeFile.clear();
    page.g_ValidImage = placeholder ? 2 : 1;

    SetImageScale(zoom.g_ScaleMode);
    RedisplayImage();
    // A JPEG page is decoded at its first draw: one whose body does not
    // decode leaves the engine without an image and fails like any file
    // that does not open, never as a blank page.
    if (ImgObj->ImgWidth() == 0) {
        page.g_ValidImage = 0;
        ClearPane(ui.picImage);
        FailPage(status, " *** Error Opening Image ***");
        if (session.DisplayErrorMsgs()) {
            platform::Beep();
            platform::MsgBox(ImgObj->GetLastError(), platform::vbCritical, "Warning");
        }
        DeleteFileIfThere(run.szTempFname);
        return false;
    }
    if (zoom.ZoomWin_Active != 0) RedisplayZoomImage();

    page.editableWithLock =
        (session.SystemFlags() & 0x400) == 0 && listsOk && infoOk && page.g_PageRestricted == 0;
    // A lock refused so that it is most likely the reviewer's own earlier
    // connection's is followed, now that the page is known to want it.
    if (page.g_PageReadOnly != 0 && page.editableWithLock) FollowEarlierLock(key);

    RefreshDocumentBounds(key);
    AppendStatusDetails(key, status);
    WriteStatus(status);
    if (panes.TagPal_Active != 0) UpdateTagPalette(key);
    if (!page.g_szNativeFile.empty()) ui.Tbar[20]->show();
    if (navigation::frmPrjVw* tree = ShownProjectTree()) tree->FocusTreeView(key);
    return true;
}

void frmView::RefreshDocumentBounds(const std::string& key) {
    ViewerSession& session = Session();
    if (docPosition.g_iDocLvl < 1) {
        docPosition.g_szDocBkey = docPosition.g_szDocEkey = docPosition.g_sz3rdBkey =
            docPosition.g_sz3rdEkey = key;
        return;
    }
    const bool inside = !docPosition.g_DocBoundsStale &&
                        mVBUtil::CompareTextNoCase(key, docPosition.g_szDocBkey) >= 0 &&
                        mVBUtil::CompareTextNoCase(key, docPosition.g_szDocEkey) <= 0;
    if (inside) return;
    std::string begKey, endKey;
    if (!session.GetBndryBegEndKey(key, docPosition.g_iDocLvl, begKey, endKey)) return;
    docPosition.g_szDocBkey = begKey;
    docPosition.g_szDocEkey = endKey;
    docPosition.g_DocBoundsStale = false;
    // A new document: its position is counted afresh, never carried over.
    // A new document: its position and count are taken afresh, never carried
    // over, also when its page list cannot be read.
    docPosition.g_iDocPsn = 0;
    docPosition.g_iDocCnt = 0;
    page.g_szPageList.clear();
    if (settings.g_CalcDocPsn >= 1) {
        if (!session.GetBndryScrollList(key, 0, page.g_szPageList, replies.g_iDocFlags,
                                        docPosition.g_iDocCnt, docPosition.g_iDocPsn) ||
            replies.g_iDocFlags > 0) {
            docPosition.g_iDocCnt = 0;
            docPosition.g_iDocPsn = 0;
        }
    }

    page.g_szDocFldrDesc.clear();
    const std::string levels = session.BndryLvls();
    for (int i = session.BndryNbr(); i >= 1; --i) {
        const std::int32_t level = BoundaryLevelAt(levels, i);
        if (level <= 0) continue;
        page.g_szDocFldrDesc = session.GetFolderDescription(docPosition.g_szDocBkey, level);
        if (!page.g_szDocFldrDesc.empty()) break;
    }

    std::int32_t third =
        project.g_iLimit3rdLvl != 0 ? project.g_iLimit3rdLvl : session.Bndry3rdParty();
    if (third == 0) third = docPosition.g_iDocLvl;
    if (third == docPosition.g_iDocLvl ||
        !session.GetBndryBegEndKey(key, third, docPosition.g_sz3rdBkey, docPosition.g_sz3rdEkey)) {
        docPosition.g_sz3rdBkey = docPosition.g_szDocBkey;
        docPosition.g_sz3rdEkey = docPosition.g_szDocEkey;
    }
}

void frmView::AppendStatusDetails(const std::string& key, std::string& status) {
    ViewerSession& session = Session();
    if (docPosition.g_iDocCnt > 0) {
        if (docPosition.g_iDocPsn == 0) {
            int position = 1;
            for (int n = 0; n < docPosition.g_iDocCnt && position != -1; ++n) {
                const std::string token = mVBUtil::NextToken(",", page.g_szPageList, position);
                ++docPosition.g_iDocPsn;
                if (mVBUtil::CompareTextNoCase(token, key) >= 0) break;
            }
        }
        status += " (Page " + std::to_string(docPosition.g_iDocPsn) + " of " +
                  std::to_string(docPosition.g_iDocCnt) + ")";
    }
    if (settings.g_CalcDocPsn == 2) {
        std::string position;
        BuildFullPositionText(docPosition.g_szDocBkey, docPosition.g_szDocEkey, position);
        status += "  " + position;
    }
    if ((settings.g_StatusLine & 8) != 0 && (session.FullText() & 8) != 0) {
        // A date that could not be read is no page without one.
        std::string date;
        status += "  DocDate: " + (session.ReadPageDate(page.szCurrentKey, date)
                                       ? FormatPageDate(date, settings.DateFormat)
                                       : std::string("Not Read"));
    }
    if (!page.g_szDocFldrDesc.empty() && (settings.g_StatusLine & 1) != 0)
        status += kCrLf + page.g_szDocFldrDesc;
    if ((settings.g_StatusLine & 4) != 0 && !replies.g_szPageInfo.empty()) {
        const std::string sep(1, TalqClientAPI_Header::kListSep);
        const std::string descs = session.InfoDescs();
        clsBigString entries;
        bool any = false;
        const int n = mVBUtil::CountFields(sep, replies.g_szPageInfo);
        for (int i = 1; i <= n; ++i) {
            const std::string value = mVBUtil::GetField(sep, replies.g_szPageInfo, i);
            if (value.empty()) continue;
            if (any) entries.AddStr(", ");
            entries.AddStr(mVBUtil::GetField("|", descs, i) + ": " + value);
            any = true;
        }
        if (any) status += kCrLf + entries.GetStr();
    }
    if ((settings.g_StatusLine & 2) != 0) {
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

}  // namespace viewer
