// The program's entry: the start-up routine, then the event loop for as
// long as the main window is up.

#include <QApplication>

#include <csignal>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/printer_cups.h"
#include "platform/prompts.h"
#include "platform/text_codec.h"
#include "platform/widgets/qt_prompts.h"
#include "viewer/startup_command_line.h"
#include "viewer/widgets/close_on_signal.h"
#include "viewer/widgets/startup.h"

int main(int argc, char* argv[]) {
    // Before any window or display is needed, and before a running viewer
    // could be handed the line.
    if (modView::AsksForHelp(std::vector<std::string>(argv + 1, argv + argc))) {
        std::fputs(modView::kCommandLineHelp, stdout);
        return 0;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("talqvyn"));
    platform::QtPrompts prompts;
    platform::InstallPrompts(prompts);
    platform::InstallPrinterCollection(std::make_shared<platform::CupsPrinterCollection>());

    // A logout ends the viewer as Exit does, so its page lock is given back.
    viewer::CloseOnSignal closeOnSignal([](int signal) {
        if (modView::gViewerForm != nullptr) {
            modView::gViewerForm->CloseWhenIdle();
        } else {
            std::signal(signal, SIG_DFL);
            std::raise(signal);
        }
    });
    if (!closeOnSignal.Installed())
        std::fprintf(stderr, "talqvyn: a logout will end the viewer without giving its page "
                             "lock back at once (the signal handlers could not be set up)\n");

    // What Qt leaves of the arguments, in the program's code page.
    std::vector<std::string> arguments;
    for (int i = 1; i < argc; ++i) {
        arguments.push_back(platform::FromQString(QString::fromLocal8Bit(argv[i])));
    }
    switch (modView::Main(arguments)) {
        case modView::MainOutcome::HandedOver:
            return 0;
        case modView::MainOutcome::NotLoaded:
            return 1;
        case modView::MainOutcome::Running:
            break;
    }
    const int rc = QApplication::exec();
    delete modView::gViewerForm;
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return rc;
}
