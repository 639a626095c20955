// The printer layer: choosing printers by name, the PDF printer's pages and
// paper, the page images it writes and the CUPS bin names.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>

#include <cstdlib>

#include "platform/printer_cups.h"
#include "platform/printed_page_image.h"
#include "platform/printer_pdf.h"
#include "platform/printer_recording.h"
#include "support/pdf_images.h"
#include "support/scoped_env.h"
#include "support/small_disk.h"

namespace {

TEST(Printers, NamesSelectPrintersWithoutRegardToCaseAndPdfNamesWriteFiles) {
    auto machine = std::make_shared<platform::RecordingPrinterCollection>();
    machine->Add("Floor 2 Laser");
    machine->Add("Colour Copier");
    platform::InstallPrinterCollection(machine);
    EXPECT_EQ(platform::PrinterNames(),
              (std::vector<std::string>{"Floor 2 Laser", "Colour Copier", "Print to File (PDF)"}));
    EXPECT_EQ(platform::CurrentPrinter()->DeviceName(), "Floor 2 Laser");
    struct Case {
        std::string name;
        bool selected;
        std::string current;
    };
    const Case cases[] = {
        {"colour copier", true, "Colour Copier"},
        {"Nowhere", false, "Colour Copier"},
        {"", false, "Colour Copier"},
        {"print to file (pdf)", true, "Print to File (PDF)"},
        {"/tmp/out.PDF", true, "/tmp/out.PDF"},
        {"FLOOR 2 LASER", true, "Floor 2 Laser"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(platform::SelectCurrentPrinter(c.name), c.selected) << c.name;
        EXPECT_EQ(platform::CurrentPrinter()->DeviceName(), c.current) << c.name;
    }
    platform::InstallPrinterCollection(nullptr);
    EXPECT_EQ(platform::CurrentPrinter()->DeviceName(), "Print to File (PDF)");
}

TEST(Printers, PdfPrinterPagesFollowThePaperAndLandInTheFile) {
    testsupport::ScopedTempDir dir;
    const std::string path = dir.Path() + "/out.pdf";
    platform::PdfPrinter pdf("File", path, 300);
    struct Case {
        int code;
        bool taken;
        int width, height;
    };
    const Case cases[] = {{platform::kPaperLegal, true, 2550, 4200},
                          {platform::kPaper11x17, true, 3300, 5100},
                          {platform::kPaperTabloid, true, 3300, 5100},
                          {9, false, 3300, 5100},
                          {platform::kPaperLetter, true, 2550, 3300}};
    for (const Case& c : cases) {
        EXPECT_EQ(pdf.SetPaperSize(c.code), c.taken) << c.code;
        EXPECT_EQ(pdf.PageWidth(), c.width) << c.code;
        EXPECT_EQ(pdf.PageHeight(), c.height) << c.code;
    }
    QImage page(2550, 3300, QImage::Format_RGB32);
    page.fill(Qt::white);
    EXPECT_TRUE(pdf.DrawImage(0, 0, page));
    pdf.NewPage();
    EXPECT_TRUE(pdf.StretchImage(0, 0, 2550, 3300, page.scaled(850, 1100)));
    pdf.EndJob();
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.startsWith("%PDF"));
    EXPECT_EQ(
        bytes.count("/Type /Page\n") + bytes.count("/Type /Page\r") + bytes.count("/Type /Page "),
        2);
}

TEST(Printers, PdfJobsNeverReplaceAFileAndMakeTheirFolder) {
    testsupport::ScopedTempDir dir;
    const std::string folder = dir.Path() + "/fresh/Documents";
    testsupport::WriteFile(dir.Path() + "/keep.pdf", "kept");
    struct Case {
        std::string asked, written;
    };
    const Case cases[] = {{folder + "/out.pdf", folder + "/out.pdf"},
                          {folder + "/out.pdf", folder + "/out-2.pdf"},
                          {dir.Path() + "/keep.pdf", dir.Path() + "/keep-2.pdf"}};
    QImage page(20, 20, QImage::Format_RGB32);
    page.fill(Qt::white);
    platform::PdfPrinter same("File", folder + "/out.pdf", 300);
    for (const Case& c : cases) {
        platform::PdfPrinter other("File", c.asked, 300);
        // The same printer runs a second job, as a second print to it does.
        platform::PdfPrinter& pdf = c.asked == same.Path() ? same : other;
        ASSERT_TRUE(pdf.DrawImage(0, 0, page)) << pdf.FailureReason();
        pdf.EndJob();
        EXPECT_EQ(pdf.WrittenPath(), c.written);
        EXPECT_TRUE(testsupport::ReadFile(c.written).rfind("%PDF", 0) == 0) << c.written;
    }
    EXPECT_EQ(testsupport::ReadFile(dir.Path() + "/keep.pdf"), "kept");
}

TEST(Printers, APdfFileThatCannotBeMadeNamesTheFileAndTheReason) {
    testsupport::ScopedTempDir dir;
    testsupport::WriteFile(dir.Path() + "/plain", "a file, not a folder");
    const std::string path = dir.Path() + "/plain/out.pdf";
    platform::PdfPrinter pdf("File", path, 300);
    QImage page(20, 20, QImage::Format_RGB32);
    page.fill(Qt::white);
    EXPECT_FALSE(pdf.DrawImage(0, 0, page));
    EXPECT_EQ(pdf.FailureReason().rfind(path + ": ", 0), 0u) << pdf.FailureReason();
    EXPECT_NE(pdf.FailureReason().find("Not a directory"), std::string::npos)
        << pdf.FailureReason();
}

TEST(Printers, APdfJobOutOfSpaceFailsAtItsPageAndLeavesTheFolderAsItWas) {
    testsupport::SmallDisk disk;
    if (!disk.Refusal().empty()) GTEST_SKIP() << "no 64 KB tmpfs (needs root): " << disk.Refusal();
    const std::string old = disk.Path() + "/ACM0000003.pdf";
    testsupport::WriteFile(old, "the old print");
    QImage noise(300, 300, QImage::Format_RGB32);  // no JPEG makes it small
    for (int i = 0; i < 300 * 300; ++i) noise.setPixel(i % 300, i / 300, std::rand() & 0xFFFFFF);
    // Replacing with room for a little, and a new name on a disk full from the start.
    for (const auto& [asked, spare] : {std::pair{old, 16384}, {disk.Path() + "/new.pdf", 0}}) {
        disk.Fill(spare);
        platform::PdfPrinter pdf("File", asked, 300);
        if (asked == old) pdf.ReplaceExistingFile();
        ASSERT_TRUE(pdf.DrawImage(0, 0, noise)) << pdf.FailureReason();
        EXPECT_FALSE(pdf.NewPage());
        EXPECT_EQ(pdf.FailureReason(), asked + ": No space left on device");
        EXPECT_FALSE(pdf.EndJob());
        EXPECT_EQ(testsupport::ReadFile(old), "the old print");
        EXPECT_EQ(QDir(QString::fromStdString(disk.Path())).entryList(QDir::Files | QDir::Hidden),
                  (QStringList{"ACM0000003.pdf", "filler"}));
    }
}

TEST(Printers, PdfPagesKeepBlackAndWhiteLosslessIn1BitAndTheRestAsJpeg) {
    if (!testsupport::HavePopplerTools()) GTEST_SKIP() << "no poppler tools";
    testsupport::ScopedTempDir dir;
    const std::string path = dir.Path() + "/kinds.pdf";
    // Black strokes one pixel wide at odd places: lossless or not shows.
    QImage bitonal(601, 401, QImage::Format_RGB32);
    bitonal.fill(Qt::white);
    for (int y = 3; y < 401; y += 7)
        for (int x = (y * 13) % 17; x < 601; x += 5) bitonal.setPixel(x, y, qRgb(0, 0, 0));
    QImage grey = bitonal.copy();
    grey.setPixel(1, 1, qRgb(90, 90, 90));
    QImage colour = bitonal.copy();
    colour.setPixel(1, 1, qRgb(200, 0, 0));
    struct Case {
        const QImage* page;
        int mode;
        std::string kind;
    };
    const Case cases[] = {{&bitonal, platform::kColorColor, "gray 1 ccitt"},
                          {&grey, platform::kColorColor, "gray 8 jpeg"},
                          {&colour, platform::kColorColor, "rgb 8 jpeg"},
                          {&colour, platform::kColorMonochrome, "gray 8 jpeg"}};
    {
        platform::PdfPrinter pdf("File", path, 300);
        for (const Case& c : cases) {
            pdf.SetColorMode(c.mode);
            ASSERT_TRUE(pdf.DrawImage(100, 200, *c.page)) << pdf.FailureReason();
            pdf.NewPage();
        }
    }
    std::vector<std::string> expected;
    for (const Case& c : cases) expected.push_back(c.kind);
    EXPECT_EQ(testsupport::PdfImageKinds(path), expected);

    const QImage stored = testsupport::ExtractPdfImage(path, 1, dir.Path() + "/stored");
    ASSERT_EQ(stored.size(), bitonal.size());
    long differing = 0;
    for (int y = 0; y < stored.height(); ++y) {
        for (int x = 0; x < stored.width(); ++x)
            differing +=
                (stored.constScanLine(y)[x] < 128) != (bitonal.pixel(x, y) == qRgb(0, 0, 0));
    }
    EXPECT_EQ(differing, 0);
    // Placed where it was drawn, at its size.
    const QImage back = testsupport::RasterisePdfPage(path, 1, 300, dir.Path() + "/back");
    ASSERT_EQ(back.size(), QSize(2550, 3300));
    QRect ink, drawn;
    for (int y = 0; y < back.height(); ++y) {
        for (int x = 0; x < back.width(); ++x) {
            if (back.constScanLine(y)[x] < 128) ink |= QRect(x, y, 1, 1);
            const QPoint at(x - 100, y - 200);
            if (bitonal.rect().contains(at) && bitonal.pixel(at) == qRgb(0, 0, 0))
                drawn |= QRect(x, y, 1, 1);
        }
    }
    for (int edge = 0; edge < 4; ++edge) {
        const int got[4] = {ink.left(), ink.top(), ink.right(), ink.bottom()};
        const int want[4] = {drawn.left(), drawn.top(), drawn.right(), drawn.bottom()};
        EXPECT_LE(std::abs(got[edge] - want[edge]), 1) << "edge " << edge;
    }
}

TEST(Printers, PageImagesAreKeptInTheSmallestExactFormat) {
    QImage page(4, 1, QImage::Format_RGB32);
    struct Case {
        QRgb second;
        QImage::Format format;
    };
    const Case cases[] = {{qRgb(0, 0, 0), QImage::Format_Mono},
                          {qRgb(128, 128, 128), QImage::Format_Grayscale8},
                          {qRgb(200, 0, 0), QImage::Format_RGB32}};
    for (const Case& c : cases) {
        page.fill(Qt::white);
        page.setPixel(1, 0, c.second);
        const QImage compact = platform::CompactPageImage(page);
        EXPECT_EQ(compact.format(), c.format);
        EXPECT_EQ(compact.pixel(1, 0) & 0xFFFFFF, c.second & 0xFFFFFF);
    }
}

// The compact forms are made a run or a colour at a time: every pixel must
// still come out as the whole-page conversion has it.
TEST(Printers, CompactPageImagesKeepEveryPixel) {
    QImage bitonal(37, 3, QImage::Format_RGB32);
    QImage grey(37, 8, QImage::Format_RGB32);
    for (int y = 0; y < bitonal.height(); ++y)
        for (int x = 0; x < bitonal.width(); ++x)
            bitonal.setPixel(x, y, (x * 7 + y * 3) % 5 < 2 ? qRgb(0, 0, 0) : qRgb(255, 255, 255));
    for (int i = 0; i < grey.width() * grey.height(); ++i)
        grey.setPixel(i % grey.width(), i / grey.width(), qRgb(i % 256, i % 256, i % 256));
    const QImage mono = platform::CompactPageImage(bitonal);
    ASSERT_EQ(mono.format(), QImage::Format_Mono);
    EXPECT_EQ(mono.convertToFormat(QImage::Format_RGB32), bitonal);
    EXPECT_EQ(platform::CompactPageImage(grey), grey.convertToFormat(QImage::Format_Grayscale8));
}

TEST(Printers, BinNumbersNameTheirCupsMediaSources) {
    struct Case {
        int bin;
        std::string first;
    };
    const Case cases[] = {{platform::kBinUpper, "top"},     {platform::kBinLower, "bottom"},
                          {platform::kBinMiddle, "middle"}, {platform::kBinManual, "manual"},
                          {platform::kBinAuto, "auto"},     {platform::kBinTractor, ""}};
    for (const Case& c : cases) {
        const std::vector<std::string> sources = platform::MediaSourcesForBin(c.bin);
        EXPECT_EQ(sources.empty() ? "" : sources.front(), c.first) << c.bin;
    }
}

}  // namespace
