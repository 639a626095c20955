// Page typesetting, stored page files and the image qualities.

#include <gtest/gtest.h>

#include <QImage>

#include <cstdlib>

#include <unistd.h>

#include "imaging/page_files.h"
#include "imaging/page_quality.h"
#include "imaging/page_typesetter.h"
#include "imaging/reduced_cache.h"
#include "support/scoped_env.h"

namespace {

using namespace docserver::imaging;

PageText SampleText() {
    PageText text;
    text.heading = "Quarterly Shipping Report";
    text.paragraphs = {
        "The warehouse received forty pallets of copper fittings on Monday, and the invoice "
        "was matched against the purchase order before payment.",
        "Questions about this memo go to the regional office."};
    text.stamp = "ACM0000017";
    return text;
}

bool BoxHasInk(const QImage& image, const WordBox& box) {
    for (int y = box.y; y < box.y + box.height; ++y) {
        for (int x = box.x; x < box.x + box.width; ++x) {
            if (IsInk(image.pixel(x, y))) return true;
        }
    }
    return false;
}

bool InsideSomeBox(const std::vector<WordBox>& words, int x, int y) {
    for (const auto& w : words) {
        if (x >= w.x && x < w.x + w.width && y >= w.y && y < w.y + w.height) return true;
    }
    return false;
}

TEST(PageTypesetterTest, WordBoxesCoverEveryInkPixelAndEachHoldsInk) {
    for (const auto size : {PageSize::Letter, PageSize::Legal, PageSize::LetterLandscape}) {
        const RenderedPage page = TypesetPage(SampleText(), size, PageColour::Bitonal);
        ASSERT_EQ(page.image.size(), PagePixels(size));
        ASSERT_GT(page.words.size(), 30u);
        for (const auto& w : page.words) {
            EXPECT_TRUE(BoxHasInk(page.image, w)) << w.word;
            EXPECT_GE(w.x, 0);
            EXPECT_LE(w.x + w.width, page.image.width());
        }
        int stray = 0;
        const QImage rgb = page.image.convertToFormat(QImage::Format_RGB32);
        for (int y = 0; y < rgb.height(); y += 1) {
            const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
            for (int x = 0; x < rgb.width(); ++x) {
                if (IsInk(row[x]) && !InsideSomeBox(page.words, x, y)) ++stray;
            }
        }
        EXPECT_EQ(stray, 0);
    }
}

TEST(PageTypesetterTest, BitonalPageHoldsOnlyBlackAndWhite) {
    const RenderedPage page = TypesetPage(SampleText(), PageSize::Letter, PageColour::Bitonal);
    for (int y = 0; y < page.image.height(); y += 7) {
        for (int x = 0; x < page.image.width(); ++x) {
            const QRgb p = page.image.pixel(x, y);
            ASSERT_TRUE(p == qRgb(0, 0, 0) || p == qRgb(255, 255, 255)) << x << "," << y;
        }
    }
}

TEST(PageTypesetterTest, OcrTextAndWordListFollowTheDrawnWordsInOrder) {
    const RenderedPage page = TypesetPage(SampleText(), PageSize::Letter, PageColour::Bitonal);
    EXPECT_EQ(page.words.front().word, "Quarterly");
    EXPECT_EQ(page.words.back().word, "ACM0000017");
    EXPECT_EQ(page.ocrText.rfind("Quarterly Shipping Report\r\n", 0), 0u);
    std::string joined;
    for (const auto& w : page.words) joined += w.word;
    std::string ocr = page.ocrText;
    std::erase_if(ocr, [](char c) { return c == ' ' || c == '\r' || c == '\n'; });
    EXPECT_EQ(joined, ocr);
    // Later lines sit lower on the page.
    EXPECT_LT(page.words.front().y, page.words[5].y);
}

TEST(PageTypesetterTest, TextBeyondThePageIsLeftOutOfTheWordList) {
    PageText text;
    text.paragraphs.assign(200, "filler words that repeat until the page runs out");
    text.stamp = "END";
    const RenderedPage page = TypesetPage(text, PageSize::Letter, PageColour::Bitonal);
    const int height = page.image.height();
    for (const auto& w : page.words) EXPECT_LE(w.y + w.height, height - 300 + 60);
    EXPECT_EQ(page.words.back().word, "END");
}

TEST(PageTypesetterTest, WordListUsesCaretsAndBars) {
    EXPECT_EQ(FormatWordList({{"a", 1, 2, 3, 4}, {"b", 5, 6, 7, 8}}), "a|1|2|3|4^b|5|6|7|8");
    EXPECT_EQ(FormatWordList({}), "");
}

// A search for a word must find its entry whatever quotes or punctuation
// were drawn with it.
TEST(PageTypesetterTest, WordListEntriesAreTheWordsASearchTakes) {
    struct Case {
        const char* drawn;
        std::string entries;
    } cases[] = {
        {"\x93Privileged\x94,", "Privileged|1|2|3|4"},
        {"re-filed.", "re|1|2|3|4^filed|1|2|3|4"},
        {"caf\xe9's", "caf\xe9|1|2|3|4^s|1|2|3|4"},
        {"\x96", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(FormatWordList({{c.drawn, 1, 2, 3, 4}}), c.entries);
}

TEST(PageFilesTest, G4TiffReadsBackAsOneBitPageWithItsResolution) {
    testsupport::ScopedTempDir dir;
    const RenderedPage page = TypesetPage(SampleText(), PageSize::Legal, PageColour::Bitonal);
    const std::string path = dir.Path() + "/page.tif";
    ASSERT_TRUE(WriteG4Tiff({page.image}, path));
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(path, bytes));
    EXPECT_LT(bytes.size(), 200000u);  // compressed, not raw bits
    const QImage back = DecodeImage(bytes);
    ASSERT_FALSE(back.isNull());
    EXPECT_EQ(back.size(), QSize(2550, 4200));
    EXPECT_EQ(back.depth(), 1);
    EXPECT_NEAR(back.dotsPerMeterX() * 0.0254, 300.0, 0.5);
    EXPECT_NEAR(back.dotsPerMeterY() * 0.0254, 300.0, 0.5);
    // Ink stays ink: photometric interpretation and bit order are right.
    for (const auto& w : page.words) {
        ASSERT_TRUE(BoxHasInk(back.convertToFormat(QImage::Format_RGB32), w)) << w.word;
        break;
    }
    const QImage rgb = back.convertToFormat(QImage::Format_RGB32);
    EXPECT_EQ(rgb.pixel(5, 5), qRgb(255, 255, 255));
    int differing = 0;
    for (int y = 0; y < rgb.height(); y += 3) {
        for (int x = 0; x < rgb.width(); x += 3) {
            if (IsInk(rgb.pixel(x, y)) != IsInk(page.image.pixel(x, y))) ++differing;
        }
    }
    EXPECT_EQ(differing, 0);
}

TEST(PageFilesTest, EmptyOrNullPagesGiveNoTiff) {
    EXPECT_TRUE(EncodeG4Tiff({}).empty());
    EXPECT_TRUE(EncodeG4Tiff({QImage()}).empty());
    testsupport::ScopedTempDir dir;
    EXPECT_FALSE(WriteG4Tiff({QImage()}, dir.Path() + "/x.tif"));
}

// Written without Qt's writer: every pixel's colour and alpha, in the
// machine's byte order, and the resolution come back as they were.
TEST(PageFilesTest, PngOfEveryImageFormatReadsBackPixelForPixel) {
    QImage source(37, 11, QImage::Format_ARGB32);
    for (int y = 0; y < source.height(); ++y)
        for (int x = 0; x < source.width(); ++x)
            source.setPixel(x, y, qRgba(x * 7, y * 23, (x * y) % 256, x % 2 ? 255 : 128));
    source.setDotsPerMeterX(11811);
    source.setDotsPerMeterY(3937);
    const QImage opaque = source.convertToFormat(QImage::Format_RGB32);
    const QImage mono = opaque.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
    const struct {
        const char* name;
        QImage image;
    } cases[] = {
        {"colour", opaque},
        {"colour with alpha", source},
        {"premultiplied alpha", source.convertToFormat(QImage::Format_ARGB32_Premultiplied)},
        {"three bytes", opaque.convertToFormat(QImage::Format_RGB888)},
        {"grey", opaque.convertToFormat(QImage::Format_Grayscale8)},
        {"one bit", mono},
        {"one bit, least significant first", mono.convertToFormat(QImage::Format_MonoLSB)},
        {"palette", opaque.convertToFormat(QImage::Format_Indexed8, Qt::ThresholdDither)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QImage image = c.image;
        image.setDotsPerMeterX(11811);
        image.setDotsPerMeterY(3937);
        const QImage back = DecodeImage(EncodePng(image));
        ASSERT_EQ(back.size(), image.size());
        EXPECT_EQ(back.dotsPerMeterX(), 11811);
        EXPECT_EQ(back.dotsPerMeterY(), 3937);
        // Premultiplied pixels are compared as written, and lose a little.
        const QImage plain = image.convertToFormat(QImage::Format_ARGB32);
        int wrong = 0;
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QRgb a = plain.pixel(x, y), b = back.pixel(x, y);
                wrong += std::abs(qRed(a) - qRed(b)) > 2 || std::abs(qGreen(a) - qGreen(b)) > 2 ||
                         std::abs(qBlue(a) - qBlue(b)) > 2 || qAlpha(a) != qAlpha(b);
            }
        EXPECT_EQ(wrong, 0);
    }
    EXPECT_TRUE(EncodePng(QImage()).empty());
}

TEST(PageFilesTest, JpegPagesKeepSizeResolutionAndGreyness) {
    const RenderedPage page = TypesetPage(SampleText(), PageSize::Letter, PageColour::Grey);
    const QImage grey = DecodeImage(EncodeJpeg(page.image, true));
    ASSERT_FALSE(grey.isNull());
    EXPECT_EQ(grey.size(), QSize(2550, 3300));
    EXPECT_TRUE(grey.isGrayscale());
    EXPECT_NEAR(grey.dotsPerMeterX() * 0.0254, 300.0, 0.5);
    const RenderedPage colour = TypesetPage(SampleText(), PageSize::Letter, PageColour::Colour);
    const QImage back = DecodeImage(EncodeJpeg(colour.image, false));
    EXPECT_FALSE(back.isGrayscale());
}

TEST(PageQualityTest, QualitiesGiveTheResampledSizeAndMatchingScale) {
    const RenderedPage page = TypesetPage(SampleText(), PageSize::Letter, PageColour::Bitonal);
    const std::string stored = EncodeG4Tiff({page.image});
    const QualityImage q0 = ImageForQuality(stored, 0);
    EXPECT_EQ(q0.bytes, stored);
    EXPECT_DOUBLE_EQ(q0.scale, 1.0);

    const QualityImage q100 = ImageForQuality(stored, 100);
    EXPECT_NEAR(q100.scale, 1.0 / 3.0, 1e-9);
    const QImage i100 = DecodeImage(q100.bytes);
    EXPECT_EQ(i100.size(), QSize(850, 1100));

    const QualityImage q150 = ImageForQuality(stored, 150);
    EXPECT_NEAR(q150.scale, 0.5, 1e-9);
    EXPECT_EQ(DecodeImage(q150.bytes).size(), QSize(1275, 1650));

    const RenderedPage landscape =
        TypesetPage(SampleText(), PageSize::LetterLandscape, PageColour::Colour);
    const QualityImage qc = ImageForQuality(EncodeJpeg(landscape.image, false), 100);
    EXPECT_EQ(DecodeImage(qc.bytes).size(), QSize(1100, 850));
}

TEST(PageQualityTest, ThinStrokesSurviveResampling) {
    QImage page(900, 900, QImage::Format_RGB32);
    page.fill(Qt::white);
    for (int y = 0; y < 900; ++y) page.setPixel(451, y, qRgb(0, 0, 0));  // one-pixel line
    page.setDotsPerMeterX(11811);
    page.setDotsPerMeterY(11811);
    const QImage small = DecodeImage(ImageForQuality(EncodeG4Tiff({page}), 100).bytes);
    ASSERT_EQ(small.size(), QSize(300, 300));
    int darkest = 255;
    for (int x = 0; x < 300; ++x) darkest = std::min(darkest, qGray(small.pixel(x, 150)));
    EXPECT_LT(darkest, 110);  // a third of a pixel of ink still reads dark
}

TEST(PageQualityTest, LowResolutionPagesAreSentAsStored) {
    QImage page(200, 200, QImage::Format_RGB32);
    page.fill(Qt::white);
    page.setDotsPerMeterX(3937);  // 100 dpi
    page.setDotsPerMeterY(3937);
    const std::string stored = EncodeJpeg(page, true);
    const QualityImage q = ImageForQuality(stored, 150);
    EXPECT_EQ(q.bytes, stored);
    EXPECT_DOUBLE_EQ(q.scale, 1.0);
    EXPECT_TRUE(ImageForQuality("not an image", 100).bytes.empty());
}

// Marks at a page's edges and in its last, partly used byte of a row survive
// the 1-bit shrink at the size each quality gives.
TEST(PageQualityTest, ReducedBlackAndWhitePagesKeepTheirMarksAtTheirSize) {
    QImage page(2551, 3301, QImage::Format_RGB32);  // no row ends on a whole byte
    page.fill(Qt::white);
    for (int x = 100; x < 2400; ++x) page.setPixel(x, 1000, qRgb(0, 0, 0));
    for (int y = 100; y < 3200; ++y) page.setPixel(2550, y, qRgb(0, 0, 0));
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 9; ++x) page.setPixel(1200 + x, 2000 + y, qRgb(0, 0, 0));
    page.setDotsPerMeterX(11811);
    page.setDotsPerMeterY(11811);
    const std::string stored = EncodeG4Tiff({page});
    struct Case {
        int dpi;
        QSize size;
    } cases[] = {{100, {850, 1100}}, {150, {1276, 1650}}};
    for (const Case& c : cases) {
        const QualityImage q = ImageForQuality(stored, c.dpi);
        const QImage small = DecodeImage(q.bytes);
        ASSERT_EQ(small.size(), c.size) << c.dpi;
        EXPECT_EQ(small.depth(), 1) << c.dpi;
        const auto at = [&](int x, int y) {
            return IsInk(small.pixel(static_cast<int>(x * q.scale), static_cast<int>(y * q.scale)));
        };
        EXPECT_TRUE(at(1200, 1000) && at(2300, 1000)) << c.dpi << ": the thin line";
        EXPECT_TRUE(at(2550, 500) && at(2550, 3100)) << c.dpi << ": the line at the edge";
        EXPECT_TRUE(at(1204, 2004)) << c.dpi << ": the box";
        int ink = 0;
        for (int y = 0; y < small.height(); ++y)
            for (int x = 0; x < small.width(); ++x) ink += IsInk(small.pixel(x, y)) ? 1 : 0;
        // The marks and no more: a line two pixels thick at most.
        EXPECT_LT(ink, 2 * (2300 + 3100) * q.scale + 50) << c.dpi;
        EXPECT_GT(ink, (2300 + 3100) * q.scale - 10) << c.dpi;
    }
}

TEST(PageQualityTest, BlackAndWhiteReductionsStayOneBitAndTakeFewerBytes) {
    const RenderedPage page = TypesetPage(SampleText(), PageSize::Letter, PageColour::Bitonal);
    const std::string stored = EncodeG4Tiff({page.image});
    for (int dpi : {100, 150}) {
        const QualityImage q = ImageForQuality(stored, dpi);
        EXPECT_LT(q.bytes.size(), stored.size()) << dpi;
        EXPECT_EQ(DecodeImage(q.bytes).depth(), 1) << dpi;
    }
}

// Entries used least recently go first once the folder passes its bound.
TEST(ReducedCacheTest, KeepsItsBoundDroppingTheLeastRecentlyUsed) {
    testsupport::ScopedTempDir dir;
    ReducedCache cache(dir.Path() + "/cache", 350);
    const std::string entry(100, 'x');
    std::string bytes;
    auto pause = [] { ::usleep(20000); };  // file times are coarser than calls
    for (const char* name : {"a", "b", "c"}) {
        cache.Write(name, entry);
        pause();
    }
    ASSERT_TRUE(cache.Read("a", bytes));
    pause();
    cache.Write("d", entry);
    EXPECT_TRUE(cache.Read("a", bytes)) << "used again, so kept";
    EXPECT_FALSE(cache.Read("b", bytes)) << "the least recently used";
    EXPECT_TRUE(cache.Read("c", bytes));
    EXPECT_TRUE(cache.Read("d", bytes));
    cache.DropPrefix("c");
    EXPECT_FALSE(cache.Read("c", bytes));
    EXPECT_TRUE(cache.Read("d", bytes));
}

TEST(PageQualityTest, ScaleHeadIsEightCharactersPaddedWithNul) {
    EXPECT_EQ(FormatScaleHead(1.0 / 3.0), "0.333333");
    EXPECT_EQ(FormatScaleHead(0.5), std::string("0.5\0\0\0\0\0", 8));
    EXPECT_EQ(FormatScaleHead(1.0).size(), 8u);
    EXPECT_EQ(std::stod(FormatScaleHead(0.5)), 0.5);
}

}  // namespace
