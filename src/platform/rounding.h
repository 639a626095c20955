#pragma once
// Every conversion of a real value to an integer goes through these helpers:
// the nearest integer, a half going to the even neighbour (2.5 -> 2, 3.5 -> 4).
// Values beyond the target range saturate; NaN gives 0.

#include <cstdint>

namespace platform {

std::int32_t RoundToInt(double value);
std::int64_t RoundToInt64(double value);
std::int16_t RoundToInt16(double value);

}  // namespace platform
