// The printer layer: choosing printers by name, the PDF printer's pages and
// paper, the page images it writes and the CUPS bin names.

#include <gtest/gtest.h>

#include <QFile>

#include "platform/printer_cups.h"
#include "platform/printer_pdf.h"
#include "platform/printer_recording.h"
#include "support/scoped_env.h"

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
