#include "printing/widgets/frm_prt_key.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QVBoxLayout>

frmPrtKey::frmPrtKey(QWidget* parent) : FormDialog(parent) {
    setWindowTitle("Set Message/Key Placement");
    setModal(true);
    auto* pick = new QGroupBox("Pick a label to place ", this);
    auto* pickRow = new QVBoxLayout(pick);
    Option1[0] = new QRadioButton("Image Key", pick);
    Option1[1] = new QRadioButton("Message Text", pick);
    for (int i = 0; i < 2; ++i) {
        pickRow->addWidget(Option1[static_cast<size_t>(i)]);
        connect(Option1[static_cast<size_t>(i)], &QRadioButton::clicked, this,
                [this, i] { Option1_Click(i); });
    }
    Check1 = new QCheckBox("Print Key Below Message", this);
    connect(Check1, &QCheckBox::clicked, this, [this] { Check1_Click(); });
    auto* sheet = new QGroupBox(this);
    auto* grid = new QGridLayout(sheet);
    QFont narrow("Arial Narrow");
    for (int i = 0; i < 6; ++i) {
        auto* zone = new QPushButton(sheet);
        zone->setFont(narrow);
        zone->setFlat(true);
        zone->setMinimumSize(64, 48);
        grid->addWidget(zone, i / 3 == 0 ? 0 : 2, i % 3);
        PageZone[static_cast<size_t>(i)] = zone;
        connect(zone, &QPushButton::clicked, this, [this, i] { PageZone_Click(i); });
    }
    grid->setRowMinimumHeight(1, 80);
    cmd_ok = new QPushButton("&OK", this);
    cmd_cancel = new QPushButton("&Cancel", this);
    connect(cmd_ok, &QPushButton::clicked, this, [this] { cmd_ok_Click(); });
    connect(cmd_cancel, &QPushButton::clicked, this, [this] { cmd_cancel_Click(); });
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(pick);
    layout->addWidget(Check1);
    layout->addWidget(sheet);
    layout->addLayout(ButtonRow(cmd_ok, cmd_cancel));
}

void frmPrtKey::Form_Load() {
    Cancelled = 0;
    placing_ = 0;
    Option1[0]->setChecked(true);
    keyZone_ = KeyPsn > 6 || KeyPsn < 1 ? 6 : KeyPsn;
    msgZone_ = MsgPsn > 6 || MsgPsn < 1 ? 4 : MsgPsn;
    check_ = MsgAboveKey ? 1 : 0;
    const QSignalBlocker quiet(Check1);
    Check1->setChecked(check_ == 1);
    ShowPlacement();
}

void frmPrtKey::Option1_Click(int Index) {
    placing_ = Index;
    Option1[static_cast<size_t>(Index)]->setChecked(true);
}

void frmPrtKey::PageZone_Click(int Index) {
    (placing_ == 1 ? msgZone_ : keyZone_) = Index + 1;
    ShowPlacement();
}

void frmPrtKey::Check1_Click() {
    check_ = Check1->isChecked() ? 1 : 0;
    ShowPlacement();
}

void frmPrtKey::ShowPlacement() {
    Check1->setEnabled(keyZone_ == msgZone_);
    for (int zone = 1; zone <= 6; ++zone) {
        QString caption;
        const char* first = check_ == 0 ? "Key" : "Message";
        const char* second = check_ == 0 ? "Message" : "Key";
        const std::int32_t firstZone = check_ == 0 ? keyZone_ : msgZone_;
        const std::int32_t secondZone = check_ == 0 ? msgZone_ : keyZone_;
        if (firstZone == zone) caption = first;
        if (secondZone == zone) caption += (caption.isEmpty() ? "" : "\n") + QString(second);
        PageZone[static_cast<size_t>(zone - 1)]->setText(caption);
    }
}

void frmPrtKey::cmd_ok_Click() {
    KeyPsn = keyZone_;
    MsgPsn = msgZone_;
    MsgAboveKey = check_ == 1;
    Unload(QDialog::Accepted);
}

void frmPrtKey::cmd_cancel_Click() {
    Cancelled = 1;
    Unload(QDialog::Rejected);
}
