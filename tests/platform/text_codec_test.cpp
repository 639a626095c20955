#include "platform/text_codec.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {

TEST(TextCodec, EveryByteRoundTrips) {
    std::string all;
    for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
    EXPECT_EQ(FromQString(ToQString(all)), all);
}

TEST(TextCodec, MapsTheCodePageToUnicode) {
    EXPECT_EQ(ToQString("\x80"), QString(QChar(0x20AC)));  // euro sign
    EXPECT_EQ(ToQString("\xe9"), QString(QChar(0x00E9)));
    EXPECT_EQ(ToQString("\x93q\x94"), QString::fromUtf8("\u201Cq\u201D"));
    EXPECT_EQ(FromQString(QString::fromUtf8("\u2122")), "\x99");
    EXPECT_EQ(FromQString(QString::fromUtf8("\u4E2D")), "?");  // outside the code page
}

}  // namespace
