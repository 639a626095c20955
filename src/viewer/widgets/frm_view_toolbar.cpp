// The image toolbar: its 21 buttons, the one dispatcher behind them, the
// latched annotation tool, and the frames every toolbar of the window draws
// around its buttons.

#include <QApplication>
#include <QComboBox>
#include <QLabel>

#include "foundation/widgets/dialog_factory.h"
#include "foundation/widgets/generic_dialogs.h"
#include "platform/prompts.h"
#include "platform/wire_separators.h"
#include "server/talq_client_api.h"
#include "viewer/image_toolbar_steps.h"
#include "viewer/widgets/frm_view.h"
#include "viewer/widgets/toolbar_pictures.h"

namespace viewer {
namespace {

struct ToolbarButton {
    Picture picture;
    const char* tip;
};

constexpr ToolbarButton kTbar[21] = {
    {Picture::OpenProject, "Open Project"},
    {Picture::Print, "Print"},
    {Picture::TagPalette, "Tag Palette"},
    {Picture::TagQuery, "Open Tag/Issue Query"},
    {Picture::SearchNotes, "Search Sticky Notes"},
    {Picture::FitWidth, "Fit Horizontal"},
    {Picture::FitPage, "Fit Vertical"},
    {Picture::RotateLeft, "Rotate Left 90"},
    {Picture::RotateRight, "Rotate Right 90"},
    {Picture::ZoomOut, "Zoom Out"},
    {Picture::ZoomIn, "Zoom In"},
    {Picture::StickyNote, "Add Sticky Note"},
    {Picture::TextNote, "Annotate Image"},
    {Picture::Redact, "Redact Image"},
    {Picture::Highlight, "Highlight Image"},
    {Picture::Markup, "Markup Image"},
    {Picture::Clip, "Add Clip to Image"},
    {Picture::ZoomWindow, "Zoom Window"},
    {Picture::ProjectTree, "Project View Window"},
    {Picture::ConceptSearch, "TALQ Precision Search"},
    {Picture::OriginalFile, "Display Original File"},
};

// Sizes in pixels: buttons on a fixed pitch, a small gap between groups and
// the zoom list after the zoom buttons.
constexpr int kButton = 22, kPitch = 26, kGroupGap = 6, kTop = 8, kZoomListWidth = 76;
constexpr int kPressedTwips = 30, kLatchTwips = 50;

bool StartsGroup(int index) {
    return index == 2 || index == 5 || index == 9 || index == 11 || index == 17;
}

// Enables the window again however an action ends.
class InputBlock {
  public:
    explicit InputBlock(frmView& w) : w_(w) { w_.BlockInput(); }
    ~InputBlock() { w_.UnblockInput(); }
    InputBlock(const InputBlock&) = delete;
    InputBlock& operator=(const InputBlock&) = delete;

  private:
    frmView& w_;
};

}  // namespace

void frmView::BuildImageToolbar() {
    int x = 4;
    for (int i = 0; i < 21; ++i) {
        if (StartsGroup(i)) x += kGroupGap;
        auto* b = new PictureButton(i, ui.TopToolBar);
        b->setIcon(ToolbarPicture(kTbar[i].picture));
        b->setIconSize(QSize(20, 20));
        b->setToolTip(QString::fromLatin1(kTbar[i].tip));
        b->setGeometry(x, kTop, kButton, kButton);
        connect(b, &PictureButton::MouseDown, this, [this](int index) { Tbar_MouseDown(index); });
        connect(b, &PictureButton::MouseMove, this, [this](int index) { Tbar_MouseMove(index); });
        connect(b, &PictureButton::MouseUp, this, [this] { Tbar_MouseUp(); });
        connect(b, &PictureButton::Click, this, [this](int index) { Tbar_Click(index); });
        ui.Tbar[static_cast<size_t>(i)] = b;
        x += kPitch;
        if (i == 10) {
            ui.cboZoom->setGeometry(x, kTop, kZoomListWidth, kButton);
            x += kZoomListWidth + kGroupGap;
        }
    }
    connect(ui.TopToolBar, &FrameHost::SurfaceMouseMove, this, [this] { TopToolBar_MouseMove(); });
    design_.toolbarWidth = (x + 4) * 15;
}

void frmView::WireFrames(PictureButton* button, std::int16_t& frame, std::int16_t& framed,
                         FrameHost* container) {
    connect(button, &PictureButton::MouseDown, this,
            [this, button, &frame, &framed, container](int index) {
                DrawButtonPressed(index, frame, framed, button, container);
            });
    connect(button, &PictureButton::MouseMove, this,
            [this, button, &frame, &framed, container](int index) {
                DrawButtonRaised(index, frame, framed, button, container);
            });
    connect(button, &PictureButton::MouseUp, this, [this] { ResetToolbarButtons(); });
}

void frmView::Tbar_Click(int Index) {
    ViewerSession& session = Session();
    if (session.IsRequestInProcess()) {
        platform::Beep();
        return;
    }
    if (Index > 0 && !session.IsProjectValid()) {
        mnu_project_Click();
        return;
    }
    const bool known = Index >= 0 && Index <= 20;
    // A hidden button is reached only from the menu: it does nothing then.
    if (Index > 0 && known && ui.Tbar[static_cast<size_t>(Index)]->isHidden()) return;
    if (page.g_ValidImage == 0 && (Index == 1 || (Index >= 5 && Index <= 16))) {
        platform::Beep();
        return;
    }
    const InputBlock blocked(*this);
    switch (Index) {
        case 0:
            mnu_project_Click();
            break;
        case 1:
            OpenPrintDialog(0);
            break;
        case 2: {
            bool read = true;
            if (panes.TagPal_Active == 0) {
                panes.TagPal_Active = 1;
                read = InitTagPalette();
            } else {
                panes.TagPal_Active = 0;
            }
            Form_Resize();
            if (panes.TagPal_Active != 0 && read) UpdateTagPalette(page.szCurrentKey);
            break;
        }
        case 3:
        case 4:
            if (query.Query_Active > 0) CloseQueryPane();
            if (Index == 3) {
                OpenTagQuery();
            } else {
                RunSearch();
            }
            break;
        case 5:
        case 6:
            SetImageScale(Index == 5 ? 0 : 1);
            RedisplayImage();
            break;
        case 7:
        case 8:
            RotateStep(Index);
            break;
        case 9:
        case 10:
            ZoomStep(Index == 10);
            break;
        case 11:
        case 12:
        case 13:
        case 14:
        case 15:
        case 16:
            if (project.RedactMode != Index) {
                ClearRedactMode(project.RedactMode);
                SetAnnotateMode(Index);
            } else {
                ClearRedactMode(Index);
            }
            if (mouse.MouseTrack != 0) {
                mouse.MouseTrack = 0;
                if (page.g_ValidImage > 0) RedisplayImage();
            }
            break;
        case 17:
            if (project.RedactMode > 0) ClearRedactMode(project.RedactMode);
            mouse.MouseTrack = 0;
            zoom.ZoomWin_Active = zoom.ZoomWin_Active == 0 ? 1 : 0;
            Form_Resize();
            break;
        case 18:
            ToggleProjectView();
            break;
        case 19:
            ChooseConceptSearch();
            break;
        case 20:
            DisplayOriginalFile();
            break;
        default:
            break;
    }
}

void frmView::RotateStep(int Index) {
    const bool right = Index == 8;
    if (!ImgObj) return;
    // A holder that let go meanwhile leaves the page to this reviewer.
    LockAgainIfFreed();
    // A read-only page turns for viewing only; any other turn is the
    // page's, and shows only once stored.
    const bool storing = page.g_PageReadOnly == 0 && page.g_ValidImage == 1;
    // The lock asked again and the turn stored wait one time-out together,
    // and a close asked meanwhile waits for them.
    ViewerSession::Action action(
        Session(), storing ? ViewerSession::Action::kChange : ViewerSession::Action::kRead);
    if (storing && !PageLockKnown()) return;
    if (storing && page.g_PageReadOnly != 0) {
        // Taken by another while the connection was down: told here, not
        // once more at the next drawing.
        const std::string lost = std::exchange(page.lockLostUntold, std::string());
        if (Session().DisplayErrorMsgs())
            platform::BeepWarning(lost.empty()
                                      ? Session().TakeFailureMessage("Unable to set Rotate Flag")
                                      : "Unable to set Rotate Flag\n" + lost);
        return;
    }
    if (!ImgObj->RotateImage(right ? 1 : 3)) return;
    const std::int32_t turned = TurnedRotation(page.g_Rotation, right);
    if (storing && !StoreRotation(turned)) {
        ImgObj->RotateImage(right ? 3 : 1);
        return;
    }
    page.g_Rotation = turned;
    std::swap(page.g_ImgWidth, page.g_ImgHeight);
    SetImageScale(zoom.g_ScaleMode);
    RedisplayImage();
    if (zoom.ZoomWin_Active != 0) RedisplayZoomImage();
    settings.g_StickyRotation = static_cast<std::int16_t>(page.g_Rotation);
}

bool frmView::StoreRotation(std::int32_t rotation) {
    ViewerSession& session = Session();
    // Only this turn's own failure is told.
    session.TakeUntoldTransportError();
    const bool showing = session.DisplayErrorMsgs();
    session.SetDisplayErrorMsgs(false);
    const bool stored = session.SetImageRotation(page.szCurrentKey, rotation);
    session.SetDisplayErrorMsgs(showing);
    if (stored) return true;
    // Another holds the page after all: it is read-only from now.
    const std::string words = ViewerSession::ServerWords(session.LastError());
    const bool refused = TalqClientAPI::LockRefused("ERROR: " + words);
    // Taken before the lock's release asks anything more.
    std::string message = showing ? session.TakeFailureMessage("Unable to set Rotate Flag") : "";
    // The reviewer's own login holding it is told as such.
    if (showing && refused && TalqClientAPI::LockHeldBy(words, session.UserName()))
        message =
            "Unable to set Rotate Flag\n" + LockRefusalWords(page.szCurrentKey, "ERROR: " + words);
    if (refused) {
        ReleasePageLock();
        ShowReadOnly(true);
        FollowEarlierLock(page.szCurrentKey);
        page.lockLostUntold.clear();  // told here
    }
    if (showing) platform::BeepWarning(message);
    return false;
}

void frmView::ZoomStep(bool in) {
    if (zoom.g_ScaleFactor == 0.0f) {
        platform::Beep();
        return;
    }
    zoom.g_ScaleFactor = ZoomedScale(zoom.g_ScaleFactor, in);
    SetImageScale(2);
    RedisplayImage();
}

void frmView::ChooseConceptSearch() {
    const std::string sep(1, wire::kListSep);
    const bool alternates = !Session().QuesterTermFile().empty();
    std::string options = "Perform Quester Concept Search";
    if (alternates) options += sep + "Select Alternate Concepts";
    options += sep + "Modify Maximum Return Results";
    std::unique_ptr<SelBox> box = talq::DialogFactory<SelBox>::Create(this);
    box->OptionList = options;
    box->TitleText = "";
    box->Selection = 1;
    box->exec();
    int selection = box->Selection;
    box.reset();
    if (selection <= 0) return;
    if (selection == 2 && !alternates) selection = 3;
    RunQuesterSearch(selection);
}

void frmView::SetAnnotateMode(int Index) {
    if (Index <= 0 || Index > 20) return;
    ui.TopToolBar->DrawFrame(ui.Tbar[static_cast<size_t>(Index)], PixelsX(kLatchTwips),
                             FrameHost::Frame::Pressed);
    project.RedactMode = static_cast<std::int16_t>(Index);
    ui.picImage->setCursor(Qt::CrossCursor);
}

void frmView::ClearRedactMode(int Index) {
    if (Index <= 0 || Index > 20) return;
    ui.TopToolBar->EraseFrame(ui.Tbar[static_cast<size_t>(Index)], PixelsX(kLatchTwips));
    project.RedactMode = 0;
    ui.picImage->unsetCursor();
}

void frmView::Tbar_MouseDown(int Index) {
    DrawButtonPressed(Index, frames.TbarFrame, frames.TbarFrameIdx,
                      ui.Tbar[static_cast<size_t>(Index)], ui.TopToolBar);
}

void frmView::Tbar_MouseMove(int Index) {
    DrawButtonRaised(Index, frames.TbarFrame, frames.TbarFrameIdx,
                     ui.Tbar[static_cast<size_t>(Index)], ui.TopToolBar);
}

void frmView::Tbar_MouseUp() {
    ResetToolbarButtons();
}

void frmView::TopToolBar_MouseMove() {
    ResetToolbarButtons();
}

void frmView::DrawButtonPressed(int Index, std::int16_t& frame, std::int16_t& framed,
                                QWidget* button, FrameHost* container) {
    if (frame == 1 && framed != Index) ResetToolbarButtons();
    frame = 1;
    framed = static_cast<std::int16_t>(Index);
    container->DrawFrame(button, PixelsX(kPressedTwips), FrameHost::Frame::Pressed);
}

void frmView::DrawButtonRaised(int Index, std::int16_t& frame, std::int16_t& framed,
                               QWidget* button, FrameHost* container) {
    if (frame == 0) {
        frame = 1;
        framed = static_cast<std::int16_t>(Index);
        container->DrawFrame(button, PixelsX(kPressedTwips), FrameHost::Frame::Raised);
    } else if (framed != Index) {
        // The next move over this button draws its frame.
        ResetToolbarButtons();
    }
}

void frmView::EraseButtonFrame(QWidget* button, FrameHost* container) {
    container->EraseFrame(button, PixelsX(kPressedTwips));
}

void frmView::ResetToolbarButtons() {
    // The pointer is left alone: splitter drags and the session's waits
    // restore their own.
    auto erase = [this](std::int16_t& frame, std::int16_t framed, auto& buttons,
                        FrameHost* container) {
        if (frame != 1) return;
        if (framed >= 0 && static_cast<size_t>(framed) < buttons.size()) {
            EraseButtonFrame(buttons[static_cast<size_t>(framed)], container);
        }
        frame = 0;
    };
    erase(frames.TbarFrame, frames.TbarFrameIdx, ui.Tbar, ui.TopToolBar);
    erase(frames.NavTBarFrame, frames.NavTBarFrameIdx, ui.NavTBar, ui.picFooter);
    erase(frames.MiscTBarFrame, frames.MiscTBarFrameIdx, ui.MiscTBar, ui.picFooter);
    erase(frames.TBQueryFrame, frames.TBQueryFrameIdx, ui.TBQuery, ui.ScrollForm);
    erase(frames.TBTagFrame, frames.TBTagFrameIdx, ui.TBTag, ui.TagForm);
}

}  // namespace viewer
