// The print driver without a window: the pages each scope means, the layers
// a printed page carries, batch lines, the print log and the query list's
// sets, on a recording printer and to a PDF file.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QFile>
#include <QKeyEvent>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>

#include <optional>
#include <regex>

#include "foundation/widgets/common_dialogs.h"
#include "foundation/widgets/generic_dialogs.h"
#include "foundation/widgets/dialog_factory.h"
#include "platform/event_pump.h"
#include "platform/printer_pdf.h"
#include "platform/scripted_prompts.h"
#include "platform/widgets/qt_prompts.h"
#include "platform/wire_separators.h"
#include "support/fake_dialog_runner.h"
#include "support/modal_answerer.h"
#include "support/pdf_images.h"
#include "support/test_images.h"
#include "support/small_disk.h"
#include "viewer/print_scene.h"

namespace {

using testsupport::PrintScene;
using namespace printing;

// The window as the driver reads it, set by each test.
struct FakePrintHost : viewer::PrintHost {
    viewer::ViewerSession& Session() override { return session; }
    viewer::PrintRestrictions Restrictions() override { return restrictions; }
    std::string KeyOnDisplay() override { return keyOnDisplay; }
    viewer::ShownQuery QueryRows() override { return query; }
    void EnableViews(bool on) override { viewsOn = on; }
    QWidget* DialogParent() override { return nullptr; }

    testsupport::FakeViewerSession session;
    viewer::PrintRestrictions restrictions;
    std::string keyOnDisplay = "K0002";
    viewer::ShownQuery query;
    bool viewsOn = true;
};

class PrintDriverTest : public ::testing::Test {
  protected:
    PrintDriverTest() : scoped_(prompts), scene_(host.session) {
        driver.Load();
        Local(0, 0);
    }

    void Local(std::int16_t range, std::int32_t flags) {
        PrintScene::Local(driver.printRequest, range, flags);
    }
    std::vector<std::string> Logs() const { return scene_.Logs(); }
    const std::string& Dir() const { return scene_.dir.Path(); }
    platform::RecordingPrinter& Printer() { return *scene_.printer; }

    testsupport::ScopedUserStores stores_;
    platform::ScriptedPrompts prompts;
    platform::ScopedPrompts scoped_;
    FakePrintHost host;
    PrintScene scene_;
    viewer::PrintDriver driver{host};
};

TEST_F(PrintDriverTest, EachScopePrintsItsPagesAndLogsEachRange) {
    struct Case {
        std::int16_t range;
        std::vector<std::string> inputs;
        size_t pages;
        std::vector<std::string> logs;
    };
    const Case cases[] = {
        {0, {}, 1, {"TALQUpdtPrintLog,1,0"}},
        {1, {}, 3, {"TALQUpdtPrintLog,3,0"}},
        {2, {"K0002", "K0004"}, 3, {"TALQUpdtPrintLog,3,0"}},
        // A key offered in place of one not found is taken on Yes.
        {2, {"K0004", "K0099"}, 2, {"TALQUpdtPrintLog,2,0"}},
        // Beginning after the end: nothing printed, nothing logged.
        {2, {"K0004", "K0002"}, 0, {}},
        // A cancelled prompt ends the request.
        {2, {""}, 0, {}},
    };
    host.session.nearKeys["K0099"] = "K0005";
    for (const Case& c : cases) {
        Printer().images.clear();
        host.session.passThroughSent.clear();
        for (const std::string& in : c.inputs) prompts.QueueInput(in);
        if (c.inputs.size() == 2 && c.inputs[1] == "K0099") prompts.QueueAnswer(platform::vbYes);
        Local(c.range, 0);
        driver.PrintSelection();
        EXPECT_EQ(Printer().images.size(), c.pages) << "range " << c.range;
        EXPECT_EQ(Logs(), c.logs) << "range " << c.range;
    }
    EXPECT_TRUE(host.viewsOn);

    // An ending key in lower case still includes its page.
    Printer().images.clear();
    frmProcess progress;
    bool ok = false;
    driver.PrintSelection();  // takes the request as the driver's own
    Printer().images.clear();
    driver.StartPrintJob(0, ok);
    ASSERT_TRUE(ok);
    driver.PrintDocumentPages(progress, "K0002", "k0004", 0);
    driver.EndPrintJob();
    EXPECT_EQ(Printer().images.size(), 3u);
}

TEST_F(PrintDriverTest, RedactionsPrintWheneverThePageOrTheUserRequiresThem) {
    struct Case {
        std::int32_t flags;
        std::int32_t mark, redactAccess, annotAccess;
        bool redaction, highlight;
    };
    const std::int32_t color = kPrintSupportColor;
    const Case cases[] = {
        {color, 0, 0, 0, false, false},
        {color | kPrintRedactions, 0, 0, 0, true, false},
        {color | kPrintHighlights, 0, 0, 0, false, true},
        {color | kPrintRedactions | kPrintHighlights, 0, 0, 0, true, true},
        // Highlights hidden from the user never print.
        {color | kPrintRedactions | kPrintHighlights, 0, 0, 2, true, false},
        // A user whose redactions are opaque prints them unasked.
        {color, 0, 1, 0, true, false},
        // A marked page keeps its redactions and prints no other layer.
        {color | kPrintHighlights, 1, 2, 0, true, false},
        {color, 1, 0, 0, true, false},
    };
    for (const Case& c : cases) {
        Printer().images.clear();
        host.session.restricted = c.mark;
        host.restrictions.g_RestrictRedactions = c.redactAccess;
        host.restrictions.g_RestrictAnnotations = c.annotAccess;
        Local(0, c.flags);
        driver.PrintSelection();
        ASSERT_EQ(Printer().images.size(), 1u) << prompts.Messages().back();
        const QImage& page = Printer().images.front();
        EXPECT_EQ(testsupport::DarkShare(page) > 0.3, c.redaction)
            << "flags " << c.flags << " mark " << c.mark;
        EXPECT_EQ(testsupport::HasYellow(page), c.highlight)
            << "flags " << c.flags << " mark " << c.mark;
    }
}

TEST_F(PrintDriverTest, AnOpaqueRedactionUserPrintsBlackUnderTheRedactionInThePdf) {
    if (QStandardPaths::findExecutable("pdftoppm").isEmpty()) GTEST_SKIP() << "no pdftoppm";
    const std::string pdf = Dir() + "/out.pdf";
    platform::InstallPrinterCollection(nullptr);
    host.restrictions.g_RestrictRedactions = 1;
    Local(1, 0);
    driver.printRequest.PrintLocalPrinter = pdf;
    driver.PrintSelection();
    ASSERT_TRUE(prompts.Messages().empty()) << prompts.Messages().front();
    QProcess raster;
    raster.start("pdftoppm",
                 {"-r", "30", "-gray", "-f", "2", "-l", "2", "-singlefile",
                  QString::fromStdString(pdf), QString::fromStdString(Dir() + "/back")});
    ASSERT_TRUE(raster.waitForFinished(20000));
    const QImage back(QString::fromStdString(Dir() + "/back.pgm"));
    ASSERT_FALSE(back.isNull());
    // The redaction covers the middle of the page; the image's foot is white.
    EXPECT_LT(qGray(back.pixel(back.width() / 2, back.height() / 2)), 64);
    EXPECT_GT(testsupport::DarkShare(back), 0.3);
}

TEST_F(PrintDriverTest, BatchLinesCarryMarkLevelAndCleanedMessageAndTheJobIsClosed) {
    host.session.pageLevels["K0002"] = 2;
    host.session.pageMarks["K0002"] = 1;
    host.session.tags = "Hot,Later";
    driver.printRequest.g_PrinterType = 1;
    driver.printRequest.g_PrintRange = 1;
    driver.printRequest.g_PrintFlags = kPrintImageKey | kPrintMessage | kPrintIssueTags;
    driver.printRequest.g_szPrintMsg = "Conf~1\r\nnext";
    driver.PrintSelection();
    EXPECT_EQ(host.session.batchOpens, 1);
    EXPECT_EQ(host.session.batchCloses, 1);
    EXPECT_EQ(host.session.batchLines,
              (std::vector<std::string>{"K0001~0~ACME~Conf-1@@next@Hot, Later~~K0001\n",
                                        "K0002*R~0~ACME~Conf-1@@next@Hot, Later~D~K0002\n",
                                        "K0003~0~ACME~Conf-1@@next@Hot, Later~~K0003\n"}));
    EXPECT_EQ(Logs(), std::vector<std::string>{"TALQUpdtPrintLog,0,3"});
    EXPECT_TRUE(Printer().images.empty());
}

TEST_F(PrintDriverTest, APageWhoseListsOrInfoCannotBeReadIsNotPrinted) {
    host.session.annotationsOk = false;
    Local(1, kPrintRedactions);
    driver.PrintSelection();
    EXPECT_TRUE(Printer().images.empty());
    EXPECT_EQ(prompts.Messages(), std::vector<std::string>{"Unable to Get Annotations K0001"});
    EXPECT_TRUE(Logs().empty());
    host.session.annotationsOk = true;
    host.session.pageInfoOk = false;
    prompts.Clear();
    driver.PrintSelection();
    EXPECT_TRUE(Printer().images.empty());
    EXPECT_EQ(prompts.Messages(), std::vector<std::string>{"Unable to Get Image Info K0001"});
    // Nor one asked for with its tags, when they cannot be read.
    host.session.pageInfoOk = true;
    host.session.tagsReadOk = false;
    for (int type : {0, 1}) {
        prompts.Clear();
        driver.printRequest.g_PrinterType = type;
        driver.printRequest.g_PrintFlags = kPrintIssueTags;
        driver.PrintSelection();
        EXPECT_TRUE(Printer().images.empty()) << type;
        EXPECT_TRUE(host.session.batchLines.empty()) << type;
        EXPECT_EQ(prompts.Messages(), std::vector<std::string>{"Unable to Get Image Tags K0001"})
            << type;
    }
}

// The page may be there: a lookup that failed is not an invalid key.
TEST_F(PrintDriverTest, ARangeKeyWhoseLookupFailsSaysWhyAndIsAskedAgain) {
    host.session.lookupFailures["K0002"] = "No reply from the server within 30 seconds.";
    prompts.QueueInput("K0002");
    prompts.QueueInput("");
    Local(2, 0);
    driver.PrintSelection();
    EXPECT_EQ(prompts.Messages(),
              std::vector<std::string>{
                  "Unable to Look Up ImageKey K0002\nNo reply from the server within 30 seconds."});
    EXPECT_TRUE(Printer().images.empty());
}

TEST_F(PrintDriverTest, ANextKeyThatDoesNotSortAfterTheCurrentOneEndsTheWalk) {
    host.session.pageKeys = {"K0001", "K0002", "k0002", "K0003"};
    host.session.images["k0002"] = testsupport::PagePng();
    prompts.QueueInput("K0002");
    prompts.QueueInput("K0003");
    Local(2, 0);
    driver.PrintSelection();
    EXPECT_EQ(Printer().images.size(), 1u);
}

TEST_F(PrintDriverTest, EntireListPrintsEveryRowOfEverySetFromTheFirst) {
    // The server positions on no row of either set: the record's current
    // row is then each set's last.
    const std::string ss(1, wire::kSectionSep), rs(1, wire::kRecordSep);
    host.session.passThrough = [&](const std::string& command, std::string& reply) {
        if (command.rfind("TALQQueryScroll,", 0) != 0) return true;
        reply =
            command.back() == '1'
                ? "ZZZ" + ss + "p2" + ss + "MOREBEFORE" + ss + "2" + ss + "K0004" + rs + "K0005"
                : "ZZZ" + ss + "p1" + ss + "MOREFOLLOWS" + ss + "2" + ss + "K0001" + rs + "K0002";
        return true;
    };
    host.query.CurrentQuery.Kind = 2;
    host.query.rows = {"K0004"};
    Local(2, 0);
    driver.printRequest.g_PrintMode = 1;
    driver.PrintSelection();
    EXPECT_EQ(Printer().images.size(), 4u);
    EXPECT_EQ(Logs(), (std::vector<std::string>{"TALQUpdtPrintLog,1,0", "TALQUpdtPrintLog,1,0",
                                                "TALQUpdtPrintLog,1,0", "TALQUpdtPrintLog,1,0"}));
}

TEST_F(PrintDriverTest, AJobThePrinterCouldNotHandOverIsReportedNotPassedAsPrinted) {
    Printer().failEnd = true;
    driver.PrintSelection();
    EXPECT_EQ(Printer().images.size(), 1u);
    EXPECT_EQ(prompts.Messages(),
              std::vector<std::string>{"Unable to Submit Image to Printer\nRec: not handed over"});
    EXPECT_TRUE(Logs().empty());
}

TEST_F(PrintDriverTest, APdfPrintOutOfSpaceKeepsTheFileItWouldReplaceAndLogsNothing) {
    testsupport::SmallDisk disk;
    if (!disk.Refusal().empty()) GTEST_SKIP() << "no 64 KB tmpfs (needs root): " << disk.Refusal();
    const std::string old = disk.Path() + "/K0001.pdf";
    testsupport::WriteFile(old, "the old print");
    disk.Fill(0);
    testsupport::FakeDialogRunner runner;
    mComDlg::ScopedDialogRunner scoped(runner);
    runner.files.push_back(mComDlg::FileAnswer{old, 1});
    prompts.QueueAnswer(platform::vbYes);  // replace it
    Local(1, 0);
    driver.printRequest.PrintLocalPrinter = platform::kPdfPrinterName;
    driver.PrintSelection(true);
    EXPECT_EQ(prompts.Messages().back(),
              "Unable to Submit Image to Printer\n" + old + ": No space left on device");
    EXPECT_EQ(testsupport::ReadFile(old), "the old print");
    EXPECT_TRUE(Logs().empty());
}

TEST_F(PrintDriverTest, ThePdfPrinterOfTheDialogWritesTheFileTheUserNamesAndElseANewOneEachTime) {
    testsupport::ScopedTempDir home;
    testsupport::ScopedEnv homeEnv("HOME", home.Path());
    const std::string documents = home.Path() + "/Documents";
    const std::string chosen = Dir() + "/chosen.pdf";
    struct Case {
        bool fromDialog;
        std::optional<std::string> answer;  // the save dialog's; none: Cancel
        std::string written;                // empty: nothing printed
    };
    const Case cases[] = {
        {true, std::nullopt, ""},
        {true, chosen, chosen},
        {false, std::nullopt, documents + "/talq-print.pdf"},
        {false, std::nullopt, documents + "/talq-print-2.pdf"},
    };
    platform::InstallPrinterCollection(nullptr);
    for (const Case& c : cases) {
        testsupport::FakeDialogRunner runner;
        mComDlg::ScopedDialogRunner scoped(runner);
        if (c.answer) runner.files.push_back(mComDlg::FileAnswer{*c.answer, 1});
        Local(0, 0);
        driver.printRequest.PrintLocalPrinter = platform::kPdfPrinterName;
        driver.PrintSelection(c.fromDialog);
        ASSERT_TRUE(prompts.Messages().empty()) << prompts.Messages().front();
        if (c.fromDialog) {
            ASSERT_EQ(runner.fileRequests.size(), 1u);
            EXPECT_TRUE(runner.fileRequests[0].save);
            EXPECT_EQ(runner.fileRequests[0].folder, documents);
            EXPECT_EQ(runner.fileRequests[0].fileName, "K0002.pdf");
        } else {
            EXPECT_TRUE(runner.fileRequests.empty());
        }
        if (!c.written.empty()) {
            EXPECT_TRUE(testsupport::ReadFile(c.written).rfind("%PDF", 0) == 0) << c.written;
        }
    }
    EXPECT_EQ(QDir(QString::fromStdString(documents)).entryList(QDir::Files).size(), 2);
    EXPECT_FALSE(QFile::exists(QString::fromStdString(documents + "/K0002.pdf")));
}

TEST_F(PrintDriverTest, PagesPrintFromMemoryAndA600DpiColourScanReachesThePdf) {
    host.session.tempFile = Dir() + "/missing-folder/print.img";  // cannot be written
    const std::string pdf = Dir() + "/scan.pdf";
    platform::InstallPrinterCollection(nullptr);
    host.session.images["K0002"] = testsupport::LetterScan600(false);
    host.session.annotations["K0002"] = {};
    Local(0, kPrintSupportColor);
    driver.printRequest.PrintLocalPrinter = pdf;
    driver.PrintSelection();
    ASSERT_TRUE(prompts.Messages().empty()) << prompts.Messages().front();
    if (!testsupport::HavePopplerTools()) GTEST_SKIP() << "no poppler tools";
    // A page that did not decode would be a blank one, stored 1-bit.
    EXPECT_EQ(testsupport::PdfImageKinds(pdf), std::vector<std::string>{"rgb 8 jpeg"});
}

TEST_F(PrintDriverTest, APageWhoseImageDoesNotDecodeIsReportedNotPrintedBlank) {
    host.session.images["K0002"] = testsupport::DamagedJpeg();
    Local(1, 0);
    driver.PrintSelection();
    EXPECT_EQ(Printer().images.size(), 1u);  // the page before it
    EXPECT_EQ(prompts.Messages(), std::vector<std::string>{"Unable to Open Image File\nK0002"});
    EXPECT_EQ(Logs(), std::vector<std::string>{"TALQUpdtPrintLog,1,0"});
}

// The pages of a PDF file cairo wrote.
int PdfPages(const std::string& path) {
    const std::string pdf = testsupport::ReadFile(path);
    static const std::regex page(R"(/Type /Page[^s])");
    return static_cast<int>(std::distance(std::sregex_iterator(pdf.begin(), pdf.end(), page),
                                          std::sregex_iterator()));
}

TEST_F(PrintDriverTest, ACancelOrFailureNeverReplacesAFileAndKeepsThePagesSoFarBesideIt) {
    platform::InstallPrinterCollection(nullptr);
    const std::string report = Dir() + "/report.pdf", beside = Dir() + "/report-2.pdf";
    frmProcess* progress = nullptr;
    talq::DialogFactory<frmProcess>::Scoped made([&](QWidget* parent) {
        auto dialog = std::make_unique<frmProcess>(parent);
        progress = dialog.get();
        return dialog;
    });
    // Cancel pressed while K0003 is on its way.
    bool cancel = false;
    platform::CallbackEventPump pump([&] {
        if (cancel && progress != nullptr && progress->lblMsg->text() == "K0003")
            progress->Cancel = 1;
    });
    platform::ScopedEventPump scopedPump(pump);
    struct Case {
        const char* what;
        bool replace;
        std::string damaged;  // a page that fails
        std::string message;
        std::string kept;  // where the two pages printed went
    };
    const Case cases[] = {
        {"cancel", true, "",
         "Print Job Aborted at User Request\n" + report +
             " is unchanged; the pages printed are in " + beside,
         beside},
        {"failure", true, "K0003",
         "Unable to Open Image File\nK0003\n" + report +
             " is unchanged; the pages printed are in " + beside,
         beside},
        // A new name keeps the pages so far under that name.
        {"cancel, new name", false, "", "Print Job Aborted at User Request", report},
    };
    for (const Case& c : cases) {
        QFile::remove(QString::fromStdString(report));
        QFile::remove(QString::fromStdString(beside));
        if (c.replace) testsupport::WriteFile(report, "the old report");
        cancel = c.damaged.empty();
        host.session.images["K0003"] =
            c.damaged.empty() ? testsupport::PagePng() : testsupport::DamagedJpeg();
        host.session.passThroughSent.clear();
        prompts.Clear();
        testsupport::FakeDialogRunner runner;
        mComDlg::ScopedDialogRunner scoped(runner);
        runner.files.push_back(mComDlg::FileAnswer{report, 1});
        if (c.replace) prompts.QueueAnswer(platform::vbYes);  // replace it
        Local(1, 0);
        driver.printRequest.PrintLocalPrinter = platform::kPdfPrinterName;
        driver.PrintSelection(true);
        EXPECT_EQ(prompts.Messages().back(), c.message) << c.what;
        if (c.replace) {
            EXPECT_EQ(testsupport::ReadFile(report), "the old report") << c.what;
        }
        EXPECT_EQ(PdfPages(c.kept), 2) << c.what;
        EXPECT_EQ(Logs(), std::vector<std::string>{"TALQUpdtPrintLog,2,0"}) << c.what;
    }
}

TEST_F(PrintDriverTest, ARangeEndedEarlySaysWhyAndLogsOnlyThePagesPrinted) {
    auto print = [&](const char* what, const std::string& message) {
        prompts.Clear();
        host.session.passThroughSent.clear();
        Local(1, 0);
        driver.PrintSelection();
        EXPECT_EQ(prompts.Messages(), std::vector<std::string>{message}) << what;
        EXPECT_EQ(Logs(), std::vector<std::string>{"TALQUpdtPrintLog,2,0"}) << what;
    };
    host.session.nextKeyErrors["K0002"] = "Request Currently In Process";
    print("the next key cannot be had",
          "Unable to Find the Page after K0002\nRequest Currently In Process");
    host.session.nextKeyErrors.clear();
    host.session.pageKeys = {"K0001", "K0002", "k0002", "K0003"};
    host.session.images["k0002"] = testsupport::PagePng();
    print("the next key does not sort after",
          "Unable to Find the Page after K0002\nk0002 comes before it");
    host.session.pageKeys = {"K0001", "K0002", "K0003", "K0004", "K0005"};
    host.session.nextKeyErrors["K0002"] = "";
    print("no page after one short of the end",
          "Unable to Find the Page after K0002\nthe server has none before K0003");
    host.session.nextKeyErrors.clear();

    // A range that ends before it begins prints nothing, and says so.
    prompts.Clear();
    host.session.passThroughSent.clear();
    prompts.QueueInput("K0004");
    prompts.QueueInput("K0002");
    Local(2, 0);
    driver.PrintSelection();
    EXPECT_EQ(prompts.Messages(),
              std::vector<std::string>{"Nothing to Print: K0002 comes before K0004"});
    EXPECT_EQ(Logs(), std::vector<std::string>{});
}

// X repeats a key held down as a release and a press of one instant, and Qt
// marks only some of those pairs as repeats.
void SendHeldKey(QWidget* to, int key, std::uint64_t at, bool marked) {
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, QString(), marked);
    release.setTimestamp(at);
    QApplication::sendEvent(to, &release);
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, QString(), marked);
    press.setTimestamp(at);
    QApplication::sendEvent(to, &press);
}

void SendKeyPress(QWidget* to, int key, std::uint64_t at) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
    press.setTimestamp(at);
    QApplication::sendEvent(to, &press);
}

TEST_F(PrintDriverTest, AKeyHeldDownNeitherCancelsAPrintNorDismissesItsWarning) {
    // The key that closed a box, still down, repeats into the progress
    // window, where Cancel has the focus and is the default button.
    std::uint64_t at = 1000;
    bool pressOnce = false;
    platform::CallbackEventPump pump([&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* progress = qobject_cast<frmProcess*>(w);
            if (progress == nullptr || !progress->isVisible()) continue;
            for (int key : {Qt::Key_Return, Qt::Key_Escape, Qt::Key_Space}) {
                SendHeldKey(progress->cmdCancel, key, at += 40, true);
                SendHeldKey(progress->cmdCancel, key, at += 40, false);
            }
            if (pressOnce) SendKeyPress(progress->cmdCancel, Qt::Key_Return, at += 500);
            pressOnce = false;
        }
    });
    platform::ScopedEventPump scopedPump(pump);
    Local(1, 0);
    driver.PrintSelection();
    EXPECT_EQ(Printer().images.size(), 3u);
    EXPECT_EQ(prompts.Messages(), std::vector<std::string>{});
    EXPECT_EQ(Logs(), std::vector<std::string>{"TALQUpdtPrintLog,3,0"});
    // A key pressed on purpose still cancels, and says so.
    pressOnce = true;
    host.session.passThroughSent.clear();
    driver.PrintSelection();
    EXPECT_EQ(prompts.Messages(), std::vector<std::string>{"Print Job Aborted at User Request"});
    EXPECT_EQ(driver.CurrentPrint().PrintErrText, "Print Job Aborted at User Request");
    EXPECT_EQ(Logs(), std::vector<std::string>{});

    // Nor does the key close the warning that tells why a print stopped.
    platform::QtPrompts screen;
    bool upUnderHeldKey = false;
    testsupport::ModalAnswerer answerer([&](QWidget* w) {
        auto* box = qobject_cast<QMessageBox*>(w);
        if (box == nullptr) return;
        for (int key : {Qt::Key_Return, Qt::Key_Escape, Qt::Key_Space}) {
            SendHeldKey(box->defaultButton(), key, at += 40, true);
            SendHeldKey(box->defaultButton(), key, at += 40, false);
        }
        upUnderHeldKey = box->isVisible();
        SendKeyPress(box->defaultButton(), Qt::Key_Return, at += 500);
    });
    EXPECT_EQ(screen.MsgBox("Print Job Aborted at User Request", platform::vbCritical, "Warning"),
              platform::vbOK);
    EXPECT_TRUE(upUnderHeldKey);
}

}  // namespace
