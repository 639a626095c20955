#include "foundation/text_match.h"

#include <gtest/gtest.h>

#include <vector>

using namespace mVBUtil;

namespace {

TEST(CompareTextNoCase, FoldsOnlyLettersAToZ) {
    EXPECT_EQ(CompareTextNoCase("abc", "ABC"), 0);
    EXPECT_EQ(CompareTextNoCase("ab", "abc"), -1);
    EXPECT_EQ(CompareTextNoCase("abc", "ab"), 1);
    EXPECT_EQ(CompareTextNoCase("abd", "ABC"), 1);
    EXPECT_EQ(CompareTextNoCase("8.6.1", "8.6."), 1);
    EXPECT_EQ(CompareTextNoCase("[", "a"), 1);  // 91 against folded 65
    EXPECT_EQ(CompareTextNoCase("", ""), 0);
    EXPECT_EQ(CompareTextNoCase("\xe9", "\xc9"), 1);  // accented letters are not folded
    EXPECT_EQ(CompareTextNoCase("\x80", "z"), 1);     // bytes compare unsigned
}

struct MatchCase {
    std::string text, pattern;
    bool matches;
};

TEST(WildcardMatch, MatchesThePatternShapesItKnows) {
    const std::vector<MatchCase> cases = {
        {"abc", "abc", true},       {"ABC", "abc", true},       {"abcd", "abc", false},
        {"ab", "abc", false},       {"Report", "rep*", true},   {"rep", "rep*", true},
        {"xrep", "rep*", false},    {"xaby", "*ab*", true},     {"ab", "*ab*", true},
        {"xy", "*ab*", false},      {"xab", "*ab", true},       {"abx", "*ab", false},
        {"abxxcd", "ab*cd", true},  {"abcd", "ab*cd", true},    {"abd", "ab*cd", false},
        {"abc", "a?c", true},       {"aXc", "a?c", true},       {"ac", "a?c", false},
        {"abcd", "a?c", false},     {"abcd", "a?c*", true},     {"abc", "a?c*", true},
        {"Rep", "rep?", false},     {"Repo", "rep?", true},     {"abqqcd", "ab*x*cd", true},
        {"abzz", "ab*cd*", true},   {"anything", "*", true},    {"", "*", true},
        {"anything", "", true},     {"", "", true},             {"", "a", false},
        {"a?", "*?*", true},        // a star inside the middle run is literal, "?" is any
    };
    for (const auto& c : cases) {
        EXPECT_EQ(WildcardMatch(c.text, c.pattern) == 0, c.matches)
            << "'" << c.text << "' against '" << c.pattern << "'";
    }
}

}  // namespace
