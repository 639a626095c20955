#pragma once
// What one save of a kind's whole list changed, told apart from what other
// writers stored beside it: whether a list read later holds it, and that
// list without it.

#include "annotations/annotation_rec.h"

namespace annotations {

// True when `now` holds the change that made `sent` of `base`: each mark it
// added is there at least as often as in `sent`, each it removed at most as
// often, whatever marks others added or removed meanwhile.
bool HoldsChange(const KindList& base, const KindList& sent, const KindList& now);

// `now` with that change taken back and everything else kept: each mark it
// added taken out (the last such), each it removed put back where a mark it
// added lay, else at its place in `base`.
KindList WithoutChange(const KindList& base, const KindList& sent, const KindList& now);

// True when both hold the same marks as often, in whatever order.
bool SameMarks(const KindList& a, const KindList& b);

}  // namespace annotations
