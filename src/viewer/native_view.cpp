#include "viewer/native_view.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "foundation/fields.h"
#include "platform/rounding.h"
#include "viewer/image_toolbar_steps.h"

namespace viewer::nativeview {

using platform::RoundToInt;

ScrollRange RangeFor(std::int32_t displayLength, std::int32_t viewLength) {
    ScrollRange r;
    if (displayLength <= viewLength) return r;
    r.enabled = true;
    r.maximum = RoundToInt((static_cast<double>(displayLength) - viewLength) / 10.0 + 1.0);
    r.smallChange = RoundToInt(r.maximum / 20.0 + 1.0);
    r.largeChange = RoundToInt(r.maximum / 2.0 + 1.0);
    return r;
}

std::optional<ViewScale> ScaleFor(int mode, float current, std::int32_t imgWidth,
                                  std::int32_t imgHeight, std::int32_t viewWidth,
                                  std::int32_t viewHeight) {
    if (imgWidth <= 0 || imgHeight <= 0) return std::nullopt;
    const float fitW = static_cast<float>(viewWidth) / static_cast<float>(imgWidth);
    const float fitH = static_cast<float>(viewHeight) / static_cast<float>(imgHeight);
    ViewScale v;
    if (mode == 1) {
        v.scale = fitW < fitH ? fitW : fitH;
    } else if (mode == 2) {
        v.scale = current != 0.0f ? current : fitW;
    } else {
        v.scale = fitW;
    }
    v.dspWidth = RoundToInt(static_cast<double>(v.scale) * imgWidth);
    v.dspHeight = RoundToInt(static_cast<double>(v.scale) * imgHeight);
    v.horizontal = RangeFor(v.dspWidth, viewWidth);
    v.vertical = RangeFor(v.dspHeight, viewHeight);
    return v;
}

std::int32_t OffsetForBar(std::int32_t barValue, std::int32_t displayLength,
                          std::int32_t viewLength) {
    const std::int64_t wanted = static_cast<std::int64_t>(barValue) * 10;
    const std::int64_t most = static_cast<std::int64_t>(displayLength) - viewLength;
    return static_cast<std::int32_t>(std::max<std::int64_t>(0, std::min(wanted, most)));
}

std::int32_t OffsetForPoint(float scale, std::int32_t imagePos, std::int32_t displayLength,
                            std::int32_t viewLength) {
    if (displayLength <= viewLength) return 0;
    const std::int32_t pos = RoundToInt(static_cast<double>(scale) * imagePos);
    return std::max(0, std::min(pos, displayLength - viewLength));
}

std::optional<float> ZoomStep(float scale, bool zoomIn) {
    if (scale == 0.0f) return std::nullopt;
    return ZoomedScale(scale, zoomIn);
}

std::optional<float> DragZoom(std::int32_t x1, std::int32_t y1, std::int32_t x2, std::int32_t y2,
                              std::int32_t viewWidth, std::int32_t viewHeight) {
    const std::int64_t w = std::llabs(static_cast<std::int64_t>(x2) - x1);
    const std::int64_t h = std::llabs(static_cast<std::int64_t>(y2) - y1);
    if (w <= 25 && h <= 25) return std::nullopt;
    const float zw = w > 0 ? static_cast<float>(viewWidth) / static_cast<float>(w) : 0.0f;
    const float zh = h > 0 ? static_cast<float>(viewHeight) / static_cast<float>(h) : 0.0f;
    // A flat rectangle zooms by its long side alone.
    float zoom = w == 0 ? zh : h == 0 ? zw : (zw < zh ? zw : zh);
    return zoom > 2.0f ? 2.0f : zoom;
}

const std::array<const char*, 13> kZoomList = {"10%",  "20%",  "30%",  "40%",  "50%",
                                               "75%",  "100%", "125%", "150%", "175%",
                                               "200%", "250%", "300%"};

std::string PercentText(float scale) {
    return std::to_string(RoundToInt(static_cast<double>(scale) * 100.0)) + "%";
}

namespace {

// A whole field that is a finite number.
std::optional<double> Number(const std::string& field) {
    const std::size_t first = field.find_first_not_of(' ');
    if (first == std::string::npos) return std::nullopt;
    const std::size_t last = field.find_last_not_of(' ');
    const std::string text = field.substr(first, last - first + 1);
    char* end = nullptr;
    const double value = std::strtod(text.c_str(), &end);
    if (end != text.c_str() + text.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

}  // namespace

std::optional<WindowRect> ParseStartPos(const std::string& stored, const WindowRect& available) {
    if (stored.empty()) return std::nullopt;
    std::array<std::int32_t, 4> v{};
    for (int i = 0; i < 4; ++i) {
        const auto n = Number(mVBUtil::GetField(",", stored, i + 1));
        if (!n) return std::nullopt;
        v[static_cast<std::size_t>(i)] = RoundToInt(*n);
    }
    WindowRect r{v[0], v[1], v[2], v[3]};
    if (r.width <= 0 || r.height <= 0) return std::nullopt;
    r.width = std::min(r.width, available.width);
    r.height = std::min(r.height, available.height);
    const std::int64_t right = static_cast<std::int64_t>(available.left) + available.width;
    const std::int64_t bottom = static_cast<std::int64_t>(available.top) + available.height;
    if (static_cast<std::int64_t>(r.left) + r.width > right)
        r.left = static_cast<std::int32_t>(right - r.width);
    if (static_cast<std::int64_t>(r.top) + r.height > bottom)
        r.top = static_cast<std::int32_t>(bottom - r.height);
    r.left = std::max(r.left, available.left);
    r.top = std::max(r.top, available.top);
    return r;
}

std::string FormatStartPos(const WindowRect& rect) {
    return std::to_string(rect.left) + "," + std::to_string(rect.top) + "," +
           std::to_string(rect.width) + "," + std::to_string(rect.height);
}

}  // namespace viewer::nativeview
