#include "platform/widgets/qt_prompts.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontMetrics>
#include <QMessageBox>
#include <QTimer>

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
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, [&] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QMessageBox*>(w);
                if (box == nullptr || !box->isVisible()) continue;
                width = box->width();
                box->done(0);
            }
        });
        poll.start(0);
        prompts.MsgBox(c.text, c.style, c.title);
        poll.stop();
        // The title bar's icon and buttons take room of their own beside the text.
        EXPECT_GE(width, metrics.horizontalAdvance(QString::fromLatin1(c.title)) + 150) << c.title;
    }
}

}  // namespace
