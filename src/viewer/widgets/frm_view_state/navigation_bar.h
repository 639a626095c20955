#pragma once
// The footer's navigation toolbar.

#include <cstdint>

namespace viewer {

struct NavigationBar {
    // Set by a right button going down on NavTBar; the next click reads it.
    std::int16_t NavRightButton = 0;
};

}  // namespace viewer
