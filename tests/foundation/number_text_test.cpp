#include "foundation/number_text.h"

#include <gtest/gtest.h>

namespace {

TEST(Val, ReadsTheLeadingNumberOnly) {
    EXPECT_EQ(mVBUtil::Val("12abc"), 12);
    EXPECT_EQ(mVBUtil::Val("  -3.5e1x"), -35);
    EXPECT_EQ(mVBUtil::Val("1e"), 1);
    EXPECT_EQ(mVBUtil::Val(".5"), 0.5);
    EXPECT_EQ(mVBUtil::Val("abc"), 0);
    EXPECT_EQ(mVBUtil::Val(""), 0);
    EXPECT_EQ(mVBUtil::Val("-"), 0);
    EXPECT_EQ(mVBUtil::Val("16777215"), 16777215);
}

}  // namespace
