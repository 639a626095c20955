#include "viewer/image_toolbar_steps.h"

#include <algorithm>

namespace viewer {

float ZoomedScale(float scale, bool zoomIn) {
    const double s = scale;
    const double step = s > 1.0 ? 0.1 : 0.05;
    // Each limit bounds only its own direction: a fitted scale beyond one
    // still steps from where it is.
    return static_cast<float>(zoomIn ? std::min(s + step, 4.0) : std::max(s - step, 0.05));
}

std::int32_t TurnedRotation(std::int32_t rotation, bool right) {
    std::int32_t r = right ? rotation + 1 : rotation - 1;
    if (r < 0) r = 3;
    if (r > 3) r = 0;
    return r;
}

}  // namespace viewer
