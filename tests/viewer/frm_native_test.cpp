// The original-file window, opened from the main window, against a scripted
// session that renders original pages.

#include <QAction>
#include <QBuffer>
#include <QComboBox>
#include <QFile>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QToolButton>

#include "platform/rounding.h"
#include "platform/settings_store.h"
#include "support/test_images.h"
#include "viewer/frm_view_fixture.h"
#include "viewer/widgets/frm_native.h"

namespace {

using testsupport::FrmViewTest;
using viewer::gNativeForm;

// A page whose PNG is well over the 200 bytes that mark a page image.
std::string Page(int w, int h, int seed) {
    QImage image(w, h, QImage::Format_RGB32);
    unsigned noise = static_cast<unsigned>(seed);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            noise = noise * 1103515245u + 12345u;
            image.setPixel(x, y, qRgb((noise >> 16) & 255, y % 256, 90));
        }
    }
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes.toStdString();
}

class FrmNativeTest : public FrmViewTest {
  protected:
    FrmNativeTest() {
        session->userValid = session->projectValid = true;
        session->tempFile = dir_.Path() + "/page.img";
        session->originals["originals/a.pdf"] = {Page(400, 800, 3), Page(400, 800, 5),
                                                 Page(400, 800, 7)};
        window->page.szCurrentKey = "K0001";
        window->page.g_szNativeFile = "originals/a.pdf";
    }
    ~FrmNativeTest() override { viewer::UnloadNativeForm(); }

    viewer::frmNative& Open() {
        window->DisplayOriginalFile();
        EXPECT_NE(gNativeForm, nullptr);
        gNativeForm->resize(600, 700);
        QApplication::processEvents();
        return *gNativeForm;
    }
    static bool Shown(const QToolButton* b) { return !b->isHidden(); }

    testsupport::ScopedTempDir dir_;
};

TEST_F(FrmNativeTest, PagingForwardStopsAtTheEndAndBackAtTheFirstPage) {
    viewer::frmNative& form = Open();
    EXPECT_EQ(form.PageNbr(), 1);
    EXPECT_FALSE(Shown(form.Tbar[6]));
    EXPECT_TRUE(Shown(form.Tbar[7]));
    EXPECT_EQ(form.lblMsg->text(), QStringLiteral("Page: 1"));
    form.Tbar_Click(7);
    form.Tbar_Click(7);
    EXPECT_EQ(form.PageNbr(), 3);
    EXPECT_TRUE(Shown(form.Tbar[6]));
    EXPECT_EQ(prompts.Beeps(), 0);
    // Past the last page: a beep, the last page stays, Next goes.
    form.Tbar_Click(7);
    EXPECT_EQ(prompts.Beeps(), 1);
    EXPECT_TRUE(prompts.Messages().empty());
    EXPECT_EQ(form.PageNbr(), 3);
    EXPECT_EQ(form.PageCount(), 3);
    EXPECT_TRUE(form.ImageLoaded());
    EXPECT_FALSE(Shown(form.Tbar[7]));
    form.Tbar_Click(7);  // known last page: no request
    EXPECT_EQ(prompts.Beeps(), 2);
    form.Tbar_Click(6);
    form.Tbar_Click(6);
    EXPECT_EQ(form.PageNbr(), 1);
    EXPECT_FALSE(Shown(form.Tbar[6]));
    form.Tbar_Click(6);
    EXPECT_EQ(prompts.Beeps(), 3);
    EXPECT_EQ(session->originalRequests,
              (std::vector<std::string>{"originals/a.pdf|1|0", "originals/a.pdf|2|0",
                                        "originals/a.pdf|3|0", "originals/a.pdf|4|0",
                                        "originals/a.pdf|2|0", "originals/a.pdf|1|0"}));
}

TEST_F(FrmNativeTest, OnePageFileHidesBothPageButtonsAtItsEnd) {
    session->originals["originals/a.pdf"].resize(1);
    viewer::frmNative& form = Open();
    form.Tbar_Click(7);
    EXPECT_EQ(form.PageCount(), 1);
    EXPECT_FALSE(Shown(form.Tbar[6]));
    EXPECT_FALSE(Shown(form.Tbar[7]));
}

TEST_F(FrmNativeTest, FitRotateAndZoomFollowTheToolbar) {
    viewer::frmNative& form = Open();
    const int viewW = form.picImage->width(), viewH = form.picImage->height();
    EXPECT_EQ(form.ScaleMode(), 0);
    EXPECT_FLOAT_EQ(form.ScaleFactor(), static_cast<float>(viewW) / 400.0f);
    form.Tbar_Click(1);  // fit page: a 400 x 800 page is bound by its height
    EXPECT_FLOAT_EQ(form.ScaleFactor(), std::min(static_cast<float>(viewW) / 400.0f,
                                                 static_cast<float>(viewH) / 800.0f));
    form.Tbar_Click(3);  // rotate right
    EXPECT_EQ(form.Rotation(), 1);
    EXPECT_EQ(form.ImgWidth(), 800);
    EXPECT_EQ(form.ImgHeight(), 400);
    form.Tbar_Click(2);
    form.Tbar_Click(2);
    EXPECT_EQ(form.Rotation(), 3);
    EXPECT_EQ(form.ImgWidth(), 800);

    // "100%" from the list, then the zoom steps.
    form.cboZoom->setCurrentIndex(6);
    form.cboZoom_Click();
    EXPECT_FLOAT_EQ(form.ScaleFactor(), 1.0f);
    form.Tbar_Click(5);
    form.Tbar_Click(5);
    EXPECT_NEAR(form.ScaleFactor(), 1.15f, 1e-5);
    EXPECT_EQ(form.cboZoom->currentText(), QStringLiteral("115%"));
    form.cboZoom->setCurrentIndex(7);  // "125%"
    form.cboZoom_Click();
    EXPECT_FLOAT_EQ(form.ScaleFactor(), 1.25f);
    EXPECT_EQ(form.XScroll(), 0);
    EXPECT_EQ(form.YScroll(), 0);
    EXPECT_EQ(form.ScaleMode(), 2);
    // Rotation and a custom scale are kept from page to page.
    form.Tbar_Click(7);
    EXPECT_EQ(form.Rotation(), 3);
    EXPECT_FLOAT_EQ(form.ScaleFactor(), 1.25f);
}

TEST_F(FrmNativeTest, DraggingARectangleZoomsOntoIt) {
    viewer::frmNative& form = Open();
    form.cboZoom->setCurrentIndex(6);  // 100%: pane pixels are image pixels
    form.cboZoom_Click();
    form.picImage_MouseDown(10, 10);
    form.picImage_MouseMove(25, 25);
    form.picImage_MouseUp(30, 30);  // 20 x 20: nothing
    EXPECT_FLOAT_EQ(form.ScaleFactor(), 1.0f);
    // A tall rectangle from (100, 200): zoom by its height, capped at 2.
    form.picImage_MouseDown(100, 200);
    form.picImage_MouseMove(110, 300);
    form.picImage_MouseUp(120, 500);
    const float expected =
        std::min(2.0f, std::min(form.picImage->width() / 20.0f, form.picImage->height() / 300.0f));
    EXPECT_FLOAT_EQ(form.ScaleFactor(), expected);
    EXPECT_EQ(form.ScaleMode(), 2);
    // The anchor comes to the top-left corner as far as the range allows.
    const int dspH = static_cast<int>(800 * expected + 0.5f);
    EXPECT_EQ(form.YScroll(),
              std::min(static_cast<int>(200 * expected + 0.5f), dspH - form.picImage->height()));
}

TEST_F(FrmNativeTest, ColourChoiceIsSentKeptAndStored) {
    viewer::frmNative& form = Open();
    form.Tbar_Click(7);
    form.Tbar_Click(3);
    EXPECT_TRUE(form.mnuBW->isChecked());
    form.mnuColor_Click();
    // The same page again, in colour, as a new file: rotation back to 0.
    EXPECT_EQ(session->originalRequests.back(), "originals/a.pdf|2|1");
    EXPECT_EQ(form.Rotation(), 0);
    EXPECT_TRUE(form.mnuColor->isChecked());
    EXPECT_FALSE(form.mnuBW->isChecked());
    const size_t sent = session->originalRequests.size();
    form.mnuColor_Click();  // already in force: nothing
    EXPECT_EQ(session->originalRequests.size(), sent);
    form.Tbar_Click(7);
    EXPECT_EQ(session->originalRequests.back(), "originals/a.pdf|3|1");

    viewer::UnloadNativeForm();
    EXPECT_EQ(gNativeForm, nullptr);
    EXPECT_EQ(platform::GetSetting("VYNClient", "NativeView", "ViewColor"), "1");
    Open();
    EXPECT_EQ(session->originalRequests.back(), "originals/a.pdf|1|1");
}

TEST_F(FrmNativeTest, StoredPositionIsRestoredOnTheScreenAndSavedAgain) {
    platform::SaveSetting("VYNClient", "NativeView", "StartPos", "-100,-50,99999,99999");
    window->DisplayOriginalFile();
    ASSERT_NE(gNativeForm, nullptr);
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    EXPECT_LE(gNativeForm->width(), screen.width());
    EXPECT_LE(gNativeForm->height(), screen.height());
    EXPECT_GE(gNativeForm->x(), screen.x());
    EXPECT_GE(gNativeForm->y(), screen.y());
    gNativeForm->move(30, 40);
    gNativeForm->resize(500, 600);
    viewer::UnloadNativeForm();
    EXPECT_EQ(platform::GetSetting("VYNClient", "NativeView", "StartPos"), "450,600,7500,9000");
}

TEST_F(FrmNativeTest, FailedNewFileLeavesThePreviousFileWhole) {
    viewer::frmNative& form = Open();
    form.Tbar_Click(7);
    form.Tbar_Click(3);
    window->page.g_szNativeFile = "originals/gone.pdf";
    window->DisplayOriginalFile();
    EXPECT_EQ(prompts.Messages(),
              (std::vector<std::string>{"Error: Unable to Retrieve Original File"}));
    EXPECT_EQ(form.FileName(), "originals/a.pdf");
    EXPECT_EQ(form.PageNbr(), 2);
    EXPECT_EQ(form.Rotation(), 1);
    EXPECT_EQ(form.ImgWidth(), 800);
    EXPECT_TRUE(form.ImageLoaded());
    // Paging goes on in the file on display.
    form.Tbar_Click(7);
    EXPECT_EQ(session->originalRequests.back(), "originals/a.pdf|3|0");
    EXPECT_EQ(form.Rotation(), 1);

    // A reply that is no image clears the pane: nothing of the old page stays.
    session->originals["originals/bad.pdf"] = {std::string(300, 'x')};
    window->page.g_szNativeFile = "originals/bad.pdf";
    window->DisplayOriginalFile();
    EXPECT_FALSE(form.ImageLoaded());
    EXPECT_EQ(form.lblMsg->text(), QString());
    form.Tbar_Click(7);  // no image: a beep and no request
    EXPECT_EQ(session->originalRequests.back(), "originals/bad.pdf|1|0");

    // So does a JPEG whose body does not decode, found at its first draw.
    session->originals["originals/broken.jpg"] = {testsupport::DamagedJpeg()};
    window->page.g_szNativeFile = "originals/broken.jpg";
    window->DisplayOriginalFile();
    EXPECT_FALSE(form.ImageLoaded());
    EXPECT_EQ(prompts.Messages().size(), 3u);
}

TEST_F(FrmNativeTest, PageFileIsWrittenWholeEachTime) {
    session->originals["originals/a.pdf"] = {Page(600, 900, 3), Page(80, 60, 5)};
    viewer::frmNative& form = Open();
    form.Tbar_Click(7);
    QFile file(QString::fromStdString(session->tempFile));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll().toStdString(), session->originals["originals/a.pdf"][1]);
    EXPECT_EQ(form.ImgWidth(), 80);
}

TEST_F(FrmNativeTest, OriginalOfARestrictedPageIsNeverAskedFor) {
    session->images["K0001"] = Page(100, 100, 1);
    session->nativeFile = "originals/a.pdf";
    session->restricted = 1;
    ASSERT_TRUE(window->DisplayImage("K0001"));
    window->DisplayOriginalFile();
    EXPECT_EQ(gNativeForm, nullptr);
    EXPECT_TRUE(session->originalRequests.empty());
    // An original the server withholds (a page outside the user's range)
    // answers nothing: the window says so and shows no page.
    session->restricted = 0;
    session->nativeFile = "originals/elsewhere.pdf";
    ASSERT_TRUE(window->DisplayImage("K0001"));
    window->DisplayOriginalFile();
    ASSERT_NE(gNativeForm, nullptr);
    EXPECT_FALSE(gNativeForm->ImageLoaded());
    EXPECT_EQ(prompts.Messages(),
              (std::vector<std::string>{"Error: Unable to Retrieve Original File"}));
}

TEST_F(FrmNativeTest, DesktopProgramOptionHandsTheFileOverAndClosesTheWindow) {
    Open();
    window->settings.g_UseNativeAppView = 1;
    window->DisplayOriginalFile();
    EXPECT_EQ(gNativeForm, nullptr);
    EXPECT_EQ(session->originalsLaunched, (std::vector<std::string>{"K0001|originals/a.pdf"}));
    EXPECT_FALSE(window->IsInputBlocked());
}

TEST_F(FrmNativeTest, ClosedWhileItsPageIsOnTheWayShowsNothingAndSurvives) {
    viewer::frmNative& form = Open();
    session->duringStellantImage = [] { viewer::UnloadNativeForm(); };
    form.Tbar_Click(7);
    EXPECT_EQ(gNativeForm, nullptr);
    EXPECT_FALSE(form.ImageLoaded());
    EXPECT_TRUE(prompts.Messages().empty());
}

TEST_F(FrmNativeTest, LeavingTheProjectOrClosingTheMainWindowClosesIt) {
    Open();
    window->ClearProjectViews();
    EXPECT_EQ(gNativeForm, nullptr);
    window->ClearProjectViews();  // twice: nothing left to close
    Open();
    window->Form_Unload();
    EXPECT_EQ(gNativeForm, nullptr);
}

// Hover frames one button raised, a press sinks it and the release wipes it.
TEST_F(FrmNativeTest, ToolbarFramesFollowTheMouseOneButtonAtATime) {
    viewer::frmNative& form = Open();
    using Frame = viewer::FrameHost::Frame;
    auto frameOf = [&](int i) {
        const int d = platform::RoundToInt(30 / platform::ScreenTwipsPerPixel().x);
        return form.TopToolBar->FrameAround(form.Tbar[static_cast<size_t>(i)], d);
    };
    emit form.Tbar[0]->MouseMove(0);
    EXPECT_EQ(frameOf(0), Frame::Raised);
    emit form.Tbar[1]->MouseMove(1);
    EXPECT_EQ(frameOf(0), Frame::None);
    EXPECT_EQ(frameOf(1), Frame::Raised);
    emit form.Tbar[1]->MouseDown(1, Qt::LeftButton);
    EXPECT_EQ(frameOf(1), Frame::Pressed);
    emit form.Tbar[1]->MouseMove(1);
    EXPECT_EQ(frameOf(1), Frame::Pressed) << "a hover never covers the press";
    emit form.Tbar[1]->MouseUp(1, Qt::LeftButton);
    EXPECT_EQ(frameOf(1), Frame::None);
    EXPECT_FALSE(form.Tbar[4]->icon().isNull());
}

}  // namespace
