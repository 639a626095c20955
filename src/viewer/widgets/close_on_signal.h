#pragma once
// The desktop ends a viewer with SIGTERM (a logout) or SIGHUP (its terminal
// gone). The handler only writes the signal's number to a pipe; the event
// loop reads it and hands it on, so the viewer can close as Exit does and
// give its page lock back. The first such signal restores the default, so
// a second one ends a viewer that does not close.

#include <QObject>
#include <QSocketNotifier>

#include <functional>
#include <memory>

namespace viewer {

class CloseOnSignal : public QObject {
  public:
    // Handles SIGTERM and SIGHUP until destroyed; onSignal gets the number.
    explicit CloseOnSignal(std::function<void(int)> onSignal, QObject* parent = nullptr);
    ~CloseOnSignal() override;
    CloseOnSignal(const CloseOnSignal&) = delete;
    CloseOnSignal& operator=(const CloseOnSignal&) = delete;

    // False when the pipe or a handler could not be set up.
    bool Installed() const { return installed_; }

  private:
    void Drain();

    std::function<void(int)> onSignal_;
    std::unique_ptr<QSocketNotifier> notifier_;
    bool installed_ = false;
};

}  // namespace viewer
