// Paper class, render resolution, clip conversion and fit of an image page,
// on the numbers a user's pages bring.

#include <gtest/gtest.h>

#include "printing/gdi_prn.h"
#include "printing/page_setup.h"

namespace {

using namespace printing;

TEST(PageSetup, PaperClassFollowsImageInchesAndAllowedSizes) {
    struct Case {
        float wi, hi;
        std::int32_t sizes, expected;
    };
    const Case cases[] = {
        {8.5f, 14.0f, 1, kLegal},     {8.5f, 14.0f, 2, kLegal},     {8.5f, 14.0f, 4, kLegal},
        {8.5f, 14.0f, 0, kLetter},    {8.5f, 15.0f, 2, kLetter},    {11.0f, 17.0f, 2, kOversize},
        {11.0f, 17.0f, 4, kOversize}, {11.0f, 17.0f, 6, kOversize}, {11.0f, 17.0f, 1, kLetter},
        {8.5f, 11.0f, 5, kOversize},  {8.5f, 11.0f, 3, kLegal},     {8.5f, 16.0f, 6, kOversize},
        {8.5f, 14.0f, 6, kLetter},    {8.5f, 11.0f, 2, kLetter},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PaperClassFor(c.wi, c.hi, c.sizes), c.expected)
            << c.wi << "x" << c.hi << " sizes " << c.sizes;
    }
}

TEST(PageSetup, RenderResolutionStepsWithFrameWidth) {
    struct Case {
        std::int32_t width, paperClass, expected;
    };
    const Case cases[] = {
        {1500, kLetter, 100},   {1501, kLetter, 200},   {2250, kLetter, 200},
        {2251, kLetter, 300},   {2550, kLegal, 300},    {4501, kLetter, 600},
        {9001, kLetter, 1200},  {3128, kOversize, 300}, {2000, kOversize, 100},
        {2001, kOversize, 200}, {6001, kOversize, 600}, {12001, kOversize, 1200},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(RenderResolutionFor(c.width, c.paperClass), c.expected) << c.width;
    }
}

// Sixteenths of an inch and 300 dpi pixels, both taken at the page's
// resolution; at 300 dpi sixteenths give value x 18.75.
TEST(PageSetup, ClipsAreTakenAtTheRenderResolution) {
    struct Case {
        std::int32_t value, resolution, expected;
    };
    const Case cases[] = {
        {0, 300, 0},   {-3, 300, 0},   {1, 300, 19},    {3, 300, 56},
        {8, 300, 150}, {16, 300, 300}, {16, 600, 600},  {8, 200, 100},
        {17, 300, 17}, {17, 600, 34},  {300, 200, 200},
    };
    for (const Case& c : cases) {
        std::int32_t pixels = -1;
        cGdiPrn::ClipToPixels(c.value, c.resolution, pixels);
        EXPECT_EQ(pixels, c.expected) << c.value << " at " << c.resolution;
    }
}

TEST(PageSetup, FitPlacesTheImageOrRefusesAnEmptyArea) {
    struct Case {
        const char* what;
        std::int32_t w, h, dpi;
        bool enlarge, maxHorz, landscape;
        std::int32_t aw, ah;
        bool ok;
        std::int32_t expectW, expectH;
    };
    const Case cases[] = {
        {"letter page, width limits", 2550, 3300, 300, false, false, false, 2000, 3000, true, 2000,
         2588},
        {"tall image keeps its aspect", 1000, 3000, 300, false, false, false, 2000, 3000, true,
         1000, 3000},
        {"tall image filled across", 1000, 3000, 300, false, true, false, 2000, 3000, true, 2000,
         3000},
        {"small image at natural size", 1500, 2100, 300, true, false, false, 2000, 3000, true, 1500,
         2100},
        {"small image grows without the option", 1500, 2100, 300, false, false, false, 2000, 3000,
         true, 2000, 2800},
        {"7.5 inch wide is not small", 2250, 2100, 300, true, false, false, 2000, 3000, true, 2000,
         1867},
        {"no free width", 2550, 3300, 300, false, false, false, 0, 3000, false, 0, 0},
        {"no free height", 2550, 3300, 300, false, false, false, 2000, -5, false, 0, 0},
        {"empty image", 0, 3300, 300, false, false, false, 2000, 3000, false, 0, 0},
    };
    for (const Case& c : cases) {
        FitInput in;
        in.w = c.w;
        in.h = c.h;
        in.wi = static_cast<float>(c.w) / c.dpi;
        in.hi = static_cast<float>(c.h) / c.dpi;
        in.resolution = 300;
        in.enlargeSmall = c.enlarge;
        in.maxHorzScale = c.maxHorz;
        in.landscape = c.landscape;
        std::int32_t aw = c.aw, ah = c.ah;
        EXPECT_EQ(FitImage(in, aw, ah), c.ok) << c.what;
        if (c.ok) {
            EXPECT_EQ(aw, c.expectW) << c.what;
            EXPECT_EQ(ah, c.expectH) << c.what;
        }
    }
}

}  // namespace
