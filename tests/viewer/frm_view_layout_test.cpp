#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QToolButton>

#include "viewer/frm_view_fixture.h"

namespace {

using testsupport::FrmViewTest;
using viewer::ComputeMainWindowLayout;
using viewer::KeptPaneSizes;
using viewer::LayoutInput;
using viewer::LayoutResult;
using viewer::TwipRect;

QRect Pixels(const TwipRect& t) {
    return QRect(platform::RoundToInt(t.left / 15.0), platform::RoundToInt(t.top / 15.0),
                 platform::RoundToInt(t.width / 15.0), platform::RoundToInt(t.height / 15.0));
}

class FrmViewLayoutTest : public FrmViewTest {
  protected:
    // What the pure layout gives for the window's present state.
    LayoutResult Expected() {
        LayoutInput in;
        in.innerWidth = InnerW();
        in.innerHeight = InnerH();
        in.statusLine = window->settings.g_StatusLine;
        in.tagPaletteOpen = window->panes.TagPal_Active == 1;
        in.queryActive = window->query.Query_Active;
        in.projectTreeOpen = window->panes.PrjView_Active == 1;
        in.zoomWindowOpen = window->zoom.ZoomWin_Active != 0;
        KeptPaneSizes kept{window->panes.MarginBarPosn, window->panes.TagFormWidth,
                           window->zoom.ZoomBarRatio};
        return ComputeMainWindowLayout(in, kept, window->Design());
    }
};

TEST_F(FrmViewLayoutTest, PanesLandWhereTheLayoutPutsThemForEachSizeAndPaneSet) {
    struct Case {
        int w, h;
        bool tags;
        int query;
        bool zoom;
        int status;
    };
    for (const Case& c : {Case{900, 700, false, 0, false, 0}, Case{1200, 800, true, 1, true, 1},
                          Case{700, 500, true, 0, false, 8}, Case{1000, 900, false, 2, true, 0}}) {
        SCOPED_TRACE(testing::Message() << c.w << "x" << c.h);
        window->panes.TagPal_Active = c.tags ? 1 : 0;
        window->query.Query_Active = static_cast<std::int16_t>(c.query);
        window->zoom.ZoomWin_Active = c.zoom ? 1 : 0;
        window->settings.g_StatusLine = static_cast<std::int16_t>(c.status);
        Resize(c.w, c.h);
        const KeptPaneSizes before{window->panes.MarginBarPosn, window->panes.TagFormWidth,
                                   window->zoom.ZoomBarRatio};
        const LayoutResult r = Expected();
        EXPECT_EQ(window->ui.picImage->geometry(), Pixels(r.picImage));
        EXPECT_EQ(window->ui.VScroll1->geometry(), Pixels(r.vScroll));
        EXPECT_EQ(window->ui.HScroll1->geometry(), Pixels(r.hScroll));
        EXPECT_EQ(window->ui.picFooter->geometry(), Pixels(r.picFooter));
        EXPECT_EQ(window->ui.TagForm->isVisible(), c.tags);
        EXPECT_EQ(window->ui.MarginBar2->isVisible(), c.tags);
        if (c.tags) {
            EXPECT_EQ(window->ui.TagForm->geometry(), Pixels(*r.tagForm));
        }
        EXPECT_EQ(window->ui.ScrollForm->isVisible(), c.query > 0);
        EXPECT_EQ(window->ui.Marginbar->isVisible(), c.query > 0);
        if (c.query > 0) {
            EXPECT_EQ(window->ui.ScrollForm->geometry(), Pixels(*r.scrollForm));
        }
        EXPECT_EQ(window->ui.picZoom->isVisible(), c.zoom);
        if (c.zoom) {
            EXPECT_EQ(window->ui.picZoom->geometry(), Pixels(*r.picZoom));
            EXPECT_EQ(window->ui.picZoom2->geometry(), Pixels(r.picZoom2));
        }
        EXPECT_EQ(window->ui.lblStatus->isVisible(), c.status < 1);
        EXPECT_EQ(window->ui.txtStatus->isVisible(), c.status >= 1);
        EXPECT_EQ(window->panes.MarginBar_Active, c.query > 0 ? 1 : 0);
        EXPECT_EQ(window->panes.MarginBar2_Active, c.tags ? 1 : 0);
        EXPECT_EQ(window->panes.Paint_in_Process, 0);
        // A second layout of the same window changes nothing kept.
        window->Form_Resize();
        EXPECT_EQ(window->panes.MarginBarPosn, before.marginBarPosn);
        EXPECT_EQ(window->panes.TagFormWidth, before.tagFormWidth);
    }
}

TEST_F(FrmViewLayoutTest, TallerStatusBoxShowsAllItsLinesWithoutScrolling) {
    window->settings.g_StatusLine = 1 | 2 | 4;
    window->Form_Resize();
    window->ui.txtStatus->setPlainText(QStringLiteral(
        "ACM0000012 (Page 2 of 5)\nBox 1: Legal records\nAuthor: Ann Lee\nResponsive, Hot"));
    QApplication::processEvents();
    ASSERT_TRUE(window->ui.txtStatus->isVisible());
    EXPECT_EQ(window->ui.txtStatus->verticalScrollBar()->maximum(), 0);
    EXPECT_GE(window->ui.txtStatus->viewport()->height(),
              4 * window->ui.txtStatus->fontMetrics().lineSpacing());
}

TEST_F(FrmViewLayoutTest, OpenPanesAndTheToolbarsRaiseTheMinimumSizeOfTheClientArea) {
    const int chromeW = window->frameGeometry().width() - window->ui.client->width();
    // The image toolbar's row is the widest: the window never cuts it.
    const int toolbar = platform::RoundToInt(window->Design().toolbarWidth / 15.0);
    const QWidget* last = window->ui.Tbar[20];
    EXPECT_GE(toolbar, last->geometry().right() + 1);
    const int bare = window->ui.client->minimumWidth();
    EXPECT_EQ(bare, std::max({100 - chromeW, toolbar, 0}));
    window->panes.TagPal_Active = 1;
    window->query.Query_Active = 1;
    window->Form_Resize();
    EXPECT_EQ(window->ui.client->minimumWidth(),
              std::max({platform::RoundToInt(5500 / 15.0) - chromeW, toolbar, 0}));
    EXPECT_GE(window->ui.client->minimumHeight(), 1);
}

TEST_F(FrmViewLayoutTest, ALayoutFoundRunningDoesNothingAndTheGuardIsAlwaysCleared) {
    window->panes.Paint_in_Process = 1;
    window->panes.TagPal_Active = 1;
    window->Form_Resize();
    EXPECT_FALSE(window->ui.TagForm->isVisible());
    EXPECT_EQ(window->panes.Paint_in_Process, 1);
    window->panes.Paint_in_Process = 0;
    window->Form_Resize();
    EXPECT_TRUE(window->ui.TagForm->isVisible());
    EXPECT_EQ(window->panes.Paint_in_Process, 0);
}

TEST_F(FrmViewLayoutTest, ClosingTheQueryPaneClearsConceptHighlights) {
    window->query.Query_Active = 1;
    window->query.bQuesterActive = true;
    window->Form_Resize();
    EXPECT_TRUE(window->query.bQuesterActive);
    window->query.Query_Active = 0;
    window->Form_Resize();
    EXPECT_FALSE(window->query.bQuesterActive);
}

TEST_F(FrmViewLayoutTest, QuerySortButtonFollowsTheServersExtendedFlag) {
    window->query.Query_Active = 1;
    session->extSystemFlags = 0x40;
    window->Form_Resize();
    EXPECT_FALSE(window->ui.TBQuery[6]->isVisible());
    session->extSystemFlags = 0;
    window->Form_Resize();
    EXPECT_TRUE(window->ui.TBQuery[6]->isVisible());
}

TEST_F(FrmViewLayoutTest, LeftSplitterMovesByTheDragDistanceAndAClickKeepsTheWidth) {
    window->query.Query_Active = 1;
    Resize(1200, 800);
    window->panes.MarginBarPosn = 3000;
    window->Form_Resize();
    window->Marginbar_MouseDown(30);
    window->Marginbar_MouseUp(30);
    EXPECT_EQ(window->panes.MarginBarPosn, 3000);
    EXPECT_EQ(window->panes.MarginBar_Drag, 0);
    window->Marginbar_MouseDown(30);
    window->Marginbar_MouseUp(630);
    EXPECT_EQ(window->panes.MarginBarPosn, 3600);
    EXPECT_EQ(window->ui.Marginbar->geometry().right() + 1, 3600 / 15);
    window->Marginbar_MouseDown(30);
    window->Marginbar_MouseUp(-30000);
    EXPECT_EQ(window->panes.MarginBarPosn, 2000);
}

TEST_F(FrmViewLayoutTest, RightSplitterWidensThePaletteByTheDragToTheLeft) {
    window->panes.TagPal_Active = 1;
    Resize(1200, 800);
    const int width = window->panes.TagFormWidth;
    window->MarginBar2_MouseDown(30);
    window->MarginBar2_MouseUp(-270);
    EXPECT_EQ(window->panes.TagFormWidth, width + 300);
    window->MarginBar2_MouseDown(0);
    window->MarginBar2_MouseUp(100000);
    // 1600 wide, then the layout keeps the splitter 1600 from the right edge.
    EXPECT_EQ(window->panes.TagFormWidth, 1600 + 60);
}

}  // namespace
