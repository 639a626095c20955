#pragma once
// The rules of making and changing annotations, apart from any window: which
// record lies under a point, the icon size at a view scale, the list edits,
// texts a user typed, and the list text that may be saved.

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "annotations/annotation_rec.h"

namespace annotations {

// Latched tools are the indexes of their toolbar buttons.
constexpr int kToolSticky = 11, kToolTextNote = 12, kToolRedaction = 13, kToolHighlight = 14,
              kToolMarkup = 15, kToolClip = 16;
// The tool that creates each kind.
struct KindTool {
    AnnotationKind kind;
    int tool;
};
constexpr KindTool kKindTools[] = {{kStickyNote, kToolSticky},   {kTextNote, kToolTextNote},
                                   {kRedaction, kToolRedaction}, {kHighlight, kToolHighlight},
                                   {kMarkup, kToolMarkup},       {kClip, kToolClip}};
// The kind a tool creates; 0 for anything that is not a tool.
std::int32_t ToolKind(int tool);

// The most points of one markup.
constexpr int kMaxMarkupPoints = 50;
// Mouse movements shorter than this, in twips, make no shape and no point.
constexpr int kMinMoveTwips = 201;
// A markup is hit this far around its points, in image pixels.
constexpr int kMarkupHitMargin = 100;

// Text a user typed with its control characters removed, except CR, LF and
// Tab, so that no separator of a list text can enter a record.
std::string CleanUserText(const std::string& text);
// A note as it is stored from what was typed: cleaned, each line ending in
// CR LF, without blanks at either end.
std::string StoredNoteText(const std::string& typed);

// An icon's side in image pixels at a view scale and second factor (0
// counts as 1); a scale of 0 gives 0, which hits nothing.
std::int32_t IconSizeInImage(std::int32_t iconPixels, float scale, float factor);

// Strictly inside: a point on the border is no hit.
bool BoxHit(const AnnotationRec& r, std::int32_t x, std::int32_t y);
bool IconHit(const AnnotationRec& r, std::int32_t x, std::int32_t y, std::int32_t size);
// Inside the box of every point, widened around the first by the margin.
bool MarkupHit(const AnnotationRec& r, std::int32_t x, std::int32_t y);

// The first record of a list that a test accepts, 0-based; -1 for none.
template <class Test>
int FirstHit(const AnnotationList& list, int count, Test test) {
    const int n = std::min<int>(count, static_cast<int>(list.size()));
    for (int i = 0; i < n; ++i)
        if (test(list[static_cast<std::size_t>(i)])) return i;
    return -1;
}

// What lies under a point: the kinds are tried highlights, redactions, text
// notes, sticky notes, clips, markups; the first kind with a hit decides.
struct AnnotationHit {
    std::int32_t kind = 0;  // AnnotationKind; 0 none
    int index = -1;         // 0-based in its list
};
AnnotationHit FindAnnotationAt(const PageLists& lists, std::int32_t x, std::int32_t y,
                               std::int32_t stickySize, std::int32_t clipSize);

// Appends a record as the list's last; removes one, moving the later ones up.
void AppendRecord(KindList& ref, const AnnotationRec& rec);
// What a reviewer is told when a kind's list holds all a page may have.
inline constexpr char kTooManyAnnotations[] =
    "You have exceeded the maximum annotations\nallowed for a single image.";
// Appends a new mark unless its kind's list is full: "" when appended, else
// the message why not.
std::string AppendNewMark(KindList& ref, std::int32_t kind, const AnnotationRec& rec);
void RemoveRecord(KindList& ref, int index);
// The first record stored as this one would be, 0-based; -1 for none.
int FindRecord(const KindList& ref, const AnnotationRec& rec);
// The one record as stored now that lies exactly where `was` lay and was
// not among the records shown: another user's version of it, 0-based. -1
// when there is none or more than one, as then nothing tells which.
int MarkNowInPlace(const KindList& stored, const KindList& shown, const AnnotationRec& was);

// "x,y;x,y;..." of markup points in image pixels.
std::string MarkupPointText(const std::vector<std::pair<std::int32_t, std::int32_t>>& points);

// The list text of a kind for a save; false when it would be longer than the
// server takes (it is then never sent, cut or emptied).
bool BuildListForSave(int count, const AnnotationList& list, std::string& text);

// The rights to change a kind: its feature bit and the access level that
// must be 0.
std::int32_t FeatureBit(std::int32_t kind);

}  // namespace annotations
