#include <gtest/gtest.h>

#include "viewer/image_toolbar_steps.h"

namespace {

TEST(ImageToolbarSteps, ZoomStepsAreFineUpTo100PercentAndStopAtBothLimits) {
    struct Case {
        float from;
        bool in;
        float to;
    };
    for (const Case& c :
         {Case{1.0f, true, 1.05f}, Case{1.0f, false, 0.95f}, Case{1.05f, true, 1.15f},
          Case{1.05f, false, 0.95f}, Case{0.1f, false, 0.05f}, Case{0.05f, false, 0.05f},
          Case{0.07f, false, 0.05f}, Case{3.95f, true, 4.0f}, Case{4.0f, true, 4.0f},
          Case{4.0f, false, 3.9f}, Case{5.0f, false, 4.9f}, Case{0.03f, true, 0.08f}}) {
        EXPECT_FLOAT_EQ(viewer::ZoomedScale(c.from, c.in), c.to)
            << c.from << (c.in ? " in" : " out");
    }
}

TEST(ImageToolbarSteps, QuarterTurnsWrapAroundAndFourComeBack) {
    EXPECT_EQ(viewer::TurnedRotation(0, false), 3);
    EXPECT_EQ(viewer::TurnedRotation(3, false), 2);
    EXPECT_EQ(viewer::TurnedRotation(3, true), 0);
    for (bool right : {false, true}) {
        std::int32_t r = 1;
        for (int i = 0; i < 4; ++i) r = viewer::TurnedRotation(r, right);
        EXPECT_EQ(r, 1);
    }
}

}  // namespace
