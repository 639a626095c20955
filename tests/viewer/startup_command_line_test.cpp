#include "viewer/startup_command_line.h"

#include <gtest/gtest.h>

namespace {

using modView::CommandLineSource;
using modView::CommandLineValues;
using modView::ParseCommandLine;

CommandLineValues Startup(const std::string& line) {
    return ParseCommandLine(line, CommandLineSource::Startup);
}
CommandLineValues Message(const std::string& line) {
    return ParseCommandLine(line, CommandLineSource::Message);
}

TEST(StartupCommandLine, SwitchesAndProjectKeyComeOutUpperCased) {
    CommandLineValues v = Startup("  -Njsmith -Psecret demo:abc0001 -Kfraud|invoice ");
    EXPECT_EQ(v.userId, "JSMITH");
    EXPECT_TRUE(v.userGiven);
    EXPECT_EQ(v.password, "SECRET");
    EXPECT_EQ(v.project, "DEMO");
    EXPECT_TRUE(v.projectGiven);
    EXPECT_EQ(v.key, "ABC0001");
    EXPECT_TRUE(v.keyGiven);
    EXPECT_FALSE(v.keyRefused);
    EXPECT_EQ(v.keywords, "FRAUD INVOICE");
    EXPECT_TRUE(v.keywordsGiven);
    EXPECT_FALSE(v.listGiven);
    EXPECT_TRUE(v.parameterFile.empty());
}

TEST(StartupCommandLine, BareKeyProjectSwitchAndLaterTokensReplaceEarlierOnes) {
    CommandLineValues v = Startup("-Rfirst key1 -Rsecond key2 -Xignored -Q");
    EXPECT_EQ(v.project, "SECOND");
    EXPECT_EQ(v.key, "KEY2");
    EXPECT_FALSE(v.userGiven);
    EXPECT_FALSE(v.listGiven);

    // Only the first colon splits project from key.
    v = Startup("prj:a:b");
    EXPECT_EQ(v.project, "PRJ");
    EXPECT_EQ(v.key, "A:B");
}

TEST(StartupCommandLine, EmptyTokenBetweenTwoBlanksClearsTheKey) {
    CommandLineValues v = Startup("KEY1  -Nu");
    EXPECT_EQ(v.key, "");
    EXPECT_FALSE(v.keyGiven);
    EXPECT_TRUE(v.userGiven);
    EXPECT_FALSE(Startup("").keyGiven);
    EXPECT_FALSE(Startup("   ").userGiven);
}

TEST(StartupCommandLine, ListFileKeepsTheCaseOfItsPath) {
    CommandLineValues v = Startup("-Nuser -L/home/Ann/Lists/keys.txt demo:k1");
    EXPECT_TRUE(v.listGiven);
    EXPECT_EQ(v.listFile, "/home/Ann/Lists/keys.txt");
    EXPECT_EQ(v.userId, "USER");
    EXPECT_EQ(v.key, "K1");

    // Even after blanks trimmed in front.
    EXPECT_EQ(Startup("   -L/tmp/MixedCase.lst").listFile, "/tmp/MixedCase.lst");
    // -L with nothing after it still counts as given (the caller finds no file).
    EXPECT_TRUE(Startup("-L").listGiven);
}

TEST(StartupCommandLine, ParameterFileIsRecognisedAndKeepsItsCase) {
    EXPECT_EQ(Startup("/home/Ann/Start.tlq").parameterFile, "/home/Ann/Start.tlq");
    EXPECT_EQ(Startup("\"/home/Ann/My Files/Start.TLQ\"").parameterFile,
              "/home/Ann/My Files/Start.TLQ");
    // A parameter file reads no tokens.
    CommandLineValues v = Startup("-Nuser /x/a.TLQ");
    EXPECT_EQ(v.parameterFile, "-Nuser /x/a.TLQ");
    EXPECT_FALSE(v.userGiven);
    EXPECT_TRUE(Startup("/x/a.TLQX").parameterFile.empty());
}

TEST(StartupCommandLine, LeadingQuoteDropsTheLastCharacterOnlyWhenItIsAQuote) {
    // Unbalanced: the last character is part of the key and stays.
    CommandLineValues v = Startup("\"demo:abc0001");
    EXPECT_EQ(v.project, "DEMO");
    EXPECT_EQ(v.key, "ABC0001");
    v = Startup("\"demo:abc0001\"");
    EXPECT_EQ(v.key, "ABC0001");
    EXPECT_EQ(Startup("\"").key, "");
}

TEST(StartupCommandLine, KeysHoldingWireSeparatorsAreRefused) {
    EXPECT_TRUE(Startup("demo:ab,c").keyRefused);
    EXPECT_TRUE(Startup(std::string("ab\x1E") + "c").keyRefused);
    EXPECT_TRUE(Startup(std::string("ab\x18")).keyRefused);
    EXPECT_FALSE(Startup("ab|c;d").keyRefused);
    for (char c : {',', '\0', '\x18', '\x19', '\x1D', '\x1E', '\x1F'}) {
        EXPECT_FALSE(modView::IsSendableKey(std::string("K") + c)) << int(c);
    }
    EXPECT_TRUE(modView::IsSendableKey("ABC-0001.A"));
}

TEST(StartupCommandLine, UpperCasingCoversTheCodePageLettersAndKeepsTheLength) {
    EXPECT_EQ(modView::UpperCaseText("abc\xE9\xFF\x9A\xF7\xDF"), "ABC\xC9\x9F\x8A\xF7\xDF");
}

TEST(MessageCommandLine, TokensAlwaysCountAsGivenAndKeywordsAreIgnored) {
    CommandLineValues v = Message("-Nann -Ppw -Rdemo KEY7 -Kfraud");
    EXPECT_EQ(v.userId, "ANN");
    EXPECT_EQ(v.project, "DEMO");
    EXPECT_TRUE(v.projectGiven);
    EXPECT_EQ(v.key, "KEY7");
    EXPECT_TRUE(v.keyGiven);
    EXPECT_FALSE(v.keywordsGiven);
    EXPECT_EQ(v.keywords, "");

    // An empty token still marks a key as given, as the message path reads it.
    v = Message("-Nann  ");
    EXPECT_TRUE(v.keyGiven);
    EXPECT_EQ(v.key, "");
}

TEST(MessageCommandLine, ParameterFileWithOrWithoutClosingQuote) {
    EXPECT_EQ(Message("/tmp/Run.TLQ").parameterFile, "/tmp/Run.TLQ");
    EXPECT_EQ(Message("\"/tmp/My Run.tlq\"").parameterFile, "/tmp/My Run.tlq");
    // A trailing quote without a leading one: the path keeps it, as it arrived.
    EXPECT_EQ(Message("/tmp/Run.TLQ\"").parameterFile, "/tmp/Run.TLQ\"");
    EXPECT_EQ(Message("-L/tmp/Keys.lst").listFile, "/tmp/Keys.lst");
}

}  // namespace
