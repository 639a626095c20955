// The boundary dialog, a boundary change from the page, the project tree
// pane that follows the page on display, and the full position text.
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QRadioButton>
#include <QTreeWidget>

#include <algorithm>

#include "navigation/widgets/frm_prj_vw.h"
#include "support/scripted_dialog.h"
#include "support/test_images.h"
#include "viewer/frm_view_fixture.h"
#include "viewer/widgets/frm_mod_bndry.h"

namespace {

using testsupport::FrmViewTest;
using viewer::frmModBndry;

struct ThisYear {
    ThisYear() { frmModBndry::CurrentYearForTest() = 2026; }
    ~ThisYear() { frmModBndry::CurrentYearForTest() = 0; }
};

TEST(BoundaryDialog, OffersEachLevelAboveNoBoundaryAndChoosesThePagesLevel) {
    struct Case {
        int present;
        int checked;  // index of Option1
    } cases[] = {{2, 2}, {3, 1}, {0, 0}, {7, 0}};
    for (const Case& c : cases) {
        frmModBndry dialog;
        dialog.LevelCount = 3;
        dialog.LevelNumbers = "3|2|1";
        dialog.LevelDescs = "Box|Folder|Document";
        dialog.BoundaryLevel = static_cast<std::int16_t>(c.present);
        dialog.Load();
        ASSERT_EQ(dialog.Option1.size(), 4u);
        EXPECT_TRUE(dialog.Option1[static_cast<size_t>(c.checked)]->isChecked()) << c.present;
        // Box, Folder, Document, then "Page (No Boundary)" below them.
        dialog.layout()->activate();
        EXPECT_EQ(dialog.Option1[1]->text(), QStringLiteral("Box"));
        EXPECT_LT(dialog.Option1[3]->geometry().top(), dialog.Option1[0]->geometry().top());
        EXPECT_FALSE(dialog.txtDate->isVisibleTo(&dialog));  // no session: no dates
    }
}

TEST(BoundaryDialog, ADateIsStoredOnlyWhenEmptyOrEightDigitsOfAPlausibleYear) {
    ThisYear year;
    platform::ScriptedPrompts prompts;
    platform::ScopedPrompts scoped(prompts);
    struct Case {
        const char* typed;
        bool stored;
    } cases[] = {
        {"", true},          {"20270101", true},   {"18000101", true},  {"00001301", true},
        {"1234567", false},  {"17991231", false},  {"20280101", false}, {"ABCD0101", false},
        {"2020-1-1", false}, {"199901011", false},
    };
    for (const Case& c : cases) {
        testsupport::FakeViewerSession session;
        session.fullText = 8;
        session.pageDate = "19990101";
        frmModBndry dialog;
        dialog.ImageKey = "K0001";
        dialog.ClientAPI = &session;
        dialog.Load();
        ASSERT_TRUE(dialog.txtDate->isVisibleTo(&dialog));
        EXPECT_EQ(dialog.txtDate->text(), QStringLiteral("19990101"));
        dialog.txtDate->setText(QString::fromLatin1(c.typed));
        prompts.Clear();
        dialog.cmdOK_Click();
        if (c.stored) {
            EXPECT_EQ(session.boundaryEdits,
                      std::vector<std::string>{"date K0001 " + std::string(c.typed)});
            EXPECT_EQ(dialog.result(), QDialog::Accepted) << c.typed;
        } else {
            EXPECT_TRUE(session.boundaryEdits.empty()) << c.typed;
            EXPECT_EQ(prompts.Messages(),
                      std::vector<std::string>{"Date must be in format YYYYMMDD."});
        }
    }
    // A refused date is reported and the dialog stays open; an unchanged one
    // and a project without dates send nothing.
    testsupport::FakeViewerSession session;
    session.fullText = 8;
    session.boundaryEditsOk = false;
    frmModBndry refused;
    refused.ImageKey = "K0001";
    refused.ClientAPI = &session;
    refused.Load();
    refused.txtDate->setText("20200101");
    prompts.Clear();
    refused.cmdOK_Click();
    EXPECT_EQ(prompts.Messages(), std::vector<std::string>{"Unable to Update Document Date"});
    EXPECT_NE(refused.result(), QDialog::Accepted);
    session.lastError = "ERROR: Update Failed: attempt to write a readonly database";
    refused.cmdOK_Click();
    EXPECT_EQ(
        prompts.Messages().back(),
        "Unable to Update Document Date\nUpdate Failed: attempt to write a readonly database");
    session.boundaryEdits.clear();
    session.fullText = 0;
    frmModBndry undated;
    undated.ImageKey = "K0001";
    undated.ClientAPI = &session;
    undated.Load();
    undated.cmdOK_Click();
    EXPECT_FALSE(undated.txtDate->isVisibleTo(&undated));
    EXPECT_TRUE(session.boundaryEdits.empty());
}

// A date the server refused to read was shown as an empty box: the reviewer
// took the page for one without a date. It is told with the server's reason,
// and the level can still be changed without storing over the date.
TEST(BoundaryDialog, ADateReadRefusedIsToldAndNeitherShownEmptyNorStoredOver) {
    platform::ScriptedPrompts prompts;
    platform::ScopedPrompts scoped(prompts);
    testsupport::FakeViewerSession session;
    session.fullText = 8;
    session.pageDateRead = false;
    session.lastError = "ERROR: Invalid Project ACME";
    frmModBndry dialog;
    dialog.ImageKey = "K0001";
    dialog.ClientAPI = &session;
    dialog.Load();
    EXPECT_EQ(prompts.Messages(),
              std::vector<std::string>{"Unable to Read Document Date\nInvalid Project ACME"});
    EXPECT_FALSE(dialog.txtDate->isEnabled());
    EXPECT_EQ(dialog.txtDate->placeholderText(), QStringLiteral("Not Read"));
    dialog.cmdOK_Click();
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(session.boundaryEdits.empty());
}

class FrmViewBoundaryTest : public FrmViewTest {
  protected:
    FrmViewBoundaryTest() {
        session->userValid = session->projectValid = true;
        session->projectName = "ALPHA";
        session->tempFile = dir_.Path() + "/page.img";
        session->documents = {{"K0001", "K0003"}, {"K0004", "K0006"}};
        for (const char* key : {"K0001", "K0002", "K0003", "K0004", "K0005", "K0006"}) {
            session->images[key] = testsupport::PngBytes(40, 30);
        }
        // Level 1 documents, level 2 the one folder; the tree's requests
        // carry ",200,1", the position text's ",20000".
        session->passThrough = [this](const std::string& command, std::string& reply) {
            const bool pages = command.find(",0,200,1") != std::string::npos;
            const bool folders = command.find(",2,") != std::string::npos;
            if (pages) {
                const auto& d = session->documents[command.find("K000") != std::string::npos &&
                                                           command[command.find("K000") + 4] >= '4'
                                                       ? 1
                                                       : 0];
                reply = "ALL";
                for (int k = std::stoi(d[0].substr(1)); k <= std::stoi(d[1].substr(1)); ++k)
                    reply += ",K000" + std::to_string(k);
            } else {
                reply = folders
                            ? "ALL,K0001"
                            : "ALL," + session->documents[0][0] + "," + session->documents[1][0];
            }
            return true;
        };
        window->docPosition.g_iDocLvl = 1;
        window->zoom.g_ScaleFactor = 1.0f;
        window->zoom.g_ScaleMode = 2;
    }
    std::string Status() const { return window->ui.lblStatus->text().toStdString(); }
    int Sent(const std::string& part) const {
        return static_cast<int>(
            std::count_if(session->passThroughSent.begin(), session->passThroughSent.end(),
                          [&](const std::string& c) { return c.find(part) != std::string::npos; }));
    }
    // Each boundary dialog answers with the option and OK, or Cancel.
    talq::DialogFactory<frmModBndry>::Scoped Answer(int option, bool cancel = false) {
        return talq::DialogFactory<frmModBndry>::Scoped(testsupport::ScriptedMaker<frmModBndry>(
            [this, option, cancel](frmModBndry& d) {
                if (cancel) return d.cmdCancel_Click();
                d.Option1_Click(option);
                d.cmdOK_Click();
            },
            &dialogs_));
    }

    testsupport::ScopedTempDir dir_;
    int dialogs_ = 0;
};

TEST_F(FrmViewBoundaryTest, ABoundaryChangeIsStoredAndTheDocumentTreeAndPositionFollowIt) {
    window->settings.g_CalcDocPsn = 2;
    {
        auto answer = Answer(1);
        window->ModifyBoundaryLevel();  // no page yet
    }
    EXPECT_EQ(dialogs_, 0);
    ASSERT_TRUE(window->DisplayImage("K0005"));
    EXPECT_EQ(Status(), "K0005 (Page 2 of 3)  Document: 2 of 2  Folder: 1 of 1  ");
    window->ToggleProjectView();
    navigation::frmPrjVw* tree = window->ProjectTree();
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(tree->parentWidget(), window->ui.picPrjVw);
    EXPECT_EQ(navigation::frmPrjVw::NodeKey(tree->TView1->currentItem()).substr(1), "K0005");
    const int sent = static_cast<int>(session->passThroughSent.size());
    // Another page of the document: the tree selects it and nothing is asked.
    ASSERT_TRUE(window->DisplayImage("K0006"));
    EXPECT_EQ(navigation::frmPrjVw::NodeKey(tree->TView1->currentItem()).substr(1), "K0006");
    EXPECT_EQ(static_cast<int>(session->passThroughSent.size()), sent);

    // The same level, or Cancel: nothing is sent and the page stays.
    for (int option : {0, -1}) {
        auto answer = Answer(option, option < 0);
        window->ModifyBoundaryLevel();
    }
    EXPECT_EQ(dialogs_, 2);
    EXPECT_TRUE(session->boundaryEdits.empty());

    // K0005 starts a document: the server splits K0004..K0006.
    session->documents = {{"K0001", "K0004"}, {"K0005", "K0006"}};
    {
        auto answer = Answer(1);
        window->ModifyBoundaryLevel();
    }
    EXPECT_EQ(session->boundaryEdits, std::vector<std::string>{"level K0006 1"});
    EXPECT_EQ(window->docPosition.g_szDocBkey, "K0005");
    // The position lists were read again for the new document.
    EXPECT_EQ(Status(), "K0006 (Page 2 of 2)  Document: 2 of 2  Folder: 1 of 1  ");
    EXPECT_EQ(Sent(",20000"), 4);
    // The tree was built again down to the page.
    tree = window->ProjectTree();
    ASSERT_NE(tree, nullptr);
    EXPECT_EQ(navigation::frmPrjVw::NodeKey(tree->TView1->currentItem()).substr(1), "K0006");
    EXPECT_EQ(tree->FindNode(std::string(1, '\2') + "K0004"), nullptr);

    window->ToggleProjectView();
    EXPECT_EQ(window->ProjectTree(), nullptr);
    EXPECT_EQ(window->panes.PrjView_Active, 0);
    EXPECT_EQ(window->page.szCurrentKey, "K0006");  // closing the tree keeps the page
}

TEST_F(FrmViewBoundaryTest, TreeJumpWithinTheDocumentCountsThePositionAfresh) {
    ASSERT_TRUE(window->DisplayImage("K0005"));
    ASSERT_EQ(Status(), "K0005 (Page 2 of 3)");
    window->ToggleProjectView();
    navigation::frmPrjVw* tree = window->ProjectTree();
    ASSERT_NE(tree, nullptr);
    QTreeWidgetItem* page = tree->FindNode(std::string(1, '\2') + "K0004");
    ASSERT_NE(page, nullptr);
    tree->TView1_NodeClick(page);
    EXPECT_EQ(Status(), "K0004 (Page 1 of 3)");
}

}  // namespace
