#pragma once
// The viewer's end of the message layer: serves application "talqvyn",
// topic "Level2Server", turns execute strings and poked items into command
// messages, and hands them one per tick of its timer to the main window's
// interpreter. A message is answered once queued, except a print, whose
// sender learns how it ended. Never shown.

#include <QObject>
#include <QPointer>
#include <QTimer>

#include <string>

#include "platform/dde.h"
#include "platform/single_instance.h"
#include "viewer/command_messages.h"

namespace viewer {

class frmView;

inline constexpr const char* kViewerApplication = "talqvyn";
inline constexpr const char* kViewerTopic = "Level2Server";

class frmDDE : public QObject {
  public:
    explicit frmDDE(QObject* parent = nullptr);
    ~frmDDE() override;

    // True when this process is the first viewer of the user; it keeps the
    // lock for as long as the window lives.
    bool IsFirstInstance();
    // Starts serving the topic; a socket left by a crashed viewer is taken
    // over when this process holds the lock.
    bool Form_Load();

    // Answers of the message layer's handlers: they only queue. A print's
    // answer is put off until it has ended when a sender waits on the layer.
    platform::DdeResult Form_LinkExecute(const std::string& CmdStr);
    platform::DdeResult Form_LinkPoke(const std::string& item, const std::string& text);
    platform::DdeResult Form_LinkFront();

    // False when the queue was full and the message dropped.
    bool QueueDdeMessage(const std::string& message, modView::MessageAnswer answer = {});
    void Timer1_Timer();

    int QueuedCount() const { return queue_.Count(); }
    platform::DdeServer& Server() { return server_; }

    QPointer<frmView> Viewer;
    QTimer Timer1;

  private:
    std::string PrintTrouble(const std::string& message) const;
    // Empty unless message prints and the layer lets its answer wait.
    modView::MessageAnswer AnswerWhenPrinted(const std::string& message);
    platform::DdeResult Queue(const std::string& message);

    modView::MessageQueue queue_;
    platform::InstanceLock lock_;
    platform::DdeServer server_;
};

}  // namespace viewer
