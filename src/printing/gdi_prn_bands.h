#pragma once
// The measured text bands of one page: key line, boundary text and the
// wrapped message, and the heights of the top and bottom bands.

#include <cstdint>
#include <string>

#include "printing/gdi_prn.h"

struct cGdiPrn::Bands {
    std::int32_t kw = 0, kh = 0;    // key (text or bar code)
    std::int32_t bw = 0, bh = 0;    // boundary text
    std::int32_t klw = 0, klh = 0;  // the whole key line
    std::int32_t mlh = 0, mh = 0;   // message line height and height
    std::int32_t lines = 0;
    std::string wrapped;  // message lines joined by "@"
    bool sideBySide = false;
    bool sameZone = false;
    std::int32_t top = 0, bottom = 0;
};
