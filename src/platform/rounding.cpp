#include "platform/rounding.h"

#include <cmath>
#include <limits>

namespace platform {
namespace {

double RoundHalfEven(double value) {
    double floor = std::floor(value);
    double diff = value - floor;
    if (diff > 0.5) return floor + 1.0;
    if (diff < 0.5) return floor;
    return std::fmod(floor, 2.0) == 0.0 ? floor : floor + 1.0;
}

template <typename T>
T Saturate(double value) {
    if (std::isnan(value)) return 0;
    double rounded = RoundHalfEven(value);
    if (rounded <= static_cast<double>(std::numeric_limits<T>::min())) {
        return std::numeric_limits<T>::min();
    }
    if (rounded >= static_cast<double>(std::numeric_limits<T>::max())) {
        return std::numeric_limits<T>::max();
    }
    return static_cast<T>(rounded);
}

}  // namespace

std::int32_t RoundToInt(double value) { return Saturate<std::int32_t>(value); }
std::int64_t RoundToInt64(double value) { return Saturate<std::int64_t>(value); }
std::int16_t RoundToInt16(double value) { return Saturate<std::int16_t>(value); }

}  // namespace platform
