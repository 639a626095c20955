#pragma once
// Numbers read from reply fields: the text's leading number rounded half to
// even; a value that does not fit the field's width reads as 0 so one bad
// field cannot stop the rest of a reply from being read.

#include <cmath>
#include <cstdint>
#include <string>

#include "foundation/number_text.h"
#include "platform/rounding.h"

namespace talqnumber {

inline std::int32_t Long(const std::string& text) {
    double v = mVBUtil::Val(text);
    if (!std::isfinite(v) || v < -2147483648.5 || v > 2147483647.5) return 0;
    return platform::RoundToInt(v);
}

inline std::int16_t Integer(const std::string& text) {
    double v = mVBUtil::Val(text);
    if (!std::isfinite(v) || v < -32768.5 || v > 32767.5) return 0;
    return platform::RoundToInt16(v);
}

}  // namespace talqnumber
