#include "server/widgets/frm_login.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "foundation/widgets/dialog_factory.h"
#include "platform/prompts.h"
#include "platform/text_codec.h"
#include "platform/widgets/typed_text_guard.h"
#include "server/login_rules.h"
#include "server/widgets/frm_cfg_local.h"
#include "server/widgets/frm_config.h"

frmLogin::frmLogin(QWidget* parent) : FormDialog(parent) {
    setWindowTitle("User Login");
    setModal(true);
    txtUserID = new QLineEdit(this);
    txtPassword = new QLineEdit(this);
    txtPassword->setEchoMode(QLineEdit::Password);
    platform::TypedTextGuard::Guard(txtUserID);
    platform::TypedTextGuard::Guard(txtPassword);
    Combo1 = new QComboBox(this);
    Check1 = new QCheckBox("Remember Login", this);
    Check2 = new QCheckBox("Change Password", this);
    cmdOK = new QPushButton("&OK", this);
    cmdCancel = new QPushButton("&Cancel", this);
    auto* menus = new QMenuBar(this);
    mnu_config = menus->addAction("Con&figure");
    cmdClear = menus->addAction("Clear &User ID");

    auto* form = new QFormLayout;
    form->addRow("User ID:", txtUserID);
    form->addRow("Password:", txtPassword);
    auto* checks = new QHBoxLayout;
    checks->addWidget(Check1);
    checks->addWidget(Check2);
    auto* buttons = ButtonRow(cmdOK, cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menus);
    layout->addLayout(form);
    layout->addWidget(Combo1);
    layout->addLayout(checks);
    layout->addLayout(buttons);

    connect(Combo1, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0) Combo1_Click();
    });
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
    connect(mnu_config, &QAction::triggered, this, [this] { mnu_config_Click(); });
    connect(cmdClear, &QAction::triggered, this, [this] { cmdClear_Click(); });
}

bool frmLogin::LocalAccessAvailable() const {
    LocalAccessLibrary library;
    if (!library.Load(LocalLibraryName)) return false;
    library.ValidateConnection(0);
    return true;
}

void frmLogin::Form_Load() {
    ChangePassword = 0;
    Check2->setChecked(false);
    Loading = 1;
    int given = AccessMode;
    bool local = LocalAccessAvailable();
    if (!local) AccessMode = 0;
    Cancelled = 0;
    ConfigChanged = 0;
    if (AccessMode < 0 || AccessMode > 2) AccessMode = 0;
    if (AccessMode != given) {
        // The login given was remembered for a mode that cannot be used.
        mLogin::RememberedLogin login = mLogin::LoadRememberedLogin(AccessMode);
        UserID = login.userId;
        Password = login.password;
    }
    txtUserID->setText(platform::ToQString(UserID));
    txtPassword->setText(platform::ToQString(Password));
    int mode = AccessMode;
    Combo1->clear();
    Combo1->addItem("Remote Server (TCP/IP)");
    if (local) {
        Combo1->addItem("Network Drive");
        Combo1->addItem("Local Hard Drive");
    }
    Combo1->setEnabled(local);
    Combo1->setCurrentIndex(mode);
    Check1->setChecked(RememberLogin != 0);
    Loading = 0;
}

void frmLogin::Combo1_Click() {
    AccessMode = Combo1->currentIndex();
    if (Loading != 0) return;
    mLogin::RememberedLogin login = mLogin::LoadRememberedLogin(AccessMode);
    txtUserID->setText(platform::ToQString(login.userId));
    txtPassword->setText(platform::ToQString(login.password));
}

void frmLogin::cmdOK_Click() {
    if (AccessMode == 0 && IPAddress.empty()) {
        mnu_config_Click();
        if (DomainName.empty()) return;
    }
    std::string user = platform::FromQString(txtUserID->text());
    std::string password = platform::FromQString(txtPassword->text());
    std::string refusal = mLogin::UserIdRefusal(user);
    if (refusal.empty()) refusal = mLogin::PasswordRefusal(password);
    if (!refusal.empty()) {
        platform::BeepWarning(refusal);
        return;
    }
    UserID = user;
    Password = password;
    RememberLogin = Check1->isChecked() ? 1 : 0;
    if (Check2->isChecked()) ChangePassword = -1;
    Unload(QDialog::Accepted);
}

void frmLogin::cmdCancel_Click() {
    Cancelled = 1;
    Unload(QDialog::Rejected);
}

void frmLogin::cmdClear_Click() {
    mLogin::ClearRememberedLogins();
    txtUserID->clear();
    txtPassword->clear();
}

void frmLogin::mnu_config_Click() {
    if (AccessMode == 0) {
        ConfigureTcpIp();
    } else {
        ConfigureLocalPaths();
    }
}

void frmLogin::ConfigureTcpIp() {
    auto config = talq::DialogFactory<frmConfig>::Create(this);
    config->IPAddress = IPAddress;
    config->IPPort = IPPort;
    config->DomainName = DomainName;
    config->LocalPort = LocalPort;
    config->NetworkCard = NetworkCard;
    config->exec();
    if (config->Cancelled != 0) return;
    IPAddress = config->IPAddress;
    IPPort = config->IPPort;
    DomainName = config->DomainName;
    LocalPort = config->LocalPort;
    NetworkCard = config->NetworkCard;
    ConfigChanged = 1;
}

void frmLogin::ConfigureLocalPaths() {
    auto config = talq::DialogFactory<frmCfgLocal>::Create(this);
    config->AccessMode = AccessMode;
    config->exec();
}
