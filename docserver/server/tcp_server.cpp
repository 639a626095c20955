#include "tcp_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <list>
#include <vector>

#include "server/request_frame.h"

namespace docserver {
namespace {

struct Client {
    int fd = -1;
    int number = 0;
    std::string peer;
    RequestFrame::FrameReader reader;
    std::string out;
    std::size_t outStart = 0;
    ConnectionState state;
    bool closing = false;  // finish sending, then close
};

constexpr std::size_t kMaxBacklog = 2u * RequestFrame::kMaxFrameLength;

void SetNonBlocking(int fd) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL, 0) | O_NONBLOCK);
}

// The verb and the user of a command, never its password.
std::string LogText(const std::string& command) {
    std::string text = command.substr(0, command.find('\0'));
    std::size_t first = text.find(',');
    if (first == std::string::npos) return text.substr(0, 80);
    std::size_t second = text.find(',', first + 1);
    return text.substr(0, std::min<std::size_t>(second, 80));
}

}  // namespace

TcpServer::~TcpServer() {
    if (listenFd_ >= 0) ::close(listenFd_);
}

bool TcpServer::Listen(const std::string& address, int port, std::string& error) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::inet_pton(AF_INET, address.c_str(), &a.sin_addr) != 1) {
        error = "not an IPv4 address: " + address;
        return false;
    }
    listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    int on = 1;
    ::setsockopt(listenFd_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    if (::bind(listenFd_, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(listenFd_, 64) != 0) {
        error = std::strerror(errno);
        return false;
    }
    socklen_t len = sizeof a;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    SetNonBlocking(listenFd_);
    return true;
}

void TcpServer::Run(int stopFd) {
    std::list<Client> clients;
    std::mt19937 random = RequestFrame::SeededRandom();
    int nextNumber = 1;
    std::vector<char> buffer(64 * 1024);
    auto drop = [this](Client& c) {
        engine_.EndConnection(c.state);
        ::close(c.fd);
        c.fd = -1;
        if (log_ != nullptr) std::fprintf(log_, "#%d closed\n", c.number);
    };
    while (true) {
        std::vector<pollfd> fds;
        fds.push_back({stopFd, POLLIN, 0});
        fds.push_back({listenFd_, POLLIN, 0});
        for (Client& c : clients) {
            short events = c.closing ? 0 : POLLIN;
            if (c.outStart < c.out.size()) events |= POLLOUT;
            fds.push_back({c.fd, events, 0});
        }
        if (::poll(fds.data(), fds.size(), -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[0].revents != 0) break;
        if (fds[1].revents & POLLIN) {
            while (true) {
                sockaddr_in peer{};
                socklen_t len = sizeof peer;
                int fd = ::accept4(listenFd_, reinterpret_cast<sockaddr*>(&peer), &len,
                                   SOCK_CLOEXEC | SOCK_NONBLOCK);
                if (fd < 0) break;
                int on = 1;
                ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
                Client& c = clients.emplace_back();
                c.fd = fd;
                c.number = nextNumber++;
                c.state.session = SessionName(std::to_string(c.number));
                char text[INET_ADDRSTRLEN] = {};
                ::inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
                c.peer = std::string(text) + ":" + std::to_string(ntohs(peer.sin_port));
                c.state.address = text;
                if (log_ != nullptr) std::fprintf(log_, "#%d from %s\n", c.number, c.peer.c_str());
            }
        }
        std::size_t index = 2;
        for (Client& c : clients) {
            if (index >= fds.size()) break;
            short revents = fds[index++].revents;
            if (revents == 0 || c.fd < 0) continue;
            if (revents & (POLLIN | POLLHUP | POLLERR)) {
                ssize_t n = ::recv(c.fd, buffer.data(), buffer.size(), 0);
                if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
                    drop(c);
                    continue;
                }
                if (n > 0) c.reader.Feed(buffer.data(), static_cast<std::size_t>(n));
                std::string payload;
                RequestFrame::FrameReader::Status status;
                while ((status = c.reader.Next(payload)) ==
                       RequestFrame::FrameReader::Status::kFrame) {
                    std::string reply = engine_.Execute(c.state, payload);
                    if (log_ != nullptr) {
                        std::fprintf(log_, "#%d %s -> %zu bytes%s\n", c.number,
                                     LogText(payload).c_str(), reply.size(),
                                     reply.compare(0, 5, "ERROR") == 0 ? " (error)" : "");
                        std::fflush(log_);
                    }
                    c.out += RequestFrame::Build(reply, random);
                    // A peer that sends without reading gets no unbounded backlog.
                    if (c.out.size() - c.outStart > kMaxBacklog) {
                        status = RequestFrame::FrameReader::Status::kBad;
                        break;
                    }
                }
                if (status == RequestFrame::FrameReader::Status::kBad) {
                    if (log_ != nullptr) std::fprintf(log_, "#%d bad frame\n", c.number);
                    drop(c);
                    continue;
                }
            }
            while (c.fd >= 0 && c.outStart < c.out.size()) {
                ssize_t n = ::send(c.fd, c.out.data() + c.outStart, c.out.size() - c.outStart,
                                   MSG_NOSIGNAL);
                if (n < 0) {
                    if (errno != EAGAIN && errno != EINTR) drop(c);
                    break;
                }
                c.outStart += static_cast<std::size_t>(n);
            }
            if (c.fd >= 0 && c.outStart == c.out.size()) {
                c.out.clear();
                c.outStart = 0;
            }
        }
        clients.remove_if([](const Client& c) { return c.fd < 0; });
    }
    for (Client& c : clients) drop(c);
}

}  // namespace docserver
