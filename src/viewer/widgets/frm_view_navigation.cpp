// The footer's navigation toolbar (pages and units at the project's
// boundary levels) and its key entry toolbar.

#include <QMouseEvent>
#include <QToolButton>

#include <functional>
#include <utility>

#include "foundation/fields.h"
#include "foundation/number_text.h"
#include "foundation/text_match.h"
#include "platform/prompts.h"
#include "viewer/startup_command_line.h"
#include "viewer/widgets/frm_view.h"

namespace viewer {
namespace {

constexpr std::int32_t kFooterButtonTwips = 330;

// A footer button that reports its mouse to the window; a right click counts
// as a click too, which a plain button would drop.
class FooterButton : public QToolButton {
  public:
    std::function<void(Qt::MouseButton)> onDown;
    std::function<void()> onMove, onUp, onLeave, onClick;

    explicit FooterButton(QWidget* parent) : QToolButton(parent) {
        setAutoRaise(true);
        setMouseTracking(true);
        connect(this, &QToolButton::clicked, this, [this] { onClick(); });
    }

  protected:
    void mousePressEvent(QMouseEvent* e) override {
        onDown(e->button());
        QToolButton::mousePressEvent(e);
    }
    void mouseMoveEvent(QMouseEvent* e) override {
        onMove();
        QToolButton::mouseMoveEvent(e);
    }
    void mouseReleaseEvent(QMouseEvent* e) override {
        const bool rightClick =
            e->button() == Qt::RightButton && rect().contains(e->position().toPoint());
        QToolButton::mouseReleaseEvent(e);
        onUp();
        if (rightClick) onClick();
    }
    void leaveEvent(QEvent* e) override {
        onLeave();
        QToolButton::leaveEvent(e);
    }
};

bool After(const std::string& a, const std::string& b) {
    return mVBUtil::CompareTextNoCase(a, b) > 0;
}

}  // namespace

void frmView::BuildNavigationButtons() {
    auto make = [this](int index, bool nav) {
        auto* b = new FooterButton(picFooter);
        if (nav) {
            b->onDown = [this, index](Qt::MouseButton button) { NavTBar_MouseDown(index, button); };
            b->onMove = [this, index] { NavTBar_MouseMove(index); };
            b->onUp = [this] { NavTBar_MouseUp(); };
            b->onClick = [this, index] { NavTBar_Click(index); };
        } else {
            b->onDown = [this, index](Qt::MouseButton) { MiscTBar_MouseDown(index); };
            b->onMove = [this, index] { MiscTBar_MouseMove(index); };
            b->onUp = [this] { MiscTBar_MouseUp(); };
            b->onClick = [this, index] { MiscTBar_Click(index); };
        }
        b->onLeave = [this] { picFooter_MouseMove(); };
        b->hide();
        return b;
    };
    for (int i = 0; i < 10; ++i) {
        NavTBar[static_cast<size_t>(i)] = make(i, true);
        NavTBar[static_cast<size_t>(i)]->setText(QString::fromLatin1(i % 2 == 0 ? "<" : ">"));
    }
    NavTBar[0]->setToolTip(QStringLiteral("Prev Page (Right Click = Goto First)"));
    NavTBar[1]->setToolTip(QStringLiteral("Next Page (Right Click = Goto Last)"));
    const char* miscCaptions[2][2] = {{"K", "Go To Specific Image"}, {"Q", "Quick Scroll"}};
    for (int i = 0; i < 2; ++i) {
        MiscTBar[static_cast<size_t>(i)] = make(i, false);
        MiscTBar[static_cast<size_t>(i)]->setText(QString::fromLatin1(miscCaptions[i][0]));
        MiscTBar[static_cast<size_t>(i)]->setToolTip(QString::fromLatin1(miscCaptions[i][1]));
    }
}

void frmView::PlaceFooterButton(QToolButton* button, std::int32_t left) {
    button->setGeometry(PixelsX(left), 0, PixelsX(kFooterButtonTwips), PixelsY(kFooterButtonTwips));
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
            if (docPosition.g_iDocCnt > 0 && docPosition.g_iDocPsn > 1) --docPosition.g_iDocPsn;
            level = 0;
        } else if (Index == 1) {
            if (project.g_LimitNav != 0 && !After(docPosition.g_szDocEkey, current)) {
                refuse();
                return;
            }
            if (docPosition.g_iDocCnt > 0 && docPosition.g_iDocPsn < docPosition.g_iDocCnt)
                ++docPosition.g_iDocPsn;
            level = 0;
        }
        const bool ok = forward ? session.NextKey(current, level, target)
                                : session.PrevKey(current, level, target);
        if (!ok) {
            refuse();
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
        refuse();
        return;
    }
    // Only the page steps keep the position themselves; the display counts it
    // after any other jump, which may land in the same document.
    if (Index > 1) docPosition.g_iDocPsn = 0;
    DisplayImage(target);
}

void frmView::MiscTBar_Click(int Index) {
    if (RequestInProcess() || !Session().IsProjectValid()) return;
    if (Index == 1) {
        // The quick-scroll window is not built: the mode is kept for it.
        navBar.QuickScrollMode = 0;
        return;
    }
    if (Index != 0) return;
    const std::string typed = platform::InputBox("Enter ImageKey", " ", page.szCurrentKey);
    if (typed.empty()) return;
    std::string found;
    // A key that would break the request line is never sent.
    const std::int16_t answer =
        modView::IsSendableKey(typed) ? Session().FindKey(typed, found) : std::int16_t{0};
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
    } else {
        platform::Beep();
        platform::MsgBox(typed + " ImageKey not found.", platform::vbCritical, "Warning");
    }
}

// Frames are drawn plainly: the pressed button shows sunken, the hovered
// one raised.
void frmView::NavTBar_MouseDown(int Index, Qt::MouseButton Button) {
    navBar.NavRightButton = Button == Qt::RightButton ? 1 : 0;
    NavFrameOn = 1;
    NavFrameButton = static_cast<std::int16_t>(Index);
    NavTBar[static_cast<size_t>(Index)]->setDown(true);
}

void frmView::NavTBar_MouseMove(int Index) {
    NavFrameOn = 1;
    NavFrameButton = static_cast<std::int16_t>(Index);
}

void frmView::NavTBar_MouseUp() {
    ResetToolbarButtons();
}

void frmView::MiscTBar_MouseDown(int Index) {
    MiscFrameOn = 1;
    MiscFrameButton = static_cast<std::int16_t>(Index);
    MiscTBar[static_cast<size_t>(Index)]->setDown(true);
}

void frmView::MiscTBar_MouseMove(int Index) {
    MiscFrameOn = 1;
    MiscFrameButton = static_cast<std::int16_t>(Index);
}

void frmView::MiscTBar_MouseUp() {
    ResetToolbarButtons();
}

void frmView::picFooter_MouseMove() {
    ResetToolbarButtons();
}

void frmView::ResetToolbarButtons() {
    NavFrameOn = NavFrameButton = MiscFrameOn = MiscFrameButton = 0;
    for (QToolButton* b : NavTBar) b->setDown(false);
    for (QToolButton* b : MiscTBar) b->setDown(false);
}

}  // namespace viewer
