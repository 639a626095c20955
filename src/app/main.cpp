// The program's entry: creates the main window and runs it.

#include <QApplication>

#include "platform/prompts.h"
#include "platform/widgets/qt_prompts.h"
#include "viewer/widgets/frm_view.h"

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("talqvyn"));
    platform::QtPrompts prompts;
    platform::InstallPrompts(prompts);

    viewer::frmView window;
    window.Form_Load();
    window.show();
    return QApplication::exec();
}
