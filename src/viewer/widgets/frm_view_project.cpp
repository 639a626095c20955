// The window with and without a project, and the operations of its
// neighbouring panes (tag palette, query pane, position text, printing),
// which show nothing until those panes are built.

#include <QAction>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalBlocker>

#include "foundation/fields.h"
#include "foundation/number_text.h"
#include "platform/text_codec.h"
#include "viewer/widgets/frm_view.h"

namespace viewer {

void frmView::CloseTreeAndPage() {
    if (dlgPrjVw != nullptr) {
        dlgPrjVw->close();
        dlgPrjVw->deleteLater();
        dlgPrjVw = nullptr;
    }
    PrjView_Active = 0;
    ReleasePageLock();
    if (ImgObj) {
        ImgObj->FreeGraphics();
        ImgObj->FreeImage();
    }
}

void frmView::ClearProjectViews() {
    CloseTreeAndPage();
    ClearPane(picImage);
    lblStatus->clear();
    txtStatus->clear();
    for (QScrollBar* bar : {VScroll1, HScroll1}) {
        const QSignalBlocker quiet(bar);
        bar->setValue(0);
    }
    szCurrentKey.clear();
    g_szDocBkey.clear();
    g_szDocEkey.clear();
    g_iDocLvl = 0;
    g_iDocPsn = 0;
    g_iDocCnt = 0;
    g_Hscroll = g_Vscroll = 0;
    g_ValidImage = 0;
    TagPal_Active = 0;
    Query_Active = 0;
    RedactMode = 0;
    bQuesterActive = false;
    Form_Resize();
    mnuStsDate->setEnabled(true);
    setWindowTitle(QStringLiteral("Project Not Selected"));
    ClearServerQuery();
}

void frmView::LoadProjectViews() {
    const std::string levels = Session().BndryLvls();
    g_iDocLvl = static_cast<std::int32_t>(
        mVBUtil::Val(mVBUtil::GetField("|", levels, Session().BndryNbr())));
    g_szDocBkey.clear();
    g_szDocEkey.clear();
    g_sz3rdBkey.clear();
    g_sz3rdEkey.clear();
    g_iDocPsn = 0;
    g_iDocCnt = 0;
    g_iLimit3rdLvl = 0;
    bQuesterActive = false;
    RedactMode = 0;
    if (!Session().IsProjectValid()) return;

    DDE_LINK = mVBUtil::TrimSpaces(Session().BackWardLink());
    g_bBackLink = !DDE_LINK.empty();
    mnuLink->setEnabled(g_bBackLink);
    mnuLink->setChecked(g_bBackLink);
    setWindowTitle(platform::ToQString("Project: " + Session().ProjectName()));
}

void frmView::InitTagPalette() {
    if (RequestInProcess() || !Session().IsProjectValid()) return;
}

void frmView::ResizeTagPalette() {
    if (g_TagPalInitialized != 1) InitTagPalette();
}

void frmView::UpdateTagPalette(const std::string&) {}

void frmView::BuildFullPositionText(const std::string&, const std::string&,
                                    std::string& positionText) {
    positionText.clear();
}

void frmView::LoadQueryList() {}

void frmView::PrintSelection() {}

void frmView::ClearServerQuery() {}

}  // namespace viewer
