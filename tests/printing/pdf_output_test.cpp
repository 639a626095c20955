// One page printed to a PDF file and rasterised back matches the page the
// engine composed: image, key, message, bar code, clips and watermark.

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>

#include "demo/demo_system.h"
#include "platform/bitonal_image.h"
#include "platform/printer_pdf.h"
#include "platform/printer_recording.h"
#include "print_test_support.h"
#include "printing/gdi_prn.h"
#include "render/gdi_lead.h"
#include "support/pdf_images.h"
#include "support/scoped_env.h"

namespace {

// A PDF printer that also keeps the last page it was handed.
class KeepingPdfPrinter : public platform::PdfPrinter {
  public:
    using PdfPrinter::PdfPrinter;
    QImage last;
    bool DrawImage(int x, int y, const QImage& image) override {
        last = image.copy();
        return PdfPrinter::DrawImage(x, y, image);
    }
};

TEST(PdfOutput, PrintedPageRasterisesBackToTheComposedPage) {
    if (QStandardPaths::findExecutable("pdftoppm").isEmpty()) GTEST_SKIP() << "no pdftoppm";
    testsupport::ScopedTempDir dir;
    const std::string pdf = dir.Path() + "/page.pdf";
    auto printer = std::make_shared<KeepingPdfPrinter>("File", pdf, 100);
    platform::InstallPrinterCollection(
        std::make_shared<platform::SinglePrinterCollection>(printer));

    // A grey band for the watermark: it darkens only the image rectangle.
    QImage mark(200, 200, QImage::Format_RGB32);
    mark.fill(Qt::white);
    for (int y = 90; y < 110; ++y) {
        for (int x = 0; x < 200; ++x) mark.setPixel(x, y, qRgb(128, 128, 128));
    }
    const std::string markFile = dir.Path() + "/mark.png";
    ASSERT_TRUE(mark.save(QString::fromStdString(markFile)));

    cGdiPrn engine;
    engine.UseBarCode(true);
    engine.KeyFontName(printtest::kMono);
    engine.MsgFontName(printtest::kMono);
    engine.TopClip(2);
    engine.RightClip(30);
    platform::DrawSurface out, watermark;
    ASSERT_TRUE(engine.StartWinPrintJob(1, false, out, markFile, &watermark, "File", 2))
        << engine.LastErrorMsg();
    platform::DrawSurface page = printtest::FramedPage(850, 1100);
    // Black on the left and along the right edge shows where clips cut; white
    // on the right shows the watermark.
    for (int y = 0; y < 1100; ++y) {
        for (int x = 0; x < 850; ++x) {
            if (x < 425 || x >= 810) page.Image().setPixel(x, y, qRgb(0, 0, 0));
        }
    }
    ASSERT_TRUE(engine.WinPrntImage(page, 100, "Confidential", "DOC0001", "", false, 0))
        << engine.LastErrorMsg();
    const QImage composed = printer->last.convertToFormat(QImage::Format_Grayscale8);
    const QRect placed(engine.ScaledImageLeft(), engine.ScaledImageTop(), engine.ScaledImageWidth(),
                       engine.ScaledImageHeight());
    engine.StopWinPrintJob();
    platform::InstallPrinterCollection(nullptr);

    QProcess raster;
    raster.start("pdftoppm", {"-r", "100", "-gray", "-singlefile", QString::fromStdString(pdf),
                              QString::fromStdString(dir.Path() + "/back")});
    ASSERT_TRUE(raster.waitForFinished(20000));
    QImage back(QString::fromStdString(dir.Path() + "/back.pgm"));
    ASSERT_FALSE(back.isNull());
    back = back.convertToFormat(QImage::Format_Grayscale8);
    ASSERT_EQ(back.size(), composed.size());
    EXPECT_EQ(back.size(), QSize(850, 1100));  // letter

    // A pixel differs when no composed pixel within one pixel of it is
    // close: the rasteriser may place an edge a pixel apart.
    long differing = 0;
    for (int y = 0; y < back.height(); ++y) {
        for (int x = 0; x < back.width(); ++x) {
            const int a = back.constScanLine(y)[x];
            bool near = false;
            for (int dy = -1; dy <= 1 && !near; ++dy) {
                for (int dx = -1; dx <= 1 && !near; ++dx) {
                    const int yy = y + dy, xx = x + dx;
                    if (yy < 0 || xx < 0 || yy >= back.height() || xx >= back.width()) continue;
                    near = std::abs(a - composed.constScanLine(yy)[xx]) <= 64;
                }
            }
            differing += !near;
        }
    }
    EXPECT_LT(differing, back.width() * back.height() / 200);

    // Where things belong: clips whiten the image's top and right edges, the
    // watermark band greys the white half, the key and message sit below.
    const auto gray = [&](int x, int y) { return qGray(back.pixel(x, y)); };
    const int midY = placed.top() + placed.height() / 2;
    EXPECT_GT(gray(placed.left() + 20, placed.top() + 5), 200);
    EXPECT_LT(gray(placed.left() + 20, placed.top() + 20), 64);
    EXPECT_GT(gray(placed.right() - 3, placed.top() + 40), 200);
    EXPECT_LT(gray(placed.right() - 20, placed.top() + 40), 64);
    EXPECT_GT(gray(placed.left() + placed.width() * 3 / 4, midY), 64);
    EXPECT_LT(gray(placed.left() + placed.width() * 3 / 4, midY), 200);
    EXPECT_GT(gray(placed.left() + placed.width() * 3 / 4, placed.top() + 40), 200);
    const QRect below(0, placed.bottom() + 1, 850, 1100 - placed.bottom() - 1);
    EXPECT_FALSE(printtest::InkBox(back, QRect(0, below.top(), 425, below.height())).isEmpty());
    EXPECT_FALSE(printtest::InkBox(back, QRect(425, below.top(), 425, below.height())).isEmpty());
}

}  // namespace

namespace {

// A scanned page of the demo system printed to a PDF file: its key reads
// back from the printed bar code and its message stands beside it.
TEST(PdfOutput, DemoPagePrintsWithKeyMessageAndBarCode) {
    if (QStandardPaths::findExecutable("pdftoppm").isEmpty()) GTEST_SKIP() << "no pdftoppm";
    testsupport::ScopedTempDir dir;
    docserver::demo::DemoOptions options;
    options.seed = 3;
    options.pages = 6;
    const std::string sys = dir.Path() + "/demo";
    const docserver::demo::DemoSystem demo = docserver::demo::GenerateDemoSystem(sys, options);
    const docserver::demo::DemoPage* scan = nullptr;
    for (const auto& p : demo.projects.front().pages) {
        if (!p.placeholder && !p.imageFile.empty() &&
            p.size == docserver::imaging::PageSize::Letter) {
            scan = &p;
            break;
        }
    }
    ASSERT_NE(scan, nullptr);
    cGdiLead image;
    ASSERT_TRUE(image.OpenImageFile(sys + "/" + scan->imageFile)) << image.GetLastError();
    platform::DrawSurface page(image.ImgWidth(), image.ImgHeight());
    image.SetGraphicsOutput(&page);
    image.DrawImageRect(0, 0, page.Width(), page.Height(), page.Width(), page.Height());
    image.FreeGraphics();

    const std::string pdf = dir.Path() + "/demo.pdf";
    auto printer = std::make_shared<KeepingPdfPrinter>("Demo PDF", pdf, 300);
    platform::InstallPrinterCollection(
        std::make_shared<platform::SinglePrinterCollection>(printer));
    cGdiPrn engine;
    engine.UseBarCode(true);
    platform::DrawSurface out;
    ASSERT_TRUE(engine.StartWinPrintJob(1, false, out, "", nullptr, "Demo PDF", 1));
    ASSERT_TRUE(engine.WinPrntImage(page, static_cast<std::int16_t>(image.Xresolution()),
                                    "Privileged and Confidential", scan->key, "", false, 0))
        << engine.LastErrorMsg();
    engine.StopWinPrintJob();
    platform::InstallPrinterCollection(nullptr);

    QProcess raster;
    raster.start("pdftoppm", {"-r", "300", "-gray", "-singlefile", QString::fromStdString(pdf),
                              QString::fromStdString(dir.Path() + "/demo")});
    ASSERT_TRUE(raster.waitForFinished(20000));
    const QImage back(QString::fromStdString(dir.Path() + "/demo.pgm"));
    ASSERT_EQ(back.size(), QSize(2550, 3300));

    std::string expected = "*";
    for (char c : scan->key)
        expected += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    expected += "*";
    bool found = false;
    for (int y = back.height() - 1; y > back.height() - 400 && !found; --y) {
        std::vector<bool> dark;
        for (int x = back.width() / 2; x < back.width(); ++x)
            dark.push_back(qGray(back.pixel(x, y)) < 128);
        found = printtest::DecodeCode39(dark) == expected;
    }
    EXPECT_TRUE(found) << "no scanline reads " << expected;
    EXPECT_FALSE(
        printtest::InkBox(back, QRect(0, back.height() - 200, back.width() / 2, 200)).isEmpty());

    // A black-and-white scan stays so with its key, message and bar code,
    // stored 1-bit without loss.
    ASSERT_TRUE(platform::IsBitonal(page.Image()));
    ASSERT_TRUE(platform::IsBitonal(printer->last));
    if (QStandardPaths::findExecutable("pdfimages").isEmpty()) return;
    EXPECT_EQ(testsupport::PdfImageKinds(pdf), std::vector<std::string>{"gray 1 ccitt"});
    const QImage stored = testsupport::ExtractPdfImage(pdf, 1, dir.Path() + "/stored");
    ASSERT_EQ(stored.size(), printer->last.size());
    long differing = 0;
    for (int y = 0; y < stored.height(); ++y) {
        for (int x = 0; x < stored.width(); ++x) {
            differing +=
                (stored.constScanLine(y)[x] < 128) != (qGray(printer->last.pixel(x, y)) < 128);
        }
    }
    EXPECT_EQ(differing, 0);
}

TEST(PdfOutput, AShrunkBlackAndWhiteScanStaysBlackAndWhiteAndKeepsItsThinStrokes) {
    // A letter scan with hair lines across it, shrunk into the area the
    // border and the bands leave; the bands run across or, turned, along.
    platform::DrawSurface page(2550, 3300);
    std::vector<int> lines;
    for (int y = 10; y < 3300; y += 41) {
        lines.push_back(y);
        for (int x = 0; x < 2550; ++x) page.Image().setPixel(x, y, qRgb(0, 0, 0));
    }
    for (bool landscape : {false, true}) {
        auto printer = std::make_shared<platform::RecordingPrinter>("Rec");
        platform::InstallPrinterCollection(
            std::make_shared<platform::SinglePrinterCollection>(printer));
        cGdiPrn engine;
        engine.UseBarCode(true);
        engine.AllowLandscapeBatesMsg(true);
        engine.KeyFontName(printtest::kMono);
        engine.MsgFontName(printtest::kMono);
        platform::DrawSurface out;
        ASSERT_TRUE(engine.StartWinPrintJob(1, false, out, "", nullptr, "Rec", 1));
        ASSERT_TRUE(engine.WinPrntImage(page, 300, "Confidential", "DOC0001", "", landscape, 0))
            << engine.LastErrorMsg();
        engine.StopWinPrintJob();
        platform::InstallPrinterCollection(nullptr);
        ASSERT_EQ(printer->images.size(), 1u);
        const QImage& printed = printer->images.front();
        EXPECT_TRUE(platform::IsBitonal(printed)) << landscape;
        ASSERT_LT(engine.ScaledImageHeight(), 3300);
        const int x = engine.ScaledImageLeft() + engine.ScaledImageWidth() / 2;
        int kept = 0;
        for (int y : lines) {
            const int at = engine.ScaledImageTop() + y * engine.ScaledImageHeight() / 3300;
            bool black = false;
            for (int dy = -1; dy <= 1; ++dy) black |= qGray(printed.pixel(x, at + dy)) < 128;
            kept += black;
        }
        EXPECT_EQ(kept, static_cast<int>(lines.size())) << landscape;
    }
}

TEST(PdfOutput, APdfTargetThatCannotBeAFileIsRefusedBeforeAnyPageIsComposed) {
    testsupport::ScopedTempDir dir;
    testsupport::WriteFile(dir.Path() + "/plain", "a file, not a folder");
    QDir().mkpath(QString::fromStdString(dir.Path() + "/folder.pdf"));
    const std::string under = dir.Path() + "/plain/out.pdf", folder = dir.Path() + "/folder.pdf";
    platform::InstallPrinterCollection(nullptr);
    const std::pair<std::string, std::string> cases[] = {
        {under, under + ": " + dir.Path() + "/plain is not a folder"},
        {folder, folder + ": a folder has that name"},
    };
    for (const auto& [target, why] : cases) {
        cGdiPrn engine;
        platform::DrawSurface out;
        EXPECT_FALSE(engine.StartWinPrintJob(1, false, out, "", nullptr, target, 1));
        EXPECT_EQ(engine.LastErrorMsg(), "Unable to Start Print Job\n" + why);
        EXPECT_EQ(platform::PrinterUnreachable(target), why);
    }
}

}  // namespace
