#pragma once
// Edits the system directory of a local access mode and stores it itself.

#include <string>

#include "foundation/widgets/form_dialog.h"

class QAction;
class QLineEdit;
class QPushButton;

class frmCfgLocal : public FormDialog {
    Q_OBJECT
  public:
    explicit frmCfgLocal(QWidget* parent = nullptr);

    int AccessMode = 0;

    QLineEdit* Text1;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;
    QPushButton* cmdBrowse;
    QAction* mnuHistory;

    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdBrowse_Click();
    void mnuHistory_Click();

  protected:
    void Form_Load() override;

  private:
    std::string modeName_;
};
