#include "foundation/big_string.h"

#include <gtest/gtest.h>

namespace {

TEST(clsBigString, StartsEmptyAndIgnoresEmptyAppends) {
    clsBigString b;
    EXPECT_EQ(b.LenStr(), 0);
    EXPECT_EQ(b.GetStr(), "");
    b.AddStr("");
    EXPECT_EQ(b.LenStr(), 0);
}

TEST(clsBigString, KeepsEveryPieceInOrderAcrossBufferMoves) {
    clsBigString b;
    std::string expected;
    for (int i = 0; i < 9999; ++i) {
        b.AddStr(std::string(1, static_cast<char>('a' + i % 26)));
        expected += static_cast<char>('a' + i % 26);
    }
    EXPECT_EQ(b.LenStr(), 9999);
    b.AddStr("!");  // reaching 10000 moves the buffer first
    expected += "!";
    EXPECT_EQ(b.LenStr(), 10000);
    EXPECT_EQ(b.GetStr(), expected);
}

TEST(clsBigString, ExactlyFullAppendThenMore) {
    clsBigString b;
    b.AddStr(std::string(10000, 'x'));
    b.AddStr("y");
    EXPECT_EQ(b.LenStr(), 10001);
    EXPECT_EQ(b.GetStr(), std::string(10000, 'x') + "y");
}

TEST(clsBigString, AppendsATextLongerThanTheBufferWhole) {
    clsBigString b;
    b.AddStr("head");
    std::string big(25000, 'q');
    big[12345] = 'Z';
    b.AddStr(big);
    b.AddStr("tail");
    EXPECT_EQ(b.LenStr(), 4 + 25000 + 4);
    EXPECT_EQ(b.GetStr(), "head" + big + "tail");
}

TEST(clsBigString, CopyStringCopiesAndGoesOnAppending) {
    clsBigString a;
    for (int i = 0; i < 3000; ++i) a.AddStr("abcd");
    clsBigString b;
    b.AddStr("old");
    b.CopyString(a);
    EXPECT_EQ(b.LenStr(), a.LenStr());
    EXPECT_EQ(b.GetStr(), a.GetStr());
    b.AddStr("!");
    EXPECT_EQ(b.GetStr(), a.GetStr() + "!");
    EXPECT_EQ(a.LenStr(), 12000);
}

TEST(clsBigString, KeepsCharacterZeroInsideTheText) {
    clsBigString b;
    b.AddStr(std::string("a\0b", 3));
    EXPECT_EQ(b.LenStr(), 3);
    EXPECT_EQ(b.GetStr(), std::string("a\0b", 3));
    b.Reset();
    EXPECT_EQ(b.GetStr(), "");
}

}  // namespace
