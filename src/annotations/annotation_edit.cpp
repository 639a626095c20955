#include "annotations/annotation_edit.h"

#include <algorithm>
#include <cstdlib>

#include "platform/rounding.h"

namespace annotations {

std::int32_t ToolKind(int tool) {
    for (const KindTool& k : kKindTools)
        if (k.tool == tool) return k.kind;
    return 0;
}

std::string CleanUserText(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (u < 32 && c != '\r' && c != '\n' && c != '\t') continue;
        if (u == 127) continue;
        out.push_back(c);
    }
    return out;
}

std::string StoredNoteText(const std::string& typed) {
    std::string stored;
    for (char c : CleanUserText(typed)) {
        if (c == '\n')
            stored += "\r\n";
        else if (c != '\r')
            stored.push_back(c);
    }
    const std::size_t b = stored.find_first_not_of(' ');
    if (b == std::string::npos) return "";
    return stored.substr(b, stored.find_last_not_of(' ') - b + 1);
}

std::int32_t IconSizeInImage(std::int32_t iconPixels, float scale, float factor) {
    if (factor == 0.0f) factor = 1.0f;
    if (!(scale > 0.0f)) return 0;
    return platform::RoundToInt(static_cast<double>(iconPixels) / scale / factor);
}

bool BoxHit(const AnnotationRec& r, std::int32_t x, std::int32_t y) {
    return r.Left < x && x < r.Right && r.Top < y && y < r.Bottom;
}

bool IconHit(const AnnotationRec& r, std::int32_t x, std::int32_t y, std::int32_t size) {
    const std::int64_t right = std::int64_t{r.Left} + size, bottom = std::int64_t{r.Top} + size;
    return r.Left < x && x < right && r.Top < y && y < bottom;
}

bool MarkupHit(const AnnotationRec& r, std::int32_t x, std::int32_t y) {
    std::int64_t left = std::int64_t{r.Left} - kMarkupHitMargin;
    std::int64_t right = std::int64_t{r.Left} + kMarkupHitMargin;
    std::int64_t top = std::int64_t{r.Top} - kMarkupHitMargin;
    std::int64_t bottom = std::int64_t{r.Top} + kMarkupHitMargin;
    std::size_t at = 0;
    const std::string& t = r.Text;
    while (at < t.size()) {
        std::size_t end = t.find(';', at);
        if (end == std::string::npos) end = t.size();
        const std::string pair = t.substr(at, end - at);
        const std::size_t comma = pair.find(',');
        if (comma != std::string::npos) {
            const std::int64_t px = std::atoll(pair.substr(0, comma).c_str());
            const std::int64_t py = std::atoll(pair.substr(comma + 1).c_str());
            left = std::min(left, px);
            right = std::max(right, px);
            top = std::min(top, py);
            bottom = std::max(bottom, py);
        }
        at = end + 1;
    }
    return left < x && x < right && top < y && y < bottom;
}

AnnotationHit FindAnnotationAt(const PageLists& lists, std::int32_t x, std::int32_t y,
                               std::int32_t stickySize, std::int32_t clipSize) {
    auto hitsAt = [&](AnnotationKind kind, const AnnotationRec& r) {
        switch (kind) {
            case kStickyNote:
                return IconHit(r, x, y, stickySize);
            case kClip:
                return IconHit(r, x, y, clipSize);
            case kMarkup:
                return MarkupHit(r, x, y);
            default:
                return BoxHit(r, x, y);
        }
    };
    for (AnnotationKind kind : {kHighlight, kRedaction, kTextNote, kStickyNote, kClip, kMarkup}) {
        const KindList& k = lists[kind];
        const int i =
            FirstHit(k.list, k.count, [&](const AnnotationRec& r) { return hitsAt(kind, r); });
        if (i >= 0) return {kind, i};
    }
    return {};
}

void AppendRecord(KindList& ref, const AnnotationRec& rec) {
    AnnotationList& list = ref.list;
    int& count = ref.count;
    count = std::clamp(count, 0, static_cast<int>(list.size()));
    list.resize(static_cast<std::size_t>(count));
    list.push_back(rec);
    ++count;
}

std::string AppendNewMark(KindList& ref, std::int32_t kind, const AnnotationRec& rec) {
    if (ref.count >= MaxAnnotationsPerPage(static_cast<AnnotationKind>(kind)))
        return kTooManyAnnotations;
    AppendRecord(ref, rec);
    return {};
}

void RemoveRecord(KindList& ref, int index) {
    AnnotationList& list = ref.list;
    int& count = ref.count;
    if (index < 0 || index >= count || index >= static_cast<int>(list.size())) return;
    list.erase(list.begin() + index);
    --count;
}

int FindRecord(const KindList& ref, const AnnotationRec& rec) {
    std::string wanted, text;
    TalqClientAPI_Header::BuildAnnotationList(1, {rec}, wanted);
    return FirstHit(ref.list, ref.count, [&](const AnnotationRec& r) {
        TalqClientAPI_Header::BuildAnnotationList(1, {r}, text);
        return text == wanted;
    });
}

int MarkNowInPlace(const KindList& stored, const KindList& shown, const AnnotationRec& was) {
    int found = -1;
    const int n = std::min<int>(stored.count, static_cast<int>(stored.list.size()));
    for (int i = 0; i < n; ++i) {
        const AnnotationRec& r = stored.list[static_cast<std::size_t>(i)];
        if (r.Left != was.Left || r.Top != was.Top || r.Right != was.Right ||
            r.Bottom != was.Bottom || FindRecord(shown, r) >= 0)
            continue;
        if (found >= 0) return -1;
        found = i;
    }
    return found;
}

std::string MarkupPointText(const std::vector<std::pair<std::int32_t, std::int32_t>>& points) {
    std::string text;
    for (const auto& [x, y] : points) {
        if (!text.empty()) text.push_back(';');
        text += std::to_string(x) + "," + std::to_string(y);
    }
    return text;
}

bool BuildListForSave(int count, const AnnotationList& list, std::string& text) {
    TalqClientAPI_Header::BuildAnnotationList(count, list, text);
    return text.size() <= TalqClientAPI_Header::kMaxAnnotationListText;
}

std::int32_t FeatureBit(std::int32_t kind) {
    return KindFacts(kind).featureBit;
}

}  // namespace annotations
