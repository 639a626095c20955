#pragma once
// The button that Enter presses in a shown dialog, by Qt's own rule: a
// focused button that may act as default, else the visible default button.

#include <QApplication>
#include <QDialog>
#include <QPushButton>

namespace testsupport {

inline QPushButton* EnterButton(QDialog& dialog) {
    dialog.show();
    QApplication::processEvents();
    auto* focused = qobject_cast<QPushButton*>(dialog.focusWidget());
    if (focused != nullptr && focused->autoDefault()) return focused;
    for (QPushButton* button : dialog.findChildren<QPushButton*>()) {
        if (button->isDefault() && button->isVisible()) return button;
    }
    return nullptr;
}

}  // namespace testsupport
