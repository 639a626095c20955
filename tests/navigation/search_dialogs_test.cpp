#include "navigation/widgets/search_dialogs.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>

#include "fake_query_api.h"
#include "foundation/widgets/common_dialogs.h"
#include "navigation/widgets/quester_dialogs.h"
#include "platform/scripted_prompts.h"
#include "platform/text_codec.h"
#include "support/fake_dialog_runner.h"
#include "support/scoped_env.h"

namespace {

using navigation::frmDtSrch;
using navigation::frmSelTag;
using navigation::frmTxtSrch;

const std::string kSep(1, '\x1E');

class SelTagTest : public ::testing::Test {
  protected:
    void Open(const std::string& pool) {
        if (!pool.empty())
            api_.Queue(pool);
        else
            api_.Queue("NONE");
        dialog_.ClientAPI = &api_;
        dialog_.Load();
    }
    testsupport::FakeQueryApi api_;
    platform::ScriptedPrompts prompts_;
    platform::ScopedPrompts scoped_{prompts_};
    frmSelTag dialog_;
};

TEST_F(SelTagTest, FirstChosenComesFirstThenTheOthersInListOrder) {
    Open("P,Q,R");
    EXPECT_EQ(api_.sent.back(), "TALQGetTagPoolList,ANN,pw,Proj");
    EXPECT_EQ(dialog_.List1->count(), 3);
    EXPECT_FALSE(dialog_.Frame1->isEnabled());
    dialog_.ClickEntry(2);
    dialog_.ClickEntry(0);
    EXPECT_TRUE(dialog_.Frame1->isEnabled());
    dialog_.ClickEntry(1);
    dialog_.Option1[2]->setChecked(true);
    dialog_.cmdOK_Click();
    EXPECT_EQ(dialog_.SelectedTags, "R" + kSep + "P" + kSep + "Q");
    EXPECT_EQ(dialog_.SelectedCount, 3);
    EXPECT_EQ(dialog_.TagLogic, 2);
}

TEST_F(SelTagTest, DeselectingTheFirstLeavesTheRestAndDisablesTheLogic) {
    Open("P,Q,R");
    dialog_.ClickEntry(0);
    dialog_.ClickEntry(1);
    dialog_.Option1[1]->setChecked(true);
    dialog_.ClickEntry(0);
    EXPECT_FALSE(dialog_.Frame1->isEnabled());
    EXPECT_FALSE(dialog_.Option1[1]->isEnabled());
    EXPECT_EQ(dialog_.TagLogic, 1);  // kept while disabled
    dialog_.cmdOK_Click();
    EXPECT_EQ(dialog_.SelectedTags, "Q");
    EXPECT_EQ(dialog_.SelectedCount, 1);
}

TEST_F(SelTagTest, CancelChoosesNothingAndOkWantsAChoice) {
    Open("P,Q");
    dialog_.cmdOK_Click();  // nothing selected: a beep, the dialog stays
    EXPECT_EQ(prompts_.Beeps(), 1);
    EXPECT_EQ(dialog_.SelectedCount, 0);
    dialog_.ClickEntry(0);
    dialog_.cmdCancel_Click();
    EXPECT_EQ(dialog_.SelectedCount, 0);
}

// A pool that could not be read is no empty pool: it offers nothing, not
// even the empty pool's line, and is marked for the caller to tell why.
TEST(SelTagPool, AFailedReadIsNotShownAsAnEmptyPool) {
    platform::ScriptedPrompts prompts;
    platform::ScopedPrompts scoped(prompts);
    const struct {
        const char* reply;
        bool ok;
        std::vector<std::string> entries;
        bool unread;
    } cases[] = {
        {"NONE", true, {"No Issue Tags Defined"}, false},
        {"ERROR: Invalid Data Returned", false, {}, true},
        {"", false, {}, true},
        {"P,Q", true, {"P", "Q"}, false},
    };
    for (const auto& c : cases) {
        frmSelTag dialog;
        testsupport::FakeQueryApi api;
        api.Queue(c.reply, c.ok);
        dialog.ClientAPI = &api;
        dialog.Load();
        std::vector<std::string> entries;
        for (int i = 0; i < dialog.List1->count(); ++i)
            entries.push_back(dialog.List1->item(i)->text().toStdString());
        EXPECT_EQ(entries, c.entries) << c.reply;
        EXPECT_EQ(dialog.PoolUnread, c.unread) << c.reply;
        EXPECT_EQ(dialog.cmdOK->isEnabled(), c.ok && c.entries.size() > 1) << c.reply;
    }
    EXPECT_TRUE(prompts.Records().empty()) << "the dialog itself tells nothing";
}

TEST(TxtSrch, OkTrimsCancelEmptiesAndTheOperatorFollowsTheOptions) {
    frmTxtSrch dialog;
    dialog.DialogCaption = "Search Notes and Annotations";
    dialog.Operator = 7;
    dialog.Load();
    EXPECT_EQ(dialog.Operator, 1);
    EXPECT_TRUE(dialog.Option1[1]->isChecked());
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Search Notes and Annotations"));
    dialog.Option1[0]->setChecked(true);
    EXPECT_EQ(dialog.Operator, 0);
    dialog.Text1->setText("   ");
    dialog.cmdOK_Click();
    EXPECT_EQ(dialog.SearchText, "");
    EXPECT_EQ(dialog.DialogCaption, "");

    frmTxtSrch typed;
    typed.Load();
    typed.Text1->setText("  brown fox ");
    typed.cmdOK_Click();
    EXPECT_EQ(typed.SearchText, "brown fox");
    frmTxtSrch cancelled;
    cancelled.SearchText = "x";
    cancelled.Load();
    cancelled.cmdCancel_Click();
    EXPECT_EQ(cancelled.SearchText, "");
}

class DtSrchTest : public ::testing::Test {
  protected:
    DtSrchTest() { frmDtSrch::TodayForTest() = "20260315"; }
    ~DtSrchTest() override { frmDtSrch::TodayForTest().clear(); }
    // OK with a first (and second) date; true when the dialog closed.
    bool Try(int criterion, const std::string& first, const std::string& second = "") {
        frmDtSrch dialog;
        dialog.Criterion = static_cast<std::int16_t>(criterion);
        dialog.Load();
        dialog.txtDate1->setText(QString::fromStdString(first));
        dialog.txtDate2->setText(QString::fromStdString(second));
        dialog.cmdOK_Click();
        return dialog.result() == QDialog::Accepted;
    }
    platform::ScriptedPrompts prompts_;
    platform::ScopedPrompts scoped_{prompts_};
};

TEST_F(DtSrchTest, FirstOpeningShowsTodayEqualToAndNoSecondBox) {
    frmDtSrch dialog;
    dialog.show();
    dialog.Load();
    EXPECT_EQ(dialog.txtDate1->text(), QStringLiteral("20260315"));
    EXPECT_EQ(dialog.Combo1->currentText(), QStringLiteral("Equal To"));
    EXPECT_EQ(dialog.Criterion, 1);
    EXPECT_FALSE(dialog.txtDate2->isVisible());
    dialog.Combo1->setCurrentIndex(3);
    EXPECT_TRUE(dialog.txtDate2->isVisible());
    dialog.Combo1->setCurrentIndex(4);
    EXPECT_FALSE(dialog.Frame2->isVisible());
    dialog.cmdCancel_Click();
    EXPECT_EQ(dialog.Criterion, 0);
    EXPECT_EQ(frmDtSrch::Today(), "20260315");
    frmDtSrch::TodayForTest().clear();
    EXPECT_EQ(frmDtSrch::Today(), QDate::currentDate().toString("yyyyMMdd").toStdString());
}

TEST_F(DtSrchTest, DatesAreEightDigitsWithinTheYearAndMonthRules) {
    EXPECT_FALSE(Try(1, "20261301"));
    EXPECT_EQ(prompts_.Records().back().title, "Invalid Date Entered");
    EXPECT_EQ(prompts_.Messages().back(), "Date Format must be YYYYMMDD");
    EXPECT_TRUE(Try(1, "00000000"));
    EXPECT_TRUE(Try(2, "20260000"));
    EXPECT_FALSE(Try(3, "20280101"));
    EXPECT_TRUE(Try(3, "20270101"));
    EXPECT_FALSE(Try(1, "2026031"));
    EXPECT_FALSE(Try(1, "2026-3-1"));
}

TEST_F(DtSrchTest, BetweenNeedsAnEndNotBeforeTheStart) {
    EXPECT_FALSE(Try(4, "20260102", ""));
    EXPECT_EQ(prompts_.Messages().back(), "Missing Ending Date Range");
    EXPECT_FALSE(Try(4, "20260102", "20260101"));
    EXPECT_EQ(prompts_.Messages().back(), "Ending Date comes before Start Date");
    EXPECT_EQ(prompts_.Records().back().title, "Invalid date Range");
    EXPECT_TRUE(Try(4, "20260102", "20260102"));
    frmDtSrch dialog;
    dialog.Criterion = 4;
    dialog.Load();
    dialog.txtDate1->setText("20250101");
    dialog.txtDate2->setText("20251231");
    dialog.cmdOK_Click();
    EXPECT_EQ(dialog.StartDate, "20250101");
    EXPECT_EQ(dialog.EndDate, "20251231");
}

TEST_F(DtSrchTest, WithoutADateAsksAndKeepsTheDatesItWasGiven) {
    frmDtSrch dialog;
    dialog.Criterion = 5;
    dialog.EndDate = "19990101";
    dialog.Load();
    dialog.txtDate1->setText("garbage");
    prompts_.QueueAnswer(platform::vbNo);
    dialog.cmdOK_Click();
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(dialog.Criterion, 5);
    const platform::PromptRecord& asked = prompts_.Records().back();
    EXPECT_EQ(asked.title, "OK to Proceed?");
    EXPECT_EQ(asked.style,
              platform::vbYesNo | platform::vbInformation | platform::vbDefaultButton2);
    prompts_.QueueAnswer(platform::vbYes);
    dialog.cmdOK_Click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.Criterion, 5);
    EXPECT_EQ(dialog.StartDate, "20260315");
    EXPECT_EQ(dialog.EndDate, "19990101");
}

// A character the code page cannot hold must not reach the server or a file
// as "?": in a search "?" may match any character.
TEST(CodePageText, SearchBoxesAndFileChoicesRefuseWhatTheyCannotKeep) {
    platform::ScriptedPrompts prompts;
    platform::ScopedPrompts scoped{prompts};
    const QString typed = QString::fromUtf8("re\u4E2Dsum\U0001F600\u00E9");

    frmTxtSrch text;
    text.Load();
    text.Text1->insert(typed);
    text.cmdOK->click();
    EXPECT_EQ(text.SearchText, "resum\xE9");

    navigation::frmQuesterSearch quester;
    quester.Load();
    quester.Text1->insert(typed);
    quester.cmdSearch->click();
    EXPECT_EQ(quester.Phrase, "resum\xE9");

    EXPECT_EQ(prompts.Beeps(), 2);

    // A chosen file whose name the code page cannot hold is refused and the
    // dialog offered again, in the folder it was chosen in and with no name,
    // never handed back as some other file.
    testsupport::FakeDialogRunner runner;
    mComDlg::ScopedDialogRunner scopedRunner{runner};
    testsupport::ScopedTempDir dir;
    const QString chosen =
        QString::fromStdString(dir.Path()) + QString::fromUtf8("/keys\u4E2D.txt");
    mComDlg::FileAnswer unkept;
    unkept.path = platform::FromQString(chosen);
    unkept.filterIndex = 1;
    unkept.nameKept = platform::OutsideCodePage(chosen).isEmpty();
    runner.files.push_back(unkept);
    std::string path = dir.Path() + "/start.txt";
    EXPECT_FALSE(mComDlg::ShowFileDialog(nullptr, path, "Text Files|*.txt", 1, 0));
    ASSERT_EQ(runner.fileRequests.size(), 2u);
    EXPECT_EQ(runner.fileRequests[1].folder, dir.Path());
    EXPECT_EQ(runner.fileRequests[1].fileName, "");
    EXPECT_EQ(path, dir.Path() + "/start.txt");
    ASSERT_FALSE(prompts.Messages().empty());
    EXPECT_NE(prompts.Messages().back().find("cannot keep"), std::string::npos);
    EXPECT_EQ(prompts.Beeps(), 3);
}

}  // namespace
