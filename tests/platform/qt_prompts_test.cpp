#include "platform/widgets/qt_prompts.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QInputDialog>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QToolTip>

#include "platform/scripted_prompts.h"
#include "support/modal_answerer.h"

namespace {

TEST(QtPromptsTest, MessageBoxesAreWideEnoughForTheirTitles) {
    platform::QtPrompts prompts;
    QFont titleFont = QApplication::font("QMdiSubWindowTitleBar");
    titleFont.setBold(true);
    const QFontMetrics metrics(titleFont);
    struct Case {
        const char* title;
        const char* text;
        int style;
    };
    for (const Case& c : {Case{"Warning", "x", platform::vbCritical},
                          Case{"Unable to Create File", "C:\\a", platform::vbCritical},
                          Case{"Error", "", platform::vbOKOnly},
                          Case{"Please Confirm Deletion", "?", platform::vbYesNo}}) {
        int width = 0;
        testsupport::ModalAnswerer answerer([&](QWidget* w) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (box == nullptr) return;
            width = box->width();
            box->done(0);
        });
        prompts.MsgBox(c.text, c.style, c.title);
        // The title bar's icon and buttons take room of their own beside the text.
        EXPECT_GE(width, metrics.horizontalAdvance(QString::fromLatin1(c.title)) + 150) << c.title;
    }
}

TEST(QtPromptsTest, AnInputBoxRefusesWhatTheCodePageCannotHold) {
    platform::QtPrompts prompts;
    platform::ScriptedPrompts beeps;
    platform::ScopedPrompts scoped(beeps);
    QString shown, tip;
    testsupport::ModalAnswerer answerer([&](QWidget* w) {
        auto* box = qobject_cast<QInputDialog*>(w);
        if (box == nullptr) return;
        auto* line = box->findChild<QLineEdit*>();
        line->end(false);
        for (const QString& key : {QString::fromUtf8("\u4E2D"), QString("b")}) {
            QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, key);
            QApplication::sendEvent(line, &press);
        }
        line->insert(QString::fromUtf8("\U0001F600c\u00E9"));  // a paste
        shown = line->text();
        tip = QToolTip::text();
        box->accept();
    });
    const std::string typed = prompts.InputBox("Enter Redaction Label.", " ", "a");
    EXPECT_EQ(typed, "abc\xE9");
    EXPECT_EQ(shown, QString::fromUtf8("abc\u00E9"));
    EXPECT_EQ(beeps.Beeps(), 2);
    EXPECT_TRUE(tip.contains(QString::fromUtf8("\U0001F600"))) << tip.toStdString();
}

}  // namespace
