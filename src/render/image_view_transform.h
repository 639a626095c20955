#pragma once
// The one coordinate model between stored image coordinates and screen
// pixels: rotation by quarter turns, scale, scroll offsets and a second
// factor. Display, annotations, zoom and printing all convert through it.

#include <cstdint>

namespace mGdi32 {

struct ImageViewTransform {
    std::int32_t rotation = 0;  // RotationCode; other values skip the rotation step
    float scale = 1.0f;         // screen pixels per displayed image pixel
    std::int32_t offsetX = 0;   // scroll offsets, screen pixels
    std::int32_t offsetY = 0;
    std::int32_t width = 0;  // displayed (rotated) image size
    std::int32_t height = 0;
    float factor = 1.0f;  // displayed = stored * factor
};

// A zero scale or factor becomes 1.0 in the caller's record.
void ScreenToImage(std::int32_t& x, std::int32_t& y, ImageViewTransform& t);
void ImageToScreen(std::int32_t& x, std::int32_t& y, ImageViewTransform& t);
void ScreenToImagePt(std::int32_t& x, std::int32_t& y, std::int32_t rotation, float scale,
                     std::int32_t offsetX, std::int32_t offsetY, std::int32_t width,
                     std::int32_t height, float factor);
void ImageToScreenPt(std::int32_t& x, std::int32_t& y, std::int32_t rotation, float scale,
                     std::int32_t offsetX, std::int32_t offsetY, std::int32_t width,
                     std::int32_t height, float factor);

}  // namespace mGdi32

// What the redisplay hands the layer routines to place annotations.
struct PageDrawInfo {
    std::int32_t width = 0;
    std::int32_t height = 0;
    std::int32_t left = 0;
    std::int32_t top = 0;
    std::int16_t bitsPerPixel = 0;
    std::int16_t resolution = 0;
    float scale = 1.0f;
    std::int32_t offsetX = 0;
    std::int32_t offsetY = 0;
    std::int16_t rotation = 0;
};

namespace mGdi32 {
// The transform of a page as drawn, with the view's second factor.
ImageViewTransform TransformFor(const PageDrawInfo& info, float factor);
}  // namespace mGdi32
