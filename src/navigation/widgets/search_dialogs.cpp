#include "navigation/widgets/search_dialogs.h"

#include <QComboBox>
#include <QDate>
#include <QEvent>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <QVBoxLayout>

#include "foundation/fields.h"
#include "navigation/query_sources.h"
#include "platform/prompts.h"
#include "platform/text_codec.h"
#include "platform/wire_separators.h"
#include "platform/widgets/typed_text_guard.h"

namespace navigation {
namespace {

const std::string kListSepText(1, wire::kListSep);

}  // namespace

// ----------------------------------------------------------------- frmSelTag

frmSelTag::frmSelTag(QWidget* parent) : FormDialog(parent) {
    setWindowTitle("Select Issue/Tag Collection(s)");
    setModal(true);
    List1 = new QListWidget(this);
    List1->setSelectionMode(QAbstractItemView::MultiSelection);
    List1->setMinimumSize(241, 238);
    Frame1 = new QGroupBox("Multiple Issue Logic", this);
    auto* logic = new QHBoxLayout(Frame1);
    const char* captions[] = {"OR", "AND", "NOT"};
    for (int i = 0; i < 3; ++i) {
        Option1[static_cast<size_t>(i)] = new QRadioButton(captions[i], Frame1);
        logic->addWidget(Option1[static_cast<size_t>(i)]);
        connect(Option1[static_cast<size_t>(i)], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on) Option1_Click(i);
        });
    }
    cmdOK = new QPushButton("&OK", this);
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton("&Cancel", this);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(Frame1);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    bottom->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(List1);
    layout->addLayout(bottom);
    connect(List1, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { List1_Click(List1->row(item)); });
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
}

void frmSelTag::Form_Load() {
    clickOrder_.clear();
    SelectedTags.clear();
    SelectedCount = 0;
    TagLogic = 0;
    EnableLogic(false);
    std::string list;
    PoolUnread = ClientAPI == nullptr || !ClientAPI->ReadTagPool(list);
    // A pool that could not be read is not an empty one: nothing to pick
    // from, and the caller tells why.
    if (PoolUnread) {
        cmdOK->setEnabled(false);
        return;
    }
    const std::int32_t count = mVBUtil::CountFields(",", list);
    if (count > 0) {
        int position = 1;
        for (std::int32_t i = 0; i < count; ++i)
            List1->addItem(platform::ToQString(mVBUtil::NextToken(",", list, position)));
        Option1[0]->setChecked(true);
    } else {
        List1->addItem("No Issue Tags Defined");
        cmdOK->setEnabled(false);
    }
}

void frmSelTag::EnableLogic(bool on) {
    Frame1->setEnabled(on);
    for (QRadioButton* option : Option1) option->setEnabled(on);
}

void frmSelTag::ClickEntry(int index) {
    QListWidgetItem* item = List1->item(index);
    if (item == nullptr) return;
    item->setSelected(!item->isSelected());
    List1_Click(index);
}

void frmSelTag::List1_Click(int index) {
    QListWidgetItem* item = List1->item(index);
    if (item == nullptr) return;
    std::string name = platform::FromQString(item->text());
    if (item->isSelected()) {
        if (!clickOrder_.empty()) clickOrder_ += kListSepText;
        clickOrder_ += name;
    } else {
        std::string kept;
        int position = 1;
        while (position != -1 && !clickOrder_.empty()) {
            std::string field = mVBUtil::NextToken(kListSepText, clickOrder_, position);
            if (field == name) continue;
            if (!kept.empty()) kept += kListSepText;
            kept += field;
        }
        clickOrder_ = kept;
    }
    EnableLogic(List1->selectedItems().size() >= 2);
}

void frmSelTag::Option1_Click(int index) {
    TagLogic = static_cast<std::int16_t>(index);
}

void frmSelTag::cmdOK_Click() {
    if (!cmdOK->isEnabled()) return;
    if (List1->selectedItems().isEmpty()) {
        platform::Beep();
        return;
    }
    std::string first = mVBUtil::GetField(kListSepText, clickOrder_, 1);
    SelectedTags = first;
    SelectedCount = 1;
    bool found = false;
    for (int i = 0; i < List1->count(); ++i) {
        if (!List1->item(i)->isSelected()) continue;
        std::string name = platform::FromQString(List1->item(i)->text());
        if (name == first && !found) {
            found = true;
            continue;
        }
        SelectedTags += kListSepText + name;
        ++SelectedCount;
    }
    if (!found) {
        SelectedTags.clear();
        SelectedCount = 0;
        for (int i = 0; i < List1->count(); ++i) {
            if (!List1->item(i)->isSelected()) continue;
            if (SelectedCount > 0) SelectedTags += kListSepText;
            SelectedTags += platform::FromQString(List1->item(i)->text());
            ++SelectedCount;
        }
    }
    Unload(QDialog::Accepted);
}

void frmSelTag::cmdCancel_Click() {
    SelectedCount = 0;
    Unload(QDialog::Rejected);
}

// ---------------------------------------------------------------- frmTxtSrch

frmTxtSrch::frmTxtSrch(QWidget* parent) : FormDialog(parent) {
    setWindowTitle("Search OCR Text");
    setModal(true);
    Text1 = new QLineEdit(this);
    // A "?" in place of a character it cannot hold would widen the search.
    platform::TypedTextGuard::Guard(Text1);
    Frame1 = new QGroupBox("Binary Operator", this);
    auto* options = new QVBoxLayout(Frame1);
    Option1[0] = new QRadioButton("OR (any word can exist)", Frame1);
    Option1[1] = new QRadioButton("AND (all words must exist)", Frame1);
    for (int i = 0; i < 2; ++i) {
        options->addWidget(Option1[static_cast<size_t>(i)]);
        connect(Option1[static_cast<size_t>(i)], &QRadioButton::toggled, this, [this, i](bool on) {
            if (on) Option1_Click(i);
        });
    }
    cmdOK = new QPushButton("&OK", this);
    cmdCancel = new QPushButton("&Cancel", this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Text1);
    layout->addWidget(Frame1);
    layout->addLayout(ButtonRow(cmdOK, cmdCancel));
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
}

void frmTxtSrch::Form_Load() {
    if (Operator != 0) Operator = 1;
    Option1[static_cast<size_t>(Operator)]->setChecked(true);
    if (!DialogCaption.empty()) setWindowTitle(platform::ToQString(DialogCaption));
    if (!SearchText.empty()) Text1->setText(platform::ToQString(SearchText));
}

void frmTxtSrch::Option1_Click(int index) {
    Operator = static_cast<std::int16_t>(index);
}

void frmTxtSrch::cmdOK_Click() {
    SearchText = mVBUtil::TrimSpaces(platform::FromQString(Text1->text()));
    Unload(QDialog::Accepted);
}

void frmTxtSrch::cmdCancel_Click() {
    SearchText.clear();
    Unload(QDialog::Rejected);
}

// ----------------------------------------------------------------- frmDtSrch

frmDtSrch::frmDtSrch(QWidget* parent) : FormDialog(parent) {
    setWindowTitle("Search by Date");
    setModal(true);
    Frame1 = new QGroupBox("Criteria", this);
    Combo1 = new QComboBox(Frame1);
    for (const char* entry : {"Equal To", "Less Than or Equal To", "Greater Than or Equal To",
                              "Between", "Documents Without a Date!"})
        Combo1->addItem(entry);
    (new QVBoxLayout(Frame1))->addWidget(Combo1);
    Frame2 = new QGroupBox("Date (YYYYMMDD)", this);
    txtDate1 = new QLineEdit(Frame2);
    txtDate2 = new QLineEdit(Frame2);
    auto* dates = new QHBoxLayout(Frame2);
    for (QLineEdit* box : {txtDate1, txtDate2}) {
        box->setToolTip("Format YYYYMMDD");
        box->installEventFilter(this);
        platform::TypedTextGuard::Guard(box);
        dates->addWidget(box);
    }
    cmdOK = new QPushButton("&OK", this);
    cmdCancel = new QPushButton("&Cancel", this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Frame1);
    layout->addWidget(Frame2);
    layout->addLayout(ButtonRow(cmdOK, cmdCancel));
    connect(Combo1, &QComboBox::currentIndexChanged, this, [this] { Combo1_Click(); });
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
}

std::string& frmDtSrch::TodayForTest() {
    static std::string today;
    return today;
}

std::string frmDtSrch::Today() {
    if (!TodayForTest().empty()) return TodayForTest();
    return QDate::currentDate().toString("yyyyMMdd").toStdString();
}

void frmDtSrch::Form_Load() {
    if (Criterion < 1 || Criterion > 5) Criterion = 1;
    if (StartDate.empty()) StartDate = Today();
    txtDate1->setText(platform::ToQString(StartDate));
    txtDate1->selectAll();
    txtDate2->setVisible(false);
    txtDate2->setText(platform::ToQString(EndDate));
    // Setting the index runs the click handling, as choosing it would.
    Combo1->setCurrentIndex(Criterion - 1);
    Combo1_Click();
}

void frmDtSrch::Combo1_Click() {
    Criterion = static_cast<std::int16_t>(Combo1->currentIndex() + 1);
    txtDate2->setVisible(Criterion == 4);
    Frame2->setVisible(Criterion != 5);
}

bool frmDtSrch::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::FocusIn) {
        if (auto* box = qobject_cast<QLineEdit*>(watched))
            QTimer::singleShot(0, box, [box] { box->selectAll(); });
    }
    return FormDialog::eventFilter(watched, event);
}

void frmDtSrch::ShowInvalidDate() {
    platform::Beep();
    platform::MsgBox("Date Format must be YYYYMMDD", platform::vbCritical, "Invalid Date Entered");
}

void frmDtSrch::cmdOK_Click() {
    if (Criterion == 5) {
        platform::Beep();
        int answer = platform::MsgBox(
            "This Option will search for all\ndocuments that have an empty Date field.",
            platform::vbYesNo | platform::vbInformation | platform::vbDefaultButton2,
            "OK to Proceed?");
        if (answer == platform::vbYes) Unload(QDialog::Accepted);
        return;
    }
    const int year = std::stoi(Today().substr(0, 4));
    std::string first = platform::FromQString(txtDate1->text());
    std::string second = platform::FromQString(txtDate2->text());
    if (!IsValidSearchDate(first, year)) {
        ShowInvalidDate();
        return;
    }
    if (Criterion == 4) {
        if (second.empty()) {
            platform::Beep();
            platform::MsgBox("Missing Ending Date Range", platform::vbCritical, "Warning");
            return;
        }
        if (!IsValidSearchDate(second, year)) {
            ShowInvalidDate();
            return;
        }
    }
    StartDate = first;
    EndDate = second;
    if (Criterion == 4 && StartDate > EndDate) {
        platform::Beep();
        platform::MsgBox("Ending Date comes before Start Date", platform::vbCritical,
                         "Invalid date Range");
        return;
    }
    Unload(QDialog::Accepted);
}

void frmDtSrch::cmdCancel_Click() {
    Criterion = 0;
    Unload(QDialog::Rejected);
}

}  // namespace navigation
