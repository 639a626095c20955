#include "annotations/widgets/note_dialogs.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>
#include <utility>

#include "annotations/annotation_edit.h"
#include "foundation/fields.h"
#include "foundation/widgets/common_dialogs.h"
#include "platform/prompts.h"
#include "platform/text_codec.h"
#include "platform/widgets/typed_text_guard.h"
#include "platform/wire_separators.h"

namespace annotations {
namespace {

std::string Trimmed(const std::string& s) {
    const std::size_t b = s.find_first_not_of(' ');
    if (b == std::string::npos) return "";
    return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

std::string BoxText(const QLineEdit* box) {
    return Trimmed(CleanUserText(platform::FromQString(box->text())));
}

}  // namespace

// ------------------------------------------------------------------ frmAnnot

frmAnnot::frmAnnot(QWidget* parent) : FormDialog(parent) {
    setWindowTitle("Enter Annotation");
    setModal(true);
    menuBar = new QMenuBar(this);
    mnuDelete = menuBar->addAction("&Delete");
    mnuFont = menuBar->addAction("&Font");
    Text1 = new QPlainTextEdit(this);
    Text1->setMinimumSize(360, 160);
    guard_ = platform::TypedTextGuard::Guard(Text1);
    // The limit is of what will be stored: a line end counts twice.
    guard_->SetMeasure([](const QString& text) {
        return static_cast<int>(StoredNoteText(platform::FromQString(text)).size());
    });
    lblStatus = new QLabel(this);
    lblStatus->setWordWrap(true);
    cmdOK = new QPushButton("&OK", this);
    cmdCancel = new QPushButton("&Cancel", this);
    auto* layout = new QVBoxLayout(this);
    layout->setMenuBar(menuBar);
    layout->addWidget(Text1);
    layout->addWidget(lblStatus);
    layout->addLayout(ButtonRow(cmdOK, cmdCancel));
    // The guard's own handler runs first: the count is of what was kept.
    connect(Text1, &QPlainTextEdit::textChanged, this, [this] { ShowRoomLeft(); });
    connect(guard_, &platform::TypedTextGuard::Refused, this, [this](const QString& reason) {
        lblStatus->setText(reason);
        keepReason_ = true;
    });
    connect(mnuDelete, &QAction::triggered, this, [this] { mnuDelete_Click(); });
    connect(mnuFont, &QAction::triggered, this, [this] { mnuFont_Click(); });
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
}

void frmAnnot::Form_Load() {
    Result = 0;
    if (Mode == 1) {
        setWindowTitle("Enter Sticky Note");
        mnuFont->setEnabled(false);
    } else if (Mode == 2) {
        setWindowTitle("Sticky Note");
        mnuFont->setEnabled(false);
        mnuDelete->setEnabled(false);
        cmdOK->setEnabled(false);
        Text1->setReadOnly(true);
        lblStatus->hide();
    }
    // A stored note may be longer than a typed one may grow; it is shown whole.
    guard_->SetLimit(INT_MAX);
    Text1->setPlainText(platform::ToQString(NoteText));
    guard_->SetLimit(kMaxNoteText);
    ShowRoomLeft();
}

void frmAnnot::ShowRoomLeft() {
    // The reason of a refusal stays until the next change.
    if (std::exchange(keepReason_, false)) return;
    const int left = kMaxNoteText - guard_->Measure(Text1->toPlainText());
    lblStatus->setText(left == 1 ? QStringLiteral("1 character left")
                                 : QStringLiteral("%1 characters left").arg(std::max(0, left)));
}

void frmAnnot::Finish(std::int16_t result) {
    Result = result;
    if (Save) {
        saving_ = true;
        const bool saved = Save(*this);
        saving_ = false;
        if (!saved) {
            Result = 0;
            return;
        }
    }
    Unload(QDialog::Accepted);
}

void frmAnnot::cmdOK_Click() {
    if (!cmdOK->isEnabled()) return;
    // The save yields while it waits: no second press may start another.
    if (saving_) return platform::Beep();
    NoteText = StoredNoteText(platform::FromQString(Text1->toPlainText()));
    Finish(0);
}

void frmAnnot::cmdCancel_Click() {
    if (saving_) return platform::Beep();
    Result = 1;
    Unload(QDialog::Rejected);
}

void frmAnnot::mnuDelete_Click() {
    if (!mnuDelete->isEnabled()) return;
    if (saving_) return platform::Beep();
    const std::string text =
        Mode == 1 ? "OK to Delete This Sticky Note?" : "OK to Delete This Annotation?";
    if (platform::MsgBox(text,
                         platform::vbYesNo | platform::vbQuestion | platform::vbDefaultButton2,
                         "Warning") != platform::vbYes) {
        return;
    }
    Finish(2);
}

void frmAnnot::mnuFont_Click() {
    if (!mnuFont->isEnabled()) return;
    auto color = static_cast<std::uint32_t>(FontColor);
    std::string face = FontName;
    int size = FontSize, style = FontStyle;
    if (!mComDlg::ShowFontDialog(this, face, size, style, color)) return;
    FontName = face;
    FontSize = size;
    FontStyle = style;
    FontColor = static_cast<std::int32_t>(color);
}

// ------------------------------------------------------------------- frmClip

frmClip::frmClip(QWidget* parent) : FormDialog(parent) {
    setWindowTitle("Add/Modify/Delete Clip");
    setModal(true);
    Frame1 = new QGroupBox("File to Open", this);
    txtFile = new QLineEdit(Frame1);
    cmdBrowseFile = new QPushButton("Browse", Frame1);
    auto* fileRow = new QHBoxLayout(Frame1);
    fileRow->addWidget(txtFile, 1);
    fileRow->addWidget(cmdBrowseFile);
    Check1 = new QCheckBox("Open with:", this);
    txtProgram = new QLineEdit(this);
    cmdBrowsePrg = new QPushButton("Browse", this);
    auto* programRow = new QHBoxLayout;
    programRow->addWidget(Check1);
    programRow->addWidget(txtProgram, 1);
    programRow->addWidget(cmdBrowsePrg);
    lblWarning = new QLabel("Warning! Clips can only be modified in Local Access Mode.", this);
    lblStoredNow = new QLabel(this);
    lblStoredNow->setWordWrap(true);
    lblStoredNow->setTextFormat(Qt::PlainText);
    cmdTest = new QPushButton("&Test", this);
    cmdOK = new QPushButton("&OK", this);
    cmdOK->setDefault(true);
    cmdCancel = new QPushButton("&Cancel", this);
    cmdDelete = new QPushButton("&Delete", this);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(cmdTest);
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdCancel);
    buttons->addWidget(cmdDelete);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(lblStoredNow);
    layout->addWidget(Frame1);
    layout->addLayout(programRow);
    layout->addWidget(lblWarning);
    layout->addLayout(buttons);
    setMinimumWidth(480);

    // A path is stored in the code page like a note.
    platform::TypedTextGuard::Guard(txtFile);
    platform::TypedTextGuard::Guard(txtProgram);
    auto edited = [this] {
        if (!loading_) Changed = 1;
    };
    connect(txtFile, &QLineEdit::textEdited, this, edited);
    connect(txtProgram, &QLineEdit::textEdited, this, edited);
    connect(Check1, &QCheckBox::clicked, this, [this] { Check1_Click(); });
    connect(cmdBrowseFile, &QPushButton::clicked, this, [this] { cmdBrowseFile_Click(); });
    connect(cmdBrowsePrg, &QPushButton::clicked, this, [this] { cmdBrowsePrg_Click(); });
    connect(cmdTest, &QPushButton::clicked, this, [this] { cmdTest_Click(); });
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });
    connect(cmdDelete, &QPushButton::clicked, this, [this] { cmdDelete_Click(); });
}

void frmClip::Form_Load() {
    loading_ = true;
    Result = 0;
    Changed = 0;
    std::string file, program;
    if (!ClipText.empty()) {
        const std::string sep(1, wire::kListSep);
        if (ClipMode == 1) {
            file = mVBUtil::GetField(sep, ClipText, 1);
        } else if (ClipMode == 2) {
            file = mVBUtil::GetField(sep, ClipText, 1);
            program = mVBUtil::GetField(sep, ClipText, 2);
        } else {
            const ClipTarget t = ReadStoredClip(ClipMode, ClipText);
            file = t.file;
            program = t.program;
            ClipMode = t.mode;
            Changed = 1;
        }
    }
    txtFile->setText(platform::ToQString(file));
    txtProgram->setText(platform::ToQString(program));
    Check1->setChecked(!program.empty());
    txtProgram->setEnabled(!program.empty());
    cmdBrowsePrg->setEnabled(!program.empty());
    const bool remote = ClientAPI != nullptr && ClientAPI->IsRemoteAccess();
    if (remote) {
        for (QWidget* w :
             std::initializer_list<QWidget*>{txtFile, txtProgram, cmdBrowseFile, cmdBrowsePrg,
                                             Check1, cmdTest, cmdDelete, cmdOK}) {
            w->setEnabled(false);
        }
    }
    lblWarning->setVisible(remote);
    // A clip draws only its icon: nowhere else would the reviewer see what
    // OK replaces.
    lblStoredNow->setText(
        StoredNow.empty()
            ? QString()
            : platform::ToQString("Another user changed this clip. Now stored: " + StoredNow +
                                  "\nOK replaces it with what is typed below."));
    lblStoredNow->setVisible(!StoredNow.empty());
    loading_ = false;
}

void frmClip::Check1_Click() {
    txtProgram->setEnabled(Check1->isChecked());
    cmdBrowsePrg->setEnabled(Check1->isChecked());
}

void frmClip::cmdBrowseFile_Click() {
    if (!cmdBrowseFile->isEnabled()) return;
    std::string path = platform::FromQString(txtFile->text());
    if (!mComDlg::ShowFileDialog(this, path, "All Files|*.*", 1, 0)) return;
    txtFile->setText(platform::ToQString(path));
    Changed = 1;
}

void frmClip::cmdBrowsePrg_Click() {
    if (!cmdBrowsePrg->isEnabled()) return;
    std::string path = platform::FromQString(txtProgram->text());
    // Programs carry no extension here: every file is offered.
    if (!mComDlg::ShowFileDialog(this, path, "All Files|*.*", 1, 0)) return;
    txtProgram->setText(platform::ToQString(path));
    Changed = 1;
}

bool frmClip::ReadFields(ClipTarget& target) {
    target.file = BoxText(txtFile);
    target.program = BoxText(txtProgram);
    target.mode = Check1->isChecked() ? 2 : 1;
    ClipMode = target.mode;
    const char* missing = nullptr;
    if (target.mode == 2 && target.program.empty())
        missing = "Missing Program to Open File with.";
    else if (target.file.empty())
        missing = "Missing File Item";
    if (missing == nullptr) return true;
    platform::Beep();
    platform::MsgBox(missing, platform::vbInformation, "Warning");
    return false;
}

void frmClip::cmdTest_Click() {
    if (!cmdTest->isEnabled()) return;
    ClipTarget target;
    if (!ReadFields(target)) return;
    bool declined = false;
    if (RunClipTarget(target, declined) || declined) return;
    platform::Beep();
    platform::MsgBox("Error Executing Clip Command", platform::vbCritical, "Warning");
}

void frmClip::cmdOK_Click() {
    if (!cmdOK->isEnabled()) return;
    ClipTarget target;
    if (!ReadFields(target)) return;
    ClipText = target.mode == 2 ? target.file + std::string(1, wire::kListSep) + target.program
                                : target.file;
    Unload(QDialog::Accepted);
}

void frmClip::cmdCancel_Click() {
    Result = 1;
    Unload(QDialog::Rejected);
}

void frmClip::cmdDelete_Click() {
    if (!cmdDelete->isEnabled()) return;
    if (!ClipText.empty()) {
        platform::Beep();
        if (platform::MsgBox("OK to DELETE this Clip?", platform::vbYesNo, "Warning") !=
            platform::vbYes) {
            return;
        }
    }
    Changed = 1;
    ClipText.clear();
    Unload(QDialog::Accepted);
}

}  // namespace annotations
