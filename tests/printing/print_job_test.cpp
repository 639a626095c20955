// Jobs, documents and pages on a recording printer: what reaches the
// printer (pages, documents, bins, sizes, duplex sides, escapes as bytes)
// and the failures a caller is told about.

#include <gtest/gtest.h>

#include <QDir>

#include <functional>

#include "platform/printer_recording.h"
#include "print_test_support.h"
#include "printing/gdi_prn.h"
#include "support/scoped_env.h"

namespace {

using platform::RecordingPrinter;

// Letter at 100 dpi keeps composed pages small.
struct Bench {
    std::shared_ptr<platform::RecordingPrinterCollection> machine =
        std::make_shared<platform::RecordingPrinterCollection>();
    std::shared_ptr<RecordingPrinter> laser = machine->Add("Laser");
    std::shared_ptr<RecordingPrinter> other = machine->Add("Other");
    platform::DrawSurface out;  // before the engine: a job may outlive a test's last step
    cGdiPrn engine;
    platform::DrawSurface letter = printtest::FramedPage(850, 1100);
    platform::DrawSurface legal = printtest::FramedPage(850, 1400);
    platform::DrawSurface tabloid = printtest::FramedPage(1100, 1700);

    Bench() {
        laser->dpi = other->dpi = 100;
        platform::InstallPrinterCollection(machine);
    }
    ~Bench() { platform::InstallPrinterCollection(nullptr); }

    bool Start(const std::string& printer = "Laser", std::int16_t color = 0) {
        return engine.StartWinPrintJob(1, false, out, "", nullptr, printer, color);
    }
    bool Page(const platform::DrawSurface& image, std::int16_t side = 0) {
        return engine.WinPrntImage(image, 100, "", "", "", false, side);
    }
    // The calls that start with one of the prefixes, in order.
    std::vector<std::string> Calls(const std::vector<std::string>& prefixes) const {
        std::vector<std::string> picked;
        for (const std::string& call : laser->calls) {
            for (const std::string& p : prefixes) {
                if (call.rfind(p, 0) == 0) {
                    picked.push_back(call);
                    break;
                }
            }
        }
        return picked;
    }
};

TEST(PrintJob, PrinterSeesDocumentsPagesBinsAndSizesInOrder) {
    struct Case {
        const char* what;
        std::function<void(Bench&)> run;
        std::vector<std::string> prefixes;
        std::vector<std::string> expected;
    };
    const std::string image = "Image 0,0 850x1100";
    const std::vector<Case> cases = {
        {"second page gets a new page, next document does not",
         [](Bench& t) {
             t.Start("Laser", 2);
             t.engine.WinPrntStartNewDocument(0, "");
             t.Page(t.letter);
             t.Page(t.letter);
             t.engine.WinPrntStartNewDocument(0, "");
             t.Page(t.letter);
             t.engine.StopWinPrintJob();
         },
         {""},
         {"Color 2", "Duplex 1", "Bin 7", "Text  ", image, "NewPage", "Text  ", image, "EndDoc",
          "Duplex 1", "Text  ", image, "EndDoc", "EndJob"}},
        {"a stop without pages ends no document",
         [](Bench& t) {
             t.Start();
             t.engine.StopWinPrintJob();
         },
         {""},
         {"EndJob"}},
        {"back side keeps its front's class, next front changes it",
         [](Bench& t) {
             t.engine.SupportedSizes(1);
             t.engine.ResizeDuplex(true);
             t.Start();
             t.engine.WinPrntStartNewDocument(1, "");
             t.Page(t.letter);
             t.Page(t.legal);
             t.Page(t.legal);
         },
         {"Bin", "Size", "Escape"},
         {"Bin 7", "Escape 7", "Escape 7", "Size 5", "Escape 7"}},
        {"an override bin serves one page, on letter",
         [](Bench& t) {
             t.engine.SupportedSizes(1);
             t.Start();
             t.engine.OverridePaperTray(3);
             t.Page(t.legal);
             t.Page(t.legal);
         },
         {"Bin", "Size"},
         {"Bin 3", "Bin 7", "Size 5"}},
        {"the document holds its first class under staple",
         [](Bench& t) {
             t.engine.SupportedSizes(1);
             t.engine.ResizeStaple(true);
             t.Start();
             t.engine.WinPrntStartNewDocument(0, "");
             t.Page(t.letter);
             t.Page(t.legal);
             t.engine.WinPrntStartNewDocument(0, "");
             t.Page(t.legal);
         },
         {"Size"},
         {"Size 5"}},
        {"a refused automatic bin falls back to the upper one",
         [](Bench& t) {
             t.laser->refusedBins = {7};
             t.Start();
             t.Page(t.letter);
         },
         {"Bin"},
         {"Bin 7 refused", "Bin 1"}},
        {"oversize tries tabloid, then 11x17",
         [](Bench& t) {
             t.engine.SupportedSizes(2);
             t.laser->refusedSizes = {3};
             t.Start();
             t.Page(t.tabloid);
         },
         {"Size"},
         {"Size 3 refused", "Size 17"}},
        {"a printer already at 11x17 stays there",
         [](Bench& t) {
             t.engine.SupportedSizes(2);
             t.laser->paper = 17;
             t.Start();
             t.Page(t.tabloid);
         },
         {"Size"},
         {}},
        {"slip sheets come from their own bin on letter, front side",
         [](Bench& t) {
             t.engine.SupportedSizes(1);
             t.engine.SlipSheetPaperTray(4);
             t.Start();
             t.engine.WinPrntStartNewDocument(1, "");
             t.Page(t.legal);
             bool ok = false;
             t.engine.WinPrntSlipSheet("Title", "Message", "Footer", ok);
             t.Page(t.legal);
         },
         {"Bin", "Size", "Escape"},
         {"Bin 7", "Size 5", "Escape 7", "Bin 4", "Size 1", "Escape 7", "Bin 7", "Size 5",
          "Escape 7"}},
        {"no slip tray means the automatic bin",
         [](Bench& t) {
             t.Start();
             bool ok = false;
             t.engine.WinPrntSlipSheet("", "", "Footer", ok);
         },
         {"Bin"},
         {"Bin 7"}},
        {"a staple command opens the document's output",
         [](Bench& t) {
             t.Start();
             t.engine.WinPrntStartNewDocument(0, "STAPLE");
             t.engine.StopWinPrintJob();
         },
         {"Escape", "EndDoc"},
         {"Escape 8", "EndDoc"}},
        {"a printer that stretches gets the page at the image's resolution",
         [](Bench& t) {
             t.laser->canStretch = true;
             t.laser->dpi = 300;
             t.Start();
             t.Page(t.letter);
         },
         {"Stretch", "Image"},
         {"Stretch 0,0 2550x3300 from 850x1100"}},
        {"a slip sheet for a 1200 dpi printer is composed at the pages' 300",
         [](Bench& t) {
             t.laser->canStretch = true;
             t.laser->dpi = 1200;
             t.Start();
             bool ok = false;
             t.engine.WinPrntSlipSheet("Title", "", "", ok);
         },
         {"Stretch", "Image"},
         {"Stretch 0,0 10200x13200 from 2550x3300"}},
    };
    for (const Case& c : cases) {
        Bench t;
        c.run(t);
        EXPECT_EQ(t.Calls(c.prefixes), c.expected) << c.what;
    }
}

TEST(PrintJob, EscapesCarryASixteenBitCountAndTooLongDataIsRefused) {
    struct Case {
        std::string staple;
        std::string head;  // the first bytes sent; empty when nothing is sent
    };
    const Case cases[] = {
        {std::string("\x1b&a1G"), std::string("\x05\x00\x1b&a1G", 7)},
        {std::string(300, 'x'), std::string("\x2c\x01xx", 4)},
        {std::string(70000, 'x'), ""},
    };
    for (const Case& c : cases) {
        Bench t;
        t.Start();
        EXPECT_TRUE(t.engine.WinPrntStartNewDocument(0, c.staple));
        if (c.head.empty()) {
            EXPECT_TRUE(t.laser->escapes.empty());
        } else {
            ASSERT_EQ(t.laser->escapes.size(), 1u);
            EXPECT_EQ(t.laser->escapes[0].substr(0, c.head.size()), c.head);
            EXPECT_EQ(t.laser->escapes[0].size(), c.staple.size() + 2);
        }
    }
    // Duplex sides alternate front, back, front.
    Bench t;
    t.Start();
    t.engine.WinPrntStartNewDocument(1, "");
    for (int i = 0; i < 3; ++i) t.Page(t.letter);
    const std::vector<std::string> sides = {std::string("\x05\x00\x1b&a1G", 7),
                                            std::string("\x05\x00\x1b&a2G", 7),
                                            std::string("\x05\x00\x1b&a1G", 7)};
    EXPECT_EQ(t.laser->escapes, sides);
}

TEST(PrintJob, FailuresAreReportedAndLeaveNoJobBehind) {
    struct Case {
        const char* what;
        std::function<bool(Bench&)> run;
        std::string error;
    };
    const std::vector<Case> cases = {
        {"page before any job", [](Bench& t) { return t.Page(t.letter); }, "Invalid Print Mode"},
        {"slip sheet before any job",
         [](Bench& t) {
             bool ok = true;
             t.engine.WinPrntSlipSheet("Title", "Message", "Footer", ok);
             return ok;
         },
         "Invalid Print Mode"},
        {"document before any job",
         [](Bench& t) { return t.engine.WinPrntStartNewDocument(0, ""); },
         "Print Job Not Yet Started"},
        {"unknown printer", [](Bench& t) { return t.Start("Nowhere"); },
         "Unable to Start Print Job"},
        {"watermark without a surface",
         [](Bench& t) {
             return t.engine.StartWinPrintJob(1, false, t.out, "/no/such.png", nullptr, "Laser", 0);
         },
         "Must Provide WaterMark Control to allow Watermarking."},
        {"watermark that cannot be read",
         [](Bench& t) {
             platform::DrawSurface mark;
             const bool started =
                 t.engine.StartWinPrintJob(1, false, t.out, "/no/such.png", &mark, "Laser", 0);
             return started || t.Page(t.letter);
         },
         "Invalid Print Mode"},
        {"image page in a composing-only job",
         [](Bench& t) {
             t.engine.StartTIFFPrintJob(1, false, t.out, "", nullptr, 0);
             return t.Page(t.letter);
         },
         "Invalid Print Mode"},
        {"printer without duplex",
         [](Bench& t) {
             t.laser->refuseDuplex = true;
             t.Start();
             return t.engine.WinPrntStartNewDocument(1, "");
         },
         "Unable to Set Duplex Mode on Printer"},
        {"staple without a device",
         [](Bench& t) {
             t.laser->hasDeviceContext = false;
             t.Start();
             return t.engine.WinPrntStartNewDocument(0, "STAPLE");
         },
         "Unable to Send Staple Command to Printer"},
        {"margins wider than the page",
         [](Bench& t) {
             t.engine.LeftMargin(5000);
             t.Start();
             return t.Page(t.letter);
         },
         "Unable to Create Output Image"},
        {"printer refuses the image",
         [](Bench& t) {
             t.laser->failImages = true;
             t.Start();
             return t.Page(t.letter);
         },
         "Unable to Submit Image to Printer"},
        // Pages that never reached the file or queue are no print.
        {"printer cannot hand the job over",
         [](Bench& t) {
             t.laser->failEnd = true;
             t.Start();
             return t.Page(t.letter) && t.engine.StopWinPrintJob();
         },
         "Unable to Submit Image to Printer\nLaser: not handed over"},
        // Neither an image page nor a slip sheet follows a page not put out.
        {"printer cannot put out a page",
         [](Bench& t) {
             t.laser->failPages = true;
             bool first = t.Start() && t.Page(t.letter), image = t.Page(t.letter), slip = true;
             t.engine.WinPrntSlipSheet("Title", "Message", "Footer", slip);
             return !first || image || slip;
         },
         "Unable to Submit Image to Printer\nLaser: page not put out"},
    };
    for (const Case& c : cases) {
        Bench t;
        EXPECT_FALSE(c.run(t)) << c.what;
        EXPECT_EQ(t.engine.LastErrorMsg(), c.error) << c.what;
        if (c.error == "Unable to Start Print Job") {
            EXPECT_TRUE(t.laser->calls.empty() && t.other->calls.empty()) << c.what;
        }
    }
}

TEST(PrintJob, CountersAndColourFollowTheJob) {
    Bench t;
    t.laser->bitsPerPixel = 1;
    ASSERT_TRUE(t.Start("laser", 2));  // names compare without regard to case
    EXPECT_TRUE(t.engine.BlackAndWhite());
    EXPECT_EQ(t.Calls({"Color"}), (std::vector<std::string>{"Color 2", "Color 1"}));
    t.engine.BlackAndWhite(false);  // taken only in composing-only jobs
    EXPECT_TRUE(t.engine.BlackAndWhite());
    ASSERT_TRUE(t.Page(t.letter));
    ASSERT_TRUE(t.Page(t.letter));
    EXPECT_EQ(t.engine.TotalPages(), 2);
    EXPECT_EQ(t.engine.DocPages(), 2);
    EXPECT_TRUE(t.engine.DocStarted());
    EXPECT_EQ(t.laser->images.size(), 2u);
    t.engine.StopWinPrintJob();
    EXPECT_EQ(t.engine.TotalPages(), 0);
    EXPECT_FALSE(t.engine.DocStarted());
}

// The owner may destroy the surfaces a job composes on before the engine
// ends the job; the job then ends without touching them.
TEST(PrintJob, JobEndsSafelyWhenItsSurfacesDieFirst) {
    testsupport::ScopedTempDir dir;
    const std::string markFile = dir.Path() + "/mark.png";
    QImage mark(20, 20, QImage::Format_RGB32);
    mark.fill(Qt::gray);
    ASSERT_TRUE(mark.save(QString::fromStdString(markFile)));
    struct Case {
        const char* what;
        std::function<void(cGdiPrn&, Bench&)> end;
    };
    const std::vector<Case> cases = {
        {"engine destroyed", [](cGdiPrn&, Bench&) {}},
        {"job stopped", [](cGdiPrn& e, Bench&) { e.StopWinPrintJob(); }},
        {"page printed", [](cGdiPrn& e, Bench& t) {
             EXPECT_FALSE(e.WinPrntImage(t.letter, 100, "", "", "", false, 0));
             EXPECT_EQ(e.LastErrorMsg(), "Invalid Print Mode");
             bool ok = true;
             e.WinPrntSlipSheet("T", "", "", ok);
             EXPECT_FALSE(ok);
         }},
    };
    for (const Case& c : cases) {
        Bench t;
        auto engine = std::make_unique<cGdiPrn>();
        auto out = std::make_unique<platform::DrawSurface>();
        auto watermark = std::make_unique<platform::DrawSurface>();
        ASSERT_TRUE(engine->StartWinPrintJob(1, false, *out, markFile, watermark.get(), "Laser", 0));
        ASSERT_TRUE(engine->WinPrntImage(t.letter, 100, "", "", "", false, 0)) << c.what;
        out.reset();
        watermark.reset();
        c.end(*engine, t);
        engine.reset();
        EXPECT_EQ(t.Calls({"EndDoc", "EndJob"}), (std::vector<std::string>{"EndDoc", "EndJob"}))
            << c.what;
    }
}

TEST(PrintJob, SlipSheetFooterSitsRightAlignedAboveTheBottomMargin) {
    cGdiPrn engine;
    engine.MsgFontName(printtest::kMono);
    platform::DrawSurface out;
    bool ok = false;
    constexpr int W = 850, H = 1100, R = 100, M = 8;
    engine.RenderSlipSheet(out, W, H, R, M, "", "", "Page footer", ok);
    ASSERT_TRUE(ok);
    const QRect ink = printtest::InkBox(out.Image(), out.Image().rect());
    ASSERT_FALSE(ink.isEmpty());
    int cw = 0, lh = 0;
    printtest::MonoMetrics(18, R, cw, lh);
    const int spacing = platform::RoundToInt(lh * 1.25);
    EXPECT_GE(ink.top(), H - M - spacing);
    EXPECT_LE(ink.right(), W - M);
    EXPECT_GT(ink.right(), W - M - cw);
    engine.RenderSlipSheet(out, 0, H, R, M, "T", "", "", ok);
    EXPECT_FALSE(ok);
}

}  // namespace
