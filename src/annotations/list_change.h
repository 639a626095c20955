#pragma once
// What one save of a kind's whole list changed, told apart from what other
// writers stored beside it: whether a list read later holds it, and that
// list without it.

#include "annotations/annotation_rec.h"

namespace annotations {

// What a list read after a put whose answer was lost tells of the change
// that made `sent` of `base`. Stored: each mark it added is there at least
// as often as in `sent`, each it removed at most as often, whatever others
// stored beside. Not stored: a mark it removed is still there more often,
// and none it added more often than in `base` (an old version only comes
// back by coincidence). Otherwise it cannot be told: its new mark gone may
// be a put that never landed or one another writer changed or deleted
// since, and marks carry no identity to tell which.
enum class ChangeHeld { kStored, kNotStored, kCannotTell };
ChangeHeld JudgeChange(const KindList& base, const KindList& sent, const KindList& now);

// The marks of `now` that `before` did not hold as often, in list order.
KindList MarksSince(const KindList& before, const KindList& now);

// `now` with that change taken back and everything else kept: each mark it
// added taken out (the last such), each it removed put back where a mark it
// added lay, else at its place in `base`.
KindList WithoutChange(const KindList& base, const KindList& sent, const KindList& now);

// True when both hold the same marks as often, in whatever order.
bool SameMarks(const KindList& a, const KindList& b);

}  // namespace annotations
