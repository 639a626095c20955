#include "server/widgets/frm_cfg_local.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QVBoxLayout>

#include "foundation/dialog_values.h"
#include "foundation/fields.h"
#include "foundation/widgets/common_dialogs.h"
#include "platform/text_codec.h"
#include "platform/widgets/typed_text_guard.h"
#include "server/net_defaults.h"
#include "server/widgets/frm_config.h"

namespace {

std::string WithSeparator(const std::string& dir) {
    return dir.empty() || mComDlg::EndsWithSeparator(dir) ? dir : dir + "/";
}

}  // namespace

frmCfgLocal::frmCfgLocal(QWidget* parent) : FormDialog(parent) {
    setWindowTitle("Configure TALQ System Directory");
    setModal(true);
    Text1 = new QLineEdit(this);
    platform::TypedTextGuard::Guard(Text1);
    cmdOK = new QPushButton("&OK", this);
    cmdCancel = new QPushButton("&Cancel", this);
    cmdBrowse = new QPushButton("&Browse", this);
    cmdOK->setDefault(true);
    auto* menus = new QMenuBar(this);
    mnuHistory = menus->addAction("&History");

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdBrowse);
    buttons->addStretch();
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menus);
    layout->addWidget(new QLabel("System Directory", this));
    layout->addWidget(Text1);
    layout->addLayout(buttons);
    resize(420, sizeHint().height());

    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
    connect(cmdBrowse, &QPushButton::clicked, this, [this] { cmdBrowse_Click(); });
    connect(mnuHistory, &QAction::triggered, this, [this] { mnuHistory_Click(); });
}

void frmCfgLocal::Form_Load() {
    modeName_ = mNetDefaults::ModeName(AccessMode);
    mnuHistory->setEnabled(mNetDefaults::HasHistory(mNetDefaults::SystemDirHistory(AccessMode)));
    Text1->setText(platform::ToQString(mNetDefaults::LoadSystemDir(AccessMode)));
}

void frmCfgLocal::cmdOK_Click() {
    std::string dir = mNetDefaults::NormalizeSystemDir(platform::FromQString(Text1->text()));
    if (!dir.empty()) {
        mNetDefaults::SaveSystemDir(AccessMode, dir);
        mNetDefaults::AddToHistory(mNetDefaults::SystemDirHistory(AccessMode), dir);
    }
    Unload(QDialog::Accepted);
}

// Nothing is stored; Escape and the close button do the same.
void frmCfgLocal::cmdCancel_Click() {
    reject();
}

void frmCfgLocal::cmdBrowse_Click() {
    std::string path =
        WithSeparator(mVBUtil::TrimSpaces(platform::FromQString(Text1->text()))) + "TALQAUTH.SYS";
    if (!mComDlg::ShowFileDialog(this, path, "AuthFile|*.sys", 1, 0)) return;
    std::string folder, fileName;
    mComDlg::SplitFolder(path, folder, fileName);
    Text1->setText(platform::ToQString(WithSeparator(folder)));
}

void frmCfgLocal::mnuHistory_Click() {
    mNetDefaults::HistoryStore history = mNetDefaults::SystemDirHistory(AccessMode);
    std::string chosen =
        PickHistoryEntry(this, "Select " + modeName_ + " System Directory", history);
    if (chosen.empty()) return;
    Text1->setText(platform::ToQString(chosen));
}
