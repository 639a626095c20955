#pragma once
// Asks twice for a new password and checks it.

#include <string>

#include "foundation/widgets/form_dialog.h"

class QLineEdit;
class QPushButton;

class frmNewPswrd : public FormDialog {
    Q_OBJECT
  public:
    explicit frmNewPswrd(QWidget* parent = nullptr);

    int StrongRule = 0;
    int Cancelled = 0;
    std::string NewPassword;

    QLineEdit* Text1;
    QLineEdit* Text2;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

    static void IsValidPasswordChars(const std::string& text, bool& ok);

    // A refused password beeps, tells why and keeps the dialog open.
    void cmdOK_Click();
    void cmdCancel_Click();

  protected:
    void Form_Load() override;
    void Form_Cancel() override { cmdCancel_Click(); }
};
