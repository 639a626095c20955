#pragma once
// The image toolbar's steps of scale and rotation.

#include <cstdint>

namespace viewer {

// One zoom step from a scale (1.0 = 100 %): 0.1 above 1.0, else 0.05; zoom
// in stops at 4.0, zoom out at 0.05. Computed in double precision, kept as
// single.
float ZoomedScale(float scale, bool zoomIn);
// The rotation code after a quarter turn left or right (0 to 3).
std::int32_t TurnedRotation(std::int32_t rotation, bool right);

}  // namespace viewer
