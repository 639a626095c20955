#include <gtest/gtest.h>

#include <climits>

#include "annotations/annotation_rec.h"

namespace {

using namespace TalqClientAPI_Header;

const std::string F(1, kFieldSep), R(1, kRecordSep), L(1, kListSep);

AnnotationRec Box(int kind, int left) {
    AnnotationRec r;
    r.Left = left;
    r.Top = left + 1;
    r.Right = left + 100;
    r.Bottom = left + 50;
    r.Color = 65535;
    r.Rotation = kind == kMarkup ? 30 : 1;
    r.Stamp = std::string("lbl") + kStampSep + "user" + kStampSep + "03/07/2026";
    if (kind == kRedaction || kind == kTextNote) {
        r.FontSize = 20;
        r.FontStyle = 8;
        r.FontName = "Arial";
        r.Color2 = 16777215;
    }
    if (kind == kRedaction) r.LabelFlag = 1;
    if (kind == kClip) r.Color2 = 2;
    if (kind == kStickyNote || kind == kTextNote) r.Text = "a note";
    if (kind == kMarkup) r.Text = "10;20";
    if (kind == kClip) r.Text = std::string("prog") + kListSep + "file.doc";
    return r;
}

void ExpectSame(const AnnotationRec& a, const AnnotationRec& b) {
    EXPECT_EQ(a.Left, b.Left);
    EXPECT_EQ(a.Top, b.Top);
    EXPECT_EQ(a.Right, b.Right);
    EXPECT_EQ(a.Bottom, b.Bottom);
    EXPECT_EQ(a.Reserved4, b.Reserved4);
    EXPECT_EQ(a.FontSize, b.FontSize);
    EXPECT_EQ(a.FontStyle, b.FontStyle);
    EXPECT_EQ(a.FontName, b.FontName);
    EXPECT_EQ(a.LabelFlag, b.LabelFlag);
    EXPECT_EQ(a.Color, b.Color);
    EXPECT_EQ(a.Rotation, b.Rotation);
    EXPECT_EQ(a.Color2, b.Color2);
    EXPECT_EQ(a.Stamp, b.Stamp);
    EXPECT_EQ(a.Text, b.Text);
}

TEST(AnnotationListTest, EveryKindRoundTrips) {
    for (int kind : {kStickyNote, kClip, kRedaction, kHighlight, kTextNote, kMarkup}) {
        AnnotationList list{Box(kind, 10), Box(kind, -5)};
        std::string text;
        BuildAnnotationList(2, list, text);
        AnnotationList parsed;
        int count = -1;
        ParseAnnotationList(text, parsed, count);
        ASSERT_EQ(count, 2) << kind;
        ASSERT_EQ(parsed.size(), 2u);
        ExpectSame(parsed[0], list[0]);
        ExpectSame(parsed[1], list[1]);
        std::string again;
        BuildAnnotationList(count, parsed, again);
        EXPECT_EQ(again, text) << kind;
    }
}

TEST(AnnotationListTest, HighlightTextMatchesTheWireLayout) {
    AnnotationRec r;
    r.Left = 10;
    r.Top = 20;
    r.Right = 300;
    r.Bottom = 60;
    r.Color = 65535;
    r.Color2 = 65535;
    r.Stamp = "S";
    std::string text;
    BuildAnnotationList(1, {r}, text);
    EXPECT_EQ(text, "10" + F + "20" + F + "300" + F + "60" + F + "0" + F + F + "0" + F + "0" + F +
                        "65535" + F + "0" + F + "65535" + F + "S" + F);
}

TEST(AnnotationListTest, FontTokenCarriesSizeStyleAndFace) {
    AnnotationRec r = Box(kRedaction, 1);
    std::string text;
    BuildAnnotationList(1, {r}, text);
    EXPECT_NE(text.find(F + "20" + L + "8" + L + "0" + L + "0" + L + "Arial" + F),
              std::string::npos);
    r.FontSize = 0;
    BuildAnnotationList(1, {r}, text);
    EXPECT_NE(text.find(F + "0" + F + F + "1" + F), std::string::npos);  // empty font token
    AnnotationList parsed;
    int count = 0;
    ParseAnnotationList(text, parsed, count);
    EXPECT_EQ(parsed[0].FontSize, 0);
    EXPECT_EQ(parsed[0].FontStyle, 0);
    EXPECT_EQ(parsed[0].FontName, "");
}

TEST(AnnotationListTest, CommasTravelAsCharacter29AndComeBackAsSent) {
    AnnotationRec r = Box(kTextNote, 1);
    r.Text = "one, two,three";
    std::string text;
    BuildAnnotationList(1, {r}, text);
    EXPECT_EQ(text.find(','), std::string::npos);
    EXPECT_NE(text.find(std::string("one") + kCommaSub + " two" + kCommaSub + "three"),
              std::string::npos);
    AnnotationList parsed;
    int count = 0;
    ParseAnnotationList(text, parsed, count);
    EXPECT_EQ(parsed[0].Text, std::string("one") + kCommaSub + " two" + kCommaSub + "three");
}

TEST(AnnotationListTest, StampAndTextAreTrimmedAndCutAtNul) {
    AnnotationRec r = Box(kStickyNote, 1);
    r.Stamp = std::string("  lbl\x16u\x16") + "01/02/2026  " + std::string(1, '\0') + "junk";
    r.Text = std::string(" note ") + std::string(1, '\0') + "rest";
    std::string text;
    BuildAnnotationList(1, {r}, text);
    AnnotationList parsed;
    int count = 0;
    ParseAnnotationList(text, parsed, count);
    EXPECT_EQ(parsed[0].Stamp,
              "lbl\x16u\x16"
              "01/02/2026");
    EXPECT_EQ(parsed[0].Text, "note");
}

TEST(AnnotationListTest, CountLargerThanTheListWritesWhatTheListHolds) {
    AnnotationList list{Box(kHighlight, 1), Box(kHighlight, 2)};
    std::string text;
    BuildAnnotationList(40, list, text);
    AnnotationList parsed;
    int count = 0;
    ParseAnnotationList(text, parsed, count);
    EXPECT_EQ(count, 2);
    BuildAnnotationList(0, list, text);
    EXPECT_EQ(text, "");
    BuildAnnotationList(-3, list, text);
    EXPECT_EQ(text, "");
}

TEST(AnnotationListTest, ParsingStopsAtAnEmptyRecordAndFillsMissingTokens) {
    AnnotationList parsed{Box(kHighlight, 9)};
    int count = 7;
    ParseAnnotationList("", parsed, count);
    EXPECT_EQ(count, 0);
    EXPECT_TRUE(parsed.empty());

    ParseAnnotationList("1" + F + "2" + F + "3" + R + R + "4" + F + "5", parsed, count);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(parsed[0].Left, 1);
    EXPECT_EQ(parsed[0].Right, 3);
    EXPECT_EQ(parsed[0].Bottom, 0);
    EXPECT_EQ(parsed[0].Stamp, "");

    ParseAnnotationList("7" + F + "x9" + F + " 12.5" + F + "13.5abc", parsed, count);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(parsed[0].Left, 7);
    EXPECT_EQ(parsed[0].Top, 0);
    EXPECT_EQ(parsed[0].Right, 12);
    EXPECT_EQ(parsed[0].Bottom, 14);

    ParseAnnotationList("1" + F + "2" + R, parsed, count);  // trailing separator
    EXPECT_EQ(count, 1);
}

TEST(AnnotationListTest, HugeNumbersSaturateAndHugeListsStayCounted) {
    AnnotationList parsed;
    int count = 0;
    ParseAnnotationList("99999999999" + F + "-99999999999" + F + "1e300", parsed, count);
    ASSERT_EQ(count, 1);
    EXPECT_EQ(parsed[0].Left, INT_MAX);
    EXPECT_EQ(parsed[0].Top, INT_MIN);
    EXPECT_EQ(parsed[0].Right, INT_MAX);

    std::string many;
    for (int i = 0; i < 33000; ++i) many += "1" + F + "2" + R;
    ParseAnnotationList(many, parsed, count);
    EXPECT_EQ(count, kMaxAnnotationListCount);
    EXPECT_EQ(parsed.size(), static_cast<std::size_t>(count));
}

TEST(AnnotationListTest, AListBeyondTheServerLimitIsBuiltWhole) {
    AnnotationList list;
    for (int i = 0; i < 15; ++i) {
        AnnotationRec r = Box(kTextNote, i + 1);
        r.Text = std::string(1000, 'a' + i % 26);
        list.push_back(r);
    }
    std::string text;
    BuildAnnotationList(15, list, text);
    EXPECT_GT(text.size(), kMaxAnnotationListText);
    AnnotationList parsed;
    int count = 0;
    ParseAnnotationList(text, parsed, count);
    ASSERT_EQ(count, 15);
    EXPECT_EQ(parsed[14].Text, list[14].Text);
}

TEST(AnnotationStampTest, LabelUserAndDateAsMonthDayYear) {
    std::string stamp = AnnotationStamp("PRIV", "jdoe", QDate(2026, 3, 7));
    EXPECT_EQ(stamp,
              "PRIV\x16jdoe\x16"
              "03/07/2026");
    EXPECT_EQ(StampLabel(stamp), "PRIV");
    EXPECT_EQ(StampLabel(AnnotationStamp("", "jdoe", QDate(2026, 3, 7))), "");
    EXPECT_EQ(MaxAnnotationsPerPage(kRedaction), 85);
    EXPECT_EQ(MaxAnnotationsPerPage(kClip), 30);
    EXPECT_EQ(MaxAnnotationsPerPage(kMarkup), 15);
}

}  // namespace
