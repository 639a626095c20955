#include "reply_losing_relay.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <map>
#include <vector>

#include "server/request_frame.h"
#include "support/loopback_listener.h"

namespace testsupport {
namespace {

int ConnectTo(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(0x7F000001);
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The command of a whole request frame.
std::string CommandOf(std::string frame) {
    if (!RequestFrame::Unscramble(frame, static_cast<int>(frame.size()))) return "";
    const std::string payload = frame.substr(RequestFrame::kHeadLength);
    return payload.substr(0, payload.find('\0'));
}

}  // namespace

ReplyLosingRelay::ReplyLosingRelay(int serverPort) : serverPort_(serverPort) {
    listenFd_ = ListenOnLoopback(port_);
    thread_ = std::thread([this] { Run(); });
}

ReplyLosingRelay::~ReplyLosingRelay() {
    stop_ = true;
    thread_.join();
    ::close(listenFd_);
}

void ReplyLosingRelay::LoseNext(const std::string& prefix, Loss loss, bool thenTurnAway) {
    std::lock_guard<std::mutex> lock(mutex_);
    prefix_ = prefix;
    loss_ = loss;
    thenTurnAway_ = thenTurnAway;
}

void ReplyLosingRelay::Run() {
    struct Pair {
        int client;
        int server;
        std::string pending;  // the start of a request not yet whole
        bool loseReply = false;
    };
    std::map<int, Pair> pairs;  // by client descriptor
    auto drop = [&pairs](int client) {
        ::close(pairs.at(client).client);
        ::close(pairs.at(client).server);
        pairs.erase(client);
    };
    while (!stop_) {
        std::vector<pollfd> fds{{listenFd_, POLLIN, 0}};
        for (const auto& [fd, p] : pairs) {
            fds.push_back({p.client, POLLIN, 0});
            fds.push_back({p.server, POLLIN, 0});
        }
        if (::poll(fds.data(), fds.size(), 10) <= 0) continue;
        if (fds[0].revents & POLLIN) {
            const int client = ::accept(listenFd_, nullptr, nullptr);
            const int server = client < 0 || turnAway_ ? -1 : ConnectTo(serverPort_);
            if (server >= 0) {
                pairs.emplace(client, Pair{client, server, {}, false});
            } else if (client >= 0) {
                ::close(client);
            }
        }
        for (std::size_t i = 1; i < fds.size(); i += 2) {
            const int key = fds[i].fd;
            if (pairs.count(key) == 0) continue;
            Pair& p = pairs.at(key);
            char buffer[65536];
            if (fds[i + 1].revents != 0) {
                const ssize_t n = ::recv(p.server, buffer, sizeof buffer, 0);
                // The server carried the request out; its answer goes nowhere.
                if (n <= 0 || p.loseReply) {
                    if (p.loseReply) ++lost_;
                    drop(key);
                    continue;
                }
                ::send(p.client, buffer, static_cast<std::size_t>(n), MSG_NOSIGNAL);
            }
            if (fds[i].revents == 0) continue;
            const ssize_t n = ::recv(p.client, buffer, sizeof buffer, 0);
            if (n <= 0) {
                drop(key);
                continue;
            }
            p.pending.append(buffer, static_cast<std::size_t>(n));
            bool dropped = false;
            while (!dropped && p.pending.size() >= 4) {
                const auto length = static_cast<std::size_t>(RequestFrame::GetLong(p.pending, 0));
                if (length <= static_cast<std::size_t>(RequestFrame::kHeadLength)) {
                    drop(key);
                    break;
                }
                if (p.pending.size() < length) break;
                const std::string frame = p.pending.substr(0, length);
                p.pending.erase(0, length);
                const std::string command = CommandOf(frame);
                std::lock_guard<std::mutex> lock(mutex_);
                if (!prefix_.empty() && command.rfind(prefix_, 0) == 0) {
                    prefix_.clear();
                    if (thenTurnAway_) turnAway_ = true;
                    if (loss_ == Loss::kBeforeTheServerSees) {
                        ++lost_;
                        drop(key);
                        dropped = true;
                        break;
                    }
                    p.loseReply = true;
                }
                ::send(p.server, frame.data(), frame.size(), MSG_NOSIGNAL);
            }
        }
    }
    while (!pairs.empty()) drop(pairs.begin()->first);
}

}  // namespace testsupport
