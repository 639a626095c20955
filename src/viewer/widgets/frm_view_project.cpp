// The window with and without a project, and the operations of its
// neighbouring panes (tag palette, query pane, printing), which show nothing
// until those panes are built.

#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QToolButton>

#include <QSignalBlocker>
#include <algorithm>

#include "annotations/annotation_edit.h"
#include "foundation/fields.h"
#include "foundation/number_text.h"
#include "platform/prompts.h"
#include "platform/rounding.h"
#include "platform/text_codec.h"
#include "viewer/widgets/frm_native.h"
#include "viewer/widgets/frm_view.h"
#include "viewer/widgets/toolbar_pictures.h"

namespace viewer {

void frmView::CloseTreeAndPage() {
    CloseProjectTree();
    ReleasePageLock();
    if (ImgObj) {
        ImgObj->FreeGraphics();
        ImgObj->FreeImage();
    }
}

void frmView::ClearProjectViews() {
    UnloadNativeForm();
    CloseQuickScroll();
    CloseTreeAndPage();
    ClearPane(ui.picImage);
    // The placeholder's text goes with the picture.
    ui.txtImage->clear();
    ShowPageArea(true);
    ui.lblStatus->clear();
    ui.txtStatus->clear();
    for (QScrollBar* bar : {ui.VScroll1, ui.HScroll1}) {
        const QSignalBlocker quiet(bar);
        bar->setValue(0);
    }
    page.szCurrentKey.clear();
    docPosition.g_szDocBkey.clear();
    docPosition.g_szDocEkey.clear();
    docPosition.g_iDocLvl = 0;
    docPosition.g_iDocPsn = 0;
    docPosition.g_iDocCnt = 0;
    zoom.g_Hscroll = zoom.g_Vscroll = 0;
    page.g_ValidImage = 0;
    projectTree.positionText.Clear();
    for (QToolButton* b : ui.NavTBar) b->hide();
    for (QToolButton* b : ui.MiscTBar) b->hide();
    panes.TagPal_Active = 0;
    query.Query_Active = 0;
    if (!query.QuerySrchPending) query.QuerySrchStr.clear();
    if (project.RedactMode > 0) ClearRedactMode(project.RedactMode);
    for (int i : {11, 12, 13, 14, 15, 16, 2, 3, 4}) ui.Tbar[static_cast<size_t>(i)]->hide();
    Session().QuesterClearSearch();
    ui.Tbar[19]->hide();
    ui.Tbar[20]->hide();
    query.bQuesterActive = false;
    Form_Resize();
    ui.mnuStsDate->setEnabled(true);
    setWindowTitle(QStringLiteral("Project Not Selected"));
    ClearServerQuery();
    Session().CleanUpTempFileList();
}

bool frmView::SelectNamedProject(const std::string& name) {
    ViewerSession& session = Session();
    login.szProjectName.clear();
    if (session.SelectProject(name)) {
        login.szProjectName = name;
        return true;
    }
    // The session tells its own refusals (no login, no name); one of the
    // server's, or no answer, is told here with its reason.
    const std::string what = "Unable to Select Project " + name;
    if (session.DisplayErrorMsgs() && session.LastError().rfind(what, 0) == 0)
        platform::BeepWarning(session.TakeFailureMessage(what));
    return false;
}

void frmView::ShowFirstPage() {
    ViewerSession& session = Session();
    if (page.szCurrentKey.empty()) {
        int level = 0;
        std::string first;
        if (session.NextKey("", level, first)) {
            page.szCurrentKey = first;
        } else if (!TellFailedRequest("Unable to Obtain Next Image Key")) {
            // Never a blank page without a word.
            WriteStatus("No Pages in Project " + session.ProjectName());
        }
    }
    if (!page.szCurrentKey.empty()) DisplayImage(page.szCurrentKey);
}

std::int32_t BoundaryLevelAt(const std::string& levels, int position) {
    return platform::RoundToInt(mVBUtil::Val(mVBUtil::GetField("|", levels, position)));
}

void frmView::LoadProjectViews() {
    ViewerSession& session = Session();
    const std::string levels = session.BndryLvls();
    const int levelCount = session.BndryNbr();
    docPosition.g_iDocLvl = BoundaryLevelAt(levels, levelCount);
    docPosition.ForgetBounds();
    page.g_szPageList.clear();
    page.g_szDocFldrDesc.clear();
    projectTree.positionText.Clear();
    project.g_iLimit3rdLvl = 0;
    query.bQuesterActive = false;
    project.NavButtonLevel.fill(0);
    for (size_t i = 2; i < ui.NavTBar.size(); ++i) ui.NavTBar[i]->hide();
    for (QToolButton* b : ui.MiscTBar) b->hide();
    PlaceFooterButton(ui.NavTBar[0], 1080);
    PlaceFooterButton(ui.NavTBar[1], 1320);
    ui.Tbar[19]->hide();
    for (int i = 11; i <= 16; ++i) ui.Tbar[static_cast<size_t>(i)]->hide();
    if (project.RedactMode > 0) ClearRedactMode(project.RedactMode);
    for (int i = 2; i <= 4; ++i) ui.Tbar[static_cast<size_t>(i)]->hide();
    std::int32_t anchor = 1800;
    if (session.IsProjectValid()) anchor = LoadProjectLevels(session, levels, levelCount);

    link.DDE_LINK = session.IsProjectValid() ? mVBUtil::TrimSpaces(session.BackWardLink()) : "";
    link.g_bBackLink = !link.DDE_LINK.empty();
    ui.mnuLink->setEnabled(link.g_bBackLink);
    ui.mnuLink->setChecked(link.g_bBackLink);
    link.Conc_Ctrls_Start = anchor;
    PlaceLinkButtons();
    if (!session.IsProjectValid()) return;

    query.SettleKeywords(true);
    ui.mnuStsDate->setEnabled((session.FullText() & 8) != 0);
    if (session.QuesterIsSupported()) ui.Tbar[19]->show();
    setWindowTitle(platform::ToQString("Project: " + session.ProjectName()));
}

std::int32_t frmView::LoadProjectLevels(ViewerSession& session, const std::string& levels,
                                        int levelCount) {
    const std::int32_t mask = run.lBehaviorFlags;
    project.g_RestrictAnnotations = session.AreAnnotationsRestricted()    ? 2
                                    : !session.AreAnnotationsOkToModify() ? 1
                                                                          : 0;
    if ((mask & 0x1F0) == 0x1F0) project.g_RestrictAnnotations = 2;
    project.g_RestrictTags = session.AreTagsRestricted() ? 2 : !session.AreTagsOkToModify() ? 1 : 0;
    if ((mask & 0x200) != 0) project.g_RestrictTags = 2;
    project.g_RestrictRedactions = session.AreRedactionsOkToModify() ? 0
                                   : session.AreRedactionsOkToView() ? 2
                                                                     : 1;
    if ((mask & 0x100) != 0) project.g_RestrictRedactions = 1;

    const bool tagsShown = project.g_RestrictTags != 2;
    const bool notesShown = project.g_RestrictAnnotations != 2;
    if (tagsShown) {
        ui.Tbar[2]->show();
        ui.Tbar[3]->show();
    }
    if (project.g_RestrictRedactions == 0) ui.Tbar[13]->show();
    if (project.g_RestrictAnnotations == 0) {
        for (int i : {4, 11, 12, 14, 15, 16}) ui.Tbar[static_cast<size_t>(i)]->show();
    }
    if (notesShown) ui.Tbar[4]->show();
    // A kind's feature bit takes its tool away.
    for (const annotations::KindTool& k : annotations::kKindTools) {
        if ((mask & KindFacts(k.kind).featureBit) != 0)
            ui.Tbar[static_cast<size_t>(k.tool)]->hide();
    }

    project.g_LimitNav =
        ((session.UserProjectSecurity() & 0x40000) != 0 || (mask & 0x8) != 0) ? 1 : 0;
    // Button pairs for the levels from the last position down to `lowest`.
    int lowest = 1;
    std::int32_t x = 1020;
    if (project.g_LimitNav == 1) {
        const std::int32_t limit = session.Bndry3rdParty();
        int p = levelCount;
        for (int i = 1; i <= levelCount; ++i) {
            if (BoundaryLevelAt(levels, i) == limit) {
                p = i;
                break;
            }
        }
        ui.MiscTBar[0]->hide();
        ui.MiscTBar[1]->hide();
        ui.Tbar[3]->hide();
        ui.Tbar[4]->hide();
        ui.Tbar[18]->hide();
        if (p >= levelCount) {
            PlaceFooterButton(ui.NavTBar[0], 120);
            PlaceFooterButton(ui.NavTBar[1], 480);
            return 900;
        }
        lowest = p + 1;
        project.g_iLimit3rdLvl = limit != 0 ? limit : BoundaryLevelAt(levels, p + 1);
        x = 120;
    } else {
        ui.Tbar[18]->show();
        PlaceFooterButton(ui.MiscTBar[0], 120);
        PlaceFooterButton(ui.MiscTBar[1], 480);
        ui.Tbar[3]->setVisible(tagsShown);
        ui.Tbar[4]->setVisible(notesShown);
    }
    const std::string descs = session.BndryDescs();
    const std::string icons = session.BndryIcons();
    int pairs = 0;
    for (int i = levelCount, slot = 2; i >= lowest && slot <= 9; --i, slot += 2, ++pairs) {
        const auto s = static_cast<size_t>(slot);
        project.NavButtonLevel[s] = project.NavButtonLevel[s + 1] = BoundaryLevelAt(levels, i);
        const std::string desc = mVBUtil::GetField("|", descs, i);
        const int icon = std::clamp(BoundaryLevelAt(icons, i), 0, 10);
        ui.NavTBar[s]->setToolTip(
            platform::ToQString("Previous " + desc + " (Right Click = Goto First)"));
        ui.NavTBar[s + 1]->setToolTip(
            platform::ToQString("Next " + desc + " (Right Click = Goto Last)"));
        ui.NavTBar[s]->setIcon(BoundaryPicture(false, icon));
        ui.NavTBar[s + 1]->setIcon(BoundaryPicture(true, icon));
    }
    // The coarsest level's pair stands leftmost, the page pair rightmost.
    for (int k = pairs; k >= 0; --k) {
        PlaceFooterButton(ui.NavTBar[static_cast<size_t>(2 * k)], x);
        PlaceFooterButton(ui.NavTBar[static_cast<size_t>(2 * k + 1)], x + 360);
        x += 780;
    }
    return x;
}

}  // namespace viewer
