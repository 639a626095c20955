#include "viewer/widgets/close_on_signal.h"

#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <cerrno>

namespace viewer {
namespace {

constexpr int kSignals[] = {SIGTERM, SIGHUP};
int g_pipe[2] = {-1, -1};

extern "C" void WriteSignal(int signal) {
    const int saved = errno;
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    ::sigaction(signal, &fallback, nullptr);
    const unsigned char number = static_cast<unsigned char>(signal);
    [[maybe_unused]] ssize_t written = ::write(g_pipe[1], &number, 1);
    errno = saved;
}

}  // namespace

CloseOnSignal::CloseOnSignal(std::function<void(int)> onSignal, QObject* parent)
    : QObject(parent), onSignal_(std::move(onSignal)) {
    if (g_pipe[0] >= 0 || ::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
    notifier_ = std::make_unique<QSocketNotifier>(g_pipe[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { Drain(); });
    installed_ = true;
    for (int signal : kSignals) {
        struct sigaction action {};
        action.sa_handler = WriteSignal;
        ::sigemptyset(&action.sa_mask);
        action.sa_flags = SA_RESTART;
        installed_ = ::sigaction(signal, &action, nullptr) == 0 && installed_;
    }
}

CloseOnSignal::~CloseOnSignal() {
    if (notifier_ == nullptr) return;
    for (int signal : kSignals) {
        struct sigaction fallback {};
        fallback.sa_handler = SIG_DFL;
        ::sigaction(signal, &fallback, nullptr);
    }
    notifier_.reset();
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void CloseOnSignal::Drain() {
    unsigned char numbers[16];
    ssize_t n = 0;
    while ((n = ::read(g_pipe[0], numbers, sizeof numbers)) > 0) {
        for (ssize_t i = 0; i < n; ++i)
            if (onSignal_) onSignal_(numbers[i]);
    }
}

}  // namespace viewer
