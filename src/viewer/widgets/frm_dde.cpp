#include "viewer/widgets/frm_dde.h"

#include <QApplication>
#include <QWidget>

#include "viewer/widgets/frm_view.h"

namespace viewer {

frmDDE::frmDDE(QObject* parent)
    : QObject(parent), lock_(kViewerApplication), server_(kViewerApplication, kViewerTopic) {
    setObjectName(QStringLiteral("DDE Messaging Form"));
    Timer1.setInterval(100);
    connect(&Timer1, &QTimer::timeout, this, [this] { Timer1_Timer(); });
    server_.SetExecuteHandler([this](const std::string& text) { return Form_LinkExecute(text); });
    server_.SetPokeHandler([this](const std::string& item, const std::string& text) {
        return Form_LinkPoke(item, text);
    });
    server_.SetFrontHandler([this] { return Form_LinkFront(); });
}

frmDDE::~frmDDE() {
    server_.Close();
}

bool frmDDE::IsFirstInstance() {
    return lock_.Acquire();
}

bool frmDDE::Form_Load() {
    return server_.Listen(lock_.Held());
}

bool frmDDE::QueueDdeMessage(const std::string& message, modView::MessageAnswer answer) {
    // A refused message goes back to its sender as a failed answer. A box
    // per refusal would stack up under a fast sender and, being modal, would
    // hold the very queue it complains about.
    if (!queue_.Append(message, std::move(answer))) return false;
    // A running timer is left alone: a steady sender must not push back the
    // tick that serves the oldest message.
    if (!Timer1.isActive()) Timer1.start(100);
    return true;
}

// A print whose printer cannot take it is refused to its sender at once:
// queued, it would only fail later on the viewer's screen.
std::string frmDDE::PrintTrouble(const std::string& message) const {
    if (!Viewer || modView::ParseCommandMessage(message).printFlag == 0) return {};
    const std::string why = Viewer->printDriver.CommandPrinterTrouble();
    return why.empty() ? why : "Unable to Start Print Job (" + why + ")";
}

// A sender that gave up by then gets nothing; the print goes on all the same.
modView::MessageAnswer frmDDE::AnswerWhenPrinted(const std::string& message) {
    if (modView::ParseCommandMessage(message).printFlag == 0) return {};
    const std::uint64_t ticket = server_.PutOffAnswer();
    if (ticket == 0) return {};
    return [self = QPointer<frmDDE>(this), ticket](const std::string& failure) {
        if (!self) return;
        using platform::DdeResult;
        self->server_.AnswerLater(
            ticket, failure.empty() ? DdeResult::Success()
                                    : DdeResult::Failure(platform::kDdeNotHandled, failure));
    };
}

platform::DdeResult frmDDE::Queue(const std::string& message) {
    // EXIT waits for no request, dialog or message: the window closes as by
    // its close button, cutting a read short and waiting for a change.
    if (Viewer && modView::ParseCommandMessage(message).command == "EXIT") {
        Viewer->Process_Message_String(message);
        return platform::DdeResult::Success();
    }
    // Room first: an answer put off must be owed by a message that was queued.
    if (queue_.Count() >= modView::MessageQueue::kSlots)
        return platform::DdeResult::Failure(platform::kDdeBusy, "Too many messages");
    QueueDdeMessage(message, AnswerWhenPrinted(message));
    return platform::DdeResult::Success();
}

platform::DdeResult frmDDE::Form_LinkExecute(const std::string& CmdStr) {
    const std::vector<std::string> messages = modView::MessagesForExecute(CmdStr);
    for (const std::string& message : messages) {
        if (std::string why = PrintTrouble(message); !why.empty()) {
            return platform::DdeResult::Failure(platform::kDdeNotHandled, why);
        }
    }
    for (const std::string& message : messages) {
        if (platform::DdeResult queued = Queue(message); !queued.ok) return queued;
    }
    return platform::DdeResult::Success();
}

platform::DdeResult frmDDE::Form_LinkPoke(const std::string& item, const std::string& text) {
    std::string message;
    if (!modView::MessageForPoke(item, text, message)) {
        return platform::DdeResult::Failure(platform::kDdeNotHandled, "No such item: " + item);
    }
    if (std::string why = PrintTrouble(message); !why.empty()) {
        return platform::DdeResult::Failure(platform::kDdeNotHandled, why);
    }
    return message.empty() ? platform::DdeResult::Success() : Queue(message);
}

platform::DdeResult frmDDE::Form_LinkFront() {
    if (Viewer) {
        if (Viewer->isMinimized()) Viewer->showNormal();
        Viewer->raise();
        Viewer->activateWindow();
    }
    return platform::DdeResult::Success();
}

void frmDDE::Timer1_Timer() {
    if (!Viewer) return;
    if (Viewer->run.AbortNow != 0) {
        Timer1.stop();
        return;
    }
    if (Viewer->IsRequestInProcess()) return;
    // A dialog the interpreter did not open may hold an edit of the page on
    // display; the message waits until it closes.
    if (QApplication::activeModalWidget() != nullptr && Viewer->run.MessageInProcess == 0) return;
    // While a run waits on its dialog with a full queue, further messages
    // wait here, where a full queue refuses them to their senders.
    if (Viewer->run.MessageQueue.Count() >= modView::MessageQueue::kSlots) return;
    if (queue_.Empty()) {
        Timer1.stop();
        return;
    }
    modView::MessageAnswer answer = queue_.TakeFirstAnswer();
    Viewer->Process_Message_String(queue_.TakeFirst(), std::move(answer));
}

}  // namespace viewer
