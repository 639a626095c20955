// Word wrap of messages and the layout of key and message bands, measured
// with a fixed-width face.

#include <gtest/gtest.h>

#include "print_test_support.h"
#include "printing/gdi_prn.h"

namespace {

using printtest::kMono;

TEST(TextZones, WrapBreaksAtSpacesAndMarksAndCutsLongWords) {
    struct Case {
        std::string text;
        int widthChars;
        std::string expected;
    };
    const Case cases[] = {
        {"hello world foo", 11, "hello world@foo"},
        {"fits", 11, "fits"},
        {"a@b", 11, "a@b"},
        {"a@@b", 11, "a@@b"},
        {"one\x1dtwo\nthree", 11, "one@two@three"},
        {"ABCDEFGHIJKLMNOPQRST", 9, "ABCDEFGH@IJKLMNOP@QRST"},
        // A width under one character still takes one per line.
        {"abc", 0, "a@b@c@"},
    };
    cGdiPrn engine;
    platform::DrawSurface dc(100, 100);
    platform::SurfaceFont f, old;
    mGdi32::CreateFontForDC(dc, kMono, 14, 0, 0, f, old);
    for (const Case& c : cases) {
        std::string wrapped;
        std::int32_t width = 0, height = 0;
        mGdi32::GetTextWidth(dc, std::string(c.widthChars, 'M'), width, height);
        engine.WrapTextLines(dc, c.text, width, wrapped);
        EXPECT_EQ(wrapped, c.expected) << c.text;
    }
    std::string wrapped = "x";
    engine.WrapTextLines(dc, "abc", -1, wrapped);
    EXPECT_EQ(wrapped, "");
}

TEST(TextZones, FieldsCountAndPickPiecesOfWrappedText) {
    struct Case {
        std::string text;
        std::int32_t count;
        std::string second;
    };
    const Case cases[] = {
        {"", 0, ""}, {"a", 1, ""}, {"a@b@", 2, "b"}, {"a@@c", 3, ""}, {"x@yz@w", 3, "yz"}};
    for (const Case& c : cases) {
        std::int32_t n = -1;
        std::string piece = "?";
        cGdiPrn::CountTextFields("@", c.text, n);
        cGdiPrn::GetTextField("@", c.text, 2, piece);
        EXPECT_EQ(n, c.count) << c.text;
        EXPECT_EQ(piece, c.second) << c.text;
    }
}

// The image goes where the bands leave room: a tall thin image stretched
// across fills exactly the free area, so the published geometry shows the
// band sizes.
TEST(TextZones, BandsTakeTheirHeightFromKeyAndMessageZones) {
    constexpr int W = 1000, H = 1300, R = 100, b = 8;
    int cw = 0, lh = 0;
    printtest::MonoMetrics(14, R, cw, lh);
    struct Case {
        const char* what;
        int keyPsn, msgPsn;
        std::string msg, key;
        bool landscape;
        int top, left, width, height;  // of the image
    };
    const Case cases[] = {
        {"no texts", 6, 4, "", "", false, b, b, W - 2 * b, H - 2 * b},
        {"side by side below", 6, 4, "MSG", "KEY1", false, b, b, W - 2 * b, H - 2 * b - lh},
        {"two message lines set the band", 6, 4, "A@B", "KEY1", false, b, b, W - 2 * b,
         H - 2 * b - 2 * lh},
        {"stacked in one zone", 5, 5, "MSG", "KEY1", false, b, b, W - 2 * b, H - 2 * b - 2 * lh},
        {"key above, message below", 2, 5, "MSG", "KEY1", false, b + lh, b, W - 2 * b,
         H - 2 * b - 2 * lh},
        {"landscape strips", 2, 5, "MSG", "KEY1", true, b, b + lh, W - 2 * b - 2 * lh, H - 2 * b},
    };
    for (const Case& c : cases) {
        cGdiPrn engine;
        engine.KeyFontName(kMono);
        engine.MsgFontName(kMono);
        engine.KeyPsn(c.keyPsn);
        engine.MsgPsn(c.msgPsn);
        engine.MaxHorzScale(true);
        engine.AllowLandscapeBatesMsg(true);
        platform::DrawSurface out;
        bool ok = false;
        engine.RenderImagePage(printtest::FramedPage(10, 5000), out, W, H, 100, R, b, c.msg, c.key,
                               "", c.landscape, false, ok);
        ASSERT_TRUE(ok) << c.what;
        EXPECT_EQ(engine.ScaledImageTop(), c.top) << c.what;
        EXPECT_EQ(engine.ScaledImageLeft(), c.left) << c.what;
        EXPECT_EQ(engine.ScaledImageWidth(), c.width) << c.what;
        EXPECT_EQ(engine.ScaledImageHeight(), c.height) << c.what;
    }
}

TEST(TextZones, KeyAndMessageLandInTheirZonesAndLandscapeNeedsTheOption) {
    constexpr int W = 1000, H = 1300, R = 100, b = 8;
    int cw = 0, lh = 0;
    printtest::MonoMetrics(14, R, cw, lh);
    cGdiPrn engine;
    engine.KeyFontName(kMono);
    engine.MsgFontName(kMono);
    platform::DrawSurface out;
    bool ok = false;
    // Boundary text alone, key zone 6: it starts where the line of width
    // "text + one character" starts at the right.
    engine.RenderImagePage(printtest::FramedPage(10, 10), out, W, H, 100, R, b, "LEFT", "", "ABCD",
                           false, false, ok);
    ASSERT_TRUE(ok);
    const QRect band(0, H - b - lh, W, lh);
    const QRect key = printtest::InkBox(out.Image(), QRect(W / 2, band.top(), W / 2, lh));
    const QRect msg = printtest::InkBox(out.Image(), QRect(0, band.top(), W / 2, lh));
    const int boundary = printtest::MonoWidth(14, R, "ABCD");
    const int keyStart =
        W - (boundary + platform::RoundToInt(boundary / 4.0)) - b - platform::RoundToInt(R / 12.0);
    EXPECT_GE(key.left(), keyStart);
    EXPECT_LT(key.left(), keyStart + cw);
    EXPECT_GE(msg.left(), b + 8);
    EXPECT_LT(msg.left(), b + 8 + cw);

    // Without the option a landscape page is laid out as a portrait one.
    engine.RenderImagePage(printtest::FramedPage(10, 10), out, W, H, 100, R, b, "LEFT", "KEY", "",
                           true, false, ok);
    ASSERT_TRUE(ok);
    EXPECT_FALSE(printtest::InkBox(out.Image(), band).isEmpty());
}

}  // namespace
