#include "foundation/widgets/generic_dialogs.h"

#include <gtest/gtest.h>

#include <QGroupBox>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include "foundation/widgets/dialog_factory.h"
#include "platform/scripted_prompts.h"
#include "support/scripted_dialog.h"

namespace {

std::string Join(std::initializer_list<std::string> items) {
    std::string text;
    for (const std::string& item : items) {
        if (!text.empty()) text += kListSep;
        text += item;
    }
    return text;
}

class GenericDialogs : public ::testing::Test {
  protected:
    platform::ScriptedPrompts prompts;
    platform::ScopedPrompts scoped{prompts};
};

// ---------------------------------------------------------------- frmListBox

TEST_F(GenericDialogs, ListBoxPreselectsByFirstTabFieldAndReturnsIt) {
    frmListBox box;
    box.TitleText = "Select Project";
    box.ItemList = Join({"BETA\tsecond", "ALPHA\tfirst project", "GAMMA"});
    box.SelectedItem = "alpha";
    box.Load();
    EXPECT_EQ(box.windowTitle(), "Select Project");
    EXPECT_EQ(box.List1->count(), 3);
    EXPECT_EQ(box.List1->currentRow(), 1);
    // The inputs are consumed when the window loads.
    EXPECT_TRUE(box.ItemList.empty());
    EXPECT_TRUE(box.SelectedItem.empty());
    box.cmdOK_Click();
    EXPECT_EQ(box.SelectedItem, "ALPHA");
    EXPECT_EQ(box.Cancelled, 0);
    EXPECT_EQ(box.result(), QDialog::Accepted);
}

TEST_F(GenericDialogs, ListBoxSelectsTheLastMatchOrElseTheFirstLine) {
    frmListBox twice;
    twice.ItemList = Join({"A\tone", "B", "a\ttwo"});
    twice.SelectedItem = "A";
    twice.Load();
    EXPECT_EQ(twice.List1->currentRow(), 2);

    frmListBox none;
    none.ItemList = Join({"A", "B"});
    none.SelectedItem = "Z";
    none.Load();
    EXPECT_EQ(none.List1->currentRow(), 0);
    EXPECT_EQ(none.windowTitle(), "Please Select");
}

TEST_F(GenericDialogs, EmptyListBoxOffersNothingToChoose) {
    frmListBox box;
    box.Load();
    ASSERT_EQ(box.List1->count(), 1);
    EXPECT_EQ(box.List1->item(0)->text(), "No Items Available");
    EXPECT_FALSE(box.cmdOK->isEnabled());
    EXPECT_FALSE(box.List1->isEnabled());
    box.cmdOK_Click();
    EXPECT_TRUE(box.SelectedItem.empty());
    box.cmdCancel_Click();
    EXPECT_EQ(box.Cancelled, 1);
}

TEST_F(GenericDialogs, ListBoxOkWithoutSelectionBeepsAndStaysOpen) {
    frmListBox box;
    box.ItemList = Join({"A", "B"});
    box.Load();
    box.List1->clearSelection();
    box.cmdOK_Click();
    EXPECT_EQ(prompts.Beeps(), 1);
    EXPECT_TRUE(box.SelectedItem.empty());
    EXPECT_NE(box.result(), QDialog::Accepted);
}

TEST_F(GenericDialogs, ListBoxNoSelectBlocksOkAndDoubleClick) {
    frmListBox box;
    box.ItemList = Join({"A", "B"});
    box.NoSelect = 1;
    box.Load();
    EXPECT_FALSE(box.cmdOK->isEnabled());
    box.List1_DblClick();
    EXPECT_TRUE(box.SelectedItem.empty());
    box.cmdCancel_Click();
    EXPECT_EQ(box.NoSelect, 0);
}

TEST_F(GenericDialogs, ListBoxDoubleClickChoosesTheLine) {
    frmListBox box;
    box.ItemList = Join({"A\tx", "B\ty"});
    box.Load();
    box.List1->setCurrentRow(1);
    box.List1_DblClick();
    EXPECT_EQ(box.SelectedItem, "B");
}

TEST_F(GenericDialogs, ListBoxCloseButtonIsCancel) {
    frmListBox box;
    box.ItemList = Join({"A", "B"});
    box.SelectedItem = "B";
    box.show();
    box.close();
    EXPECT_EQ(box.Cancelled, 1);
    EXPECT_TRUE(box.SelectedItem.empty());
    EXPECT_FALSE(box.isVisible());
}

TEST_F(GenericDialogs, ListBoxRunsModallyUntilOk) {
    frmListBox box;
    box.ItemList = Join({"A", "B"});
    box.SelectedItem = "B";
    QTimer::singleShot(0, &box, [&box] { box.cmdOK->click(); });
    EXPECT_EQ(box.exec(), QDialog::Accepted);
    EXPECT_EQ(box.SelectedItem, "B");
}

TEST_F(GenericDialogs, ListBoxEscapeIsCancel) {
    frmListBox box;
    box.ItemList = Join({"A"});
    QTimer::singleShot(0, &box, [&box] { box.reject(); });
    EXPECT_EQ(box.exec(), QDialog::Rejected);
    EXPECT_EQ(box.Cancelled, 1);
    EXPECT_TRUE(box.SelectedItem.empty());
}

// -------------------------------------------------------------------- SelBox

TEST_F(GenericDialogs, SelBoxTrailingSeparatorAddsNoOption) {
    SelBox box;
    box.TitleText = "Colour";
    box.OptionList = Join({"Red", "Green", "Blue"}) + kListSep;
    box.Selection = 0;
    box.Load();
    EXPECT_EQ(box.OptionCount, 3);
    ASSERT_EQ(box.Option1.size(), 3u);
    EXPECT_EQ(box.Option1[2]->text(), "Blue");
    EXPECT_EQ(box.Frame1->title(), "Colour");
    EXPECT_EQ(box.Selection, 1);
    EXPECT_TRUE(box.Option1[0]->isChecked());
    box.cmd_ok_Click();
    EXPECT_EQ(box.Selection, 1);
    EXPECT_EQ(box.result(), QDialog::Accepted);
}

TEST_F(GenericDialogs, SelBoxReturnsTheClickedOption) {
    SelBox box;
    box.OptionList = Join({"Red", "Green", "Blue"});
    box.Selection = 3;
    box.Load();
    EXPECT_TRUE(box.Option1[2]->isChecked());
    SelBox outOfRange;
    outOfRange.OptionList = Join({"Red", "Green"});
    outOfRange.Selection = 7;
    outOfRange.Load();
    EXPECT_EQ(outOfRange.Selection, 1);
    box.Option1[1]->click();
    EXPECT_EQ(box.Selection, 2);
    box.cmd_ok_Click();
    EXPECT_EQ(box.Selection, 2);
}

TEST_F(GenericDialogs, SelBoxCancelAndCloseButtonGiveZero) {
    SelBox cancelled;
    cancelled.OptionList = Join({"Red", "Green"});
    cancelled.Selection = 2;
    cancelled.Load();
    cancelled.cmd_cancel_Click();
    EXPECT_EQ(cancelled.Selection, 0);

    SelBox closed;
    closed.OptionList = Join({"Red", "Green"});
    closed.Selection = 2;
    closed.show();
    closed.close();
    EXPECT_EQ(closed.Selection, 0);
    EXPECT_EQ(closed.result(), QDialog::Rejected);
}

TEST_F(GenericDialogs, SelBoxWithoutOptionsCannotBeConfirmed) {
    SelBox box;
    box.Load();
    EXPECT_EQ(box.OptionCount, 0);
    EXPECT_EQ(box.Option1[0]->text(), "Invalid Options");
    EXPECT_FALSE(box.cmd_ok->isEnabled());
    box.cmd_ok_Click();
    EXPECT_NE(box.result(), QDialog::Accepted);
}

// ---------------------------------------------------------------- frmProcess

TEST_F(GenericDialogs, ProcessCancelStaysSetAndKeepsTheWindowOpen) {
    frmProcess process;
    process.CaptionText = "Sorting Query";
    process.show();
    EXPECT_EQ(process.windowTitle(), "Sorting Query");
    EXPECT_EQ(process.Cancel, 0);
    process.cmdCancel->click();
    EXPECT_EQ(process.Cancel, 1);
    EXPECT_TRUE(process.isVisible());
    process.Unload();
    EXPECT_FALSE(process.isVisible());
    EXPECT_EQ(process.Cancel, 1);
}

TEST_F(GenericDialogs, ProcessCloseButtonAsksToStopButLeavesClosingToTheCaller) {
    frmProcess process;
    process.show();
    process.close();
    EXPECT_EQ(process.Cancel, 1);
    EXPECT_TRUE(process.isVisible());
    process.Unload();
    EXPECT_FALSE(process.isVisible());
}

TEST_F(GenericDialogs, FactoryHandsOutTheReplacementOnlyWhileScoped) {
    int runs = 0;
    {
        talq::DialogFactory<SelBox>::Scoped scoped(
            testsupport::ScriptedMaker<SelBox>([](SelBox& box) { box.cmd_cancel_Click(); }, &runs));
        auto box = talq::DialogFactory<SelBox>::Create(nullptr);
        box->OptionList = Join({"A", "B"});
        box->exec();
        EXPECT_EQ(box->Selection, 0);
        EXPECT_EQ(runs, 1);
    }
    auto plain = talq::DialogFactory<SelBox>::Create(nullptr);
    EXPECT_EQ(dynamic_cast<testsupport::ScriptedDialog<SelBox>*>(plain.get()), nullptr);
}

}  // namespace
