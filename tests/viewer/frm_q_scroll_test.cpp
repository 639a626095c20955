// Quick scroll through the query list and through the project.

#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QTimer>

#include "support/test_images.h"
#include "viewer/frm_view_fixture.h"
#include "viewer/widgets/frm_q_scroll.h"

namespace {

using testsupport::FrmViewTest;

class FrmQScrollTest : public FrmViewTest {
  protected:
    FrmQScrollTest() {
        session->userValid = session->projectValid = true;
        session->projectName = "ALPHA";
        session->tempFile = dir_.Path() + "/page.img";
        session->pageKeys = {"K0001", "K0002", "K0003", "K0004"};
        for (const std::string& key : session->pageKeys) {
            session->images[key] = testsupport::PngBytes(200, 100);
        }
    }
    viewer::frmQScroll* Form() { return window->quickScroll.form; }
    // Runs the window's own timer until it closes itself.
    void RunUntilClosed() {
        QElapsedTimer clock;
        clock.start();
        while (Form() != nullptr && clock.elapsed() < 5000) {
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        }
    }
    // Presses "Faster" until the fastest pace.
    void Fastest() {
        for (int i = 0; i < 60; ++i) Form()->cmdInterval_Click(0);
    }
    // The pages the window showed, in order.
    std::vector<std::string> shown;
    void Watch() {
        QObject::connect(Form()->Timer1, &QTimer::timeout, window.get(), [this] {
            if (shown.empty() || shown.back() != window->page.szCurrentKey)
                shown.push_back(window->page.szCurrentKey);
        });
    }

    testsupport::ScopedTempDir dir_;
};

TEST_F(FrmQScrollTest, ProjectWalkRunsToTheLastPageAtTheFastestPaceThenStops) {
    ASSERT_TRUE(window->DisplayImage("K0001"));
    window->MiscTBar_Click(1);
    ASSERT_NE(Form(), nullptr);
    EXPECT_EQ(Form()->windowTitle(), QStringLiteral("QuickScroll Entire Project"));
    EXPECT_EQ(window->quickScroll.QuickScroll_Active, 1);
    EXPECT_TRUE(window->IsInputBlocked());
    Fastest();
    EXPECT_EQ(Form()->Timer1->interval(), 250);
    EXPECT_EQ(Form()->Label2->text(), QStringLiteral("250"));
    RunUntilClosed();
    EXPECT_EQ(Form(), nullptr);
    EXPECT_EQ(window->page.szCurrentKey, "K0004");
    EXPECT_EQ(prompts.Beeps(), 1);
    EXPECT_EQ(window->quickScroll.QuickScroll_Active, 0);
    EXPECT_FALSE(window->IsInputBlocked());
    // The pace is kept for the next opening; the mode is not.
    window->quickScroll.QuickScrollMode = 1;
    window->MiscTBar_Click(1);
    EXPECT_EQ(Form()->Timer1->interval(), 250);
    EXPECT_EQ(window->quickScroll.QuickScrollMode, 0);
}

TEST_F(FrmQScrollTest, OpensOverTheMainWindowNotAtTheScreensCorner) {
    window->move(60, 40);
    QApplication::processEvents();
    ASSERT_TRUE(window->DisplayImage("K0001"));
    window->MiscTBar_Click(1);
    ASSERT_NE(Form(), nullptr);
    const QPoint off = Form()->geometry().center() - window->geometry().center();
    EXPECT_LE(off.manhattanLength(), 40) << off.x() << "," << off.y();
}

TEST_F(FrmQScrollTest, ListWalkShowsEachRowAndStopsAfterTheLast) {
    for (const char* key : {"K0002", "K0004", "K0003"}) window->ui.QueryList->addItem(key);
    window->ui.QueryList->setCurrentRow(0);
    window->TBQuery_Click(5);
    ASSERT_NE(Form(), nullptr);
    EXPECT_EQ(Form()->windowTitle(), QStringLiteral("QuickScroll Query List"));
    Fastest();
    Watch();
    RunUntilClosed();
    EXPECT_EQ(Form(), nullptr);
    EXPECT_EQ(shown, (std::vector<std::string>{"K0004", "K0003"}));
    EXPECT_EQ(window->ui.QueryList->currentRow(), 2);
    EXPECT_EQ(prompts.Beeps(), 1);
    EXPECT_EQ(window->quickScroll.QuickScrollMode, 0);
}

TEST_F(FrmQScrollTest, ConfinedUserStopsAtTheEndOfTheDocument) {
    ASSERT_TRUE(window->DisplayImage("K0001"));
    window->project.g_LimitNav = 1;
    window->docPosition.g_szDocEkey = "K0002";
    window->OpenQuickScroll(0);
    Form()->Timer1_Timer();
    EXPECT_EQ(window->page.szCurrentKey, "K0002");
    ASSERT_NE(Form(), nullptr);
    Form()->Timer1_Timer();
    EXPECT_EQ(Form(), nullptr);
    EXPECT_EQ(window->page.szCurrentKey, "K0002");
    EXPECT_EQ(prompts.Beeps(), 1);
}

TEST_F(FrmQScrollTest, TicksWaitWhileARequestRunsAndCloseWithoutAProject) {
    ASSERT_TRUE(window->DisplayImage("K0001"));
    window->OpenQuickScroll(0);
    session->busy = true;
    Form()->Timer1_Timer();
    EXPECT_EQ(window->page.szCurrentKey, "K0001");
    session->busy = false;
    session->projectValid = false;
    Form()->Timer1_Timer();
    EXPECT_EQ(Form(), nullptr);
    EXPECT_EQ(prompts.Beeps(), 0);
}

TEST_F(FrmQScrollTest, TickInsideTheDisplayItStartedWaitsForTheNext) {
    ASSERT_TRUE(window->DisplayImage("K0001"));
    window->OpenQuickScroll(0);
    int inner = 0;
    session->duringGetImage = [&] {
        ++inner;
        if (Form() != nullptr) Form()->Timer1_Timer();
    };
    Form()->Timer1_Timer();
    EXPECT_EQ(inner, 1);
    EXPECT_EQ(window->page.szCurrentKey, "K0002");
    EXPECT_NE(Form(), nullptr);
}

TEST_F(FrmQScrollTest, IntervalButtonsStepAndStayInRange) {
    window->OpenQuickScroll(0);
    EXPECT_EQ(Form()->Label2->text(), QStringLiteral("1000"));
    for (int i = 0; i < 4; ++i) Form()->cmdInterval_Click(1);
    EXPECT_EQ(Form()->Timer1->interval(), 2000);
    for (int i = 0; i < 60; ++i) Form()->cmdInterval_Click(1);
    EXPECT_EQ(Form()->Label2->text(), QStringLiteral("15000"));
    Form()->cmdCancel_Click();
    EXPECT_EQ(Form(), nullptr);
    window->quickScroll.QuickScrollInterval = 3000;
    window->OpenQuickScroll(0);
    EXPECT_EQ(Form()->Timer1->interval(), 3000);
}

TEST_F(FrmQScrollTest, CommandMessageProjectTreeAndLeavingTheProjectCloseOrAreClosed) {
    ASSERT_TRUE(window->DisplayImage("K0001"));
    // Opening closes the project tree.
    window->panes.PrjView_Active = 1;
    window->panes.dlgPrjVw = new QWidget(window.get());
    window->OpenQuickScroll(0);
    EXPECT_EQ(window->panes.PrjView_Active, 0);
    EXPECT_EQ(window->panes.dlgPrjVw, nullptr);
    // A command message closes it before it runs, and is not held back.
    window->Process_Message_String("DDE,VIEW,K0003");
    EXPECT_EQ(Form(), nullptr);
    EXPECT_EQ(window->page.szCurrentKey, "K0003");
    EXPECT_FALSE(window->IsInputBlocked());
    window->OpenQuickScroll(1);
    window->ClearProjectViews();
    EXPECT_EQ(Form(), nullptr);
    EXPECT_EQ(window->quickScroll.QuickScroll_Active, 0);
}

}  // namespace
