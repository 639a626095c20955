// Printing from the main window: the pages each scope means, the layers a
// printed page carries, batch lines, cancel, the print log and the print
// dialog's road, on a recording printer and to a PDF file.

#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QStandardPaths>
#include <QTimer>

#include "foundation/widgets/generic_dialogs.h"
#include "platform/printer_pdf.h"
#include "platform/printer_recording.h"
#include "platform/wire_separators.h"
#include "printing/widgets/frm_prt_optn.h"
#include "support/annotation_box.h"
#include "support/fake_dialog_runner.h"
#include "support/scoped_env.h"
#include "support/scripted_dialog.h"
#include "viewer/frm_view_fixture.h"

namespace {

using testsupport::FrmViewTest;

constexpr std::int32_t kBlack = 0x000000;
constexpr std::int32_t kYellow = 0x00FFFF;

// A white letter page at 100 dpi.
std::string PagePng() {
    QImage page(850, 1100, QImage::Format_RGB32);
    page.fill(Qt::white);
    page.setDotsPerMeterX(3937);
    page.setDotsPerMeterY(3937);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    page.save(&buffer, "PNG");
    return bytes.toStdString();
}

// Share of the picture's pixels darker than mid grey, and whether any is yellow.
double DarkShare(const QImage& img) {
    std::int64_t dark = 0;
    for (int y = 0; y < img.height(); y += 4)
        for (int x = 0; x < img.width(); x += 4) dark += qGray(img.pixel(x, y)) < 128 ? 1 : 0;
    return static_cast<double>(dark) / ((img.height() / 4 + 1) * (img.width() / 4 + 1));
}
bool HasYellow(const QImage& img) {
    for (int y = 0; y < img.height(); y += 4)
        for (int x = 0; x < img.width(); x += 4) {
            const QRgb p = img.pixel(x, y);
            if (qRed(p) > 200 && qGreen(p) > 200 && qBlue(p) < 80) return true;
        }
    return false;
}

class FrmViewPrintTest : public FrmViewTest {
  protected:
    FrmViewPrintTest() {
        session->userValid = session->projectValid = true;
        session->projectName = "ACME";
        session->tempFile = dir_.Path() + "/print.img";
        session->pageKeys = {"K0001", "K0002", "K0003", "K0004", "K0005"};
        session->documents = {{"K0001", "K0003"}, {"K0004", "K0005"}};
        for (const std::string& k : session->pageKeys) session->images[k] = PagePng();
        // A redaction over most of every page and a highlight in its corner.
        for (const std::string& k : session->pageKeys) {
            session->annotations[k][kRedaction] =
                Text({testsupport::AnnotationBox(50, 50, 800, 900, kBlack)});
            session->annotations[k][kHighlight] =
                Text({testsupport::AnnotationBox(50, 950, 800, 1050, kYellow)});
        }
        session->passThrough = [](const std::string&, std::string& reply) {
            reply = "OK";
            return true;
        };
        machine_ = std::make_shared<platform::RecordingPrinterCollection>();
        printer_ = machine_->Add("Rec");
        platform::InstallPrinterCollection(machine_);
        window->page.g_ValidImage = 1;
        window->page.szCurrentKey = "K0002";
        Local(0, 0);
    }
    ~FrmViewPrintTest() override { platform::InstallPrinterCollection(nullptr); }

    static std::string Text(const AnnotationList& list) {
        std::string text;
        TalqClientAPI_Header::BuildAnnotationList(static_cast<int>(list.size()), list, text);
        return text;
    }
    void Local(std::int16_t range, std::int32_t flags) {
        window->printRequest.g_PrinterType = 0;
        window->printRequest.PrintLocalPrinter = "Rec";
        window->printRequest.g_PrintMode = 0;
        window->printRequest.g_PrintRange = range;
        window->printRequest.g_PrintFlags = flags;
        window->printRequest.PrintEntireJob = 1;
    }
    std::vector<std::string> Logs() const {
        std::vector<std::string> logs;
        for (const std::string& c : session->passThroughSent)
            if (c.rfind("TALQUpdtPrintLog,", 0) == 0) logs.push_back(c);
        return logs;
    }

    testsupport::ScopedTempDir dir_;
    std::shared_ptr<platform::RecordingPrinterCollection> machine_;
    std::shared_ptr<platform::RecordingPrinter> printer_;
};

TEST_F(FrmViewPrintTest, EachScopePrintsItsPagesAndLogsEachRange) {
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
    session->nearKeys["K0099"] = "K0005";
    for (const Case& c : cases) {
        printer_->images.clear();
        session->passThroughSent.clear();
        for (const std::string& in : c.inputs) prompts.QueueInput(in);
        if (c.inputs.size() == 2 && c.inputs[1] == "K0099") prompts.QueueAnswer(platform::vbYes);
        Local(c.range, 0);
        window->PrintSelection();
        EXPECT_EQ(printer_->images.size(), c.pages) << "range " << c.range;
        EXPECT_EQ(Logs(), c.logs) << "range " << c.range;
    }
    EXPECT_FALSE(window->IsInputBlocked());

    // An ending key in lower case still includes its page.
    printer_->images.clear();
    frmProcess progress;
    bool ok = false;
    window->PrintSelection();  // takes the request as the driver's own
    printer_->images.clear();
    window->StartPrintJob(0, ok);
    ASSERT_TRUE(ok);
    window->PrintDocumentPages(progress, "K0002", "k0004", 0);
    window->EndPrintJob();
    EXPECT_EQ(printer_->images.size(), 3u);
}

TEST_F(FrmViewPrintTest, RedactionsPrintWheneverThePageOrTheUserRequiresThem) {
    struct Case {
        std::int32_t flags;
        std::int32_t mark, redactAccess, annotAccess;
        bool redaction, highlight;
    };
    const std::int32_t color = 16384;
    const Case cases[] = {
        {color, 0, 0, 0, false, false},
        {color | 8, 0, 0, 0, true, false},
        {color | 16, 0, 0, 0, false, true},
        {color | 8 | 16, 0, 0, 0, true, true},
        // Highlights hidden from the user never print.
        {color | 8 | 16, 0, 0, 2, true, false},
        // A user whose redactions are opaque prints them unasked.
        {color, 0, 1, 0, true, false},
        // A marked page keeps its redactions and prints no other layer.
        {color | 16, 1, 2, 0, true, false},
        {color, 1, 0, 0, true, false},
    };
    for (const Case& c : cases) {
        printer_->images.clear();
        session->restricted = c.mark;
        window->project.g_RestrictRedactions = c.redactAccess;
        window->project.g_RestrictAnnotations = c.annotAccess;
        Local(0, c.flags);
        window->PrintSelection();
        ASSERT_EQ(printer_->images.size(), 1u) << prompts.Messages().back();
        const QImage& page = printer_->images.front();
        EXPECT_EQ(DarkShare(page) > 0.3, c.redaction) << "flags " << c.flags << " mark " << c.mark;
        EXPECT_EQ(HasYellow(page), c.highlight) << "flags " << c.flags << " mark " << c.mark;
    }
}

TEST_F(FrmViewPrintTest, AnOpaqueRedactionUserPrintsBlackUnderTheRedactionInThePdf) {
    if (QStandardPaths::findExecutable("pdftoppm").isEmpty()) GTEST_SKIP() << "no pdftoppm";
    const std::string pdf = dir_.Path() + "/out.pdf";
    platform::InstallPrinterCollection(nullptr);
    window->project.g_RestrictRedactions = 1;
    Local(1, 0);
    window->printRequest.PrintLocalPrinter = pdf;
    window->PrintSelection();
    ASSERT_TRUE(prompts.Messages().empty()) << prompts.Messages().front();
    QProcess raster;
    raster.start("pdftoppm",
                 {"-r", "30", "-gray", "-f", "2", "-l", "2", "-singlefile",
                  QString::fromStdString(pdf), QString::fromStdString(dir_.Path() + "/back")});
    ASSERT_TRUE(raster.waitForFinished(20000));
    const QImage back(QString::fromStdString(dir_.Path() + "/back.pgm"));
    ASSERT_FALSE(back.isNull());
    // The redaction covers the middle of the page; the image's foot is white.
    EXPECT_LT(qGray(back.pixel(back.width() / 2, back.height() / 2)), 64);
    EXPECT_GT(DarkShare(back), 0.3);
}

TEST_F(FrmViewPrintTest, BatchLinesCarryMarkLevelAndCleanedMessageAndTheJobIsClosed) {
    session->pageLevels["K0002"] = 2;
    session->pageMarks["K0002"] = 1;
    session->tags = "Hot,Later";
    window->printRequest.g_PrinterType = 1;
    window->printRequest.g_PrintRange = 1;
    window->printRequest.g_PrintFlags = 1 | 2048 | 8192;
    window->printRequest.g_szPrintMsg = "Conf~1\r\nnext";
    window->PrintSelection();
    EXPECT_EQ(session->batchOpens, 1);
    EXPECT_EQ(session->batchCloses, 1);
    EXPECT_EQ(session->batchLines,
              (std::vector<std::string>{"K0001~0~ACME~Conf-1@@next@Hot, Later~~K0001\n",
                                        "K0002*R~0~ACME~Conf-1@@next@Hot, Later~D~K0002\n",
                                        "K0003~0~ACME~Conf-1@@next@Hot, Later~~K0003\n"}));
    EXPECT_EQ(Logs(), std::vector<std::string>{"TALQUpdtPrintLog,0,3"});
    EXPECT_TRUE(printer_->images.empty());
}

TEST_F(FrmViewPrintTest, APageWhoseListsOrInfoCannotBeReadIsNotPrinted) {
    session->annotationsOk = false;
    Local(1, 8);
    window->PrintSelection();
    EXPECT_TRUE(printer_->images.empty());
    EXPECT_EQ(prompts.Messages(), std::vector<std::string>{"Unable to Get Annotations K0001"});
    EXPECT_TRUE(Logs().empty());
    session->annotationsOk = true;
    session->pageInfoOk = false;
    prompts.Clear();
    window->PrintSelection();
    EXPECT_TRUE(printer_->images.empty());
    EXPECT_EQ(prompts.Messages(), std::vector<std::string>{"Unable to Get Image Info K0001"});
}

TEST_F(FrmViewPrintTest, ANextKeyThatDoesNotSortAfterTheCurrentOneEndsTheWalk) {
    session->pageKeys = {"K0001", "K0002", "k0002", "K0003"};
    session->images["k0002"] = PagePng();
    prompts.QueueInput("K0002");
    prompts.QueueInput("K0003");
    Local(2, 0);
    window->PrintSelection();
    EXPECT_EQ(printer_->images.size(), 1u);
}

TEST_F(FrmViewPrintTest, CancelStopsAtTheNextPageAndNeitherASecondPrintNorACloseCanStartMeanwhile) {
    session->documents = {{"K0001", "K0005"}};
    Local(1, 0);
    bool refusedSecond = false;
    QTimer clicker;
    QObject::connect(&clicker, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* progress = qobject_cast<frmProcess*>(w);
            if (progress == nullptr || !progress->isVisible()) continue;
            if (progress->lblMsg->text() != "K0003") continue;
            const size_t before = printer_->images.size();
            window->PrintSelection();
            // Nor may the window close under the print.
            refusedSecond = printer_->images.size() == before && window->CurrentPrint().active &&
                            !window->close();
            progress->cmdCancel_Click();
        }
    });
    clicker.start(0);
    window->PrintSelection();
    clicker.stop();
    EXPECT_TRUE(refusedSecond);
    EXPECT_EQ(printer_->images.size(), 2u);
    EXPECT_EQ(prompts.Messages(), std::vector<std::string>{"Print Job Aborted at User Request"});
    EXPECT_EQ(Logs(), std::vector<std::string>{"TALQUpdtPrintLog,2,0"});
    EXPECT_FALSE(window->CurrentPrint().active);
}

TEST_F(FrmViewPrintTest, PrintingLeavesTheScreensBackBufferAlone) {
    window->picImage2.Resize(64, 48);
    window->picImage2.Image().fill(qRgb(10, 20, 30));
    Local(1, 8);
    window->PrintSelection();
    EXPECT_EQ(printer_->images.size(), 3u);
    EXPECT_EQ(window->picImage2.Width(), 64);
    EXPECT_EQ(window->picImage2.Image().pixel(5, 5), qRgb(10, 20, 30));
}

TEST_F(FrmViewPrintTest, QueryRowsFromTheSelectedOnePrintEachRowsDocument) {
    window->query.CurrentQuery.Kind = 2;
    window->query.CurrentQuery.Level = 2;
    window->QueryCombo->addItem("Document");
    window->QueryCombo->setCurrentIndex(0);
    window->QueryList->addItem("K0001");
    window->QueryList->addItem("K0004");
    window->QueryList->setCurrentRow(1);
    Local(1, 0);
    window->printRequest.g_PrintMode = 1;
    window->PrintSelection();
    EXPECT_EQ(printer_->images.size(), 2u);  // K0004 and K0005
    printer_->images.clear();
    window->printRequest.g_PrintRange = 0;
    window->PrintSelection();
    EXPECT_EQ(printer_->images.size(), 2u);
    EXPECT_EQ(window->printRequest.g_PrintMode, 0);
}

TEST_F(FrmViewPrintTest, EntireListPrintsEveryRowOfEverySetFromTheFirst) {
    // The server positions on no row of either set: the record's current
    // row is then each set's last.
    const std::string ss(1, wire::kSectionSep), rs(1, wire::kRecordSep);
    session->passThrough = [&](const std::string& command, std::string& reply) {
        if (command.rfind("TALQQueryScroll,", 0) != 0) return true;
        reply =
            command.back() == '1'
                ? "ZZZ" + ss + "p2" + ss + "MOREBEFORE" + ss + "2" + ss + "K0004" + rs + "K0005"
                : "ZZZ" + ss + "p1" + ss + "MOREFOLLOWS" + ss + "2" + ss + "K0001" + rs + "K0002";
        return true;
    };
    window->query.CurrentQuery.Kind = 2;
    window->QueryList->addItem("K0004");
    Local(2, 0);
    window->printRequest.g_PrintMode = 1;
    window->PrintSelection();
    EXPECT_EQ(printer_->images.size(), 4u);
    EXPECT_EQ(Logs(), (std::vector<std::string>{"TALQUpdtPrintLog,1,0", "TALQUpdtPrintLog,1,0",
                                                "TALQUpdtPrintLog,1,0", "TALQUpdtPrintLog,1,0"}));
}

TEST_F(FrmViewPrintTest, ThePrintButtonPrintsOnlyWhenTheDialogClosesWithOk) {
    for (bool ok : {false, true}) {
        talq::DialogFactory<frmPrtOptn>::Scoped dialog(testsupport::ScriptedMaker<frmPrtOptn>(
            [ok](frmPrtOptn& d) { ok ? d.cmdOK_Click() : d.cmdCancel_Click(); }));
        printer_->images.clear();
        window->Tbar_Click(1);
        EXPECT_EQ(printer_->images.size(), ok ? 1u : 0u);
        EXPECT_EQ(window->printRequest.g_PrintMode, 0);
    }
}

TEST_F(FrmViewPrintTest, AJobThePrinterCouldNotHandOverIsReportedNotPassedAsPrinted) {
    printer_->failEnd = true;
    window->PrintSelection();
    EXPECT_EQ(printer_->images.size(), 1u);
    EXPECT_EQ(prompts.Messages(),
              std::vector<std::string>{"Unable to Submit Image to Printer\nRec: not handed over"});
}

TEST_F(FrmViewPrintTest, ThePdfPrinterOfTheDialogWritesTheFileTheUserNamesAndElseANewOneEachTime) {
    testsupport::ScopedTempDir home;
    testsupport::ScopedEnv homeEnv("HOME", home.Path());
    const std::string documents = home.Path() + "/Documents";
    const std::string chosen = dir_.Path() + "/chosen.pdf";
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
        window->printRequest.PrintLocalPrinter = platform::kPdfPrinterName;
        window->PrintSelection(c.fromDialog);
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

}  // namespace
