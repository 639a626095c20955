#pragma once
// The note dialog (text notes and sticky notes) and the clip dialog. Each is
// created by its caller, given its input fields, run modally and read
// afterwards; the window's close button is Cancel.

#include <cstdint>
#include <functional>
#include <string>

#include "annotations/clip_rules.h"
#include "foundation/widgets/form_dialog.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenuBar;
class QAction;
class QPlainTextEdit;
class QPushButton;

namespace platform {
class TypedTextGuard;
}

namespace annotations {

// Longest note text, as stored, that typing makes, so that a page's list
// stays within what the server takes in ordinary use; a longer stored note
// stays whole and may shrink, never grow.
constexpr int kMaxNoteText = 600;

class frmAnnot : public FormDialog {
    Q_OBJECT
  public:
    explicit frmAnnot(QWidget* parent = nullptr);

    // 0 text note, 1 enter or change a sticky note, 2 show a sticky note.
    std::int16_t Mode = 0;
    std::string NoteText;
    std::int16_t Result = 0;  // 0 OK, 1 Cancel, 2 Delete
    std::string FontName;
    int FontSize = 0;
    int FontStyle = 0;
    std::int32_t FontColor = 0;
    // When set, OK and Delete save through it before the window closes; a
    // save that fails (and says so) keeps the window open with its text, to
    // be saved again or copied.
    std::function<bool(frmAnnot&)> Save;

    QPlainTextEdit* Text1;
    // What is left to type, or why something typed was not taken.
    QLabel* lblStatus;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;
    QMenuBar* menuBar;
    QAction* mnuDelete;
    QAction* mnuFont;

    void cmdOK_Click();
    void cmdCancel_Click();
    void mnuDelete_Click();
    void mnuFont_Click();

  protected:
    void Form_Load() override;
    void Form_Cancel() override { cmdCancel_Click(); }
    void Form_Unload() override { Mode = 0; }

  private:
    // Closes with the result unless the save refuses.
    void Finish(std::int16_t result);
    void ShowRoomLeft();
    platform::TypedTextGuard* guard_;
    bool saving_ = false;
    bool keepReason_ = false;
};

class frmClip : public FormDialog {
    Q_OBJECT
  public:
    explicit frmClip(QWidget* parent = nullptr);

    std::int16_t Result = 0;  // 1 after Cancel
    std::int32_t ClipMode = 1;
    std::string ClipText;
    std::int16_t Changed = 0;
    ClipClientApi* ClientAPI = nullptr;
    // Asked again over a clip another user changed: what is stored there
    // now, in words, shown beside what was typed. "" otherwise.
    std::string StoredNow;

    QGroupBox* Frame1;
    QLineEdit* txtFile;
    QPushButton* cmdBrowseFile;
    QCheckBox* Check1;
    QLineEdit* txtProgram;
    QPushButton* cmdBrowsePrg;
    QPushButton* cmdTest;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;
    QPushButton* cmdDelete;
    QLabel* lblWarning;
    QLabel* lblStoredNow;

    void Check1_Click();
    void cmdBrowseFile_Click();
    void cmdBrowsePrg_Click();
    void cmdTest_Click();
    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdDelete_Click();

  protected:
    void Form_Load() override;
    void Form_Cancel() override { cmdCancel_Click(); }

  private:
    // The boxes' file and program with the mode; false after a message.
    bool ReadFields(ClipTarget& target);
    bool loading_ = false;
};

}  // namespace annotations
