// The image toolbar against a scripted session: the dispatcher's guards, which
// buttons each user sees, the tool latch, and the frames of every toolbar.

#include <QApplication>
#include <QComboBox>
#include <QMouseEvent>
#include <QToolButton>

#include <set>
#include <vector>

#include "navigation/widgets/search_dialogs.h"
#include "support/scripted_dialog.h"
#include "support/test_images.h"
#include "viewer/frm_view_fixture.h"

namespace {

using testsupport::FrmViewTest;
using viewer::FrameHost;

class FrmViewToolbarTest : public FrmViewTest {
  protected:
    void OpenProject() {
        session->userValid = session->projectValid = true;
        session->projectName = "ALPHA";
        session->tempFile = dir_.Path() + "/page.img";
        session->documents = {{"K0001", "K0002"}};
        session->pageKeys = {"K0001", "K0002"};
        for (const std::string& key : session->pageKeys) {
            session->images[key] = testsupport::PngBytes(40, 30);
        }
        window->LoadProjectViews();
    }
    std::set<int> Shown() const {
        std::set<int> shown;
        for (int i = 0; i < 21; ++i) {
            if (!window->ui.Tbar[static_cast<size_t>(i)]->isHidden()) shown.insert(i);
        }
        return shown;
    }
    // The frame drawn around a button on its toolbar: 2 pixels out for hover
    // and press, 3 for the latched tool.
    static FrameHost::Frame FrameOf(QWidget* button, int distance = 2) {
        return static_cast<FrameHost*>(button->parentWidget())->FrameAround(button, distance);
    }
    static void Mouse(QWidget* w, QEvent::Type type, Qt::MouseButton button, QPointF at) {
        const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
        QMouseEvent e(type, at, w->mapToGlobal(at), button, held, Qt::NoModifier);
        QApplication::sendEvent(w, &e);
    }

    testsupport::ScopedTempDir dir_;
};

TEST_F(FrmViewToolbarTest, GuardsRunInOrderBusyThenProjectThenHiddenThenImage) {
    struct Case {
        const char* name;
        bool busy, project, hideButton, image;
        int index;
        int beeps, logins;
        bool acted;
    };
    // Index 17 (zoom window) works without an image, 9 (zoom out) needs one.
    const Case cases[] = {
        {"busy beats everything", true, false, false, false, 17, 1, 0, false},
        {"no project asks for one", false, false, false, false, 17, 0, 1, false},
        {"open project runs without a project", false, false, false, false, 0, 0, 1, true},
        {"a hidden button is silent", false, true, true, true, 9, 0, 0, false},
        {"no image beeps", false, true, false, false, 9, 1, 0, false},
        {"no image needed", false, true, false, false, 17, 0, 0, true},
        {"with an image", false, true, false, true, 9, 0, 0, true},
        {"unknown index does nothing", false, true, false, true, 21, 0, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        session->busy = false;
        window->ClearProjectViews();
        session->projectValid = false;
        if (c.project) OpenProject();
        session->userValid = c.project;
        session->busy = c.busy;
        window->zoom.ZoomWin_Active = 0;
        window->zoom.g_ScaleFactor = 1.0f;
        window->page.g_ValidImage = c.image ? 1 : 0;
        if (c.hideButton) window->ui.Tbar[static_cast<size_t>(c.index)]->hide();
        const int beeps = prompts.Beeps(), logins = session->logins;
        window->Tbar_Click(c.index);
        EXPECT_EQ(prompts.Beeps() - beeps, c.beeps);
        EXPECT_EQ(session->logins - logins, c.logins);
        const bool acted = c.index == 0   ? session->logins > logins
                           : c.index == 9 ? window->zoom.g_ScaleFactor != 1.0f
                                          : window->zoom.ZoomWin_Active != 0;
        EXPECT_EQ(acted, c.acted);
        EXPECT_FALSE(window->IsInputBlocked());
        if (c.hideButton) window->ui.Tbar[static_cast<size_t>(c.index)]->show();
    }
}

TEST_F(FrmViewToolbarTest, ButtonsFollowRightsNavigationLimitAndBehaviourBits) {
    struct Case {
        const char* name;
        bool annotRestricted, annotModify, tagsRestricted, tagsModify, redactModify;
        std::int32_t security, mask;
        bool quester;
        std::set<int> shown;
    };
    const std::set<int> always = {0, 1, 5, 6, 7, 8, 9, 10, 17};
    auto with = [&](std::initializer_list<int> more) {
        std::set<int> s = always;
        s.insert(more);
        return s;
    };
    const Case cases[] = {
        {"admin", false, true, false, true, true, 0, 0, true,
         with({2, 3, 4, 11, 12, 13, 14, 15, 16, 18, 19})},
        // Views notes and tags, sees through redactions, confined to a unit.
        {"restricted reviewer", false, false, false, false, false, 0x40000, 0, false, with({2})},
        {"free viewer", false, false, false, false, false, 0, 0, false, with({2, 3, 4, 18})},
        {"tags and notes hidden", true, false, true, false, false, 0, 0, false, with({18})},
        {"every note tool off", false, true, false, true, true, 0, 0x1F0, false, with({2, 3, 18})},
        {"clip and redaction off", false, true, false, true, true, 0, 0x1100, false,
         with({2, 3, 4, 11, 12, 14, 15, 18})},
        {"tags off and limited by bit", false, true, false, true, true, 0, 0x208, false,
         with({11, 12, 13, 14, 15, 16})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        session->annotationsRestricted = c.annotRestricted;
        session->annotationsOkToModify = c.annotModify;
        session->tagsRestricted = c.tagsRestricted;
        session->tagsOkToModify = c.tagsModify;
        session->redactionsOkToModify = c.redactModify;
        session->userProjectSecurity = c.security;
        session->questerSupported = c.quester;
        window->run.lBehaviorFlags = c.mask;
        window->ClearProjectViews();
        for (int hidden : {2, 3, 4, 11, 12, 13, 14, 15, 16, 19, 20}) {
            EXPECT_EQ(Shown().count(hidden), 0u) << hidden << " with no project";
        }
        OpenProject();
        EXPECT_EQ(Shown(), c.shown);

        // Hidden query buttons never open a tag query or a search.
        int pickers = 0;
        talq::DialogFactory<navigation::frmSelTag>::Scoped picker(
            testsupport::ScriptedMaker<navigation::frmSelTag>(
                [](navigation::frmSelTag& d) { d.cmdCancel_Click(); }, &pickers));
        window->Tbar_Click(3);
        EXPECT_EQ(pickers, c.shown.count(3) != 0 ? 1 : 0);
        window->run.lBehaviorFlags = 0;
    }
}

TEST_F(FrmViewToolbarTest, OneToolLatchesAtATimeWithItsFrameAndTheCrosshair) {
    OpenProject();
    ASSERT_TRUE(window->DisplayImage("K0001"));
    auto latched = [&](int index) {
        return FrameOf(window->ui.Tbar[static_cast<size_t>(index)], 3);
    };

    window->Tbar_Click(13);
    EXPECT_EQ(window->project.RedactMode, 13);
    EXPECT_EQ(latched(13), FrameHost::Frame::Pressed);
    EXPECT_EQ(window->ui.picImage->cursor().shape(), Qt::CrossCursor);

    window->Tbar_Click(14);
    EXPECT_EQ(window->project.RedactMode, 14);
    EXPECT_EQ(latched(13), FrameHost::Frame::None);
    EXPECT_EQ(latched(14), FrameHost::Frame::Pressed);
    EXPECT_EQ(window->ui.picImage->cursor().shape(), Qt::CrossCursor);

    window->Tbar_Click(14);
    EXPECT_EQ(window->project.RedactMode, 0);
    EXPECT_EQ(latched(14), FrameHost::Frame::None);
    EXPECT_EQ(window->ui.picImage->cursor().shape(), Qt::ArrowCursor);

    // The zoom window unlatches before it opens; a repaint keeps the latch.
    window->Tbar_Click(12);
    window->ui.TopToolBar->repaint();
    EXPECT_EQ(latched(12), FrameHost::Frame::Pressed);
    window->Tbar_Click(17);
    EXPECT_EQ(window->project.RedactMode, 0);
    EXPECT_EQ(window->zoom.ZoomWin_Active, 1);
    EXPECT_FALSE(window->ui.picZoom->isHidden());
    window->Tbar_Click(17);
    EXPECT_EQ(window->zoom.ZoomWin_Active, 0);

    // Leaving the project unlatches too.
    window->Tbar_Click(11);
    window->ClearProjectViews();
    EXPECT_EQ(window->project.RedactMode, 0);
    EXPECT_EQ(latched(11), FrameHost::Frame::None);
    EXPECT_EQ(window->ui.picImage->cursor().shape(), Qt::ArrowCursor);
}

TEST_F(FrmViewToolbarTest, FramesFollowHoverPressAndEveryResetOnAllToolbars) {
    OpenProject();
    window->query.Query_Active = 1;
    window->panes.TagPal_Active = 1;
    window->Form_Resize();
    QWidget* t3 = window->ui.Tbar[3];
    QWidget* t4 = window->ui.Tbar[4];

    // Moving from 3 to 4: the first move over 4 wipes 3's frame, the second draws 4's.
    window->Tbar_MouseMove(3);
    EXPECT_EQ(FrameOf(t3), FrameHost::Frame::Raised);
    window->Tbar_MouseMove(4);
    EXPECT_EQ(FrameOf(t3), FrameHost::Frame::None);
    EXPECT_EQ(FrameOf(t4), FrameHost::Frame::None);
    window->Tbar_MouseMove(4);
    EXPECT_EQ(FrameOf(t4), FrameHost::Frame::Raised);
    window->Tbar_MouseMove(4);
    EXPECT_EQ(FrameOf(t4), FrameHost::Frame::Raised);
    // A press over the hover frame draws the pressed one without a reset.
    window->Tbar_MouseDown(4);
    EXPECT_EQ(FrameOf(t4), FrameHost::Frame::Pressed);
    EXPECT_EQ(window->frames.TbarFrameIdx, 4);

    // One frame on each toolbar; a release anywhere wipes all five.
    window->NavTBar_MouseDown(1, Qt::LeftButton);
    window->MiscTBar_MouseMove(0);
    window->DrawButtonRaised(2, window->frames.TBQueryFrame, window->frames.TBQueryFrameIdx,
                             window->ui.TBQuery[2], window->ui.ScrollForm);
    window->DrawButtonPressed(1, window->frames.TBTagFrame, window->frames.TBTagFrameIdx,
                              window->ui.TBTag[1], window->ui.TagForm);
    EXPECT_EQ(FrameOf(window->ui.NavTBar[1]), FrameHost::Frame::Pressed);
    EXPECT_EQ(FrameOf(window->ui.MiscTBar[0]), FrameHost::Frame::Raised);
    EXPECT_EQ(FrameOf(window->ui.TBQuery[2]), FrameHost::Frame::Raised);
    EXPECT_EQ(FrameOf(window->ui.TBTag[1]), FrameHost::Frame::Pressed);
    window->MiscTBar_MouseUp();
    for (QWidget* b : {t4, static_cast<QWidget*>(window->ui.NavTBar[1]),
                       static_cast<QWidget*>(window->ui.MiscTBar[0]),
                       static_cast<QWidget*>(window->ui.TBQuery[2]),
                       static_cast<QWidget*>(window->ui.TBTag[1])}) {
        EXPECT_EQ(FrameOf(b), FrameHost::Frame::None);
    }
    for (std::int16_t flag :
         {window->frames.TbarFrame, window->frames.NavTBarFrame, window->frames.MiscTBarFrame,
          window->frames.TBQueryFrame, window->frames.TBTagFrame}) {
        EXPECT_EQ(flag, 0);
    }
    // The index stays when the frame goes.
    EXPECT_EQ(window->frames.TbarFrameIdx, 4);

    // Moving over a container's surface wipes the frames as well.
    window->Tbar_MouseMove(5);
    Mouse(window->ui.picFooter, QEvent::MouseMove, Qt::NoButton, QPointF(1, 1));
    EXPECT_EQ(FrameOf(window->ui.Tbar[5]), FrameHost::Frame::None);
}

TEST_F(FrmViewToolbarTest, ButtonsReportDownUpThenAClickOnlyWhenReleasedInside) {
    OpenProject();
    auto* b = window->ui.Tbar[17];
    std::vector<std::string> seen;
    QObject::connect(b, &viewer::PictureButton::MouseDown, b, [&] { seen.push_back("down"); });
    QObject::connect(b, &viewer::PictureButton::MouseUp, b, [&] { seen.push_back("up"); });
    QObject::connect(b, &viewer::PictureButton::Click, b, [&] { seen.push_back("click"); });
    const QPointF inside(b->width() / 2.0, b->height() / 2.0);
    Mouse(b, QEvent::MouseButtonPress, Qt::LeftButton, inside);
    EXPECT_EQ(FrameOf(b), FrameHost::Frame::Pressed);
    Mouse(b, QEvent::MouseButtonRelease, Qt::LeftButton, inside);
    EXPECT_EQ(seen, (std::vector<std::string>{"down", "up", "click"}));
    EXPECT_EQ(window->zoom.ZoomWin_Active, 1);
    EXPECT_EQ(FrameOf(b), FrameHost::Frame::None);

    seen.clear();
    Mouse(b, QEvent::MouseButtonPress, Qt::LeftButton, inside);
    Mouse(b, QEvent::MouseButtonRelease, Qt::LeftButton, QPointF(-20, -20));
    EXPECT_EQ(seen, (std::vector<std::string>{"down", "up"}));
    EXPECT_EQ(window->zoom.ZoomWin_Active, 1);
    // The right button clicks only where the toolbar uses it.
    Mouse(b, QEvent::MouseButtonPress, Qt::RightButton, inside);
    Mouse(b, QEvent::MouseButtonRelease, Qt::RightButton, inside);
    EXPECT_EQ(window->zoom.ZoomWin_Active, 1);
}

TEST_F(FrmViewToolbarTest, NoButtonOverlapsAnotherAtTheSmallestWindow) {
    OpenProject();
    window->query.Query_Active = 1;
    window->panes.TagPal_Active = 1;
    window->zoom.ZoomWin_Active = 1;
    window->link.g_bBackLink = false;
    session->backWardLink = "DOCID";
    session->bndryNbr = 2;
    window->LoadProjectViews();
    Resize(200, 200);  // the window stops at its minimum
    std::vector<std::vector<QWidget*>> bars(4);
    for (QWidget* b : window->ui.Tbar) bars[0].push_back(b);
    bars[0].push_back(window->ui.cboZoom);
    for (QWidget* b : window->ui.NavTBar) bars[1].push_back(b);
    for (QWidget* b : window->ui.MiscTBar) bars[1].push_back(b);
    for (QWidget* b : window->ui.Img_ConDB) bars[1].push_back(b);
    for (QWidget* b : window->ui.TBQuery) bars[2].push_back(b);
    for (QWidget* b : window->ui.TBZoom) bars[3].push_back(b);
    bars[3].push_back(window->ui.cboZoom2);
    for (size_t n = 0; n < bars.size(); ++n) {
        const auto& bar = bars[n];
        for (QWidget* a : bar) {
            if (a->isHidden()) continue;
            const QRect ra = a->geometry();
            // The zoom window may be lower than its buttons at the smallest height.
            if (n < 3) {
                EXPECT_TRUE(a->parentWidget()->rect().contains(ra)) << a->toolTip().toStdString();
            }
            for (QWidget* b : bar) {
                if (b == a || b->isHidden()) continue;
                EXPECT_FALSE(ra.intersects(b->geometry()))
                    << a->toolTip().toStdString() << " / " << b->toolTip().toStdString();
            }
        }
    }
}

}  // namespace
