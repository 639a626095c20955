// Printing from the main window: its entry points, the page on display and
// the query pane's rows as the driver's, and a print that holds off a
// second one and the window's close.

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QTimer>

#include "foundation/widgets/generic_dialogs.h"
#include "printing/widgets/frm_prt_optn.h"
#include "support/scripted_dialog.h"
#include "viewer/frm_view_fixture.h"
#include "viewer/print_scene.h"

namespace {

using testsupport::FrmViewTest;

class FrmViewPrintTest : public FrmViewTest {
  protected:
    FrmViewPrintTest() : scene_(*session) {
        window->page.g_ValidImage = 1;
        window->page.szCurrentKey = "K0002";
        Local(0, 0);
    }

    void Local(std::int16_t range, std::int32_t flags) {
        testsupport::PrintScene::Local(window->printDriver.printRequest, range, flags);
    }
    std::vector<std::string> Logs() const { return scene_.Logs(); }

    testsupport::PrintScene scene_;
    std::shared_ptr<platform::RecordingPrinter> printer_ = scene_.printer;
};

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
            refusedSecond = printer_->images.size() == before &&
                            window->printDriver.CurrentPrint().active && !window->close();
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
    EXPECT_FALSE(window->printDriver.CurrentPrint().active);
}

TEST_F(FrmViewPrintTest, PrintingLeavesTheScreensBackBufferAlone) {
    window->ui.picImage2.Resize(64, 48);
    window->ui.picImage2.Image().fill(qRgb(10, 20, 30));
    Local(1, printing::kPrintRedactions);
    window->PrintSelection();
    EXPECT_EQ(printer_->images.size(), 3u);
    EXPECT_EQ(window->ui.picImage2.Width(), 64);
    EXPECT_EQ(window->ui.picImage2.Image().pixel(5, 5), qRgb(10, 20, 30));
}

TEST_F(FrmViewPrintTest, QueryRowsFromTheSelectedOnePrintEachRowsDocument) {
    window->query.CurrentQuery.Kind = 2;
    window->query.CurrentQuery.Level = 2;
    window->ui.QueryCombo->addItem("Document");
    window->ui.QueryCombo->setCurrentIndex(0);
    window->ui.QueryList->addItem("K0001");
    window->ui.QueryList->addItem("K0004");
    window->ui.QueryList->setCurrentRow(1);
    Local(1, 0);
    window->printDriver.printRequest.g_PrintMode = 1;
    window->PrintSelection();
    EXPECT_EQ(printer_->images.size(), 2u);  // K0004 and K0005
    printer_->images.clear();
    window->printDriver.printRequest.g_PrintRange = 0;
    window->PrintSelection();
    EXPECT_EQ(printer_->images.size(), 2u);
    EXPECT_EQ(window->printDriver.printRequest.g_PrintMode, 0);
}

TEST_F(FrmViewPrintTest, ThePrintButtonPrintsOnlyWhenTheDialogClosesWithOk) {
    for (bool ok : {false, true}) {
        talq::DialogFactory<frmPrtOptn>::Scoped dialog(testsupport::ScriptedMaker<frmPrtOptn>(
            [ok](frmPrtOptn& d) { ok ? d.cmdOK_Click() : d.cmdCancel_Click(); }));
        printer_->images.clear();
        window->Tbar_Click(1);
        EXPECT_EQ(printer_->images.size(), ok ? 1u : 0u);
        EXPECT_EQ(window->printDriver.printRequest.g_PrintMode, 0);
    }
}

}  // namespace
