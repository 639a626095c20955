#pragma once
// The footer's navigation toolbar and quick scroll.

#include <cstdint>

namespace viewer {

struct NavigationBar {
    // Set by a right button going down on NavTBar; the next click reads it.
    std::int16_t NavRightButton = 0;
    std::int16_t QuickScroll_Active = 0, QuickScrollMode = 0;
    std::int32_t QuickScrollInterval = 0;
};

}  // namespace viewer
