#include "server/widgets/frm_new_pswrd.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "foundation/fields.h"
#include "platform/prompts.h"
#include "platform/text_codec.h"
#include "platform/widgets/typed_text_guard.h"
#include "server/login_rules.h"

namespace {

QLineEdit* PasswordBox(QWidget* parent) {
    auto* box = new QLineEdit(parent);
    box->setEchoMode(QLineEdit::Password);
    box->setMaxLength(30);
    platform::TypedTextGuard::Guard(box);
    return box;
}

}  // namespace

frmNewPswrd::frmNewPswrd(QWidget* parent) : FormDialog(parent) {
    setWindowTitle("Change User Password");
    setModal(true);
    Text1 = PasswordBox(this);
    Text2 = PasswordBox(this);
    cmdOK = new QPushButton("&OK", this);
    cmdCancel = new QPushButton("&Cancel", this);

    auto* form = new QFormLayout;
    form->addRow("New Password:", Text1);
    form->addRow("Repeat Password:", Text2);
    auto* buttons = ButtonRow(cmdOK, cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);

    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
}

void frmNewPswrd::Form_Load() {
    Cancelled = 0;
}

void frmNewPswrd::IsValidPasswordChars(const std::string& text, bool& ok) {
    ok = mLogin::IsValidPasswordChars(text);
}

void frmNewPswrd::cmdOK_Click() {
    std::string password = mVBUtil::TrimSpaces(platform::FromQString(Text1->text()));
    std::string repeat = mVBUtil::TrimSpaces(platform::FromQString(Text2->text()));
    auto refuse = [this](const std::string& message) {
        platform::BeepWarning(message);
        Text1->clear();
        Text2->clear();
        Text1->setFocus();
    };
    if (password != repeat) {
        refuse("Password was incorrectly entered.");
        return;
    }
    if (StrongRule != 0 && !mLogin::IsStrongPassword(password)) {
        refuse(
            "Password must be at least 6 characters and contain\n"
            "at least one ALHPA character and one NUMERIC digit.\n"
            "The special characters !#$%_-. are also allowed.");
        return;
    }
    bool ok = true;
    if (!password.empty()) IsValidPasswordChars(password, ok);
    if (!ok) {
        refuse(
            "Password must be contain only ALHPA-NUMERIC characters.\n"
            "The special characters !#$%_-. are also allowed.");
        return;
    }
    if (password.empty()) {
        platform::Beep();
        int answer = platform::MsgBox(
            "Are you SURE you want to REMOVE your Password?",
            platform::vbYesNo | platform::vbQuestion | platform::vbDefaultButton2, "Warning");
        if (answer == platform::vbNo) {
            Text1->setFocus();
            return;
        }
    }
    NewPassword = password;
    Unload(QDialog::Accepted);
}

void frmNewPswrd::cmdCancel_Click() {
    Cancelled = 1;
    Unload(QDialog::Rejected);
}
