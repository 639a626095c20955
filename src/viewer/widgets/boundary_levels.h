#pragma once

#include <cstdint>
#include <string>

namespace viewer {

// Level number i (1-based) of a project's "|"-separated level list; 0 past its end.
std::int32_t BoundaryLevelAt(const std::string& levels, int position);

}  // namespace viewer
