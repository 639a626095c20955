#include "viewer/image_toolbar_steps.h"

namespace viewer {

float ZoomedScale(float scale, bool zoomIn) {
    const double s = scale;
    const double step = s > 1.0 ? 0.1 : 0.05;
    double next = zoomIn ? s + step : s - step;
    if (next < 0.05) next = 0.05;
    if (next > 4.0) next = 4.0;
    return static_cast<float>(next);
}

std::int32_t TurnedRotation(std::int32_t rotation, bool right) {
    std::int32_t r = right ? rotation + 1 : rotation - 1;
    if (r < 0) r = 3;
    if (r > 3) r = 0;
    return r;
}

}  // namespace viewer
