#pragma once
// The cooperative yield of the single-threaded program: every wait loop calls
// DoEvents so windows, timers and sockets stay alive while it waits.

#include <functional>

namespace platform {

class EventPump {
public:
    virtual ~EventPump() = default;
    // Handles pending events; when there are none, sleeps until one arrives or
    // a few milliseconds pass, so a wait loop never spins the CPU.
    virtual void Yield() = 0;
};

EventPump& CurrentEventPump();
void DoEvents();

class ScopedEventPump {
public:
    explicit ScopedEventPump(EventPump& pump);
    ~ScopedEventPump();
    ScopedEventPump(const ScopedEventPump&) = delete;
    ScopedEventPump& operator=(const ScopedEventPump&) = delete;

private:
    EventPump* previous_;
};

// A pump that runs a callback on every yield (tests advance a manual clock or
// inject events with it).
class CallbackEventPump : public EventPump {
public:
    explicit CallbackEventPump(std::function<void()> onYield) : onYield_(std::move(onYield)) {}
    void Yield() override {
        ++yields_;
        if (onYield_) onYield_();
    }
    int Yields() const { return yields_; }

private:
    std::function<void()> onYield_;
    int yields_ = 0;
};

}  // namespace platform
