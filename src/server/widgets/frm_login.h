#pragma once
// Asks for the access mode, user id and password of a login.

#include <string>

#include "foundation/widgets/form_dialog.h"
#include "server/local_access.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

class frmLogin : public FormDialog {
    Q_OBJECT
  public:
    explicit frmLogin(QWidget* parent = nullptr);

    int Cancelled = 0;
    int ConfigChanged = 0;
    std::string UserID;
    std::string Password;
    int RememberLogin = 0;
    int AccessMode = 0;
    std::string IPAddress;
    std::string IPPort;
    std::string DomainName;
    std::string LocalPort;
    std::string NetworkCard;
    int ChangePassword = 0;

    // The library whose presence offers the local modes.
    std::string LocalLibraryName = kLocalAccessLibraryName;

    QLineEdit* txtUserID;
    QLineEdit* txtPassword;
    QComboBox* Combo1;
    QCheckBox* Check1;
    QCheckBox* Check2;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;
    QAction* mnu_config;
    QAction* cmdClear;

    void Combo1_Click();
    // Checks the user id and password; a refused one beeps, tells why and
    // keeps the dialog open.
    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdClear_Click();
    void mnu_config_Click();
    void ConfigureTcpIp();
    void ConfigureLocalPaths();

  protected:
    void Form_Load() override;
    void Form_Cancel() override { cmdCancel_Click(); }

  private:
    bool LocalAccessAvailable() const;

    int Loading = 0;
};
