// The boundary level the page on display starts, and its document date.

#include "foundation/widgets/dialog_factory.h"
#include "navigation/widgets/frm_prj_vw.h"
#include "platform/prompts.h"
#include "viewer/widgets/frm_mod_bndry.h"
#include "viewer/widgets/frm_view.h"

namespace viewer {

void frmView::ModifyBoundaryLevel() {
    if (page.g_ValidImage == 0) return;
    ViewerSession& session = Session();
    auto dialog = talq::DialogFactory<frmModBndry>::Create(this);
    dialog->BoundaryLevel = static_cast<std::int16_t>(replies.g_PageBndryLvl);
    dialog->LevelDescs = session.BndryDescs();
    dialog->LevelNumbers = session.BndryLvls();
    dialog->LevelCount = static_cast<std::int16_t>(session.BndryNbr());
    dialog->ImageKey = page.szCurrentKey;
    dialog->ClientAPI = &session;
    dialog->exec();
    if (dialog->Cancelled != 0) return;
    const std::int32_t level = dialog->BoundaryLevel;
    dialog.reset();
    if (level == replies.g_PageBndryLvl) return;
    // The level stored and the page read again wait one time-out together.
    ViewerSession::Action action(session);

    // The session's own box would call a level whose answer was lost a
    // failure: the page read again below tells whether it was stored.
    const bool showing = session.DisplayErrorMsgs();
    session.SetDisplayErrorMsgs(false);
    const bool set = session.SetImageBndryLevel(page.szCurrentKey, level);
    const bool lost = !set && session.ReplyLost();
    // Taken before the page read again asks anything more.
    const std::string error =
        set || !showing ? "" : session.TakeFailureMessage("Unable to set Boundary Flag");
    session.SetDisplayErrorMsgs(showing);
    if (!set && !lost && showing) platform::BeepWarning(error);
    // Units have moved: the document, its place, the confining unit and the
    // stored position lists are all worked out again.
    docPosition.ForgetBounds();
    docPosition.g_DocBoundsStale = true;
    page.g_szPageList.clear();
    projectTree.positionText.Clear();
    const std::string key = page.szCurrentKey;
    DisplayImage(key);
    if (lost && showing && replies.g_PageBndryLvl != level) platform::BeepWarning(error);
    if (navigation::frmPrjVw* tree = ShownProjectTree()) tree->SyncTreeView(key);
}

}  // namespace viewer
