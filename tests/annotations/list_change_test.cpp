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

// "e" stands for another writer's mark, stored beside the change; a new
// mark gone may never have landed or have been changed or deleted since.
TEST(ListChange, ALostPutIsToldStoredOrNotOnlyWhereTheListCanTell) {
    constexpr ChangeHeld kYes = ChangeHeld::kStored, kNo = ChangeHeld::kNotStored,
                         kUnsure = ChangeHeld::kCannotTell;
    struct Case {
        const char* what;
        const char* base;
        const char* sent;
        const char* now;
        ChangeHeld held;
    } cases[] = {
        {"new, another's after", "a", "a A", "a A e", kYes},
        {"new, another's before", "a", "a A", "a e A", kYes},
        {"new gone, another's beside", "a", "a A", "a e", kUnsure},
        {"new gone, nothing else changed", "a", "a A", "a", kUnsure},
        {"new, edited by another", "a", "a A", "a A2", kUnsure},
        {"new alike one there, stored", "a", "a a", "a a e", kYes},
        {"new alike one there, one gone", "a", "a a", "a e", kUnsure},
        {"edited, stored", "a b", "a B", "a B e", kYes},
        {"edited, not stored", "a b", "a B", "a b e", kNo},
        {"edited, the old one left", "a b", "a B", "a b B e", kUnsure},
        {"edited, another deleted a mark beside", "a b", "a B", "B e", kYes},
        {"edited, then edited by another", "a b", "a B", "a B2", kUnsure},
        {"edited into one alike, the other deleted", "a b", "a a", "a", kUnsure},
        {"deleted, stored", "a b", "a", "a e", kYes},
        {"deleted, not stored", "a b", "a", "a b e", kNo},
        {"one of two alike deleted", "a a", "a", "a e", kYes},
        {"one of two alike, not deleted", "a a", "a", "a a e", kNo},
        {"emptied, another's since", "a", "", "e", kYes},
        {"emptied, not stored", "a", "", "a", kNo},
    };
    for (const Case& c : cases)
        EXPECT_EQ(JudgeChange(Marks(c.base), Marks(c.sent), Marks(c.now)), c.held) << c.what;
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
