#include "platform/rounding.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace platform;

namespace {

TEST(RoundToInt, HalvesGoToTheEvenNeighbour) {
    EXPECT_EQ(RoundToInt(2.5), 2);
    EXPECT_EQ(RoundToInt(3.5), 4);
    EXPECT_EQ(RoundToInt(0.5), 0);
    EXPECT_EQ(RoundToInt(1.5), 2);
    EXPECT_EQ(RoundToInt(-2.5), -2);
    EXPECT_EQ(RoundToInt(-3.5), -4);
    EXPECT_EQ(RoundToInt(2.4999), 2);
    EXPECT_EQ(RoundToInt(2.5001), 3);
    EXPECT_EQ(RoundToInt(-0.4), 0);
}

TEST(RoundToInt, SaturatesInsteadOfOverflowing) {
    EXPECT_EQ(RoundToInt(1e12), std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(RoundToInt(-1e12), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(RoundToInt(std::numeric_limits<double>::infinity()),
              std::numeric_limits<std::int32_t>::max());
    EXPECT_EQ(RoundToInt(std::nan("")), 0);
    EXPECT_EQ(RoundToInt16(40000.0), 32767);
    EXPECT_EQ(RoundToInt64(1e30), std::numeric_limits<std::int64_t>::max());
}

}  // namespace
