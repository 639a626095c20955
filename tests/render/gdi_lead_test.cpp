#include <gtest/gtest.h>

#include <QLinearGradient>
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

// A colour scan: a photograph's smooth colours above, text in several
// colours below.
QImage ColourScan(int w, int h) {
    QImage page(w, h, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter p(&page);
    QLinearGradient photo(0, 0, w, h / 2);
    photo.setColorAt(0, QColor(30, 90, 200));
    photo.setColorAt(0.5, QColor(240, 200, 40));
    photo.setColorAt(1, QColor(160, 20, 60));
    p.fillRect(0, 0, w, h / 2, photo);
    QFont font;
    font.setPixelSize(h / 60);
    p.setFont(font);
    for (int y = h / 2 + h / 30; y < h; y += h / 30) {
        p.setPen(QColor::fromHsv((y * 7) % 360, 200, 110));
        p.drawText(w / 12, y, QStringLiteral("Quarterly figures 0123456789, reviewed and signed"));
    }
    return page;
}

// Mean difference of two pictures of one size, over every channel.
double MeanDifference(const QImage& a, const QImage& b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y), q = b.pixel(x, y);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q));
        }
    }
    return sum / (3.0 * a.width() * a.height());
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
    const std::string path = WriteTiff(43, 21, 300);
    for (int r = 1; r <= 3; ++r) {
        cGdiLead engine;
        ASSERT_TRUE(engine.OpenImageFile(path));
        const QImage unturned = engine.ImgHndl()->image;
        ASSERT_TRUE(engine.RotateImage(r)) << engine.GetLastError();
        EXPECT_EQ(engine.ImgHndl()->image, unturned.transformed(QTransform().rotate(90.0 * r)));
        const bool quarter = r % 2 == 1;
        EXPECT_EQ(engine.ImgWidth(), quarter ? 21 : 43);
        EXPECT_EQ(engine.ImgHeight(), quarter ? 43 : 21);
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

    // At its own size, scrolled, the page is what its 32-bit copy paints.
    QImage expected = surface.Image().copy();
    QPainter(&expected).drawImage(-130, 20, page);
    ASSERT_TRUE(engine.SetGraphicsOutput(&surface));
    ASSERT_TRUE(engine.DrawImageRect(130, -20, 400, 400, 0, 0));
    EXPECT_EQ(surface.Image(), expected);
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

TEST_F(EngineTest, JpegPagesShownSmallerMatchTheFullDecodeScaledDown) {
    const QImage scan = ColourScan(1275, 1650);
    for (bool grey : {false, true}) {
        SCOPED_TRACE(grey ? "grey" : "colour");
        const QString file = QString::fromStdString(Path("scan.jpg"));
        ASSERT_TRUE((grey ? scan.convertToFormat(QImage::Format_Grayscale8) : scan)
                        .save(file, "JPEG", 85));
        const QImage full = QImage(file).convertToFormat(QImage::Format_RGB32);
        for (QSize size : {QSize(300, 388), QSize(637, 825), QSize(1000, 1294)}) {
            cGdiLead engine;
            ASSERT_TRUE(engine.OpenImageFile(file.toStdString()));
            platform::DrawSurface surface(size.width(), size.height());
            ASSERT_TRUE(engine.SetGraphicsOutput(&surface));
            ASSERT_TRUE(engine.DrawImageRect(0, 0, size.width(), size.height(), 0, 0));
            const QImage expected =
                full.scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            EXPECT_LT(MeanDifference(surface.Image(), expected), 3.0) << size.width();
        }
    }
}

TEST_F(EngineTest, JpegPagesAtOrAboveFullSizeAreDrawnFromTheFullDecode) {
    const QString file = QString::fromStdString(Path("scan.jpg"));
    ASSERT_TRUE(ColourScan(600, 800).save(file, "JPEG", 85));
    const QImage full = QImage(file).convertToFormat(QImage::Format_RGB32);
    struct View {
        int zoom, interpolation;
    };
    for (View v : {View{1, cGdiLead::kInterpolationBilinear}, View{3, cGdiLead::kInterpolationBilinear},
                   View{1, cGdiLead::kInterpolationNearest}}) {
        SCOPED_TRACE(v.zoom);
        const int w = 600 * v.zoom, h = 800 * v.zoom;
        cGdiLead engine;
        ASSERT_TRUE(engine.OpenImageFile(file.toStdString()));
        EXPECT_EQ(engine.ImgWidth(), 600);
        platform::DrawSurface surface(500, 400);
        ASSERT_TRUE(engine.SetGraphicsOutput(&surface));
        engine.SetInterpolationMode(v.interpolation);
        ASSERT_TRUE(engine.DrawImageRect(70, 90, w, h, 0, 0));
        QImage expected(500, 400, surface.Image().format());
        expected.fill(Qt::white);
        QPainter(&expected).drawImage(QRectF(-70, -90, w, h), full);
        EXPECT_EQ(surface.Image(), expected);
    }
}

}  // namespace
