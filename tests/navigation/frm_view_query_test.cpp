// The query pane and its sources on the main window, answered by the
// stand-in server's engine.
#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QToolButton>

#include "../docserver/test_system.h"
#include "engine/command_engine.h"
#include "engine/system_db.h"
#include "foundation/widgets/generic_dialogs.h"
#include "navigation/widgets/search_dialogs.h"
#include "platform/clock.h"
#include "platform/event_pump.h"
#include "support/fake_dialog_runner.h"
#include "support/scripted_dialog.h"
#include "support/test_images.h"
#include "viewer/frm_view_fixture.h"

namespace {

using testsupport::PageKey;
using testsupport::PngBytes;
using testsupport::ScriptedMaker;

class QueryPaneTest : public testsupport::FrmViewTest {
  protected:
    QueryPaneTest() {
        const std::string sys = dir_.Path() + "/sys";
        testsupport::MakeQuerySystem(sys, 5000, 4500);
        std::string error;
        docserver::SystemDb db;
        EXPECT_TRUE(db.Open(sys + "/system.db", false, error));
        // The fake session's user, with rights in the project.
        EXPECT_TRUE(
            db.Exec("INSERT INTO users(user_id, password) VALUES ('REVIEWER', 'secret');"
                    "INSERT INTO user_projects(user_id, project_id, security) "
                    "VALUES ('REVIEWER', 1, 1);",
                    error))
            << error;
        engine_ = docserver::CommandEngine::Open(sys, error);
        EXPECT_TRUE(engine_) << error;
        engine_->Execute(state_, "TALQRequiredLogin,REVIEWER,secret,,DOM,1,8.6,1");
        engine_->Execute(state_, "TALQGetProjectInfo,REVIEWER,secret,Demo Project");
        session->userValid = session->projectValid = true;
        session->projectName = "Demo Project";
        session->bndryLvls = "1|2";
        session->fullText = 1 | 4 | 8;
        session->userProjectSecurity = 1;
        session->tagPool = "Even,Hot";
        session->passThrough = [this](const std::string& command, std::string& reply) {
            if (refuse_ && refuse_(command)) {
                reply = session->lastError = "ERROR: Query Store Unavailable";
                return false;
            }
            reply = engine_->Execute(state_, command);
            return reply.rfind("ERROR", 0) != 0;
        };
        session->tempFile = dir_.Path() + "/page.img";
        for (int i = 1; i <= 12; ++i) session->images[PageKey(i)] = PngBytes(400, 300);
    }
    // The window goes first: its unload still closes the query on the server.
    ~QueryPaneTest() override { window.reset(); }
    // Opens the tag query of the named tags through the picker.
    void PickTags(const std::vector<int>& rows, int logic = 0) {
        talq::DialogFactory<navigation::frmSelTag>::Scoped picker(
            ScriptedMaker<navigation::frmSelTag>([&](navigation::frmSelTag& d) {
                for (int row : rows) d.ClickEntry(row);
                d.Option1_Click(logic);
                d.cmdOK_Click();
            }));
        window->OpenTagQuery();
    }
    // Runs the search menu choosing option n (1-based among those offered).
    void ChooseSearch(int n) {
        talq::DialogFactory<SelBox>::Scoped chooser(ScriptedMaker<SelBox>([n](SelBox& box) {
            box.Option1_Click(n - 1);
            box.cmd_ok_Click();
        }));
        window->RunSearch();
    }
    void TextSearch(int option, const std::string& words, int op = 0) {
        talq::DialogFactory<navigation::frmTxtSrch>::Scoped text(
            ScriptedMaker<navigation::frmTxtSrch>([&](navigation::frmTxtSrch& d) {
                d.Text1->setText(QString::fromStdString(words));
                d.Option1_Click(op);
                d.cmdOK_Click();
            }));
        ChooseSearch(option);
    }
    bool Shown(int button) const {
        return !window->ui.TBQuery[static_cast<size_t>(button)]->isHidden();
    }
    std::string Row(int i) const { return window->ui.QueryList->item(i)->text().toStdString(); }
    bool ServerHas(const std::string& file) {
        std::string s(1, '\x19');
        return engine_
                   ->Execute(state_, "TALQQueryScroll,REVIEWER,secret,Demo Project,1" + s + s + s +
                                         file + s + "0" + s + "100" + s + "0")
                   .rfind("ERROR", 0) != 0;
    }

    testsupport::ScopedTempDir dir_;
    // Requests the server refuses, with its own words.
    std::function<bool(const std::string&)> refuse_;
    std::unique_ptr<docserver::CommandEngine> engine_;
    docserver::ConnectionState state_;
};

TEST_F(QueryPaneTest, TagQueryPagesSetBySetWithTheSetButtonsShownByTheMarker) {
    PickTags({1});  // the pool is sorted by name: "Even", "Hot"
    EXPECT_EQ(window->query.Query_Active, 1);
    EXPECT_FALSE(window->ui.ScrollForm->isHidden());
    EXPECT_EQ(window->ui.QueryList->count(), 2000);
    EXPECT_TRUE(window->ui.QueryLabel->isVisible());
    EXPECT_EQ(window->ui.QueryLabel->text(), QStringLiteral("Hot"));
    EXPECT_FALSE(Shown(8));  // no saving a tag query as a collection
    EXPECT_TRUE(Shown(9));
    EXPECT_TRUE(Shown(3));
    EXPECT_FALSE(Shown(2));
    EXPECT_EQ(window->ui.QueryList->currentRow(), 0);
    EXPECT_EQ(window->page.szCurrentKey, PageKey(1));  // the current row's page is shown

    window->TBQuery_Click(3);
    EXPECT_TRUE(Shown(2));
    EXPECT_TRUE(Shown(3));
    EXPECT_EQ(Row(0), PageKey(2001));
    window->TBQuery_Click(3);
    EXPECT_TRUE(Shown(2));
    EXPECT_FALSE(Shown(3));
    EXPECT_EQ(window->ui.QueryList->count(), 500);
    window->TBQuery_Click(2);
    EXPECT_EQ(Row(0), PageKey(2001));

    // The combo lists the levels and "Page"; the document level has 900 rows.
    ASSERT_EQ(window->ui.QueryCombo->count(), 3);
    EXPECT_EQ(window->ui.QueryCombo->currentText(), QStringLiteral("Page"));
    std::size_t sent = session->passThroughSent.size();
    window->ui.QueryCombo->setCurrentIndex(2);  // the level already shown: no request
    EXPECT_EQ(session->passThroughSent.size(), sent);
    window->ui.QueryCombo->setCurrentIndex(0);
    EXPECT_EQ(window->query.CurrentQuery.Level, 1);
    EXPECT_EQ(window->ui.QueryList->count(), 900);
    EXPECT_FALSE(Shown(2));
    EXPECT_FALSE(Shown(3));
    EXPECT_EQ(Row(1), PageKey(6));
}

TEST_F(QueryPaneTest, ItemButtonsStepTheRowsAndBeepAtTheEnds) {
    PickTags({1});
    window->TBQuery_Click(0);
    EXPECT_EQ(prompts.Beeps(), 1);
    EXPECT_EQ(window->ui.QueryList->currentRow(), 0);
    window->TBQuery_Click(1);
    EXPECT_EQ(window->ui.QueryList->currentRow(), 1);
    EXPECT_EQ(window->page.szCurrentKey, PageKey(2));
    window->ui.QueryList->setCurrentRow(1999);
    window->TBQuery_Click(1);
    EXPECT_EQ(prompts.Beeps(), 2);
    EXPECT_EQ(window->ui.QueryList->currentRow(), 1999);
    session->busy = true;
    window->TBQuery_Click(0);
    EXPECT_EQ(prompts.Beeps(), 3);
    EXPECT_EQ(window->ui.QueryList->currentRow(), 1999);
}

TEST_F(QueryPaneTest, MultiTagQueryCombinesTagsAndLeavesNoTemporaryFile) {
    window->query.MultiTagFolder = dir_.Path() + "/private";
    session->bndry3rdParty = 0;
    PickTags({1, 0}, 2);  // Hot NOT Even
    EXPECT_EQ(window->query.Query_Active, 2);
    EXPECT_EQ(window->ui.QueryList->count(), 2000);
    EXPECT_EQ(Row(0), PageKey(1));
    EXPECT_EQ(Row(1), PageKey(3));
    EXPECT_TRUE(Shown(3));
    EXPECT_TRUE(Shown(8));
    QDir folder(QString::fromStdString(window->query.MultiTagFolder));
    EXPECT_TRUE(folder.entryList(QDir::Files).isEmpty());
}

TEST_F(QueryPaneTest, InvalidKeysAreListedAndAnAllInvalidSetIsEmptyAndDisabled) {
    testsupport::WriteFile(dir_.Path() + "/bad.txt", "NOPE1\r\nNOPE2\r\n");
    int lists = 0;
    std::string items;
    talq::DialogFactory<frmListBox>::Scoped list(ScriptedMaker<frmListBox>(
        [&](frmListBox& d) {
            items = d.List1->item(0)->text().toStdString();
            d.cmdCancel_Click();
        },
        &lists));
    bool ok = false;
    window->OpenQueryFile(dir_.Path() + "/bad.txt", ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(lists, 1);
    EXPECT_EQ(items, "*NOPE1");
    EXPECT_EQ(window->ui.QueryList->count(), 0);
    EXPECT_FALSE(window->ui.QueryList->isEnabled());
    EXPECT_FALSE(window->ui.TBQuery[0]->isEnabled());
}

TEST_F(QueryPaneTest, OcrSearchOpensItsHitsAndMarksTheWordsOnThePage) {
    session->wordList = "brown|100|50|60|20^dog|200|50|40|20";
    TextSearch(3, "brown");  // file, notes, OCR, date
    EXPECT_EQ(window->query.Query_Active, 2);
    EXPECT_EQ(window->query.QuerySrchStr, "brown");
    ASSERT_EQ(window->ui.QueryList->count(), 2);
    EXPECT_EQ(Row(0), PageKey(7));
    EXPECT_EQ(session->passThroughSent[0],
              "TALQSearchImgText,REVIEWER,secret,Demo Project,brown,0,32000");
    window->zoom.g_ScaleFactor = 1.0f;
    window->SetImageScale(2);
    window->RedisplayImage();
    EXPECT_NE(window->ui.picImage2.Point(130, 60), 0xFFFFFF);  // under "brown"
    EXPECT_EQ(window->ui.picImage2.Point(220, 60), 0xFFFFFF);  // "dog" is not searched
    EXPECT_EQ(window->ui.picImage2.Point(130, 150), 0xFFFFFF);

    // A notes search keeps no words, even with hits.
    TextSearch(2, "memo");
    EXPECT_EQ(window->query.QuerySrchStr, "");
    EXPECT_EQ(Row(0), PageKey(12));

    // Closing the pane deletes the result file and forgets the words.
    std::string file = window->query.CurrentQuery.ServerFile;
    window->TBQuery_Click(7);
    EXPECT_EQ(window->query.Query_Active, 0);
    EXPECT_TRUE(window->ui.ScrollForm->isHidden());
    EXPECT_FALSE(ServerHas(file));
}

TEST_F(QueryPaneTest, SearchWithoutHitsSaysSoAndClosesTheOldQuery) {
    TextSearch(3, "brown");
    std::string old = window->query.CurrentQuery.ServerFile;
    prompts.Clear();
    TextSearch(3, "zebra");
    ASSERT_EQ(prompts.Messages(), std::vector<std::string>{"No Items Found"});
    EXPECT_EQ(prompts.Records().back().title, " ");
    EXPECT_EQ(prompts.Beeps(), 0);
    EXPECT_EQ(window->query.QuerySrchStr, "");
    EXPECT_EQ(window->query.CurrentQuery.Kind, 0);
    EXPECT_FALSE(ServerHas(old));
    EXPECT_EQ(window->query.Query_Active, 0);

    // Blanks only: no request, no message.
    std::size_t sent = session->passThroughSent.size();
    TextSearch(3, "   ");
    EXPECT_EQ(session->passThroughSent.size(), sent);
    EXPECT_EQ(prompts.Messages().size(), 1u);
}

TEST_F(QueryPaneTest, DateSearchRemembersItsCriterionAndDates) {
    std::vector<std::int16_t> offered;
    talq::DialogFactory<navigation::frmDtSrch>::Scoped dates(
        ScriptedMaker<navigation::frmDtSrch>([&](navigation::frmDtSrch& d) {
            offered.push_back(d.Criterion);
            d.Combo1->setCurrentIndex(3);
            d.txtDate1->setText("20000120");
            d.txtDate2->setText("20000121");
            d.cmdOK_Click();
        }));
    ChooseSearch(4);
    EXPECT_EQ(window->query.Query_Active, 2);
    ASSERT_EQ(window->ui.QueryList->count(), 2);
    EXPECT_EQ(Row(0), PageKey(9));
    ChooseSearch(4);
    EXPECT_EQ(offered, (std::vector<std::int16_t>{1, 4}));
    EXPECT_EQ(window->query.DateSearchStart, "20000120");
    EXPECT_EQ(window->query.DateSearchEnd, "20000121");
}

TEST_F(QueryPaneTest, KeyListFileOpenedFromTheSearchMenuAndSavedBack) {
    std::string keys;
    for (int i = 2500; i >= 1; --i) keys += PageKey(i) + "\r\n";
    testsupport::WriteFile(dir_.Path() + "/keys.txt", keys);
    testsupport::FakeDialogRunner files;
    mComDlg::ScopedDialogRunner runner(files);
    files.files.push_back(mComDlg::FileAnswer{dir_.Path() + "/keys.txt", 1});
    ChooseSearch(1);
    EXPECT_EQ(window->query.Query_Active, 2);
    EXPECT_EQ(Row(0), PageKey(2500));
    window->TBQuery_Click(3);  // the pane shows the second set; saving starts over

    files.files.push_back(mComDlg::FileAnswer{dir_.Path() + "/out.txt", 1});
    window->TBQuery_Click(6);
    EXPECT_EQ(files.fileRequests.back().save, true);
    EXPECT_EQ(testsupport::ReadFile(dir_.Path() + "/out.txt"), keys);
    EXPECT_EQ(prompts.Messages().back(), "2500 items written to file.");
    EXPECT_EQ(prompts.Records().back().title, "Process Complete");
    EXPECT_EQ(Row(0), PageKey(500));  // the pane's set is untouched

    files.files.push_back(mComDlg::FileAnswer{dir_.Path() + "/no/such/dir/out.txt", 1});
    window->TBQuery_Click(6);
    EXPECT_EQ(prompts.Records().back().title, "Cannot Create File");
}

TEST_F(QueryPaneTest, SavedAsANewCollectionThatTheTagPoolThenLists) {
    TextSearch(3, "brown");
    talq::DialogFactory<SelBox>::Scoped choose(ScriptedMaker<SelBox>([](SelBox& box) {
        box.Option1_Click(1);
        box.cmd_ok_Click();
    }));
    prompts.QueueInput("  Brown Pages  ");
    window->TBQuery_Click(8);
    EXPECT_EQ(engine_->Execute(state_, "TALQGetTagPoolList,REVIEWER,secret,Demo Project"),
              "Brown Pages,Even,Hot");

    // A name past 40 characters is offered cut; No ends without a request.
    std::size_t sent = session->passThroughSent.size();
    prompts.QueueInput(std::string(45, 'N'));
    prompts.QueueAnswer(platform::vbNo);
    window->TBQuery_Click(8);
    EXPECT_EQ(prompts.Records().back().title, "Warning... Name Exceeded 40 Characters");
    EXPECT_NE(prompts.Messages().back().find(std::string(40, 'N') + "\n"), std::string::npos);
    EXPECT_EQ(session->passThroughSent.size(), sent);
    // Separators in a name are refused before anything is sent.
    prompts.QueueInput("A|B");
    window->TBQuery_Click(8);
    EXPECT_EQ(session->passThroughSent.size(), sent);
}

TEST_F(QueryPaneTest, SortByDatePollsToTheEndOrEndsAbortedAfterCancel) {
    platform::ManualClock clock;
    platform::ScopedClock useClock(clock);
    frmProcess* progress = nullptr;
    bool cancelOnYield = false;
    platform::CallbackEventPump pump([&] {
        clock.AdvanceMs(1000);
        if (cancelOnYield && progress != nullptr) progress->Cancel = 1;
    });
    platform::ScopedEventPump usePump(pump);
    talq::DialogFactory<frmProcess>::Scoped made([&](QWidget* parent) {
        auto p = std::make_unique<frmProcess>(parent);
        progress = p.get();
        return p;
    });
    int order = 1;
    talq::DialogFactory<SelBox>::Scoped choose(ScriptedMaker<SelBox>([&](SelBox& box) {
        box.Option1_Click(order - 1);
        box.cmd_ok_Click();
    }));

    PickTags({1});
    window->TBQuery_Click(9);
    EXPECT_EQ(window->query.Query_Active, 2);
    EXPECT_EQ(window->query.CurrentQuery.Kind, 2);
    EXPECT_EQ(Row(0), PageKey(10));  // the earliest date first
    EXPECT_TRUE(prompts.Messages().empty()) << prompts.Messages().front();

    cancelOnYield = true;
    order = 2;
    std::string file = window->query.CurrentQuery.ServerFile;
    window->TBQuery_Click(9);
    EXPECT_EQ(prompts.Messages().back(), "Query Sort Aborted");
    EXPECT_EQ(session->passThroughSent.back(), "BackGroundStatus,1");
    EXPECT_EQ(window->query.CurrentQuery.ServerFile, file);

    // Cancelling the order choice sends nothing.
    std::size_t sent = session->passThroughSent.size();
    talq::DialogFactory<SelBox>::Scoped cancel(
        ScriptedMaker<SelBox>([](SelBox& box) { box.cmd_cancel_Click(); }));
    window->TBQuery_Click(9);
    EXPECT_EQ(session->passThroughSent.size(), sent);
}

TEST_F(QueryPaneTest, TheToolbarClosesTheOpenQueryBeforeAskingForANewOne) {
    window->LoadProjectViews();  // shows the toolbar's query buttons
    TextSearch(3, "brown");
    const std::string file = window->query.CurrentQuery.ServerFile;
    ASSERT_TRUE(ServerHas(file));
    talq::DialogFactory<navigation::frmSelTag>::Scoped picker(ScriptedMaker<navigation::frmSelTag>(
        [](navigation::frmSelTag& d) { d.cmdCancel_Click(); }));
    window->Tbar_Click(3);
    EXPECT_EQ(window->query.Query_Active, 0);
    EXPECT_EQ(window->query.QuerySrchStr, "");
    EXPECT_TRUE(window->ui.ScrollForm->isHidden());
    EXPECT_FALSE(ServerHas(file));
}

// A query request the server refuses is told once, with the server's words,
// and the page shown stays: a set that failed leaves the set shown and its
// paging as they were, a tag not read whole combines into no list, and a tag
// query that failed closes the pane.
TEST_F(QueryPaneTest, QueryRequestsTheServerRefusesSayWhyAndThePageStays) {
    window->query.MultiTagFolder = dir_.Path() + "/private";
    PickTags({1});
    ASSERT_EQ(window->query.Query_Active, 1);
    const std::string shown = window->page.szCurrentKey;
    auto scroll = [](const std::string& command) {
        return command.rfind("TALQQueryScroll,", 0) == 0;
    };
    refuse_ = scroll;
    window->TBQuery_Click(3);
    EXPECT_EQ(prompts.Messages(), std::vector<std::string>{"Unable to Obtain Next Query Set\n"
                                                           "Query Store Unavailable"});
    EXPECT_EQ(prompts.Records().back().title, "Warning");
    EXPECT_EQ(prompts.Beeps(), 1);
    EXPECT_EQ(window->ui.QueryList->count(), 2000);
    EXPECT_EQ(window->ui.QueryList->currentRow(), 0);
    EXPECT_TRUE(Shown(3));
    EXPECT_EQ(window->page.szCurrentKey, shown);
    window->ui.QueryCombo->setCurrentIndex(0);
    EXPECT_EQ(prompts.Messages().back(), "Unable to Obtain Query List\nQuery Store Unavailable");
    EXPECT_EQ(window->ui.QueryCombo->currentText(), QStringLiteral("Page"));
    EXPECT_EQ(window->query.CurrentQuery.Level, 0);
    EXPECT_EQ(window->ui.QueryList->count(), 2000);

    refuse_ = nullptr;
    window->TBQuery_Click(3);
    EXPECT_EQ(Row(0), PageKey(2001));
    window->ui.QueryCombo->setCurrentIndex(0);
    ASSERT_EQ(window->ui.QueryList->count(), 900);
    // The second tag is refused: the first alone would pass for the union.
    int scrolls = 0;
    refuse_ = [&](const std::string& command) { return scroll(command) && ++scrolls == 2; };
    PickTags({1, 0}, 0);
    ASSERT_EQ(prompts.Messages().size(), 3u);
    EXPECT_EQ(prompts.Messages().back(), "Unable to Open Tag/Issue Query\nQuery Store Unavailable");
    EXPECT_EQ(window->query.Query_Active, 1);
    EXPECT_EQ(window->query.CurrentQuery.ServerFile, "Hot");
    EXPECT_EQ(window->ui.QueryList->count(), 900);
    EXPECT_TRUE(QDir(QString::fromStdString(window->query.MultiTagFolder))
                    .entryList(QDir::Files)
                    .isEmpty());

    refuse_ = scroll;
    PickTags({0});
    ASSERT_EQ(prompts.Messages().size(), 4u);
    EXPECT_EQ(prompts.Messages().back(), "Unable to Open Tag/Issue Query\nQuery Store Unavailable");
    EXPECT_EQ(window->query.Query_Active, 0);
    EXPECT_TRUE(window->ui.ScrollForm->isHidden());
    EXPECT_EQ(window->page.szCurrentKey, shown);
    // Messages off: nothing is told.
    session->errorMsgs = false;
    PickTags({0});
    EXPECT_EQ(prompts.Messages().size(), 4u);
    EXPECT_EQ(prompts.Beeps(), 4);
}

// A search or a sort whose request the server refuses says why under its
// own words, not as a search without hits, a silent nothing or an empty
// sorted list.
TEST_F(QueryPaneTest, ASearchOrASortTheServerRefusesSaysWhy) {
    platform::ManualClock clock;
    platform::ScopedClock useClock(clock);
    platform::CallbackEventPump pump([&] { clock.AdvanceMs(1000); });
    platform::ScopedEventPump usePump(pump);
    refuse_ = [](const std::string& command) {
        return command.rfind("TALQSearchImgText,", 0) == 0;
    };
    TextSearch(3, "brown");
    EXPECT_EQ(prompts.Messages(),
              std::vector<std::string>{"No Items Found\nQuery Store Unavailable"});

    refuse_ = nullptr;
    TextSearch(3, "brown");
    ASSERT_EQ(window->query.CurrentQuery.Kind, 2);
    talq::DialogFactory<SelBox>::Scoped choose(ScriptedMaker<SelBox>([](SelBox& box) {
        box.Option1_Click(0);
        box.cmd_ok_Click();
    }));
    refuse_ = [](const std::string& command) {
        return command.rfind("TALQStartQuerySort,", 0) == 0;
    };
    const int beeps = prompts.Beeps();
    window->TBQuery_Click(9);
    ASSERT_EQ(prompts.Messages().size(), 2u);
    EXPECT_EQ(prompts.Messages().back(), "Unable to Start Query Sort\nQuery Store Unavailable");
    EXPECT_EQ(prompts.Beeps(), beeps + 1);
    EXPECT_EQ(window->query.Query_Active, 2);

    // The sorted list cannot be read: the unsorted one stays, on screen and
    // on the server.
    const std::string file = window->query.CurrentQuery.ServerFile;
    const std::string first = Row(0);
    const int rows = window->ui.QueryList->count();
    refuse_ = [](const std::string& command) {
        return command.rfind("TALQQueryScroll,", 0) == 0;
    };
    window->TBQuery_Click(9);
    ASSERT_EQ(prompts.Messages().size(), 3u);
    EXPECT_EQ(prompts.Messages().back(), "Query Sort Aborted\nQuery Store Unavailable");
    EXPECT_EQ(window->query.CurrentQuery.ServerFile, file);
    EXPECT_EQ(window->ui.QueryList->count(), rows);
    EXPECT_EQ(Row(0), first);
    EXPECT_TRUE(ServerHas(file));
    EXPECT_EQ(window->query.Query_Active, 2);

    // Hits or an uploaded list whose first set cannot be read close the pane
    // rather than leave the old rows or an empty list for them.
    TextSearch(3, "brown");
    EXPECT_EQ(prompts.Messages().back(), "No Items Found\nQuery Store Unavailable");
    EXPECT_EQ(window->query.CurrentQuery.Kind, 0);
    EXPECT_TRUE(window->ui.ScrollForm->isHidden());
    refuse_ = nullptr;
    TextSearch(3, "brown");
    ASSERT_EQ(window->query.Query_Active, 2);
    refuse_ = [](const std::string& command) {
        return command.rfind("TALQQueryScroll,", 0) == 0;
    };
    testsupport::WriteFile(dir_.Path() + "/keys.txt", PageKey(1) + "\r\n");
    bool ok = true;
    window->OpenQueryFile(dir_.Path() + "/keys.txt", ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(prompts.Messages().back(), "Unable to Obtain Query List\nQuery Store Unavailable");
    EXPECT_EQ(window->query.CurrentQuery.Kind, 0);
    EXPECT_TRUE(window->ui.ScrollForm->isHidden());
}

}  // namespace
