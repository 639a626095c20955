#include <QApplication>
#include <QComboBox>
#include <QScrollBar>
#include <QWheelEvent>

#include "support/annotation_box.h"
#include "support/scoped_env.h"
#include "viewer/frm_view_fixture.h"

namespace {

using testsupport::FrmViewTest;

constexpr std::int32_t kWhite = 0xFFFFFF;
constexpr std::int32_t kBlack = 0x000000;
constexpr std::int32_t kYellow = 0x00FFFF;

AnnotationRec Box(int l, int t, int r, int b, std::int32_t colour) {
    return testsupport::AnnotationBox(l, t, r, b, colour);
}

class FrmViewRedisplayTest : public FrmViewTest {
  protected:
    // A white page of the given size in the engine, as the display leaves it.
    void LoadPage(int w, int h) {
        QImage page(w, h, QImage::Format_RGB32);
        page.fill(Qt::white);
        const std::string path = dir_.Path() + "/page.png";
        ASSERT_TRUE(page.save(QString::fromStdString(path)));
        ASSERT_TRUE(window->ImgObj->OpenImageFile(path));
        window->page.g_ImgWidth = window->ImgObj->ImgWidth();
        window->page.g_ImgHeight = window->ImgObj->ImgHeight();
        window->page.g_ValidImage = 1;
        window->page.szCurrentKey = "K0001";
    }
    // A 400 x 300 page with a black redaction over (10,10)-(60,40) and a
    // yellow highlight over (100,100)-(150,130).
    void LoadMarkedPage() {
        LoadPage(400, 300);
        window->pageAnnotations[kRedaction].list = {Box(10, 10, 60, 40, kBlack)};
        window->pageAnnotations[kRedaction].count = 1;
        window->pageAnnotations[kHighlight].list = {Box(100, 100, 150, 130, kYellow)};
        window->pageAnnotations[kHighlight].count = 1;
    }
    // Draws at 100 %, unscrolled.
    void ShowAtFullSize() {
        window->zoom.g_ScaleFactor = 1.0f;
        window->SetImageScale(2);
        window->RedisplayImage();
    }
    std::int32_t Back(int x, int y) const { return window->ui.picImage2.Point(x, y); }
    std::int32_t Screen(int x, int y) const { return window->ui.picImage->Surface().Point(x, y); }

    testsupport::ScopedTempDir dir_;
};

TEST_F(FrmViewRedisplayTest, FitPageTakesTheSmallerRatioAndFitWidthTheWidthRatio) {
    const int W = window->ui.picImage->width(), H = window->ui.picImage->height();
    window->page.g_ValidImage = 1;
    window->page.g_ImgWidth = W * 2;
    window->page.g_ImgHeight = H;  // wider than the view: fitted by its width
    window->SetImageScale(1);
    EXPECT_FLOAT_EQ(window->zoom.g_ScaleFactor, 0.5f);
    EXPECT_EQ(window->zoom.g_DspWidth, W);
    EXPECT_FALSE(window->ui.HScroll1->isEnabled());
    window->page.g_ImgWidth = W;
    window->page.g_ImgHeight = H * 4;  // taller: fitted by its height
    window->SetImageScale(1);
    EXPECT_FLOAT_EQ(window->zoom.g_ScaleFactor, 0.25f);
    EXPECT_EQ(window->ui.cboZoom->currentText(), QStringLiteral("25%"));
    window->SetImageScale(0);
    EXPECT_FLOAT_EQ(window->zoom.g_ScaleFactor, 1.0f);
    EXPECT_EQ(window->zoom.g_ScaleMode, 0);
}

TEST_F(FrmViewRedisplayTest, VerticalBarRangeRoundsHalvesToEven) {
    const int W = window->ui.picImage->width(), H = window->ui.picImage->height();
    window->page.g_ValidImage = 1;
    window->page.g_ImgWidth = W;
    window->page.g_ImgHeight = H + 1005;
    window->SetImageScale(0);
    EXPECT_TRUE(window->ui.VScroll1->isEnabled());
    EXPECT_EQ(window->ui.VScroll1->maximum(), 102);
    EXPECT_EQ(window->ui.VScroll1->singleStep(), 6);
    EXPECT_EQ(window->ui.VScroll1->pageStep(), 52);
    EXPECT_EQ(window->ui.VScroll1->value(), 0);
    EXPECT_FALSE(window->ui.HScroll1->isEnabled());
    EXPECT_EQ(window->zoom.g_Vscroll, 0);
}

TEST_F(FrmViewRedisplayTest, ScrollingToTheEndNeverShowsBeyondThePage) {
    const int H = window->ui.picImage->height();
    LoadPage(window->ui.picImage->width(), H + 1005);
    window->SetImageScale(0);
    window->ui.VScroll1->setValue(window->ui.VScroll1->maximum());
    EXPECT_EQ(window->zoom.g_Vscroll, 1005);
    window->ui.VScroll1->setValue(3);
    EXPECT_EQ(window->zoom.g_Vscroll, 30);
}

TEST_F(FrmViewRedisplayTest, CustomScaleZeroFitsTheWidth) {
    const int W = window->ui.picImage->width();
    window->page.g_ValidImage = 1;
    window->page.g_ImgWidth = W * 4;
    window->page.g_ImgHeight = 100;
    window->zoom.g_ScaleFactor = 0.0f;
    window->SetImageScale(2);
    EXPECT_FLOAT_EQ(window->zoom.g_ScaleFactor, 0.25f);
    EXPECT_EQ(window->zoom.g_ScaleMode, 2);
}

TEST_F(FrmViewRedisplayTest, NoPageOrAZeroSizeKeepsScaleAndMode) {
    window->zoom.g_ScaleFactor = 0.75f;
    window->zoom.g_ScaleMode = 2;
    window->page.g_ValidImage = 0;
    window->page.g_ImgWidth = 100;
    window->page.g_ImgHeight = 100;
    window->SetImageScale(1);
    EXPECT_EQ(window->zoom.g_ScaleMode, 2);
    EXPECT_FLOAT_EQ(window->zoom.g_ScaleFactor, 0.75f);
    window->page.g_ValidImage = 1;
    window->page.g_ImgHeight = 0;
    window->SetImageScale(1);
    EXPECT_EQ(window->zoom.g_ScaleMode, 2);
    EXPECT_FLOAT_EQ(window->zoom.g_ScaleFactor, 0.75f);
}

TEST_F(FrmViewRedisplayTest, BackBufferHoldsRedactionAndHighlightAndTheScreenItsCopy) {
    LoadMarkedPage();
    ShowAtFullSize();
    EXPECT_EQ(Back(35, 25), kBlack);
    EXPECT_EQ(Back(125, 115), kYellow);
    EXPECT_EQ(Back(250, 200), kWhite);
    EXPECT_EQ(Screen(35, 25), kBlack);
    EXPECT_EQ(Screen(125, 115), kYellow);
}

TEST_F(FrmViewRedisplayTest, RestrictedPageShowsItsRedactionsButNoOtherLayer) {
    LoadMarkedPage();
    window->page.g_PageRestricted = 1;
    ShowAtFullSize();
    EXPECT_EQ(Back(35, 25), kBlack);
    EXPECT_EQ(Back(125, 115), kWhite);

    window->zoom.ZoomWin_Active = 1;
    window->Form_Resize();
    window->zoom.ZoomWin_Scale = 2.0f;
    window->zoom.ZoomWin_X = 0;
    window->zoom.ZoomWin_Y = 0;
    window->RedisplayZoomImage();
    EXPECT_EQ(window->ui.picImage3.Point(70, 50), kBlack);
    EXPECT_EQ(window->ui.picZoom2->Surface().Point(70, 50), kBlack);
}

TEST_F(FrmViewRedisplayTest, HiddenAnnotationLevelAndBehaviourBitsSkipTheirLayers) {
    LoadMarkedPage();
    window->project.g_RestrictAnnotations = 2;
    ShowAtFullSize();
    EXPECT_EQ(Back(35, 25), kBlack);
    EXPECT_EQ(Back(125, 115), kWhite);
    window->project.g_RestrictAnnotations = 0;
    window->run.lBehaviorFlags = 0x80;
    window->RedisplayImage();
    EXPECT_EQ(Back(125, 115), kWhite);
    window->run.lBehaviorFlags = 0;
    window->RedisplayImage();
    EXPECT_EQ(Back(125, 115), kYellow);
}

TEST_F(FrmViewRedisplayTest, ScrolledPageMovesItsLayersWithIt) {
    LoadPage(window->ui.picImage->width(), window->ui.picImage->height() + 400);
    window->pageAnnotations[kHighlight].list = {Box(100, 300, 150, 330, kYellow)};
    window->pageAnnotations[kHighlight].count = 1;
    ShowAtFullSize();
    EXPECT_EQ(Back(125, 315), kYellow);
    window->ui.VScroll1->setValue(20);  // 200 display pixels
    EXPECT_EQ(Back(125, 115), kYellow);
    EXPECT_EQ(Back(125, 315), kWhite);
}

TEST_F(FrmViewRedisplayTest, ZoomWindowEnlargesTheSpotAtItsCorner) {
    LoadPage(400, 300);
    window->pageAnnotations[kRedaction].list = {Box(100, 100, 120, 110, kBlack)};
    window->pageAnnotations[kRedaction].count = 1;
    window->zoom.ZoomWin_Active = 1;
    window->Form_Resize();
    ShowAtFullSize();
    window->zoom.ZoomWin_Scale = 2.0f;
    window->zoom.ZoomWin_X = 90;  // display pixels of the main view at 100 %
    window->zoom.ZoomWin_Y = 90;
    window->RedisplayZoomImage();
    // Image (100,100)-(120,110) lands at (20,20)-(60,40) in the zoom pane.
    EXPECT_EQ(window->ui.picImage3.Point(40, 30), kBlack);
    EXPECT_EQ(window->ui.picImage3.Point(70, 30), kWhite);
    EXPECT_EQ(window->ui.cboZoom2->currentText(), QStringLiteral("200%"));
}

TEST_F(FrmViewRedisplayTest, ZoomWithoutMainScaleDrawsNothingAndKeepsItsScale) {
    LoadPage(400, 300);
    window->pageAnnotations[kRedaction].list = {Box(0, 0, 400, 300, kBlack)};
    window->pageAnnotations[kRedaction].count = 1;
    window->zoom.ZoomWin_Active = 1;
    window->Form_Resize();
    window->zoom.g_ScaleFactor = 0.0f;
    window->zoom.ZoomWin_Scale = 3.0f;
    window->RedisplayZoomImage();
    EXPECT_FLOAT_EQ(window->zoom.ZoomWin_Scale, 3.0f);
    EXPECT_EQ(window->ui.picZoom2->Surface().Point(5, 5), kWhite);
}

TEST_F(FrmViewRedisplayTest, ZoomButtonsStepAndStayInRangeAndCloseLaysOut) {
    window->zoom.ZoomWin_Scale = 0.95f;
    window->TBZoom_Click(1);
    EXPECT_NEAR(window->zoom.ZoomWin_Scale, 1.05f, 1e-5);
    window->TBZoom_Click(1);
    EXPECT_NEAR(window->zoom.ZoomWin_Scale, 1.25f, 1e-5);
    window->zoom.ZoomWin_Scale = 1.0f;
    window->TBZoom_Click(0);
    EXPECT_NEAR(window->zoom.ZoomWin_Scale, 0.9f, 1e-5);
    window->zoom.ZoomWin_Scale = 0.15f;
    window->TBZoom_Click(0);
    EXPECT_NEAR(window->zoom.ZoomWin_Scale, 0.1f, 1e-5);
    window->zoom.ZoomWin_Scale = 9.9f;
    window->TBZoom_Click(1);
    EXPECT_NEAR(window->zoom.ZoomWin_Scale, 10.0f, 1e-5);
    window->zoom.ZoomWin_Scale = 0.0f;
    window->TBZoom_Click(1);
    EXPECT_NEAR(window->zoom.ZoomWin_Scale, 1.2f, 1e-5);

    window->zoom.ZoomWin_Active = 1;
    window->Form_Resize();
    ASSERT_TRUE(window->ui.picZoom->isVisible());
    window->TBZoom_Click(2);
    EXPECT_EQ(window->zoom.ZoomWin_Active, 0);
    EXPECT_FALSE(window->ui.picZoom->isVisible());
}

TEST_F(FrmViewRedisplayTest, ZoomListsHoldTheirEntriesAndTheChoiceSetsTheScale) {
    ASSERT_EQ(window->ui.cboZoom->count(), 13);
    ASSERT_EQ(window->ui.cboZoom2->count(), 13);
    EXPECT_EQ(window->ui.cboZoom->itemText(0), QStringLiteral("10%"));
    EXPECT_EQ(window->ui.cboZoom->itemText(5), QStringLiteral("75%"));
    EXPECT_EQ(window->ui.cboZoom2->itemText(12), QStringLiteral("300%"));
    LoadPage(400, 300);
    window->ui.cboZoom->setCurrentIndex(7);
    window->cboZoom_Click();
    EXPECT_FLOAT_EQ(window->zoom.g_ScaleFactor, 1.25f);
    EXPECT_EQ(window->zoom.g_DspWidth, 500);
    EXPECT_EQ(window->zoom.g_ScaleMode, 2);
    EXPECT_EQ(viewer::ZoomPercentFromText("62.5%"), 62);
    EXPECT_EQ(viewer::ZoomPercentFromText("abc"), 0);
}

TEST_F(FrmViewRedisplayTest, TypedNegativeZoomIsRefusedAndKeepsTheScale) {
    LoadPage(400, 300);
    window->ui.cboZoom->setCurrentIndex(7);
    window->cboZoom_Click();
    window->ui.cboZoom2->setCurrentIndex(7);
    window->cboZoom2_Click();
    for (const char* typed : {"-50%", "-1", "-300"}) {
        window->ui.cboZoom->setEditText(QString::fromLatin1(typed));
        window->cboZoom_Click();
        EXPECT_FLOAT_EQ(window->zoom.g_ScaleFactor, 1.25f) << typed;
        EXPECT_EQ(window->zoom.g_DspWidth, 500) << typed;
        window->ui.cboZoom2->setEditText(QString::fromLatin1(typed));
        window->cboZoom2_Click();
        EXPECT_FLOAT_EQ(window->zoom.ZoomWin_Scale, 1.25f) << typed;
    }
}

TEST_F(FrmViewRedisplayTest, MouseWheelOverThePageScrollsIt) {
    LoadPage(4000, 6000);
    ShowAtFullSize();
    struct Case {
        QPoint turn;
        Qt::KeyboardModifiers modifiers;
        bool down, across;
    };
    for (const Case& c : {Case{{0, -120}, Qt::NoModifier, true, false},
                          Case{{-120, 0}, Qt::NoModifier, false, true},
                          Case{{0, -120}, Qt::AltModifier, false, true}}) {
        window->ui.VScroll1->setValue(0);
        window->ui.HScroll1->setValue(0);
        const QPointF at(20, 20);
        QWheelEvent wheel(at, window->ui.picImage->mapToGlobal(at), QPoint(), c.turn, Qt::NoButton,
                          c.modifiers, Qt::NoScrollPhase, false);
        QApplication::sendEvent(window->ui.picImage, &wheel);
        EXPECT_EQ(window->ui.VScroll1->value() > 0, c.down) << c.turn.x() << "," << c.turn.y();
        EXPECT_EQ(window->ui.HScroll1->value() > 0, c.across) << c.turn.x() << "," << c.turn.y();
        EXPECT_EQ(window->zoom.g_Vscroll > 0, c.down);
    }
}

TEST_F(FrmViewRedisplayTest, ZoomSplitterMovesWithinHalfToNineTenths) {
    window->zoom.ZoomWin_Active = 1;
    window->Form_Resize();
    const int posn = window->zoom.ZoomBarPosn;
    const float ratio = window->zoom.ZoomBarRatio;
    const int total = platform::RoundToInt(posn / static_cast<double>(ratio));
    window->ZoomBar_MouseDown(10);
    window->ZoomBar_MouseUp(10 - 300);
    EXPECT_EQ(window->zoom.ZoomBar_Drag, 0);
    EXPECT_NEAR(window->zoom.ZoomBarRatio, static_cast<float>(posn - 300) / total, 0.01);
    window->ZoomBar_MouseDown(0);
    window->ZoomBar_MouseUp(100000);
    EXPECT_NEAR(window->zoom.ZoomBarRatio, 0.9f, 0.01);
}

TEST_F(FrmViewRedisplayTest, NoPageClearsBothPanes) {
    LoadPage(400, 300);
    window->pageAnnotations[kRedaction].list = {Box(0, 0, 400, 300, kBlack)};
    window->pageAnnotations[kRedaction].count = 1;
    ShowAtFullSize();
    ASSERT_EQ(Screen(5, 5), kBlack);
    window->page.g_ValidImage = 0;
    window->RedisplayImage();
    EXPECT_EQ(Screen(5, 5), kWhite);
    EXPECT_EQ(Back(5, 5), kWhite);
}

}  // namespace
