#include <gtest/gtest.h>

#include <cstdint>

#include "platform/widgets/blocked_close_request.h"

namespace {

// The close button under a modal dialog was dropped; only it is taken now,
// not another protocol's message nor one for another window.
TEST(BlockedCloseRequest, OnlyTheWindowsDeleteProtocolMessageIsACloseRequest) {
    std::uint32_t event[8] = {33u | (32u << 8), 0x400001, 301, 302, 0, 0, 0, 0};
    EXPECT_TRUE(platform::IsCloseRequest(event, 0x400001, 301, 302));
    event[0] |= 0x80;  // sent by another client, as window managers send it
    EXPECT_TRUE(platform::IsCloseRequest(event, 0x400001, 301, 302));
    EXPECT_FALSE(platform::IsCloseRequest(event, 0x400002, 301, 302));
    event[3] = 303;  // a ping or a focus offer
    EXPECT_FALSE(platform::IsCloseRequest(event, 0x400001, 301, 302));
    EXPECT_FALSE(platform::IsCloseRequest(event, 0x400001, 0, 303));
}

}  // namespace
