#pragma once
// The issue-tag picker and the two search dialogs. Each is created by its
// caller, given its input fields, run modally and read afterwards.

#include <array>
#include <cstdint>
#include <string>

#include "foundation/widgets/form_dialog.h"
#include "navigation/query_api.h"

class QComboBox;
class QGroupBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;

namespace navigation {

// Picks one or more of the project's tag collections and how they combine.
class frmSelTag : public FormDialog {
    Q_OBJECT
  public:
    explicit frmSelTag(QWidget* parent = nullptr);

    QueryApi* ClientAPI = nullptr;   // the main window's session
    std::string SelectedTags;        // names joined by character 30, first chosen first
    std::int32_t SelectedCount = 0;  // 0 = nothing chosen
    std::int16_t TagLogic = 0;       // 0 OR, 1 AND, 2 NOT
    // Set by the load when the collections could not be read: the list is
    // empty, OK disabled, and the dialog is not to be shown.
    bool PoolUnread = false;

    QListWidget* List1;
    QGroupBox* Frame1;
    std::array<QRadioButton*, 3> Option1{};
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

    // Clicking an entry toggles it, as the list does for a person.
    void ClickEntry(int index);
    void List1_Click(int index);
    void Option1_Click(int index);
    void cmdOK_Click();
    void cmdCancel_Click();

  protected:
    void Form_Load() override;
    void Form_Cancel() override { cmdCancel_Click(); }

  private:
    void EnableLogic(bool on);
    std::string clickOrder_;
};

// The words of a notes or OCR search and whether any or all must occur.
class frmTxtSrch : public FormDialog {
    Q_OBJECT
  public:
    explicit frmTxtSrch(QWidget* parent = nullptr);

    std::string SearchText;     // out: trimmed words; "" after Cancel
    std::int16_t Operator = 0;  // 0 OR, 1 AND
    std::string DialogCaption;

    QLineEdit* Text1;
    QGroupBox* Frame1;
    std::array<QRadioButton*, 2> Option1{};
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

    void Option1_Click(int index);
    void cmdOK_Click();
    void cmdCancel_Click();

  protected:
    void Form_Load() override;
    void Form_Cancel() override { cmdCancel_Click(); }
    void Form_Unload() override { DialogCaption.clear(); }
};

// The criterion and dates of a document date search.
class frmDtSrch : public FormDialog {
    Q_OBJECT
  public:
    explicit frmDtSrch(QWidget* parent = nullptr);

    std::string StartDate;  // YYYYMMDD
    std::string EndDate;
    std::int16_t Criterion = 0;  // 1..5; 0 after Cancel

    QGroupBox* Frame1;
    QComboBox* Combo1;
    QGroupBox* Frame2;
    QLineEdit* txtDate1;
    QLineEdit* txtDate2;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

    void Combo1_Click();
    void cmdOK_Click();
    void cmdCancel_Click();
    void ShowInvalidDate();
    // Today as YYYYMMDD; tests may fix it.
    static std::string Today();
    static std::string& TodayForTest();

  protected:
    void Form_Load() override;
    void Form_Cancel() override { cmdCancel_Click(); }
    bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace navigation
