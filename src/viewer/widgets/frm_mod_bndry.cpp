#include "viewer/widgets/frm_mod_bndry.h"

#include <QDate>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "annotations/document_date.h"
#include "foundation/fields.h"
#include "platform/prompts.h"
#include "platform/text_codec.h"
#include "platform/widgets/typed_text_guard.h"
#include "viewer/widgets/frm_view.h"
#include "viewer/widgets/viewer_session.h"

namespace viewer {

frmModBndry::frmModBndry(QWidget* parent) : FormDialog(parent) {
    setWindowTitle(QStringLiteral("Modify Boundary"));
    setModal(true);
    Option1.push_back(new QRadioButton(QStringLiteral("Page (No Boundary)"), this));
    lblDate = new QLabel(QStringLiteral("Doc Date: (yyyymmdd)"), this);
    txtDate = new QLineEdit(this);
    txtDate->setToolTip(QStringLiteral("Format YYYYMMDD"));
    txtDate->setMaxLength(64);
    platform::TypedTextGuard::Guard(txtDate);
    cmdOK = new QPushButton(QStringLiteral("&OK"), this);
    cmdCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    auto* layout = new QVBoxLayout(this);
    options_ = new QVBoxLayout();
    options_->addWidget(Option1[0]);
    layout->addLayout(options_);
    auto* date = new QHBoxLayout();
    date->addWidget(lblDate);
    date->addWidget(txtDate);
    layout->addLayout(date);
    layout->addLayout(ButtonRow(cmdOK, cmdCancel));
    connect(Option1[0], &QRadioButton::clicked, this, [this] { Option1_Click(0); });
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
}

int& frmModBndry::CurrentYearForTest() {
    static int year = 0;
    return year;
}

void frmModBndry::Form_Load() {
    Cancelled = 0;
    LoadedDate.clear();
    DateShown = false;
    DateUnread = false;
    if (!ImageKey.empty() && ClientAPI != nullptr && (ClientAPI->FullText() & 8) != 0) {
        DateShown = true;
        // A date that could not be read is told, and neither shown as none
        // nor stored over: the level may still be changed.
        DateUnread = !ClientAPI->ReadPageDate(ImageKey, LoadedDate);
        if (DateUnread)
            platform::BeepWarning(ClientAPI->TakeFailureMessage("Unable to Read Document Date"));
    }
    lblDate->setVisible(DateShown);
    txtDate->setVisible(DateShown);
    txtDate->setText(platform::ToQString(LoadedDate));
    txtDate->setEnabled(!DateUnread);
    txtDate->setPlaceholderText(DateUnread ? QStringLiteral("Not Read") : QString());

    SelectedLevel = BoundaryLevel;
    int chosen = 0;
    for (int i = 1; i <= LevelCount; ++i) {
        auto* option =
            new QRadioButton(platform::ToQString(mVBUtil::GetField("|", LevelDescs, i)), this);
        Option1.push_back(option);
        // The levels stand above "Page (No Boundary)".
        options_->insertWidget(i - 1, option);
        connect(option, &QRadioButton::clicked, this, [this, i] { Option1_Click(i); });
        if (BoundaryLevelAt(LevelNumbers, i) == BoundaryLevel) chosen = i;
    }
    Option1[static_cast<std::size_t>(chosen)]->setChecked(true);
}

void frmModBndry::Option1_Click(int Index) {
    SelectedLevel =
        Index == 0 ? 0 : static_cast<std::int16_t>(BoundaryLevelAt(LevelNumbers, Index));
}

void frmModBndry::cmdOK_Click() {
    const std::string date = platform::FromQString(txtDate->text());
    if (DateShown && !DateUnread && date != LoadedDate) {
        const int year =
            CurrentYearForTest() != 0 ? CurrentYearForTest() : QDate::currentDate().year();
        if (!annotations::IsAcceptableDocumentDate(date, year)) {
            platform::Beep();
            platform::MsgBox("Date must be in format YYYYMMDD.", platform::vbCritical,
                             "Invalid Date Format");
            return;
        }
        if (ClientAPI == nullptr || !ClientAPI->PutPageDate(ImageKey, date)) {
            platform::BeepWarning(ClientAPI != nullptr ? ClientAPI->TakeFailureMessage(
                                                             "Unable to Update Document Date")
                                                       : "Unable to Update Document Date");
            return;
        }
        LoadedDate = date;
    }
    BoundaryLevel = SelectedLevel;
    Unload(QDialog::Accepted);
}

void frmModBndry::cmdCancel_Click() {
    Cancelled = 1;
    Unload(QDialog::Rejected);
}

}  // namespace viewer
