#pragma once
// The pick-list, option and progress windows every subsystem uses. A caller
// creates one (through DialogFactory), sets its public fields, runs it and
// reads the fields afterwards. Lists are texts separated by character 30.

#include <string>
#include <vector>

#include "foundation/widgets/form_dialog.h"
#include "platform/widgets/held_key_filter.h"
#include "platform/wire_separators.h"

class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;
class QVBoxLayout;

using wire::kListSep;

// Picks one line of a list; the result is the line's first Tab-separated field.
class frmListBox : public FormDialog {
    Q_OBJECT
  public:
    explicit frmListBox(QWidget* parent = nullptr);

    int Cancelled = 0;
    int NoSelect = 0;
    std::string TitleText;
    std::string ItemList;
    std::string SelectedItem;

    QListWidget* List1;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

    void cmdOK_Click();
    void cmdCancel_Click();
    void List1_DblClick();

  protected:
    void Form_Load() override;
    void Form_Cancel() override { cmdCancel_Click(); }
    void Form_Unload() override { NoSelect = 0; }
};

// Picks one of a few options built at run time; Selection is 1-based, 0 after Cancel.
class SelBox : public FormDialog {
    Q_OBJECT
  public:
    explicit SelBox(QWidget* parent = nullptr);

    int Selection = 0;
    std::string TitleText;
    std::string OptionList;
    int OptionCount = 0;

    QGroupBox* Frame1;
    std::vector<QRadioButton*> Option1;
    QPushButton* cmd_ok;
    QPushButton* cmd_cancel;

    void Option1_Click(int index);
    void cmd_ok_Click();
    void cmd_cancel_Click();

  protected:
    void Form_Load() override;
    void Form_Cancel() override { cmd_cancel_Click(); }
    void Form_Unload() override;

  private:
    QVBoxLayout* options_;
};

// Modeless progress window; the caller's loop yields and reads Cancel.
class frmProcess : public FormDialog {
    Q_OBJECT
  public:
    explicit frmProcess(QWidget* parent = nullptr);

    int Cancel = 0;
    std::string CaptionText;

    QLabel* lblMsg;
    QPushButton* cmdCancel;

    void cmdCancel_Click();
    // Closes the window for the caller at the end of its loop.
    void Unload() { FormDialog::Unload(QDialog::Accepted); }

  protected:
    void Form_Load() override;
    // The close button and Escape ask the caller's loop to stop; the window
    // stays until the caller unloads it.
    void Form_Cancel() override { cmdCancel_Click(); }
    void Form_Unload() override { CaptionText.clear(); }

  private:
    // A key held down when the window showed must not stop the work.
    platform::HeldKeyFilter heldKeys_{*this};
};
