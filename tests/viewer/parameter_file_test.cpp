#include "viewer/parameter_file.h"

#include <gtest/gtest.h>

namespace {

using modView::ParameterFileValues;
using modView::ParseParameterFile;
using modView::ServerAddress;

TEST(ParameterFile, SettingsAndKeyLinesInAnyCaseAndLineEnd) {
    ParameterFileValues v = ParseParameterFile(
        " project = demo \r\nUserId=ann\nPASSWORD=Pw1\r\n\r\n  abc0001  \rKeyWords=fraud|invoice\n"
        "abc0002\nColour=red\n");
    EXPECT_EQ(v.project, "DEMO");
    EXPECT_TRUE(v.projectGiven);
    EXPECT_EQ(v.userId, "ANN");
    EXPECT_TRUE(v.userGiven);
    EXPECT_EQ(v.password, "PW1");
    EXPECT_EQ(v.keywords, "FRAUD INVOICE");
    EXPECT_EQ(v.keys, (std::vector<std::string>{"ABC0001", "ABC0002"}));
    EXPECT_TRUE(v.refusedKeys.empty());
    EXPECT_FALSE(v.keepFile);
    EXPECT_TRUE(v.ip.empty());
}

TEST(ParameterFile, EmptyValuesAreIgnoredAndOnlyTheFirstEqualsSplits) {
    ParameterFileValues v = ParseParameterFile("PROJECT=\nUSERID=  \nPASSWORD=a=b\nlast");
    EXPECT_FALSE(v.projectGiven);
    EXPECT_FALSE(v.userGiven);
    EXPECT_EQ(v.password, "A=B");
    EXPECT_EQ(v.keys, (std::vector<std::string>{"LAST"}));
}

TEST(ParameterFile, DeleteNoKeepsTheFileAnythingElseLetsItGo) {
    EXPECT_TRUE(ParseParameterFile("delete = no\nK1").keepFile);
    EXPECT_TRUE(ParseParameterFile("DELETE=NO\nDELETE=YES").keepFile);
    EXPECT_FALSE(ParseParameterFile("DELETE=NOPE").keepFile);
    EXPECT_FALSE(ParseParameterFile("DELETE=").keepFile);
}

TEST(ParameterFile, KeysHoldingWireSeparatorsAreKeptApart) {
    ParameterFileValues v = ParseParameterFile(std::string("A1\nB,2\nC\x1F") + "3\nD4\n");
    EXPECT_EQ(v.keys, (std::vector<std::string>{"A1", "D4"}));
    EXPECT_EQ(v.refusedKeys.size(), 2u);
}

TEST(ParameterFile, ServerSwitchOnlyWhenTheAddressDiffers) {
    ServerAddress current{"10.0.0.5", "4000", "corp"};
    ServerAddress next;
    EXPECT_FALSE(modView::ParameterFileSwitchesServer(ParseParameterFile("K1"), current, next));
    // Domains compare upper-cased; an absent domain stays.
    EXPECT_FALSE(modView::ParameterFileSwitchesServer(
        ParseParameterFile("IP=10.0.0.5\nPORT=4000\nDOMAIN=Corp"), current, next));
    EXPECT_FALSE(modView::ParameterFileSwitchesServer(ParseParameterFile("IP=10.0.0.5\nPORT=4000"),
                                                      current, next));
    ASSERT_TRUE(modView::ParameterFileSwitchesServer(
        ParseParameterFile("IP=10.0.0.9\nPORT=4001\nDOMAIN=lab"), current, next));
    EXPECT_EQ(next.ip, "10.0.0.9");
    EXPECT_EQ(next.port, "4001");
    EXPECT_EQ(next.domain, "LAB");
}

TEST(ParameterFile, ServerSwitchWithoutPortKeepsThePortInUse) {
    ServerAddress current{"10.0.0.5", "4000", "CORP"};
    ServerAddress next;
    ASSERT_TRUE(
        modView::ParameterFileSwitchesServer(ParseParameterFile("IP=10.0.0.9"), current, next));
    EXPECT_EQ(next.port, "4000");
    EXPECT_EQ(next.domain, "CORP");
}

}  // namespace
