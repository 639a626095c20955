// The page pane's mouse: annotation tools, the zoom window's spot, the right
// click that edits and the double click that opens a sticky note or a clip.

#include <QDate>

#include <utility>
#include <vector>

#include "annotations/annotation_edit.h"
#include "annotations/clip_rules.h"
#include "annotations/widgets/note_dialogs.h"
#include "foundation/widgets/dialog_factory.h"
#include "platform/prompts.h"
#include "platform/rounding.h"
#include "viewer/widgets/frm_view.h"

namespace viewer {
namespace {

using annotations::kTooManyAnnotations;
using annotations::ToolKind;

// Clears the drag however a handler ends.
struct DragEnd {
    std::int16_t& track;
    ~DragEnd() { track = 0; }
};

// Holds the pane's moves and release while a mouse-down waits on the server,
// and stops holding however the handler ends.
class HoldMouse {
  public:
    explicit HoldMouse(MouseDrawing& mouse) : mouse_(mouse) {
        mouse_.holding = true;
        mouse_.held.clear();
    }
    ~HoldMouse() { Take(); }
    HoldMouse(const HoldMouse&) = delete;
    HoldMouse& operator=(const HoldMouse&) = delete;
    std::vector<HeldMouseEvent> Take() {
        mouse_.holding = false;
        return std::exchange(mouse_.held, {});
    }

  private:
    MouseDrawing& mouse_;
};

// True when the event was held for a mouse-down still waiting.
bool Held(MouseDrawing& mouse, bool release, int x, int y) {
    if (!mouse.holding) return false;
    // What comes after the release belongs to no drag of this mouse-down.
    if (mouse.held.empty() || !mouse.held.back().release) mouse.held.push_back({release, x, y});
    return true;
}

}  // namespace

void frmView::WirePageMouse() {
    connect(ui.picImage, &SurfacePane::mouseDown, this,
            [this](int b, int s, int x, int y) { picImage_MouseDown(b, s, x, y); });
    connect(ui.picImage, &SurfacePane::mouseMove, this,
            [this](int b, int s, int x, int y) { picImage_MouseMove(b, s, x, y); });
    connect(ui.picImage, &SurfacePane::mouseUp, this,
            [this](int b, int s, int x, int y) { picImage_MouseUp(b, s, x, y); });
    connect(ui.picImage, &SurfacePane::doubleClicked, this, [this] { picImage_DblClick(); });
}

mGdi32::ImageViewTransform frmView::PageTransform() const {
    return mGdi32::TransformFor(MainPageDrawInfo(), page.g_ViewScaleFactor);
}

MousePoint frmView::PagePoint(int x, int y) {
    const platform::TwipsPerPixel tpp = platform::ScreenTwipsPerPixel();
    MousePoint p;
    p.twipsX = x;
    p.twipsY = y;
    const std::int32_t px = platform::RoundToInt(x / tpp.x);
    const std::int32_t py = platform::RoundToInt(y / tpp.y);
    p.displayX = px + zoom.g_Hscroll;
    p.displayY = py + zoom.g_Vscroll;
    p.imageX = px;
    p.imageY = py;
    mGdi32::ImageViewTransform t = PageTransform();
    mGdi32::ScreenToImage(p.imageX, p.imageY, t);
    return p;
}

std::string frmView::NewStamp(const std::string& label) {
    return TalqClientAPI_Header::AnnotationStamp(label, login.szUserID, QDate::currentDate());
}

bool frmView::MouseDragging() {
    // A redisplay clears MouseTrack, which abandons the drag.
    if (mouse.MouseTrack == 0 || !mouse.tool || mouse.tool->Tool() != mouse.MouseTrack) {
        mouse.tool.reset();
        mouse.MouseTrack = 0;
        return false;
    }
    ViewerSession& session = Session();
    // A login the server refused as the drag began is asked for by the save.
    return !session.IsRequestInProcess() &&
           (session.IsProjectValid() || session.LoginRefused()) && page.g_ValidImage != 0;
}

bool frmView::PageTakesClicks() {
    ViewerSession& session = Session();
    if (session.IsRequestInProcess() || mouse.holding) {
        platform::Beep();
        return false;
    }
    if (!session.IsProjectValid()) {
        mnu_project_Click();
        return false;
    }
    if (page.g_ValidImage == 0) {
        platform::Beep();
        return false;
    }
    return true;
}

bool frmView::ShowFailedPageAgain(int button, int x, int y) {
    if (!page.fetchFailed || page.g_ValidImage != 0 || page.szCurrentKey.empty()) return false;
    if (RequestInProcess() || !Session().IsProjectValid()) return false;
    // Shown again in place, as leaving the page and coming back would; a
    // double click then opens what lies under it on the page shown.
    DisplayImage(page.szCurrentKey);
    const MousePoint p = PagePoint(x, y);
    mouse.BandStartX = p.imageX;
    mouse.BandStartY = p.imageY;
    mouse.RightButtonDown = button == 2 ? 1 : 0;
    return true;
}

void frmView::picImage_MouseDown(int Button, int, int x, int y) {
    if (ShowFailedPageAgain(Button, x, y)) return;
    if (!PageTakesClicks()) return;
    ViewerSession& session = Session();
    mouse.RightButtonDown = Button == 2 ? 1 : 0;
    if (mouse.MouseTrack != 0 || mouse.tool) {
        mouse.tool.reset();
        mouse.MouseTrack = 0;
        RedisplayImage();
        return;
    }
    const MousePoint p = PagePoint(x, y);
    mouse.BandStartX = p.imageX;
    mouse.BandStartY = p.imageY;
    const int tool = project.RedactMode;
    if (tool == 0 && Button != 2) {
        if (zoom.ZoomWin_Active == 0) return;
        mouse.tool = std::make_unique<ZoomPositionTool>([this](std::int32_t dx, std::int32_t dy) {
            zoom.ZoomWin_X = dx;
            zoom.ZoomWin_Y = dy;
            RedisplayZoomImage();
        });
        mouse.tool->Begin(p);
        mouse.MouseTrack = 1;
        return;
    }
    // Knowing the lock may wait on the server, and a quick drag's moves and
    // release come meanwhile: they are held, and followed once the drag
    // begins, so that none acts on a drag half begun or is lost.
    std::vector<HeldMouseEvent> held;
    {
        const PageMark mark = MarkPage();
        HoldMouse hold(mouse);
        bool known = PageLockKnown();
        // A holder that let go meanwhile leaves the page to this reviewer.
        if (known && !unloaded_ && SamePage(mark)) LockAgainIfFreed();
        held = hold.Take();
        if (!known || unloaded_) return;
        // The page or the tool changed meanwhile: the drag was not for this.
        if (!SamePage(mark) || project.RedactMode != tool) {
            platform::Beep();
            return;
        }
    }
    if (page.g_PageReadOnly != 0) {
        TellLockLost();
        return;
    }
    if (Button == 2) {
        bool changed = false;
        ModifyAnnotations(p.imageX, p.imageY, changed);
        if (changed) RedisplayImage();
        return;
    }
    if (Button != 1) return;
    const std::int32_t kind = ToolKind(tool);
    if (kind == 0) return;
    if (kind == kRedaction) {
        if (project.g_RestrictRedactions >= 1 || page.g_ValidImage == 2 ||
            session.IsPlaceHolderImage()) {
            return;
        }
    } else if (project.g_RestrictAnnotations != 0) {
        return;
    }
    if (ListOf(kind).count >= MaxAnnotationsPerPage(static_cast<AnnotationKind>(kind))) {
        platform::Beep();
        platform::MsgBox(kTooManyAnnotations, platform::vbCritical, "Warning");
        return;
    }
    const float factor = page.g_ViewScaleFactor == 0.0f ? 1.0f : page.g_ViewScaleFactor;
    const std::int32_t pen =
        std::max(1, platform::RoundToInt(static_cast<double>(settings.DfltMarkUpSize) *
                                         zoom.g_ScaleFactor * factor));
    mouse.tool = MakeAnnotationTool(tool, settings.DfltMarkUpColor, pen, settings.DfltMarkUpSize);
    mouse.tool->Begin(p);
    mouse.LastMouseX = x;
    mouse.LastMouseY = y;
    mouse.MouseTrack = static_cast<std::int16_t>(tool);
    for (const HeldMouseEvent& e : held) {
        if (!e.release) {
            picImage_MouseMove(Button, 0, e.x, e.y);
            continue;
        }
        picImage_MouseUp(Button, 0, e.x, e.y);
        // The button is up: a drag the release could not end ends here, its
        // feedback with it, or the tool would wait for a release to come.
        if (mouse.MouseTrack != 0 || mouse.tool) {
            mouse.tool.reset();
            mouse.MouseTrack = 0;
            RedisplayImage();
        }
    }
}

void frmView::picImage_MouseMove(int, int, int x, int y) {
    if (Held(mouse, false, x, y) || !MouseDragging()) return;
    mGdi32::ImageViewTransform t = PageTransform();
    mouse.tool->Move(PagePoint(x, y), ui.picImage2, t);
    ui.picImage->update();
}

void frmView::picImage_MouseUp(int, int, int x, int y) {
    if (Held(mouse, true, x, y) || !MouseDragging()) return;
    DragEnd end{mouse.MouseTrack};
    std::unique_ptr<MouseTool> tool = std::move(mouse.tool);
    mGdi32::ImageViewTransform t = PageTransform();
    const bool made = tool->Finish(PagePoint(x, y), ui.picImage2, t);
    ui.picImage->update();
    if (!made || tool->Tool() == 1) return;
    FinishShape(tool->Tool(), tool->Record());
}

void frmView::FinishShape(int tool, AnnotationRec rec) {
    ViewerSession& session = Session();
    const std::int32_t kind = ToolKind(tool);
    annotations::AnnotationSettings& d = settings;
    if (kind != kMarkup) rec.Rotation = page.g_Rotation;
    rec.Stamp = NewStamp("");
    const PageMark mark = MarkPage();
    ++editSerial_;
    if (kind == kStickyNote || kind == kTextNote) {
        std::unique_ptr<annotations::frmAnnot> box =
            talq::DialogFactory<annotations::frmAnnot>::Create(this);
        box->Mode = kind == kStickyNote ? 1 : 0;
        box->FontName = d.DfltAnnotFont;
        box->FontSize = d.DfltAnnotFontSize;
        box->FontStyle = d.DfltAnnotFontStyle;
        box->FontColor = d.DfltAnnotFontColor;
        // Saved while the dialog is open, so that a failed save leaves the
        // typed text there to be saved again or copied.
        bool saved = false;
        box->Save = [&](annotations::frmAnnot& b) {
            return SaveNoteLoggingIn([&] {
                if (b.Result != 0 || b.NoteText.empty()) return true;
                rec.Text = b.NoteText;
                if (!KeptOnPage(mark, kind, rec, AnnotationRec{})) return true;
                d.DfltAnnotFont = b.FontName;
                d.DfltAnnotFontSize = b.FontSize;
                d.DfltAnnotFontStyle = b.FontStyle;
                d.DfltAnnotFontColor = b.FontColor;
                if (kind == kTextNote) {
                    rec.Color = rec.Color2 = b.FontColor;
                    rec.FontSize = b.FontSize;
                    rec.FontStyle = b.FontStyle;
                    rec.FontName = b.FontName;
                }
                saved = AppendAndSave(kind, rec);
                return saved;
            });
        };
        box->exec();
        if (saved) RedisplayImage();
        return;
    } else if (kind == kRedaction) {
        rec.Color = d.DfltRedactColor;
        rec.Color2 = d.DfltRedactFontColor;
        rec.FontSize = d.DfltRedactFontSize;
        rec.FontStyle = d.DfltRedactFontStyle;
        rec.FontName = d.DfltRedactFont;
        rec.Stamp = NewStamp(d.DfltRedactLabel);
        rec.LabelFlag = d.DfltRedactLabel.empty() ? 0 : 1;
    } else if (kind == kHighlight) {
        rec.Color = rec.Color2 = d.DfltHiLiteColor;
    } else if (kind == kClip) {
        if (session.IsRemoteAccess()) {
            platform::Beep();
            platform::MsgBox("Clips can only be added in Local Access Mode",
                             platform::vbInformation, "Warning");
            return;
        }
        std::unique_ptr<annotations::frmClip> box =
            talq::DialogFactory<annotations::frmClip>::Create(this);
        box->ClientAPI = &session;
        box->ClipMode = mouse.LastClipMode;
        box->ClipText = mouse.LastClipText;
        box->exec();
        if (box->Result == 1 || box->ClipText.empty()) return;
        rec.Text = box->ClipText;
        rec.Color2 = box->ClipMode;
        if (!KeptOnPage(mark, kClip, rec, AnnotationRec{})) return;
        mouse.LastClipText = box->ClipText;
        mouse.LastClipMode = box->ClipMode;
    }
    // A saved markup keeps the line drawn while it was captured; one that
    // failed is taken off the page.
    const bool saved = AppendAndSave(kind, rec);
    if (!saved || kind != kMarkup) RedisplayImage();
}

bool frmView::AppendAndSave(std::int32_t kind, const AnnotationRec& rec) {
    const char* failure = kind == kMarkup ? "Unable to Save MarkUp" : "Unable to Save Annotations";
    // Others may have filled the page since it was shown.
    return SaveChange(kind, failure,
                      [&](KindList& list) { return annotations::AppendNewMark(list, kind, rec); });
}

void frmView::picImage_DblClick() {
    if (!PageTakesClicks()) return;
    if (mouse.RightButtonDown != 0) return;
    if (mouse.MouseTrack != 0 || mouse.tool) {
        mouse.tool.reset();
        mouse.MouseTrack = 0;
        RedisplayImage();
    }
    if (project.g_RestrictAnnotations == 2) return;
    bool found = false;
    DisplaySticky(mouse.BandStartX, mouse.BandStartY, found);
    if (!found) DisplayClip(mouse.BandStartX, mouse.BandStartY, found);
}

void frmView::DisplaySticky(std::int32_t x, std::int32_t y, bool& found) {
    const std::int32_t w = annotations::IconSizeInImage(ui.picSticky.width(), zoom.g_ScaleFactor,
                                                        page.g_ViewScaleFactor);
    const int i = annotations::FirstHit(
        pageAnnotations[kStickyNote].list, pageAnnotations[kStickyNote].count,
        [&](const AnnotationRec& r) { return annotations::IconHit(r, x, y, w); });
    found = i >= 0;
    if (!found) return;
    std::unique_ptr<annotations::frmAnnot> box =
        talq::DialogFactory<annotations::frmAnnot>::Create(this);
    box->NoteText = pageAnnotations[kStickyNote].list[static_cast<std::size_t>(i)].Text;
    box->Mode = 2;
    box->exec();
}

void frmView::DisplayClip(std::int32_t x, std::int32_t y, bool& found) {
    const std::int32_t w = annotations::IconSizeInImage(ui.picClip.width(), zoom.g_ScaleFactor,
                                                        page.g_ViewScaleFactor);
    const int i = annotations::FirstHit(
        pageAnnotations[kClip].list, pageAnnotations[kClip].count,
        [&](const AnnotationRec& r) { return annotations::IconHit(r, x, y, w); });
    found = i >= 0;
    if (!found) return;
    const AnnotationRec clip = pageAnnotations[kClip].list[static_cast<std::size_t>(i)];
    const annotations::ClipTarget target = annotations::ReadStoredClip(clip.Color2, clip.Text);
    // A clip is data from the server: it starts a program only when agreed.
    if (target.mode == 2 && !target.program.empty() && !annotations::ConfirmClipProgram(target))
        return;
    Session().ExecuteClipCommand(clip.Color2, clip.Text);
}

}  // namespace viewer
