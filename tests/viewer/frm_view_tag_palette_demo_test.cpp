// The tag palette and its editor against a demo system: a row click changes
// the page's tags on the server, a user who may only view tags changes
// nothing, and the editor's collections and palette reach the server.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <utility>

#include "annotations/widgets/frm_tag_pal.h"
#include "annotations/widgets/tag_palette_rows.h"
#include "engine/system_db.h"
#include "foundation/mod_registry.h"
#include "platform/draw_surface.h"
#include "platform/scripted_prompts.h"
#include "server/talq_client_api.h"
#include "support/scoped_env.h"
#include "support/scripted_dialog.h"
#include "viewer/demo_suite.h"
#include "viewer/demo_window.h"
#include "viewer/widgets/frm_view.h"

namespace {

// The viewer's session seen by the editor, with a flaky network between:
// something another reviewer does just before a save reaches the server,
// a save whose reply is lost after the server stored it, or no server.
class FlakyTagApi : public annotations::TagApi {
  public:
    explicit FlakyTagApi(annotations::TagApi& api) : api_(api) {}
    std::function<void()> beforeSave;
    bool loseReply = false, noServer = false;
    // The save stalls until the time-out, stored or not, and the server
    // stays out of reach after it.
    bool stallStored = false, stallUnstored = false;

    bool IsProjectValid() override { return api_.IsProjectValid(); }
    std::int32_t UserProjectSecurity() override { return api_.UserProjectSecurity(); }
    std::int32_t GetTagList(std::string& list) override { return api_.GetTagList(list); }
    std::int32_t GetTagPalette(std::string& list) override { return api_.GetTagPalette(list); }
    bool ReadTagPalette(std::string& list) override {
        return Reached() && api_.ReadTagPalette(list);
    }
    bool ReadTagPool(std::string& list) override { return Reached() && api_.ReadTagPool(list); }
    std::int32_t GetImageTags(const std::string& key, std::string& list) override {
        return api_.GetImageTags(key, list);
    }
    bool TurnTagOn(const std::string& key, const std::string& tag) override {
        return api_.TurnTagOn(key, tag);
    }
    bool TurnTagOff(const std::string& key, const std::string& tag) override {
        return api_.TurnTagOff(key, tag);
    }
    bool NewTagDesc(const std::string& name) override { return api_.NewTagDesc(name); }
    bool ModifyTagDesc(const std::string& oldName, const std::string& newName) override {
        return api_.ModifyTagDesc(oldName, newName);
    }
    bool DeleteTagDesc(const std::string& name) override { return api_.DeleteTagDesc(name); }
    bool PutTagPalette(const std::string& list) override {
        if (!Reached()) return false;
        if (beforeSave) std::exchange(beforeSave, nullptr)();
        if (stallStored || stallUnstored) {
            if (stallStored && !api_.PutTagPalette(list)) return false;
            error_ = "ERROR: Invalid Data Returned";
            transport_ = "No reply from the server within 120 seconds.";
            noServer = true;
            return false;
        }
        if (!api_.PutTagPalette(list)) return false;
        if (!loseReply) return true;
        error_ = "ERROR: Invalid Data Returned";
        return false;
    }
    std::string LastError() override { return error_.empty() ? api_.LastError() : error_; }
    std::string TakeUntoldTransportError() override {
        return std::exchange(transport_, "") + api_.TakeUntoldTransportError();
    }
    std::string TakeFailureOrRefusal() override {
        const std::string session = api_.TakeFailureOrRefusal();
        if (error_.empty()) return session;  // else what is scripted here says why
        return transport_.empty() ? error_ : std::exchange(transport_, "");
    }

  private:
    bool Reached() {
        error_ = noServer ? "Unable to Send Data Request" : "";
        transport_.clear();
        return !noServer;
    }
    annotations::TagApi& api_;
    std::string error_, transport_;
};

class TagPaletteDemoTest : public testsupport::DemoSuiteTest<TagPaletteDemoTest> {
  protected:
    static void SetUpTestSuite() { SetUpDemo(11, 40); }
    static const std::string& Key(int i) {
        return demo_->projects.front().pages[static_cast<size_t>(i)].key;
    }

    TagPaletteDemoTest() : scoped_(prompts) {
        platform::SetScreenTwipsPerPixelForTest({15.0, 15.0});
        testsupport::PointLocalModesAt(Sys());
        window = testsupport::ShownMainWindow();
        EXPECT_TRUE(other.OpenTalqConnection(2, "", "", 0, 0, 0, 0)) << other.LastError();
        EXPECT_TRUE(other.TalqLogin("admin", "admin", 1)) << other.LastError();
        EXPECT_TRUE(other.SelectProject("ACME")) << other.LastError();
    }
    ~TagPaletteDemoTest() override {
        window.reset();
        platform::SetScreenTwipsPerPixelForTest({0.0, 0.0});
    }

    // Logs in, opens the project on its first page and opens the palette as
    // the image toolbar does.
    void OpenAs(const std::string& user, const std::string& password) {
        window->CommandLineLogin(user, password);
        ASSERT_TRUE(window->TalqAPi->SelectProject("ACME"));
        window->LoadProjectViews();
        ASSERT_TRUE(window->DisplayImage(Key(0)));
        window->panes.TagPal_Active = 1;
        window->InitTagPalette();
        window->Form_Resize();
        window->UpdateTagPalette(window->page.szCurrentKey);
    }
    int Row(const std::string& caption) const {
        for (int i = 1; i <= window->tagPalette.rows.Count(); ++i)
            if (window->tagPalette.rows.Caption(i) == caption) return i;
        return 0;
    }
    std::string PageTags() {
        std::string list;
        other.GetImageTags(Key(0), list);
        return list;
    }
    std::string Pool() {
        std::string list;
        other.GetTagList(list);
        return list;
    }
    std::string Palette() {
        std::string list;
        other.GetTagPalette(list);
        return list;
    }
    static std::string Entries(const QListWidget* list) {
        std::string text;
        for (int i = 0; i < list->count(); ++i)
            text += (i > 0 ? "," : "") + list->item(i)->text().toStdString();
        return text;
    }
    static void Select(QListWidget* list, const std::string& name) {
        const auto found = list->findItems(QString::fromStdString(name), Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << name;
        list->setCurrentItem(found.front());
    }
    // Runs the editor from the palette's configure button.
    void Edit(std::function<void(annotations::frmTagPal&)> script) {
        talq::DialogFactory<annotations::frmTagPal>::Scoped editor(
            testsupport::ScriptedMaker<annotations::frmTagPal>(std::move(script)));
        window->TBTag_Click(0);
    }

    testsupport::ScopedUserStores stores_;
    platform::ScriptedPrompts prompts;
    platform::ScopedPrompts scoped_;
    std::unique_ptr<viewer::frmView> window;
    TalqClientAPI other;  // a second session that reads what the server holds
};

TEST_F(TagPaletteDemoTest, ARowClickTurnsTheTagOnAndOffOnTheServer) {
    OpenAs("admin", "admin");
    const int row = Row("Hot");
    ASSERT_GT(row, 0) << Palette();
    const bool wasOn = window->tagPalette.rows.IsOn(row);
    EXPECT_EQ(wasOn, PageTags().find("Hot") != std::string::npos);
    for (int click = 0; click < 2; ++click) {
        window->Tag_BMP_Click(row);
        const bool on = window->tagPalette.rows.IsOn(row);
        EXPECT_EQ(on, click == 0 ? !wasOn : wasOn);
        EXPECT_EQ(other.IsTagOn(Key(0), "Hot"), on);
        window->UpdateTagPalette(Key(0));  // the page's tags read again agree
        EXPECT_EQ(window->tagPalette.rows.IsOn(row), on);
    }
    EXPECT_TRUE(prompts.Messages().empty());
}

TEST_F(TagPaletteDemoTest, AUserWhoMayOnlyViewTagsChangesNone) {
    OpenAs("reviewer", "review");
    ASSERT_GT(window->tagPalette.rows.Count(), 0);
    const std::string tags = PageTags(), pool = Pool();
    window->Tag_BMP_Click(1);
    EXPECT_EQ(PageTags(), tags);
    EXPECT_TRUE(prompts.Records().empty());
    Edit([](annotations::frmTagPal& d) {
        EXPECT_FALSE(d.Cmd_New->isEnabled());
        EXPECT_FALSE(d.cmd_modify->isEnabled());
        EXPECT_FALSE(d.Cmd_Delete->isEnabled());
        d.cmd_cancel_Click();
    });
    // Nor does the server let such a user past the dialog.
    TalqClientAPI& api = window->TalqAPi->Api();
    api.DisplayErrorMsgs(false);
    EXPECT_FALSE(api.NewTagDesc("Mine"));
    EXPECT_FALSE(api.ModifyTagDesc("Hot", "Cold"));
    EXPECT_FALSE(api.DeleteTagDesc("Hot"));
    EXPECT_FALSE(api.TurnTagOn(Key(0), "Hot"));
    EXPECT_EQ(Pool(), pool);
    EXPECT_EQ(PageTags(), tags);
}

TEST_F(TagPaletteDemoTest, TheEditorChangesCollectionsAtOnceAndThePaletteWhenDone) {
    OpenAs("admin", "admin");
    const std::string palette = Palette();
    std::string saved;
    Edit([&](annotations::frmTagPal& d) {
        EXPECT_EQ(Entries(d.List2), palette);
        prompts.QueueInput("  Exhibit A  ");
        d.Cmd_New_Click();
        prompts.QueueInput("Bad, Name");
        d.Cmd_New_Click();
        EXPECT_EQ(Pool().find("Bad"), std::string::npos);
        ASSERT_NE(prompts.Messages().back().find("comma"), std::string::npos);
        Select(d.List1, "Exhibit A");
        prompts.QueueInput("Exhibit B");
        d.cmd_modify_Click();
        EXPECT_NE(Pool().find("Exhibit B"), std::string::npos);
        EXPECT_EQ(Pool().find("Exhibit A"), std::string::npos);
        EXPECT_EQ(d.List1->findItems("Exhibit B", Qt::MatchExactly).size(), 1);

        d.cmd_addall_Click();
        EXPECT_EQ(d.List2->count(), d.List1->count());
        EXPECT_EQ(Entries(d.List2).rfind(palette, 0), 0u) << "the palette's order comes first";
        d.List2->setCurrentRow(d.List2->count() - 1);
        const std::string last = d.List2->currentItem()->text().toStdString();
        d.Cmd_Up_Click();
        EXPECT_EQ(d.List2->item(d.List2->count() - 2)->text().toStdString(), last);
        d.Cmd_Down_Click();
        d.Cmd_Down_Click();             // already last
        EXPECT_EQ(prompts.Beeps(), 2);  // the refused name, then the last Down

        // A deletion the server refuses leaves both lists as they were.
        d.List1->addItem("Ghost");
        Select(d.List1, "Ghost");
        prompts.QueueAnswer(platform::vbYes);
        d.Cmd_Delete_Click();
        EXPECT_EQ(d.List1->findItems("Ghost", Qt::MatchExactly).size(), 1);
        Select(d.List1, "Exhibit B");
        prompts.QueueAnswer(platform::vbYes);
        d.Cmd_Delete_Click();
        EXPECT_EQ(Pool().find("Exhibit B"), std::string::npos);
        EXPECT_EQ(Entries(d.List2).find("Exhibit B"), std::string::npos);
        saved = Entries(d.List2);
        d.Cmd_Done_Click();
    });
    EXPECT_EQ(Palette(), saved);
    ASSERT_EQ(window->tagPalette.rows.Count(),
              static_cast<int>(std::count(saved.begin(), saved.end(), ',') + 1));
    EXPECT_EQ(window->ui.TagRows->Tag_DESC[1]->text().toStdString() + ",",
              saved.substr(0, saved.find(',') + 1));
}

TEST_F(TagPaletteDemoTest, CancelLeavesTheServersPaletteAsItWas) {
    OpenAs("admin", "admin");
    const std::string palette = Palette();
    Edit([](annotations::frmTagPal& d) {
        d.cmd_addall_Click();
        d.List2->setCurrentRow(0);
        d.List2_DblClick();
        d.cmd_cancel_Click();
    });
    EXPECT_EQ(Palette(), palette);
}

// Reviewers share logins: the editor's list is only written over the palette
// it read, and the editor's own collection changes are no one else's.
TEST_F(TagPaletteDemoTest, APaletteSavedMeanwhileFromAnotherViewerIsNotWrittenOverUnseen) {
    OpenAs("admin", "admin");  // the login of `other`
    for (const char* name : {"Old", "Doomed"}) ASSERT_TRUE(other.NewTagDesc(name));
    ASSERT_TRUE(other.PutTagPalette("Hot,Old,Doomed"));
    Edit([&](annotations::frmTagPal& d) {
        Select(d.List1, "Old");
        prompts.QueueInput("New");
        d.cmd_modify_Click();
        Select(d.List1, "Doomed");
        prompts.QueueAnswer(platform::vbYes);
        d.Cmd_Delete_Click();
        d.List2->setCurrentRow(0);
        d.Cmd_Down_Click();
        prompts.Clear();
        d.Cmd_Done_Click();
        EXPECT_EQ(d.result(), QDialog::Accepted);
        EXPECT_TRUE(prompts.Records().empty());
    });
    EXPECT_EQ(Palette(), "New,Hot");

    Edit([&](annotations::frmTagPal& d) {
        d.List2->setCurrentRow(0);
        d.List2_DblClick();
        ASSERT_TRUE(other.PutTagPalette("Responsive,New"));  // saved from the other viewer
        d.Cmd_Done_Click();
        EXPECT_NE(d.result(), QDialog::Accepted) << "the dialog stays open";
        EXPECT_EQ(Palette(), "Responsive,New");
        EXPECT_EQ(Entries(d.List2), "Responsive") << "the stored palette less the reviewer's removal";
        EXPECT_EQ(prompts.Beeps(), 1);
        EXPECT_EQ(prompts.Messages(),
                  std::vector<std::string>{"The tag palette was changed meanwhile.\n"
                                           "Put on it: Responsive.\n"
                                           "Taken off it, and so off your list: Hot.\n"
                                           "Press All Done again to store yours over it."});
        d.Cmd_Done_Click();
        EXPECT_EQ(d.result(), QDialog::Accepted);
    });
    EXPECT_EQ(Palette(), "Responsive");
}

// The editor stores only what it shows over a palette it read: an unread
// palette opens no editor, and one changed meanwhile is shown with the
// reviewer's changes before it is stored.
TEST_F(TagPaletteDemoTest, TheEditorStoresOnlyWhatItShowsOverAPaletteItRead) {
    OpenAs("reviewer", "review");
    std::string before;
    window->TalqAPi->Api().GetTagPalette(before);
    ASSERT_FALSE(before.empty());
    auto restrictTags = [&](bool on) {
        docserver::SystemDb db;
        std::string error;
        ASSERT_TRUE(db.Open(Sys() + "/system.db", false, error)) << error;
        ASSERT_TRUE(db.Exec(std::string("UPDATE projects SET restriction = restriction ") +
                                (on ? "| 2" : "& ~2") + " WHERE name = 'ACME';",
                            error))
            << error;
    };
    prompts.Clear();
    restrictTags(true);  // the server now refuses the reviewer's tag requests
    int runs = 0;
    talq::DialogFactory<annotations::frmTagPal>::Scoped editor(
        testsupport::ScriptedMaker<annotations::frmTagPal>(
            [&](annotations::frmTagPal& d) {
                restrictTags(false);
                d.Cmd_Done_Click();
                d.Cmd_Done_Click();
            },
            &runs));
    window->TBTag_Click(0);
    restrictTags(false);
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(prompts.Beeps(), 1);
    EXPECT_EQ(prompts.Records().back().text, "Error Reading Tag Palette\nTags Are Restricted");
    EXPECT_EQ(prompts.Records().back().title, "Warning");
    std::string after;
    window->TalqAPi->Api().GetTagPalette(after);
    EXPECT_EQ(after, before);

    // A palette that cannot be read again at All Done is not written over,
    // and the box says why.
    prompts.Clear();
    Edit([&](annotations::frmTagPal& d) {
        restrictTags(true);
        d.Cmd_Done_Click();
        restrictTags(false);
        EXPECT_NE(d.result(), QDialog::Accepted);
        EXPECT_EQ(prompts.Messages(),
                  std::vector<std::string>{"Error Saving Tag Palette\nTags Are Restricted"});
        d.cmd_cancel_Click();
    });

    // Another viewer of the same login renames a collection on the palette.
    prompts.Clear();
    OpenAs("admin", "admin");
    ASSERT_TRUE(other.PutTagPalette("Hot,Privileged"));
    Edit([&](annotations::frmTagPal& d) {
        d.List2->setCurrentRow(0);
        d.List2_DblClick();
        Select(d.List1, "Responsive");
        d.List1_DblClick();
        d.List2->setCurrentRow(1);
        d.Cmd_Up_Click();
        ASSERT_EQ(Entries(d.List2), "Responsive,Privileged");
        ASSERT_TRUE(other.ModifyTagDesc("Privileged", "PrivilegedX"));
        d.Cmd_Done_Click();
        EXPECT_NE(d.result(), QDialog::Accepted);
        EXPECT_EQ(prompts.Messages(),
                  std::vector<std::string>{
                      "The tag palette was changed meanwhile.\n"
                      "Put on it: PrivilegedX.\n"
                      "Taken off your list, renamed or deleted meanwhile: Privileged. Choose "
                      "again from the available tags.\n"
                      "New meanwhile among the available tags: PrivilegedX.\n"
                      "Renames meanwhile may have moved a name to another collection: check your "
                      "additions Responsive.\n"
                      "Press All Done again to store yours over it."});
        EXPECT_EQ(Entries(d.List2), "PrivilegedX,Responsive") << "as the stored palette has it";
        EXPECT_TRUE(d.List1->findItems("Privileged", Qt::MatchExactly).isEmpty());
        d.Cmd_Done_Click();
        EXPECT_EQ(d.result(), QDialog::Accepted);
    });
    EXPECT_EQ(Palette(), "PrivilegedX,Responsive");
    EXPECT_TRUE(other.ModifyTagDesc("PrivilegedX", "Privileged"));

    // Renamed and deleted while the editor was open: All Done reads the
    // collections again and stores nothing until the reviewer saw the list.
    prompts.Clear();
    const std::string stored = Palette();
    ASSERT_TRUE(other.NewTagDesc("Withdrawn"));
    Edit([&](annotations::frmTagPal& d) {
        for (const char* name : {"Confidential", "Withdrawn"}) {
            Select(d.List1, name);
            d.List1_DblClick();
        }
        ASSERT_TRUE(other.ModifyTagDesc("Confidential", "ConfidentialX"));
        ASSERT_TRUE(other.DeleteTagDesc("Withdrawn"));
        d.Cmd_Done_Click();
        EXPECT_NE(d.result(), QDialog::Accepted);
        EXPECT_EQ(prompts.Messages(),
                  std::vector<std::string>{
                      "The tag collections were changed meanwhile.\n"
                      "Taken off your list, renamed or deleted meanwhile: Confidential, "
                      "Withdrawn. Choose again from the available tags.\n"
                      "New meanwhile among the available tags: ConfidentialX.\n"
                      "Press All Done again to store the list as shown."});
        EXPECT_EQ(Entries(d.List2), stored);
        EXPECT_TRUE(d.List1->findItems("Confidential", Qt::MatchExactly).isEmpty());
        EXPECT_TRUE(d.List1->findItems("Withdrawn", Qt::MatchExactly).isEmpty());
        d.Cmd_Done_Click();
        EXPECT_EQ(d.result(), QDialog::Accepted);
    });
    EXPECT_EQ(Palette(), stored);
    EXPECT_TRUE(other.ModifyTagDesc("ConfidentialX", "Confidential"));
    EXPECT_TRUE(other.PutTagPalette(stored));
}

// Names alone cannot tell a rename from a deletion and a creation: the
// editor follows nothing by guess, stores no collection the reviewer did
// not choose, and says nothing untrue of what changed.
TEST_F(TagPaletteDemoTest, NothingUnchosenIsStoredAndNoRenameIsGuessed) {
    OpenAs("admin", "admin");  // the login of `other`
    for (const char* name : {"Alpha", "Bravo", "Exhibit 7"}) ASSERT_TRUE(other.NewTagDesc(name));
    ASSERT_TRUE(other.PutTagPalette("Hot,Exhibit 7,Alpha"));
    prompts.Clear();
    // Bravo added here; another deleted it and created a collection that
    // sorts into its place. Exhibit 7, stored, likewise.
    Edit([&](annotations::frmTagPal& d) {
        Select(d.List1, "Bravo");
        d.List1_DblClick();
        for (const char* name : {"Bravo", "Exhibit 7"}) {
            ASSERT_TRUE(other.DeleteTagDesc(name));
            ASSERT_TRUE(other.NewTagDesc(name + std::string(" Counsel Only")));
        }
        d.Cmd_Done_Click();
        EXPECT_NE(d.result(), QDialog::Accepted);
        EXPECT_EQ(prompts.Messages(),
                  std::vector<std::string>{
                      "The tag palette was changed meanwhile.\n"
                      "Taken off your list, renamed or deleted meanwhile: Exhibit 7, Bravo. "
                      "Choose again from the available tags.\n"
                      "New meanwhile among the available tags: Bravo Counsel Only, Exhibit 7 "
                      "Counsel Only.\n"
                      "Press All Done again to store yours over it."});
        EXPECT_EQ(Entries(d.List2), "Hot,Alpha");
        d.Cmd_Done_Click();
        EXPECT_EQ(d.result(), QDialog::Accepted);
    });
    EXPECT_EQ(Palette(), "Hot,Alpha");

    // Alpha, stored, renamed to Zulu and Bravo Counsel Only to Alpha: the
    // former Bravo Counsel Only is never stored as Alpha.
    prompts.Clear();
    Edit([&](annotations::frmTagPal& d) {
        ASSERT_TRUE(other.ModifyTagDesc("Alpha", "Zulu"));
        ASSERT_TRUE(other.ModifyTagDesc("Bravo Counsel Only", "Alpha"));
        d.Cmd_Done_Click();
        EXPECT_NE(d.result(), QDialog::Accepted);
        EXPECT_EQ(prompts.Messages(),
                  std::vector<std::string>{"The tag palette was changed meanwhile.\n"
                                           "Put on it: Zulu.\n"
                                           "Taken off it, and so off your list: Alpha.\n"
                                           "Renamed or deleted meanwhile: Bravo Counsel Only.\n"
                                           "New meanwhile among the available tags: Zulu.\n"
                                           "Press All Done again to store yours over it."});
        EXPECT_EQ(Entries(d.List2), "Hot,Zulu");
        d.Cmd_Done_Click();
        EXPECT_EQ(d.result(), QDialog::Accepted);
    });
    EXPECT_EQ(Palette(), "Hot,Zulu");

    // The same renames with the name added in the editor: the editor cannot
    // tell, so it shows the list as it is now and says what changed.
    prompts.Clear();
    ASSERT_TRUE(other.NewTagDesc("Yankee"));
    Edit([&](annotations::frmTagPal& d) {
        Select(d.List1, "Yankee");
        d.List1_DblClick();
        ASSERT_TRUE(other.ModifyTagDesc("Yankee", "Xray"));
        ASSERT_TRUE(other.ModifyTagDesc("Alpha", "Yankee"));
        d.Cmd_Done_Click();
        EXPECT_NE(d.result(), QDialog::Accepted);
        EXPECT_EQ(prompts.Messages(),
                  std::vector<std::string>{
                      "The tag collections were changed meanwhile.\n"
                      "Renamed or deleted meanwhile: Alpha.\n"
                      "New meanwhile among the available tags: Xray.\n"
                      "Renames meanwhile may have moved a name to another collection: check your "
                      "additions Yankee.\n"
                      "Press All Done again to store the list as shown."});
        d.List2->setCurrentRow(d.List2->count() - 1);
        d.List2_DblClick();
        d.Cmd_Done_Click();
        EXPECT_EQ(d.result(), QDialog::Accepted);
    });
    EXPECT_EQ(Palette(), "Hot,Zulu");
    ASSERT_TRUE(other.ModifyTagDesc("Yankee", "Alpha"));
    ASSERT_TRUE(other.DeleteTagDesc("Xray"));

    // A rename in case alone is stored, and the palette keeps its place.
    prompts.Clear();
    Edit([&](annotations::frmTagPal& d) {
        Select(d.List1, "Zulu");
        prompts.QueueInput("ZULU");
        d.cmd_modify_Click();
        EXPECT_EQ(Entries(d.List2), "Hot,ZULU");
        EXPECT_EQ(d.List1->findItems("ZULU", Qt::MatchExactly).size(), 1);
        d.Cmd_Done_Click();
        EXPECT_EQ(d.result(), QDialog::Accepted);
    });
    EXPECT_TRUE(prompts.Messages().empty());
    EXPECT_NE(("," + Pool() + ",").find(",ZULU,"), std::string::npos) << Pool();
    EXPECT_EQ(Palette(), "Hot,ZULU");
    for (const char* name : {"Alpha", "ZULU", "Exhibit 7 Counsel Only"})
        EXPECT_TRUE(other.DeleteTagDesc(name)) << name;
}

// A save whose reply was lost is told as the server holds it: stored, the
// editor closes as after any save; not stored, the reviewer's list stays
// with why. With no server the box says so.
TEST_F(TagPaletteDemoTest, AnAllDoneWhoseReplyWasLostIsToldAsTheServerHoldsIt) {
    OpenAs("admin", "admin");
    ASSERT_TRUE(other.NewTagDesc("Late"));
    ASSERT_TRUE(other.PutTagPalette("Hot,Responsive"));
    prompts.Clear();
    Edit([&](annotations::frmTagPal& d) {
        FlakyTagApi flaky(*d.ClientAPI);
        d.ClientAPI = &flaky;
        flaky.loseReply = true;
        d.List2->setCurrentRow(0);
        d.List2_DblClick();
        d.Cmd_Done_Click();
        EXPECT_EQ(d.result(), QDialog::Accepted);
    });
    EXPECT_TRUE(prompts.Messages().empty());
    EXPECT_EQ(Palette(), "Responsive");

    Edit([&](annotations::frmTagPal& d) {
        FlakyTagApi flaky(*d.ClientAPI);
        d.ClientAPI = &flaky;
        Select(d.List1, "Late");
        d.List1_DblClick();
        flaky.noServer = true;
        d.Cmd_Done_Click();
        EXPECT_EQ(prompts.Messages().back(),
                  "Error Saving Tag Palette\nUnable to Send Data Request\n"
                  "The server could not be reached.");
        flaky.noServer = false;
        // Renamed after All Done read the collections, before the save came.
        flaky.beforeSave = [&] { ASSERT_TRUE(other.ModifyTagDesc("Late", "Later")); };
        flaky.loseReply = true;
        d.Cmd_Done_Click();
        EXPECT_NE(d.result(), QDialog::Accepted);
        EXPECT_EQ(prompts.Messages().back(),
                  "Error Saving Tag Palette\nInvalid Tag Desc Late\n"
                  "Your list was not stored.\n"
                  "The tag collections were changed meanwhile.\n"
                  "Taken off your list, renamed or deleted meanwhile: Late. Choose again from "
                  "the available tags.\n"
                  "New meanwhile among the available tags: Later.\n"
                  "Press All Done again to store the list as shown.");
        EXPECT_EQ(Entries(d.List2), "Responsive");
        d.Cmd_Done_Click();
        EXPECT_EQ(d.result(), QDialog::Accepted) << "stored, though its reply was lost too";
    });
    EXPECT_EQ(Palette(), "Responsive");
    EXPECT_TRUE(other.DeleteTagDesc("Later"));
}

// A save that stalls says so, not "Invalid Data Returned"; when it was
// stored after all, the next All Done takes the palette for the reviewer's
// own, not another's change.
TEST_F(TagPaletteDemoTest, AStalledAllDoneTellsTheTimeOutAndItsOwnStoredSaveIsNoOnesElse) {
    OpenAs("admin", "admin");
    ASSERT_TRUE(other.PutTagPalette("Hot,Responsive"));
    for (const bool stored : {false, true}) {
        prompts.Clear();
        Edit([&](annotations::frmTagPal& d) {
            FlakyTagApi flaky(*d.ClientAPI);
            d.ClientAPI = &flaky;
            d.List2->setCurrentRow(0);
            d.List2_DblClick();
            (stored ? flaky.stallStored : flaky.stallUnstored) = true;
            d.Cmd_Done_Click();
            EXPECT_NE(d.result(), QDialog::Accepted) << stored;
            EXPECT_EQ(prompts.Messages(),
                      std::vector<std::string>{
                          "Error Saving Tag Palette\nNo reply from the server within 120 "
                          "seconds.\nWhether your list was stored is not known: the tag palette "
                          "could not be read again.\nUnable to Send Data Request\n"
                          "The server could not be reached."})
                << stored;
            flaky.stallStored = flaky.stallUnstored = flaky.noServer = false;
            d.Cmd_Done_Click();
            EXPECT_EQ(d.result(), QDialog::Accepted) << stored;
            EXPECT_EQ(prompts.Messages().size(), 1U) << stored << ": " << prompts.Messages().back();
        });
        EXPECT_EQ(Palette(), "Responsive") << stored;
        ASSERT_TRUE(other.PutTagPalette("Hot,Responsive"));
    }
}

// A palette changed meanwhile among many long collections: the box names
// what changed, a few names each, and stays short enough to reach its
// last line and OK; the dialog's lists show the whole.
TEST_F(TagPaletteDemoTest, APaletteChangedAmongManyLongCollectionsIsToldInAFewLines) {
    OpenAs("admin", "admin");
    std::vector<std::string> names;
    for (int i = 0; i < 200; ++i) {
        const std::string number = std::to_string(1000 + i);
        names.push_back("Collection " + number + std::string(40 - 15, 'x'));
        ASSERT_EQ(names.back().size(), 40U);
        ASSERT_TRUE(other.NewTagDesc(names.back())) << other.LastError();
    }
    auto joined = [&](int from, int to) {
        std::string list;
        for (int i = from; i < to; ++i) list += (list.empty() ? "" : ",") + names[i];
        return list;
    };
    ASSERT_TRUE(other.PutTagPalette(joined(0, 100)));
    prompts.Clear();
    Edit([&](annotations::frmTagPal& d) {
        ASSERT_TRUE(other.PutTagPalette(joined(100, 200)));
        d.Cmd_Done_Click();
        EXPECT_NE(d.result(), QDialog::Accepted);
        ASSERT_EQ(prompts.Messages().size(), 1U);
        const std::string told = prompts.Messages().front();
        EXPECT_EQ(std::count(told.begin(), told.end(), '\n'), 3) << told;
        EXPECT_NE(told.find("Put on it: " + names[100] + ", "), std::string::npos) << told;
        EXPECT_NE(
            told.find(" and 95 more.\nTaken off it, and so off your list: " + names[0] + ", "),
            std::string::npos)
            << told;
        EXPECT_NE(told.find("\nPress All Done again to store yours over it."), std::string::npos)
            << told;
        EXPECT_LT(told.size(), 1000U);
        EXPECT_EQ(Entries(d.List2), joined(100, 200));
        d.cmd_cancel_Click();
    });
    ASSERT_TRUE(other.PutTagPalette("Hot,Responsive"));
    for (const std::string& name : names) ASSERT_TRUE(other.DeleteTagDesc(name)) << name;
}

}  // namespace
