#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextCursor>
#include <QTextDocument>

#include <sys/stat.h>

#include <fstream>

#include "annotations/widgets/note_dialogs.h"
#include "platform/launcher.h"
#include "platform/scripted_prompts.h"
#include "support/enter_button.h"
#include "support/recording_launcher.h"
#include "support/scoped_env.h"

namespace {

using annotations::frmAnnot;
using annotations::frmClip;

using testsupport::RecordingLauncher;

struct Remote : annotations::ClipClientApi {
    bool remote = false;
    bool IsRemoteAccess() override { return remote; }
};

class NoteDialogsTest : public ::testing::Test {
  protected:
    NoteDialogsTest() : scoped_(prompts), launch_(launcher) {}
    std::string MakeFile(const std::string& name, const std::string& body, bool executable) {
        const std::string path = dir.Path() + "/" + name;
        std::ofstream(path) << body;
        ::chmod(path.c_str(), executable ? 0755 : 0644);
        return path;
    }
    platform::ScriptedPrompts prompts;
    platform::ScopedPrompts scoped_;
    RecordingLauncher launcher;
    platform::ScopedLauncher launch_;
    testsupport::ScopedTempDir dir;
};

TEST_F(NoteDialogsTest, NoteDialogModesOfferOnlyWhatTheyAllow) {
    struct Case {
        std::int16_t mode;
        const char* caption;
        bool font, del, ok;
    } cases[] = {
        {0, "Enter Annotation", true, true, true},
        {1, "Enter Sticky Note", false, true, true},
        {2, "Sticky Note", false, false, false},
    };
    for (const Case& c : cases) {
        frmAnnot d;
        d.Mode = c.mode;
        d.NoteText = "hello";
        d.Load();
        EXPECT_EQ(d.windowTitle().toStdString(), c.caption);
        EXPECT_EQ(d.mnuFont->isEnabled(), c.font) << c.mode;
        EXPECT_EQ(d.mnuDelete->isEnabled(), c.del) << c.mode;
        EXPECT_EQ(d.cmdOK->isEnabled(), c.ok) << c.mode;
        EXPECT_EQ(d.Text1->toPlainText().toStdString(), "hello");
        d.cmdOK_Click();  // a shown sticky note cannot be changed
        EXPECT_EQ(d.NoteText, "hello");
    }
}

TEST_F(NoteDialogsTest, NoteOkTrimsAndDropsSeparatorsCancelAndCloseAreCancel) {
    frmAnnot d;
    d.Load();
    d.Text1->setPlainText(
        QString::fromLatin1("  a\x1E"
                            "b\nc  "));
    d.cmdOK_Click();
    EXPECT_EQ(d.Result, 0);
    EXPECT_EQ(d.NoteText, "ab\r\nc");

    frmAnnot blanks;
    blanks.Load();
    blanks.Text1->setPlainText("   ");
    blanks.cmdOK_Click();
    EXPECT_EQ(blanks.NoteText, "") << "only blanks is no note";

    frmAnnot closed;
    closed.Mode = 1;
    closed.Load();
    closed.reject();  // the window's close button
    EXPECT_EQ(closed.Result, 1);
    EXPECT_EQ(closed.Mode, 0) << "the mode goes back to 0 when the window goes";
}

TEST_F(NoteDialogsTest, OpeningANoteNeverShortensItOnlyTypingIsLimited) {
    const std::string stored = std::string(1990, 'a') + "0123456789";
    for (std::int16_t mode : {0, 1, 2}) {
        frmAnnot d;
        d.Mode = mode;
        d.NoteText = stored;
        d.Load();
        EXPECT_EQ(d.Text1->toPlainText().size(), 2000) << mode;
        d.cmdOK_Click();
        EXPECT_EQ(d.NoteText, stored) << mode;
    }
    struct Case {
        std::string stored;
        int at;
        int typed;
        std::string kept;
    } cases[] = {
        {"", 0, 700, std::string(600, 'x')},
        {stored, 10, 5, stored},
        {std::string(594, 'a') + "end", 5, 4, "aaaaaxxx" + std::string(589, 'a') + "end"},
    };
    for (const Case& c : cases) {
        frmAnnot d;
        d.NoteText = c.stored;
        d.Load();
        QTextCursor cursor(d.Text1->document());
        cursor.setPosition(c.at);
        cursor.insertText(QString(c.typed, 'x'));
        d.cmdOK_Click();
        EXPECT_EQ(d.NoteText, c.kept) << c.at;
    }
}

TEST_F(NoteDialogsTest, WhatANoteCannotKeepIsRefusedWhereItIsEnteredWithAReason) {
    auto type = [](QWidget* box, const QString& text) {
        QKeyEvent key(QEvent::KeyPress, 0, Qt::NoModifier, text);
        QApplication::sendEvent(box, &key);
    };
    auto status = [](const frmAnnot& d) { return d.lblStatus->text().toStdString(); };
    frmAnnot d;
    d.NoteText = "caf\xE9";
    d.Load();
    d.Text1->moveCursor(QTextCursor::End);
    type(d.Text1, QString::fromUtf8("\u4E2D"));
    type(d.Text1, "!");
    EXPECT_EQ(d.Text1->toPlainText(), QString::fromUtf8("caf\u00E9!"));
    EXPECT_EQ(status(d), "595 characters left");
    type(d.Text1, QString::fromUtf8("\U0001F600"));
    EXPECT_EQ(prompts.Beeps(), 2);
    EXPECT_NE(status(d).find("\U0001F600"), std::string::npos) << "the reason names it";

    // A paste keeps what the code page holds and says what it left out.
    d.Text1->moveCursor(QTextCursor::Start);
    QApplication::clipboard()->setText(QString::fromUtf8("a\u4E2Db\u20AC "));
    d.Text1->paste();
    EXPECT_EQ(d.Text1->toPlainText(), QString::fromUtf8("ab\u20AC caf\u00E9!"));
    EXPECT_EQ(prompts.Beeps(), 3);
    EXPECT_NE(status(d).find("\u4E2D"), std::string::npos);
    d.cmdOK_Click();
    EXPECT_EQ(d.NoteText, "ab\x80 caf\xE9!") << "nothing became '?'";
    d.Text1->undo();
    EXPECT_EQ(d.Text1->toPlainText(), QString::fromUtf8("caf\u00E9!")) << "one undo, no loop";

    // At the limit a key still gives a sign.
    frmAnnot full;
    full.NoteText = std::string(annotations::kMaxNoteText, 'a');
    full.Load();
    prompts.Clear();
    type(full.Text1, "x");
    EXPECT_EQ(full.Text1->toPlainText().size(), annotations::kMaxNoteText);
    EXPECT_EQ(prompts.Beeps(), 1);
    EXPECT_NE(status(full).find("limit of 600"), std::string::npos);
}

// Undo after a refusal, where the reason shows, and a note's limit counted
// as the note is stored, in the boxes that guard what is typed.
TEST_F(NoteDialogsTest, GuardedBoxesUndoAWholePasteAndHoldANoteToWhatIsStored) {
    auto key = [](QWidget* box, int code, Qt::KeyboardModifiers mods, const QString& text) {
        QKeyEvent press(QEvent::KeyPress, code, mods, text);
        QApplication::sendEvent(box, &press);
    };
    auto onScreen = [](const QWidget* w) { return QRect(w->mapToGlobal(QPoint(0, 0)), w->size()); };
    auto tip = [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == "qtooltip_label" && w->isVisible()) return w->geometry();
        return QRect();
    };

    frmClip clip;
    clip.Load();
    clip.show();
    key(clip.txtFile, Qt::Key_A, Qt::NoModifier, "a");
    key(clip.txtFile, Qt::Key_B, Qt::NoModifier, "b");
    QApplication::clipboard()->setText(QString::fromUtf8("caf\u00E9 \u4E2D ok"));
    key(clip.txtFile, Qt::Key_V, Qt::ControlModifier, "");
    EXPECT_EQ(clip.txtFile->text(), QString::fromUtf8("abcaf\u00E9  ok"));
    EXPECT_EQ(prompts.Beeps(), 1);
    ASSERT_FALSE(tip().isEmpty());
    EXPECT_FALSE(tip().intersects(onScreen(clip.txtProgram))) << "the next box stays clear";
    EXPECT_FALSE(tip().intersects(onScreen(clip.txtFile)));
    key(clip.txtFile, Qt::Key_Z, Qt::ControlModifier, "");
    EXPECT_EQ(clip.txtFile->text(), "ab") << "one Undo takes back the whole paste";

    auto status = [](const frmAnnot& d) { return d.lblStatus->text().toStdString(); };
    frmAnnot opened;
    opened.NoteText = std::string(2000, 'a');
    opened.Load();
    opened.Text1->selectAll();
    opened.Text1->insertPlainText(QString(25, 'b'));
    EXPECT_EQ(status(opened), "575 characters left") << "the stored length is gone with it";

    // A line end is stored as CR LF: it counts twice.
    frmAnnot d;
    d.NoteText = std::string(annotations::kMaxNoteText - 2, 'a');
    d.Load();
    d.show();
    d.Text1->moveCursor(QTextCursor::End);
    key(d.Text1, Qt::Key_Return, Qt::NoModifier, "\r");
    EXPECT_EQ(status(d), "0 characters left");
    prompts.Clear();
    key(d.Text1, Qt::Key_Return, Qt::NoModifier, "\r");
    key(d.Text1, Qt::Key_X, Qt::NoModifier, "x");
    EXPECT_EQ(prompts.Beeps(), 2);
    EXPECT_FALSE(tip().intersects(onScreen(d.cmdOK)));
    EXPECT_FALSE(tip().intersects(onScreen(d.cmdCancel)));
    d.cmdOK_Click();
    EXPECT_EQ(d.NoteText.size(), static_cast<std::size_t>(annotations::kMaxNoteText));
}

TEST_F(NoteDialogsTest, NoteDeleteAsksWithNoAsDefault) {
    for (int answer : {platform::vbNo, platform::vbYes}) {
        frmAnnot d;
        d.Mode = 1;
        d.Load();
        prompts.Clear();
        prompts.QueueAnswer(answer);
        d.mnuDelete_Click();
        ASSERT_EQ(prompts.Records().size(), 1u);
        EXPECT_EQ(prompts.Records()[0].text, "OK to Delete This Sticky Note?");
        EXPECT_EQ(prompts.Records()[0].style,
                  platform::vbYesNo | platform::vbQuestion | platform::vbDefaultButton2);
        EXPECT_EQ(d.Result, answer == platform::vbYes ? 2 : 0);
    }
}

TEST_F(NoteDialogsTest, ClipDialogLoadsModesAndInRemoteAccessOnlyCancelRemains) {
    Remote api;
    frmClip d;
    d.ClientAPI = &api;
    d.ClipMode = 2;
    d.ClipText = std::string("/docs/a.txt\x1E/usr/bin/viewer");
    d.Load();
    EXPECT_EQ(d.txtFile->text().toStdString(), "/docs/a.txt");
    EXPECT_EQ(d.txtProgram->text().toStdString(), "/usr/bin/viewer");
    EXPECT_TRUE(d.Check1->isChecked());
    EXPECT_TRUE(d.txtProgram->isEnabled());
    EXPECT_EQ(d.Changed, 0);
    EXPECT_TRUE(d.lblWarning->isHidden());

    frmClip free;
    free.ClipMode = 0;
    free.ClipText = "\"/docs/one path.pdf\"";
    free.Load();
    EXPECT_EQ(free.ClipMode, 1);
    EXPECT_EQ(free.Changed, 1) << "a free command is split on loading";

    api.remote = true;
    frmClip remote;
    remote.ClientAPI = &api;
    remote.ClipText = "/docs/a.pdf";
    remote.Load();
    EXPECT_FALSE(remote.lblWarning->isHidden());
    for (QWidget* w :
         {static_cast<QWidget*>(remote.txtFile), static_cast<QWidget*>(remote.cmdOK),
          static_cast<QWidget*>(remote.cmdDelete), static_cast<QWidget*>(remote.cmdTest)})
        EXPECT_FALSE(w->isEnabled());
    EXPECT_TRUE(remote.cmdCancel->isEnabled());
    remote.cmdDelete_Click();
    EXPECT_EQ(remote.ClipText, "/docs/a.pdf");
}

TEST_F(NoteDialogsTest, EnterInTheClipDialogPressesOkNotBrowse) {
    frmClip d;
    Remote local;
    d.ClientAPI = &local;
    EXPECT_EQ(testsupport::EnterButton(d), d.cmdOK);
}

TEST_F(NoteDialogsTest, ClipOkNeedsAFileAndAProgramWhenOpenWithIsTicked) {
    struct Case {
        const char* file;
        const char* program;
        bool openWith;
        const char* message;
        std::string text;
    } cases[] = {
        {"", "", false, "Missing File Item", ""},
        {"/d/a.txt", "", true, "Missing Program to Open File with.", ""},
        {" /d/a.txt ", "", false, nullptr, "/d/a.txt"},
        {"/d/a.txt", "/bin/ed", true, nullptr, std::string("/d/a.txt\x1E/bin/ed")},
    };
    for (const Case& c : cases) {
        frmClip d;
        d.Load();
        d.txtFile->setText(c.file);
        d.Check1->setChecked(c.openWith);
        d.Check1_Click();
        d.txtProgram->setText(c.program);
        prompts.Clear();
        d.cmdOK_Click();
        if (c.message != nullptr) {
            ASSERT_EQ(prompts.Messages().size(), 1u) << c.file;
            EXPECT_EQ(prompts.Messages()[0], c.message);
            EXPECT_EQ(d.ClipText, "");
        } else {
            EXPECT_TRUE(prompts.Messages().empty()) << c.file;
            EXPECT_EQ(d.ClipText, c.text);
            EXPECT_EQ(d.ClipMode, c.openWith ? 2 : 1);
        }
    }
}

TEST_F(NoteDialogsTest, ClipDeleteAsksOnlyWhenThereIsAClip) {
    frmClip empty;
    empty.Load();
    empty.cmdDelete_Click();
    EXPECT_TRUE(prompts.Messages().empty());
    EXPECT_EQ(empty.Changed, 1);

    for (int answer : {platform::vbNo, platform::vbYes}) {
        frmClip d;
        d.ClipText = "/d/a.pdf";
        d.Load();
        prompts.Clear();
        prompts.QueueAnswer(answer);
        d.cmdDelete_Click();
        EXPECT_EQ(prompts.Messages(), std::vector<std::string>{"OK to DELETE this Clip?"});
        EXPECT_EQ(d.ClipText, answer == platform::vbYes ? "" : "/d/a.pdf");
    }
}

TEST_F(NoteDialogsTest, ClipTestRefusesRunnableFilesAndAsksBeforeStartingAProgram) {
    const std::string doc = MakeFile("notes.txt", "text", false);
    const std::string script = MakeFile("run.sh", "#!/bin/sh\n", true);
    const std::string program = MakeFile("viewer", "#!/bin/sh\n", true);
    const std::string plain = MakeFile("notaprogram", "text", false);
    struct Case {
        std::string file, program;
        int answer;  // to the question before a program starts; 0 none asked
        std::string call;
        bool error;
    } cases[] = {
        {doc, "", 0, "open " + doc, false},
        {script, "", 0, "", true},  // a runnable file is never opened
        {doc, program, platform::vbNo, "", false},
        {doc, program, platform::vbYes, "start " + program + " | " + doc, false},
        {doc, plain, 0, "", true},  // a program must be executable
    };
    for (const Case& c : cases) {
        frmClip d;
        d.Load();
        d.txtFile->setText(QString::fromStdString(c.file));
        d.Check1->setChecked(!c.program.empty());
        d.Check1_Click();
        d.txtProgram->setText(QString::fromStdString(c.program));
        prompts.Clear();
        launcher.calls.clear();
        if (c.answer != 0) prompts.QueueAnswer(c.answer);
        d.cmdTest_Click();
        EXPECT_EQ(launcher.calls.empty() ? "" : launcher.calls[0], c.call) << c.file << c.program;
        const std::vector<std::string> messages = prompts.Messages();
        const bool error = !messages.empty() && messages.back() == "Error Executing Clip Command";
        EXPECT_EQ(error, c.error) << c.file << " " << c.program;
        if (c.answer != 0) {
            ASSERT_FALSE(prompts.Records().empty());
            EXPECT_EQ(prompts.Records()[0].style,
                      platform::vbYesNo | platform::vbQuestion | platform::vbDefaultButton2);
            EXPECT_NE(prompts.Records()[0].text.find(c.program), std::string::npos);
        }
        EXPECT_EQ(d.ClipText, "") << "Test keeps the clip text";
    }
}

}  // namespace
