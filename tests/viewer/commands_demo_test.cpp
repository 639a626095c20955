// Command messages and start-up against a demo system: the messages reach
// the real window and session through the message layer and the local-access
// library, and a second viewer process hands its command line to the first.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QProcess>

#include <signal.h>

#include <memory>
#include <string>

#include "engine/system_db.h"
#include "foundation/mod_registry.h"
#include "foundation/widgets/generic_dialogs.h"
#include "platform/clock.h"
#include "platform/dde.h"
#include "platform/draw_surface.h"
#include "platform/scripted_prompts.h"
#include "server/widgets/frm_login.h"
#include "support/scoped_env.h"
#include "support/scripted_dialog.h"
#include "support/wait_until.h"
#include "viewer/demo_suite.h"
#include "viewer/demo_window.h"
#include "viewer/startup_command_line.h"
#include "viewer/widgets/frm_dde.h"
#include "viewer/widgets/frm_view.h"

namespace {

using docserver::demo::DemoPage;

class CommandsDemoTest : public testsupport::DemoSuiteTest<CommandsDemoTest> {
  protected:
    static void SetUpTestSuite() { SetUpDemo(5, 60); }
    static const std::string& Key(int i) {
        return demo_->projects.front().pages[static_cast<size_t>(i)].key;
    }
    static std::string Lower(std::string text) {
        for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return text;
    }

    CommandsDemoTest() : scoped_(prompts) {
        platform::SetScreenTwipsPerPixelForTest({15.0, 15.0});
        // A login from a command line or a message uses the network-drive mode.
        modRegistry::RegSetString(modRegistry::HKEY_CURRENT_USER,
                                  "Software\\TALQTech\\VYNSYS\\Paths", "Network", Sys() + "/");
    }
    ~CommandsDemoTest() override {
        client_.Close();
        dde_.reset();
        window.reset();
        platform::SetScreenTwipsPerPixelForTest({0.0, 0.0});
    }

    // The viewer's two windows in this process, serving the topic.
    void OpenViewer() {
        window = testsupport::ShownMainWindow();
        dde_ = std::make_unique<viewer::frmDDE>();
        ASSERT_TRUE(dde_->Form_Load()) << dde_->Server().LastError();
        dde_->Viewer = window.get();
        ASSERT_TRUE(client_.Link("talqvyn|Level2Server").ok);
    }
    // Sends an execute string and lets the timer carry out what it queued.
    void Execute(const std::string& text) {
        // Queuing starts the timer afresh, so its own tick does not come
        // before the answer.
        dde_->Timer1.stop();
        EXPECT_TRUE(client_.Execute(text).ok) << text;
        for (int i = 0; i < 20 && dde_->QueuedCount() > 0; ++i) dde_->Timer1_Timer();
    }
    std::vector<std::string> Boxes() const { return prompts.Messages(); }

    // Keys locked in the system, by any session.
    static std::vector<std::string> LockedKeys() {
        docserver::SystemDb db;
        std::string error;
        if (!db.Open(Sys() + "/system.db", false, error)) return {"<" + error + ">"};
        docserver::Statement s(db,
                               "SELECT p.image_key FROM page_locks l JOIN pages p ON "
                               "p.project_id = l.project_id AND p.seq = l.seq ORDER BY 1");
        std::vector<std::string> keys;
        while (s.Step()) keys.push_back(s.Text(0));
        return keys;
    }

    testsupport::ScopedUserStores stores_;
    platform::ScriptedPrompts prompts;
    platform::ScopedPrompts scoped_;
    std::unique_ptr<viewer::frmView> window;
    std::unique_ptr<viewer::frmDDE> dde_;
    platform::DdeClient client_;
    // A dialog the messages open is cancelled and counted.
    int loginDialogs_ = 0, projectLists_ = 0;
    talq::DialogFactory<frmLogin>::Scoped noLogin_{testsupport::ScriptedMaker<frmLogin>(
        [](frmLogin& d) { d.cmdCancel_Click(); }, &loginDialogs_)};
    talq::DialogFactory<frmListBox>::Scoped noList_{testsupport::ScriptedMaker<frmListBox>(
        [](frmListBox& d) { d.cmdCancel_Click(); }, &projectLists_)};
};

TEST_F(CommandsDemoTest, CommandLineMessageLogsInOpensTheProjectAndShowsTheKey) {
    OpenViewer();
    Execute("CmdLine,-Nadmin -Padmin acme:" + Lower(Key(4)));
    EXPECT_EQ(window->login.szUserID, "ADMIN");
    EXPECT_EQ(window->login.szProjectName, "ACME");
    EXPECT_EQ(window->TalqAPi->ProjectName(), "ACME");
    EXPECT_EQ(window->page.szCurrentKey, Key(4));
    EXPECT_EQ(window->page.g_ValidImage, 1);
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Project: ACME"));
    EXPECT_EQ(LockedKeys(), std::vector<std::string>{Key(4)});
    EXPECT_TRUE(Boxes().empty()) << Boxes().front();
}

TEST_F(CommandsDemoTest, ViewProjectAndProjViewSteerTheWindowAndMissingArgumentsAreErrors) {
    OpenViewer();
    Execute("VIEW," + Key(1));  // no user: the login is asked for, and cancelled
    EXPECT_EQ(loginDialogs_, 1);
    EXPECT_TRUE(window->page.szCurrentKey.empty());
    Execute("CMDLINE,-NADMIN -PADMIN");  // no project: the list is offered
    EXPECT_EQ(projectLists_, 1);
    Execute("PROJECT,acme");
    EXPECT_EQ(window->TalqAPi->ProjectName(), "ACME");
    Execute("view," + Lower(Key(7)));
    EXPECT_EQ(window->page.szCurrentKey, Key(7));
    EXPECT_EQ(window->page.g_ValidImage, 1);

    const std::string harborFirst = demo_->projects[1].pages[2].key;
    Execute("PROJVIEW,harbor;" + harborFirst);
    EXPECT_EQ(window->TalqAPi->ProjectName(), "HARBOR");
    EXPECT_EQ(window->page.szCurrentKey, harborFirst);
    EXPECT_EQ(LockedKeys(), std::vector<std::string>{harborFirst});

    Execute("PROJVIEW,ACME;");
    Execute("VIEW,");
    EXPECT_EQ(Boxes(), (std::vector<std::string>{"Error #2 in processing Clipboard Command",
                                                 "Error #1 in processing Clipboard Command"}));
    EXPECT_EQ(window->page.szCurrentKey, harborFirst);

    Execute("KEYWORDS,the|and");
    EXPECT_EQ(window->query.QuerySrchStr, "THE AND");
}

TEST_F(CommandsDemoTest, KeyListsFromListCreateAndMultViewOpenAsTheQueryList) {
    OpenViewer();
    Execute("CmdLine,-Nadmin -Padmin ACME:" + Key(1));
    // A path keeps its case though the message is upper-cased.
    testsupport::ScopedTempDir handed;
    const std::string list = handed.Path() + "/Review Keys.lst";
    testsupport::WriteFile(list, Key(10) + "\r\n" + Key(12) + "\r\n" + Key(14) + "\r\n");
    Execute("ListCreate," + list);
    EXPECT_EQ(window->query.Query_Active, 2);
    // Listed by the project's third-party level: the keys' box.
    EXPECT_EQ(window->query.CurrentQuery.Kind, 2);
    EXPECT_EQ(window->query.CurrentQuery.RowCount, 1);
    const std::string firstFile = window->query.CurrentQuery.ServerFile;
    EXPECT_FALSE(firstFile.empty());
    EXPECT_FALSE(QFile::exists(QString::fromStdString(list)));  // handed in to be opened

    Execute("multview, " + Lower(Key(20)) + " ;nosuchkey;" + Key(21));
    EXPECT_EQ(window->query.Query_Active, 2);
    EXPECT_EQ(window->query.CurrentQuery.Kind, 2);
    EXPECT_EQ(window->query.CurrentQuery.InvalidKeyList, "*NOSUCHKEY");  // upper-cased and sent
    // The key list made for it is gone again.
    const std::string sample = window->TalqAPi->CreateLocalTempFile(1);
    const QDir folder(QString::fromStdString(sample.substr(0, sample.find_last_of('/'))));
    EXPECT_TRUE(folder.entryList({"MV*"}, QDir::Files).isEmpty());
    EXPECT_TRUE(Boxes().empty()) << Boxes().front();
}

TEST_F(CommandsDemoTest, ExitUnloadsTheViewerAndGivesUpItsPageLock) {
    OpenViewer();
    Execute("CmdLine,-Nadmin -Padmin acme:" + Key(2));
    ASSERT_EQ(LockedKeys(), std::vector<std::string>{Key(2)});
    // Taken as it arrives, as the close button is, and carried out by a
    // queued call once the message layer's handler has returned.
    Execute("please EXIT now");
    QApplication::processEvents();
    EXPECT_EQ(window->run.MainFormLoaded, 0);
    EXPECT_TRUE(LockedKeys().empty());
}

// A program stepping through rows faster than the window's tick: the window
// keeps serving during the flood, each refusal is the sender's answer, and
// the last row ends on screen with no box left behind.
TEST_F(CommandsDemoTest, FastSenderIsServedEveryTickAndToldOfEachRefusal) {
    testsupport::PointLocalModesAt(Sys());
    std::vector<std::string> keys;
    for (const DemoPage& p : demo_->projects.front().pages) {
        if (!p.placeholder) keys.push_back(p.key);
    }
    const auto now = [] { return platform::CurrentClock().MonotonicMs(); };
    for (int mode : {1, 2}) {
        SCOPED_TRACE("access mode " + std::to_string(mode));
        OpenViewer();
        testsupport::LogInThroughDialogs(*window, "admin", "admin", mode, "ACME");
        ASSERT_EQ(window->TalqAPi->ProjectName(), "ACME");
        int taken = 0;
        bool lastTaken = false;
        std::string last;
        const std::int64_t start = now();
        for (int i = 0; i < 100; ++i) {
            testsupport::WaitUntil([&] { return now() >= start + 20 * i; });
            last = keys[static_cast<size_t>(i) % keys.size()];
            const platform::DdeResult sent = client_.Execute("VIEW," + last);
            lastTaken = sent.ok;
            if (sent.ok) {
                ++taken;
            } else {
                EXPECT_EQ(sent.errorNumber, platform::kDdeBusy);
                EXPECT_EQ(sent.description, "Too many messages");
            }
        }
        EXPECT_GT(taken, modView::MessageQueue::kSlots);
        // Told the window is busy, the sender tries its last row again.
        if (!lastTaken) {
            EXPECT_TRUE(testsupport::WaitUntil([&] { return client_.Execute("VIEW," + last).ok; }));
        }
        EXPECT_TRUE(testsupport::WaitUntil([&] {
            return dde_->QueuedCount() == 0 && window->run.MessageQueue.Empty() &&
                   window->page.szCurrentKey == last;
        })) << window->page.szCurrentKey << " for " << last;
        EXPECT_EQ(window->page.g_ValidImage, 1);
        EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
        EXPECT_TRUE(Boxes().empty()) << Boxes().front();
        client_.Close();
        dde_.reset();
        window.reset();
    }
}

TEST_F(CommandsDemoTest, ASecondViewerHandsItsCommandLineToTheFirstAcrossProcesses) {
    const QString bin = QCoreApplication::applicationDirPath();
    QProcess first;
    first.setProcessChannelMode(QProcess::MergedChannels);
    first.start(bin + "/talqvyn", {});
    platform::DdeClient probe;
    ASSERT_TRUE(testsupport::WaitUntil([&] { return probe.Link("talqvyn|Level2Server", 200).ok; }))
        << first.readAll().toStdString();
    probe.Close();

    QProcess second;
    second.start(bin + "/talqvyn",
                 {"-Nadmin", "-Padmin", "acme:" + QString::fromStdString(Key(3))});
    ASSERT_TRUE(second.waitForFinished(15000));
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(testsupport::WaitUntil([] {
        return LockedKeys() == std::vector<std::string>{Key(3)};
    })) << first.readAll().toStdString();

    // Other programs steer it the same way.
    QProcess steer;
    steer.start(bin + "/talq-dde", {"execute", "VIEW," + QString::fromStdString(Key(5))});
    ASSERT_TRUE(steer.waitForFinished(15000));
    EXPECT_EQ(steer.exitCode(), 0);
    EXPECT_TRUE(
        testsupport::WaitUntil([] { return LockedKeys() == std::vector<std::string>{Key(5)}; }));

    steer.start(bin + "/talq-dde", {"execute", "EXIT"});
    ASSERT_TRUE(steer.waitForFinished(15000));
    EXPECT_TRUE(testsupport::WaitUntil(
        [&] { return first.state() == QProcess::NotRunning || first.waitForFinished(0); }));
    EXPECT_EQ(first.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first.exitCode(), 0) << first.readAll().toStdString();
    EXPECT_TRUE(LockedKeys().empty());
}

// A logout ends the viewer with SIGTERM, a lost terminal with SIGHUP: it
// closes as Exit does, so its page lock is given back at once.
TEST_F(CommandsDemoTest, AViewerEndedByTermOrHangUpGivesItsPageLockBack) {
    const QString bin = QCoreApplication::applicationDirPath();
    for (int signal : {SIGTERM, SIGHUP}) {
        SCOPED_TRACE(signal);
        QProcess viewer;
        viewer.setProcessChannelMode(QProcess::MergedChannels);
        viewer.start(bin + "/talqvyn",
                     {"-Nadmin", "-Padmin", "acme:" + QString::fromStdString(Key(6))});
        ASSERT_TRUE(testsupport::WaitUntil([] {
            return LockedKeys() == std::vector<std::string>{Key(6)};
        })) << viewer.readAll().toStdString();
        ::kill(static_cast<pid_t>(viewer.processId()), signal);
        ASSERT_TRUE(viewer.waitForFinished(15000));
        EXPECT_EQ(viewer.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(viewer.exitCode(), 0) << viewer.readAll().toStdString();
        EXPECT_TRUE(LockedKeys().empty());
    }
}

}  // namespace
