// A print job through a real CUPS server (scripts/test starts one whose
// queue writes what its filters made into a file): what arrives, page by
// page, and under how many CUPS jobs.

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>

#include "platform/printer_cups.h"
#include "print_test_support.h"
#include "printing/gdi_prn.h"
#include "support/scoped_env.h"
#include "support/wait_until.h"

namespace {

struct ArrivedPage {
    std::string slot, media, duplex;
    bool blank = false;
    bool operator==(const ArrivedPage&) const = default;
};

std::ostream& operator<<(std::ostream& os, const ArrivedPage& p) {
    return os << p.slot << "/" << p.media << "/" << p.duplex << (p.blank ? "/blank" : "");
}

// Each page of the PostScript the queue's filters wrote: the features CUPS
// set up for it and whether anything is drawn on it.
std::vector<ArrivedPage> PagesOf(const std::string& ps) {
    std::vector<ArrivedPage> pages;
    std::istringstream in(ps);
    std::string line;
    bool body = false;
    static const std::regex feature(R"(%%BeginFeature: \*(InputSlot|Duplex) (\S+))");
    while (std::getline(in, line)) {
        std::smatch m;
        if (line.rfind("%%Page:", 0) == 0) {
            pages.push_back({});
            pages.back().blank = true;
            body = false;
        } else if (pages.empty() || line.rfind("%%Trailer", 0) == 0) {
            if (!pages.empty()) body = false;
        } else if (line.rfind("%%PageMedia: ", 0) == 0) {
            pages.back().media = line.substr(13);
        } else if (std::regex_search(line, m, feature)) {
            (m[1] == "InputSlot" ? pages.back().slot : pages.back().duplex) = m[2];
        } else if (line.rfind("%%EndPageSetup", 0) == 0) {
            body = true;
        } else if (body && line.find("image") != std::string::npos) {
            pages.back().blank = false;
        }
    }
    return pages;
}

TEST(CupsPrint, OneJobCarriesEveryPageWithItsOwnTraySizeAndSide) {
    const char* queue = std::getenv("TALQ_TEST_CUPS_QUEUE");
    const char* output = std::getenv("TALQ_TEST_CUPS_OUTPUT");
    const char* pageLog = std::getenv("TALQ_TEST_CUPS_PAGE_LOG");
    if (!queue || !output || !pageLog) {
        GTEST_SKIP() << "no CUPS server was started for the tests (scripts/test starts one)";
    }
    platform::InstallPrinterCollection(std::make_shared<platform::CupsPrinterCollection>());
    const platform::DrawSurface letter = printtest::FramedPage(850, 1100);
    const platform::DrawSurface legal = printtest::FramedPage(850, 1400);
    platform::DrawSurface out;
    {
        cGdiPrn engine;
        engine.SupportedSizes(1);
        engine.SlipSheetPaperTray(platform::kBinLower);
        ASSERT_TRUE(engine.StartWinPrintJob(1, false, out, "", nullptr, queue, 0));
        auto page = [&](const platform::DrawSurface& image) {
            EXPECT_TRUE(engine.WinPrntImage(image, 100, "", "KEY0001", "", false, 0))
                << engine.LastErrorMsg();
        };
        auto slip = [&](const std::string& title) {
            bool ok = false;
            engine.WinPrntSlipSheet(title, "", "", ok);
            EXPECT_TRUE(ok) << engine.LastErrorMsg();
        };
        ASSERT_TRUE(engine.WinPrntStartNewDocument(1, ""));
        slip("First");
        page(letter);
        page(legal);
        ASSERT_TRUE(engine.WinPrntStartNewDocument(1, ""));
        slip("Second");
        page(legal);
        ASSERT_TRUE(engine.WinPrntStartNewDocument(0, ""));
        page(letter);
        engine.StopWinPrintJob();
    }
    auto* printer = dynamic_cast<platform::CupsPrinter*>(platform::CurrentPrinter().get());
    ASSERT_NE(printer, nullptr);
    const int job = printer->LastJobId();
    ASSERT_GT(job, 0);
    platform::InstallPrinterCollection(nullptr);

    // Only the page log tells that the job is done.
    const std::regex done(std::string(queue) + R"( \S+ )" + std::to_string(job) +
                          R"( \[[^\]]*\] total (\d+))");
    std::smatch total;
    std::string log;
    ASSERT_TRUE(testsupport::WaitUntil([&] {
        log = testsupport::ReadFile(pageLog);
        return std::regex_search(log, total, done);
    })) << log;

    const std::string d = "DuplexNoTumble";
    const std::vector<ArrivedPage> expected = {
        {"Lower", "Letter", d, false},  // slip sheet on its own sheet
        {"Lower", "Letter", d, true},
        {"Auto", "Letter", d, false},   // front
        {"Auto", "Legal", d, false},    // back
        {"Lower", "Letter", d, false},  // the next document's slip sheet
        {"Lower", "Letter", d, true},
        {"Auto", "Legal", d, false},
        {"Auto", "Legal", d, true},         // a one-sided document starts a sheet
        {"Auto", "Letter", "None", false},
    };
    const std::vector<ArrivedPage> arrived = PagesOf(testsupport::ReadFile(output));
    EXPECT_EQ(arrived, expected);
    EXPECT_EQ(std::stoi(total[1]), static_cast<int>(expected.size()));
}

}  // namespace
