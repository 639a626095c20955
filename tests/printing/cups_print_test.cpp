// A print job through a real CUPS server (scripts/test starts one whose
// queue writes what its filters made into a file): what arrives, page by
// page, and under how many CUPS jobs; and the queues that fail.

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <utility>

#include <QDir>
#include <QProcess>

#include <cups/cups.h>

#include "platform/event_pump.h"
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

// The Code 39 symbol of each page of a PostScript file, as a standard
// reader decodes it from the page rendered at 300 dpi ("" where none reads).
std::vector<std::string> BarCodesOf(const std::string& ps, const std::string& dir) {
    QProcess render;
    render.start("gs", {"-q", "-dNOPAUSE", "-dBATCH", "-dSAFER", "-sDEVICE=pnggray", "-r300",
                        QString::fromStdString("-sOutputFile=" + dir + "/page-%03d.png"),
                        QString::fromStdString(ps)});
    render.waitForFinished(120000);
    std::vector<std::string> codes;
    for (const QString& page : QDir(QString::fromStdString(dir)).entryList({"page-*.png"})) {
        QProcess read;
        read.start("zbarimg", {"-q", "--raw", "-Scode39.enable",
                               QDir(QString::fromStdString(dir)).filePath(page)});
        read.waitForFinished(60000);
        codes.push_back(read.readAllStandardOutput().trimmed().toStdString());
    }
    return codes;
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
        engine.UseBarCode(true);
        engine.KeyFontName(printtest::kMono);
        engine.MsgFontName(printtest::kMono);
        engine.SupportedSizes(1);
        engine.SlipSheetPaperTray(platform::kBinLower);
        ASSERT_TRUE(engine.StartWinPrintJob(1, false, out, "", nullptr, queue, 0));
        int keys = 0;
        auto page = [&](const platform::DrawSurface& image) {
            const std::string key = "KEY000" + std::to_string(++keys);
            EXPECT_TRUE(engine.WinPrntImage(image, 100, "", key, "", false, 0))
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
        {"Lower", "Letter", d, true},      {"Auto", "Letter", d, false},  // front
        {"Auto", "Legal", d, false},                                      // back
        {"Lower", "Letter", d, false},  // the next document's slip sheet
        {"Lower", "Letter", d, true},      {"Auto", "Legal", d, false},
        {"Auto", "Legal", d, true},  // a one-sided document starts a sheet
        {"Auto", "Letter", "None", false},
    };
    const std::vector<ArrivedPage> arrived = PagesOf(testsupport::ReadFile(output));
    EXPECT_EQ(arrived, expected);
    EXPECT_EQ(std::stoi(total[1]), static_cast<int>(expected.size()));

    // Each page's key reads back from its bar code; slip sheets and backs carry none.
    testsupport::ScopedTempDir pages;
    const std::vector<std::string> codes = {"", "",        "KEY0001", "KEY0002", "",
                                            "", "KEY0003", "",        "KEY0004"};
    EXPECT_EQ(BarCodesOf(output, pages.Path()), codes);
}

// Two letter pages to a queue, the job stopped; the engine's result and text.
struct Outcome {
    bool pages = false, stopped = false;
    std::string error;
    int jobsLeft = 0;  // jobs of the queue not finished
};

Outcome PrintTwoPages(const std::string& queue) {
    platform::InstallPrinterCollection(std::make_shared<platform::CupsPrinterCollection>());
    Outcome o;
    {
        cGdiPrn engine;
        platform::DrawSurface out;
        if (engine.StartWinPrintJob(1, false, out, "", nullptr, queue, 0)) {
            const platform::DrawSurface page = printtest::FramedPage(850, 1100);
            o.pages = engine.WinPrntImage(page, 100, "", "K1", "", false, 0) &&
                      engine.WinPrntImage(page, 100, "", "K2", "", false, 0);
            if (!o.pages) o.error = engine.LastErrorMsg();
            o.stopped = engine.StopWinPrintJob();
        }
        if (o.error.empty()) o.error = engine.LastErrorMsg();
    }
    platform::InstallPrinterCollection(nullptr);
    cups_job_t* jobs = nullptr;
    o.jobsLeft = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, queue.c_str(), 0, CUPS_WHICHJOBS_ACTIVE);
    cupsFreeJobs(o.jobsLeft, jobs);
    return o;
}

TEST(CupsPrint, AJobCupsStopsIsNoPrintAndNamesTheQueueAndCupsReason) {
    const char* queue = std::getenv("TALQ_TEST_CUPS_BROKEN");
    if (!queue)
        GTEST_SKIP() << "no CUPS server was started for the tests (scripts/test starts one)";
    const Outcome o = PrintTwoPages(queue);
    EXPECT_TRUE(o.pages);  // CUPS takes every page, then its backend fails
    EXPECT_FALSE(o.stopped);
    EXPECT_EQ(
        o.error.rfind(
            "Unable to Submit Image to Printer\n" + std::string(queue) + ": CUPS stopped job ", 0),
        0u)
        << o.error;
    EXPECT_EQ(o.jobsLeft, 0);
}

TEST(CupsPrint, AStoppedQueueFailsTheFirstPageWithItsReasonAndKeepsNoJob) {
    const char* queue = std::getenv("TALQ_TEST_CUPS_STOPPED");
    if (!queue)
        GTEST_SKIP() << "no CUPS server was started for the tests (scripts/test starts one)";
    const Outcome o = PrintTwoPages(queue);
    EXPECT_FALSE(o.pages);
    EXPECT_FALSE(o.stopped);
    EXPECT_EQ(o.error, "Unable to Submit Image to Printer\n" + std::string(queue) +
                           ": the queue is stopped: Paper jam in tray 2");
    EXPECT_EQ(o.jobsLeft, 0);
}

// A CUPS server of the test's own, which it may kill.
class OwnCups {
  public:
    explicit OwnCups(const std::string& script) {
        QProcess start;
        start.start("bash", {QString::fromStdString(script), "start",
                             QString::fromStdString(dir_.Path())});
        start.waitForFinished(60000);
        const std::string out = start.readAllStandardOutput().toStdString();
        std::smatch m;
        if (std::regex_search(out, m, std::regex("CUPS_SERVER='([^']+)'"))) socket_ = m[1];
    }
    ~OwnCups() {
        Kill();
        cupsSetServer(nullptr);
    }
    const std::string& Socket() const { return socket_; }
    // Kills the server and waits until its socket no longer answers.
    void Kill() {
        const std::string pid = testsupport::ReadFile(dir_.Path() + "/cupsd.pid");
        if (pid.empty()) return;
        ::kill(std::stoi(pid), SIGKILL);
        std::remove((dir_.Path() + "/cupsd.pid").c_str());
        testsupport::WaitUntil([&] {
            http_t* http = httpConnect2(socket_.c_str(), ippPort(), nullptr, AF_UNSPEC,
                                        HTTP_ENCRYPTION_NEVER, 1, 1000, nullptr);
            if (http) httpClose(http);
            return http == nullptr;
        });
    }

  private:
    testsupport::ScopedTempDir dir_;
    std::string socket_;
};

TEST(CupsPrint, AHeldJobOrACupsThatStopsAnsweringIsNoPrintAndSaysWhereTheJobIs) {
    const char* held = std::getenv("TALQ_TEST_CUPS_HELD");
    const char* script = std::getenv("TALQ_TEST_CUPS_SANDBOX");
    const char* queue = std::getenv("TALQ_TEST_CUPS_QUEUE");
    if (!held || !script || !queue)
        GTEST_SKIP() << "no CUPS server was started for the tests (scripts/test starts one)";
    const std::string jobPrefix =
        "Unable to Submit Image to Printer\n" + std::string(held) + ": job ";

    // The queue holds every job: it waits there, reported, neither printed nor cancelled.
    Outcome o = PrintTwoPages(held);
    EXPECT_TRUE(o.pages);
    EXPECT_FALSE(o.stopped);
    EXPECT_TRUE(std::regex_match(
        o.error,
        std::regex(jobPrefix + R"(\d+ waits in the queue, held \(job-hold-until-specified\))")))
        << o.error;
    EXPECT_EQ(o.jobsLeft, 1);
    cups_job_t* jobs = nullptr;
    const int n = cupsGetJobs2(CUPS_HTTP_DEFAULT, &jobs, held, 0, CUPS_WHICHJOBS_ACTIVE);
    for (int i = 0; i < n; ++i) cupsCancelJob2(CUPS_HTTP_DEFAULT, held, jobs[i].id, 0);
    cupsFreeJobs(n, jobs);

    // CUPS gone once the job is in: its state is unknown, and said to be.
    OwnCups own(script);
    ASSERT_FALSE(own.Socket().empty());
    cupsSetServer(own.Socket().c_str());
    bool killed = false;
    platform::CallbackEventPump pump([&] {
        if (!std::exchange(killed, true)) own.Kill();
    });
    platform::ScopedEventPump scoped(pump);
    o = PrintTwoPages(queue);
    EXPECT_TRUE(killed);
    EXPECT_TRUE(o.pages);
    EXPECT_FALSE(o.stopped);
    EXPECT_TRUE(std::regex_match(
        o.error, std::regex("Unable to Submit Image to Printer\n" + std::string(queue) +
                            R"(: CUPS stopped answering; the state of job \d+ is unknown)")))
        << o.error;
}

TEST(CupsPrint, NoCupsServerNamesThePrinterAndWhyItCannotBeReached) {
    const char* queue = std::getenv("TALQ_TEST_CUPS_QUEUE");
    if (!queue)
        GTEST_SKIP() << "no CUPS server was started for the tests (scripts/test starts one)";
    testsupport::ScopedTempDir dir;
    cupsSetServer((dir.Path() + "/no-cups.sock").c_str());
    const Outcome o = PrintTwoPages(queue);
    cupsSetServer(nullptr);
    EXPECT_FALSE(o.pages || o.stopped);
    EXPECT_EQ(o.error.rfind("Unable to Start Print Job\n" + std::string(queue) + ": ", 0), 0u)
        << o.error;
    EXPECT_GT(o.error.size(),
              std::string("Unable to Start Print Job\n: ").size() + std::string(queue).size())
        << o.error;
}

}  // namespace
