#pragma once
// The concept search's dialogs: the phrase, the progress window that polls
// the server's search, and the spelling and concept choices offered after
// it. Each is created by its caller, given its input fields, run modally
// and read afterwards.

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/widgets/form_dialog.h"
#include "navigation/concept_hits.h"
#include "navigation/quester_api.h"

class QCheckBox;
class QGridLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTimer;

namespace navigation {

// The phrase of a new concept search and whether to check its spelling.
class frmQuesterSearch : public FormDialog {
    Q_OBJECT
  public:
    explicit frmQuesterSearch(QWidget* parent = nullptr);

    std::int16_t Cancelled = 0;  // 1 when cancelled
    std::string Phrase;          // out: trimmed
    bool SpellCheck = false;     // in and out: the check box

    QLineEdit* Text1;
    QCheckBox* Check1;
    QPushButton* cmdSearch;
    QPushButton* cmdCancel;

    void cmdSearch_Click();
    void cmdCancel_Click();

  protected:
    void Form_Load() override;
    // The close box cancels: no search starts without a phrase.
    void Form_Cancel() override { cmdCancel_Click(); }
    void Form_Unload() override;
};

// Shown while the server searches: polls once a timer tick, one poll at a
// time, and closes itself when the search ends or after a confirmed Cancel.
// Cancelling leaves the server's search to finish.
class frmQuesterCancel : public FormDialog {
    Q_OBJECT
  public:
    explicit frmQuesterCancel(QWidget* parent = nullptr);

    QuesterApi* ViewForm = nullptr;  // the main window's session
    std::int32_t Status = 0;         // 0 running or finished, 1 cancelled, 2 failed

    QPushButton* cmdCancel;
    QTimer* Timer1;  // 1000 ms, running from load

    void Timer1_Timer();
    void cmdCancel_Click();

  protected:
    void Form_Load() override;
    void Form_Cancel() override { cmdCancel_Click(); }
    void Form_Unload() override;

  private:
    std::int32_t Busy = 0;  // a poll is waiting for its reply
};

// One row per word of a spell or term file: headings, the word and its list
// of choices. The rows are added after Load and before the dialog shows.
class QuesterChoiceDialog : public FormDialog {
    Q_OBJECT
  public:
    std::vector<QLabel*> WordHeading, ConceptHeading, Word;
    std::vector<QListWidget*> Definitions;
    QPushButton* cmdSearch;
    QPushButton* cmdExit;

    // Adds a row; a term file's first selected choice becomes the list's
    // selected entry.
    void AddRow(const QuesterRow& row);
    virtual void Definitions_Click(int row) = 0;
    virtual void Definitions_DblClick(int row) = 0;
    virtual void cmdSearch_Click() = 0;
    virtual void cmdExit_Click() = 0;

  protected:
    QuesterChoiceDialog(QWidget* parent, const char* caption, const char* searchCaption,
                        const char* choiceHeading);
    void Form_Unload() override;
    QGridLayout* rows_;
    QLabel* top_;  // a line above the rows, hidden unless used

  private:
    const char* choiceHeading_;
};

// Spelling alternatives for the words of the phrase.
class frmIDexSpell : public QuesterChoiceDialog {
    Q_OBJECT
  public:
    explicit frmIDexSpell(QWidget* parent = nullptr);

    std::string Phrase;          // in and out
    std::int16_t Cancelled = 0;  // 1 when left with Exit
    QLabel* lblPhrase;

    void ShowPhrase();
    void Definitions_Click(int row) override;
    void Definitions_DblClick(int row) override;
    void cmdSearch_Click() override;
    void cmdExit_Click() override;

  protected:
    void Form_Load() override { Cancelled = 0; }
    // The close box is Exit: the phrase stays as it was.
    void Form_Cancel() override { cmdExit_Click(); }
};

// The engine's concept definitions per term.
class frmMMSearchConcepts : public QuesterChoiceDialog {
    Q_OBJECT
  public:
    explicit frmMMSearchConcepts(QWidget* parent = nullptr);

    std::int16_t Cancelled = 0;
    std::string Selection;  // out: items joined by ","

    // Records each row's list index as filled.
    void LoadArray();
    void Definitions_Click(int) override {}
    void Definitions_DblClick(int row) override;
    void cmdSearch_Click() override;
    void cmdExit_Click() override;

  protected:
    void Form_Load() override;
    void Form_Cancel() override { cmdExit_Click(); }

  private:
    std::vector<std::int32_t> InitialIndex;
};

}  // namespace navigation
