#include "platform/event_pump.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <chrono>
#include <thread>

namespace platform {
namespace {

constexpr int kWakeMs = 5;

class QtEventPump : public EventPump {
public:
    void Yield() override {
        if (QCoreApplication::instance() == nullptr) {
            std::this_thread::sleep_for(std::chrono::milliseconds(kWakeMs));
            return;
        }
        // The timer bounds the wait when nothing else arrives.
        QTimer wake;
        wake.setSingleShot(true);
        wake.start(kWakeMs);
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
    }
};

EventPump*& Installed() {
    static QtEventPump qt;
    static EventPump* current = &qt;
    return current;
}

}  // namespace

EventPump& CurrentEventPump() { return *Installed(); }
void DoEvents() { CurrentEventPump().Yield(); }

ScopedEventPump::ScopedEventPump(EventPump& pump) : previous_(Installed()) {
    Installed() = &pump;
}
ScopedEventPump::~ScopedEventPump() { Installed() = previous_; }

}  // namespace platform
