#pragma once
// Answers the modal windows a test opens, from inside the event loop they
// run. Whatever is modal past the deadline (a box the answer did not
// expect, such as one a dialog opens on its own, or one opened later) is
// closed, every one of them, and the test fails: an unanswered window never
// hangs the run. The deadline is real time, so a test's manual clock does
// not hold it off.

#include <gtest/gtest.h>

#include <QApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <vector>

namespace testsupport {

class ModalAnswerer {
  public:
    // `answer` is called once for each modal window that comes up.
    explicit ModalAnswerer(std::function<void(QWidget*)> answer, int deadlineMs = 15000)
        : answer_(std::move(answer)), deadlineMs_(deadlineMs) {
        elapsed_.start();
        QObject::connect(&timer_, &QTimer::timeout, [this] { Tick(); });
        timer_.start(10);
    }
    ~ModalAnswerer() { timer_.stop(); }
    ModalAnswerer(const ModalAnswerer&) = delete;
    ModalAnswerer& operator=(const ModalAnswerer&) = delete;

    int Answered() const { return static_cast<int>(seen_.size()); }
    bool TimedOut() const { return timedOut_; }

    // Closes every modal window, the innermost first.
    static int CloseAllModal() {
        int closed = 0;
        for (QWidget* w = QApplication::activeModalWidget(); w != nullptr && closed < 50;
             w = QApplication::activeModalWidget(), ++closed) {
            if (auto* dialog = qobject_cast<QDialog*>(w))
                dialog->reject();
            else
                w->close();
            if (w == QApplication::activeModalWidget()) w->hide();
        }
        return closed;
    }

  private:
    void Tick() {
        if (timedOut_ || elapsed_.hasExpired(deadlineMs_)) {
            // Goes on past the deadline: a box that opens later would
            // otherwise wait for ever.
            timedOut_ = true;
            if (const int closed = CloseAllModal(); closed > 0)
                ADD_FAILURE() << "modal windows open past the deadline: " << closed;
            return;
        }
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr) return;
        for (const QPointer<QWidget>& s : seen_)
            if (s == modal) return;
        seen_.emplace_back(modal);
        answer_(modal);
    }

    std::function<void(QWidget*)> answer_;
    qint64 deadlineMs_;
    QElapsedTimer elapsed_;
    QTimer timer_;
    std::vector<QPointer<QWidget>> seen_;
    bool timedOut_ = false;
};

}  // namespace testsupport
