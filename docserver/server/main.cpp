// talq-server: the document server for the remote access mode.
//
//   talq-server --system DIR [--port N] [--address A] [--log] [--workers N]
//               [--max-connections N] [--max-per-address N] [--max-buffered-mb N]
//               [--idle-timeout SECONDS] [--frame-timeout SECONDS] [--login-grace SECONDS]
//   talq-server --init DIR [--user NAME] [--password TEXT]

#include <QGuiApplication>

#include <fcntl.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "engine/command_engine.h"
#include "engine/system_init.h"
#include "tcp_server.h"

namespace {

int g_stopPipe[2] = {-1, -1};

void OnStop(int) {
    char c = 1;
    [[maybe_unused]] ssize_t n = ::write(g_stopPipe[1], &c, 1);
}

int Usage() {
    std::fprintf(stderr,
                 "usage: talq-server --system DIR [--port N] [--address A] [--log] [--workers N]\n"
                 "                   [--max-connections N] [--max-per-address N]\n"
                 "                   [--max-buffered-mb N] [--idle-timeout SECONDS]\n"
                 "                   [--frame-timeout SECONDS] [--login-grace SECONDS]\n"
                 "       talq-server --init DIR [--user NAME] [--password TEXT]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    // Rendering text and original files needs fonts, not a display.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    std::string systemDir, initDir, address = "127.0.0.1", user = "ADMIN", password = "ADMIN";
    int port = 7120;
    bool log = false;
    docserver::ServerLimits limits;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) return false;
            out = argv[++i];
            return true;
        };
        std::string text;
        if (arg == "--system" && value(systemDir)) continue;
        if (arg == "--init" && value(initDir)) continue;
        if (arg == "--address" && value(address)) continue;
        if (arg == "--user" && value(user)) continue;
        if (arg == "--password" && value(password)) continue;
        auto number = [&](long low, long high, long& out) {
            if (!value(text)) return false;
            char* end = nullptr;
            out = std::strtol(text.c_str(), &end, 10);
            return !text.empty() && *end == '\0' && out >= low && out <= high;
        };
        long n = 0;
        if (arg == "--port") {
            if (!number(0, 65535, n)) return Usage();
            port = static_cast<int>(n);
            continue;
        }
        if (arg == "--workers") {
            if (!number(1, 256, n)) return Usage();
            limits.workers = static_cast<int>(n);
            continue;
        }
        if (arg == "--max-connections") {
            if (!number(1, 100000, n)) return Usage();
            limits.maxConnections = static_cast<std::size_t>(n);
            continue;
        }
        if (arg == "--max-per-address") {
            if (!number(1, 100000, n)) return Usage();
            limits.maxPerAddress = static_cast<std::size_t>(n);
            continue;
        }
        if (arg == "--frame-timeout") {
            if (!number(1, 24 * 3600, n)) return Usage();
            limits.frameSeconds = static_cast<int>(n);
            continue;
        }
        if (arg == "--max-buffered-mb") {
            if (!number(1, 1 << 20, n)) return Usage();
            limits.maxBufferedBytes = static_cast<std::size_t>(n) << 20;
            continue;
        }
        if (arg == "--idle-timeout") {
            if (!number(1, 7 * 24 * 3600, n)) return Usage();
            limits.idleSeconds = static_cast<int>(n);
            continue;
        }
        if (arg == "--login-grace") {
            if (!number(1, 24 * 3600, n)) return Usage();
            limits.loginGraceSeconds = static_cast<int>(n);
            continue;
        }
        if (arg == "--log") {
            log = true;
            continue;
        }
        return Usage();
    }
    std::string error;
    if (!initDir.empty()) {
        if (!docserver::InitSystem(initDir, user, password, error)) {
            std::fprintf(stderr, "talq-server: %s\n", error.c_str());
            return 1;
        }
        std::printf("created system %s with user %s\n", initDir.c_str(), user.c_str());
        return 0;
    }
    if (systemDir.empty()) return Usage();
    // One engine per worker; failed logins count across all of them.
    std::vector<std::unique_ptr<docserver::CommandEngine>> engines;
    std::vector<docserver::CommandEngine*> pool;
    for (int i = 0; i < docserver::WorkerCount(limits); ++i) {
        engines.push_back(docserver::CommandEngine::Open(systemDir, error));
        if (!engines.back()) {
            std::fprintf(stderr, "talq-server: %s\n", error.c_str());
            return 1;
        }
        if (i > 0) engines.back()->ShareLoginThrottle(engines.front()->SharedThrottle());
        pool.push_back(engines.back().get());
    }
    docserver::TcpServer server(pool, limits);
    if (!server.Listen(address, port, error)) {
        std::fprintf(stderr, "talq-server: cannot listen on %s:%d: %s\n", address.c_str(), port,
                     error.c_str());
        return 1;
    }
    if (::pipe2(g_stopPipe, O_CLOEXEC) != 0) return 1;
    struct sigaction action {};
    action.sa_handler = OnStop;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    if (log) server.SetLog(stderr);
    std::printf("talq-server listening on %s:%d\n", address.c_str(), server.Port());
    std::fflush(stdout);
    server.Run(g_stopPipe[0]);
    std::printf("talq-server stopped\n");
    return 0;
}
