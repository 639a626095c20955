#include "fake_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <map>

#include "server/request_frame.h"
#include "support/loopback_listener.h"

namespace testsupport {

FakeServer::FakeServer(Handler handler) : handler_(std::move(handler)) {
    listenFd_ = ListenOnLoopback(port_);
    thread_ = std::thread([this] { Run(); });
}

FakeServer::~FakeServer() {
    stop_ = true;
    thread_.join();
    ::close(listenFd_);
}

std::vector<FakeCommand> FakeServer::Commands() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return commands_;
}

std::vector<std::string> FakeServer::CommandsOn(int connection) const {
    std::vector<std::string> out;
    for (const FakeCommand& c : Commands())
        if (c.connection == connection) out.push_back(c.command);
    return out;
}

void FakeServer::DropConnections() {
    drop_ = true;
    while (drop_) std::this_thread::sleep_for(std::chrono::milliseconds(5));
}

bool FakeServer::WaitForClosed(int n) const {
    for (int i = 0; i < 500 && closed_ < n; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return closed_ >= n;
}

void FakeServer::Run() {
    struct Conn {
        int fd;
        int number;
        RequestFrame::FrameReader reader;
    };
    std::map<int, Conn> conns;
    std::mt19937 random(17);
    while (!stop_) {
        if (drop_) {
            for (auto& [fd, c] : conns) {
                ::close(fd);
                ++closed_;
            }
            conns.clear();
            drop_ = false;
        }
        std::vector<pollfd> fds{{listenFd_, POLLIN, 0}};
        for (auto& [fd, c] : conns) fds.push_back({fd, POLLIN, 0});
        if (::poll(fds.data(), fds.size(), 10) <= 0) continue;
        if (fds[0].revents & POLLIN) {
            int fd = ::accept(listenFd_, nullptr, nullptr);
            if (fd >= 0) conns.emplace(fd, Conn{fd, ++connections_, {}});
        }
        for (std::size_t i = 1; i < fds.size(); ++i) {
            if (fds[i].revents == 0) continue;
            Conn& c = conns.at(fds[i].fd);
            char buffer[65536];
            ssize_t n = ::recv(c.fd, buffer, sizeof buffer, 0);
            bool close = n <= 0;
            if (n > 0) c.reader.Feed(buffer, static_cast<std::size_t>(n));
            std::string payload;
            while (!close && c.reader.Next(payload) == RequestFrame::FrameReader::Status::kFrame) {
                std::string command = payload.substr(0, payload.find('\0'));
                {
                    std::lock_guard<std::mutex> lock(mutex_);
                    commands_.push_back({c.number, command});
                }
                FakeAction action = handler_(c.number, command);
                if (action.delayMs > 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(action.delayMs));
                if (!action.silent) {
                    std::string bytes = action.raw.empty()
                                            ? RequestFrame::Build(action.payload, random)
                                            : action.raw;
                    std::size_t step =
                        action.chunk > 0 ? static_cast<std::size_t>(action.chunk) : bytes.size();
                    const int alone = action.beforePiece ? 1 : 0;
                    ::setsockopt(c.fd, IPPROTO_TCP, TCP_NODELAY, &alone, sizeof alone);
                    for (std::size_t pos = 0, piece = 0; pos < bytes.size(); pos += step, ++piece) {
                        if (action.beforePiece) action.beforePiece(static_cast<int>(piece));
                        ::send(c.fd, bytes.data() + pos, std::min(step, bytes.size() - pos),
                               MSG_NOSIGNAL);
                        if (action.pauseMs > 0 && pos + step < bytes.size())
                            std::this_thread::sleep_for(std::chrono::milliseconds(action.pauseMs));
                    }
                }
                close = action.closeAfter;
            }
            if (close) {
                ::close(c.fd);
                ++closed_;
                conns.erase(c.fd);
            }
        }
    }
    for (auto& [fd, c] : conns) ::close(fd);
}

std::string BadSelectorFrame(const std::string& payload) {
    std::mt19937 random(3);
    std::string frame = RequestFrame::Build(payload, random);
    frame[6] = static_cast<char>(7 + RequestFrame::kHeadCover[2]);
    return frame;
}

}  // namespace testsupport
