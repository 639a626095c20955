#pragma once

#include <string>

namespace mVBUtil {

// The value of the number a text starts with (blanks before it skipped):
// "12abc" gives 12, " -3.5e1x" -35, a text without a leading number 0.
double Val(const std::string& text);

}  // namespace mVBUtil
