#include <gtest/gtest.h>

#include <QPainter>

#include "render/gdi_lead.h"
#include "support/scoped_env.h"
#include "support/test_images.h"

namespace {

// A white page with a black pixel block at its top-left corner, so that the
// block's place after a turn shows the direction.
QImage MarkedPage(int w, int h, QImage::Format format) {
    QImage page(w, h, format);
    page.fill(Qt::white);
    QPainter p(&page);
    p.fillRect(0, 0, 4, 2, Qt::black);
    return page;
}

class EngineTest : public ::testing::Test {
  protected:
    std::string Path(const std::string& name) const { return dir_.Path() + "/" + name; }
    std::string WriteTiff(int w, int h, int dpi) {
        std::string path = Path("page.tif");
        EXPECT_TRUE(testsupport::WriteG4Tiff(path, MarkedPage(w, h, QImage::Format_RGB32), dpi));
        return path;
    }
    testsupport::ScopedTempDir dir_;
};

TEST_F(EngineTest, ReportsSizeResolutionAndDepthAsTheFileHoldsThem) {
    cGdiLead engine;
    EXPECT_EQ(engine.UseLead(), 0);
    ASSERT_TRUE(engine.OpenImageFile(WriteTiff(200, 300, 300))) << engine.GetLastError();
    EXPECT_EQ(engine.ImgWidth(), 200);
    EXPECT_EQ(engine.ImgHeight(), 300);
    EXPECT_EQ(engine.Xresolution(), 300);
    EXPECT_EQ(engine.Yresolution(), 300);
    EXPECT_EQ(engine.BitsPerPixel(), 1);

    QImage colour = MarkedPage(50, 40, QImage::Format_RGB32);
    colour.setDotsPerMeterX(7874);  // 200 dpi
    colour.setDotsPerMeterY(7874);
    ASSERT_TRUE(colour.save(QString::fromStdString(Path("p.jpg")), "JPEG"));
    ASSERT_TRUE(engine.OpenImageFile(Path("p.jpg")));
    EXPECT_EQ(engine.BitsPerPixel(), 24);
    EXPECT_EQ(engine.ImgWidth(), 50);
    EXPECT_EQ(engine.Xresolution(), 200);

    ASSERT_TRUE(colour.convertToFormat(QImage::Format_RGB888)
                    .save(QString::fromStdString(Path("p.png")), "PNG"));
    ASSERT_TRUE(engine.OpenImageFile(Path("p.png")));
    EXPECT_EQ(engine.BitsPerPixel(), 24);
    EXPECT_EQ(engine.ImgHeight(), 40);

    ASSERT_TRUE(
        MarkedPage(8, 8, QImage::Format_ARGB32).save(QString::fromStdString(Path("a.png")), "PNG"));
    ASSERT_TRUE(engine.OpenImageFile(Path("a.png")));
    EXPECT_EQ(engine.BitsPerPixel(), 32);
}

TEST_F(EngineTest, EveryQuarterTurnSwapsSizesKeepsDepthAndTurnsClockwise) {
    const std::string path = WriteTiff(40, 20, 300);
    for (int r = 1; r <= 3; ++r) {
        cGdiLead engine;
        ASSERT_TRUE(engine.OpenImageFile(path));
        ASSERT_TRUE(engine.RotateImage(r)) << engine.GetLastError();
        const bool quarter = r % 2 == 1;
        EXPECT_EQ(engine.ImgWidth(), quarter ? 20 : 40);
        EXPECT_EQ(engine.ImgHeight(), quarter ? 40 : 20);
        EXPECT_EQ(engine.BitsPerPixel(), 1);
        EXPECT_EQ(engine.Xresolution(), 300);
        // The black block of the top-left corner moves clockwise.
        const QImage& img = engine.ImgHndl()->image;
        const int w = img.width(), h = img.height();
        QPoint corner = r == 1   ? QPoint(w - 1, 0)
                        : r == 2 ? QPoint(w - 1, h - 1)
                                 : QPoint(0, h - 1);
        EXPECT_EQ(qGray(img.pixel(corner)), 0) << "rotation " << r;
        EXPECT_EQ(qGray(img.pixel(w / 2, h / 2)), 255);
        EXPECT_EQ(qGray(engine.ImgHndl()->display.pixel(corner)), 0);
    }
}

TEST_F(EngineTest, FailuresKeepTheirTexts) {
    cGdiLead engine;
    EXPECT_TRUE(engine.RotateImage(0));
    EXPECT_FALSE(engine.RotateImage(4));
    EXPECT_EQ(engine.GetLastError(), "Invalid Parameter");
    EXPECT_FALSE(engine.RotateImage(1));
    EXPECT_EQ(engine.GetLastError(), "Invalid Image Handle");

    testsupport::WriteFile(Path("empty.tif"), "");
    EXPECT_FALSE(engine.OpenImageFile(Path("empty.tif")));
    EXPECT_EQ(engine.GetLastError(), "Unable to Open ImageFile: " + Path("empty.tif"));
    EXPECT_FALSE(engine.IsImageValid());
    testsupport::WriteFile(Path("bad.jpg"), std::string("\xFF\xD8\xFF\xE0garbage", 11));
    EXPECT_FALSE(engine.OpenImageFile(Path("bad.jpg")));
    EXPECT_EQ(engine.GetLastError(), "Unable to Open ImageFile: " + Path("bad.jpg"));
    EXPECT_EQ(engine.ImgWidth(), 0);
    EXPECT_EQ(engine.BitsPerPixel(), 0);
    EXPECT_EQ(engine.Xresolution(), 0);

    platform::DrawSurface surface(10, 10);
    EXPECT_FALSE(engine.DrawImageRect(0, 0, 10, 0, 0, 0));
    EXPECT_EQ(engine.GetLastError(), "Invalid Width/Height Paramter");
    EXPECT_FALSE(engine.DrawImageRect(0, 0, 10, 10, 0, 0));
    EXPECT_EQ(engine.GetLastError(), "Graphics Output not set");
    ASSERT_TRUE(engine.SetGraphicsOutput(&surface));
    EXPECT_FALSE(engine.DrawImageRect(0, 0, 10, 10, 0, 0));
    EXPECT_EQ(engine.GetLastError(), "Invalid Image Handle");
}

TEST_F(EngineTest, FailedGraphicsOutputLeavesAMessageToShow) {
    cGdiLead engine;
    platform::DrawSurface none;
    EXPECT_FALSE(engine.SetGraphicsOutput(&none));
    EXPECT_EQ(engine.GetLastError(), "Graphics Output not set");
    EXPECT_FALSE(engine.SetGraphicsOutput(nullptr));
    EXPECT_EQ(engine.GetLastError(), "Graphics Output not set");
}

TEST_F(EngineTest, OpeningDropsTheOutputAndSuccessClearsTheLastError) {
    cGdiLead engine;
    platform::DrawSurface surface(100, 150);
    ASSERT_TRUE(engine.OpenImageFile(WriteTiff(200, 300, 300)));
    ASSERT_TRUE(engine.SetGraphicsOutput(&surface));
    EXPECT_EQ(engine.GetInterpolationMode(), cGdiLead::kInterpolationBilinear);
    ASSERT_TRUE(engine.OpenImageFile(WriteTiff(200, 300, 300)));
    EXPECT_EQ(engine.GetInterpolationMode(), 0);
    EXPECT_FALSE(engine.DrawImageRect(0, 0, 100, 150, 0, 0));
    EXPECT_EQ(engine.GetLastError(), "Graphics Output not set");
    ASSERT_TRUE(engine.SetGraphicsOutput(&surface));
    EXPECT_TRUE(engine.DrawImageRect(0, 0, 100, 150, 0, 0));
    EXPECT_EQ(engine.GetLastError(), "");
}

TEST_F(EngineTest, DrawsTheScrolledPartOfTheScaledPage) {
    // A page with a one-pixel vertical stroke: scaled down by two it must
    // still show on screen, not vanish between sampled columns.
    QImage page(400, 400, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter(&page).fillRect(201, 0, 1, 400, Qt::black);
    ASSERT_TRUE(testsupport::WriteG4Tiff(Path("stroke.tif"), page, 300));
    cGdiLead engine;
    ASSERT_TRUE(engine.OpenImageFile(Path("stroke.tif")));
    platform::DrawSurface surface(150, 150, 0x0000FF);
    ASSERT_TRUE(engine.SetGraphicsOutput(&surface));
    ASSERT_TRUE(engine.DrawImageRect(0, 0, 133, 133, 0, 0));
    int darkest = 255;
    for (int x = 60; x < 75; ++x) darkest = std::min(darkest, qGray(surface.Image().pixel(x, 10)));
    EXPECT_LT(darkest, 235);  // grey, not lost between sampled columns
    // Beyond the scaled page the surface keeps what it had.
    EXPECT_EQ(surface.Point(140, 140), 0x0000FF);

    // Scrolled by 50: image column 201 at scale 2 sits at 402 - 50.
    platform::DrawSurface big(400, 50);
    ASSERT_TRUE(engine.SetGraphicsOutput(&big));
    ASSERT_TRUE(engine.DrawImageRect(50, 100, 800, 800, 0, 0));
    EXPECT_EQ(big.Point(352, 10), 0);
    EXPECT_EQ(big.Point(353, 10), 0);
    EXPECT_EQ(big.Point(351, 10), 0xFFFFFF);
    EXPECT_EQ(big.Point(354, 10), 0xFFFFFF);
    EXPECT_TRUE(engine.DrawImageRect(100000, 100000, 800, 800, 0, 0));
}

TEST_F(EngineTest, ClonesAnAreaIntoAnotherEngine) {
    cGdiLead source, target;
    ASSERT_TRUE(source.OpenImageFile(WriteTiff(64, 48, 200)));
    ASSERT_TRUE(source.CloneImageArea(target, 0, 0, 16, 8, 0)) << source.GetLastError();
    EXPECT_EQ(target.ImgWidth(), 16);
    EXPECT_EQ(target.ImgHeight(), 8);
    EXPECT_EQ(target.BitsPerPixel(), 1);
    EXPECT_EQ(target.Xresolution(), 200);
    EXPECT_EQ(qGray(target.ImgHndl()->image.pixel(0, 0)), 0);
    EXPECT_EQ(qGray(target.ImgHndl()->image.pixel(10, 5)), 255);

    ASSERT_TRUE(source.CloneImageArea(target, 2, 1, 10, 10, 24));
    EXPECT_EQ(target.BitsPerPixel(), 24);
    EXPECT_EQ(qGray(target.ImgHndl()->image.pixel(0, 0)), 0);
    EXPECT_EQ(qGray(target.ImgHndl()->image.pixel(2, 0)), 255);

    EXPECT_FALSE(source.CloneImageArea(target, 60, 0, 10, 10, 0));
    EXPECT_EQ(source.GetLastError(), "Unable to Clone Image Area");
    EXPECT_FALSE(target.IsImageValid());

    ASSERT_TRUE(source.CopyImage(target));
    EXPECT_EQ(target.ImgWidth(), 64);
    // The copy is its own: turning the source leaves it alone.
    ASSERT_TRUE(source.RotateImage(1));
    EXPECT_EQ(target.ImgWidth(), 64);

    cGdiLead empty;
    EXPECT_FALSE(empty.CloneImageArea(target, 0, 0, 1, 1, 0));
    EXPECT_EQ(empty.GetLastError(), "Invalid Image Handle");
}

TEST_F(EngineTest, TheLibraryStaysStartedWhileAnyEngineLives) {
    const int before = mGdiPlus::StartCount();
    {
        cGdiLead a;
        {
            cGdiLead b;
            EXPECT_EQ(mGdiPlus::StartCount(), before + 2);
        }
        EXPECT_EQ(mGdiPlus::StartCount(), before + 1);
        EXPECT_TRUE(a.ValidateGDI());
    }
    EXPECT_EQ(mGdiPlus::StartCount(), before);
}

TEST_F(EngineTest, ResolutionCanBeSetAndSurvivesATurn) {
    cGdiLead engine;
    ASSERT_TRUE(engine.OpenImageFile(WriteTiff(30, 20, 300)));
    engine.SetResolution(150, 75);
    ASSERT_TRUE(engine.RotateImage(1));
    EXPECT_EQ(engine.Xresolution(), 150);
    EXPECT_EQ(engine.Yresolution(), 75);
}

}  // namespace
