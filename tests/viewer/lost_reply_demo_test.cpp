// Saves whose answer the network lost after the server carried them out, or
// before the server saw them, over TCP through a relay that loses it: the
// reviewer is told what the server holds, and nothing is stored twice.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QPlainTextEdit>

#include <memory>
#include <string>
#include <vector>

#include "annotations/annotation_edit.h"
#include "annotations/annotation_rec.h"
#include "annotations/widgets/note_dialogs.h"
#include "foundation/fields.h"
#include "foundation/widgets/generic_dialogs.h"
#include "navigation/widgets/search_dialogs.h"
#include "platform/scripted_prompts.h"
#include "render/image_view_transform.h"
#include "server/reply_losing_relay.h"
#include "server/talq_client_api.h"
#include "support/scoped_env.h"
#include "support/scripted_dialog.h"
#include "support/server_process.h"
#include "viewer/demo_suite.h"
#include "viewer/demo_window.h"
#include "viewer/widgets/frm_mod_bndry.h"
#include "viewer/widgets/frm_view.h"
#include "viewer/window_mouse.h"

namespace {

using annotations::frmAnnot;
using docserver::demo::DemoPage;
using testsupport::ReplyLosingRelay;
using testsupport::ScriptedMaker;
using Loss = ReplyLosingRelay::Loss;

constexpr char kPut[] = "TALQPutAnnotations";

class LostReplyDemoTest : public testsupport::DemoSuiteTest<LostReplyDemoTest> {
  protected:
    static void SetUpTestSuite() { SetUpDemo(13, 30); }

    LostReplyDemoTest() : scoped_(prompts) {
        platform::SetScreenTwipsPerPixelForTest({15.0, 15.0});
        testsupport::PointLocalModesAt(Sys());
        window = testsupport::ShownMainWindow();
        window->Form_Resize();
    }
    ~LostReplyDemoTest() override {
        window.reset();
        relay.reset();
        server.reset();
        platform::SetScreenTwipsPerPixelForTest({0.0, 0.0});
    }

    // The window over TCP through the relay, on an ordinary page; a second
    // session reads what the server holds.
    void Open() {
        server = std::make_unique<testsupport::ServerProcess>(Sys());
        ASSERT_GT(server->Port(), 0) << server->Output();
        relay = std::make_unique<ReplyLosingRelay>(server->Port());
        testsupport::LogInThroughDialogs(*window, "admin", "admin", 0, "ACME", relay->Port());
        for (const DemoPage& p : demo_->projects.front().pages) {
            if (p.placeholder || p.restricted) continue;
            key = p.key;
            break;
        }
        ASSERT_TRUE(window->DisplayImage(key)) << Status();
        ASSERT_TRUE(other.OpenTalqConnection(2, "", "", 0, 0, 0, 0)) << other.LastError();
        ASSERT_TRUE(other.TalqLogin("admin", "admin", 1)) << other.LastError();
        ASSERT_TRUE(other.SelectProject("ACME")) << other.LastError();
    }

    // The kind's list as the server holds it.
    KindList Stored(AnnotationKind kind) {
        AnnotationTexts lists;
        EXPECT_TRUE(other.GetAllAnnotations(key, lists)) << other.LastError();
        KindList list;
        TalqClientAPI_Header::ParseKindList(lists[kind], list);
        return list;
    }
    int CountOf(const KindList& list, const std::string& text) {
        int n = 0;
        for (int i = 0; i < list.count; ++i)
            n += list.list[static_cast<std::size_t>(i)].Text == text;
        return n;
    }

    void Drag(int tool, int x1, int y1, int x2, int y2) {
        testsupport::DragOn(*window, tool, x1, y1, x2, y2);
    }
    // A right click in the middle of a stored record.
    void RightClick(const AnnotationRec& r) {
        testsupport::RightClickOn(*window, r);
    }

    std::string Status() const { return window->ui.lblStatus->text().toStdString(); }
    std::string Messages() const {
        std::string all;
        for (const std::string& m : prompts.Messages()) all += m + "|";
        return all;
    }

    testsupport::ScopedUserStores stores_;
    platform::ScriptedPrompts prompts;
    platform::ScopedPrompts scoped_;
    std::unique_ptr<testsupport::ServerProcess> server;
    std::unique_ptr<ReplyLosingRelay> relay;
    std::unique_ptr<viewer::frmView> window;
    TalqClientAPI other;
    std::string key;
};

TEST_F(LostReplyDemoTest, ANewMarkWhoseAnswerWasLostIsShownAsStoredOnce) {
    ASSERT_NO_FATAL_FAILURE(Open());
    // A text note: its dialog closes, as after any save.
    int dialogs = 0;
    bool closed = false;
    talq::DialogFactory<frmAnnot>::Scoped notes(ScriptedMaker<frmAnnot>(
        [&](frmAnnot& d) {
            d.Text1->setPlainText("lost answer");
            d.cmdOK_Click();
            closed = d.result() == QDialog::Accepted;
            if (!closed) d.cmdCancel_Click();
        },
        &dialogs));
    relay->LoseNext(kPut, Loss::kAfterTheServerReplies);
    Drag(annotations::kToolTextNote, 40, 40, 200, 90);
    EXPECT_EQ(relay->Lost(), 1);
    EXPECT_TRUE(closed) << Messages();
    EXPECT_EQ(CountOf(Stored(kTextNote), "lost answer"), 1);
    EXPECT_EQ(CountOf(window->pageAnnotations[kTextNote], "lost answer"), 1);

    // A highlight is drawn on the page as stored, once.
    const int highlights = Stored(kHighlight).count;
    relay->LoseNext(kPut, Loss::kAfterTheServerReplies);
    Drag(annotations::kToolHighlight, 40, 120, 200, 160);
    EXPECT_EQ(relay->Lost(), 2);
    EXPECT_EQ(Stored(kHighlight).count, highlights + 1);
    EXPECT_EQ(window->pageAnnotations[kHighlight].count, highlights + 1);
    EXPECT_TRUE(prompts.Messages().empty()) << Messages();

    // A delete is done, not blamed on another user.
    talq::DialogFactory<SelBox>::Scoped pick(
        ScriptedMaker<SelBox>([](SelBox& d) { d.Selection = 2; }));
    ASSERT_GT(window->pageAnnotations[kHighlight].count, 0);
    relay->LoseNext(kPut, Loss::kAfterTheServerReplies);
    RightClick(window->pageAnnotations[kHighlight].list.back());
    EXPECT_EQ(relay->Lost(), 3);
    EXPECT_EQ(Stored(kHighlight).count, highlights);
    EXPECT_EQ(window->pageAnnotations[kHighlight].count, highlights);
    EXPECT_TRUE(prompts.Messages().empty()) << Messages();
}

// Its note missing from the page read back, the reviewer is told that
// another user deleting it since cannot be told from a put never stored.
TEST_F(LostReplyDemoTest, ANoteTheServerNeverSawKeepsItsTextAndIsStoredOnceWhenSavedAgain) {
    ASSERT_NO_FATAL_FAILURE(Open());
    std::string kept;
    talq::DialogFactory<frmAnnot>::Scoped notes(ScriptedMaker<frmAnnot>([&](frmAnnot& d) {
        d.Text1->setPlainText("never seen");
        d.cmdOK_Click();
        ASSERT_EQ(d.result(), 0) << Messages();
        kept = d.Text1->toPlainText().toStdString();
        // Saved again, it is stored once.
        d.cmdOK_Click();
        EXPECT_EQ(d.result(), QDialog::Accepted);
    }));
    relay->LoseNext(kPut, Loss::kBeforeTheServerSees);
    Drag(annotations::kToolTextNote, 40, 40, 200, 90);
    EXPECT_EQ(relay->Lost(), 1);
    EXPECT_EQ(kept, "never seen");
    ASSERT_EQ(prompts.Messages().size(), 1u);
    EXPECT_EQ(prompts.Messages().front().rfind("Unable to Save Annotations\n", 0), 0u);
    EXPECT_NE(prompts.Messages().front().find("cannot be told"), std::string::npos) << Messages();
    EXPECT_EQ(CountOf(Stored(kTextNote), "never seen"), 1);
}

// The answer lost and the server out of reach to read back: the outcome is
// told as unknown, and OK again once it is back stores nothing twice.
TEST_F(LostReplyDemoTest, ASaveRetriedAfterAnUnknownOutcomeIsNotStoredTwice) {
    ASSERT_NO_FATAL_FAILURE(Open());
    bool closed = false;
    talq::DialogFactory<frmAnnot>::Scoped notes(ScriptedMaker<frmAnnot>([&](frmAnnot& d) {
        d.Text1->setPlainText("unsure");
        d.cmdOK_Click();
        ASSERT_EQ(d.result(), 0) << Messages();
        ASSERT_EQ(prompts.Messages().size(), 1u);
        EXPECT_NE(prompts.Messages().front().find("could not be read back"), std::string::npos)
            << Messages();
        relay->TurnAway(false);
        d.cmdOK_Click();
        closed = d.result() == QDialog::Accepted;
    }));
    relay->LoseNext(kPut, Loss::kAfterTheServerReplies, true);
    Drag(annotations::kToolTextNote, 40, 40, 200, 90);
    EXPECT_TRUE(closed) << Messages();
    EXPECT_EQ(CountOf(Stored(kTextNote), "unsure"), 1);

    // A highlight drawn again over one whose outcome was unknown: the first
    // is shown as stored, and the second is not stored over it unseen.
    prompts.Clear();
    const int highlights = Stored(kHighlight).count;
    relay->LoseNext(kPut, Loss::kAfterTheServerReplies, true);
    Drag(annotations::kToolHighlight, 40, 120, 200, 160);
    relay->TurnAway(false);
    Drag(annotations::kToolHighlight, 40, 120, 200, 160);
    EXPECT_EQ(Stored(kHighlight).count, highlights + 1);
    EXPECT_EQ(window->pageAnnotations[kHighlight].count, highlights + 1);
    ASSERT_EQ(prompts.Messages().size(), 2u) << Messages();
    EXPECT_NE(prompts.Messages().back().find("stored after all"), std::string::npos);
}

// A label whose save may have been stored is never offered to copy as not
// stored; one the server never saw still is.
TEST_F(LostReplyDemoTest, ALabelWhoseSaveIsUnknownIsNotOfferedAsNotStored) {
    ASSERT_NO_FATAL_FAILURE(Open());
    Drag(annotations::kToolRedaction, 40, 200, 200, 260);
    ASSERT_EQ(window->pageAnnotations[kRedaction].count, 1) << Messages();
    talq::DialogFactory<SelBox>::Scoped pick(
        ScriptedMaker<SelBox>([](SelBox& d) { d.Selection = 3; }));
    auto copyOffer = [this](const std::string& typed) {
        const platform::PromptRecord& last = prompts.Records().back();
        EXPECT_EQ(last.kind, platform::PromptRecord::kInput);
        EXPECT_EQ(last.defaultText, typed);
        return last.text;
    };
    prompts.Clear();
    prompts.QueueInput("TYPED LABEL");
    relay->LoseNext(kPut, Loss::kAfterTheServerReplies, true);
    RightClick(window->pageAnnotations[kRedaction].list.front());
    relay->TurnAway(false);
    EXPECT_EQ(relay->Lost(), 1);
    ASSERT_EQ(prompts.Messages().size(), 1u);
    EXPECT_NE(prompts.Messages().front().find("could not be read back"), std::string::npos);
    EXPECT_EQ(copyOffer("TYPED LABEL"),
              "Your redaction label may or may not have been stored: whether the server holds it "
              "could not be read back. Copy it from here:");

    window->DisplayImage(key);
    ASSERT_EQ(window->pageAnnotations[kRedaction].count, 1) << Messages();
    prompts.Clear();
    prompts.QueueInput("OTHER LABEL");
    relay->LoseNext(kPut, Loss::kBeforeTheServerSees);
    RightClick(window->pageAnnotations[kRedaction].list.front());
    EXPECT_EQ(relay->Lost(), 2);
    ASSERT_EQ(prompts.Messages().size(), 1u) << Messages();
    EXPECT_NE(prompts.Messages().front().find("does not hold this change"), std::string::npos);
    EXPECT_EQ(copyOffer("OTHER LABEL"), "Your redaction label was not stored. Copy it from here:");
}

TEST_F(LostReplyDemoTest, AnIssueTagWhoseAnswerWasLostIsTickedAsStored) {
    ASSERT_NO_FATAL_FAILURE(Open());
    window->panes.TagPal_Active = 1;
    window->InitTagPalette();
    window->Form_Resize();
    window->UpdateTagPalette(key);
    ASSERT_GT(window->tagPalette.rows.Count(), 0);
    const std::string tag = window->tagPalette.rows.Caption(1);
    const bool wasOn = window->tagPalette.rows.IsOn(1);
    relay->LoseNext(wasOn ? "TALQTurnTagOff" : "TALQTurnTagOn", Loss::kAfterTheServerReplies);
    window->Tag_BMP_Click(1);
    EXPECT_EQ(relay->Lost(), 1);
    EXPECT_EQ(window->tagPalette.rows.IsOn(1), !wasOn);
    EXPECT_EQ(other.IsTagOn(key, tag), !wasOn);
    EXPECT_TRUE(prompts.Messages().empty()) << Messages();

    relay->LoseNext(wasOn ? "TALQTurnTagOn" : "TALQTurnTagOff", Loss::kBeforeTheServerSees);
    window->Tag_BMP_Click(1);
    EXPECT_EQ(window->tagPalette.rows.IsOn(1), !wasOn);
    EXPECT_EQ(other.IsTagOn(key, tag), !wasOn);
    ASSERT_EQ(prompts.Messages().size(), 1u);
    EXPECT_EQ(prompts.Messages().front().rfind("Error Updating Issue Tag\n", 0), 0u);
}

// The page is shown again after a level is set: it tells whether the level
// whose answer was lost was stored.
TEST_F(LostReplyDemoTest, ABoundaryLevelWhoseAnswerWasLostIsToldAsSetOnlyWhenItIs) {
    ASSERT_NO_FATAL_FAILURE(Open());
    auto stored = [this] {
        std::int32_t level = -1, rotation = 0, restricted = 0;
        std::string info, native;
        EXPECT_TRUE(other.GetImagePageInfo(key, level, rotation, restricted, info, native));
        return level;
    };
    const std::int32_t was = stored();
    // The option of a level: 0 is "Page (No Boundary)".
    auto optionOf = [](const viewer::frmModBndry& d, std::int32_t level) {
        for (int i = 1; i <= d.LevelCount; ++i)
            if (mVBUtil::GetField("|", d.LevelNumbers, i) == std::to_string(level)) return i;
        return 0;
    };
    std::int32_t wanted = 0;
    talq::DialogFactory<viewer::frmModBndry>::Scoped answer(
        ScriptedMaker<viewer::frmModBndry>([&](viewer::frmModBndry& d) {
            d.Option1_Click(optionOf(d, wanted));
            d.cmdOK_Click();
        }));
    wanted = was == 0 ? std::stoi(mVBUtil::GetField("|", window->TalqAPi->BndryLvls(), 1)) : 0;
    relay->LoseNext("TALQPutPageInfo", Loss::kAfterTheServerReplies);
    window->ModifyBoundaryLevel();
    EXPECT_EQ(relay->Lost(), 1);
    EXPECT_EQ(stored(), wanted);
    EXPECT_TRUE(prompts.Messages().empty()) << Messages();

    const std::int32_t set = wanted;
    wanted = was;
    relay->LoseNext("TALQPutPageInfo", Loss::kBeforeTheServerSees);
    window->ModifyBoundaryLevel();
    EXPECT_EQ(stored(), set);
    EXPECT_EQ(Messages(),
              "Unable to set Boundary Flag\nNo reply from the server: the server closed the "
              "connection.|")
        << "told with the connection's reason";
    window->ModifyBoundaryLevel();
    EXPECT_EQ(stored(), was);
}

// A query saved as a collection whose answer was lost is shown as saved
// once; one the server never saw is told as not saved, and why.
TEST_F(LostReplyDemoTest, AQuerySavedAsACollectionWhoseAnswerWasLostIsToldAsItIsHeld) {
    ASSERT_NO_FATAL_FAILURE(Open());
    testsupport::ScopedTempDir dir;
    const std::string file = dir.Path() + "/keys.txt";
    std::vector<std::string> keys;
    for (const DemoPage& p : demo_->projects.front().pages)
        if (!p.placeholder && !p.restricted && keys.size() < 3) keys.push_back(p.key);
    ASSERT_EQ(keys.size(), 3u);
    testsupport::WriteFile(file, keys[0] + "\r\n" + keys[1] + "\r\n" + keys[2] + "\r\n");
    ASSERT_TRUE(TalqClientAPI_Header::UploadKeyListFile(*window->TalqAPi,
                                                        window->query.CurrentQuery, file, 0));
    window->query.Query_Active = 2;
    talq::DialogFactory<SelBox>::Scoped create(
        ScriptedMaker<SelBox>([](SelBox& d) { d.Selection = 2; }));
    auto pool = [this] {
        std::string list;
        EXPECT_TRUE(other.ReadTagPool(list)) << other.LastError();
        return "," + list + ",";
    };
    auto holds = [this](const std::string& name, const std::string& key) {
        std::string list;
        EXPECT_TRUE(other.ReadImageTags(key, list)) << other.LastError();
        return ("," + list + ",").find("," + name + ",") != std::string::npos;
    };

    prompts.QueueInput("Lost Answer");
    relay->LoseNext("TALQConvertQueryToIssue", Loss::kAfterTheServerReplies);
    window->SaveQueryToIssue();
    EXPECT_EQ(relay->Lost(), 1);
    EXPECT_TRUE(prompts.Messages().empty()) << Messages();
    EXPECT_NE(pool().find(",Lost Answer,"), std::string::npos);
    for (const std::string& k : keys) EXPECT_TRUE(holds("Lost Answer", k)) << k;
    // Saved again, the collection and its pages are there once.
    prompts.QueueInput("Lost Answer");
    window->SaveQueryToIssue();
    EXPECT_TRUE(prompts.Messages().empty()) << Messages();
    const std::string once = pool();
    EXPECT_EQ(once.find(",Lost Answer,"), once.rfind(",Lost Answer,"));

    prompts.QueueInput("Never Seen");
    relay->LoseNext("TALQConvertQueryToIssue", Loss::kBeforeTheServerSees);
    window->SaveQueryToIssue();
    EXPECT_EQ(relay->Lost(), 2);
    EXPECT_EQ(pool().find(",Never Seen,"), std::string::npos);
    ASSERT_EQ(prompts.Messages().size(), 1u) << Messages();
    EXPECT_EQ(prompts.Records().back().title, "Error Saving Query to Issue");
    EXPECT_NE(prompts.Messages().front().find("did not save"), std::string::npos) << Messages();
    EXPECT_NE(prompts.Messages().front().find('\n'), std::string::npos) << "no reason given";

    // A name that differs only in case is saved to the tag the server has.
    ASSERT_TRUE(other.NewTagDesc("Case Kept")) << other.LastError();
    prompts.Clear();
    prompts.QueueInput("CASE KEPT");
    relay->LoseNext("TALQConvertQueryToIssue", Loss::kAfterTheServerReplies);
    window->SaveQueryToIssue();
    EXPECT_EQ(relay->Lost(), 3);
    EXPECT_TRUE(prompts.Messages().empty()) << Messages();
    for (const std::string& k : keys) EXPECT_TRUE(holds("Case Kept", k)) << k;
}

// A tag query whose answer the network lost says why, once, and leaves the
// page shown as it was; asked again, it opens.
TEST_F(LostReplyDemoTest, ATagQueryWhoseReplyIsLostSaysWhyAndThePageStays) {
    ASSERT_NO_FATAL_FAILURE(Open());
    talq::DialogFactory<navigation::frmSelTag>::Scoped picker(
        ScriptedMaker<navigation::frmSelTag>([](navigation::frmSelTag& d) {
            d.ClickEntry(0);
            d.cmdOK_Click();
        }));
    relay->LoseNext("TALQQueryScroll", Loss::kAfterTheServerReplies);
    window->OpenTagQuery();
    EXPECT_EQ(relay->Lost(), 1);
    ASSERT_EQ(prompts.Messages().size(), 1u) << Messages();
    const std::string told = prompts.Messages().front();
    const std::string what = "Unable to Open Tag/Issue Query\n";
    EXPECT_EQ(told.rfind(what, 0), 0u) << told;
    EXPECT_GT(told.size(), what.size()) << "no reason given";
    EXPECT_EQ(prompts.Records().back().title, "Warning");
    EXPECT_EQ(prompts.Beeps(), 1);
    EXPECT_EQ(window->page.szCurrentKey, key);
    EXPECT_EQ(window->query.Query_Active, 0);

    window->OpenTagQuery();
    EXPECT_EQ(window->query.Query_Active, 1);
    EXPECT_EQ(window->query.CurrentQuery.Kind, 1);
    EXPECT_EQ(prompts.Messages().size(), 1u) << Messages();
}

// A palette whose answer was lost shows no rows and says why; read again,
// its rows come.
TEST_F(LostReplyDemoTest, APaletteWhoseReplyIsLostSaysWhyWithNoRows) {
    ASSERT_NO_FATAL_FAILURE(Open());
    window->panes.TagPal_Active = 1;
    relay->LoseNext("TALQGetTagPaletteList", Loss::kAfterTheServerReplies);
    EXPECT_FALSE(window->InitTagPalette());
    EXPECT_EQ(relay->Lost(), 1);
    ASSERT_EQ(prompts.Messages().size(), 1u) << Messages();
    EXPECT_EQ(prompts.Messages().front().rfind("Unable to Obtain Tag Palette\n", 0), 0u)
        << Messages();
    EXPECT_EQ(window->tagPalette.rows.Count(), 0);
    EXPECT_TRUE(window->InitTagPalette());
    EXPECT_GT(window->tagPalette.rows.Count(), 0);
    EXPECT_EQ(prompts.Messages().size(), 1u) << Messages();
}

}  // namespace
