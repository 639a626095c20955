#include "annotations/tag_palette.h"

#include <algorithm>

#include "foundation/fields.h"
#include "foundation/text_match.h"
#include "platform/rounding.h"

namespace annotations {

void TagPalette::Load(const std::string& list, std::int32_t count) {
    const int rows = std::clamp<std::int32_t>(count, 0, kTagPaletteMaxRows);
    captions_.clear();
    int position = 1;
    for (int i = 0; i < rows; ++i) captions_.push_back(mVBUtil::NextToken(",", list, position));
    states_.assign(captions_.size(), 0);
}

const std::string& TagPalette::Caption(int row) const {
    return captions_.at(static_cast<size_t>(row - 1));
}

bool TagPalette::IsOn(int row) const {
    return states_.at(static_cast<size_t>(row - 1)) == 1;
}

void TagPalette::SetOn(int row, bool on) {
    states_.at(static_cast<size_t>(row - 1)) = on ? 1 : 0;
}

void TagPalette::MarkPageTags(const std::string& pageTags, std::int32_t n) {
    std::vector<std::string> onPage;
    int position = 1;
    for (std::int32_t i = 0; i < n; ++i)
        onPage.push_back(mVBUtil::UCase(mVBUtil::NextToken(",", pageTags, position)));
    for (size_t i = 0; i < captions_.size(); ++i) {
        const std::string name = mVBUtil::UCase(captions_[i]);
        states_[i] = std::find(onPage.begin(), onPage.end(), name) != onPage.end() ? 1 : 0;
    }
}

TagPaletteLayout LayoutTagPalette(int count, std::int32_t innerWidth, std::int32_t innerHeight,
                                  std::int32_t barWidth) {
    TagPaletteLayout l;
    // A pane lower than the first row's top holds no row, not a negative number.
    l.rowsFit = std::max(
        0, platform::RoundToInt(static_cast<double>(innerHeight - kTagRowFirstTop) / kTagRowPitch));
    l.labelWidth = std::max(0, innerWidth - 500);
    if (count <= l.rowsFit) return l;
    l.scrollBar = true;
    l.labelWidth = ScrolledLabelWidth(innerWidth, barWidth);
    l.barLeft = innerWidth - barWidth - 120;
    l.barHeight = std::max(0, innerHeight - l.barTop);
    l.barMaximum = count - l.rowsFit;
    l.barLargeChange = std::max(1, platform::RoundToInt(l.rowsFit / 2.0));
    return l;
}

std::int32_t TagRowTop(int row, int scroll) {
    return kTagRowFirstTop + (row - 1 - std::max(0, scroll)) * kTagRowPitch;
}

std::int32_t ScrolledLabelWidth(std::int32_t innerWidth, std::int32_t barWidth) {
    return std::max(0, innerWidth - 500 - barWidth);
}

}  // namespace annotations
