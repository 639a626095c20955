#include <gtest/gtest.h>

#include <QRandomGenerator>
#include <QTransform>

#include "render/bitonal_turn.h"

namespace {

TEST(BitonalTurnTest, QuarterTurnsMatchQtsPixelForPixelAtAnySize) {
    QRandomGenerator random(7);
    for (QSize size : {QSize(1, 1), QSize(37, 29), QSize(203, 131), QSize(64, 8)}) {
        QImage page(size, QImage::Format_Mono);
        page.setColorTable({qRgb(255, 255, 255), qRgb(0, 0, 0)});
        page.setDotsPerMeterX(11811);
        page.setDotsPerMeterY(7874);
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                page.setPixel(x, y, random.bounded(2));
        for (int turns : {1, 3}) {
            const QImage turned = bitonal::QuarterTurn(page, turns);
            const QImage expected = page.transformed(QTransform().rotate(90.0 * turns));
            ASSERT_EQ(turned.size(), expected.size());
            EXPECT_EQ(turned.colorTable(), page.colorTable());
            EXPECT_EQ(turned.dotsPerMeterX(), 11811);
            for (int y = 0; y < turned.height(); ++y)
                for (int x = 0; x < turned.width(); ++x)
                    ASSERT_EQ(turned.pixel(x, y), expected.pixel(x, y))
                        << size.width() << "x" << size.height() << " turns " << turns << " at "
                        << x << "," << y;
        }
    }
}

}  // namespace
