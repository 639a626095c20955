#pragma once

#include <string>

#include "platform/leading_number.h"

namespace mVBUtil {

// The value of the number a text starts with (blanks before it skipped):
// "12abc" gives 12, " -3.5e1x" -35, a text without a leading number 0.
inline double Val(const std::string& text) {
    return platform::LeadingNumber(text);
}

}  // namespace mVBUtil
