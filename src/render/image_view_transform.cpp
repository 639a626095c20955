#include "render/image_view_transform.h"

#include "platform/rounding.h"

namespace mGdi32 {
namespace {

using platform::RoundToInt;
using platform::RoundToInt64;

void Normalise(ImageViewTransform& t) {
    if (t.scale == 0.0f) t.scale = 1.0f;
    if (t.factor == 0.0f) t.factor = 1.0f;
}

// Offsets in displayed image pixels; intermediates stay 64-bit so that far
// points saturate at the end instead of wrapping.
std::int64_t OffsetInImage(std::int32_t offset, float scale) {
    return offset == 0 ? 0 : RoundToInt64(static_cast<double>(offset) / scale);
}

}  // namespace

void ScreenToImage(std::int32_t& x, std::int32_t& y, ImageViewTransform& t) {
    Normalise(t);
    const double scale = t.scale;
    std::int64_t ox = OffsetInImage(t.offsetX, t.scale);
    std::int64_t oy = OffsetInImage(t.offsetY, t.scale);
    std::int64_t sx = RoundToInt64(x / scale);
    std::int64_t sy = RoundToInt64(y / scale);
    std::int64_t rx = x, ry = y;
    switch (t.rotation) {
        case 0:
            rx = sx + ox;
            ry = sy + oy;
            break;
        case 1:
            rx = sy + oy;
            ry = t.width - (sx + ox);
            break;
        case 2:
            rx = t.width - (sx + ox);
            ry = t.height - (sy + oy);
            break;
        case 3:
            rx = t.height - (sy + oy);
            ry = sx + ox;
            break;
        default:
            break;
    }
    x = RoundToInt(static_cast<double>(rx) / t.factor);
    y = RoundToInt(static_cast<double>(ry) / t.factor);
}

void ImageToScreen(std::int32_t& x, std::int32_t& y, ImageViewTransform& t) {
    Normalise(t);
    std::int64_t fx = RoundToInt64(static_cast<double>(t.factor) * x);
    std::int64_t fy = RoundToInt64(static_cast<double>(t.factor) * y);
    std::int64_t ox = OffsetInImage(t.offsetX, t.scale);
    std::int64_t oy = OffsetInImage(t.offsetY, t.scale);
    std::int64_t rx = fx, ry = fy;
    switch (t.rotation) {
        case 0:
            rx = fx - ox;
            ry = fy - oy;
            break;
        case 1:
            rx = t.width - fy - ox;
            ry = fx - oy;
            break;
        case 2:
            rx = t.width - fx - ox;
            ry = t.height - fy - oy;
            break;
        case 3:
            rx = fy - ox;
            ry = t.height - fx - oy;
            break;
        default:
            break;
    }
    x = RoundToInt(static_cast<double>(t.scale) * static_cast<double>(rx));
    y = RoundToInt(static_cast<double>(t.scale) * static_cast<double>(ry));
}

void ScreenToImagePt(std::int32_t& x, std::int32_t& y, std::int32_t rotation, float scale,
                     std::int32_t offsetX, std::int32_t offsetY, std::int32_t width,
                     std::int32_t height, float factor) {
    ImageViewTransform t{rotation, scale, offsetX, offsetY, width, height, factor};
    ScreenToImage(x, y, t);
}

void ImageToScreenPt(std::int32_t& x, std::int32_t& y, std::int32_t rotation, float scale,
                     std::int32_t offsetX, std::int32_t offsetY, std::int32_t width,
                     std::int32_t height, float factor) {
    ImageViewTransform t{rotation, scale, offsetX, offsetY, width, height, factor};
    ImageToScreen(x, y, t);
}

ImageViewTransform TransformFor(const PageDrawInfo& info, float factor) {
    ImageViewTransform t{info.rotation, info.scale,  info.offsetX, info.offsetY,
                         info.width,    info.height, factor};
    Normalise(t);
    return t;
}

}  // namespace mGdi32
