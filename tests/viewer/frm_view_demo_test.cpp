// The main window against a demo system: logging in through the login
// dialog, choosing the project from the list and showing pages, through the
// local-access library and over TCP.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QRegularExpression>
#include <QToolButton>
#include <QTreeWidget>

#include <algorithm>
#include <csignal>
#include <memory>
#include <string>
#include <vector>

#include "annotations/annotation_edit.h"
#include "annotations/annotation_rec.h"
#include "annotations/widgets/note_dialogs.h"
#include "engine/system_db.h"
#include "foundation/mod_registry.h"
#include "foundation/widgets/generic_dialogs.h"
#include "navigation/widgets/frm_prj_vw.h"
#include "platform/draw_surface.h"
#include "platform/scripted_prompts.h"
#include "platform/text_codec.h"
#include "render/image_view_transform.h"
#include "server/talq_client_api.h"
#include "server/widgets/frm_login.h"
#include "support/annotation_box.h"
#include "support/scoped_env.h"
#include "support/scripted_dialog.h"
#include "support/server_process.h"
#include "support/wait_until.h"
#include "viewer/demo_suite.h"
#include "viewer/demo_window.h"
#include "viewer/widgets/frm_native.h"
#include "viewer/widgets/frm_q_scroll.h"
#include "viewer/widgets/frm_view.h"
#include "viewer/widgets/talq_viewer_session.h"
#include "viewer/window_mouse.h"

namespace {

using docserver::demo::DemoPage;

constexpr std::int32_t kRed = 0x0000FF;
constexpr std::int32_t kYellow = 0x00FFFF;
constexpr int kLocalMode = 2;
constexpr int kRemoteMode = 0;

class FrmViewDemoTest : public testsupport::DemoSuiteTest<FrmViewDemoTest> {
  protected:
    static void SetUpTestSuite() { SetUpDemo(7, 90); }
    static const std::vector<DemoPage>& Pages() { return demo_->projects.front().pages; }
    // Index of the first page of the first half that passes the test.
    template <class Test>
    static int FirstPage(Test test, int from = 0) {
        for (int i = from; i < static_cast<int>(Pages().size()) / 2; ++i) {
            if (test(Pages()[static_cast<size_t>(i)])) return i;
        }
        return -1;
    }
    // The key of the first page from `from` on that shows an image anyone may see.
    static std::string OrdinaryPage(int from) {
        const int index =
            FirstPage([](const DemoPage& p) { return !p.placeholder && !p.restricted; }, from);
        return index < 0 ? "" : Pages()[static_cast<size_t>(index)].key;
    }

    FrmViewDemoTest() : scoped_(prompts) {
        platform::SetScreenTwipsPerPixelForTest({15.0, 15.0});
        testsupport::PointLocalModesAt(Sys());
        window = testsupport::ShownMainWindow();
        window->Form_Resize();
    }
    ~FrmViewDemoTest() override {
        window.reset();
        platform::SetScreenTwipsPerPixelForTest({0.0, 0.0});
    }

    TalqClientAPI& Api() { return static_cast<viewer::TalqViewerSession&>(*window->TalqAPi).Api(); }

    // The remote mode reaches a talq-server of the demo over loopback TCP.
    void LogInAndOpen(const std::string& user, const std::string& password, int mode = kLocalMode,
                      const std::string& project = "ACME") {
        if (mode == kRemoteMode) {
            if (!server_) server_ = std::make_unique<testsupport::ServerProcess>(Sys());
            ASSERT_GT(server_->Port(), 0) << server_->Output();
        }
        testsupport::LogInThroughDialogs(*window, user, password, mode, project,
                                         server_ ? server_->Port() : 0);
    }

    // The same port, so that the window's session finds its connection gone.
    void RestartServer() {
        const int port = server_->Port();
        ASSERT_EQ(server_->Stop(SIGTERM), 0);
        server_ = std::make_unique<testsupport::ServerProcess>(
            Sys(), false, std::vector<std::string>{"--port", std::to_string(port)});
        ASSERT_EQ(server_->Port(), port) << server_->Output();
    }

    // A second session on ACME beside the window's, through the library.
    static void OpenOther(TalqClientAPI& other, const std::string& user,
                          const std::string& password) {
        ASSERT_TRUE(other.OpenTalqConnection(kLocalMode, "", "", 0, 0, 0, 0)) << other.LastError();
        ASSERT_TRUE(other.TalqLogin(user, password, 1)) << other.LastError();
        ASSERT_TRUE(other.SelectProject("ACME")) << other.LastError();
    }

    // Pixel of the back buffer over a point of the stored image.
    std::int32_t BackAt(int x, int y) {
        mGdi32::ImageViewTransform t =
            mGdi32::TransformFor(window->MainPageDrawInfo(), window->page.g_ViewScaleFactor);
        std::int32_t sx = x, sy = y;
        mGdi32::ImageToScreen(sx, sy, t);
        return window->ui.picImage2.Point(sx, sy);
    }

    std::string Status() const { return window->ui.lblStatus->text().toStdString(); }

    testsupport::ScopedUserStores stores_;
    platform::ScriptedPrompts prompts;
    platform::ScopedPrompts scoped_;
    std::unique_ptr<testsupport::ServerProcess> server_;
    std::unique_ptr<viewer::frmView> window;
};

// Pages in the first document of the project.
int FirstDocumentLength(const std::vector<DemoPage>& pages) {
    int n = 1;
    while (n < static_cast<int>(pages.size()) && pages[static_cast<size_t>(n)].level < 1) ++n;
    return n;
}

TEST_F(FrmViewDemoTest, LoginAndProjectShowTheFirstPageWithItsPositionAndCaption) {
    LogInAndOpen("admin", "admin");
    ASSERT_EQ(window->login.szProjectName, "ACME");
    EXPECT_EQ(window->login.szUserID, "admin");
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Project: ACME"));
    const DemoPage& first = Pages().front();
    EXPECT_EQ(window->page.szCurrentKey, first.key);
    EXPECT_EQ(window->page.g_ValidImage, 1);
    EXPECT_EQ(Status(),
              first.key + " (Page 1 of " + std::to_string(FirstDocumentLength(Pages())) + ")");
    EXPECT_EQ(window->page.g_szLockedKey, first.key);
    EXPECT_EQ(window->project.g_RestrictAnnotations, 0);
    EXPECT_EQ(window->project.g_RestrictRedactions, 0);
    EXPECT_EQ(window->project.g_LimitNav, 0);
    EXPECT_FALSE(window->IsInputBlocked());
    EXPECT_TRUE(prompts.Messages().empty());
}

TEST_F(FrmViewDemoTest, PageButtonsWalkPagesAcrossDocumentsAndBackOverTcp) {
    LogInAndOpen("admin", "admin", kRemoteMode);
    ASSERT_EQ(window->page.g_ValidImage, 1) << Status() << " " << Api().LastError();
    ASSERT_FALSE(window->ui.NavTBar[1]->isHidden());
    const int docLength = FirstDocumentLength(Pages());
    for (int i = 1; i <= docLength; ++i) {
        window->ui.NavTBar[1]->click();
        const DemoPage& page = Pages()[static_cast<size_t>(i)];
        ASSERT_EQ(window->page.szCurrentKey, page.key) << Status();
        if (i < docLength) {
            EXPECT_NE(Status().find("(Page " + std::to_string(i + 1) + " of "), std::string::npos)
                << Status();
        }
    }
    // The page after the first document starts the next one: counted afresh.
    EXPECT_EQ(window->docPosition.g_szDocBkey, Pages()[static_cast<size_t>(docLength)].key);
    EXPECT_NE(Status().find("(Page 1 of "), std::string::npos) << Status();

    window->ui.NavTBar[0]->click();
    EXPECT_EQ(window->page.szCurrentKey, Pages()[static_cast<size_t>(docLength - 1)].key);
    EXPECT_NE(Status().find("(Page " + std::to_string(docLength) + " of "), std::string::npos)
        << Status();
    EXPECT_EQ(prompts.Beeps(), 0);
}

TEST_F(FrmViewDemoTest, RedactionAndHighlightAreDrawnOverThePage) {
    LogInAndOpen("admin", "admin");
    const int index = FirstPage([](const DemoPage& p) {
        return !p.placeholder && !p.restricted && p.size == docserver::imaging::PageSize::Letter;
    });
    ASSERT_GE(index, 0);
    const std::string key = Pages()[static_cast<size_t>(index)].key;
    {
        // Another session of the same system writes the page's lists, which
        // it may do only while no other session holds the page.
        window->ReleasePageLock();
        TalqClientAPI other;
        ASSERT_NO_FATAL_FAILURE(OpenOther(other, "admin", "admin"));
        AnnotationList red{testsupport::AnnotationBox(400, 1000, 1400, 1600, kRed)};
        AnnotationList hilite{testsupport::AnnotationBox(1600, 40, 2400, 140, kYellow)};
        std::string text;
        TalqClientAPI_Header::BuildAnnotationList(1, red, text);
        ASSERT_TRUE(other.PutAnnotationList(key, 4, text)) << other.LastError();
        TalqClientAPI_Header::BuildAnnotationList(1, hilite, text);
        ASSERT_TRUE(other.PutAnnotationList(key, 8, text)) << other.LastError();
    }
    ASSERT_TRUE(window->DisplayImage(key)) << Status();
    EXPECT_EQ(window->pageAnnotations[kRedaction].count, 1);
    EXPECT_EQ(window->pageAnnotations[kHighlight].count, 1);
    EXPECT_EQ(BackAt(900, 1300), kRed);
    // The top margin is white paper: the highlight shows in its colour.
    EXPECT_EQ(BackAt(2000, 90), kYellow);
    EXPECT_EQ(BackAt(2000, 300), 0xFFFFFF);
}

TEST_F(FrmViewDemoTest, ShapesDrawnWithTheMouseAreKeptByTheServerAndDeletedAgain) {
    LogInAndOpen("admin", "admin");
    const std::string key = OrdinaryPage(2);
    ASSERT_FALSE(key.empty());
    ASSERT_TRUE(window->DisplayImage(key)) << Status();
    const int highlights = window->pageAnnotations[kHighlight].count;
    const int markups = window->pageAnnotations[kMarkup].count;
    auto drag = [this](int tool, int x1, int y1, int x2, int y2) {
        testsupport::DragOn(*window, tool, x1, y1, x2, y2);
    };
    drag(14, 40, 40, 200, 90);
    drag(15, 60, 200, 200, 240);
    EXPECT_TRUE(prompts.Messages().empty()) << prompts.Messages().front();

    // Shown again, the page has what was drawn, as the server keeps it.
    ASSERT_TRUE(window->DisplayImage(key)) << Status();
    ASSERT_EQ(window->pageAnnotations[kHighlight].count, highlights + 1);
    EXPECT_EQ(window->pageAnnotations[kMarkup].count, markups + 1);
    const AnnotationRec& made = window->pageAnnotations[kHighlight].list.back();
    EXPECT_LT(made.Left, made.Right);
    EXPECT_EQ(TalqClientAPI_Header::StampLabel(made.Stamp), "");

    // A right click in the highlight deletes it from the server's list.
    talq::DialogFactory<SelBox>::Scoped pick(
        testsupport::ScriptedMaker<SelBox>([](SelBox& d) { d.Selection = 2; }));
    window->project.RedactMode = 0;
    mGdi32::ImageViewTransform t =
        mGdi32::TransformFor(window->MainPageDrawInfo(), window->page.g_ViewScaleFactor);
    std::int32_t sx = (made.Left + made.Right) / 2, sy = (made.Top + made.Bottom) / 2;
    mGdi32::ImageToScreen(sx, sy, t);
    window->picImage_MouseDown(2, 0, sx * 15, sy * 15);
    ASSERT_TRUE(window->DisplayImage(key)) << Status();
    EXPECT_EQ(window->pageAnnotations[kHighlight].count, highlights);
}

TEST_F(FrmViewDemoTest, PageLockedByAnotherUserIsReadOnly) {
    LogInAndOpen("admin", "admin");
    const std::string key = OrdinaryPage(1);
    ASSERT_FALSE(key.empty());
    TalqClientAPI other;
    ASSERT_NO_FATAL_FAILURE(OpenOther(other, "reviewer", "review"));
    ASSERT_TRUE(other.SetPageLock(key));

    ASSERT_TRUE(window->DisplayImage(key)) << Status();
    EXPECT_EQ(Status().rfind(key + " [READ ONLY]", 0), 0u) << Status();
    EXPECT_EQ(window->page.g_PageReadOnly, 1);
    EXPECT_TRUE(window->page.g_szLockedKey.empty());
}

// The server drops its locks when it restarts: the reconnection takes the
// page's lock again, or the page shows read-only once another user took it,
// before the reviewer draws on it.
TEST_F(FrmViewDemoTest, PageTakenDuringAServerRestartIsReadOnlyBeforeTheReviewerDraws) {
    LogInAndOpen("admin", "admin", kRemoteMode);
    const std::string key = OrdinaryPage(1);
    ASSERT_FALSE(key.empty());
    TalqClientAPI other;
    ASSERT_NO_FATAL_FAILURE(OpenOther(other, "reviewer", "review"));
    viewer::ViewerSession& session = *window->TalqAPi;
    auto readOnly = [&] { return Status().rfind(key + " [READ ONLY]", 0) == 0; };
    // Any request but the page's own finds the connection gone.
    auto anotherRequest = [&] {
        std::string date;
        session.ReadPageDate(key, date);
    };

    ASSERT_TRUE(window->DisplayImage(key)) << Status();
    ASSERT_NO_FATAL_FAILURE(RestartServer());
    anotherRequest();
    ASSERT_TRUE(
        testsupport::WaitUntil([&] { return window->page.lockEpoch == session.LockEpoch(); }));
    EXPECT_FALSE(readOnly()) << "taken again: " << Status();

    ASSERT_NO_FATAL_FAILURE(RestartServer());
    ASSERT_TRUE(other.SetPageLock(key)) << other.LastError();
    anotherRequest();
    EXPECT_TRUE(testsupport::WaitUntil(readOnly)) << Status();
    EXPECT_EQ(window->page.g_PageReadOnly, 1);

    // A drawing begun before the window had its turn never starts, and says
    // why.
    EXPECT_TRUE(prompts.Messages().empty()) << prompts.Messages().front();
    other.RemovePageLock(key);
    ASSERT_TRUE(window->DisplayImage(key)) << Status();
    ASSERT_NO_FATAL_FAILURE(RestartServer());
    ASSERT_TRUE(other.SetPageLock(key)) << other.LastError();
    anotherRequest();
    window->project.RedactMode = annotations::kToolHighlight;
    window->picImage_MouseDown(1, 0, 50 * 15, 50 * 15);
    EXPECT_EQ(window->mouse.MouseTrack, 0);
    window->picImage_MouseUp(1, 0, 150 * 15, 150 * 15);
    EXPECT_TRUE(readOnly()) << Status();
    EXPECT_EQ(prompts.Messages(),
              std::vector<std::string>{"Unable to Lock Page\nPage Locked by reviewer"});
}

// An idle connection tells nothing of a restart, and a drawing sends no
// request: the drawing itself finds the connection gone and follows the lock
// before it begins.
TEST_F(FrmViewDemoTest, PageTakenDuringARestartIsReadOnlyBeforeADrawingThoughNoRequestWentBetween) {
    LogInAndOpen("admin", "admin", kRemoteMode);
    const std::string key = OrdinaryPage(2);
    ASSERT_FALSE(key.empty());
    TalqClientAPI other;
    ASSERT_NO_FATAL_FAILURE(OpenOther(other, "reviewer", "review"));
    auto readOnly = [&] { return Status().rfind(key + " [READ ONLY]", 0) == 0; };
    window->project.RedactMode = annotations::kToolHighlight;

    ASSERT_TRUE(window->DisplayImage(key)) << Status();
    ASSERT_NO_FATAL_FAILURE(RestartServer());
    ASSERT_TRUE(other.SetPageLock(key)) << other.LastError();
    window->picImage_MouseDown(1, 0, 50 * 15, 50 * 15);
    EXPECT_EQ(window->mouse.MouseTrack, 0);
    EXPECT_TRUE(readOnly()) << Status();
    EXPECT_EQ(prompts.Messages(),
              std::vector<std::string>{"Unable to Lock Page\nPage Locked by reviewer"});

    // Nobody took it: the lock is taken again and the drawing begins.
    other.RemovePageLock(key);
    ASSERT_TRUE(window->DisplayImage(key)) << Status();
    ASSERT_NO_FATAL_FAILURE(RestartServer());
    window->picImage_MouseDown(1, 0, 50 * 15, 50 * 15);
    EXPECT_EQ(window->mouse.MouseTrack, annotations::kToolHighlight);
    EXPECT_FALSE(readOnly()) << Status();
    EXPECT_TRUE(window->TalqAPi->HoldsPageLock(key));
    const int highlights = window->pageAnnotations[kHighlight].count;
    window->picImage_MouseUp(1, 0, 150 * 15, 150 * 15);
    EXPECT_EQ(window->pageAnnotations[kHighlight].count, highlights + 1) << "saved";
    EXPECT_EQ(prompts.Messages().size(), 1U);
}

// Through the library no connection ends when another process takes the
// page: the drawing asks for the lock before it begins.
TEST_F(FrmViewDemoTest, PageTakenFromALocalSessionIsReadOnlyBeforeADrawing) {
    LogInAndOpen("admin", "admin");
    const std::string key = OrdinaryPage(3);
    ASSERT_FALSE(key.empty());
    ASSERT_TRUE(window->DisplayImage(key)) << Status();
    {
        // As when another machine judged this viewer gone.
        docserver::SystemDb db;
        std::string error;
        ASSERT_TRUE(db.Open(Sys() + "/system.db", false, error)) << error;
        ASSERT_TRUE(db.Exec("DELETE FROM page_locks", error)) << error;
    }
    TalqClientAPI other;
    ASSERT_NO_FATAL_FAILURE(OpenOther(other, "reviewer", "review"));
    ASSERT_TRUE(other.SetPageLock(key)) << other.LastError();
    window->project.RedactMode = annotations::kToolHighlight;
    window->picImage_MouseDown(1, 0, 50 * 15, 50 * 15);
    EXPECT_EQ(window->mouse.MouseTrack, 0);
    EXPECT_EQ(Status().rfind(key + " [READ ONLY]", 0), 0U) << Status();
    EXPECT_EQ(prompts.Messages(),
              std::vector<std::string>{"Unable to Lock Page\nPage Locked by reviewer"});
}

TEST_F(FrmViewDemoTest, RestrictedPageShowsReadOnlyWithoutLockOrOriginal) {
    LogInAndOpen("admin", "admin");
    const int index = FirstPage([](const DemoPage& p) { return p.restricted; });
    ASSERT_GE(index, 0);
    const std::string key = Pages()[static_cast<size_t>(index)].key;
    ASSERT_TRUE(window->DisplayImage(key)) << Status();
    EXPECT_EQ(window->page.g_PageRestricted != 0, true);
    EXPECT_EQ(window->page.g_PageReadOnly, 1);
    EXPECT_TRUE(window->page.g_szLockedKey.empty());
    EXPECT_TRUE(window->page.g_szNativeFile.empty());
    // The server refuses a lock on a page no one may change.
    EXPECT_EQ(Status().rfind(key + " [READ ONLY]", 0), 0u) << Status();
}

TEST_F(FrmViewDemoTest, ConfinedReviewerGetsNoFirstPageButSeesPagesInsideTheRange) {
    LogInAndOpen("reviewer", "review");
    ASSERT_EQ(window->login.szProjectName, "ACME");
    EXPECT_EQ(window->project.g_LimitNav, 1);
    EXPECT_EQ(window->page.g_ValidImage, 0);
    EXPECT_TRUE(window->page.szCurrentKey.empty());
    // May see through redactions but not change them.
    EXPECT_EQ(window->project.g_RestrictRedactions, 2);
    const std::string key = Pages()[1].key;
    ASSERT_TRUE(window->DisplayImage(key)) << Status();
    EXPECT_EQ(window->page.szCurrentKey, key);
}

TEST_F(FrmViewDemoTest, PlaceholderPageShowsItsTextAsAPage) {
    LogInAndOpen("admin", "admin");
    const int index = FirstPage([](const DemoPage& p) { return p.placeholder; });
    ASSERT_GE(index, 0);
    const std::string key = Pages()[static_cast<size_t>(index)].key;
    ASSERT_TRUE(window->DisplayImage(key)) << Status();
    EXPECT_EQ(window->page.g_ValidImage, 2);
    EXPECT_FLOAT_EQ(window->page.g_ViewScaleFactor, 1.0f);
    EXPECT_GT(window->page.g_ImgWidth, 0);

    window->settings.UseTextBox = true;
    ASSERT_TRUE(window->DisplayImage(key)) << Status();
    EXPECT_TRUE(window->ui.txtImage->isVisible());
    EXPECT_FALSE(window->ui.picImage->isVisible());
    EXPECT_FALSE(window->ui.txtImage->toPlainText().isEmpty());
}

TEST_F(FrmViewDemoTest, CorruptImageEndsWithItsMarkAndNoLock) {
    const int index = FirstPage(
        [](const DemoPage& p) { return !p.placeholder && !p.restricted && !p.imageFile.empty(); },
        static_cast<int>(Pages().size()) / 4);
    ASSERT_GE(index, 0);
    const DemoPage& page = Pages()[static_cast<size_t>(index)];
    // The file is the page's own: no other test shows it.
    const std::string file = Sys() + "/" + page.imageFile;
    const std::string kept = testsupport::ReadFile(file);
    testsupport::WriteFile(file, "garbage that is no image");
    LogInAndOpen("admin", "admin");
    const bool shown = window->DisplayImage(page.key);
    testsupport::WriteFile(file, kept);
    EXPECT_FALSE(shown);
    EXPECT_EQ(Status(), page.key + " *** Error Opening Image ***");
    EXPECT_EQ(window->page.g_ValidImage, 0);
    EXPECT_TRUE(window->page.g_szLockedKey.empty());
    ASSERT_EQ(prompts.Messages().size(), 1u);
}

TEST_F(FrmViewDemoTest, DocumentOriginalOpensInItsWindowAndPagesToItsEndOverTcp) {
    LogInAndOpen("admin", "admin", kRemoteMode);
    const int index =
        FirstPage([](const DemoPage& p) { return !p.restricted && !p.originalFile.empty(); });
    ASSERT_GE(index, 0);
    const DemoPage& page = Pages()[static_cast<size_t>(index)];
    ASSERT_TRUE(window->DisplayImage(page.key)) << Status();
    ASSERT_EQ(window->page.g_szNativeFile, page.originalFile);
    window->DisplayOriginalFile();
    ASSERT_NE(viewer::gNativeForm, nullptr);
    viewer::frmNative& form = *viewer::gNativeForm;
    ASSERT_TRUE(form.ImageLoaded()) << (prompts.Messages().empty() ? "" : prompts.Messages()[0]);
    while (prompts.Beeps() == 0 && form.PageNbr() < 40) form.Tbar_Click(7);
    EXPECT_TRUE(prompts.Messages().empty());
    EXPECT_EQ(form.PageCount(), form.PageNbr());
    EXPECT_TRUE(form.ImageLoaded());
    form.mnuColor_Click();
    EXPECT_TRUE(form.ImageLoaded());
    window->ClearProjectViews();
    EXPECT_EQ(viewer::gNativeForm, nullptr);
}

TEST_F(FrmViewDemoTest, OriginalOutsideTheReviewersRangeIsWithheld) {
    LogInAndOpen("reviewer", "review");
    std::string outside;
    for (size_t i = Pages().size() - 1; i > Pages().size() / 2 && outside.empty(); --i) {
        if (!Pages()[i].restricted) outside = Pages()[i].originalFile;
    }
    ASSERT_FALSE(outside.empty());
    ASSERT_TRUE(window->DisplayImage(Pages()[1].key)) << Status();
    window->page.g_szNativeFile = outside;
    window->DisplayOriginalFile();
    ASSERT_NE(viewer::gNativeForm, nullptr);
    EXPECT_FALSE(viewer::gNativeForm->ImageLoaded());
    EXPECT_EQ(prompts.Messages(),
              (std::vector<std::string>{"Error: Unable to Retrieve Original File"}));
}

TEST_F(FrmViewDemoTest, QueryListQuickScrollsToItsLastRow) {
    LogInAndOpen("admin", "admin");
    testsupport::ScopedTempDir keys;
    const std::string file = keys.Path() + "/keys.txt";
    // A list of pages (level 0: one row a page) uploaded as a key-list file.
    const std::vector<std::string> starts = {Pages()[3].key, Pages()[5].key, Pages()[8].key};
    testsupport::WriteFile(file, starts[0] + "\r\n" + starts[1] + "\r\n" + starts[2] + "\r\n");
    ASSERT_TRUE(TalqClientAPI_Header::UploadKeyListFile(*window->TalqAPi,
                                                        window->query.CurrentQuery, file, 0));
    window->query.Query_Active = 2;
    window->Form_Resize();
    window->LoadQueryList();
    ASSERT_EQ(window->ui.QueryList->count(), 3);
    window->ui.QueryList->setCurrentRow(0);
    window->TBQuery_Click(5);
    ASSERT_NE(window->quickScroll.form, nullptr);
    for (int i = 0; i < 60; ++i) window->quickScroll.form->cmdInterval_Click(0);
    QElapsedTimer clock;
    clock.start();
    while (window->quickScroll.form != nullptr && clock.elapsed() < 8000) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    }
    EXPECT_EQ(window->quickScroll.form, nullptr);
    EXPECT_EQ(window->page.szCurrentKey, starts[2]);
    EXPECT_EQ(window->page.g_ValidImage, 1) << Status();
}

// An administrator resets a reviewer's password, or disables the user, with
// the README's statements while the viewer is logged in over TCP: whatever
// the reviewer does first says why once, in words, before any login box asks
// again; the actions after it pile no further box, and a note typed
// meanwhile stays in its dialog.
TEST_F(FrmViewDemoTest, APasswordResetOrADisabledUserIsToldOnceByTheFirstActionAfterIt) {
    auto administer = [](const std::string& sql) {
        docserver::SystemDb db;
        std::string error;
        ASSERT_TRUE(db.Open(Sys() + "/system.db", false, error)) << error;
        ASSERT_TRUE(db.Exec(sql, error)) << sql << ": " << error;
    };
    struct Change {
        const char* sql;
        const char* told;
    };
    const Change changes[] = {
        {"UPDATE users SET password = 'Fresh456' WHERE user_id = 'ANN'",
         "Password Changed, Log In Again"},
        {"UPDATE users SET disabled = 1 WHERE user_id = 'ANN'", "User Disabled, Session Ended"}};
    enum First { kNext, kGoTo, kTagPalette, kHighlight, kNote, kTurn, kPrintRange, kEditor };
    const std::string key = OrdinaryPage(2);
    ASSERT_FALSE(key.empty());
    for (const Change& change : changes) {
        // The note last: a disabled user is asked no password, which leaves
        // its answer queued.
        for (First first :
             {kNext, kGoTo, kTagPalette, kHighlight, kTurn, kPrintRange, kEditor, kNote}) {
            SCOPED_TRACE(std::string(change.told) + ", first action " + std::to_string(first));
            administer(
                "INSERT OR IGNORE INTO users(user_id, password, full_name) VALUES ('ANN', "
                "'Start123', 'Ann Smith'); UPDATE users SET password = 'Start123', disabled = 0 "
                "WHERE user_id = 'ANN'; INSERT OR IGNORE INTO user_projects(user_id, project_id, "
                "security) SELECT 'ANN', project_id, 0x10 | 0x20 | 0x80 FROM projects WHERE name "
                "= 'ACME';");
            ASSERT_NO_FATAL_FAILURE(LogInAndOpen("ANN", "Start123", kRemoteMode));
            ASSERT_TRUE(window->DisplayImage(key)) << Status();
            administer(change.sql);
            prompts.Clear();
            auto told = [&] {
                int n = 0;
                for (const platform::PromptRecord& r : prompts.Records())
                    n += r.kind != platform::PromptRecord::kBeep &&
                         r.text.find(change.told) != std::string::npos;
                return n;
            };
            int logins = 0;
            talq::DialogFactory<frmLogin>::Scoped login(
                testsupport::ScriptedMaker<frmLogin>([&](frmLogin& d) {
                    ++logins;
                    EXPECT_GE(told(), 1) << "said before the login box";
                    d.cmdCancel_Click();
                }));

            auto drag = [&](int tool) {
                window->project.RedactMode = static_cast<std::int16_t>(tool);
                window->picImage_MouseDown(1, 0, 50 * 15, 50 * 15);
                window->picImage_MouseMove(1, 0, 150 * 15, 150 * 15);
                window->picImage_MouseUp(1, 0, 150 * 15, 150 * 15);
            };
            if (first != kNote) {
                if (first == kNext) {
                    window->ui.NavTBar[1]->click();
                } else if (first == kGoTo) {
                    prompts.QueueInput(OrdinaryPage(3));
                    window->MiscTBar_Click(0);
                } else if (first == kPrintRange) {
                    window->printDriver.printRequest.g_PrintRange = 2;
                    prompts.QueueInput(OrdinaryPage(3));
                    prompts.QueueInput("");  // the key asked again: cancelled
                    window->PrintSelection();
                } else if (first == kTurn || first == kEditor) {
                    first == kTurn ? window->Tbar_Click(8) : window->TBTag_Click(0);
                } else {
                    first == kTagPalette ? window->Tbar_Click(2)
                                         : drag(annotations::kToolHighlight);
                }
                EXPECT_EQ(prompts.Messages().size(), 1u);
            } else {
                const std::string typed = "typed as the password was reset";
                prompts.QueueInput("");  // the password asked again: cancelled
                bool kept = false;
                talq::DialogFactory<annotations::frmAnnot>::Scoped note(
                    testsupport::ScriptedMaker<annotations::frmAnnot>(
                        [&](annotations::frmAnnot& d) {
                            d.Text1->setPlainText(QString::fromStdString(typed));
                            d.cmdOK_Click();
                            kept = d.result() == 0 && d.Text1->toPlainText().toStdString() == typed;
                            d.cmdCancel_Click();
                        }));
                drag(annotations::kToolTextNote);
                EXPECT_TRUE(kept) << "the failed save keeps the dialog and its text";
                // The password is asked again saying why, but of a disabled user.
                const auto& r = prompts.Records();
                const auto asked = std::find_if(r.begin(), r.end(), [](const auto& p) {
                    return p.kind != platform::PromptRecord::kBeep;
                });
                ASSERT_NE(asked, r.end());
                EXPECT_NE(asked->text.find(change.told), std::string::npos) << asked->text;
                EXPECT_EQ(asked->kind, &change == &changes[0] ? platform::PromptRecord::kInput
                                                              : platform::PromptRecord::kMessage);
            }
            EXPECT_GE(told(), 1);
            EXPECT_EQ(logins, 0);
            EXPECT_FALSE(window->TalqAPi->IsUserValid());

            // Later actions add no box of their own; the login asks again.
            const std::size_t boxes = prompts.Messages().size();
            const int toldBefore = told();
            window->MiscTBar_Click(0);  // Go To
            window->ui.NavTBar[1]->click();
            window->TBTag_Click(0);
            EXPECT_EQ(prompts.Messages().size(), boxes);
            EXPECT_EQ(told(), toldBefore);
            EXPECT_EQ(logins, 2);
        }
    }
    administer("UPDATE users SET disabled = 1 WHERE user_id = 'ANN'");
}

TEST_F(FrmViewDemoTest, SecondLoginStillShowsPages) {
    LogInAndOpen("admin", "admin");
    ASSERT_EQ(window->page.g_ValidImage, 1) << Status();
    // A new login empties the session's temporary folder.
    LogInAndOpen("admin", "admin");
    ASSERT_EQ(window->page.g_ValidImage, 1) << Status();
    EXPECT_TRUE(prompts.Messages().empty());
}

TEST_F(FrmViewDemoTest, ToolbarFitsZoomsToItsLimitsAndRotatesWithTheServerKeepingIt) {
    LogInAndOpen("admin", "admin");
    ASSERT_EQ(window->page.g_ValidImage, 1) << Status();
    ASSERT_EQ(window->page.g_PageReadOnly, 0);
    const std::string key = window->page.szCurrentKey;
    const int pane = window->ui.picImage->width();

    window->Tbar_Click(5);
    EXPECT_EQ(window->zoom.g_ScaleMode, 0);
    EXPECT_FLOAT_EQ(window->zoom.g_ScaleFactor,
                    static_cast<float>(pane) / static_cast<float>(window->page.g_ImgWidth));
    window->Tbar_Click(6);
    EXPECT_EQ(window->zoom.g_ScaleMode, 1);
    EXPECT_LE(window->zoom.g_DspHeight, window->ui.picImage->height());

    window->zoom.g_ScaleFactor = 3.95f;
    window->Tbar_Click(10);
    window->Tbar_Click(10);
    EXPECT_FLOAT_EQ(window->zoom.g_ScaleFactor, 4.0f);
    EXPECT_EQ(window->zoom.g_ScaleMode, 2);
    EXPECT_EQ(window->ui.cboZoom->currentText(), QStringLiteral("400%"));
    window->zoom.g_ScaleFactor = 0.1f;
    window->Tbar_Click(9);
    window->Tbar_Click(9);
    EXPECT_FLOAT_EQ(window->zoom.g_ScaleFactor, 0.05f);

    // A quarter turn is kept on the server and carried to the next page.
    const std::int32_t before = window->page.g_Rotation;
    const std::int32_t w = window->page.g_ImgWidth, h = window->page.g_ImgHeight;
    window->Tbar_Click(8);
    const std::int32_t turned = (before + 1) % 4;
    EXPECT_EQ(window->page.g_Rotation, turned);
    EXPECT_EQ(window->page.g_ImgWidth, h);
    EXPECT_EQ(window->page.g_ImgHeight, w);
    EXPECT_EQ(window->settings.g_StickyRotation, turned);
    auto stored = [&](const std::string& k) {
        TalqClientAPI other;
        OpenOther(other, "admin", "admin");
        std::int32_t level = 0, rotation = -1, restricted = 0;
        std::string info, native;
        EXPECT_TRUE(other.GetImagePageInfo(k, level, rotation, restricted, info, native));
        return rotation;
    };
    EXPECT_EQ(stored(key), turned);
    window->mnuStickyRotate_Click();
    window->ui.NavTBar[1]->click();
    ASSERT_NE(window->page.szCurrentKey, key);
    EXPECT_EQ(window->page.g_Rotation, turned);
    window->mnuStickyRotate_Click();

    // Back to the first page and its stored turn undone, for the other tests.
    window->ui.NavTBar[0]->click();
    ASSERT_EQ(window->page.szCurrentKey, key);
    window->Tbar_Click(7);
    EXPECT_EQ(stored(key), before);
    EXPECT_EQ(prompts.Beeps(), 0);
}

TEST_F(FrmViewDemoTest, ZoomWindowButtonUnlatchesTheToolAndItsCrosshair) {
    LogInAndOpen("admin", "admin");
    ASSERT_EQ(window->page.g_ValidImage, 1) << Status();
    window->Tbar_Click(14);
    EXPECT_EQ(window->project.RedactMode, 14);
    EXPECT_EQ(window->ui.picImage->cursor().shape(), Qt::CrossCursor);
    window->Tbar_Click(17);
    EXPECT_EQ(window->project.RedactMode, 0);
    EXPECT_EQ(window->ui.picImage->cursor().shape(), Qt::ArrowCursor);
    EXPECT_EQ(window->zoom.ZoomWin_Active, 1);
    EXPECT_TRUE(window->ui.picZoom->isVisible());
    window->Tbar_Click(17);
    EXPECT_FALSE(window->ui.picZoom->isVisible());
}

TEST_F(FrmViewDemoTest, AdminSeesEveryToolAndTheConfinedReviewerNeitherQueriesNorTools) {
    auto shown = [&](std::initializer_list<int> indexes) {
        std::string out;
        for (int i : indexes)
            out += window->ui.Tbar[static_cast<size_t>(i)]->isHidden() ? '-' : '+';
        return out;
    };
    LogInAndOpen("admin", "admin");
    EXPECT_EQ(shown({2, 3, 4, 11, 12, 13, 14, 15, 16, 18}), "++++++++++");
    LogInAndOpen("reviewer", "review");
    EXPECT_EQ(shown({2, 3, 4, 11, 12, 13, 14, 15, 16, 18}), "+---------");
    // Reached another way, the hidden search does nothing.
    window->Tbar_Click(4);
    EXPECT_EQ(window->query.Query_Active, 0);
    EXPECT_EQ(prompts.Beeps(), 0);
}

// The first document of the project, printed by the reviewer on display.
TEST_F(FrmViewDemoTest, ADocumentPrintsAsABatchJobLineByLineAndToPdfAndIsLogged) {
    LogInAndOpen("admin", "admin");
    ASSERT_EQ(window->page.g_ValidImage, 1) << Status();
    const int length = FirstDocumentLength(Pages());
    window->printDriver.printRequest.g_PrinterType = 1;
    window->printDriver.printRequest.PrintBatchPrinter = "Floor 2 Laser";
    window->printDriver.printRequest.g_PrintRange = 1;
    window->printDriver.printRequest.g_PrintFlags =
        printing::kPrintImageKey | printing::kPrintMessage;
    window->printDriver.printRequest.g_szPrintMsg = "Conf";
    window->PrintSelection();
    ASSERT_TRUE(prompts.Messages().empty()) << prompts.Messages().front();

    const QStringList jobs = QDir(QString::fromStdString(Sys() + "/batch/floor2"))
                                 .entryList({"*.JOB"}, QDir::Files, QDir::Name);
    ASSERT_EQ(jobs.size(), 1);
    QFile job(QString::fromStdString(Sys() + "/batch/floor2/") + jobs.front());
    ASSERT_TRUE(job.open(QIODevice::ReadOnly));
    std::vector<std::string> lines;
    for (const QByteArray& line : job.readAll().split('\n'))
        if (line.contains("~0~")) lines.push_back(line.toStdString());
    ASSERT_EQ(lines.size(), static_cast<size_t>(length));
    for (int i = 0; i < length; ++i) {
        const DemoPage& p = Pages()[static_cast<size_t>(i)];
        const std::string code = p.level > 0 ? Api().ResolveLevel2Bndry(p.level) : "";
        EXPECT_EQ(lines[static_cast<size_t>(i)],
                  p.key + (p.restricted ? "*R" : "") + "~0~ACME~Conf~" + code + "~" + p.key);
    }

    const std::string pdf = stores_.Root() + "/document.pdf";
    window->printDriver.printRequest.g_PrinterType = 0;
    window->printDriver.printRequest.PrintLocalPrinter = pdf;
    window->PrintSelection();
    ASSERT_TRUE(prompts.Messages().empty()) << prompts.Messages().front();
    QFile out(QString::fromStdString(pdf));
    ASSERT_TRUE(out.open(QIODevice::ReadOnly));
    EXPECT_EQ(
        QString::fromLatin1(out.readAll()).count(QRegularExpression("/Type\\s*/Page\\b(?!s)")),
        length);

    docserver::SystemDb db;
    std::string error;
    ASSERT_TRUE(db.Open(Sys() + "/system.db", false, error)) << error;
    docserver::Statement log(db,
                             "SELECT user_id, project, local_pages, batch_pages FROM print_log "
                             "ORDER BY log_id");
    std::vector<std::string> rows;
    while (log.Step())
        rows.push_back(log.Text(0) + "|" + log.Text(1) + "|" + std::to_string(log.Int(2)) + "|" +
                       std::to_string(log.Int(3)));
    EXPECT_EQ(rows, (std::vector<std::string>{"admin|ACME|0|" + std::to_string(length),
                                              "admin|ACME|" + std::to_string(length) + "|0"}));
}

}  // namespace

namespace {

TEST_F(FrmViewDemoTest, ProjectTreeAndFullPositionNavigateTheDemoProjectOverTcp) {
    LogInAndOpen("admin", "admin", kRemoteMode);
    ASSERT_EQ(window->page.szCurrentKey, Pages().front().key);
    window->ToggleProjectView();
    navigation::frmPrjVw* tree = window->ProjectTree();
    ASSERT_NE(tree, nullptr);
    int boxes = 0;
    for (const DemoPage& p : Pages()) boxes += p.level >= docserver::demo::kBoxLevel ? 1 : 0;
    EXPECT_EQ(tree->TView1->topLevelItemCount(), boxes);
    EXPECT_EQ(navigation::frmPrjVw::NodeKey(tree->TView1->currentItem()).substr(1),
              Pages().front().key);

    // A click on the second folder's node shows its first page; opening it
    // reads its documents and selects the first.
    int second = 1, folders = 0;
    for (const DemoPage& p : Pages()) folders += p.level >= docserver::demo::kFolderLevel ? 1 : 0;
    while (second < static_cast<int>(Pages().size()) &&
           Pages()[static_cast<size_t>(second)].level < docserver::demo::kFolderLevel)
        ++second;
    ASSERT_LT(second, static_cast<int>(Pages().size()));
    const std::string folderKey = Pages()[static_cast<size_t>(second)].key;
    QTreeWidgetItem* folder = tree->FindNode(std::string(1, '\1') + folderKey);
    ASSERT_NE(folder, nullptr);
    tree->TView1->setCurrentItem(folder);
    tree->TView1_NodeClick(folder);
    EXPECT_EQ(window->page.szCurrentKey, folderKey);
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(tree->TView1, &enter);
    EXPECT_GT(folder->childCount(), 0);
    EXPECT_EQ(navigation::frmPrjVw::NodeKey(tree->TView1->currentItem()).substr(1), folderKey);

    window->settings.g_CalcDocPsn = 2;
    ASSERT_TRUE(window->DisplayImage(folderKey));
    ASSERT_EQ(boxes, 1);
    EXPECT_NE(
        Status().find("Box: 1 of 1  Folder: 2 of " + std::to_string(folders) + "  Document: "),
        std::string::npos)
        << Status();
}

}  // namespace
