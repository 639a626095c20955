#pragma once
// The tag palette's rows: the project's palette tags, which of them are on
// for the page on display, and where the rows stand in their pane. Pane
// measures are twips.

#include <cstdint>
#include <string>
#include <vector>

namespace annotations {

inline constexpr int kTagPaletteMaxRows = 200;
inline constexpr std::int32_t kTagRowFirstTop = 460;
inline constexpr std::int32_t kTagRowPitch = 320;

class TagPalette {
  public:
    // The first count ","-tokens of the palette list, empty ones kept, at
    // most 200; every row off.
    void Load(const std::string& list, std::int32_t count);
    // Rows are 1 to Count() (elsewhere: TagPaletteCount).
    int Count() const { return static_cast<int>(captions_.size()); }
    // The tag's name as the palette gives it; also what a click sends.
    const std::string& Caption(int row) const;
    // Elsewhere: TagStates.
    bool IsOn(int row) const;
    void SetOn(int row, bool on);
    // Each row is on when its name, without regard to case, is one of the
    // first n ","-tokens of the page's tag list; every row off for n = 0.
    void MarkPageTags(const std::string& pageTags, std::int32_t n);

  private:
    std::vector<std::string> captions_;
    std::vector<std::uint8_t> states_;
};

struct TagPaletteLayout {
    std::int32_t rowsFit = 0;  // elsewhere: TagRowsFit
    std::int32_t labelWidth = 0;
    bool scrollBar = false;
    // The scroll bar's place and range, while it is shown.
    std::int32_t barLeft = 0, barTop = kTagRowFirstTop - 60, barHeight = 0;
    std::int32_t barMaximum = 0, barLargeChange = 1;
};

// Rows that fit a pane of the inner size, and whether count rows need the
// scroll bar of the given width.
TagPaletteLayout LayoutTagPalette(int count, std::int32_t innerWidth, std::int32_t innerHeight,
                                  std::int32_t barWidth);
// Top of row (1-based) with the list scrolled down by scroll rows; a row
// above the first row's top is scrolled out of sight.
std::int32_t TagRowTop(int row, int scroll);
// Label width while the scroll bar stands beside the labels.
std::int32_t ScrolledLabelWidth(std::int32_t innerWidth, std::int32_t barWidth);

}  // namespace annotations
