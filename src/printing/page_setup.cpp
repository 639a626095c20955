#include "printing/page_setup.h"

#include "platform/rounding.h"

namespace printing {

using platform::RoundToInt;

std::int32_t PaperClassFor(float wi, float hi, std::int32_t sizes) {
    std::int32_t paperClass = kLetter;
    if (sizes == 3) paperClass = kLegal;
    if (sizes == 5) paperClass = kOversize;
    if (wi < 9.0f && hi > 12.0f && hi < 15.0f && (sizes == 1 || sizes == 2 || sizes == 4)) {
        paperClass = kLegal;
    }
    if ((hi > 15.0f || (wi > 9.0f && hi > 12.0f)) && (sizes == 2 || sizes == 4 || sizes == 6)) {
        paperClass = kOversize;
    }
    return paperClass;
}

std::int32_t RenderResolutionFor(std::int32_t wf, std::int32_t paperClass) {
    static constexpr std::int32_t kOversizeSteps[] = {2000, 3000, 4000, 6000, 12000};
    static constexpr std::int32_t kLetterSteps[] = {1500, 2250, 3000, 4500, 9000};
    static constexpr std::int32_t kResolutions[] = {200, 300, 400, 600, 1200};
    const std::int32_t* steps = paperClass == kOversize ? kOversizeSteps : kLetterSteps;
    std::int32_t r = 100;
    for (int i = 0; i < 5; ++i) {
        if (wf > steps[i]) r = kResolutions[i];
    }
    return r;
}

bool FitImage(const FitInput& in, std::int32_t& aw, std::int32_t& ah) {
    if (aw < 1 || ah < 1 || in.w < 1 || in.h < 1) return false;
    if (in.enlargeSmall && in.hi < 9.5f && in.wi < 7.5f) {
        const float r = static_cast<float>(in.resolution);
        const std::int32_t nw = RoundToInt(r * in.wi), nh = RoundToInt(r * in.hi);
        if (nw < aw && nh < ah) {
            aw = nw;
            ah = nh;
        }
    }
    const float rx = static_cast<float>(in.w) / static_cast<float>(aw);
    const float ry = static_cast<float>(in.h) / static_cast<float>(ah);
    if (rx <= ry) {
        ah = RoundToInt(in.h / ry);
        aw = in.maxHorzScale ? RoundToInt(in.w / rx) : RoundToInt(in.w / ry);
    } else {
        aw = RoundToInt(in.w / rx);
        ah = (in.maxHorzScale && in.landscape) ? RoundToInt(in.h / ry) : RoundToInt(in.h / rx);
    }
    return aw >= 1 && ah >= 1;
}

}  // namespace printing
