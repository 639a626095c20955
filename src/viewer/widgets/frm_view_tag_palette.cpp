// The tag palette pane: its rows from the project's palette, each showing
// whether its tag is on for the page on display, a click turning the tag on
// or off on the server, and the buttons that open the editor or close the pane.

#include <QScrollBar>
#include <QToolButton>

#include "annotations/widgets/frm_tag_pal.h"
#include "annotations/widgets/tag_palette_rows.h"
#include "foundation/fields.h"
#include "foundation/text_match.h"
#include "foundation/widgets/dialog_factory.h"
#include "platform/prompts.h"
#include "server/talq_client_api.h"
#include "viewer/widgets/frm_view.h"

namespace viewer {

bool frmView::InitTagPalette() {
    if (RequestInProcess() || !Session().IsProjectValid()) return true;
    if (project.g_TagPalInitialized != 1) {
        ui.TagRows->CreateRows();
        project.g_TagPalInitialized = 1;
    }
    ui.TagRows->VScroll2->hide();
    Session().TakeUntoldTransportError();
    std::string list;
    // A palette that did not come is no rows, as one the project holds
    // back, but says why; rows kept from before could be clicked on states
    // of another page.
    std::string reason;
    if (!Session().ReadTagPalette(list)) reason = TakeFailureReason();
    tagPalette.rows.Load(list, mVBUtil::CountFields(",", list));
    ui.TagRows->FillRows(tagPalette.rows);
    if (reason.empty()) return true;
    if (Session().DisplayErrorMsgs())
        platform::BeepWarning("Unable to Obtain Tag Palette\n" + reason);
    return false;
}

void frmView::ResizeTagPalette() {
    if (RequestInProcess() || !Session().IsProjectValid()) return;
    if (project.g_TagPalInitialized != 1) InitTagPalette();
    const annotations::TagPaletteLayout layout =
        annotations::LayoutTagPalette(tagPalette.rows.Count(), ui.TagRows->InnerWidth(),
                                      ui.TagRows->InnerHeight(), ui.TagRows->BarWidth());
    tagPalette.TagRowsFit = layout.rowsFit;
    ui.TagRows->PlaceRows(tagPalette.rows, layout);
}

void frmView::VScroll2_Change() {
    ui.TagRows->ScrollRows(tagPalette.rows);
}

void frmView::UpdateTagPalette(const std::string& key) {
    if (RequestInProcess()) return;
    std::string list;
    std::int32_t n = 0;
    if (Session().IsProjectValid() && page.g_ValidImage != 0 && project.g_RestrictTags != 2 &&
        !key.empty()) {
        // Rows all off would say the page has no tags.
        if (Session().ReadImageTags(key, list)) {
            n = mVBUtil::CountFields(",", list);
        } else if (TalqClientAPI::ServerReason(Session().LastError()).empty()) {
            TellUntoldFailure("Unable to Obtain Image Tags");
        }
    }
    tagPalette.rows.MarkPageTags(list, n);
    ui.TagRows->ShowStates(tagPalette.rows);
}

void frmView::Tag_BMP_Click(int Index) {
    if (RequestInProcess()) return;
    // A holder that let go meanwhile leaves the page to this reviewer.
    if (project.g_RestrictTags == 0) LockAgainIfFreed();
    if (!Session().IsProjectValid() || page.g_ValidImage == 0 || project.g_RestrictTags != 0 ||
        page.g_PageRestricted != 0 || page.g_PageReadOnly != 0) {
        return;
    }
    if (Index < 1 || Index > tagPalette.rows.Count()) return;
    const std::string tag = tagPalette.rows.Caption(Index);
    const bool turnOn = !tagPalette.rows.IsOn(Index);
    const std::string key = page.szCurrentKey;
    // The change and its read-back wait one time-out together.
    ViewerSession::Action action(Session());
    // Only this click's own failure is told.
    Session().TakeUntoldTransportError();
    const bool ok = turnOn ? Session().TurnTagOn(key, tag) : Session().TurnTagOff(key, tag);
    if (!ok && Session().ReplyLost()) {
        ReadBackLostTag(key, tag, turnOn);
        return;
    }
    if (!ok) {
        const std::string reason = TakeFailureReason();
        platform::BeepWarning(reason.empty() ? "Error Updating Issue Tag"
                                             : "Error Updating Issue Tag\n" + reason);
        return;
    }
    // The palette may have been read again while the request ran.
    if (Index > tagPalette.rows.Count() || tagPalette.rows.Caption(Index) != tag) return;
    tagPalette.rows.SetOn(Index, turnOn);
    ui.TagRows->ShowStates(tagPalette.rows);
}

void frmView::ReadBackLostTag(const std::string& key, const std::string& tag, bool turnOn) {
    std::string list;
    if (!Session().ReadImageTags(key, list)) {
        platform::BeepWarning(
            "Error Updating Issue Tag\nThe connection was lost before the server answered, and "
            "whether the server changed the tag could not be read back.");
        return;
    }
    const std::int32_t count = mVBUtil::CountFields(",", list);
    // Every row as the server holds it now, the one clicked among them.
    if (page.szCurrentKey == key) {
        tagPalette.rows.MarkPageTags(list, count);
        ui.TagRows->ShowStates(tagPalette.rows);
    }
    bool on = false;
    for (std::int32_t i = 1; i <= count && !on; ++i)
        on = mVBUtil::UCase(mVBUtil::GetField(",", list, i)) == mVBUtil::UCase(tag);
    if (on == turnOn) return;
    platform::BeepWarning(
        "Error Updating Issue Tag\nThe connection was lost before the server answered; the "
        "server did not change the tag.");
}

void frmView::TBTag_Click(int Index) {
    if (RefuseWhileBusy()) return;
    if (!Session().IsProjectValid()) {
        mnu_project_Click();
        return;
    }
    if (Index == 1) {
        panes.TagPal_Active = 0;
        Form_Resize();
        return;
    }
    std::unique_ptr<annotations::frmTagPal> editor =
        talq::DialogFactory<annotations::frmTagPal>::Create(this);
    editor->ClientAPI = &Session();
    editor->Load();
    // An editor that could not read its lists told why and changed nothing.
    const bool opened = !editor->IsUnloaded();
    if (opened) editor->exec();
    editor.reset();
    if (!opened) return;
    // Read again whether the editor saved or not: collections may have changed.
    const bool read = InitTagPalette();
    ResizeTagPalette();
    if (read) UpdateTagPalette(page.g_ValidImage == 0 ? std::string() : page.szCurrentKey);
}

// The rows go with the window.
void frmView::RemoveTagPaletteRows() {
    if (project.g_TagPalInitialized != 1) return;
    ui.TagRows->RemoveRows();
    tagPalette = TagPaletteView{};
    project.g_TagPalInitialized = 0;
}

}  // namespace viewer
