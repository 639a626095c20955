#include "server/widgets/frm_config.h"

#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "foundation/fields.h"
#include "foundation/widgets/dialog_factory.h"
#include "foundation/widgets/generic_dialogs.h"
#include "platform/prompts.h"
#include "platform/text_codec.h"
#include "platform/widgets/typed_text_guard.h"
#include "server/net_defaults.h"

namespace {

std::string TextOf(const QLineEdit* box) {
    return platform::FromQString(box->text());
}

QLineEdit* AddRow(QFormLayout* form, const char* label, const char* tip, QWidget* parent) {
    auto* box = new QLineEdit(parent);
    box->setToolTip(tip);
    platform::TypedTextGuard::Guard(box);
    form->addRow(label, box);
    return box;
}

}  // namespace

frmConfig::frmConfig(QWidget* parent) : FormDialog(parent) {
    setWindowTitle("Configure IP Address and Domain");
    setModal(true);
    auto* required = new QGroupBox("Required Settings", this);
    auto* requiredForm = new QFormLayout(required);
    txtIPAddress = AddRow(requiredForm, "IP Address:", "192.168.1.10", required);
    txtPort = AddRow(requiredForm, "IP Port:", "A number from 1 - 9999", required);
    txtDomain = AddRow(requiredForm, "Domain:", "The TALQ Server Domain Name", required);
    auto* optional = new QGroupBox("Optional Settings", this);
    auto* optionalForm = new QFormLayout(optional);
    txtLocalPort =
        AddRow(optionalForm,
               "Local Port:", "Zero or Empty for Default.  1 - 9999 to specify a Local IP Port.",
               optional);
    txtNetworkCard =
        AddRow(optionalForm, "Network Card:",
               "Zero or Empty for Default.  1 - 9 to specify a specific Network Card.", optional);
    cmdOK = new QPushButton("&OK", this);
    cmdCancel = new QPushButton("&Cancel", this);
    auto* menus = new QMenuBar(this);
    mnuHistory = menus->addAction("&History");

    auto* buttons = ButtonRow(cmdOK, cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menus);
    layout->addWidget(required);
    layout->addWidget(optional);
    layout->addLayout(buttons);

    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
    connect(mnuHistory, &QAction::triggered, this, [this] { mnuHistory_Click(); });
}

void frmConfig::Form_Load() {
    Cancelled = 0;
    txtIPAddress->setText(platform::ToQString(IPAddress));
    txtPort->setText(platform::ToQString(IPPort));
    txtDomain->setText(platform::ToQString(DomainName));
    txtLocalPort->setText(platform::ToQString(LocalPort));
    txtNetworkCard->setText(platform::ToQString(NetworkCard));
    mnuHistory->setEnabled(mNetDefaults::HasHistory(mNetDefaults::TcpIpHistory()));
}

void frmConfig::cmdOK_Click() {
    std::string ip = mVBUtil::TrimSpaces(TextOf(txtIPAddress));
    std::string port = TextOf(txtPort);
    std::string domain = TextOf(txtDomain);
    std::string refusal = mNetDefaults::CheckTcpIpConfig(ip, port, domain);
    if (!refusal.empty()) {
        platform::BeepWarning(refusal);
        return;
    }
    IPAddress = ip;
    IPPort = port;
    DomainName = domain;
    LocalPort = mNetDefaults::NumberText(TextOf(txtLocalPort));
    NetworkCard = mNetDefaults::NumberText(TextOf(txtNetworkCard));
    mNetDefaults::AddToHistory(mNetDefaults::TcpIpHistory(), ip + "|" + port + "|" + domain);
    Unload(QDialog::Accepted);
}

void frmConfig::cmdCancel_Click() {
    Cancelled = 1;
    Unload(QDialog::Rejected);
}

void frmConfig::mnuHistory_Click() {
    mNetDefaults::HistoryStore history = mNetDefaults::TcpIpHistory();
    std::string chosen = PickHistoryEntry(this, "Select TCP/IP Configuration", history);
    if (chosen.empty()) return;
    txtIPAddress->setText(platform::ToQString(mVBUtil::GetField("|", chosen, 1)));
    txtPort->setText(platform::ToQString(mVBUtil::GetField("|", chosen, 2)));
    txtDomain->setText(platform::ToQString(mVBUtil::GetField("|", chosen, 3)));
}

std::string PickHistoryEntry(QWidget* parent, const std::string& title,
                             const mNetDefaults::HistoryStore& history) {
    std::string list;
    for (const std::string& entry : mNetDefaults::ReadHistory(history)) {
        if (!list.empty()) list += kListSep;
        list += entry;
    }
    auto picker = talq::DialogFactory<frmListBox>::Create(parent);
    picker->TitleText = title;
    picker->ItemList = list;
    picker->SelectedItem.clear();
    picker->NoSelect = 0;
    picker->exec();
    std::string chosen = picker->Cancelled == 1 ? std::string() : picker->SelectedItem;
    if (!chosen.empty()) mNetDefaults::MoveToFront(history, chosen);
    return chosen;
}
