#include <QApplication>
#include <QLabel>
#include <QListWidget>
#include <QMouseEvent>
#include <QToolButton>

#include <functional>
#include <vector>

#include "support/test_images.h"
#include "viewer/frm_view_fixture.h"

namespace {

using testsupport::FrmViewTest;

// Six pages in two documents of three, at levels 1 (folder) and 2 (document).
class FrmViewNavigationTest : public FrmViewTest {
  protected:
    FrmViewNavigationTest() {
        session->userValid = session->projectValid = true;
        session->projectName = "ALPHA";
        session->tempFile = dir_.Path() + "/page.img";
        session->documents = {{"K0001", "K0003"}, {"K0004", "K0006"}};
        session->pageKeys = {"K0001", "K0002", "K0003", "K0004", "K0005", "K0006"};
        for (const std::string& key : session->pageKeys) {
            session->images[key] = testsupport::PngBytes(40, 30);
        }
        window->LoadProjectViews();
    }
    void Show(const std::string& key) { ASSERT_TRUE(window->DisplayImage(key)); }
    void RightClick(int index) {
        QToolButton* b = window->ui.NavTBar[static_cast<size_t>(index)];
        const QPointF at(b->width() / 2.0, b->height() / 2.0);
        QMouseEvent press(QEvent::MouseButtonPress, at, b->mapToGlobal(at), Qt::RightButton,
                          Qt::RightButton, Qt::NoModifier);
        QMouseEvent release(QEvent::MouseButtonRelease, at, b->mapToGlobal(at), Qt::RightButton,
                            Qt::NoButton, Qt::NoModifier);
        QApplication::sendEvent(b, &press);
        QApplication::sendEvent(b, &release);
    }
    void Click(int index) { window->ui.NavTBar[static_cast<size_t>(index)]->click(); }

    testsupport::ScopedTempDir dir_;
};

TEST_F(FrmViewNavigationTest, ButtonsFollowTheProjectsLevelsAndGoWithIt) {
    // Coarsest pair leftmost, the page pair rightmost; two levels, two pairs.
    EXPECT_EQ(window->ui.NavTBar[4]->x(), 1020 / 15);
    EXPECT_EQ(window->ui.NavTBar[2]->x(), 1800 / 15);
    EXPECT_EQ(window->ui.NavTBar[0]->x(), 2580 / 15);
    EXPECT_EQ(window->ui.NavTBar[3]->toolTip().toStdString(),
              "Next Folder (Right Click = Goto Last)");
    for (size_t i = 0; i < 10; ++i) EXPECT_EQ(window->ui.NavTBar[i]->isHidden(), i >= 6) << i;
    EXPECT_FALSE(window->ui.MiscTBar[0]->isHidden());

    window->ClearProjectViews();
    for (QToolButton* b : window->ui.NavTBar) EXPECT_TRUE(b->isHidden());
    for (QToolButton* b : window->ui.MiscTBar) EXPECT_TRUE(b->isHidden());
}

TEST_F(FrmViewNavigationTest, AnyButtonWithNoPageOnDisplayShowsTheFirstPageUnlessLimited) {
    window->project.g_LimitNav = 1;
    Click(5);
    EXPECT_TRUE(window->page.szCurrentKey.empty());
    EXPECT_EQ(prompts.Beeps(), 1);

    window->project.g_LimitNav = 0;
    Click(5);
    EXPECT_EQ(window->page.szCurrentKey, "K0001");
}

TEST_F(FrmViewNavigationTest, RefusedPageMovesBeepAndKeepThePageAndItsPosition) {
    Show("K0004");
    window->project.g_LimitNav = 1;
    const std::int32_t position = window->docPosition.g_iDocPsn;
    Click(0);  // the document's first page, navigation limited to it
    EXPECT_EQ(window->page.szCurrentKey, "K0004");
    EXPECT_EQ(window->docPosition.g_iDocPsn, position);
    EXPECT_EQ(prompts.Beeps(), 1);

    window->project.g_LimitNav = 0;
    Click(1);
    Click(1);
    EXPECT_EQ(window->page.szCurrentKey, "K0006");
    Click(1);  // the project's last page
    EXPECT_EQ(window->page.szCurrentKey, "K0006");
    EXPECT_EQ(window->docPosition.g_iDocPsn, 3);
    EXPECT_EQ(prompts.Beeps(), 2);

    Click(0);
    EXPECT_EQ(window->page.szCurrentKey, "K0005");
    EXPECT_EQ(window->docPosition.g_iDocPsn, 2);
}

TEST_F(FrmViewNavigationTest, UnitMovesStayInsideTheNavigationRange) {
    Show("K0002");
    window->project.g_iLimit3rdLvl = 1;
    window->docPosition.g_sz3rdBkey = "K0001";
    window->docPosition.g_sz3rdEkey = "K0003";
    Click(5);  // the next folder starts beyond the range
    EXPECT_EQ(window->page.szCurrentKey, "K0002");
    EXPECT_EQ(prompts.Beeps(), 1);
    window->project.g_iLimit3rdLvl = 0;
    Click(5);
    EXPECT_EQ(window->page.szCurrentKey, "K0004");
}

TEST_F(FrmViewNavigationTest, RightClicksJumpToTheFirstOrLast) {
    Show("K0002");
    RightClick(5);  // next unit at the top level: the project's last page
    EXPECT_EQ(window->page.szCurrentKey, "K0006");
    EXPECT_EQ(window->navBar.NavRightButton, 0);

    Show("K0005");
    RightClick(0);
    EXPECT_EQ(window->page.szCurrentKey, "K0004");
    EXPECT_EQ(window->docPosition.g_iDocPsn, 1);

    Click(1);  // a left click after a right one steps again
    EXPECT_EQ(window->page.szCurrentKey, "K0005");
}

TEST_F(FrmViewNavigationTest, KeyEntryShowsFoundKeysAndAsksBeforeANearOne) {
    session->nearKeys["K0009"] = "K0005";
    prompts.QueueInput("K0009");
    prompts.QueueAnswer(platform::vbNo);
    window->ui.MiscTBar[0]->click();
    EXPECT_TRUE(window->page.szCurrentKey.empty());
    ASSERT_EQ(prompts.Messages().size(), 1u);
    EXPECT_EQ(prompts.Messages()[0], "K0009 not found.\nUse K0005 instead?");
    EXPECT_EQ(prompts.Records().back().style, platform::vbYesNo + platform::vbQuestion);
    EXPECT_EQ(prompts.Records().back().title, " ");

    prompts.QueueInput("K0009");
    prompts.QueueAnswer(platform::vbYes);
    window->MiscTBar_Click(0);
    EXPECT_EQ(window->page.szCurrentKey, "K0005");

    prompts.QueueInput("K0003");
    window->MiscTBar_Click(0);
    EXPECT_EQ(window->page.szCurrentKey, "K0003");

    // A key that would break the request line is not found, never sent.
    prompts.QueueInput("K0003,X");
    window->MiscTBar_Click(0);
    EXPECT_EQ(window->page.szCurrentKey, "K0003");
    EXPECT_EQ(prompts.Messages().back(), "K0003,X ImageKey not found.");
    EXPECT_EQ(prompts.Records().back().title, "Warning");
}

TEST_F(FrmViewNavigationTest, JumpsWithinTheDocumentCountThePagePositionAfresh) {
    struct Case {
        const char* how;
        std::function<void()> jump;
    };
    const std::vector<Case> cases = {
        {"command message", [&] { window->Process_Message_String("DDE,VIEW,K0006"); }},
        {"typed key",
         [&] {
             prompts.QueueInput("K0006");
             window->MiscTBar_Click(0);
         }},
        {"query list",
         [&] {
             window->ui.QueryList->clear();
             window->ui.QueryList->addItem(QStringLiteral("K0006"));
             window->ui.QueryList->setCurrentRow(0);
             window->QueryList_Click();
         }},
    };
    for (const Case& c : cases) {
        window->docPosition.g_iDocPsn = 0;
        Show("K0004");
        ASSERT_NE(window->ui.lblStatus->text().indexOf(QStringLiteral("(Page 1 of 3)")), -1);
        c.jump();
        EXPECT_EQ(window->page.szCurrentKey, "K0006") << c.how;
        EXPECT_EQ(window->docPosition.g_iDocPsn, 3) << c.how;
        EXPECT_NE(window->ui.lblStatus->text().indexOf(QStringLiteral("(Page 3 of 3)")), -1)
            << c.how << ": " << window->ui.lblStatus->text().toStdString();
    }
}

}  // namespace
