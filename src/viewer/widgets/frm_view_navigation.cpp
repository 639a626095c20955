// The footer's navigation toolbar (pages and units at the project's
// boundary levels) and its key entry toolbar.

#include "foundation/fields.h"
#include "foundation/number_text.h"
#include "foundation/text_match.h"
#include "platform/prompts.h"
#include "viewer/startup_command_line.h"
#include "viewer/widgets/frm_view.h"
#include "viewer/widgets/toolbar_pictures.h"

namespace viewer {
namespace {

// Clear of the footer's top edge, so that a frame shows whole.
constexpr std::int32_t kFooterButtonTwips = 300, kFooterButtonTop = 30;

bool After(const std::string& a, const std::string& b) {
    return mVBUtil::CompareTextNoCase(a, b) > 0;
}

}  // namespace

void frmView::BuildNavigationButtons() {
    auto make = [this](int index, Picture picture, const char* tip) {
        auto* b = new PictureButton(index, ui.picFooter);
        b->setIcon(ToolbarPicture(picture));
        b->setToolTip(QString::fromLatin1(tip));
        b->hide();
        return b;
    };
    for (int i = 0; i < 10; ++i) {
        PictureButton* b = make(i, i % 2 == 0 ? Picture::PreviousPage : Picture::NextPage, "");
        b->SetRightClicks(true);
        connect(b, &PictureButton::MouseDown, this,
                [this](int index, Qt::MouseButton button) { NavTBar_MouseDown(index, button); });
        connect(b, &PictureButton::MouseMove, this,
                [this](int index) { NavTBar_MouseMove(index); });
        connect(b, &PictureButton::MouseUp, this, [this] { NavTBar_MouseUp(); });
        connect(b, &PictureButton::Click, this, [this](int index) { NavTBar_Click(index); });
        ui.NavTBar[static_cast<size_t>(i)] = b;
    }
    ui.NavTBar[0]->setToolTip(QStringLiteral("Prev Page (Right Click = Goto First)"));
    ui.NavTBar[1]->setToolTip(QStringLiteral("Next Page (Right Click = Goto Last)"));
    ui.MiscTBar[0] = make(0, Picture::KeyEntry, "Go To Specific Image");
    ui.MiscTBar[1] = make(1, Picture::QuickScroll, "Quick Scroll");
    for (PictureButton* b : ui.MiscTBar) {
        connect(b, &PictureButton::MouseDown, this,
                [this](int index) { MiscTBar_MouseDown(index); });
        connect(b, &PictureButton::MouseMove, this,
                [this](int index) { MiscTBar_MouseMove(index); });
        connect(b, &PictureButton::MouseUp, this, [this] { MiscTBar_MouseUp(); });
        connect(b, &PictureButton::Click, this, [this](int index) { MiscTBar_Click(index); });
    }
}

void frmView::PlaceFooterButton(QToolButton* button, std::int32_t left) {
    button->setGeometry(PixelsX(left), PixelsY(kFooterButtonTop), PixelsX(kFooterButtonTwips),
                        PixelsY(kFooterButtonTwips));
    button->show();
}

void frmView::NavTBar_Click(int Index) {
    const bool right = navBar.NavRightButton == 1;
    navBar.NavRightButton = 0;
    if (Index < 0 || Index > 9) return;
    if (RefuseWhileBusy()) return;
    ViewerSession& session = Session();
    if (!session.IsProjectValid()) {
        mnu_project_Click();
        return;
    }
    // The step and the page it shows give up within one time-out in all.
    ViewerSession::Action action(session);
    // Only this move's own failures are told.
    session.TakeUntoldTransportError();
    if (page.szCurrentKey.empty()) {
        if (project.g_LimitNav != 0) {
            platform::Beep();
            return;
        }
        int level = 0;
        std::string first;
        if (session.NextKey("", level, first)) {
            page.szCurrentKey = first;
            docPosition.g_iDocPsn = 0;
            DisplayImage(first);
            return;
        }
        // A refusal is told here; no first page goes on to the steps below.
        if (TellFailedRequest("Unable to Obtain Next Image Key")) return;
    }

    const std::string current = page.szCurrentKey;
    // A refused move leaves the page position as it was.
    const std::int32_t positionBefore = docPosition.g_iDocPsn;
    auto refuse = [&] {
        docPosition.g_iDocPsn = positionBefore;
        platform::Beep();
    };
    std::string target;
    const bool forward = Index % 2 == 1;
    int level = project.NavButtonLevel[static_cast<size_t>(Index)];
    bool rangeTest = Index > 1;

    if (!right) {
        if (Index == 0) {
            if (project.g_LimitNav != 0 &&
                (docPosition.g_szDocBkey.empty() || !After(current, docPosition.g_szDocBkey))) {
                refuse();
                return;
            }
            docPosition.StepPage(false);
            level = 0;
        } else if (Index == 1) {
            if (project.g_LimitNav != 0 && !After(docPosition.g_szDocEkey, current)) {
                refuse();
                return;
            }
            docPosition.StepPage(true);
            level = 0;
        }
        const bool ok = forward ? session.NextKey(current, level, target)
                                : session.PrevKey(current, level, target);
        if (!ok) {
            // No page there is a beep; a request that failed, or that the
            // server refused, says why.
            docPosition.g_iDocPsn = positionBefore;
            if (!TellFailedRequest(forward ? "Unable to Obtain Next Image Key"
                                           : "Unable to Obtain Previous Image Key"))
                platform::Beep();
            return;
        }
    } else if (Index == 0) {
        target = docPosition.g_szDocBkey;
        docPosition.g_iDocPsn = 1;
    } else if (Index == 1) {
        target = docPosition.g_szDocEkey;
        docPosition.g_iDocPsn = docPosition.g_iDocCnt;
    } else {
        const std::string levels = session.BndryLvls();
        const int count = session.BndryNbr();
        std::int32_t parent = level;
        for (int i = 1; i <= count; ++i) {
            if (BoundaryLevelAt(levels, i) == level) {
                parent = i > 1 ? BoundaryLevelAt(levels, i - 1) : 0;
                break;
            }
        }
        int top = 0;
        std::string begin, end;
        if (parent == 0) {
            if (forward ? !session.PrevKey("", top, target) : !session.NextKey("", top, target)) {
                target.clear();
            }
        } else if (session.GetBndryBegEndKey(current, parent, begin, end)) {
            if (!forward) {
                target = begin;
            } else {
                std::string unitBegin, unitEnd;
                if (session.GetBndryBegEndKey(end, level, unitBegin, unitEnd)) target = unitBegin;
            }
        }
    }

    if (rangeTest && project.g_iLimit3rdLvl > 0 && !target.empty()) {
        if (forward ? After(target, docPosition.g_sz3rdEkey)
                    : After(docPosition.g_sz3rdBkey, target)) {
            refuse();
            return;
        }
    }
    if (target.empty() || target == current) {
        docPosition.g_iDocPsn = positionBefore;
        if (!target.empty() ||
            !TellUntoldFailure(forward ? "Unable to Obtain Next Image Key"
                                       : "Unable to Obtain Previous Image Key"))
            platform::Beep();
        return;
    }
    // Only the page steps keep the position themselves; the display counts it
    // after any other jump, which may land in the same document.
    if (Index > 1) docPosition.g_iDocPsn = 0;
    DisplayImage(target);
}

void frmView::MiscTBar_Click(int Index) {
    if (RequestInProcess()) return;
    if (!Session().IsProjectValid()) {
        TellSessionEnd();
        return;
    }
    if (Index == 1) {
        OpenQuickScroll(0);
        return;
    }
    if (Index != 0) return;
    const std::string typed = platform::InputBox("Enter ImageKey", " ", page.szCurrentKey);
    if (typed.empty()) return;
    ViewerSession& session = Session();
    ViewerSession::Action action(session);
    session.TakeUntoldTransportError();
    std::string found;
    // A key that would break the request line is never sent.
    const bool sendable = modView::IsSendableKey(typed);
    const std::int16_t answer = sendable ? session.FindKey(typed, found) : std::int16_t{0};
    if (answer == 1) {
        docPosition.g_iDocPsn = 0;
        DisplayImage(typed);
    } else if (answer == 2) {
        platform::Beep();
        const std::string question = typed + " not found.\nUse " + found + " instead?";
        if (platform::MsgBox(question, platform::vbYesNo + platform::vbQuestion, " ") ==
            platform::vbYes) {
            docPosition.g_iDocPsn = 0;
            DisplayImage(found);
        }
    } else if (sendable && session.KeyLookupFailed()) {
        // The lookup failed: the page may well be there.
        if (!TellFailedRequest("Unable to Look Up ImageKey " + typed)) platform::Beep();
    } else if (!TellSessionEnd()) {
        platform::Beep();
        platform::MsgBox(typed + " ImageKey not found.", platform::vbCritical, "Warning");
    }
}

void frmView::NavTBar_MouseDown(int Index, Qt::MouseButton Button) {
    navBar.NavRightButton = Button == Qt::RightButton ? 1 : 0;
    DrawButtonPressed(Index, frames.NavTBarFrame, frames.NavTBarFrameIdx,
                      ui.NavTBar[static_cast<size_t>(Index)], ui.picFooter);
}

void frmView::NavTBar_MouseMove(int Index) {
    DrawButtonRaised(Index, frames.NavTBarFrame, frames.NavTBarFrameIdx,
                     ui.NavTBar[static_cast<size_t>(Index)], ui.picFooter);
}

void frmView::NavTBar_MouseUp() {
    ResetToolbarButtons();
}

void frmView::MiscTBar_MouseDown(int Index) {
    DrawButtonPressed(Index, frames.MiscTBarFrame, frames.MiscTBarFrameIdx,
                      ui.MiscTBar[static_cast<size_t>(Index)], ui.picFooter);
}

void frmView::MiscTBar_MouseMove(int Index) {
    DrawButtonRaised(Index, frames.MiscTBarFrame, frames.MiscTBarFrameIdx,
                     ui.MiscTBar[static_cast<size_t>(Index)], ui.picFooter);
}

void frmView::MiscTBar_MouseUp() {
    ResetToolbarButtons();
}

void frmView::picFooter_MouseMove() {
    ResetToolbarButtons();
}

}  // namespace viewer
