#pragma once
// One annotation of a page and the list text the server keeps for each kind.

#include <QDate>

#include <cstdint>
#include <string>
#include <vector>

#include "platform/annotation_kinds.h"
#include "platform/wire_separators.h"

// Most records of a kind on one page, enforced when one is created.
int MaxAnnotationsPerPage(AnnotationKind kind);

struct AnnotationRec {
    std::int32_t Left = 0;
    std::int32_t Top = 0;
    std::int32_t Right = 0;
    std::int32_t Bottom = 0;
    std::int32_t Reserved4 = 0;
    std::int32_t FontSize = 0;  // above 0: the record has a font
    std::int32_t FontStyle = 0;
    std::int32_t Font7 = 0;
    std::int32_t Font8 = 0;
    std::string FontName;
    std::int32_t LabelFlag = 0;
    std::int32_t Field11 = 0;
    std::int32_t Color = 0;
    std::int32_t Rotation = 0;  // page rotation at creation; a markup's pen size
    std::int32_t Color2 = 0;
    std::string Stamp;  // AnnotationStamp
    std::string Text;   // note text, markup points "x,y;x,y", clip command
};

// Record i of a page list is list[i - 1]; a count travels beside the list.
using AnnotationList = std::vector<AnnotationRec>;

// The records of one kind on a page.
struct KindList {
    AnnotationList list;
    int count = 0;
};
// A page's lists, one per kind.
using PageLists = PerKind<KindList>;

namespace TalqClientAPI_Header {

using wire::kCommaSub;
using wire::kFieldSep;
using wire::kListSep;
using wire::kRecordSep;
using wire::kStampSep;

// The largest list text the server takes in one save.
constexpr std::size_t kMaxAnnotationListText = 12002;
// Counts are 16-bit on the wire side.
constexpr int kMaxAnnotationListCount = 32767;

// label, character 22, user id, character 22, "mm/dd/yyyy".
std::string AnnotationStamp(const std::string& label, const std::string& userId, const QDate& date);
// The label part of a stamp.
std::string StampLabel(const std::string& stamp);

// Replaces list with the records of text; count is the number stored.
void ParseAnnotationList(const std::string& text, AnnotationList& list, int& count);
// The same for a kind's list; an empty text leaves the list as it was.
void ParseKindList(const std::string& text, KindList& into);
// The list text of the first count records (never more than list holds),
// built whole whatever its length; callers that save it check the length.
void BuildAnnotationList(int count, const AnnotationList& list, std::string& text);

}  // namespace TalqClientAPI_Header
