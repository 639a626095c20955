#include "foundation/fields.h"

#include <gtest/gtest.h>

#include <vector>

using namespace mVBUtil;

namespace {

struct CountCase {
    std::string delim, text;
    int expected;
};

TEST(CountFields, CountsFieldsAndIgnoresATrailingDelimiter) {
    const std::vector<CountCase> cases = {
        {",", "", 0},    {"", "x", 0},     {",", "a", 1},   {",", "a,b", 2},
        {",", "a,", 1},  {",", ",a", 2},   {",", ",", 1},   {",", ",,", 2},
        {",", "a,,b", 3}, {"::", "a:::b", 3},  // overlapping hits count twice
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CountFields(c.delim, c.text), c.expected) << "'" << c.text << "'";
    }
}

struct FieldCase {
    std::string delim, text;
    int n;
    std::string expected;
};

TEST(GetField, NumbersFromOneAndTreatsOutOfRangeAsSpecified) {
    const std::vector<FieldCase> cases = {
        {",", "", 1, ""},        {",", "a,b", 0, "a"},   {",", "a,b", -5, "a"},
        {",", "a,b", 1, "a"},    {",", "a,b", 2, "b"},   {",", "a,b", 3, ""},
        {",", "a,", 2, ""},      {",", ",b", 1, ""},     {",", ",b", 2, "b"},
        {"::", "a::b", 2, "b"},  {"::", "a:::b", 2, ":b"}, {"|", "x|y|z", 3, "z"},
        {std::string(1, '\x1f'), std::string("a\x1f\x1f" "c"), 3, "c"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(GetField(c.delim, c.text, c.n), c.expected) << "'" << c.text << "' " << c.n;
    }
}

TEST(GetFieldRest, KeepsLaterDelimitersAndTheFieldsAfterAnEmptyOne) {
    EXPECT_EQ(GetFieldRest(",", "1,2,3,4,w1|1|2,w2", 5), "w1|1|2,w2");
    EXPECT_EQ(GetFieldRest(",", "1,2,3,4,a,b,c", 5), "a,b,c");
    // An empty field followed by more: the word list must not be lost.
    EXPECT_EQ(GetFieldRest(",", "1,2,3,4,,x", 5), ",x");
    EXPECT_EQ(GetFieldRest(",", "1,2,3,4,", 5), "");
    EXPECT_EQ(GetFieldRest(",", "1,2", 5), "");
    EXPECT_EQ(GetFieldRest(",", "a,b", 0), "a,b");
}

TEST(SetField, ReplacesCreatesAndPadsFields) {
    const std::vector<std::tuple<std::string, int, std::string>> cases = {
        {"a,b,c", 2, "a,X,c"}, {"a", 3, "a,,X"},       {"", 3, ",,X"},
        {"a,b", 1, "X,b"},     {"a,b", 2, "a,X"},      {"a,b,c", 5, "a,b,c,,X"},
        {"a,b", 0, "X,b"},     {"", 1, "X"},           {"a,b,c", 3, "a,b,X"},
    };
    for (const auto& [text, n, expected] : cases) {
        EXPECT_EQ(SetField(",", text, "X", n), expected) << "'" << text << "' " << n;
    }
}

TEST(FieldBuilder, BuildsWhatSetFieldBuildsIncludingValuesThatSpillIntoLaterFields) {
    const std::vector<std::vector<std::pair<int, std::string>>> runs = {
        {},
        {{1, "a"}, {2, "b"}, {3, "c"}},
        {{2, "a"}, {5, ""}, {6, "b"}},
        {{1, "a,b,c"}, {2, "X"}, {6, "Y"}},
        {{1, ",,"}, {2, ""}, {3, "x,"}, {4, ""}},
        {{3, ","}, {4, "a,b"}},
    };
    for (const auto& run : runs) {
        std::string text;
        FieldBuilder built(',');
        for (const auto& [n, value] : run) {
            text = SetField(",", text, value, n);
            built.Set(n, value);
            EXPECT_EQ(built.Text(), text) << n << " '" << value << "'";
        }
    }
}

TEST(NextToken, WalksEveryFieldOnceAndEndsAtMinusOne) {
    auto walk = [](const std::string& text) {
        std::vector<std::string> tokens;
        int pos = 1;
        while (pos != -1) tokens.push_back(NextToken(",", text, pos));
        return tokens;
    };
    EXPECT_EQ(walk(",a"), (std::vector<std::string>{"", "a"}));
    EXPECT_EQ(walk("a"), (std::vector<std::string>{"a"}));
    EXPECT_EQ(walk("a,b,"), (std::vector<std::string>{"a", "b", ""}));
    EXPECT_EQ(walk(""), (std::vector<std::string>{""}));

    int pos = -1;
    EXPECT_EQ(NextToken(",", "a,b", pos), "");
    EXPECT_EQ(pos, -1);
    pos = -7;  // below 1 starts at the beginning
    EXPECT_EQ(NextToken(",", "a,b", pos), "a");
    EXPECT_EQ(pos, 3);
    pos = 1;
    EXPECT_EQ(NextToken("::", "a::b", pos), "a");
    EXPECT_EQ(NextToken("::", "a::b", pos), "b");
    EXPECT_EQ(pos, -1);
}

TEST(Trim, CutsAtNullOrLineEndAndTrimsOnlySpaces) {
    EXPECT_EQ(TrimAtNull(std::string("  ab  \0junk", 11)), "ab");
    EXPECT_EQ(TrimAtNull(std::string("\0ab", 3)), "");
    EXPECT_EQ(TrimAtNull("\tab "), "\tab");
    EXPECT_EQ(TrimAtLineEnd("x\ny\r"), "x");
    EXPECT_EQ(TrimAtLineEnd(" a b \r\n"), "a b");
    EXPECT_EQ(TrimAtLineEnd(std::string("p\0q\r", 4)), "p");
}

}  // namespace
