#pragma once
// Where a drag of a splitter (x) or of the zoom bar (y) started, in twips.

#include <cstdint>

namespace viewer {

struct SplitterDrags {
    std::int32_t MouseDownX = 0;
    std::int32_t MouseDownY = 0;
};

}  // namespace viewer
