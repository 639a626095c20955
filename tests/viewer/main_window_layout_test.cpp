#include "viewer/main_window_layout.h"

#include <gtest/gtest.h>

#include "platform/rounding.h"

using namespace viewer;

namespace {

LayoutInput Window(int w, int h) {
    LayoutInput in;
    in.innerWidth = w;
    in.innerHeight = h;
    return in;
}

TEST(MainWindowLayout, PageAreaFillsTheMiddleWithoutSidePanes) {
    LayoutDesign d;
    KeptPaneSizes kept;
    LayoutResult r = ComputeMainWindowLayout(Window(12000, 9000), kept, d);
    const int mh = 9000 - d.topToolBarHeight - d.footerHeightLabel;
    EXPECT_EQ(r.txtImage, (TwipRect{0, d.topToolBarHeight, 12000, mh}));
    EXPECT_EQ(r.picImage.width, 12000 - d.vScrollWidth);
    EXPECT_EQ(r.hScroll.top, d.topToolBarHeight + mh - d.hScrollHeight);
    EXPECT_EQ(r.picFooter, (TwipRect{0, 9000 - d.footerHeightLabel, 11995, d.footerHeightLabel}));
    EXPECT_TRUE(r.lblStatus.has_value());
    EXPECT_FALSE(r.txtStatus.has_value());
    EXPECT_FALSE(r.marginbar || r.scrollForm || r.picPrjVw || r.tagForm || r.zoomBar);
    EXPECT_TRUE(r.clearQuesterHits);
}

TEST(MainWindowLayout, TallStatusBoxTakesTheTallerFooter) {
    LayoutInput in = Window(12000, 9000);
    in.statusLine = 1;
    KeptPaneSizes kept;
    LayoutResult r = ComputeMainWindowLayout(in, kept);
    EXPECT_EQ(r.picFooter.height, LayoutDesign{}.footerHeightTextBox);
    EXPECT_TRUE(r.txtStatus.has_value());
    EXPECT_FALSE(r.lblStatus.has_value());
}

TEST(MainWindowLayout, LeftPanelIsCutToLeaveThePageRoom) {
    LayoutInput in = Window(4000, 6000);
    in.queryActive = 1;
    KeptPaneSizes kept;
    kept.marginBarPosn = 3500;
    LayoutResult r = ComputeMainWindowLayout(in, kept);
    EXPECT_EQ(kept.marginBarPosn, 2500);
    EXPECT_EQ(r.txtImage.left, 2500);
    EXPECT_EQ(r.txtImage.width, 1500);
    ASSERT_TRUE(r.scrollForm.has_value());
    EXPECT_EQ(r.scrollForm->width, 2500 - LayoutDesign{}.marginBarWidth - 1);
}

TEST(MainWindowLayout, BothSidePanesKeepTheirLimits) {
    LayoutInput in = Window(9000, 6000);
    in.queryActive = 1;
    in.tagPaletteOpen = true;
    KeptPaneSizes kept;
    kept.marginBarPosn = 8000;  // too wide: at most W - 3100
    kept.tagFormWidth = 8000;   // too wide: the splitter stays 1000 right of the panel
    LayoutResult r = ComputeMainWindowLayout(in, kept);
    EXPECT_EQ(kept.marginBarPosn, 5900);
    EXPECT_EQ(r.marginBar2Posn, 6900);
    EXPECT_EQ(r.txtImage.width, 1000);

    kept.marginBarPosn = 100;  // too narrow: at least 2000
    kept.tagFormWidth = 100;   // splitter at most W - 1600
    r = ComputeMainWindowLayout(in, kept);
    EXPECT_EQ(kept.marginBarPosn, 2000);
    EXPECT_EQ(r.marginBar2Posn, 9000 - 1600);
}

TEST(MainWindowLayout, PaletteWidthIsStableAcrossLayouts) {
    LayoutInput in = Window(12000, 8000);
    in.tagPaletteOpen = true;
    KeptPaneSizes kept;
    LayoutResult first = ComputeMainWindowLayout(in, kept);
    LayoutResult second = ComputeMainWindowLayout(in, kept);
    EXPECT_EQ(first.marginBar2Posn, second.marginBar2Posn);
    EXPECT_EQ(first.tagForm, second.tagForm);
}

TEST(MainWindowLayout, TreeAndQueryShareTheLeftPanel) {
    LayoutInput in = Window(12000, 8001);
    in.queryActive = 1;
    in.projectTreeOpen = true;
    KeptPaneSizes kept;
    LayoutResult r = ComputeMainWindowLayout(in, kept);
    const int mh = 8001 - LayoutDesign{}.topToolBarHeight - LayoutDesign{}.footerHeightLabel;
    ASSERT_TRUE(r.picPrjVw && r.scrollForm);
    const int th = r.picPrjVw->height;
    EXPECT_EQ(mh, 6819);
    EXPECT_EQ(th, 3410);  // 3409.5 goes to the even neighbour
    EXPECT_EQ(r.scrollForm->top, r.picPrjVw->top + th + 1);
    EXPECT_EQ(r.scrollForm->height, th - 1);
    EXPECT_FALSE(r.clearQuesterHits);
}

TEST(MainWindowLayout, ZoomSplitStartsAtEightTenthsAndStaysInRange) {
    LayoutInput in = Window(10000, 10000);
    in.zoomWindowOpen = true;
    KeptPaneSizes kept;
    LayoutResult r = ComputeMainWindowLayout(in, kept);
    const int mh = 10000 - LayoutDesign{}.topToolBarHeight - LayoutDesign{}.footerHeightLabel;
    EXPECT_EQ(r.zoomBarPosn, platform::RoundToInt(0.8 * mh));
    EXPECT_EQ(r.txtImage.height, r.zoomBarPosn - 1);

    kept.zoomBarRatio = 0.95f;
    r = ComputeMainWindowLayout(in, kept);
    EXPECT_NEAR(kept.zoomBarRatio, 0.9, 0.001);
    kept.zoomBarRatio = 0.45f;
    r = ComputeMainWindowLayout(in, kept);
    EXPECT_NEAR(kept.zoomBarRatio, 0.5, 0.001);
}

TEST(MainWindowLayout, TinyWindowIsLaidOutAtTheMinimumWithoutNegativeSizes) {
    LayoutInput in = Window(10, 10);
    in.chromeWidth = 120;
    in.chromeHeight = 600;
    in.tagPaletteOpen = true;
    in.projectTreeOpen = true;
    in.zoomWindowOpen = true;
    KeptPaneSizes kept;
    LayoutResult r = ComputeMainWindowLayout(in, kept);
    EXPECT_EQ(r.minOuterWidth, 5500);
    EXPECT_EQ(r.minOuterHeight, 3000);
    EXPECT_EQ(r.width, 5500 - 120);
    EXPECT_EQ(r.height, 3000 - 600);
    for (const TwipRect& rect : {r.txtImage, r.picImage, r.vScroll, r.hScroll, r.picZoom2}) {
        EXPECT_GE(rect.width, 0);
        EXPECT_GE(rect.height, 0);
    }
}

TEST(SplitterDrag, MovesByTheDragDistanceOnly) {
    EXPECT_EQ(MarginBarDragWidth(3000, 500, 500, 12000, false), 3000);  // a plain click
    EXPECT_EQ(MarginBarDragWidth(3000, 500, 900, 12000, false), 3400);
    EXPECT_EQ(MarginBarDragWidth(3000, 500, -5000, 12000, false), 2000);
    EXPECT_EQ(MarginBarDragWidth(3000, 0, 20000, 12000, true), 12000 - 3100);
    EXPECT_EQ(MarginBar2DragWidth(2760, 1000, 800), 2960);
    EXPECT_EQ(MarginBar2DragWidth(2760, 1000, 5000), 1600);
}

}  // namespace
