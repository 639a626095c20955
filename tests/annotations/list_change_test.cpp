#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "annotations/list_change.h"

namespace {

using namespace annotations;

// Marks named by their text, in list order: "a B e".
KindList Marks(const std::string& names) {
    KindList out;
    std::istringstream in(names);
    for (std::string name; in >> name;) {
        AnnotationRec rec;
        rec.Left = rec.Top = 10;
        rec.Right = rec.Bottom = 50;
        rec.Text = name;
        out.list.push_back(rec);
    }
    out.count = static_cast<int>(out.list.size());
    return out;
}

std::string Names(const KindList& list) {
    std::string out;
    for (int i = 0; i < list.count; ++i)
        out += (out.empty() ? "" : " ") + list.list[static_cast<std::size_t>(i)].Text;
    return out;
}

// "e" stands for another writer's mark, stored beside the change.
TEST(ListChange, OnlyTheChangeItselfIsJudgedWhateverOthersStoredBeside) {
    struct Case {
        const char* what;
        const char* base;
        const char* sent;
        const char* now;
        bool held;
    } cases[] = {
        {"new, another's after", "a", "a A", "a A e", true},
        {"new, another's before", "a", "a A", "a e A", true},
        {"new, not stored", "a", "a A", "a e", false},
        {"new alike one there, stored", "a", "a a", "a a e", true},
        {"new alike one there, one gone", "a", "a a", "a e", false},
        {"edited, stored", "a b", "a B", "a B e", true},
        {"edited, not stored", "a b", "a B", "a b e", false},
        {"edited, the old one left", "a b", "a B", "a b B e", false},
        {"edited, another deleted a mark beside", "a b", "a B", "B e", true},
        {"deleted, stored", "a b", "a", "a e", true},
        {"deleted, not stored", "a b", "a", "a b e", false},
        {"one of two alike deleted", "a a", "a", "a e", true},
        {"one of two alike, not deleted", "a a", "a", "a a e", false},
        {"emptied, another's since", "a", "", "e", true},
        {"emptied, not stored", "a", "", "a", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(JudgeChange(Marks(c.base), Marks(c.sent), Marks(c.now)) == ChangeHeld::kStored,
                  c.held)
            << c.what;
}

// A change not held is told not stored only where a mark it removed is
// still there: its new mark missing may have been changed or deleted since.
TEST(ListChange, AChangeNotHeldIsNotStoredOnlyWhereWhatItRemovedIsStillThere) {
    const struct {
        const char *base, *sent, *now;
        bool notStored;
    } cases[] = {{"a", "a A", "a", false},      {"a", "a A", "a A2", false},
                 {"a", "a a", "a e", false},    {"a b", "a B", "a B2", false},
                 {"a b", "a a", "a", false},    {"a b", "a B", "a b B e", false},
                 {"a b", "a B", "a b e", true}, {"a b", "a", "a b e", true},
                 {"a", "", "a", true}};
    for (const auto& c : cases)
        EXPECT_EQ(JudgeChange(Marks(c.base), Marks(c.sent), Marks(c.now)),
                  c.notStored ? ChangeHeld::kNotStored : ChangeHeld::kCannotTell)
            << c.base << " / " << c.sent << " / " << c.now;
}

TEST(ListChange, TakingAChangeBackKeepsOthersMarksAndPutsRemovedOnesInPlace) {
    struct Case {
        const char* what;
        const char* base;
        const char* sent;
        const char* now;
        const char* without;
    } cases[] = {
        {"new", "a", "a A", "a A e", "a e"},
        {"new alike one there: the last goes", "a", "a a", "a e a", "a e"},
        {"edited: the old one where the new lay", "a b c", "a B c", "e a B c", "e a b c"},
        {"deleted: back at its place", "a b c", "a c", "a c e", "a b c e"},
        {"deleted past the end of what is left", "a b c", "a b", "a", "a c"},
        {"emptied", "a b", "", "e", "a b e"},
    };
    for (const Case& c : cases) {
        const KindList without = WithoutChange(Marks(c.base), Marks(c.sent), Marks(c.now));
        EXPECT_EQ(Names(without), c.without) << c.what;
        EXPECT_EQ(without.count, static_cast<int>(without.list.size())) << c.what;
    }
}

TEST(ListChange, SameMarksIgnoresOrderButCountsEachMark) {
    EXPECT_TRUE(SameMarks(Marks("a e A"), Marks("a A e")));
    EXPECT_TRUE(SameMarks(Marks(""), Marks("")));
    EXPECT_FALSE(SameMarks(Marks("a A"), Marks("a A A")));
    EXPECT_FALSE(SameMarks(Marks("a b"), Marks("a B")));
    EXPECT_EQ(Names(MarksSince(Marks("a a b"), Marks("c a b a a"))), "c a");
}

}  // namespace
