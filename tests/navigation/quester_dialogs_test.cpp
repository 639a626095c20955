// The concept search's dialogs: the phrase, the polling progress window and
// the spelling and concept choices that rebuild the phrase.

#include "navigation/widgets/quester_dialogs.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>

#include <functional>
#include <string>

#include "platform/scripted_prompts.h"

namespace {

using navigation::frmIDexSpell;
using navigation::frmMMSearchConcepts;
using navigation::frmQuesterCancel;
using navigation::frmQuesterSearch;
using navigation::QuesterRow;

class QuesterDialogTest : public ::testing::Test {
  protected:
    platform::ScriptedPrompts prompts;
    platform::ScopedPrompts scoped{prompts};
};

TEST_F(QuesterDialogTest, TheSearchDialogNeedsAPhraseAndItsCloseBoxCancels) {
    frmQuesterSearch dialog;
    dialog.SpellCheck = true;
    dialog.Load();
    EXPECT_TRUE(dialog.Check1->isChecked());
    dialog.Text1->setText("   ");
    dialog.cmdSearch_Click();
    EXPECT_EQ(prompts.Beeps(), 1);
    EXPECT_EQ(dialog.Cancelled, 0) << "an empty phrase keeps the dialog open";
    dialog.Text1->setText("  breach of warranty ");
    dialog.Check1->setChecked(false);
    dialog.close();
    EXPECT_EQ(dialog.Cancelled, 1) << "closing is Cancel: no empty search starts";
    EXPECT_FALSE(dialog.SpellCheck) << "the box is read however the dialog closes";

    frmQuesterSearch again;
    again.Load();
    again.Text1->setText("  breach of warranty ");
    again.cmdSearch_Click();
    EXPECT_EQ(again.Cancelled, 0);
    EXPECT_EQ(again.Phrase, "breach of warranty");
}

// A search the progress window polls: runs for a number of polls, then ends
// with or without a result; onPoll runs inside each poll, as the event loop
// would while the reply is awaited.
struct ScriptedSearch : navigation::QuesterApi {
    int runningPolls = 0;
    bool active = true;
    int polls = 0;
    std::function<void()> onPoll;
    bool QuesterCheckSearch() override {
        ++polls;
        if (onPoll) onPoll();
        return polls <= runningPolls;
    }
    bool IsQuesterActive() override { return active; }
};

TEST_F(QuesterDialogTest, TheProgressWindowPollsOnceATickUntilTheSearchEnds) {
    struct Case {
        const char* name;
        bool active;
        std::int32_t status;
    } cases[] = {{"ended with a result", true, 0}, {"ended without one", false, 2}};
    for (const Case& c : cases) {
        ScriptedSearch search;
        search.runningPolls = 2;
        search.active = c.active;
        frmQuesterCancel window;
        window.ViewForm = &search;
        window.Load();
        EXPECT_TRUE(window.Timer1->isActive());
        EXPECT_EQ(window.Timer1->interval(), 1000);
        // A tick arriving while a poll waits for its reply does nothing.
        search.onPoll = [&] { window.Timer1_Timer(); };
        window.Timer1_Timer();
        window.Timer1_Timer();
        EXPECT_EQ(search.polls, 2) << c.name;
        EXPECT_FALSE(window.isVisible());
        window.Timer1_Timer();
        EXPECT_EQ(search.polls, 3) << c.name;
        EXPECT_EQ(window.Status, c.status) << c.name;
        EXPECT_FALSE(window.Timer1->isActive()) << c.name << ": the window has closed";
    }
}

TEST_F(QuesterDialogTest, CancelAsksAndOnlyAYesStopsWaitingAtTheNextTick) {
    ScriptedSearch search;
    search.runningPolls = 100;
    frmQuesterCancel window;
    window.ViewForm = &search;
    window.Load();
    prompts.QueueAnswer(platform::vbNo);
    window.cmdCancel_Click();
    ASSERT_EQ(prompts.Messages().size(), 1u);
    EXPECT_EQ(prompts.Messages()[0], "Are you sure you want to Cancel this process?");
    EXPECT_EQ(prompts.Records().back().style,
              platform::vbYesNo | platform::vbQuestion | platform::vbDefaultButton2);
    EXPECT_EQ(prompts.Records().back().title, "Warning");
    window.Timer1_Timer();
    EXPECT_EQ(search.polls, 1) << "No keeps polling";
    prompts.QueueAnswer(platform::vbYes);
    window.close();  // the close box asks the same
    EXPECT_EQ(window.Status, 1);
    window.Timer1_Timer();
    EXPECT_EQ(search.polls, 1) << "nothing more is asked of the server";
    EXPECT_FALSE(window.Timer1->isActive());
}

QuesterRow Row(const char* word, std::vector<std::string> choices, int selected = 0) {
    return QuesterRow{word, std::move(choices), selected};
}

TEST_F(QuesterDialogTest, SpellingChoicesReplaceTheirWordsWholeAndExactCase) {
    struct Case {
        const char* name;
        const char* phrase;
        std::vector<QuesterRow> rows;
        std::vector<int> picks;  // per row, -1 none
        const char* result;
    } cases[] = {
        {"one row",
         "recieve payment",
         {Row("recieve", {"receive", "relieve"})},
         {0},
         "receive payment"},
        {"only the second row chosen",
         "recieve paymnet",
         {Row("recieve", {"receive"}), Row("paymnet", {"payment"})},
         {-1, 0},
         "recieve payment"},
        {"twice, but not another case",
         "form Form form",
         {Row("form", {"from"})},
         {0},
         "from Form from"},
        {"not inside a longer word", "form formal", {Row("form", {"from"})}, {0}, "from formal"},
    };
    for (const Case& c : cases) {
        frmIDexSpell dialog;
        dialog.Load();
        for (const QuesterRow& row : c.rows) dialog.AddRow(row);
        dialog.Phrase = c.phrase;
        dialog.ShowPhrase();
        EXPECT_EQ(dialog.lblPhrase->text().toStdString(), c.phrase);
        EXPECT_FALSE(dialog.cmdSearch->isEnabled());
        for (size_t r = 0; r < c.picks.size(); ++r) {
            if (c.picks[r] < 0) continue;
            dialog.Definitions[r]->setCurrentRow(c.picks[r]);
            dialog.Definitions_Click(static_cast<int>(r));
        }
        EXPECT_TRUE(dialog.cmdSearch->isEnabled()) << c.name;
        dialog.cmdSearch_Click();
        EXPECT_EQ(dialog.Cancelled, 0) << c.name;
        EXPECT_EQ(dialog.Phrase, c.result) << c.name;
    }

    frmIDexSpell closed;
    closed.Load();
    closed.AddRow(Row("recieve", {"receive"}));
    closed.close();
    EXPECT_EQ(closed.Cancelled, 1) << "closing the spelling dialog is Exit";
}

TEST_F(QuesterDialogTest, ConceptChoicesBuildTheNewPhrase) {
    frmMMSearchConcepts dialog;
    dialog.Load();
    dialog.AddRow(Row("bank", {"river side", "money institution"}, 2));
    dialog.AddRow(Row("loan", {"credit"}, 1));
    dialog.AddRow(Row("rate", {"price", "speed"}, 0));
    dialog.LoadArray();
    EXPECT_EQ(dialog.Definitions[0]->currentItem()->text(), "money institution");
    dialog.Definitions[0]->setCurrentRow(0);
    dialog.Definitions_Click(0);
    EXPECT_FALSE(dialog.cmdSearch->isEnabled()) << "a single click does not enable";
    dialog.Definitions_DblClick(0);
    EXPECT_TRUE(dialog.cmdSearch->isEnabled());
    dialog.cmdSearch_Click();
    EXPECT_EQ(dialog.Cancelled, 0);
    EXPECT_EQ(dialog.Selection, "bank1,loan,rate0");

    frmMMSearchConcepts unchanged;
    unchanged.Load();
    unchanged.AddRow(Row("bank", {"river side", "money institution"}, 2));
    unchanged.LoadArray();
    unchanged.Definitions_DblClick(0);
    EXPECT_FALSE(unchanged.cmdSearch->isEnabled()) << "the same definition as at first";
    unchanged.cmdSearch_Click();
    EXPECT_EQ(unchanged.Selection, "");
}

}  // namespace
