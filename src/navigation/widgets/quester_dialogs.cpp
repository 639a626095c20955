#include "navigation/widgets/quester_dialogs.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "foundation/fields.h"
#include "platform/prompts.h"
#include "platform/text_codec.h"
#include "platform/widgets/typed_text_guard.h"

namespace navigation {

// ---------------------------------------------------------- frmQuesterSearch

frmQuesterSearch::frmQuesterSearch(QWidget* parent) : FormDialog(parent) {
    setWindowTitle("Quester Concept Search");
    setModal(true);
    auto* label = new QLabel("Enter Search Phrase", this);
    Text1 = new QLineEdit(this);
    Text1->setMinimumWidth(320);
    // A "?" in place of a character it cannot hold would change the phrase.
    platform::TypedTextGuard::Guard(Text1);
    Check1 = new QCheckBox("Perform Spell Check", this);
    cmdSearch = new QPushButton("&Search", this);
    cmdCancel = new QPushButton("&Cancel", this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(label);
    layout->addWidget(Text1);
    layout->addWidget(Check1);
    layout->addLayout(ButtonRow(cmdSearch, cmdCancel));
    connect(cmdSearch, &QPushButton::clicked, this, [this] { cmdSearch_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
}

void frmQuesterSearch::Form_Load() {
    Cancelled = 0;
    Phrase.clear();
    Check1->setChecked(SpellCheck);
}

void frmQuesterSearch::cmdSearch_Click() {
    Phrase = mVBUtil::TrimSpaces(platform::FromQString(Text1->text()));
    if (Phrase.empty()) {
        platform::Beep();
        return;
    }
    Unload(QDialog::Accepted);
}

void frmQuesterSearch::cmdCancel_Click() {
    Cancelled = 1;
    Unload(QDialog::Rejected);
}

void frmQuesterSearch::Form_Unload() {
    SpellCheck = Check1->isChecked();
}

// ---------------------------------------------------------- frmQuesterCancel

frmQuesterCancel::frmQuesterCancel(QWidget* parent) : FormDialog(parent) {
    setWindowTitle("Processing Search Request");
    setModal(true);
    cmdCancel = new QPushButton("&Cancel", this);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(cmdCancel, 0, Qt::AlignCenter);
    setMinimumWidth(260);
    Timer1 = new QTimer(this);
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
}

void frmQuesterCancel::Form_Load() {
    Status = 0;
    Busy = 0;
    Timer1->start();
}

void frmQuesterCancel::Form_Unload() {
    Timer1->stop();
}

void frmQuesterCancel::Timer1_Timer() {
    if (IsUnloaded()) return;
    // A closing window gives the search up unasked, as a Cancel does; a poll
    // the close cut short fails for no fault of the search.
    auto closing = [this] { return ViewForm != nullptr && ViewForm->CloseAsked(); };
    if (Status >= 1 || closing()) {
        Status = 1;
        Unload(QDialog::Rejected);
        return;
    }
    if (Busy > 0) return;
    Busy = 1;
    const bool running = ViewForm != nullptr && ViewForm->QuesterCheckSearch();
    Busy = 0;
    // A tick during the poll may have closed the window already.
    if (IsUnloaded()) return;
    if (closing()) {
        Status = 1;
        Unload(QDialog::Rejected);
        return;
    }
    if (running) return;
    if (ViewForm == nullptr || !ViewForm->IsQuesterActive()) Status = 2;
    Unload(QDialog::Accepted);
}

void frmQuesterCancel::cmdCancel_Click() {
    if (Status != 0 || IsUnloaded()) return;
    platform::Beep();
    const int answer = platform::MsgBox(
        "Are you sure you want to Cancel this process?",
        platform::vbYesNo | platform::vbQuestion | platform::vbDefaultButton2, "Warning");
    if (answer == platform::vbYes) Status = 1;
}

// ------------------------------------------------------- QuesterChoiceDialog

QuesterChoiceDialog::QuesterChoiceDialog(QWidget* parent, const char* caption,
                                         const char* searchCaption, const char* choiceHeading)
    : FormDialog(parent), choiceHeading_(choiceHeading) {
    setWindowTitle(caption);
    setModal(true);
    top_ = new QLabel(this);
    top_->setWordWrap(true);
    top_->hide();
    cmdSearch = new QPushButton(searchCaption, this);
    cmdSearch->setEnabled(false);
    cmdExit = new QPushButton("Exit", this);
    rows_ = new QGridLayout;
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(top_);
    layout->addLayout(rows_);
    layout->addLayout(ButtonRow(cmdSearch, cmdExit));
    connect(cmdSearch, &QPushButton::clicked, this, [this] { cmdSearch_Click(); });
    connect(cmdExit, &QPushButton::clicked, this, [this] { cmdExit_Click(); });
}

void QuesterChoiceDialog::AddRow(const QuesterRow& row) {
    const int r = static_cast<int>(Word.size());
    WordHeading.push_back(new QLabel("Word", this));
    ConceptHeading.push_back(new QLabel(choiceHeading_, this));
    Word.push_back(new QLabel(platform::ToQString(row.word), this));
    auto* list = new QListWidget(this);
    list->setMaximumHeight(90);
    list->setMinimumWidth(240);
    Definitions.push_back(list);
    for (const std::string& choice : row.choices) list->addItem(platform::ToQString(choice));
    if (row.selected >= 1 && row.selected <= list->count()) list->setCurrentRow(row.selected - 1);
    rows_->addWidget(WordHeading.back(), 2 * r, 0);
    rows_->addWidget(ConceptHeading.back(), 2 * r, 1);
    rows_->addWidget(Word.back(), 2 * r + 1, 0, Qt::AlignTop);
    rows_->addWidget(list, 2 * r + 1, 1);
    connect(list, &QListWidget::itemClicked, this, [this, r] { Definitions_Click(r); });
    connect(list, &QListWidget::itemDoubleClicked, this, [this, r] { Definitions_DblClick(r); });
}

void QuesterChoiceDialog::Form_Unload() {
    // The rows go, the last first; the caller has read what it needs.
    for (auto i = Word.size(); i-- > 0;) {
        Definitions[i]->disconnect(this);
        Definitions[i]->hide();
    }
}

// ------------------------------------------------------------- frmIDexSpell

frmIDexSpell::frmIDexSpell(QWidget* parent)
    : QuesterChoiceDialog(parent, "Spell Check Search Terms", "&Search", "Alternative  Spelling") {
    lblPhrase = top_;
    lblPhrase->show();
}

void frmIDexSpell::ShowPhrase() {
    lblPhrase->setText(platform::ToQString(Phrase));
}

void frmIDexSpell::Definitions_Click(int) {
    cmdSearch->setEnabled(true);
}

void frmIDexSpell::Definitions_DblClick(int row) {
    QListWidgetItem* item = Definitions[static_cast<size_t>(row)]->currentItem();
    if (item != nullptr && item->text() != Word[static_cast<size_t>(row)]->text())
        cmdSearch->setEnabled(true);
}

void frmIDexSpell::cmdSearch_Click() {
    for (size_t r = 0; r < Word.size(); ++r) {
        QListWidgetItem* item = Definitions[r]->currentItem();
        if (item == nullptr || !item->isSelected()) continue;
        const std::string choice = platform::FromQString(item->text());
        const std::string word = platform::FromQString(Word[r]->text());
        if (mVBUtil::TrimSpaces(choice).empty() || choice == word) continue;
        Phrase = ReplaceWholeWord(Phrase, word, choice);
    }
    Unload(QDialog::Accepted);
}

void frmIDexSpell::cmdExit_Click() {
    Cancelled = 1;
    Unload(QDialog::Rejected);
}

// ------------------------------------------------------ frmMMSearchConcepts

frmMMSearchConcepts::frmMMSearchConcepts(QWidget* parent)
    : QuesterChoiceDialog(parent, "Concept Definitions", "Search Again", "Concept") {}

void frmMMSearchConcepts::Form_Load() {
    Selection.clear();
    Cancelled = 0;
}

void frmMMSearchConcepts::LoadArray() {
    InitialIndex.clear();
    for (QListWidget* list : Definitions) InitialIndex.push_back(list->currentRow());
}

void frmMMSearchConcepts::Definitions_DblClick(int row) {
    const auto r = static_cast<size_t>(row);
    const std::int32_t initial = r < InitialIndex.size() ? InitialIndex[r] : -1;
    if (Definitions[r]->currentRow() != initial) cmdSearch->setEnabled(true);
}

void frmMMSearchConcepts::cmdSearch_Click() {
    if (cmdSearch->isEnabled()) {
        Selection.clear();
        for (size_t r = 0; r < Word.size(); ++r) {
            std::string item = platform::FromQString(Word[r]->text());
            if (Definitions[r]->count() >= 2)
                item += std::to_string(Definitions[r]->currentRow() + 1);
            Selection += (r > 0 ? "," : "") + item;
        }
    }
    Unload(QDialog::Accepted);
}

void frmMMSearchConcepts::cmdExit_Click() {
    Cancelled = 1;
    Unload(QDialog::Rejected);
}

}  // namespace navigation
