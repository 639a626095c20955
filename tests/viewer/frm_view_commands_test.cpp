// Command messages from other programs: the message window, its timer, the
// interpreter and parameter files over a fake session; the link to the
// document database program against the recording peer.
#include <QBuffer>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QProcess>
#include <QThread>
#include <QToolButton>

#include <functional>
#include <vector>

#include "foundation/widgets/generic_dialogs.h"
#include "platform/printer_recording.h"
#include "support/scripted_dialog.h"
#include "support/test_images.h"
#include "support/wait_until.h"
#include "viewer/frm_view_fixture.h"
#include "viewer/widgets/frm_dde.h"

namespace {

using testsupport::FrmViewTest;

class CommandMessagesTest : public FrmViewTest {
  protected:
    CommandMessagesTest() {
        session->userValid = session->projectValid = true;
        session->loginSucceeds = true;
        session->projectName = "ACME";
        session->selectable = {"ACME", "BETA"};
        session->tempFile = dir_.Path() + "/page.img";
        for (int i = 1; i <= 12; ++i) session->images[Key(i)] = testsupport::PngBytes(40, 30);
        dde_.Viewer = window.get();
    }
    static std::string Key(int i) {
        char key[16];
        std::snprintf(key, sizeof key, "K%04d", i);
        return key;
    }
    // Runs the message window's timer until its queue is empty.
    void Drain() {
        for (int i = 0; i < 20 && dde_.QueuedCount() > 0; ++i) dde_.Timer1_Timer();
    }
    void Send(const std::string& message) { window->Process_Message_String(message); }
    const platform::PromptRecord& LastBox() const {
        static const platform::PromptRecord none;
        const auto& r = prompts.Records();
        for (auto it = r.rbegin(); it != r.rend(); ++it) {
            if (it->kind == platform::PromptRecord::kMessage) return *it;
        }
        return none;
    }
    std::vector<std::string> FilesIn(const std::string& folder) {
        std::vector<std::string> names;
        for (const QString& n : QDir(QString::fromStdString(folder)).entryList(QDir::Files)) {
            names.push_back(n.toStdString());
        }
        return names;
    }

    testsupport::ScopedTempDir dir_;
    viewer::frmDDE dde_;
    // The project list a message offers is cancelled and counted.
    int projectLists_ = 0;
    talq::DialogFactory<frmListBox>::Scoped noList_{testsupport::ScriptedMaker<frmListBox>(
        [](frmListBox& d) { d.cmdCancel_Click(); }, &projectLists_)};
};

TEST_F(CommandMessagesTest, ExecutesAndPokesAreAnsweredQueuedAndCarriedOutInOrder) {
    ASSERT_TRUE(dde_.Form_Load()) << dde_.Server().LastError();
    platform::DdeClient client;
    ASSERT_TRUE(client.Link("TALQVYN|level2server").ok);
    EXPECT_TRUE(client.Execute("view,k0001").ok);
    EXPECT_TRUE(client.Execute("VIEW,K0002").ok);
    EXPECT_TRUE(client.Poke("View", "K0003").ok);
    EXPECT_TRUE(client.Execute("SAVE,K0004").ok);  // unknown: dropped without a word
    EXPECT_EQ(dde_.QueuedCount(), 3);
    EXPECT_TRUE(dde_.Timer1.isActive());
    Drain();
    EXPECT_EQ(session->locksSet, (std::vector<std::string>{"K0001", "K0002", "K0003"}));
    EXPECT_EQ(window->page.szCurrentKey, "K0003");
    dde_.Timer1_Timer();
    EXPECT_FALSE(dde_.Timer1.isActive());
    EXPECT_TRUE(prompts.Messages().empty());
}

TEST_F(CommandMessagesTest, EleventhMessageIsRefusedToItsSenderWithoutABox) {
    ASSERT_TRUE(dde_.Form_Load());
    platform::DdeClient client;
    ASSERT_TRUE(client.Link("talqvyn|Level2Server").ok);
    for (int i = 1; i <= 10; ++i) EXPECT_TRUE(client.Execute("VIEW," + Key(i)).ok);
    EXPECT_FALSE(client.Execute("VIEW," + Key(11)).ok);
    EXPECT_FALSE(client.Poke("ProjView", "ACME;K0012").ok);
    EXPECT_EQ(dde_.QueuedCount(), 10);
    QCoreApplication::processEvents();
    EXPECT_TRUE(prompts.Messages().empty()) << prompts.Messages().front();
    Drain();
    EXPECT_EQ(session->locksSet.size(), 10u);
    EXPECT_EQ(window->page.szCurrentKey, Key(10));
}

TEST_F(CommandMessagesTest, TimerHoldsMessagesWhileARequestRunsADialogIsOpenOrAfterExit) {
    dde_.QueueDdeMessage("DDE,VIEW,K0001");
    session->busy = true;
    dde_.Timer1_Timer();
    EXPECT_EQ(dde_.QueuedCount(), 1);
    session->busy = false;

    // A dialog the user opened may hold an edit of the page on display.
    QDialog edit(window.get());
    edit.setModal(true);
    edit.show();
    dde_.Timer1_Timer();
    EXPECT_EQ(dde_.QueuedCount(), 1);
    EXPECT_TRUE(window->page.szCurrentKey.empty());
    edit.close();
    dde_.Timer1_Timer();
    EXPECT_EQ(window->page.szCurrentKey, "K0001");

    dde_.QueueDdeMessage("DDE,VIEW,K0002");
    window->run.AbortNow = 1;
    dde_.Timer1_Timer();
    EXPECT_FALSE(dde_.Timer1.isActive());
    EXPECT_EQ(dde_.QueuedCount(), 1);
}

TEST_F(CommandMessagesTest, SteadySenderNeitherPostponesTheTickNorOverfillsTheInterpreter) {
    dde_.QueueDdeMessage("DDE,VIEW,K0001");
    const int due = dde_.Timer1.remainingTime();
    QThread::msleep(40);
    dde_.QueueDdeMessage("DDE,VIEW,K0002");
    EXPECT_LE(dde_.Timer1.remainingTime(), due - 30);

    // A run waiting in its dialog takes ten; the rest wait in the window.
    window->run.MessageInProcess = 1;
    for (int i = 3; i <= 12; ++i) {
        dde_.QueueDdeMessage("DDE,VIEW," + Key(i));
        dde_.Timer1_Timer();
    }
    EXPECT_EQ(window->run.MessageQueue.Count(), 10);
    EXPECT_EQ(dde_.QueuedCount(), 2);
    EXPECT_TRUE(prompts.Messages().empty()) << prompts.Messages().front();
}

TEST_F(CommandMessagesTest, MessagesArrivingDuringARunWaitInTheInterpretersQueueOfTen) {
    window->run.MessageInProcess = 1;  // as while a dialog of the run is open
    for (int i = 1; i <= 10; ++i) Send("DDE,VIEW," + Key(i));
    EXPECT_TRUE(session->locksSet.empty());
    Send("DDE,VIEW," + Key(11));
    EXPECT_EQ(prompts.Messages(), std::vector<std::string>{"Unable to process message"});
    window->run.MessageInProcess = 0;
    session->busy = true;
    Send("");
    EXPECT_TRUE(session->locksSet.empty());
    session->busy = false;
    Send("");
    ASSERT_EQ(session->locksSet.size(), 10u);
    EXPECT_EQ(session->locksSet.front(), "K0001");
    EXPECT_EQ(window->page.szCurrentKey, Key(10));
    EXPECT_EQ(window->run.MessageQueue.Count(), 0);
    EXPECT_EQ(window->run.MessageInProcess, 0);
}

TEST_F(CommandMessagesTest, MissingArgumentsShowTheirErrorAndTheRunGoesOn) {
    window->run.MessageInProcess = 1;
    for (const char* m : {"DDE,VIEW,", "DDE,PROJVIEW,ACME;", "DDE,PROJECT,", "DDE,LISTCREATE,",
                          "DDE,PRINTPAGE,", "DDE,VIEW,K0005"}) {
        Send(m);
    }
    window->run.MessageInProcess = 0;
    Send("");
    EXPECT_EQ(
        prompts.Messages(),
        (std::vector<std::string>{
            "Error #1 in processing Clipboard Command", "Error #2 in processing Clipboard Command",
            "Error #3 in processing Clipboard Command", "Error #6 in processing Clipboard Command",
            "Error #1 in processing Clipboard Command"}));
    EXPECT_EQ(LastBox().title, "Error");
    EXPECT_EQ(LastBox().style, platform::vbCritical);
    EXPECT_EQ(prompts.Beeps(), 5);
    EXPECT_EQ(window->page.szCurrentKey, "K0005");
}

TEST_F(CommandMessagesTest, ProjectsAreSelectedOnlyWhenNotAlreadyOpen) {
    window->login.szProjectName = "ACME";
    ASSERT_TRUE(window->DisplayImage("K0001"));
    Send("DDE,PROJECT,acme");
    EXPECT_EQ(window->page.szCurrentKey, "K0001");
    Send("DDE,projview,beta;k0002");
    EXPECT_EQ(window->login.szProjectName, "BETA");
    EXPECT_EQ(session->projectName, "BETA");
    EXPECT_EQ(window->page.szCurrentKey, "K0002");
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Project: BETA"));
}

TEST_F(CommandMessagesTest, AGivenUserLogsInInModeOneWithATenSecondTimeOutOnlyWhenItChanges) {
    session->userValid = session->projectValid = false;
    Send("DDE,CMDLINE,-Nann -Psecret acme:k0002");
    EXPECT_EQ(session->connections, std::vector<std::string>{"1|10"});
    EXPECT_EQ(session->requestTimeout, 15);
    EXPECT_EQ(session->directLogins, std::vector<std::string>{"ANN|SECRET"});
    EXPECT_EQ(window->login.szUserID, "ANN");
    EXPECT_EQ(session->logins, 0);  // no dialog
    EXPECT_EQ(window->page.szCurrentKey, "K0002");
    EXPECT_FALSE(window->IsInputBlocked());

    Send("DDE,CMDLINE,-NAnn -PSecret k0003");
    EXPECT_EQ(session->connections.size(), 1u);
    EXPECT_EQ(window->page.szCurrentKey, "K0003");
}

TEST_F(CommandMessagesTest, KeywordsAskForTheLoginFirst) {
    session->userValid = session->projectValid = false;
    session->loginSucceeds = false;
    Send("DDE,KEYWORDS,oil|gas");
    EXPECT_EQ(session->logins, 1);
    EXPECT_EQ(window->query.QuerySrchStr, "OIL GAS");
}

TEST_F(CommandMessagesTest, KeywordsEndWithTheProjectAndUserTheyCameWith) {
    const std::string file = dir_.Path() + "/Words.tlq";
    struct Case {
        const char* how;
        std::function<void()> after;
        std::string words;  // left to highlight
    };
    const std::vector<Case> cases = {
        {"project change", [&] { Send("DDE,PROJECT,BETA"); }, ""},
        {"new login", [&] { window->mnuLogin_Click(); }, ""},
        {"another user's login", [&] { Send("DDE,CMDLINE,-Nann -Psecret k0003"); }, ""},
        {"a search's words, project change",
         [&] {
             window->query.QuerySrchStr = "PUMP";
             Send("DDE,PROJECT,BETA");
         },
         ""},
        {"words sent with their project",
         [&] {
             testsupport::WriteFile(file, "PROJECT=BETA\nKEYWORDS=a|b\nK0006\n");
             Send("DDE,CMDLINE," + file);
         },
         "A B"},
        {"those words, the next project change",
         [&] {
             testsupport::WriteFile(file, "PROJECT=BETA\nKEYWORDS=a|b\nK0006\n");
             Send("DDE,CMDLINE," + file);
             Send("DDE,PROJECT,ACME");
         },
         ""},
    };
    for (const Case& c : cases) {
        session->userValid = session->projectValid = true;
        session->projectName = "ACME";
        window->LoadProjectViews();
        Send("DDE,KEYWORDS,oil|gas");
        ASSERT_EQ(window->query.QuerySrchStr, "OIL GAS") << c.how;
        c.after();
        EXPECT_EQ(window->query.QuerySrchStr, c.words) << c.how;
    }
}

TEST_F(CommandMessagesTest, ExitClosesTheWindowOnlyAfterTheInterpreterHasReturned) {
    Send("DDE,VIEW,K0001");
    window->run.MessageInProcess = 1;
    Send("DDE,EXIT");
    Send("DDE,VIEW,K0002");
    window->run.MessageInProcess = 0;
    Send("");
    EXPECT_EQ(window->run.MainFormLoaded, 1);
    EXPECT_EQ(window->run.AbortNow, 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(window->run.MainFormLoaded, 0);
    // EXIT closes as the close button does: what waited is not carried out.
    EXPECT_EQ(window->run.MessageQueue.Count(), 0);
    EXPECT_EQ(window->page.szCurrentKey, "K0001");
}

TEST_F(CommandMessagesTest, PrintCommandsShowTheKeySetThePrintFieldsAndPrint) {
    auto machine = std::make_shared<platform::RecordingPrinterCollection>();
    std::shared_ptr<platform::RecordingPrinter> printer = machine->Add("Rec");
    platform::InstallPrinterCollection(machine);
    session->documents = {{"K0003", "K0005"}};
    session->pageKeys = {"K0003", "K0004", "K0005", "K0006"};
    session->printMessage = "CONFIDENTIAL";
    Send("DDE,PRINTDOC,k0004");
    EXPECT_EQ(window->page.szCurrentKey, "K0004");
    EXPECT_EQ(window->printDriver.printRequest.g_PrinterType, 0);
    EXPECT_EQ(window->printDriver.printRequest.g_PrintRange, 1);
    EXPECT_EQ(window->printDriver.printRequest.g_PrintFlags,
              printing::kPrintImageKey | printing::kPrintRedactions | printing::kPrintMessage);
    EXPECT_EQ(window->printDriver.printRequest.g_szPrintMsg, "CONFIDENTIAL");
    EXPECT_EQ(printer->images.size(), 3u);
    Send("DDE,PRINTPAGE,K0006");
    EXPECT_EQ(window->printDriver.printRequest.g_PrintRange, 0);
    EXPECT_EQ(printer->images.size(), 4u);
    EXPECT_TRUE(prompts.Messages().empty());
    platform::InstallPrinterCollection(nullptr);
}

TEST_F(CommandMessagesTest,
       APrintWhosePrinterCannotBeReachedIsRefusedToItsSenderNotPrintedElsewhere) {
    session->pageKeys = {"K0006"};
    // No printer system: only the PDF printer, which nobody chose.
    platform::InstallPrinterCollection(nullptr);
    platform::DdeResult answer = dde_.Form_LinkExecute("PRINTPAGE,K0006");
    EXPECT_FALSE(answer.ok);
    EXPECT_EQ(answer.errorNumber, platform::kDdeNotHandled);
    EXPECT_EQ(answer.description, "Unable to Start Print Job (No printer is set)");
    EXPECT_EQ(dde_.QueuedCount(), 0);
    Send("DDE,PRINTPAGE,K0006");  // arrived all the same: still no file
    EXPECT_TRUE(FilesIn(platform::PdfPrintFolder()).empty());

    // The printer the user set is gone: refused with its name, never the default.
    auto machine = std::make_shared<platform::RecordingPrinterCollection>();
    std::shared_ptr<platform::RecordingPrinter> other = machine->Add("Rec");
    platform::InstallPrinterCollection(machine);
    window->printDriver.printRequest.PrintLocalPrinter = "Floor 3";
    answer = dde_.Form_LinkPoke("PrintDoc", "K0006");
    EXPECT_FALSE(answer.ok);
    EXPECT_EQ(answer.description, "Unable to Start Print Job (Floor 3: no such printer)");
    Send("DDE,PRINTPAGE,K0006");
    EXPECT_TRUE(other->images.empty());
    platform::InstallPrinterCollection(nullptr);
}

TEST_F(CommandMessagesTest, APrintIsAnsweredOnceItHasEndedAndAShortOneSaysWhyNotSuccess) {
    auto machine = std::make_shared<platform::RecordingPrinterCollection>();
    std::shared_ptr<platform::RecordingPrinter> printer = machine->Add("Rec");
    platform::InstallPrinterCollection(machine);
    session->documents = {{"K0003", "K0005"}};
    session->pageKeys = {"K0003", "K0004", "K0005", "K0006"};
    session->images.erase("K0005");
    auto logs = [&] {
        std::vector<std::string> rows;
        for (const std::string& c : session->passThroughSent)
            if (c.rfind("TALQUpdtPrintLog,", 0) == 0) rows.push_back(c);
        return rows;
    };
    ASSERT_TRUE(dde_.Form_Load()) << dde_.Server().LastError();
    platform::DdeClient client;
    ASSERT_TRUE(client.Link("talqvyn|Level2Server").ok);

    // The document's last page cannot be had: two of three pages printed.
    platform::DdeResult answer = client.Execute("PRINTDOC,K0004", 60000);
    EXPECT_FALSE(answer.ok);
    EXPECT_EQ(answer.errorNumber, platform::kDdeNotHandled);
    EXPECT_EQ(answer.description, "Unable to Get Image K0005");
    EXPECT_EQ(prompts.Messages(), std::vector<std::string>{answer.description});
    EXPECT_EQ(printer->images.size(), 2u);
    EXPECT_EQ(logs(), std::vector<std::string>{"TALQUpdtPrintLog,2,0"});

    // Whole: answered only once every page has printed.
    session->images["K0005"] = testsupport::PngBytes(40, 30);
    answer = client.Poke("PrintDoc", "K0004", 60000);
    EXPECT_TRUE(answer.ok) << answer.description;
    EXPECT_EQ(printer->images.size(), 5u);
    EXPECT_EQ(logs(), (std::vector<std::string>{"TALQUpdtPrintLog,2,0", "TALQUpdtPrintLog,3,0"}));

    // A sender that gave up gets no late answer; the print goes on and the
    // link of the next sender keeps in step.
    platform::DdeClient hasty;
    ASSERT_TRUE(hasty.Link("talqvyn|Level2Server").ok);
    session->busy = true;  // the message waits while a request runs
    EXPECT_EQ(hasty.Execute("PRINTPAGE,K0006", 300).errorNumber, platform::kDdeTimedOut);
    session->busy = false;
    EXPECT_TRUE(testsupport::WaitUntil([&] { return printer->images.size() == 6u; }));
    EXPECT_TRUE(client.Execute("VIEW,K0003").ok);
    EXPECT_EQ(prompts.Messages().size(), 1u);
    platform::InstallPrinterCollection(nullptr);
}

TEST_F(CommandMessagesTest, KeysHoldingWireSeparatorsAreAnsweredAsNotFoundAndNeverSent) {
    Send(std::string("DDE,VIEW,K1\x1EK2"));
    EXPECT_TRUE(session->locksSet.empty());
    EXPECT_EQ(prompts.Messages(), std::vector<std::string>{"K1\x1EK2 ImageKey not found."});

    // Asked to print such a key, the user is told once, not again before the print.
    prompts.Clear();
    window->printDriver.printRequest.PrintLocalPrinter = "Floor 3";
    Send(std::string("DDE,PRINTDOC,K1\x1EK2"));
    EXPECT_EQ(prompts.Messages(), std::vector<std::string>{"K1\x1EK2 ImageKey not found."});
}

TEST_F(CommandMessagesTest, ParameterFilesShowOneKeyAndTurnSeveralIntoAKeyListOfTheirOwn) {
    const std::string one = dir_.Path() + "/One.tlq";
    testsupport::WriteFile(one, "project = beta\r\nk0006\r\n");
    Send("DDE,CMDLINE," + one);
    EXPECT_EQ(window->login.szProjectName, "BETA");
    EXPECT_EQ(window->page.szCurrentKey, "K0006");
    EXPECT_FALSE(window->FileExist(one));

    // Someone else's file beside the parameter file is never touched.
    const std::string kept = dir_.Path() + "/Many.tlq";
    testsupport::WriteFile(kept, "K0007\nK0008\nDELETE=NO\nKEYWORDS=a|b\n");
    testsupport::WriteFile(dir_.Path() + "/Many.TMP", "theirs");
    const auto before = FilesIn(dir_.Path());
    Send("DDE,CMDLINE,\"" + kept + "\"");
    EXPECT_TRUE(window->FileExist(kept));
    EXPECT_EQ(testsupport::ReadFile(dir_.Path() + "/Many.TMP"), "theirs");
    EXPECT_EQ(FilesIn(dir_.Path()), before);  // the key list made and removed again
    EXPECT_EQ(window->query.QuerySrchStr, "A B");
    EXPECT_FALSE(session->passThroughSent.empty());  // the list went on to be uploaded

    testsupport::WriteFile(one, "IP=10.1.2.3\nPORT=7000\nK0001\n");
    window->login.szUserID = "ANN";
    Send("DDE,CMDLINE," + one);
    EXPECT_EQ(window->login.szIPAddress, "10.1.2.3");
    EXPECT_EQ(window->login.szPort, "7000");
    // Another server: the session is closed, the login and the project asked for again.
    EXPECT_EQ(session->logins, 1);
    EXPECT_EQ(projectLists_, 1);

    Send("DDE,CMDLINE," + dir_.Path() + "/missing.TLQ");
    EXPECT_EQ(LastBox().title, "Unable to Open File");
}

// ---- The link to the document database program ----

class DatabaseLinkTest : public CommandMessagesTest {
  protected:
    DatabaseLinkTest() {
        session->backWardLink = " DOCID ";
        window->LoadProjectViews();
        session->documents = {{"K0001", "K0003"}};
        window->docPosition.g_iDocLvl = 1;
    }
    ~DatabaseLinkTest() override {
        if (peer_) {
            peer_->kill();
            peer_->waitForFinished(5000);
        }
    }
    void StartPeer(const QString& app, QStringList extra = {}) {
        peer_ = std::make_unique<QProcess>();
        extra << "--app" << app << "--log" << QString::fromStdString(Log());
        peer_->start(QCoreApplication::applicationDirPath() + "/talq-dde-peer", extra);
        ASSERT_TRUE(testsupport::WaitUntil([&] {
            return Logged().find("READY\n") != std::string::npos;
        })) << Logged();
    }
    std::string Log() const { return dir_.Path() + "/peer.log"; }
    std::string Logged() const { return testsupport::ReadFile(Log()); }

    std::unique_ptr<QProcess> peer_;
};

TEST_F(DatabaseLinkTest, ButtonsSendTheirCommandWithTheDocumentsFirstKeyThenRepaint) {
    StartPeer("DocDB");
    ASSERT_TRUE(window->DisplayImage("K0002"));
    ASSERT_EQ(window->docPosition.g_szDocBkey, "K0001");
    window->Img_ConDB_Click(2);
    window->Img_ConDB_Click(0);
    window->Img_ConDB_Click(1);
    EXPECT_EQ(Logged(),
              "READY\nLINK\nEXECUTE goto DOCID = K0001%00\nEXECUTE repaint\n"
              "LINK\nEXECUTE pgup DOCID = K0001%00\nEXECUTE repaint\n"
              "LINK\nEXECUTE pgdn DOCID = K0001%00\nEXECUTE repaint\n");
    EXPECT_FALSE(window->ui.ddectl.IsLinked());
    EXPECT_TRUE(prompts.Messages().empty());
}

TEST_F(DatabaseLinkTest, TheReviewerEditionAnswersWhenTheProgramItselfDoesNot) {
    StartPeer("DocDB Reviewer");
    ASSERT_TRUE(window->DisplayImage("K0001"));
    window->Img_ConDB_Click(2);
    EXPECT_EQ(Logged(), "READY\nLINK\nEXECUTE goto DOCID = K0001%00\nEXECUTE repaint\n");
}

TEST_F(DatabaseLinkTest, ARefusedKeyAndAMissingProgramEachHaveTheirMessage) {
    ASSERT_TRUE(window->DisplayImage("K0001"));
    window->Img_ConDB_Click(2);
    ASSERT_EQ(prompts.Messages().size(), 1u);
    EXPECT_EQ(prompts.Messages()[0],
              "Please Activate Database Link - Error = No program answered on DocDB Reviewer|*");
    EXPECT_EQ(LastBox().style, platform::vbInformation);

    StartPeer("DocDB", {"--refuse", "K0001=5:No such record"});
    window->Img_ConDB_Click(2);
    EXPECT_EQ(prompts.Messages().back(), "Could not find key in Database: K0001");
    EXPECT_EQ(Logged(), "READY\nLINK\nEXECUTE goto DOCID = K0001%00\n");
}

TEST_F(DatabaseLinkTest, NoPageDoesNothingAndNoLinkFieldBeeps) {
    window->Img_ConDB_Click(2);
    EXPECT_EQ(prompts.Beeps(), 0);
    EXPECT_TRUE(prompts.Messages().empty());
    ASSERT_TRUE(window->DisplayImage("K0001"));
    window->link.DDE_LINK.clear();
    window->Img_ConDB_Click(2);
    EXPECT_EQ(prompts.Beeps(), 1);
}

TEST_F(DatabaseLinkTest, TurningTheLinkOffAndOnPlacesTheButtonsWhereTheyWere) {
    ASSERT_TRUE(window->link.g_bBackLink);
    std::array<QRect, 3> before;
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_FALSE(window->ui.Img_ConDB[i]->isHidden());
        before[i] = window->ui.Img_ConDB[i]->geometry();
    }
    EXPECT_EQ(before[1].x() - before[0].x(), 20);  // 300 twips at 15 a pixel
    window->mnuLink_Click();
    EXPECT_FALSE(window->ui.mnuLink->isChecked());
    EXPECT_TRUE(window->ui.Img_ConDB[0]->isHidden());
    window->mnuLink_Click();
    EXPECT_TRUE(window->ui.mnuLink->isChecked());
    for (size_t i = 0; i < 3; ++i) EXPECT_EQ(window->ui.Img_ConDB[i]->geometry(), before[i]);
}

}  // namespace
