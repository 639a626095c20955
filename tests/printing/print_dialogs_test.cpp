// The print dialogs offscreen: what they show on loading, which controls
// they enable, and what OK leaves in the request, the engine and the store.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include "foundation/widgets/generic_dialogs.h"
#include "platform/printer_recording.h"
#include "platform/scripted_prompts.h"
#include "platform/settings_store.h"
#include "printing/gdi_prn.h"
#include "printing/widgets/frm_prt_key.h"
#include "printing/widgets/frm_prt_optn.h"
#include "printing/widgets/frm_prt_setup.h"
#include "support/enter_button.h"
#include "support/scoped_env.h"
#include "support/scripted_dialog.h"

namespace {

std::string Option(const char* key) {
    return platform::GetSetting("VYNClient", "Print Options", key, "<none>");
}

class PrintDialogsTest : public ::testing::Test {
  protected:
    PrintDialogsTest() : scoped_(prompts) {
        machine_ = std::make_shared<platform::RecordingPrinterCollection>();
        first_ = machine_->Add("First");
        second_ = machine_->Add("Second");
        platform::InstallPrinterCollection(machine_);
        viewer_.choices = &choices_;
        viewer_.engine = &engine_;
        viewer_.getBatchPrinters = [this](std::string& list) {
            list = batchList_;
            return batchCount_;
        };
        viewer_.validateBatchPrinter = [](const std::string& p) { return p == "LASER"; };
    }
    ~PrintDialogsTest() override { platform::InstallPrinterCollection(nullptr); }

    std::unique_ptr<frmPrtOptn> Options() {
        auto d = std::make_unique<frmPrtOptn>();
        d->Viewer = viewer_;
        d->Load();
        return d;
    }

    testsupport::ScopedUserStores stores_;
    platform::ScriptedPrompts prompts;
    platform::ScopedPrompts scoped_;
    std::shared_ptr<platform::RecordingPrinterCollection> machine_;
    std::shared_ptr<platform::RecordingPrinter> first_, second_;
    printing::PrintChoices choices_;
    cGdiPrn engine_;
    printing::PrintViewer viewer_;
    std::string batchList_;
    std::int16_t batchCount_ = 0;
};

TEST_F(PrintDialogsTest, PlacementStartsInRangeAndShowsBothLabelsOfASharedZone) {
    frmPrtKey d;
    d.KeyPsn = 0;
    d.MsgPsn = 9;
    d.Load();
    EXPECT_EQ(d.PageZone[5]->text(), "Key");
    EXPECT_EQ(d.PageZone[3]->text(), "Message");
    d.PageZone_Click(2);
    d.Option1_Click(1);
    d.PageZone_Click(2);
    EXPECT_EQ(d.PageZone[2]->text(), "Key\nMessage");
    EXPECT_TRUE(d.Check1->isEnabled());
    d.Check1->setChecked(true);
    d.Check1_Click();
    EXPECT_EQ(d.PageZone[2]->text(), "Message\nKey");
    d.Option1_Click(0);
    d.PageZone_Click(0);
    EXPECT_FALSE(d.Check1->isEnabled());  // moved apart: the check stays as it was
    d.cmd_ok_Click();
    EXPECT_EQ(d.KeyPsn, 1);
    EXPECT_EQ(d.MsgPsn, 3);
    EXPECT_TRUE(d.MsgAboveKey);
    EXPECT_EQ(d.Cancelled, 0);

    frmPrtKey cancelled;
    cancelled.Load();
    cancelled.PageZone_Click(0);
    cancelled.cmd_cancel_Click();
    EXPECT_EQ(cancelled.Cancelled, 1);
}

TEST_F(PrintDialogsTest, EnterPressesOkNotTheFirstSideButton) {
    const std::unique_ptr<frmPrtOptn> options = Options();
    EXPECT_EQ(testsupport::EnterButton(*options), options->cmdOK) << "not the printer list";
    frmPrtSetup setup;
    setup.Viewer = viewer_;
    EXPECT_EQ(testsupport::EnterButton(setup), setup.cmdOK);
    frmPrtKey placement;
    EXPECT_EQ(testsupport::EnterButton(placement), placement.cmd_ok);
}

TEST_F(PrintDialogsTest, SettingsShowClipsInSixteenthsAndOkStoresWhatIsShown) {
    engine_.TopClip(150);
    engine_.BottomClip(300);
    engine_.LeftClip(160);
    engine_.RightClip(-3);
    engine_.KeyFontSize(72);
    engine_.SupportedSizes(2);
    choices_.PrintLocalPrinter = "First";
    first_->bins = {{"Upper", 1}, {"Manual", 4}};
    frmPrtSetup d;
    d.Viewer = viewer_;
    d.Load();
    EXPECT_EQ(d.cboSize[0]->currentIndex(), 8);
    EXPECT_EQ(d.cboSize[0]->currentText(), "1/2");
    EXPECT_EQ(d.cboSize[1]->currentIndex(), 16);
    EXPECT_EQ(d.cboSize[2]->currentIndex(), 9);
    EXPECT_EQ(d.cboSize[3]->currentIndex(), 0);
    EXPECT_EQ(d.lblKeySize->text(), "48");
    ASSERT_EQ(d.cboSlip->count(), 3);
    EXPECT_EQ(d.cboSlip->itemText(0), "NONE - Same as Letter");
    EXPECT_EQ(d.cboSlip->itemText(2), "Manual");
    d.cboSlip->setCurrentIndex(2);
    // Letter only is stored as chosen.
    d.optSize[0]->setChecked(true);
    d.cmdOK_Click();
    EXPECT_EQ(engine_.TopClip(), 8);
    EXPECT_EQ(engine_.BottomClip(), 16);
    EXPECT_EQ(engine_.KeyFontSize(), 48);
    EXPECT_EQ(engine_.SupportedSizes(), 0);
    EXPECT_EQ(engine_.SlipSheetPaperTray(), 4);
    EXPECT_EQ(platform::GetSetting("VYNClient", "SlipSheetTray", "First", ""), "4");
}

TEST_F(PrintDialogsTest, SettingsDisableTheSlipBinForBatchAndPrintTheTestSlipFromTheChosenBin) {
    engine_.SlipSheetPaperTray(2);
    choices_.g_PrinterType = 1;
    frmPrtSetup batch;
    batch.Viewer = viewer_;
    batch.Load();
    EXPECT_FALSE(batch.fraSlip->isEnabled());
    batch.cmdOK_Click();
    EXPECT_EQ(engine_.SlipSheetPaperTray(), 2);

    choices_.g_PrinterType = 0;
    choices_.PrintLocalPrinter = "Second";
    second_->bins = {{"Upper", 1}, {"Manual", 4}};
    frmPrtSetup local;
    local.Viewer = viewer_;
    local.Load();
    local.cboSlip->setCurrentIndex(2);
    local.cmdTestPage_Click();
    EXPECT_TRUE(prompts.Messages().empty()) << prompts.Messages().front();
    EXPECT_NE(std::find(second_->calls.begin(), second_->calls.end(), "Bin 4"),
              second_->calls.end());
    EXPECT_FALSE(second_->images.empty());

    // No bins: the frame goes grey and the tray becomes 0.
    second_->bins.clear();
    frmPrtSetup none;
    none.Viewer = viewer_;
    none.Load();
    EXPECT_FALSE(none.fraSlip->isEnabled());
    EXPECT_EQ(engine_.SlipSheetPaperTray(), 0);
}

TEST_F(PrintDialogsTest, PrintDialogOpensOnTheCurrentPrinterWithNothingChecked) {
    auto d = Options();
    EXPECT_EQ(choices_.PrintLocalPrinter, "First");
    EXPECT_EQ(d->lblPrinter->text(), "First");
    EXPECT_TRUE(d->optPrinter[0]->isChecked());
    EXPECT_TRUE(d->optRange[0]->isChecked());
    EXPECT_EQ(choices_.g_PrintRange, 0);
    for (QCheckBox* c : d->chkAnnot) EXPECT_FALSE(c->isChecked()) << c->text().toStdString();
    EXPECT_TRUE(d->optColor[0]->isChecked());
    for (QRadioButton* b : d->optColor) EXPECT_FALSE(b->isEnabled());
    d->optRange_Click(2);
    EXPECT_EQ(choices_.g_PrintRange, 2);
    d->optPrinter_Click(1);
    EXPECT_FALSE(d->chkJob->isEnabled());
}

TEST_F(PrintDialogsTest, DocSlipSheetsAreOfferedOnlyForBatchPrinters) {
    platform::SaveSetting("VYNClient", "Print Options", "Flags", "128");
    auto d = Options();
    EXPECT_TRUE(d->chkAnnot[2]->isChecked());
    EXPECT_FALSE(d->chkAnnot[2]->isEnabled());
    d->optPrinter_Click(1);
    EXPECT_TRUE(d->chkAnnot[2]->isEnabled());
    d->optPrinter_Click(0);
    EXPECT_FALSE(d->chkAnnot[2]->isEnabled());
    d->cmdOK_Click();
    EXPECT_EQ(Option("Flags"), "128");
}

TEST_F(PrintDialogsTest, PrintDialogLoadsStoredChoicesAndOkSavesOnlyWhatItShows) {
    struct Case {
        std::string flags, type;
        std::int32_t redactAccess, annotAccess, tagAccess, mask;
        std::string savedFlags, savedType;
    };
    const Case cases[] = {
        {"4", "2", 0, 0, 0, 0, "0", "0"},         // bit 4 has no box; type 2 is local
        {"0", "0", 1, 0, 0, 0, "8", "0"},         // opaque redactions always print
        {"112", "0", 0, 2, 0, 0, "0", "0"},       // annotations hidden
        {"8304", "0", 0, 0, 2, 0x80, "96", "0"},  // tags and highlights hidden
        {"1801", "0", 0, 0, 0, 0, "777", "0"},    // black and white stored: black shows
    };
    for (const Case& c : cases) {
        platform::SaveSetting("VYNClient", "Print Options", "Flags", c.flags);
        platform::SaveSetting("VYNClient", "Print Options", "Type", c.type);
        viewer_.redactAccess = c.redactAccess;
        viewer_.annotAccess = c.annotAccess;
        viewer_.tagAccess = c.tagAccess;
        viewer_.featureMask = c.mask;
        auto d = Options();
        if (c.redactAccess == 1) {
            EXPECT_FALSE(d->chkAnnot[4]->isEnabled());
        }
        d->cmdOK_Click();
        EXPECT_EQ(Option("Flags"), c.savedFlags) << c.flags;
        EXPECT_EQ(Option("Type"), c.savedType) << c.flags;
        EXPECT_EQ(std::to_string(choices_.g_PrintFlags), c.savedFlags);
    }
}

TEST_F(PrintDialogsTest, AnImposedProjectMessageIsCheckedLockedAndReadOnly) {
    viewer_.projectMessage = "CONFIDENTIAL";
    auto d = Options();
    EXPECT_TRUE(d->chkAnnot[3]->isChecked());
    EXPECT_FALSE(d->chkAnnot[3]->isEnabled());
    EXPECT_TRUE(d->txtMsg->isReadOnly());
    d->cmdOK_Click();
    EXPECT_EQ(choices_.g_szPrintMsg, "CONFIDENTIAL");
    EXPECT_EQ(Option("Flags"), "2048");

    // A user who may leave it out gets it only as a starting text.
    viewer_.projectSecurity = 1;
    choices_.g_szPrintMsg = "Mine";
    platform::SaveSetting("VYNClient", "Print Options", "Flags", "0");
    auto free = Options();
    EXPECT_FALSE(free->chkAnnot[3]->isChecked());
    EXPECT_EQ(free->txtMsg->text(), "Mine");
    EXPECT_FALSE(free->txtMsg->isReadOnly());
}

TEST_F(PrintDialogsTest, PrinterChoicesCheckTheServerAndLoadEachPrintersSlipTray) {
    platform::SaveSetting("VYNClient", "SlipSheetTray", "Second", "3");
    auto d = Options();
    {
        talq::DialogFactory<frmListBox>::Scoped pick(
            testsupport::ScriptedMaker<frmListBox>([](frmListBox& l) {
                l.List1->setCurrentRow(1);
                l.cmdOK_Click();
            }));
        d->cmdPrinter_Click();
    }
    EXPECT_EQ(choices_.PrintLocalPrinter, "Second");
    EXPECT_EQ(engine_.SlipSheetPaperTray(), 3);

    d->optPrinter_Click(1);
    batchCount_ = 0;
    d->cmdPrinter_Click();
    EXPECT_EQ(prompts.Messages(), std::vector<std::string>{"No Batch Printers Available"});
    choices_.PrintBatchPrinter = "INKJET";
    d->cmdOK_Click();
    EXPECT_EQ(prompts.Messages().back(), "Invalid Batch Printer Selected");
    EXPECT_EQ(Option("Type"), "<none>");  // still open, nothing saved
    choices_.PrintBatchPrinter = "LASER";
    d->cmdOK_Click();
    EXPECT_EQ(Option("Type"), "1");
    EXPECT_EQ(Option("Batch Printer"), "LASER");
    EXPECT_EQ(d->Cancelled, 0);
}

}  // namespace
