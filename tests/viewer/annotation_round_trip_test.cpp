// Annotations saved by the viewer come back from the stand-in server as they
// were saved: read back, shown again and printed, over TCP and through the
// local-access library.

#include <gtest/gtest.h>

#include <QApplication>
#include <QImage>
#include <QPlainTextEdit>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "annotations/annotation_edit.h"
#include "annotations/annotation_rec.h"
#include "annotations/widgets/note_dialogs.h"
#include "engine/system_db.h"
#include "platform/draw_surface.h"
#include "platform/printer_recording.h"
#include "platform/scripted_prompts.h"
#include "printing/print_choices.h"
#include "render/image_view_transform.h"
#include "server/talq_client_api.h"
#include "support/annotation_box.h"
#include "support/scoped_env.h"
#include "support/scripted_dialog.h"
#include "support/server_process.h"
#include "support/wait_until.h"
#include "viewer/demo_suite.h"
#include "viewer/demo_window.h"
#include "viewer/widgets/frm_view.h"

namespace {

using docserver::demo::DemoPage;

constexpr std::int32_t kBlue = 0xFF0000;
constexpr std::int32_t kYellow = 0x00FFFF;
constexpr std::int32_t kPrintAllLayers = printing::kPrintSupportColor | printing::kPrintRedactions |
                                         printing::kPrintHighlights | printing::kPrintNotes |
                                         printing::kPrintMarkups;

// Every field, so a difference shows which.
std::string Fields(const AnnotationRec& r) {
    return std::to_string(r.Left) + " " + std::to_string(r.Top) + " " + std::to_string(r.Right) +
           " " + std::to_string(r.Bottom) + " " + std::to_string(r.Reserved4) + " font " +
           std::to_string(r.FontSize) + " " + std::to_string(r.FontStyle) + " " +
           std::to_string(r.Font7) + " " + std::to_string(r.Font8) + " " + r.FontName + " | " +
           std::to_string(r.LabelFlag) + " " + std::to_string(r.Field11) + " " +
           std::to_string(r.Color) + " " + std::to_string(r.Rotation) + " " +
           std::to_string(r.Color2) + " | " + r.Stamp + " | " + r.Text;
}

std::string Stamp(const std::string& label) {
    return TalqClientAPI_Header::AnnotationStamp(label, "admin", QDate(2026, 3, 4));
}

AnnotationRec Icon(int x, int y, const std::string& text) {
    AnnotationRec r = testsupport::AnnotationBox(x, y, x + 40, y + 40, 0);
    r.Stamp = Stamp("");
    r.Text = text;
    return r;
}

// One record of each kind, in the order the server returns the lists:
// redactions, highlights, sticky notes, text notes, clips, markups.
struct KindCase {
    AnnotationKind kind;
    AnnotationRec rec;
};
std::vector<KindCase> EveryKind() {
    AnnotationRec redaction = testsupport::AnnotationBox(300, 700, 900, 900, 0);
    redaction.FontSize = 20;
    redaction.FontStyle = 8;
    redaction.FontName = "Arial";
    redaction.LabelFlag = 1;
    redaction.Color2 = 16777215;
    redaction.Stamp = Stamp("PRIVILEGED, ATTY");
    AnnotationRec highlight = testsupport::AnnotationBox(1000, 40, 1800, 140, kYellow);
    highlight.Color2 = kYellow;
    highlight.Stamp = Stamp("");
    // Long enough to need most of a list, commas throughout.
    std::string longNote;
    while (longNote.size() < 2000) longNote += "Item " + std::to_string(longNote.size()) + ", ";
    longNote.resize(1999);
    longNote += ".";
    AnnotationRec textNote = testsupport::AnnotationBox(300, 1000, 1500, 1400, 255);
    textNote.FontSize = 12;
    textNote.FontName = "Arial";
    textNote.Stamp = Stamp("");
    textNote.Text = longNote;
    AnnotationRec clip = Icon(200, 1500, "C:\\Cases\\Smith, J\\brief.doc");
    clip.Color2 = 1;
    // Across the white top margin, so the pen shows on screen and paper.
    AnnotationRec markup = testsupport::AnnotationBox(100, 60, 100, 60, kBlue);
    markup.Rotation = 8;
    markup.Stamp = Stamp("");
    markup.Text = "100,60;900,60;900,100;1400,110";
    return {{kRedaction, redaction},
            {kHighlight, highlight},
            {kStickyNote, Icon(1200, 1500, "Call Bob, then Ann, by Friday")},
            {kTextNote, textNote},
            {kClip, clip},
            {kMarkup, markup}};
}

// Whether some pixel is near the colour (BGR), allowing for the print's scaling.
bool HasColour(const QImage& img, std::int32_t colour) {
    const int r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
    for (int y = 0; y < img.height(); y += 2)
        for (int x = 0; x < img.width(); x += 2) {
            const QRgb p = img.pixel(x, y);
            if (std::abs(qRed(p) - r) < 60 && std::abs(qGreen(p) - g) < 60 &&
                std::abs(qBlue(p) - b) < 60)
                return true;
        }
    return false;
}

class AnnotationRoundTripTest : public testsupport::DemoSuiteTest<AnnotationRoundTripTest> {
  protected:
    static void SetUpTestSuite() { SetUpDemo(23, 40); }

    AnnotationRoundTripTest() : scoped_(prompts) {
        platform::SetScreenTwipsPerPixelForTest({15.0, 15.0});
        testsupport::PointLocalModesAt(Sys());
        machine_ = std::make_shared<platform::RecordingPrinterCollection>();
        printer_ = machine_->Add("Rec");
        platform::InstallPrinterCollection(machine_);
    }
    ~AnnotationRoundTripTest() override {
        platform::InstallPrinterCollection(nullptr);
        platform::SetScreenTwipsPerPixelForTest({0.0, 0.0});
    }

    // Bitonal letter pages of the first half, which every mode may change.
    std::vector<std::string> PlainPages() const {
        std::vector<std::string> keys;
        const auto& pages = demo_->projects.front().pages;
        for (std::size_t i = 1; i < pages.size() / 2; ++i) {
            const DemoPage& p = pages[i];
            if (!p.placeholder && !p.restricted && p.rotation == 0 &&
                p.size == docserver::imaging::PageSize::Letter &&
                p.colour == docserver::imaging::PageColour::Bitonal)
                keys.push_back(p.key);
        }
        return keys;
    }

    // Opens the system's database and gives ACME a second user with every right.
    static void OpenWithEditor(docserver::SystemDb& db) {
        std::string error;
        ASSERT_TRUE(db.Open(Sys() + "/system.db", false, error)) << error;
        ASSERT_TRUE(db.Exec("INSERT OR IGNORE INTO users(user_id, password) VALUES ('EDITOR', "
                            "'ed'); INSERT OR IGNORE INTO user_projects(user_id, project_id, "
                            "security) SELECT 'EDITOR', project_id, 1 FROM projects WHERE name = "
                            "'ACME';",
                            error))
            << error;
    }
    static std::vector<std::string> Texts(const KindList& k) {
        std::vector<std::string> t;
        for (int i = 0; i < k.count; ++i) t.push_back(k.list[static_cast<std::size_t>(i)].Text);
        return t;
    }

    testsupport::ScopedUserStores stores_;
    platform::ScriptedPrompts prompts;
    platform::ScopedPrompts scoped_;
    std::shared_ptr<platform::RecordingPrinterCollection> machine_;
    std::shared_ptr<platform::RecordingPrinter> printer_;
};

TEST_F(AnnotationRoundTripTest, EveryKindComesBackShownAndPrintedAsSavedInEveryAccessMode) {
    testsupport::ServerProcess server(Sys());
    ASSERT_GT(server.Port(), 0) << server.Output();
    const std::vector<std::string> keys = PlainPages();
    ASSERT_GE(keys.size(), 3u);
    const std::vector<KindCase> kinds = EveryKind();
    for (int mode : {0, 1, 2}) {
        SCOPED_TRACE("access mode " + std::to_string(mode));
        auto window = testsupport::ShownMainWindow();
        testsupport::LogInThroughDialogs(*window, "admin", "admin", mode, "ACME", server.Port());
        ASSERT_EQ(window->login.szProjectName, "ACME");
        const std::string& key = keys[static_cast<std::size_t>(mode)];
        for (const KindCase& c : kinds) {
            // Over TCP the server takes no clips: they name files on the client.
            if (c.kind == kClip && mode == 0) continue;
            std::string text;
            TalqClientAPI_Header::BuildAnnotationList(1, {c.rec}, text);
            ASSERT_TRUE(
                window->TalqAPi->PutAnnotationList(key, static_cast<std::int16_t>(c.kind), text))
                << c.kind;
        }

        AnnotationTexts lists;
        ASSERT_TRUE(window->TalqAPi->GetAllAnnotations(key, lists));
        ASSERT_TRUE(window->DisplayImage(key));
        const viewer::PageAnnotations& shown = window->pageAnnotations;
        for (std::size_t i = 0; i < kinds.size(); ++i) {
            if (kinds[i].kind == kClip && mode == 0) continue;
            const AnnotationKind kind = kinds[i].kind;
            const AnnotationList* onScreen = &shown[kind].list;
            AnnotationList read;
            int count = 0;
            TalqClientAPI_Header::ParseAnnotationList(lists[kind], read, count);
            ASSERT_EQ(count, 1) << kinds[i].kind;
            EXPECT_EQ(Fields(read.front()), Fields(kinds[i].rec)) << "read back";
            ASSERT_EQ(onScreen->size(), 1u) << kinds[i].kind;
            EXPECT_EQ(Fields(onScreen->front()), Fields(kinds[i].rec)) << "shown";
        }
        // The markup's pen is drawn over the page on screen.
        mGdi32::ImageViewTransform t =
            mGdi32::TransformFor(window->MainPageDrawInfo(), window->page.g_ViewScaleFactor);
        std::int32_t sx = 500, sy = 60;
        mGdi32::ImageToScreen(sx, sy, t);
        EXPECT_EQ(window->ui.picImage2.Point(sx, sy), kBlue);

        printer_->images.clear();
        window->printDriver.printRequest.g_PrinterType = 0;
        window->printDriver.printRequest.PrintLocalPrinter = "Rec";
        window->printDriver.printRequest.g_PrintMode = 0;
        window->printDriver.printRequest.g_PrintRange = 0;
        window->printDriver.printRequest.g_PrintFlags = kPrintAllLayers;
        window->printDriver.printRequest.PrintEntireJob = 1;
        window->PrintSelection();
        ASSERT_EQ(printer_->images.size(), 1u);
        EXPECT_TRUE(HasColour(printer_->images.front(), kBlue)) << "the markup prints";
        EXPECT_TRUE(HasColour(printer_->images.front(), kYellow)) << "the highlight prints";
        EXPECT_TRUE(prompts.Messages().empty()) << prompts.Messages().front();
    }
}

// Reviewer A's idle connection is closed by the server, and A's page lock
// with it. Reviewer B takes the page, adds a note and moves on, or still
// holds it when A saves: A's change goes onto what is stored, once, B's
// notes stay, and while B holds the page A is told so by name.
TEST_F(AnnotationRoundTripTest, AReviewerWhoseLockWentNeverWritesOverAnotherReviewersNote) {
    docserver::SystemDb db;
    ASSERT_NO_FATAL_FAILURE(OpenWithEditor(db));
    testsupport::ServerProcess server(Sys(), false, {"--idle-timeout", "3"});
    ASSERT_GT(server.Port(), 0) << server.Output();
    const std::string key = PlainPages().at(1);
    auto window = testsupport::ShownMainWindow();
    testsupport::LogInThroughDialogs(*window, "admin", "admin", 0, "ACME", server.Port());
    TalqClientAPI other;
    ASSERT_TRUE(other.OpenTalqConnection(0, "DEMO", "127.0.0.1", server.Port(), 0, 0, 30));
    ASSERT_TRUE(other.TalqLogin("EDITOR", "ed", 1) && other.SelectProject("ACME"));
    auto texts = Texts;
    KindList notes;
    auto stored = [&] {
        AnnotationTexts lists;
        EXPECT_TRUE(other.GetAllAnnotations(key, lists));
        notes = {};
        TalqClientAPI_Header::ParseKindList(lists[kTextNote], notes);
        return texts(notes);
    };
    auto addNote = [&](const std::string& text) {
        stored();
        annotations::AppendRecord(notes, Icon(300, 1000 + 400 * notes.count, text));
        std::string list;
        TalqClientAPI_Header::BuildAnnotationList(notes.count, notes.list, list);
        EXPECT_TRUE(other.PutAnnotationList(key, kTextNote, list)) << other.LastError();
    };
    auto idleOut = [&] {
        return testsupport::WaitUntil([&] {
            docserver::Statement locks(db, "SELECT COUNT(*) FROM page_locks WHERE user_id = 'admin'");
            return locks.Step() && locks.Int(0) == 0;
        });
    };
    ASSERT_TRUE(other.PutAnnotationList(key, kTextNote, ""));
    addNote("A's note");
    ASSERT_TRUE(window->DisplayImage(key));

    ASSERT_TRUE(idleOut());
    addNote("B's note");
    talq::DialogFactory<annotations::frmAnnot>::Scoped edit(
        testsupport::ScriptedMaker<annotations::frmAnnot>([&](annotations::frmAnnot& d) {
            d.Text1->setPlainText("A's note, edited");
            d.cmdOK_Click();
        }));
    bool changed = false;
    window->ModifyAnnotations(320, 1020, changed);
    const std::vector<std::string> both{"A's note, edited", "B's note"};
    EXPECT_EQ(stored(), both);
    EXPECT_EQ(texts(window->pageAnnotations[kTextNote]), both) << "shown as stored";

    ASSERT_TRUE(idleOut());
    ASSERT_TRUE(other.SetPageLock(key));
    window->project.RedactMode = annotations::kToolTextNote;
    window->picImage_MouseDown(1, 0, 50 * 15, 50 * 15);
    EXPECT_EQ(window->mouse.MouseTrack, 0) << "no drawing on a page another holds";
    EXPECT_NE(window->page.g_PageReadOnly, 0);
    other.RemovePageLock(key);
    ASSERT_TRUE(window->DisplayImage(key));

    // Taken while A types.
    talq::DialogFactory<annotations::frmAnnot>::Scoped add(
        testsupport::ScriptedMaker<annotations::frmAnnot>([&](annotations::frmAnnot& d) {
            ASSERT_TRUE(idleOut());
            ASSERT_TRUE(other.SetPageLock(key));
            d.Text1->setPlainText("A's new note");
            d.cmdOK_Click();
            EXPECT_EQ(prompts.Messages().back(), "Unable to Save Annotations\nPage Locked by EDITOR");
            EXPECT_EQ(d.result(), 0) << "still open with its text";
            EXPECT_NE(window->page.g_PageReadOnly, 0) << "shown as locked";
            addNote("B's second note");
            other.RemovePageLock(key);
            d.cmdOK_Click();
            EXPECT_EQ(d.result(), QDialog::Accepted);
        }));
    window->picImage_MouseDown(1, 0, 50 * 15, 50 * 15);
    window->picImage_MouseMove(1, 0, 150 * 15, 150 * 15);
    window->picImage_MouseUp(1, 0, 150 * 15, 150 * 15);
    const std::vector<std::string> all{"A's note, edited", "B's note", "B's second note",
                                       "A's new note"};
    EXPECT_EQ(stored(), all);
    EXPECT_EQ(texts(window->pageAnnotations[kTextNote]), all) << "shown as stored";
}

// One login open in two viewers: the page's lock is the session's that took
// it. The twin is refused it by the holder's name and shows the page
// read-only; its list is refused and its release leaves the first's lock, so
// a third user's note stays.
TEST_F(AnnotationRoundTripTest, OneLoginInTwoViewersNeverTakesOrReleasesTheOthersLock) {
    docserver::SystemDb db;
    ASSERT_NO_FATAL_FAILURE(OpenWithEditor(db));
    testsupport::ServerProcess server(Sys());
    ASSERT_GT(server.Port(), 0) << server.Output();
    const auto& pages = demo_->projects.front().pages;
    const auto page = std::find_if(pages.rbegin(), pages.rend(),
                                   [](const DemoPage& p) { return !p.placeholder && !p.restricted; });
    const std::string key = page->key;
    TalqClientAPI editor;
    ASSERT_TRUE(editor.OpenTalqConnection(0, "DEMO", "127.0.0.1", server.Port(), 0, 0, 30));
    ASSERT_TRUE(editor.TalqLogin("EDITOR", "ed", 1) && editor.SelectProject("ACME"));
    auto put = [&](TalqClientAPI& api, const char* text) {
        std::string list;
        TalqClientAPI_Header::BuildAnnotationList(1, {Icon(300, 1400, text)}, list);
        return api.PutAnnotationList(key, kTextNote, list);
    };
    ASSERT_TRUE(put(editor, "EDITOR's note"));
    std::vector<std::unique_ptr<viewer::frmView>> admin;
    for (int i = 0; i < 2; ++i) {
        admin.push_back(testsupport::ShownMainWindow());
        testsupport::LogInThroughDialogs(*admin[i], "admin", "admin", 0, "ACME", server.Port());
        ASSERT_TRUE(admin[i]->DisplayImage(key));
        EXPECT_EQ(admin[i]->page.g_PageReadOnly, i) << "viewer " << i;
    }
    TalqClientAPI& twin = admin[1]->TalqAPi->Api();
    EXPECT_FALSE(put(twin, "twin's note"));
    EXPECT_EQ(twin.LastError(), "ERROR: Page Locked by admin");
    twin.RemovePageLock(key);
    EXPECT_FALSE(editor.SetPageLock(key));
    EXPECT_EQ(editor.LastError(), "ERROR: Page Locked by admin");
    talq::DialogFactory<annotations::frmAnnot>::Scoped add(
        testsupport::ScriptedMaker<annotations::frmAnnot>([&](annotations::frmAnnot& d) {
            d.Text1->setPlainText("admin's note");
            d.cmdOK_Click();
        }));
    admin[0]->project.RedactMode = annotations::kToolTextNote;
    admin[0]->picImage_MouseDown(1, 0, 50 * 15, 50 * 15);
    admin[0]->picImage_MouseUp(1, 0, 150 * 15, 150 * 15);
    AnnotationTexts lists;
    ASSERT_TRUE(editor.GetAllAnnotations(key, lists));
    KindList stored;
    TalqClientAPI_Header::ParseKindList(lists[kTextNote], stored);
    EXPECT_EQ(Texts(stored), (std::vector<std::string>{"EDITOR's note", "admin's note"}));
}

// The server stops while a note is open and comes back on its port: OK
// again saves the note once, without a new login; a delete that could not be
// stored leaves the note drawn and stored, and a new note given up after its
// save failed is not drawn.
TEST_F(AnnotationRoundTripTest, ANoteIsSavedOnceTheServerIsBackAndAFailedDeleteLeavesItDrawn) {
    auto server = std::make_unique<testsupport::ServerProcess>(Sys());
    const int port = server->Port();
    ASSERT_GT(port, 0) << server->Output();
    auto restart = [&] {
        server = std::make_unique<testsupport::ServerProcess>(
            Sys(), false, std::vector<std::string>{"--port", std::to_string(port)});
        ASSERT_EQ(server->Port(), port) << server->Output();
    };
    const std::vector<std::string> keys = PlainPages();
    ASSERT_FALSE(keys.empty());
    const std::string& key = keys.front();
    auto window = testsupport::ShownMainWindow();
    testsupport::LogInThroughDialogs(*window, "admin", "admin", 0, "ACME", port);
    AnnotationRec note = testsupport::AnnotationBox(300, 1000, 1500, 1400, 255);
    note.Stamp = Stamp("");
    note.Text = "first draft";
    std::string text;
    TalqClientAPI_Header::BuildAnnotationList(1, {note}, text);
    ASSERT_TRUE(window->TalqAPi->PutAnnotationList(key, kTextNote, text));
    ASSERT_TRUE(window->DisplayImage(key));
    auto stored = [&] {
        AnnotationTexts lists;
        EXPECT_TRUE(window->TalqAPi->GetAllAnnotations(key, lists));
        AnnotationList read;
        int count = 0;
        TalqClientAPI_Header::ParseAnnotationList(lists[kTextNote], read, count);
        std::vector<std::string> texts;
        for (int i = 0; i < count; ++i) texts.push_back(read[static_cast<std::size_t>(i)].Text);
        return texts;
    };
    // Failures told with the reason under them.
    auto failures = [&](const std::string& text = "Unable to Save/Modify Annotations") {
        int n = 0;
        for (const std::string& m : prompts.Messages())
            n += m.rfind(text + "\n", 0) == 0 && m.size() > text.size() + 1;
        return n;
    };

    talq::DialogFactory<annotations::frmAnnot>::Scoped edit(
        testsupport::ScriptedMaker<annotations::frmAnnot>([&](annotations::frmAnnot& d) {
            d.Text1->setPlainText("typed while the server was away");
            ASSERT_EQ(server->Stop(SIGTERM), 0);
            d.cmdOK_Click();
            EXPECT_EQ(failures(), 1);
            EXPECT_EQ(d.result(), 0) << "still open with its text";
            restart();
            d.cmdOK_Click();
            EXPECT_EQ(failures(), 1);
            EXPECT_EQ(d.result(), QDialog::Accepted);
        }));
    bool changed = false;
    window->ModifyAnnotations(800, 1200, changed);
    EXPECT_TRUE(changed);
    EXPECT_TRUE(window->TalqAPi->IsUserValid());
    EXPECT_EQ(stored(), std::vector<std::string>{"typed while the server was away"});
    {
        // The page on display is locked again, or another reviewer could
        // take it and write over the note.
        docserver::SystemDb db;
        std::string error;
        ASSERT_TRUE(db.Open(Sys() + "/system.db", false, error)) << error;
        docserver::Statement locks(db, "SELECT COUNT(*) FROM page_locks WHERE user_id = 'admin'");
        EXPECT_TRUE(locks.Step() && locks.Int(0) == 1);
    }

    talq::DialogFactory<annotations::frmAnnot>::Scoped remove(
        testsupport::ScriptedMaker<annotations::frmAnnot>([&](annotations::frmAnnot& d) {
            ASSERT_EQ(server->Stop(SIGTERM), 0);
            prompts.QueueAnswer(platform::vbYes);
            d.mnuDelete_Click();
            EXPECT_EQ(failures(), 2);
            d.cmdCancel_Click();
        }));
    window->ModifyAnnotations(800, 1200, changed);
    EXPECT_FALSE(changed);

    // A new note whose save failed and that was then given up.
    talq::DialogFactory<annotations::frmAnnot>::Scoped add(
        testsupport::ScriptedMaker<annotations::frmAnnot>([&](annotations::frmAnnot& d) {
            d.Text1->setPlainText("given up");
            d.cmdOK_Click();
            d.cmdCancel_Click();
        }));
    window->project.RedactMode = annotations::kToolTextNote;
    window->picImage_MouseDown(1, 0, 50 * 15, 50 * 15);
    window->picImage_MouseMove(1, 0, 150 * 15, 150 * 15);
    window->picImage_MouseUp(1, 0, 150 * 15, 150 * 15);
    EXPECT_EQ(failures("Unable to Save Annotations"), 1);
    window->RedisplayImage();
    ASSERT_EQ(window->pageAnnotations[kTextNote].count, 1) << "drawn as stored";
    EXPECT_EQ(window->pageAnnotations[kTextNote].list[0].Text, "typed while the server was away");
    restart();
    EXPECT_EQ(stored(), std::vector<std::string>{"typed while the server was away"})
        << "and still stored";

    // The password changed while the server was away: it refuses the login
    // of the reconnection, and the right one is given over the open dialog.
    auto setPassword = [&](const std::string& sql) {
        ASSERT_EQ(server->Stop(SIGTERM), 0);
        docserver::SystemDb db;
        std::string error;
        ASSERT_TRUE(db.Open(Sys() + "/system.db", false, error)) << error;
        ASSERT_TRUE(db.Exec(sql, error)) << error;
    };
    setPassword(
        "CREATE TABLE kept AS SELECT password FROM users WHERE user_id = 'admin';"
        "UPDATE users SET password = 'CHANGED' WHERE user_id = 'admin';");
    restart();
    prompts.QueueInput("");  // Cancel
    prompts.QueueInput("changed");
    auto asked = [&] {
        int n = 0;
        for (const platform::PromptRecord& r : prompts.Records())
            n += r.kind == platform::PromptRecord::kInput && r.title == "User Login";
        return n;
    };
    talq::DialogFactory<annotations::frmAnnot>::Scoped relogin(
        testsupport::ScriptedMaker<annotations::frmAnnot>([&](annotations::frmAnnot& d) {
            d.Text1->setPlainText("kept through a new login");
            d.cmdOK_Click();
            // The box says why the login is asked again.
            const std::string refusedWhy =
                "Unable to Save Annotations\nPassword Changed, Log In Again";
            EXPECT_EQ(failures("Unable to Save Annotations"), 2);
            EXPECT_EQ(asked(), 1);
            // Asked at once; the failure is told only once the login was given up.
            EXPECT_EQ(prompts.Records().back().text, refusedWhy);
            EXPECT_EQ(prompts.Records().back().kind, platform::PromptRecord::kMessage);
            EXPECT_EQ(d.result(), 0) << "a cancelled login keeps it open";
            EXPECT_FALSE(window->TalqAPi->IsUserValid());
            d.cmdOK_Click();
            EXPECT_EQ(asked(), 2);
            EXPECT_EQ(d.result(), QDialog::Accepted);
        }));
    window->picImage_MouseDown(1, 0, 50 * 15, 50 * 15);
    window->picImage_MouseMove(1, 0, 150 * 15, 150 * 15);
    window->picImage_MouseUp(1, 0, 150 * 15, 150 * 15);
    EXPECT_TRUE(window->TalqAPi->IsProjectValid());
    EXPECT_EQ(window->page.szCurrentKey, key);
    const std::vector<std::string> both{"typed while the server was away",
                                        "kept through a new login"};
    EXPECT_EQ(stored(), both) << "saved once";
    std::vector<std::string> drawn;
    for (int i = 0; i < window->pageAnnotations[kTextNote].count; ++i)
        drawn.push_back(window->pageAnnotations[kTextNote].list[static_cast<std::size_t>(i)].Text);
    EXPECT_EQ(drawn, both);
    setPassword(
        "UPDATE users SET password = (SELECT password FROM kept) WHERE user_id = 'admin';"
        "DROP TABLE kept;");
}

}  // namespace
