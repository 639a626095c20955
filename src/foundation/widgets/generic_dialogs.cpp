#include "foundation/widgets/generic_dialogs.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "foundation/fields.h"
#include "foundation/text_match.h"
#include "platform/prompts.h"
#include "platform/text_codec.h"

namespace {

const std::string kSep(1, kListSep);

std::string FirstTabField(const std::string& line) {
    return mVBUtil::GetField("\t", line, 1);
}

}  // namespace

// ---------------------------------------------------------------- frmListBox

frmListBox::frmListBox(QWidget* parent) : FormDialog(parent) {
    setWindowTitle("Please Select");
    setModal(true);
    List1 = new QListWidget(this);
    cmdOK = new QPushButton("&OK", this);
    cmdCancel = new QPushButton("&Cancel", this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(List1);
    layout->addLayout(ButtonRow(cmdOK, cmdCancel));
    resize(360, 300);
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
    connect(List1, &QListWidget::itemDoubleClicked, this, [this] { List1_DblClick(); });
}

void frmListBox::Form_Load() {
    if (!TitleText.empty()) setWindowTitle(platform::ToQString(TitleText));
    std::string preselect = mVBUtil::UCase(SelectedItem);
    int count = mVBUtil::CountFields(kSep, ItemList);
    int chosen = 0;
    int position = 1;
    for (int i = 1; i <= count && position != -1; ++i) {
        std::string line = mVBUtil::NextToken(kSep, ItemList, position);
        List1->addItem(platform::ToQString(line));
        if (!preselect.empty() && mVBUtil::UCase(FirstTabField(line)) == preselect) chosen = i - 1;
    }
    Cancelled = 0;
    TitleText.clear();
    ItemList.clear();
    SelectedItem.clear();
    if (List1->count() > 0) {
        List1->setCurrentRow(chosen);
    } else {
        List1->addItem("No Items Available");
        cmdOK->setEnabled(false);
        List1->setEnabled(false);
    }
    if (NoSelect == 1) cmdOK->setEnabled(false);
}

void frmListBox::cmdOK_Click() {
    if (!cmdOK->isEnabled()) return;
    QListWidgetItem* item = List1->currentItem();
    if (item == nullptr || !item->isSelected()) {
        platform::Beep();
        return;
    }
    SelectedItem = FirstTabField(platform::FromQString(item->text()));
    Unload(QDialog::Accepted);
}

void frmListBox::List1_DblClick() {
    if (NoSelect == 1) return;
    cmdOK_Click();
}

void frmListBox::cmdCancel_Click() {
    Cancelled = 1;
    Unload(QDialog::Rejected);
}

// -------------------------------------------------------------------- SelBox

SelBox::SelBox(QWidget* parent) : FormDialog(parent) {
    setWindowTitle("Select");
    setModal(true);
    Frame1 = new QGroupBox(this);
    options_ = new QVBoxLayout(Frame1);
    Option1.push_back(new QRadioButton(Frame1));
    options_->addWidget(Option1[0]);
    cmd_ok = new QPushButton("&OK", this);
    cmd_cancel = new QPushButton("&Cancel", this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Frame1);
    layout->addLayout(ButtonRow(cmd_ok, cmd_cancel));
    connect(Option1[0], &QRadioButton::toggled, this, [this](bool on) {
        if (on) Option1_Click(0);
    });
    connect(cmd_ok, &QPushButton::clicked, this, [this] { cmd_ok_Click(); });
    connect(cmd_cancel, &QPushButton::clicked, this, [this] { cmd_cancel_Click(); });
}

void SelBox::Form_Load() {
    OptionCount = 0;
    if (OptionList.empty()) {
        cmd_ok->setEnabled(false);
        Option1[0]->setText("Invalid Options");
        return;
    }
    Frame1->setTitle(platform::ToQString(TitleText));
    int count = mVBUtil::CountFields(kSep, OptionList);
    for (int i = 1; i <= count; ++i) {
        std::string caption = mVBUtil::GetField(kSep, OptionList, i);
        if (caption.empty() && i == count) break;
        if (i > 1) {
            auto* option = new QRadioButton(Frame1);
            int index = i - 1;
            connect(option, &QRadioButton::toggled, this, [this, index](bool on) {
                if (on) Option1_Click(index);
            });
            options_->addWidget(option);
            Option1.push_back(option);
        }
        Option1[static_cast<size_t>(i - 1)]->setText(platform::ToQString(caption));
        OptionCount = i;
    }
    if (Selection > OptionCount || Selection < 1) Selection = 1;
    Option1[static_cast<size_t>(Selection - 1)]->setChecked(true);
    adjustSize();
}

void SelBox::Option1_Click(int index) {
    Selection = index + 1;
}

void SelBox::cmd_ok_Click() {
    if (!cmd_ok->isEnabled()) return;
    Unload(QDialog::Accepted);
}

void SelBox::cmd_cancel_Click() {
    Selection = 0;
    Unload(QDialog::Rejected);
}

void SelBox::Form_Unload() {
    TitleText.clear();
    OptionList.clear();
}

// ---------------------------------------------------------------- frmProcess

frmProcess::frmProcess(QWidget* parent) : FormDialog(parent) {
    setWindowTitle("Printing");
    lblMsg = new QLabel("Processing", this);
    cmdCancel = new QPushButton("&Cancel", this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblMsg);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(cmdCancel);
    row->addStretch();
    layout->addLayout(row);
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
}

void frmProcess::Form_Load() {
    Cancel = 0;
    if (!CaptionText.empty()) setWindowTitle(platform::ToQString(CaptionText));
}

void frmProcess::cmdCancel_Click() {
    Cancel = 1;
}
