#pragma once
// The arithmetic of an image page: its paper class, the render resolution
// of a frame and the fit of the image into the free area.

#include <cstdint>

namespace printing {

enum PaperClass { kLetter = 1, kLegal = 2, kOversize = 3 };

// From the image's size in inches and the allowed paper sizes.
std::int32_t PaperClassFor(float widthInches, float heightInches, std::int32_t supportedSizes);
// Dots per inch of a frame this many pixels wide.
std::int32_t RenderResolutionFor(std::int32_t frameWidth, std::int32_t paperClass);

struct FitInput {
    std::int32_t w = 0, h = 0;  // image pixels
    float wi = 0, hi = 0;       // image inches
    std::int32_t resolution = 300;
    bool enlargeSmall = false;
    bool maxHorzScale = false;
    bool landscape = false;
};
// Narrows the free area aw x ah to the placed image's size; false when the
// area or the image is empty.
bool FitImage(const FitInput& in, std::int32_t& aw, std::int32_t& ah);

}  // namespace printing
