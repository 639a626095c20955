#include "foundation/widgets/common_dialogs.h"

#include <QColorDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFontDialog>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPushButton>
#include <QVBoxLayout>

#include "foundation/binary_files.h"
#include "foundation/fields.h"
#include "platform/prompts.h"
#include "platform/rounding.h"
#include "platform/text_codec.h"

namespace mComDlg {
namespace {

CommonDialogRunner*& Current() {
    static QtCommonDialogRunner qtRunner;
    static CommonDialogRunner* current = &qtRunner;
    return current;
}

QColor ToQColor(std::uint32_t rgb) {
    return QColor(RedOf(rgb), GreenOf(rgb), BlueOf(rgb));
}
std::uint32_t FromQColor(const QColor& c) {
    return RgbColor(c.red(), c.green(), c.blue());
}

QString NameFilter(const FileFilterItem& item) {
    QStringList patterns;
    int count = mVBUtil::CountFields(";", item.pattern);
    for (int i = 1; i <= count; ++i) {
        std::string p = mVBUtil::TrimSpaces(mVBUtil::GetField(";", item.pattern, i));
        if (!p.empty()) patterns << platform::ToQString(CaseInsensitivePattern(p));
    }
    return platform::ToQString(item.description) + " (" + patterns.join(' ') + ")";
}

}  // namespace

CommonDialogRunner& CurrentDialogRunner() {
    return *Current();
}

ScopedDialogRunner::ScopedDialogRunner(CommonDialogRunner& runner) : previous_(Current()) {
    Current() = &runner;
}
ScopedDialogRunner::~ScopedDialogRunner() {
    Current() = previous_;
}

// ------------------------------------------------------------- Qt dialogs

std::optional<std::uint32_t> QtCommonDialogRunner::RunColor(QWidget* owner, std::uint32_t start) {
    // The custom colours start black on every call and are not kept.
    for (int i = 0; i < QColorDialog::customCount(); ++i) {
        QColorDialog::setCustomColor(i, QColor(Qt::black));
    }
    QColor chosen = QColorDialog::getColor(ToQColor(start), owner, QString(),
                                           QColorDialog::DontUseNativeDialog);
    if (!chosen.isValid()) return std::nullopt;
    return FromQColor(chosen);
}

std::optional<FontChoice> QtCommonDialogRunner::RunFont(QWidget* owner, const FontChoice& start) {
    FontColorDialog dialog(owner);
    dialog.SetChoice(start);
    if (dialog.exec() != QDialog::Accepted) return std::nullopt;
    return dialog.Choice();
}

std::optional<FileAnswer> QtCommonDialogRunner::RunFile(QWidget* owner,
                                                        const FileRequest& request) {
    QFileDialog dialog(owner, platform::ToQString(request.title));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setOption(QFileDialog::DontConfirmOverwrite);
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    QStringList filters;
    for (const FileFilterItem& item : request.filters) filters << NameFilter(item);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        if (request.filterIndex >= 1 && request.filterIndex <= filters.size()) {
            dialog.selectNameFilter(filters[request.filterIndex - 1]);
        }
    }
    if (!request.folder.empty()) dialog.setDirectory(platform::ToQString(request.folder));
    if (!request.fileName.empty()) dialog.selectFile(platform::ToQString(request.fileName));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    FileAnswer answer;
    const QString chosen = dialog.selectedFiles().first();
    answer.path = platform::FromQString(chosen);
    answer.nameKept = platform::OutsideCodePage(chosen).isEmpty();
    // With the patterns hidden the dialog names the filter by its description.
    QString used = dialog.selectedNameFilter();
    for (int i = 0; i < filters.size(); ++i) {
        if (used == filters[i] || used == platform::ToQString(request.filters[i].description)) {
            answer.filterIndex = i + 1;
            break;
        }
    }
    return answer;
}

// ----------------------------------------------------------- font dialog

FontColorDialog::FontColorDialog(QWidget* parent) : QDialog(parent) {
    setWindowTitle("Font");
    fontPicker = new QFontDialog(this);
    fontPicker->setWindowFlags(Qt::Widget);
    fontPicker->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
    cmdColor = new QPushButton("C&olor...", this);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    auto* row = new QHBoxLayout;
    row->addWidget(cmdColor);
    row->addStretch();
    row->addWidget(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(fontPicker);
    layout->addLayout(row);
    connect(cmdColor, &QPushButton::clicked, this, [this] { ChooseColor(); });
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    // The chooser is a dialog of its own: Enter and Escape would close it
    // alone and leave this one empty. They act on the whole dialog.
    fontPicker->installEventFilter(this);
    connect(fontPicker, &QDialog::finished, this, &QDialog::done);
}

bool FontColorDialog::eventFilter(QObject* watched, QEvent* event) {
    if (watched == fontPicker && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            accept();
            return true;
        }
        if (key == Qt::Key_Escape) {
            reject();
            return true;
        }
    }
    return QDialog::eventFilter(watched, event);
}

void FontColorDialog::SetChoice(const FontChoice& choice) {
    QFont font(platform::ToQString(choice.face));
    font.setPointSizeF(choice.pointTenths / 10.0);
    font.setWeight(static_cast<QFont::Weight>(choice.weight));
    font.setItalic(choice.italic);
    font.setUnderline(choice.underline);
    fontPicker->setCurrentFont(font);
    // A face this machine lacks is shown as a stand-in; untouched, it stays.
    startFace_ = choice.face;
    shownFace_ = fontPicker->currentFont().family();
    SetColor(choice.color);
}

void FontColorDialog::SetColor(std::uint32_t color) {
    color_ = color;
    QPixmap swatch(16, 16);
    swatch.fill(ToQColor(color));
    cmdColor->setIcon(QIcon(swatch));
}

FontChoice FontColorDialog::Choice() const {
    QFont font = fontPicker->currentFont();
    FontChoice choice;
    choice.face = font.family() == shownFace_ ? startFace_ : platform::FromQString(font.family());
    choice.pointTenths = platform::RoundToInt(font.pointSizeF() * 10.0);
    choice.weight = font.weight();
    choice.italic = font.italic();
    choice.underline = font.underline();
    choice.color = color_;
    return choice;
}

void FontColorDialog::ChooseColor() {
    QColor chosen = QColorDialog::getColor(ToQColor(color_), this, QString(),
                                           QColorDialog::DontUseNativeDialog);
    if (chosen.isValid()) SetColor(FromQColor(chosen));
}

// ----------------------------------------------------------- procedures

bool ShowColorDialog(QWidget* owner, std::uint32_t& color) {
    std::optional<std::uint32_t> chosen = CurrentDialogRunner().RunColor(owner, color);
    if (!chosen) return false;
    color = *chosen;
    return true;
}

bool ShowFontDialog(QWidget* owner, std::string& face, int& size, int& style,
                    std::uint32_t& color) {
    ApplyFontDefaults(face, size);
    FontChoice start;
    start.face = FaceOffered(face);
    start.pointTenths = size * 10;
    start.weight = (style & kFontBold) ? 700 : 400;
    start.italic = (style & kFontItalic) != 0;
    start.underline = (style & kFontUnderline) != 0;
    start.color = color;
    std::optional<FontChoice> chosen = CurrentDialogRunner().RunFont(owner, start);
    if (!chosen) return false;
    color = chosen->color;
    style = FontStyleBits(chosen->weight, chosen->italic, chosen->underline);
    face = mVBUtil::TrimAtNull(chosen->face).substr(0, 32);
    size = PointSizeFromTenths(chosen->pointTenths);
    return true;
}

bool ShowFileDialog(QWidget* owner, std::string& path, const std::string& filter, int filterIndex,
                    int mode, bool* replaceAgreed) {
    if (replaceAgreed != nullptr) *replaceAgreed = false;
    FileRequest request;
    request.save = mode == 1;
    request.title = request.save ? "Save File" : "Open File";
    if (!path.empty()) SplitFolder(path, request.folder, request.fileName);
    request.filters = ParseFileFilter(filter);
    request.filterIndex = request.filters.empty() ? 0 : filterIndex;
    for (;;) {
        std::optional<FileAnswer> answer = CurrentDialogRunner().RunFile(owner, request);
        if (!answer) return false;
        std::string chosen = mVBUtil::TrimAtNull(answer->path);
        if (chosen.empty()) return false;
        if (!answer->nameKept) {
            // The converted name would open or replace some other file.
            platform::Beep();
            platform::MsgBox("The file name holds characters this system cannot keep.\n"
                             "Please choose or enter another name.\n\n" + chosen,
                             platform::vbCritical, "Invalid File Name");
            SplitFolder(chosen, request.folder, request.fileName);
            request.fileName.clear();
            request.filterIndex = answer->filterIndex;
            continue;
        }
        if (request.save && answer->filterIndex >= 1 &&
            answer->filterIndex <= static_cast<int>(request.filters.size())) {
            const FileFilterItem& used =
                request.filters[static_cast<size_t>(answer->filterIndex - 1)];
            chosen = AddDefaultExtension(chosen, DefaultExtension(used.pattern));
        }
        path = chosen;
        if (!request.save || !mVBUtil::FileExists(chosen)) return true;
        platform::Beep();
        int reply = platform::MsgBox("File already exists.  Overwrite file?\n\n" + chosen,
                                     platform::vbYesNo | platform::vbDefaultButton2, "Warning");
        // The file stays until the caller's output replaces it: a write
        // that fails must not have cost the user the old one.
        if (reply == platform::vbYes) {
            if (replaceAgreed != nullptr) *replaceAgreed = true;
            return true;
        }
        SplitFolder(chosen, request.folder, request.fileName);
        request.filterIndex = answer->filterIndex;
    }
}

}  // namespace mComDlg
