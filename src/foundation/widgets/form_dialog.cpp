#include "foundation/widgets/form_dialog.h"

#include <QCloseEvent>
#include <QHBoxLayout>
#include <QPushButton>

FormDialog::FormDialog(QWidget* parent) : QDialog(parent) {}

void FormDialog::Load() {
    if (loaded_) return;
    loaded_ = true;
    Form_Load();
}

void FormDialog::setVisible(bool visible) {
    if (visible) Load();
    QDialog::setVisible(visible);
}

void FormDialog::reject() {
    if (!unloaded_) Form_Cancel();
}

void FormDialog::closeEvent(QCloseEvent* event) {
    if (!unloaded_) Form_Cancel();
    // A Form_Cancel that keeps the dialog open keeps the window too.
    if (unloaded_) {
        event->accept();
    } else {
        event->ignore();
    }
}

void FormDialog::Unload(int result) {
    Form_Unload();
    unloaded_ = true;
    done(result);
}

QHBoxLayout* FormDialog::ButtonRow(QPushButton* ok, QPushButton* cancel) {
    // Left to itself Qt makes the first button in the tab order the default,
    // often a side button such as a browse or list button.
    ok->setDefault(true);
    auto* row = new QHBoxLayout;
    row->addStretch();
    row->addWidget(ok);
    row->addWidget(cancel);
    return row;
}
