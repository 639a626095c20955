#include "platform/widgets/qt_prompts.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QSpacerItem>
#include <QStringList>

#include "platform/text_codec.h"
#include "platform/widgets/held_key_filter.h"
#include "platform/widgets/typed_text_guard.h"

namespace platform {
namespace {

QMessageBox::Icon IconOf(int style) {
    switch (style & kIconMask) {
        case vbCritical:
            return QMessageBox::Critical;
        case vbQuestion:
            return QMessageBox::Question;
        case vbExclamation:
            return QMessageBox::Warning;
        case vbInformation:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

struct Button {
    QMessageBox::StandardButton qt;
    int answer;
};

std::vector<Button> ButtonsOf(int style) {
    switch (style & kButtonMask) {
        case vbOKCancel:
            return {{QMessageBox::Ok, vbOK}, {QMessageBox::Cancel, vbCancel}};
        case vbAbortRetryIgnore:
            return {{QMessageBox::Abort, vbAbort},
                    {QMessageBox::Retry, vbRetry},
                    {QMessageBox::Ignore, vbIgnore}};
        case vbYesNoCancel:
            return {{QMessageBox::Yes, vbYes},
                    {QMessageBox::No, vbNo},
                    {QMessageBox::Cancel, vbCancel}};
        case vbYesNo:
            return {{QMessageBox::Yes, vbYes}, {QMessageBox::No, vbNo}};
        case vbRetryCancel:
            return {{QMessageBox::Retry, vbRetry}, {QMessageBox::Cancel, vbCancel}};
        default:
            return {{QMessageBox::Ok, vbOK}};
    }
}

// Room the title bar takes beside its text: the window's icon and buttons on
// both sides, as the text is centred on many desktops.
constexpr int kTitleBarRoom = 200;

// Qt sizes a message box for its text; the title is drawn by the desktop in
// a heavier font, so a short text cut it. A spacer keeps the box wide enough.
void FitTitle(QMessageBox& box, const QString& title) {
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (grid == nullptr || title.isEmpty()) return;
    QFont font = QApplication::font("QMdiSubWindowTitleBar");
    font.setBold(true);
    const int width = QFontMetrics(font).horizontalAdvance(title) + kTitleBarRoom;
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Minimum),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

}  // namespace

int QtPrompts::MsgBox(const std::string& text, int style, const std::string& title) {
    QMessageBox box(IconOf(style), ToQString(title), ToQString(text), QMessageBox::NoButton,
                    QApplication::activeWindow());
    std::vector<Button> buttons = ButtonsOf(style);
    for (const Button& b : buttons) box.addButton(b.qt);
    size_t def = (style & vbDefaultButton3) ? 2 : (style & vbDefaultButton2) ? 1 : 0;
    if (def < buttons.size()) box.setDefaultButton(buttons[def].qt);
    FitTitle(box, ToQString(title));
    // A warning closed by a key held from before it showed is never read.
    const HeldKeyFilter heldKeys(box);
    auto pressed = static_cast<QMessageBox::StandardButton>(box.exec());
    for (const Button& b : buttons) {
        if (b.qt == pressed) return b.answer;
    }
    // Closed by the window's close button: the cancelling answer when there is one.
    for (const Button& b : buttons) {
        if (b.answer == vbCancel) return vbCancel;
    }
    return buttons.back().answer;
}

namespace {

std::string AskText(const std::string& prompt, const std::string& title,
                    const std::string& defaultText, QLineEdit::EchoMode echo) {
    QInputDialog box(QApplication::activeWindow());
    box.setInputMode(QInputDialog::TextInput);
    box.setTextEchoMode(echo);
    box.setWindowTitle(ToQString(title));
    box.setLabelText(ToQString(prompt));
    box.setTextValue(ToQString(defaultText));
    // What is typed here is kept as code page bytes: nothing else may enter.
    if (auto* line = box.findChild<QLineEdit*>()) TypedTextGuard::Guard(line);
    if (box.exec() != QDialog::Accepted) return std::string();
    return FromQString(box.textValue());
}

}  // namespace

std::string QtPrompts::InputBox(const std::string& prompt, const std::string& title,
                                const std::string& defaultText) {
    return AskText(prompt, title, defaultText, QLineEdit::Normal);
}

std::string QtPrompts::PasswordBox(const std::string& prompt, const std::string& title) {
    return AskText(prompt, title, "", QLineEdit::Password);
}

void QtPrompts::Beep() {
    QApplication::beep();
}

int QtPrompts::PickFromList(const std::string& title, const std::vector<std::string>& items,
                            int preselected) {
    QStringList list;
    for (const auto& item : items) list << ToQString(item);
    bool ok = false;
    int current =
        preselected >= 1 && preselected <= static_cast<int>(items.size()) ? preselected - 1 : 0;
    QString chosen = QInputDialog::getItem(QApplication::activeWindow(), ToQString(title),
                                           QString(), list, current, false, &ok);
    if (!ok) return 0;
    int index = static_cast<int>(list.indexOf(chosen));
    return index < 0 ? 0 : index + 1;
}

}  // namespace platform
