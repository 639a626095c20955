#include <gtest/gtest.h>

#include <QPainter>

#include "render/gdi_lead.h"
#include "support/scoped_env.h"
#include "support/test_images.h"

namespace {

QImage QtSmoothScale(const QImage& page, int dw, int dh) {
    return page.convertToFormat(QImage::Format_RGB32)
        .scaled(dw, dh, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
        .convertToFormat(QImage::Format_RGB32);
}

TEST(BitonalScale, TheEngineDrawsAG4PageAsTheSmoothScaleOfItsFullCopy) {
    testsupport::ScopedTempDir dir;
    QImage page(850, 1100, QImage::Format_RGB32);
    page.fill(Qt::white);
    QPainter p(&page);
    for (int y = 40; y < 1060; y += 17) p.drawLine(30, y, 820, y + (y % 5));
    p.end();
    const std::string path = dir.Path() + "/page.tif";
    ASSERT_TRUE(testsupport::WriteG4Tiff(path, page, 300));
    const QImage mono = page.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
    for (int rotation : {0, 1}) {
        cGdiLead engine;
        ASSERT_TRUE(engine.OpenImageFile(path));
        ASSERT_TRUE(engine.RotateImage(rotation));
        const int w = engine.ImgWidth() / 3, h = engine.ImgHeight() / 3;
        platform::DrawSurface surface(w, h);
        ASSERT_TRUE(engine.SetGraphicsOutput(&surface));
        ASSERT_TRUE(engine.DrawImageRect(0, 0, w, h, w, h));
        QImage expected = engine.ImgHndl()->image.convertToFormat(QImage::Format_RGB32);
        EXPECT_EQ(surface.Image().convertToFormat(QImage::Format_RGB32),
                  QtSmoothScale(expected, w, h))
            << "rotation " << rotation;
    }
}

}  // namespace
