// The main window against a demo system: logging in through the login
// dialog, choosing the project from the list and showing pages, through the
// local-access library and over TCP.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QToolButton>

#include <memory>
#include <string>

#include "annotations/annotation_rec.h"
#include "foundation/mod_registry.h"
#include "foundation/widgets/generic_dialogs.h"
#include "platform/draw_surface.h"
#include "platform/scripted_prompts.h"
#include "render/image_view_transform.h"
#include "server/talq_client_api.h"
#include "server/widgets/frm_login.h"
#include "support/annotation_box.h"
#include "support/scoped_env.h"
#include "support/scripted_dialog.h"
#include "support/server_process.h"
#include "viewer/demo_suite.h"
#include "viewer/widgets/frm_view.h"
#include "viewer/widgets/talq_viewer_session.h"

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

    FrmViewDemoTest() : scoped_(prompts) {
        platform::SetScreenTwipsPerPixelForTest({15.0, 15.0});
        modRegistry::RegSetString(modRegistry::HKEY_CURRENT_USER,
                                  "Software\\TALQTech\\VYNSYS\\Paths", "Local", Sys() + "/");
        window = std::make_unique<viewer::frmView>();
        window->Form_Load();
        window->resize(900, 700);
        window->show();
        QApplication::processEvents();
        window->Form_Resize();
    }
    ~FrmViewDemoTest() override {
        window.reset();
        platform::SetScreenTwipsPerPixelForTest({0.0, 0.0});
    }

    TalqClientAPI& Api() { return static_cast<viewer::TalqViewerSession&>(*window->TalqAPi).Api(); }

    // Logs in from the menu with the answers a person would type, then picks
    // the project from the list.
    void LogInAndOpen(const std::string& user, const std::string& password, int mode = kLocalMode,
                      const std::string& project = "ACME") {
        if (mode == kRemoteMode) {
            if (!server_) server_ = std::make_unique<testsupport::ServerProcess>(Sys());
            ASSERT_GT(server_->Port(), 0) << server_->Output();
            window->login.szDomain = "DEMO";
            window->login.szIPAddress = "127.0.0.1";
            window->login.szPort = std::to_string(server_->Port());
        }
        talq::DialogFactory<frmLogin>::Scoped login(
            testsupport::ScriptedMaker<frmLogin>([&](frmLogin& dlg) {
                dlg.Combo1->setCurrentIndex(mode);
                dlg.txtUserID->setText(QString::fromStdString(user));
                dlg.txtPassword->setText(QString::fromStdString(password));
                dlg.cmdOK_Click();
            }));
        talq::DialogFactory<frmListBox>::Scoped pick(
            testsupport::ScriptedMaker<frmListBox>([&](frmListBox& d) {
                const auto found =
                    d.List1->findItems(QString::fromStdString(project), Qt::MatchExactly);
                ASSERT_EQ(found.size(), 1);
                d.List1->setCurrentItem(found.front());
                d.cmdOK_Click();
            }));
        window->mnuLogin_Click();
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
        return window->picImage2.Point(sx, sy);
    }

    std::string Status() const { return window->lblStatus->text().toStdString(); }

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
    ASSERT_FALSE(window->NavTBar[1]->isHidden());
    const int docLength = FirstDocumentLength(Pages());
    for (int i = 1; i <= docLength; ++i) {
        window->NavTBar[1]->click();
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

    window->NavTBar[0]->click();
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
        // Another session of the same system writes the page's lists.
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
    EXPECT_EQ(window->pageAnnotations.RedactCount, 1);
    EXPECT_EQ(window->pageAnnotations.HiLiteCount, 1);
    EXPECT_EQ(BackAt(900, 1300), kRed);
    // The top margin is white paper: the highlight shows in its colour.
    EXPECT_EQ(BackAt(2000, 90), kYellow);
    EXPECT_EQ(BackAt(2000, 300), 0xFFFFFF);
}

TEST_F(FrmViewDemoTest, ShapesDrawnWithTheMouseAreKeptByTheServerAndDeletedAgain) {
    LogInAndOpen("admin", "admin");
    const int index = FirstPage([](const DemoPage& p) { return !p.placeholder && !p.restricted; },
                                2);
    ASSERT_GE(index, 0);
    const std::string key = Pages()[static_cast<size_t>(index)].key;
    ASSERT_TRUE(window->DisplayImage(key)) << Status();
    const int highlights = window->pageAnnotations.HiLiteCount;
    const int markups = window->pageAnnotations.MarkUpCount;
    auto drag = [this](int tool, int x1, int y1, int x2, int y2) {
        window->project.RedactMode = static_cast<std::int16_t>(tool);
        window->picImage_MouseDown(1, 0, x1 * 15, y1 * 15);
        window->picImage_MouseMove(1, 0, x2 * 15, y2 * 15);
        window->picImage_MouseUp(1, 0, x2 * 15, y2 * 15);
    };
    drag(14, 40, 40, 200, 90);
    drag(15, 60, 200, 200, 240);
    EXPECT_TRUE(prompts.Messages().empty()) << prompts.Messages().front();

    // Shown again, the page has what was drawn, as the server keeps it.
    ASSERT_TRUE(window->DisplayImage(key)) << Status();
    ASSERT_EQ(window->pageAnnotations.HiLiteCount, highlights + 1);
    EXPECT_EQ(window->pageAnnotations.MarkUpCount, markups + 1);
    const AnnotationRec& made = window->pageAnnotations.HiLiteList.back();
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
    EXPECT_EQ(window->pageAnnotations.HiLiteCount, highlights);
}

TEST_F(FrmViewDemoTest, PageLockedByAnotherUserIsReadOnly) {
    LogInAndOpen("admin", "admin");
    const int index =
        FirstPage([](const DemoPage& p) { return !p.placeholder && !p.restricted; }, 1);
    ASSERT_GE(index, 0);
    const std::string key = Pages()[static_cast<size_t>(index)].key;
    TalqClientAPI other;
    ASSERT_NO_FATAL_FAILURE(OpenOther(other, "reviewer", "review"));
    ASSERT_TRUE(other.SetPageLock(key));

    ASSERT_TRUE(window->DisplayImage(key)) << Status();
    EXPECT_EQ(Status().rfind(key + " [READ ONLY]", 0), 0u) << Status();
    EXPECT_EQ(window->page.g_PageReadOnly, 1);
    EXPECT_TRUE(window->page.g_szLockedKey.empty());
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
    EXPECT_EQ(Status().find("[READ ONLY]"), std::string::npos) << Status();
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
    EXPECT_TRUE(window->txtImage->isVisible());
    EXPECT_FALSE(window->picImage->isVisible());
    EXPECT_FALSE(window->txtImage->toPlainText().isEmpty());
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

TEST_F(FrmViewDemoTest, SecondLoginStillShowsPages) {
    LogInAndOpen("admin", "admin");
    ASSERT_EQ(window->page.g_ValidImage, 1) << Status();
    // A new login empties the session's temporary folder.
    LogInAndOpen("admin", "admin");
    ASSERT_EQ(window->page.g_ValidImage, 1) << Status();
    EXPECT_TRUE(prompts.Messages().empty());
}

}  // namespace
