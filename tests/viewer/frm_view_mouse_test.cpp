#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

#include <algorithm>
#include <functional>
#include <utility>

#include "annotations/widgets/note_dialogs.h"
#include "foundation/widgets/generic_dialogs.h"
#include "support/annotation_box.h"
#include "support/fake_dialog_runner.h"
#include "support/scoped_env.h"
#include "support/scripted_dialog.h"
#include "support/test_images.h"
#include "viewer/frm_view_fixture.h"

namespace {

using annotations::frmAnnot;
using annotations::frmClip;
using TalqClientAPI_Header::kFieldSep;
using testsupport::ScriptedMaker;

constexpr int kLeft = 1, kRight = 2;
const std::string kLimitMessage =
    "You have exceeded the maximum annotations\nallowed for a single image.";

class FrmViewMouseTest : public testsupport::FrmViewTest {
  protected:
    FrmViewMouseTest() : runner_(dialogs) {
        QImage white(800, 600, QImage::Format_RGB32);
        white.fill(Qt::white);
        const std::string path = dir_.Path() + "/page.png";
        white.save(QString::fromStdString(path));
        window->ImgObj->OpenImageFile(path);
        window->page.g_ImgWidth = 800;
        window->page.g_ImgHeight = 600;
        window->page.g_ValidImage = 1;
        window->page.szCurrentKey = "K0001";
        window->login.szUserID = "ANN";
        session->projectValid = true;
        window->zoom.g_ScaleFactor = 1.0f;  // image pixels are screen pixels
        window->SetImageScale(2);
        window->RedisplayImage();
    }
    // Mouse positions in screen pixels, sent in twips.
    void Down(int x, int y, int button = kLeft) {
        window->picImage_MouseDown(button, 0, x * 15, y * 15);
    }
    void Move(int x, int y) { window->picImage_MouseMove(kLeft, 0, x * 15, y * 15); }
    void Up(int x, int y, int button = kLeft) {
        window->picImage_MouseUp(button, 0, x * 15, y * 15);
    }
    void Drag(int tool, int x1, int y1, int x2, int y2) {
        window->project.RedactMode = static_cast<std::int16_t>(tool);
        Down(x1, y1);
        Move(x2, y2);
        Up(x2, y2);
    }
    // The tokens of the last record of the last list saved.
    std::vector<std::string> LastSavedTokens() {
        std::vector<std::string> tokens;
        if (session->puts.empty()) return tokens;
        const std::string& text = session->puts.back().text;
        const std::string record = text.substr(text.rfind('\x18') + 1);
        std::size_t at = 0;
        while (tokens.size() < 13) {
            const std::size_t end = std::min(record.find(kFieldSep, at), record.size());
            tokens.push_back(at <= record.size() ? record.substr(at, end - at) : "");
            at = end + 1;
        }
        return tokens;
    }
    // What the server keeps of a kind on the page: another user wrote it
    // after the page was shown.
    void Store(AnnotationKind kind, const AnnotationList& records) {
        TalqClientAPI_Header::BuildAnnotationList(static_cast<int>(records.size()), records,
                                                  session->annotations["K0001"][kind]);
    }
    // What the page shows, as it is stored.
    void Show(AnnotationKind kind, const AnnotationList& records) {
        window->pageAnnotations[kind] = {records, static_cast<int>(records.size())};
        Store(kind, records);
    }
    int Messages(const std::string& text) {
        int n = 0;
        for (const std::string& m : prompts.Messages()) n += m == text;
        return n;
    }

    testsupport::ScopedTempDir dir_;
    testsupport::FakeDialogRunner dialogs;
    mComDlg::ScopedDialogRunner runner_;
};

TEST_F(FrmViewMouseTest, EachBoxToolSavesItsKindNormalisedWhateverTheDragDirection) {
    talq::DialogFactory<frmAnnot>::Scoped notes(ScriptedMaker<frmAnnot>([](frmAnnot& d) {
        d.Text1->setPlainText("a, note");
        d.cmdOK_Click();
    }));
    talq::DialogFactory<frmClip>::Scoped clips(ScriptedMaker<frmClip>([](frmClip& d) {
        d.txtFile->setText("/docs/a.pdf");
        d.cmdOK_Click();
    }));
    window->settings.DfltRedactLabel = "";
    struct Case {
        int tool, kind;
        int x1, y1, x2, y2;
        std::string color, color2, text;
    } cases[] = {
        {14, 8, 100, 100, 300, 200, "65535", "65535", ""},
        {13, 4, 300, 200, 100, 100, "0", "16777215", ""},  // dragged up and left
        {12, 16, 300, 100, 100, 200, "16711680", "16711680", "a\x1D note"},
        {11, 1, 100, 200, 300, 100, "0", "0", "a\x1D note"},
        {16, 2, 100, 100, 300, 200, "0", "1", "/docs/a.pdf"},
    };
    for (const Case& c : cases) {
        session->puts.clear();
        Drag(c.tool, c.x1, c.y1, c.x2, c.y2);
        ASSERT_EQ(session->puts.size(), 1u) << c.tool;
        EXPECT_EQ(session->puts[0].kind, c.kind);
        EXPECT_EQ(session->puts[0].key, "K0001");
        const std::vector<std::string> t = LastSavedTokens();
        EXPECT_EQ(t[0] + "," + t[1] + "," + t[2] + "," + t[3], "100,100,300,200") << c.tool;
        EXPECT_EQ(t[8], c.color) << c.tool;
        EXPECT_EQ(t[10], c.color2) << c.tool;
        EXPECT_EQ(t[11].substr(0, 5), std::string("\x16"
                                                  "ANN\x16"))
            << c.tool;
        EXPECT_EQ(t[12], c.text) << c.tool;
    }
    EXPECT_EQ(window->mouse.LastClipText, "/docs/a.pdf");
}

TEST_F(FrmViewMouseTest, AClickUnderTheThresholdMakesNothing) {
    for (int tool : {11, 12, 13, 14, 15, 16}) {
        Drag(tool, 100, 100, 113, 113);  // 195 twips both ways
        EXPECT_TRUE(session->puts.empty()) << tool;
    }
}

TEST_F(FrmViewMouseTest, EachKindStopsAtItsLimitWithTheMessage) {
    struct Case {
        int tool;
        AnnotationKind kind;
        int limit;
    } cases[] = {
        {11, kStickyNote, 15}, {12, kTextNote, 15}, {13, kRedaction, 85},
        {14, kHighlight, 85},  {15, kMarkup, 15},   {16, kClip, 30},
    };
    talq::DialogFactory<frmAnnot>::Scoped notes(ScriptedMaker<frmAnnot>([](frmAnnot& d) {
        d.Text1->setPlainText("n");
        d.cmdOK_Click();
    }));
    talq::DialogFactory<frmClip>::Scoped clips(ScriptedMaker<frmClip>([](frmClip& d) {
        d.txtFile->setText("/f");
        d.cmdOK_Click();
    }));
    for (const Case& c : cases) {
        Show(c.kind, AnnotationList(static_cast<std::size_t>(c.limit - 1)));
        const KindList& k = window->pageAnnotations[c.kind];
        prompts.Clear();
        Drag(c.tool, 500, 400, 600, 500);
        EXPECT_EQ(k.count, c.limit) << c.tool << ": the last one allowed is made";
        Drag(c.tool, 500, 400, 600, 500);
        EXPECT_EQ(k.count, c.limit) << c.tool;
        EXPECT_EQ(Messages(kLimitMessage), 1) << c.tool;
        Show(c.kind, {});
    }
}

TEST_F(FrmViewMouseTest, AMarkupTakesAPointPerLongMoveAndStopsAtFifty) {
    window->project.RedactMode = 15;
    Down(10, 10);
    Move(24, 10);  // one long move: the mouse-down point and this one
    Up(24, 10);
    ASSERT_EQ(session->puts.size(), 1u);
    EXPECT_EQ(session->puts[0].kind, 64);
    EXPECT_EQ(LastSavedTokens()[12],
              "10\x1D"
              "10;24\x1D"
              "10")
        << "commas travel as character 29";

    window->RedisplayImage();
    Show(kMarkup, {});
    Down(10, 10);
    for (int i = 1; i <= 60; ++i) Move(10 + 14 * i, 10 + (i % 2) * 14);
    Up(10 + 14 * 61, 10);
    const std::string points = LastSavedTokens()[12];
    EXPECT_EQ(std::count(points.begin(), points.end(), ';'), 49) << "50 points and no more";
}

TEST_F(FrmViewMouseTest, RightClickEditsWhatLiesUnderItAndSavesTheWholeList) {
    Show(kHighlight, {testsupport::AnnotationBox(100, 100, 200, 200, 65535)});
    AnnotationRec red = testsupport::AnnotationBox(300, 300, 400, 400, 0);
    red.Stamp = std::string("SECRET\x16OLD\x16") + "01/01/2020";
    Show(kRedaction, {red});
    int choice = 0;
    talq::DialogFactory<SelBox>::Scoped picks(
        ScriptedMaker<SelBox>([&choice](SelBox& d) { d.Selection = choice; }));

    // Highlight: a new colour becomes the default for new highlights.
    choice = 1;
    dialogs.colors.push_back(255u);
    Down(150, 150, kRight);
    ASSERT_EQ(session->puts.size(), 1u);
    EXPECT_EQ(window->pageAnnotations[kHighlight].list[0].Color, 255);
    EXPECT_EQ(window->settings.DfltHiLiteColor, 255);
    // The border is no hit: nothing is offered there.
    Down(100, 150, kRight);
    EXPECT_EQ(session->puts.size(), 1u);

    // Redaction label: a single blank clears it, colour and font stay.
    choice = 3;
    prompts.QueueInput(" ");
    Down(350, 350, kRight);
    ASSERT_EQ(session->puts.size(), 2u);
    EXPECT_EQ(window->pageAnnotations[kRedaction].list[0].Stamp.substr(0, 5),
              "\x16"
              "ANN\x16");
    EXPECT_EQ(prompts.Records().back().text,
              "Enter Redaction Label.\nTo Delete Current Label, Enter a SPACE.");

    // Deleting the only redaction sends an empty list.
    choice = 4;
    Down(350, 350, kRight);
    ASSERT_EQ(session->puts.size(), 3u);
    EXPECT_EQ(session->puts.back().kind, 4);
    EXPECT_EQ(session->puts.back().text, "");
    EXPECT_EQ(window->pageAnnotations[kRedaction].count, 0);

    // Without the right to change highlights nothing at all happens.
    window->project.g_RestrictAnnotations = 1;
    Down(150, 150, kRight);
    EXPECT_EQ(session->puts.size(), 3u);
}

TEST_F(FrmViewMouseTest, AStickyNoteEditIsSavedWithoutRedrawingAndDeleteRemovesIt) {
    AnnotationRec note;
    note.Left = 100;
    note.Top = 100;
    note.Text = "old";
    Show(kStickyNote, {note});
    std::string typed = "new text";
    talq::DialogFactory<frmAnnot>::Scoped notes(ScriptedMaker<frmAnnot>([&typed](frmAnnot& d) {
        EXPECT_EQ(d.Mode, 1);
        d.Text1->setPlainText(QString::fromStdString(typed));
        d.cmdOK_Click();
    }));
    bool changed = true;
    window->ModifyAnnotations(105, 105, changed);
    EXPECT_FALSE(changed);
    ASSERT_EQ(session->puts.size(), 1u);
    EXPECT_EQ(window->pageAnnotations[kStickyNote].list[0].Text, "new text");
    typed = "  ";
    window->ModifyAnnotations(105, 105, changed);
    EXPECT_TRUE(changed);
    EXPECT_EQ(window->pageAnnotations[kStickyNote].count, 0);
    EXPECT_EQ(session->puts.back().text, "");
}

TEST_F(FrmViewMouseTest, AFailedSaveShowsOneMessageAndATooLongListIsNeverSent) {
    session->putSucceeds = false;
    Drag(14, 100, 100, 300, 200);
    EXPECT_EQ(Messages("Unable to Save Annotations"), 1);
    EXPECT_EQ(session->sessionErrorBoxes, 0) << "the session's own box stays shut";
    EXPECT_TRUE(session->errorMsgs) << "and is open again afterwards";
    EXPECT_EQ(window->pageAnnotations[kHighlight].count, 0) << "what failed is not kept";

    session->putSucceeds = true;
    session->puts.clear();
    AnnotationRec big = testsupport::AnnotationBox(0, 0, 10, 10, 0);
    big.Text = std::string(11990, 'x');
    Show(kTextNote, {big});
    talq::DialogFactory<frmAnnot>::Scoped notes(ScriptedMaker<frmAnnot>([](frmAnnot& d) {
        d.Text1->setPlainText("one more note that no longer fits");
        d.cmdOK_Click();
    }));
    Drag(12, 100, 100, 300, 200);
    EXPECT_TRUE(session->puts.empty());
    EXPECT_EQ(window->pageAnnotations[kTextNote].count, 1) << "the new note is rolled back";
    EXPECT_EQ(Messages("Unable to Save Annotations"), 2);
}

// A mark the reviewer was told did not save is neither drawn nor saved later
// with the next one.
TEST_F(FrmViewMouseTest, AMarkWhoseSaveFailedIsNeitherDrawnNorSavedWithTheNext) {
    const QImage blank = window->ui.picImage2.Image().copy();
    for (int tool : {13, 14, 15}) {
        const auto kind = static_cast<AnnotationKind>(annotations::ToolKind(tool));
        session->putSucceeds = false;
        Drag(tool, 100, 100, 300, 200);
        EXPECT_EQ(window->pageAnnotations[kind].count, 0) << tool;
        EXPECT_TRUE(window->ui.picImage2.Image() == blank) << tool << ": not drawn";
        session->putSucceeds = true;
        Drag(tool, 400, 300, 600, 400);
        ASSERT_EQ(session->puts.back().kind, kind);
        EXPECT_EQ(session->puts.back().text.find('\x18'), std::string::npos) << tool << ": one";
        Show(kind, {});
        window->RedisplayImage();
    }
    // Others filled the page while its lock was lost: read anew, it takes no more.
    KindList full;
    for (int i = 0; i < MaxAnnotationsPerPage(kHighlight); ++i)
        annotations::AppendRecord(full, testsupport::AnnotationBox(10, 10, 50, 50, 0xFFFF));
    TalqClientAPI_Header::BuildAnnotationList(full.count, full.list,
                                              session->annotations["K0001"][kHighlight]);
    const std::size_t puts = session->puts.size();
    ++session->lockEpoch;
    Drag(annotations::kToolHighlight, 100, 100, 300, 200);
    EXPECT_EQ(session->puts.size(), puts) << "nothing sent past the limit";
    EXPECT_EQ(Messages("Unable to Save Annotations\n" + kLimitMessage), 1);
    EXPECT_EQ(window->pageAnnotations[kHighlight].count, full.count) << "shown as stored";
}

TEST_F(FrmViewMouseTest, AFailedNoteSaveKeepsTheDialogOpenWithWhatWasTyped) {
    AnnotationRec sticky;
    sticky.Left = sticky.Top = 400;
    sticky.Text = "old";
    Show(kStickyNote, {sticky});
    std::string failure;
    talq::DialogFactory<frmAnnot>::Scoped notes(ScriptedMaker<frmAnnot>([&](frmAnnot& d) {
        d.Text1->setPlainText("typed with care");
        session->putSucceeds = false;
        d.cmdOK_Click();
        EXPECT_EQ(Messages(failure), 1);
        EXPECT_EQ(d.result(), 0) << "still open after " << failure;
        EXPECT_EQ(d.Text1->toPlainText(), "typed with care");
        session->putSucceeds = true;  // the session is back: OK again
        d.cmdOK_Click();
        EXPECT_EQ(d.result(), QDialog::Accepted);
    }));
    failure = "Unable to Save Annotations";
    Drag(12, 100, 100, 300, 200);
    ASSERT_EQ(session->puts.size(), 2u);
    EXPECT_EQ(window->pageAnnotations[kTextNote].count, 1) << "added once";
    EXPECT_NE(session->puts.back().text.find("typed with care"), std::string::npos);

    failure = "Unable to Save/Modify Annotations";
    bool changed = false;
    window->ModifyAnnotations(405, 405, changed);
    ASSERT_EQ(session->puts.size(), 4u);
    EXPECT_EQ(window->pageAnnotations[kStickyNote].count, 1);
    EXPECT_EQ(window->pageAnnotations[kStickyNote].list[0].Text, "typed with care");
}

// With locking off every save goes onto the lists as read just before it:
// another user's mark stays and an edit changes only its own; no lock.
TEST_F(FrmViewMouseTest, WithLockingOffEverySaveKeepsWhatOthersStoredMeanwhile) {
    session->systemFlags = 0x400;
    AnnotationRec theirs = testsupport::AnnotationBox(400, 400, 500, 500, 0xFF);
    Store(kHighlight, {theirs});
    Drag(annotations::kToolHighlight, 100, 100, 300, 200);
    ASSERT_EQ(window->pageAnnotations[kHighlight].count, 2) << "both, shown as stored";
    theirs.Color = 0xFF00;
    Store(kHighlight, {window->pageAnnotations[kHighlight].list[1], theirs});
    talq::DialogFactory<SelBox>::Scoped pick(
        ScriptedMaker<SelBox>([](SelBox& d) { d.Selection = 1; }));
    dialogs.colors.push_back(0xFF0000u);
    Down(150, 150, kRight);
    ASSERT_EQ(window->pageAnnotations[kHighlight].count, 2);
    EXPECT_EQ(window->pageAnnotations[kHighlight].list[0].Color, 0xFF0000);
    EXPECT_EQ(window->pageAnnotations[kHighlight].list[1].Color, 0xFF00);
    EXPECT_TRUE(session->locksSet.empty());
}

// Another user changed or deleted a mark while the lock was lost: a delete
// is done and leaves theirs, told; an edited note is told, and OK again
// stores the typed text as a new note, beside theirs.
TEST_F(FrmViewMouseTest, AChangeByAnotherUserIsToldAndTheTypedNoteCanStillBeStored) {
    AnnotationRec note = testsupport::AnnotationBox(300, 300, 500, 400, 0);
    note.Text = "mine";
    AnnotationRec theirs = note;
    theirs.Text = "theirs";
    bool changed = false;
    auto open = [&](const AnnotationList& stored) {
        Store(kTextNote, stored);
        window->pageAnnotations[kTextNote] = {{note}, 1};
        ++session->lockEpoch;  // shown as read under a lock since lost
        window->ModifyAnnotations(350, 350, changed);
    };
    {
        talq::DialogFactory<frmAnnot>::Scoped remove(ScriptedMaker<frmAnnot>([&](frmAnnot& d) {
            prompts.QueueAnswer(platform::vbYes);
            d.mnuDelete_Click();
            EXPECT_EQ(d.result(), QDialog::Accepted) << "done";
        }));
        open({theirs});
    }
    EXPECT_EQ(Messages("Another user changed or deleted this annotation."), 1);
    EXPECT_TRUE(session->puts.empty()) << "nothing to write";
    EXPECT_EQ(window->pageAnnotations[kTextNote].list.at(0).Text, "theirs") << "shown as stored";
    talq::DialogFactory<frmAnnot>::Scoped typed(ScriptedMaker<frmAnnot>([&](frmAnnot& d) {
        d.Text1->setPlainText("typed");
        d.cmdOK_Click();
        EXPECT_EQ(d.result(), 0) << "still open with the typed text";
        d.cmdOK_Click();
    }));
    for (const AnnotationList& stored : {AnnotationList{theirs}, AnnotationList{}}) {
        open(stored);
        const KindList& shown = window->pageAnnotations[kTextNote];
        ASSERT_EQ(shown.count, static_cast<int>(stored.size()) + 1) << "as a new note";
        EXPECT_EQ(shown.list.back().Text, "typed");
        EXPECT_EQ(shown.list.back().Left, 300);
        EXPECT_EQ(shown.list.front().Text, stored.empty() ? "typed" : "theirs");
    }
    EXPECT_EQ(Messages("Unable to Save/Modify Annotations\nAnother user changed or deleted this "
                       "annotation.\nPress OK again to store your text as a new note."),
              2);
}

// A label or a clip typed while another user changed the mark: the box
// opens again over their version with what was typed, and only its OK
// stores it there; with the mark gone, or the save failed, what was typed
// is shown to copy.
TEST_F(FrmViewMouseTest, ALabelOrClipTypedOverAChangedMarkIsAskedAgainOrShownToCopy) {
    session->systemFlags = 0x400;
    const std::string again =
        "Unable to Save/Modify Annotations\nAnother user changed or deleted this "
        "annotation.\nWhat you typed is shown again over the annotation now in its place.";
    // Opened over `shown` while the server holds `stored`.
    auto edit = [&](AnnotationKind kind, const AnnotationRec& shown, const AnnotationList& stored,
                    int x) {
        window->pageAnnotations[kind] = {{shown}, 1};
        Store(kind, stored);
        bool changed = false;
        window->ModifyAnnotations(x, x, changed);
    };
    auto inputs = [&] {
        std::vector<platform::PromptRecord> boxes;
        for (const platform::PromptRecord& r : prompts.Records())
            if (r.kind == platform::PromptRecord::kInput) boxes.push_back(r);
        return boxes;
    };
    auto lastInput = [&] { return inputs().back(); };
    AnnotationRec red = testsupport::AnnotationBox(300, 300, 400, 400, 0);
    red.Stamp = std::string(
                    "OLD\x16"
                    "EDITOR\x16") +
                "01/01/2020";
    AnnotationRec theirs = red;
    theirs.Color = 0xFF;
    talq::DialogFactory<SelBox>::Scoped pick(
        ScriptedMaker<SelBox>([](SelBox& d) { d.Selection = 3; }));
    prompts.QueueInput("ADMIN TYPED LABEL");
    prompts.QueueInput("ADMIN TYPED LABEL");
    edit(kRedaction, red, {theirs}, 350);
    EXPECT_EQ(lastInput().defaultText, "ADMIN TYPED LABEL") << "asked again with what was typed";
    ASSERT_EQ(session->puts.size(), 1u) << "only after that OK";
    const AnnotationRec now = window->pageAnnotations[kRedaction].list.at(0);
    EXPECT_EQ(now.Color, 0xFF) << "their change kept";
    EXPECT_EQ(TalqClientAPI_Header::StampLabel(now.Stamp), "ADMIN TYPED LABEL");
    // Gone, and a save the server did not take.
    for (const bool gone : {true, false}) {
        session->putSucceeds = gone;
        const std::size_t before = inputs().size();
        prompts.QueueInput("ADMIN TYPED LABEL");
        edit(kRedaction, red, gone ? AnnotationList{} : AnnotationList{red}, 350);
        ASSERT_EQ(inputs().size(), before + 2) << "the label, then the copy";
        EXPECT_EQ(lastInput().text, "Your redaction label was not stored. Copy it from here:");
        EXPECT_EQ(lastInput().defaultText, "ADMIN TYPED LABEL");
    }
    session->putSucceeds = true;
    EXPECT_EQ(session->puts.size(), 2u) << "none where the mark went";

    AnnotationRec clip;
    clip.Left = clip.Top = 100;
    clip.Color2 = 1;
    clip.Text = "/docs/a.txt";
    AnnotationRec moved = clip;
    moved.Text = "/docs/b.txt";
    std::vector<std::string> opened;
    bool cancelAgain = true;
    talq::DialogFactory<frmClip>::Scoped clips(ScriptedMaker<frmClip>([&](frmClip& d) {
        opened.push_back(d.txtFile->text().toStdString());
        if (cancelAgain && opened.size() == 2) {
            d.cmdCancel_Click();
            return;
        }
        d.txtFile->setText("/docs/typed.txt");
        d.cmdOK_Click();
    }));
    const std::size_t puts = session->puts.size();
    edit(kClip, clip, {moved}, 105);
    EXPECT_EQ(session->puts.size(), puts) << "Cancel stores nothing";
    cancelAgain = false;
    edit(kClip, clip, {moved}, 105);
    EXPECT_EQ(opened, (std::vector<std::string>{"/docs/a.txt", "/docs/typed.txt", "/docs/a.txt",
                                                "/docs/typed.txt"}));
    ASSERT_EQ(session->puts.size(), puts + 1);
    EXPECT_EQ(window->pageAnnotations[kClip].list.at(0).Text, "/docs/typed.txt");
    edit(kClip, clip, {}, 105);
    EXPECT_EQ(lastInput().defaultText, "/docs/typed.txt");
    EXPECT_EQ(session->puts.size(), puts + 1);
    EXPECT_EQ(Messages(again), 1);
    EXPECT_EQ(Messages(again + "\nNow stored: /docs/b.txt"), 2);
}

// A clip draws only its icon: asked again over a clip another user changed,
// the reviewer sees the file and program stored there now before OK
// replaces them, and Cancel keeps them.
TEST_F(FrmViewMouseTest, AClipAskedAgainShowsWhatAnotherReviewerStoredThere) {
    session->systemFlags = 0x400;
    AnnotationRec clip;
    clip.Left = clip.Top = 100;
    clip.Color2 = 1;
    clip.Text = "/docs/clip-old.txt";
    AnnotationRec theirs = clip;
    theirs.Color2 = 2;
    theirs.Text = std::string("/docs/clip-bee.txt") + '\x1e' + "/usr/bin/viewer";
    const std::string now = "/docs/clip-bee.txt (opened with /usr/bin/viewer)";
    std::vector<std::string> beside;
    bool cancel = true;
    talq::DialogFactory<frmClip>::Scoped clips(ScriptedMaker<frmClip>([&](frmClip& d) {
        beside.push_back(d.lblStoredNow->isHidden() ? "" : d.lblStoredNow->text().toStdString());
        if (cancel && beside.size() == 2) {
            d.cmdCancel_Click();
            return;
        }
        d.txtFile->setText("/docs/clip-admin.txt");
        d.cmdOK_Click();
    }));
    for (const bool cancelled : {true, false}) {
        SCOPED_TRACE(cancelled);
        cancel = cancelled;
        beside.clear();
        window->pageAnnotations[kClip] = {{clip}, 1};
        Store(kClip, {theirs});
        bool changed = false;
        window->ModifyAnnotations(105, 105, changed);
        EXPECT_EQ(beside, (std::vector<std::string>{
                              "", "Another user changed this clip. Now stored: " + now +
                                      "\nOK replaces it with what is typed "
                                      "below."}));
        const std::string stored = session->annotations["K0001"][kClip];
        EXPECT_EQ(stored.find("clip-bee") != std::string::npos, cancelled) << stored;
        EXPECT_EQ(stored.find("clip-admin") != std::string::npos, !cancelled) << stored;
    }
    EXPECT_EQ(Messages("Unable to Save/Modify Annotations\nAnother user changed or deleted this "
                       "annotation.\nWhat you typed is shown again over the annotation now in "
                       "its place.\nNow stored: " +
                       now),
              2);
}

// Two reviewers' notes in one place: an edit or delete of one's own note
// that another user deleted or changed meanwhile never takes the other's
// for it. Sticky notes with locking off, text notes under a lock lost.
TEST_F(FrmViewMouseTest, AnEditOrDeleteNeverTakesAnotherReviewersMarkInTheSamePlace) {
    const std::string told = "Another user changed or deleted this annotation.";
    auto wire = [](const AnnotationList& records) {
        std::string text;
        TalqClientAPI_Header::BuildAnnotationList(static_cast<int>(records.size()), records, text);
        return text;
    };
    for (const AnnotationKind kind : {kStickyNote, kTextNote}) {
        SCOPED_TRACE(kind);
        const bool sticky = kind == kStickyNote;
        session->systemFlags = sticky ? 0x400 : 0;
        AnnotationRec place = testsupport::AnnotationBox(300, 300, 500, 400, 0);
        if (sticky) place.Right = place.Bottom = 0;
        auto by = [&](const std::string& user, const std::string& text) {
            AnnotationRec r = place;
            r.Text = text;
            r.Stamp = "\x16" + user + "\x16" + "12/01/2026";
            return r;
        };
        const AnnotationRec mine = by("ADMIN", "admin's own note");
        const AnnotationRec theirs = by("EDITOR", "editor's separate note");
        const AnnotationRec third = by("THIRD", "third user's text");
        bool remove = false;
        talq::DialogFactory<frmAnnot>::Scoped notes(ScriptedMaker<frmAnnot>([&](frmAnnot& d) {
            if (remove) {
                prompts.QueueAnswer(platform::vbYes);
                d.mnuDelete_Click();
                EXPECT_EQ(d.result(), QDialog::Accepted) << "done";
                return;
            }
            d.Text1->setPlainText("admin's edit");
            d.cmdOK_Click();
            EXPECT_EQ(d.result(), 0) << "still open with the typed text";
            d.cmdOK_Click();
        }));
        // Shown as the page was read, stored as the others left it.
        auto open = [&](const AnnotationList& shown, const AnnotationList& stored, bool del) {
            Store(kind, stored);
            window->pageAnnotations[kind] = {shown, static_cast<int>(shown.size())};
            if (!sticky) ++session->lockEpoch;
            remove = del;
            bool changed = false;
            window->ModifyAnnotations(305, 305, changed);
            const std::string now = session->annotations["K0001"][kind];
            EXPECT_EQ(wire(window->pageAnnotations[kind].list), now) << "shown as stored";
            return now;
        };
        // The other reviewer deleted mine and dropped theirs on the spot.
        std::string now = open({mine}, {theirs}, false);
        EXPECT_EQ(now.rfind(wire({theirs}) + "\x18", 0), 0u) << "theirs untouched";
        EXPECT_NE(now.find("admin's edit"), std::string::npos) << "a new note beside it";
        EXPECT_EQ(open({mine}, {theirs}, true), wire({theirs}));
        // A third user changed mine; theirs lies in the same place.
        now = open({mine, theirs}, {third, theirs}, false);
        EXPECT_EQ(now.rfind(wire({third, theirs}) + "\x18", 0), 0u);
        EXPECT_NE(now.find("admin's edit"), std::string::npos);
        EXPECT_EQ(open({mine, theirs}, {third, theirs}, true), wire({third, theirs}));

        const auto again = [&](const std::string& there) {
            return Messages("Unable to Save/Modify Annotations\n" + told + there +
                            "\nPress OK again to store your text as a new note.");
        };
        if (sticky) {
            // Its text is not drawn: the box says what lies there now.
            EXPECT_EQ(again("\nNow stored in its place: " + theirs.Text), 1);
            EXPECT_EQ(again("\nNow stored in its place: " + third.Text), 1);
        } else {
            EXPECT_EQ(again(""), 2) << "the text notes' own";
        }
        EXPECT_EQ(Messages(told), sticky ? 2 : 4) << "for each delete";
    }
}

// Prompts that let the page move while an input box waits, as a command
// message from another program does.
class PromptsWhileThePageMoves : public platform::ScriptedPrompts {
  public:
    std::function<void()> duringInput;
    std::string InputBox(const std::string& prompt, const std::string& title,
                         const std::string& defaultText) override {
        if (duringInput) std::exchange(duringInput, nullptr)();
        return ScriptedPrompts::InputBox(prompt, title, defaultText);
    }
};

// The page moves while a mark's dialog is open: nothing is stored for the
// page gone, and each text typed there that differs from what the mark held
// is offered to copy, with why. Edits and new marks alike.
TEST_F(FrmViewMouseTest, TextTypedInADialogWhileThePageMovedIsOfferedToCopyNotStored) {
    PromptsWhileThePageMoves moving;
    platform::ScopedPrompts scoped(moving);
    session->images["K0001"] = testsupport::PngBytes(800, 600);
    session->images["K0002"] = "";
    auto away = [this] { window->DisplayImage("K0002"); };
    // Shows K0001 with a mark stored on it; the dialogs then move the page.
    auto showWith = [&](AnnotationKind kind, const AnnotationRec& mark) {
        Store(kind, {mark});
        ASSERT_TRUE(window->DisplayImage("K0001"));
        moving.Clear();
    };
    const std::string why = "The page changed while the dialog was open.\n";
    // The texts offered to copy, each box saying why.
    auto offered = [&] {
        std::vector<std::string> texts;
        for (const platform::PromptRecord& r : moving.Records())
            if (r.text.rfind(why, 0) == 0) texts.push_back(r.defaultText);
        return texts;
    };
    using Offers = std::vector<std::string>;
    std::string noteText, clipFile;
    talq::DialogFactory<frmAnnot>::Scoped notes(ScriptedMaker<frmAnnot>([&](frmAnnot& d) {
        away();
        d.Text1->setPlainText(QString::fromStdString(noteText));
        d.cmdOK_Click();
        EXPECT_EQ(d.result(), QDialog::Accepted);
    }));
    talq::DialogFactory<frmClip>::Scoped clips(ScriptedMaker<frmClip>([&](frmClip& d) {
        away();
        d.txtFile->setText(QString::fromStdString(clipFile));
        d.cmdOK_Click();
    }));
    talq::DialogFactory<SelBox>::Scoped pick(
        ScriptedMaker<SelBox>([](SelBox& d) { d.Selection = 3; }));
    bool changed = true;

    AnnotationRec note = testsupport::AnnotationBox(100, 100, 300, 300, 0);
    note.Text = "old";
    showWith(kTextNote, note);
    noteText = "changed";
    window->ModifyAnnotations(150, 150, changed);
    EXPECT_FALSE(changed);
    EXPECT_EQ(offered(), Offers{"changed"});
    const std::vector<platform::PromptRecord>& boxes = moving.Records();
    EXPECT_TRUE(!boxes.empty() &&
                boxes.back().text == why + "Your note's text was not stored. Copy it from here:");

    AnnotationRec red = testsupport::AnnotationBox(300, 300, 400, 400, 0);
    red.Stamp = std::string("OLD\x16") + "EDITOR\x16" + "01/01/2020";
    showWith(kRedaction, red);
    moving.duringInput = away;
    moving.QueueInput("TYPED LABEL");
    window->ModifyAnnotations(350, 350, changed);
    EXPECT_EQ(offered(), Offers{"TYPED LABEL"});

    AnnotationRec clip;
    clip.Left = clip.Top = 500;
    clip.Color2 = 2;
    clip.Text = std::string("/docs/a.txt\x1E/usr/bin/tool");
    showWith(kClip, clip);
    clipFile = "/docs/typed.txt";
    window->ModifyAnnotations(505, 505, changed);
    EXPECT_EQ(offered(), Offers{"/docs/typed.txt"}) << "not the program it held";

    showWith(kClip, clip);
    noteText = "a new note";
    Drag(annotations::kToolTextNote, 400, 100, 500, 200);
    EXPECT_EQ(offered(), Offers{"a new note"});
    showWith(kClip, clip);
    clipFile = "/docs/new.txt";
    Drag(annotations::kToolClip, 400, 300, 500, 400);
    EXPECT_EQ(offered(), Offers{"/docs/new.txt"});
    EXPECT_TRUE(session->puts.empty());
}

TEST_F(FrmViewMouseTest, ClipsAreMadeOnlyLocallyAndAProgramClipAsksBeforeItRuns) {
    session->remote = true;
    int runs = 0;
    talq::DialogFactory<frmClip>::Scoped clips(ScriptedMaker<frmClip>([](frmClip&) {}, &runs));
    Drag(16, 100, 100, 300, 200);
    EXPECT_EQ(Messages("Clips can only be added in Local Access Mode"), 1);
    EXPECT_EQ(runs, 0);
    EXPECT_TRUE(session->puts.empty());

    AnnotationRec clip;
    clip.Left = clip.Top = 100;
    clip.Color2 = 2;
    clip.Text = std::string("/docs/a.txt\x1E/usr/bin/tool");
    Show(kClip, {clip});
    window->project.RedactMode = 0;
    for (int answer : {platform::vbNo, platform::vbYes}) {
        prompts.Clear();
        prompts.QueueAnswer(answer);
        Down(105, 105);
        window->picImage_DblClick();
        ASSERT_EQ(prompts.Records().size(), 1u);
        EXPECT_NE(prompts.Records()[0].text.find("/usr/bin/tool"), std::string::npos);
        EXPECT_NE(prompts.Records()[0].style & platform::vbDefaultButton2, 0);
    }
    ASSERT_EQ(session->clipsRun.size(), 1u) << "only after Yes";
    EXPECT_EQ(session->clipsRun[0].first, 2);
}

TEST_F(FrmViewMouseTest, IconHitsFollowTheViewScaleAndScaleZeroHitsNothing) {
    AnnotationRec note;
    note.Left = note.Top = 100;
    note.Text = "shown";
    Show(kStickyNote, {note});
    int shown = 0;
    talq::DialogFactory<frmAnnot>::Scoped notes(
        ScriptedMaker<frmAnnot>([](frmAnnot& d) { EXPECT_EQ(d.Mode, 2); }, &shown));
    const int w = window->ui.picSticky.width();
    struct Case {
        float scale;
        int x;
        bool hit;
    } cases[] = {
        {1.0f, 100 + w - 1, true},
        {1.0f, 100 + w, false},
        {0.5f, 100 + 2 * w - 1, true},
        {0.0f, 101, false},
    };
    for (const Case& c : cases) {
        window->zoom.g_ScaleFactor = c.scale;
        bool found = false;
        window->DisplaySticky(c.x, 101, found);
        EXPECT_EQ(found, c.hit) << c.scale << " " << c.x;
    }
    EXPECT_EQ(shown, 2);
}

TEST_F(FrmViewMouseTest, ADragWithoutAToolPositionsTheZoomWindow) {
    window->zoom.ZoomWin_Active = 1;
    window->project.RedactMode = 0;
    Down(200, 150);
    EXPECT_EQ(window->zoom.ZoomWin_X, 200);
    Move(250, 170);
    Up(260, 180);
    EXPECT_EQ(window->zoom.ZoomWin_X, 260);
    EXPECT_EQ(window->zoom.ZoomWin_Y, 180);
    EXPECT_TRUE(session->puts.empty());
}

}  // namespace
