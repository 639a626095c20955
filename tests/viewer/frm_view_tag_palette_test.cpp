// The tag palette pane with a scripted session: its rows, when a click
// changes a tag, and its two buttons.
#include <QLabel>
#include <QScrollBar>
#include <QToolButton>

#include "annotations/widgets/frm_tag_pal.h"
#include "annotations/widgets/tag_palette_rows.h"
#include "support/scripted_dialog.h"
#include "viewer/frm_view_fixture.h"

namespace {

using testsupport::FrmViewTest;

class FrmViewTagPaletteTest : public FrmViewTest {
  protected:
    FrmViewTagPaletteTest() {
        session->userValid = session->projectValid = true;
        session->tagPalette = "Hot,Responsive,A&B";
        session->tags = "responsive";
        window->page.szCurrentKey = "K0001";
        window->page.g_ValidImage = 1;
    }
    // As the image toolbar opens the pane.
    void OpenPalette() {
        window->panes.TagPal_Active = 1;
        window->InitTagPalette();
        window->Form_Resize();
        window->UpdateTagPalette(window->page.szCurrentKey);
    }
    QLabel* Label(int i) const { return window->ui.TagRows->Tag_DESC[static_cast<size_t>(i)]; }
    QLabel* Picture(int i) const { return window->ui.TagRows->Tag_BMP[static_cast<size_t>(i)]; }
    bool ShowsOn(int i) const {
        return Picture(i)->pixmap().toImage() == window->ui.TagRows->Tag_ON.toImage();
    }
};

TEST_F(FrmViewTagPaletteTest, OpeningShowsThePaletteWithThePagesTagsOn) {
    OpenPalette();
    EXPECT_TRUE(window->ui.TagForm->isVisible());
    EXPECT_EQ(window->tagPalette.rows.Count(), 3);
    EXPECT_EQ(Label(3)->text(), QStringLiteral("A&B"));
    EXPECT_EQ(Label(3)->textFormat(), Qt::PlainText) << "an ampersand is no access key";
    EXPECT_TRUE(Label(1)->isVisible());
    EXPECT_FALSE(Label(4)->isVisible());
    EXPECT_FALSE(ShowsOn(1));
    EXPECT_TRUE(ShowsOn(2)) << "names match without regard to case";
    EXPECT_FALSE(window->ui.TagRows->VScroll2->isVisible());
    EXPECT_EQ(Label(2)->geometry().top(), (460 + 320) / 15);
}

TEST_F(FrmViewTagPaletteTest, ALongPaletteScrollsAndRowsAboveThePaneHide) {
    std::string list;
    for (int i = 1; i <= 250; ++i) list += (i > 1 ? "," : "") + ("T" + std::to_string(i));
    session->tagPalette = list;
    OpenPalette();
    QScrollBar* bar = window->ui.TagRows->VScroll2;
    ASSERT_EQ(window->tagPalette.rows.Count(), 200);
    ASSERT_TRUE(bar->isVisible());
    const int fit = window->tagPalette.TagRowsFit;
    ASSERT_GT(fit, 0);
    EXPECT_EQ(bar->maximum(), 200 - fit);
    EXPECT_FALSE(Label(fit + 1)->isVisible());
    bar->setValue(2);
    EXPECT_FALSE(Label(2)->isVisible());
    EXPECT_TRUE(Label(3)->isVisible());
    EXPECT_EQ(Label(3)->geometry().top(), 31);  // 460 twips
    EXPECT_TRUE(Label(fit + 1)->isVisible()) << "rows below the pane stay, cut off";
}

TEST_F(FrmViewTagPaletteTest, TheTagsOfAPageAreReadOnlyWhenTheyCanBeShown) {
    struct Case {
        const char* what;
        std::function<void(viewer::frmView&)> set;
        std::string key;
    } cases[] = {
        {"no key", [](viewer::frmView&) {}, ""},
        {"no page", [](viewer::frmView& w) { w.page.g_ValidImage = 0; }, "K0001"},
        {"tags hidden", [](viewer::frmView& w) { w.project.g_RestrictTags = 2; }, "K0001"},
    };
    for (const Case& c : cases) {
        OpenPalette();
        ASSERT_TRUE(ShowsOn(2));
        session->tagReads = 0;
        c.set(*window);
        window->UpdateTagPalette(c.key);
        EXPECT_EQ(session->tagReads, 0) << c.what;
        EXPECT_FALSE(ShowsOn(2)) << c.what;
        window->page.g_ValidImage = 1;
        window->project.g_RestrictTags = 0;
    }
}

TEST_F(FrmViewTagPaletteTest, ARowClickChangesATagOnlyWhereTheUserMayAndSaysSoWhenRefused) {
    struct Case {
        const char* what;
        std::function<void(viewer::frmView&, testsupport::FakeViewerSession&)> set;
    } refused[] = {
        {"request running", [](auto&, auto& s) { s.busy = true; }},
        {"no page", [](auto& w, auto&) { w.page.g_ValidImage = 0; }},
        {"view only", [](auto& w, auto&) { w.project.g_RestrictTags = 1; }},
        {"restricted page", [](auto& w, auto&) { w.page.g_PageRestricted = 1; }},
        {"read-only page", [](auto& w, auto&) { w.page.g_PageReadOnly = 1; }},
    };
    OpenPalette();
    for (const Case& c : refused) {
        c.set(*window, *session);
        window->Tag_BMP_Click(1);
        EXPECT_TRUE(session->tagChanges.empty()) << c.what;
        EXPECT_TRUE(prompts.Records().empty()) << c.what << ": not even a beep";
        session->busy = false;
        window->page = viewer::PageOnDisplay{};
        window->page.szCurrentKey = "K0001";
        window->page.g_ValidImage = 1;
        window->project.g_RestrictTags = 0;
    }
    window->Tag_DESC_Click(1);
    window->Tag_BMP_Click(2);
    EXPECT_EQ(session->tagChanges, (std::vector<std::string>{"+Hot", "-Responsive"}));
    EXPECT_TRUE(ShowsOn(1));
    EXPECT_FALSE(ShowsOn(2));
    session->tagChangesOk = false;
    window->Tag_BMP_Click(1);
    EXPECT_TRUE(ShowsOn(1)) << "a refused change keeps the row";
    EXPECT_EQ(prompts.Messages(), std::vector<std::string>{"Error Updating Issue Tag"});
    EXPECT_EQ(prompts.Beeps(), 1);
    // The server's reason goes on a line under the window's own words.
    session->lastError = "ERROR: Update Failed: database or disk is full";
    window->Tag_BMP_Click(1);
    EXPECT_EQ(prompts.Messages().back(),
              "Error Updating Issue Tag\nUpdate Failed: database or disk is full");
}

TEST_F(FrmViewTagPaletteTest, ButtonsCloseThePaneAndReadThePaletteAgainAfterTheEditor) {
    OpenPalette();
    session->busy = true;
    window->TBTag_Click(1);
    EXPECT_EQ(prompts.Beeps(), 1);
    EXPECT_EQ(window->panes.TagPal_Active, 1);
    session->busy = false;

    int runs = 0;
    talq::DialogFactory<annotations::frmTagPal>::Scoped editor(
        testsupport::ScriptedMaker<annotations::frmTagPal>(
            [this](annotations::frmTagPal& d) {
                session->tagPalette = "Cold";  // changed meanwhile
                d.cmd_cancel_Click();
            },
            &runs));
    window->TBTag_Click(0);
    EXPECT_EQ(runs, 1);
    EXPECT_EQ(window->tagPalette.rows.Count(), 1);
    EXPECT_EQ(Label(1)->text(), QStringLiteral("Cold"));
    EXPECT_FALSE(Label(2)->isVisible());

    window->TBTag_Click(1);
    EXPECT_EQ(window->panes.TagPal_Active, 0);
    EXPECT_FALSE(window->ui.TagForm->isVisible());
}

TEST_F(FrmViewTagPaletteTest, UnloadRemovesTheRows) {
    OpenPalette();
    window->Form_Unload();
    EXPECT_EQ(window->project.g_TagPalInitialized, 0);
    EXPECT_EQ(window->ui.TagRows->Tag_BMP[1], nullptr);
    EXPECT_EQ(window->tagPalette.rows.Count(), 0);
}

}  // namespace
