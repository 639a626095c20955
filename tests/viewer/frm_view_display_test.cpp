#include <QBuffer>
#include <QLabel>
#include <QPlainTextEdit>

#include "support/annotation_box.h"
#include "support/test_images.h"
#include "viewer/frm_view_fixture.h"

namespace {

using testsupport::DamagedJpeg;
using testsupport::FrmViewTest;
using testsupport::PngBytes;

constexpr std::int32_t kWhite = 0xFFFFFF;
constexpr std::int32_t kBlack = 0x000000;
constexpr std::int32_t kYellow = 0x00FFFF;

std::string ListOf(std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b,
                   std::int32_t colour) {
    std::string text;
    TalqClientAPI_Header::BuildAnnotationList(1, {testsupport::AnnotationBox(l, t, r, b, colour)},
                                              text);
    return text;
}

class FrmViewDisplayTest : public FrmViewTest {
  protected:
    FrmViewDisplayTest() {
        session->userValid = session->projectValid = true;
        session->projectName = "ALPHA";
        session->tempFile = dir_.Path() + "/page.img";
        session->documents = {{"K0001", "K0003"}, {"K0004", "K0006"}};
        for (const char* key : {"K0001", "K0002", "K0003", "K0004", "K0005"}) {
            session->images[key] = PngBytes(400, 300);
        }
        // A black redaction over (10,10)-(60,40), a yellow highlight over (100,100)-(150,130).
        session->annotations["K0002"][kRedaction] = ListOf(10, 10, 60, 40, kBlack);
        session->annotations["K0002"][kHighlight] = ListOf(100, 100, 150, 130, kYellow);
        window->docPosition.g_iDocLvl = 1;
        window->zoom.g_ScaleFactor = 1.0f;
        window->zoom.g_ScaleMode = 2;
    }
    std::string Status() const { return window->ui.lblStatus->text().toStdString(); }
    std::int32_t Back(int x, int y) const { return window->ui.picImage2.Point(x, y); }

    testsupport::ScopedTempDir dir_;
};

TEST_F(FrmViewDisplayTest, PageShowsWithItsLayersPositionLockAndCaption) {
    ASSERT_TRUE(window->DisplayImage("K0002"));
    EXPECT_EQ(Status(), "K0002 (Page 2 of 3)");
    EXPECT_EQ(window->windowTitle(), QStringLiteral("Project: ALPHA"));
    EXPECT_EQ(window->page.g_ValidImage, 1);
    EXPECT_EQ(window->page.g_szLockedKey, "K0002");
    EXPECT_EQ(window->page.g_PageReadOnly, 0);
    EXPECT_EQ(window->page.g_ImgWidth, 400);
    EXPECT_EQ(Back(35, 25), kBlack);
    EXPECT_EQ(Back(125, 115), kYellow);
    EXPECT_EQ(window->ui.picImage->Surface().Point(125, 115), kYellow);

    window->docPosition.g_iDocPsn = 3;  // a caller stepping within the document counts for itself
    ASSERT_TRUE(window->DisplayImage("K0003"));  // next page: the old lock goes
    EXPECT_EQ(session->locksRemoved, std::vector<std::string>{"K0002"});
    EXPECT_EQ(Status(), "K0003 (Page 3 of 3)");
    EXPECT_EQ(Back(35, 25), kWhite);
}

TEST_F(FrmViewDisplayTest, PositionIsCountedAfreshInEachNewDocument) {
    ASSERT_TRUE(window->DisplayImage("K0003"));
    window->docPosition.g_iDocPsn = 3;  // kept up to date by a caller stepping in the document
    ASSERT_TRUE(window->DisplayImage("K0005"));
    EXPECT_EQ(Status(), "K0005 (Page 2 of 3)");
    EXPECT_EQ(window->docPosition.g_szDocBkey, "K0004");
}

TEST_F(FrmViewDisplayTest, UnreadablePageListShowsNoCountOfThePreviousDocument) {
    ASSERT_TRUE(window->DisplayImage("K0002"));
    ASSERT_EQ(Status(), "K0002 (Page 2 of 3)");
    session->scrollListOk = false;
    ASSERT_TRUE(window->DisplayImage("K0005"));
    EXPECT_EQ(Status(), "K0005");
    EXPECT_EQ(window->docPosition.g_iDocCnt, 0);
}

TEST_F(FrmViewDisplayTest, OriginalFileButtonShowsOnlyForPagesWithAnOriginal) {
    session->nativeFile = "orig/K0001.pdf";
    ASSERT_TRUE(window->DisplayImage("K0001"));
    EXPECT_FALSE(window->ui.Tbar[20]->isHidden());
    session->nativeFile.clear();
    ASSERT_TRUE(window->DisplayImage("K0002"));
    EXPECT_TRUE(window->ui.Tbar[20]->isHidden());
}

TEST_F(FrmViewDisplayTest, LeavingTheProjectClearsThePlaceholdersTextBox) {
    session->placeholder = true;
    session->ocrText = "LAST PAGE TEXT";
    window->settings.UseTextBox = true;
    ASSERT_TRUE(window->DisplayImage("K0001"));
    ASSERT_FALSE(window->ui.txtImage->isHidden());
    window->ClearProjectViews();
    EXPECT_TRUE(window->ui.txtImage->toPlainText().isEmpty());
    EXPECT_TRUE(window->ui.txtImage->isHidden());
    EXPECT_FALSE(window->ui.picImage->isHidden());
}

// A page not shown was taken as place 0 and the next one as place 1; its
// box named no page, and a step the server refused said nothing.
TEST_F(FrmViewDisplayTest, APageNotShownOrARefusedStepSaysWhyAndKeepsTheRightPlace) {
    session->pageKeys = {"K0001", "K0002", "K0003"};
    ASSERT_TRUE(window->DisplayImage("K0001"));
    const std::string image = std::exchange(session->images["K0002"], "");
    session->duringGetImage = [&] { session->lastError = "ERROR: Invalid Project ALPHA"; };
    window->docPosition.g_iDocPsn = 0;  // as a Go To leaves it
    EXPECT_FALSE(window->DisplayImage("K0002"));
    session->images["K0002"] = image;
    session->nextKeyErrors["K0003"] = "ERROR: Invalid Key Range: K0009 is no key";
    window->NavTBar_Click(1);
    EXPECT_EQ(Status(), "K0003 (Page 3 of 3)");
    window->NavTBar_Click(1);
    EXPECT_EQ(prompts.Messages(),
              (std::vector<std::string>{"Unable to Display ImageKey K0002\nInvalid Project ALPHA",
                                        "Unable to Obtain Next Image Key\nInvalid Key Range: K0009 "
                                        "is no key"}));
}

TEST_F(FrmViewDisplayTest, RefusedLockShowsThePageReadOnly) {
    session->grantLocks = false;
    ASSERT_TRUE(window->DisplayImage("K0001"));
    EXPECT_EQ(Status(), "K0001 [READ ONLY] (Page 1 of 3)");
    EXPECT_EQ(window->page.g_PageReadOnly, 1);
    EXPECT_EQ(window->page.g_szLockedKey, "");
}

TEST_F(FrmViewDisplayTest, RestrictedPageIsReadOnlyWithoutLockAndShowsOnlyItsRedactions) {
    session->restricted = 1;
    session->nativeFile = "orig.doc";
    ASSERT_TRUE(window->DisplayImage("K0002"));
    EXPECT_EQ(Status(), "K0002 (Page 2 of 3)");
    EXPECT_EQ(window->page.g_PageReadOnly, 1);
    EXPECT_EQ(window->page.g_szLockedKey, "");
    EXPECT_TRUE(window->page.g_NativeBlocked);
    EXPECT_EQ(window->page.g_szNativeFile, "");
    EXPECT_EQ(Back(35, 25), kBlack);
    EXPECT_EQ(Back(125, 115), kWhite);
}

TEST_F(FrmViewDisplayTest, MissingOrCorruptImageEndsWithItsMarkAndNoLock) {
    constexpr auto npos = std::string::npos;
    EXPECT_FALSE(window->DisplayImage("K0009"));
    EXPECT_EQ(Status(), "K0009 *** Bad Image ***");
    EXPECT_EQ(window->page.g_szLockedKey, "");
    EXPECT_EQ(window->page.g_ValidImage, 0);

    session->images["K0001"] = "not an image at all";
    EXPECT_FALSE(window->DisplayImage("K0001"));
    EXPECT_EQ(Status(), "K0001 *** Error Opening Image ***");
    EXPECT_EQ(window->page.g_szLockedKey, "");
    ASSERT_EQ(prompts.Messages().size(), 1u);
    EXPECT_EQ(prompts.Records().back().title, "Warning");
    // The box names the page, not the viewer's temporary file.
    EXPECT_NE(prompts.Messages().back().find("ImageFile: the image of page K0001 "), npos);

    // A JPEG whose header reads but whose body does not decode is no blank page.
    session->images["K0002"] = DamagedJpeg();
    EXPECT_FALSE(window->DisplayImage("K0002"));
    EXPECT_EQ(Status(), "K0002 *** Error Opening Image ***");
    EXPECT_EQ(window->page.g_ValidImage, 0);
    EXPECT_EQ(window->page.g_szLockedKey, "");
    ASSERT_EQ(prompts.Messages().size(), 2u);
    EXPECT_NE(prompts.Messages().back().find("page K0002"), npos);
}

TEST_F(FrmViewDisplayTest, APageShowsFromMemoryWhereNoTemporaryFileCanBeWritten) {
    session->tempFile = dir_.Path() + "/missing-folder/page.img";
    ASSERT_TRUE(window->DisplayImage("K0001"));
    EXPECT_EQ(Status(), "K0001 (Page 1 of 3)");
}

TEST_F(FrmViewDisplayTest, A600DpiColourOrGreyScanShowsAndZooms) {
    window->zoom.ZoomWin_Active = 1;
    window->Form_Resize();
    window->zoom.ZoomWin_Scale = 4.0f;
    for (bool grey : {false, true}) {
        session->images["K0001"] = testsupport::LetterScan600(grey);
        ASSERT_TRUE(window->DisplayImage("K0001"));
        // The zoom window enlarges it past its own size: a decode in full.
        EXPECT_EQ(window->ImgObj->ImgWidth(), 5100);
        EXPECT_LT(qGray(static_cast<QRgb>(window->ui.picImage3.Point(20, 20))), 40);
    }
}

TEST_F(FrmViewDisplayTest, UnreadableAnnotationsNeverShowAPageWithoutItsRedactions) {
    session->annotationsOk = false;
    ASSERT_TRUE(window->DisplayImage("K0001"));  // may see through: read-only page
    EXPECT_EQ(window->page.g_PageReadOnly, 1);
    EXPECT_TRUE(window->page.g_NativeBlocked);
    EXPECT_EQ(window->page.g_szLockedKey, "");

    session->redactionsOkToView = false;
    EXPECT_FALSE(window->DisplayImage("K0001"));
    EXPECT_EQ(Status(), "K0001 *** Error Retrieving Image ***");
    EXPECT_EQ(window->page.g_ValidImage, 0);
    EXPECT_EQ(window->ui.picImage->Surface().Point(5, 5), kWhite);

    session->annotationsOk = true;
    session->pageInfoOk = false;
    EXPECT_FALSE(window->DisplayImage("K0001"));
}

TEST_F(FrmViewDisplayTest, StatusLineCarriesDateFolderInfoAndTags) {
    session->fullText = 8;
    session->pageDate = "20240131";
    session->folderDescriptions["K0001"] = "Correspondence";
    session->infoDescs = "Author|Recipient|Type";
    session->pageInfo = std::string("Smith") + '\x1E' + "" + '\x1E' + "Letter";
    session->tags = "HOT,PRIV";
    window->settings.g_StatusLine = 1 | 2 | 4 | 8;
    window->settings.DateFormat = 1;
    ASSERT_TRUE(window->DisplayImage("K0002"));
    EXPECT_EQ(Status(),
              "K0002 (Page 2 of 3)  DocDate: 01/31/2024\r\nCorrespondence\r\n"
              "Author: Smith, Type: Letter\r\nHOT, PRIV");

    session->pageDate = "2024-1-31";  // not 8 digits: shown as received
    window->settings.g_StatusLine = 8;
    ASSERT_TRUE(window->DisplayImage("K0002"));
    EXPECT_EQ(Status(), "K0002 (Page 2 of 3)  DocDate: 2024-1-31");
    session->pageDate = "";
    ASSERT_TRUE(window->DisplayImage("K0002"));
    EXPECT_EQ(Status(), "K0002 (Page 2 of 3)  DocDate: None");
    session->pageDateRead = false;
    ASSERT_TRUE(window->DisplayImage("K0002"));
    EXPECT_EQ(Status(), "K0002 (Page 2 of 3)  DocDate: Not Read") << "no date is no failure";
}

TEST_F(FrmViewDisplayTest, PlaceholderPageShowsItsTextInTheTextBoxWhenChosen) {
    session->placeholder = true;
    session->ocrText = "Page withheld";
    session->images["TEXT"] = PngBytes(200, 100);
    window->settings.UseTextBox = true;
    ASSERT_TRUE(window->DisplayImage("K0001"));
    EXPECT_EQ(window->page.g_ValidImage, 2);
    EXPECT_TRUE(window->ui.txtImage->isVisible());
    EXPECT_FALSE(window->ui.picImage->isVisible());
    EXPECT_EQ(window->ui.txtImage->toPlainText(), QStringLiteral("Page withheld"));

    window->settings.UseTextBox = false;
    ASSERT_TRUE(window->DisplayImage("K0001"));
    EXPECT_TRUE(window->ui.picImage->isVisible());
    EXPECT_FALSE(window->ui.txtImage->isVisible());
    EXPECT_EQ(window->page.g_ImgWidth, 200);  // the rendered text, not the page's image
    EXPECT_FLOAT_EQ(window->page.g_ViewScaleFactor, 1.0f);
}

TEST_F(FrmViewDisplayTest, StickyRotationTurnsEveryPage) {
    window->settings.StickyRotate = true;
    window->settings.g_StickyRotation = 1;
    ASSERT_TRUE(window->DisplayImage("K0001"));
    EXPECT_EQ(window->page.g_ImgWidth, 300);
    EXPECT_EQ(window->page.g_ImgHeight, 400);
}

}  // namespace
