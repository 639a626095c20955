// Original files rendered page by page, and texts rendered as page images.

#include <gtest/gtest.h>

#include <QImage>

#include "imaging/original_files.h"
#include "imaging/page_files.h"
#include "imaging/page_typesetter.h"
#include "support/scoped_env.h"

namespace {

using namespace docserver::imaging;

PageText Page(const std::string& heading) {
    PageText text;
    text.heading = heading;
    text.paragraphs = {"A short paragraph of body text for the original file."};
    text.stamp = heading;
    return text;
}

bool HasInk(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            if (IsInk(row[x])) return true;
        }
    }
    return false;
}

std::string Png(const std::string& path, int page, bool colour = true) {
    return RenderOriginalPage(path, page, colour, 100).png;
}

// Checks the page count, that every page renders with ink, that the page
// after the last one is past the end and that page 0 is no page.
void ExpectPages(const std::string& path, int pages) {
    const auto file = OriginalFile::Open(path);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->PageCount(), pages);
    for (int p = 1; p <= pages; ++p) {
        const std::string png = Png(path, p);
        EXPECT_GE(png.size(), 200u) << p;
        const QImage image = DecodeImage(png);
        ASSERT_FALSE(image.isNull()) << p;
        EXPECT_TRUE(HasInk(image)) << p;
    }
    EXPECT_EQ(RenderOriginalPage(path, pages + 1, true).outcome, RenderedOriginal::kPastEnd);
    EXPECT_EQ(RenderOriginalPage(path, 0, true).outcome, RenderedOriginal::kFailed);
    EXPECT_EQ(RenderOriginalPage(path, -3, true).outcome, RenderedOriginal::kFailed);
}

TEST(OriginalFilesTest, PdfPagesRenderUntilPastTheLast) {
    testsupport::ScopedTempDir dir;
    const std::string path = dir.Path() + "/orig.pdf";
    ASSERT_TRUE(
        WriteTextPdf({Page("First"), Page("Second"), Page("Third")}, PageSize::Letter, path));
    ExpectPages(path, 3);
    // Letter at 100 dpi, white paper rather than transparency.
    const QImage first = DecodeImage(Png(path, 1));
    EXPECT_EQ(first.size(), QSize(850, 1100));
    EXPECT_EQ(first.convertToFormat(QImage::Format_RGB32).pixel(3, 3), qRgb(255, 255, 255));
}

TEST(OriginalFilesTest, MultiPageTiffPagesRenderUntilPastTheLast) {
    testsupport::ScopedTempDir dir;
    const std::string path = dir.Path() + "/orig.tif";
    ASSERT_TRUE(WriteG4Tiff({TypesetPage(Page("One"), PageSize::Letter, PageColour::Bitonal).image,
                             TypesetPage(Page("Two"), PageSize::Legal, PageColour::Bitonal).image},
                            path));
    ExpectPages(path, 2);
    EXPECT_EQ(DecodeImage(Png(path, 2)).size(), QSize(850, 1400));
}

TEST(OriginalFilesTest, PlainTextIsTypesetIntoAsManyPagesAsItNeeds) {
    testsupport::ScopedTempDir dir;
    const std::string path = dir.Path() + "/orig.txt";
    std::string text;
    for (int i = 0; i < 150; ++i) text += "Line number " + std::to_string(i) + " of the notes\r\n";
    ASSERT_TRUE(WriteWholeFile(path, text));
    const auto file = OriginalFile::Open(path);
    ASSERT_TRUE(file);
    EXPECT_GE(file->PageCount(), 2);
    ExpectPages(path, file->PageCount());

    const std::string shortPath = dir.Path() + "/short.txt";
    ASSERT_TRUE(WriteWholeFile(shortPath, "just one line"));
    ExpectPages(shortPath, 1);
}

TEST(OriginalFilesTest, PicturesAreOriginalsAndAChangedFileIsReadAgain) {
    testsupport::ScopedTempDir dir;
    const std::string path = dir.Path() + "/orig.png";
    QImage picture(300, 200, QImage::Format_RGB32);
    picture.fill(qRgb(200, 30, 30));
    ASSERT_TRUE(picture.save(QString::fromStdString(path)));
    const auto first = OriginalFile::OpenShared(path);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->PageCount(), 1);
    EXPECT_EQ(OriginalFile::OpenShared(path), first);
    EXPECT_EQ(DecodeImage(Png(path, 1)).pixel(5, 5), qRgb(200, 30, 30));
    EXPECT_EQ(DecodeImage(Png(path, 1, false)).convertToFormat(QImage::Format_RGB32).pixel(5, 5),
              qRgb(0, 0, 0));
    EXPECT_EQ(RenderOriginalPage(path, 2, true).outcome, RenderedOriginal::kPastEnd);

    std::string text;
    for (int i = 0; i < 150; ++i) text += "Line " + std::to_string(i) + "\r\n";
    ASSERT_TRUE(WriteWholeFile(path, text));
    const auto changed = OriginalFile::OpenShared(path);
    ASSERT_TRUE(changed);
    EXPECT_GE(changed->PageCount(), 2);
}

TEST(OriginalFilesTest, PlainTextKeepsEveryLineAcrossPages) {
    std::string text;
    for (int i = 0; i < 120; ++i) text += "row" + std::to_string(i) + "\n";
    const auto pages = TypesetPlainText(text, 100);
    std::string ocr;
    for (const auto& p : pages) ocr += p.ocrText;
    for (int i = 0; i < 120; ++i) {
        EXPECT_NE(ocr.find("row" + std::to_string(i) + "\r\n"), std::string::npos) << i;
    }
}

TEST(OriginalFilesTest, LongLinesWrapInsteadOfRunningOffThePage) {
    std::string line;
    for (int i = 0; i < 60; ++i) line += "word" + std::to_string(i) + " ";
    line += std::string(300, 'x');  // one word wider than the page
    const auto pages = TypesetPlainText(line, 100);
    ASSERT_EQ(pages.size(), 1u);
    for (const auto& w : pages[0].words) EXPECT_LE(w.x + w.width, 850) << w.word;
}

TEST(OriginalFilesTest, MissingOrDamagedFilesGiveNoPage) {
    testsupport::ScopedTempDir dir;
    EXPECT_EQ(RenderOriginalPage(dir.Path() + "/absent.pdf", 1, true).outcome,
              RenderedOriginal::kFailed);
    const std::string bad = dir.Path() + "/bad.pdf";
    ASSERT_TRUE(WriteWholeFile(bad, "%PDF-1.4 truncated"));
    EXPECT_EQ(RenderOriginalPage(bad, 1, true).outcome, RenderedOriginal::kFailed);
}

TEST(TextImageTest, LongTextsGrowTheSheetSoNoLineIsLost) {
    const QImage one = RenderTextImage("a short note");
    EXPECT_EQ(one.size(), QSize(850, 1100));
    EXPECT_TRUE(HasInk(one));
    std::string text;
    for (int i = 0; i < 200; ++i) text += "line\r\n";
    const QImage tall = RenderTextImage(text);
    EXPECT_EQ(tall.width(), 850);
    EXPECT_GT(tall.height(), 1100);
    EXPECT_TRUE(RenderTextImage("").width() > 0);
    // The sheet stops at its page limit however long the text.
    std::string endless;
    for (int i = 0; i < 20000; ++i) endless += "line\n";
    EXPECT_EQ(RenderTextImage(endless).height(), 1100 * kMaxTextImagePages);
}

}  // namespace
