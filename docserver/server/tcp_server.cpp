#include "tcp_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <list>
#include <thread>
#include <vector>

#include "server/request_frame.h"

namespace docserver {

using Clock = std::chrono::steady_clock;

struct TcpServer::Client {
    // The poll thread's own (fd changes only under the server's mutex).
    int fd = -1;
    int number = 0;
    std::string peer;
    RequestFrame::FrameReader reader;
    // Shared with the workers, under the server's mutex.
    Clock::time_point lastActive;
    std::size_t readerBytes = 0;  // counted in the server's buffered bytes
    std::deque<std::string> pending;
    std::string out;
    std::size_t outStart = 0;
    bool busy = false;    // queued for or held by a worker
    bool hangup = false;  // gone: a worker ends its session
    bool ended = false;   // its session ended; the poll thread forgets it
    // A worker's while busy.
    ConnectionState state;

    std::size_t Unsent() const { return out.size() - outStart; }
    std::size_t Pending() const {
        std::size_t n = 0;
        for (const std::string& p : pending) n += p.size();
        return n;
    }
};

namespace {

// Requests of a connection wait while this much of its replies is unread.
constexpr std::size_t kMaxUnsent = 8u << 20;

void SetNonBlocking(int fd) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL, 0) | O_NONBLOCK);
}

// The verb and the user of a command, never its password.
std::string LogText(const std::string& command) {
    std::string text = command.substr(0, std::min(command.find('\0'), std::size_t{200}));
    std::size_t first = text.find(',');
    if (first == std::string::npos) return text.substr(0, 80);
    std::size_t second = text.find(',', first + 1);
    return text.substr(0, std::min<std::size_t>(second, 80));
}

bool OutOfDescriptors(int error) {
    return error == EMFILE || error == ENFILE || error == ENOBUFS || error == ENOMEM;
}

}  // namespace

TcpServer::~TcpServer() {
    if (listenFd_ >= 0) ::close(listenFd_);
    if (wakeFd_ >= 0) ::close(wakeFd_);
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
        ::listen(listenFd_, 128) != 0) {
        error = std::strerror(errno);
        return false;
    }
    socklen_t len = sizeof a;
    ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&a), &len);
    port_ = ntohs(a.sin_port);
    SetNonBlocking(listenFd_);
    return true;
}

int WorkerCount(const ServerLimits& limits) {
    return limits.workers > 0 ? limits.workers
                              : std::max(2, static_cast<int>(std::thread::hardware_concurrency()));
}

void TcpServer::Wake() {
    std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
}

void TcpServer::Schedule(const std::shared_ptr<Client>& client) {
    if (client->busy || client->ended) return;
    if (!client->hangup && (client->pending.empty() || client->Unsent() > kMaxUnsent)) return;
    client->busy = true;
    queue_.push_back(client);
    ready_.notify_one();
}

void TcpServer::Work(CommandEngine& engine) {
    std::mt19937 random = RequestFrame::SeededRandom();
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
        ready_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
        if (queue_.empty()) return;
        std::shared_ptr<Client> c = queue_.front();
        queue_.pop_front();
        if (!c->hangup) {
            // One request, then the connection queues again behind the others.
            std::string payload = std::move(c->pending.front());
            c->pending.pop_front();
            buffered_ -= payload.size();
            lock.unlock();
            std::string reply = engine.Execute(c->state, payload);
            if (log_ != nullptr) {
                std::fprintf(log_, "#%d %s -> %zu bytes%s\n", c->number, LogText(payload).c_str(),
                             reply.size(), reply.compare(0, 5, "ERROR") == 0 ? " (error)" : "");
                std::fflush(log_);
            }
            std::string frame = RequestFrame::Build(reply, random);
            lock.lock();
            if (!c->hangup) {
                buffered_ += frame.size();
                c->out += frame;
                c->lastActive = Clock::now();
                // Most replies fit the socket at once: send without waiting
                // for the poll thread; what is left it sends.
                ssize_t n = c->fd >= 0 ? ::send(c->fd, c->out.data() + c->outStart, c->Unsent(),
                                                MSG_NOSIGNAL | MSG_DONTWAIT)
                                       : -1;
                if (n > 0) {
                    c->outStart += static_cast<std::size_t>(n);
                    buffered_ -= static_cast<std::size_t>(n);
                    if (c->Unsent() == 0) {
                        c->out.clear();
                        c->outStart = 0;
                    }
                }
            }
        }
        c->busy = false;
        if (c->hangup) {
            lock.unlock();
            engine.EndConnection(c->state);
            lock.lock();
            c->ended = true;
        } else {
            Schedule(c);
        }
        Wake();
    }
}

void TcpServer::Run(int stopFd) {
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    std::vector<std::thread> pool;
    for (CommandEngine* engine : engines_) pool.emplace_back([this, engine] { Work(*engine); });

    std::list<std::shared_ptr<Client>> clients;
    int nextNumber = 1;
    std::vector<char> buffer(64 * 1024);
    Clock::time_point acceptPause{};  // no accepts before this
    auto acceptBackoff = std::chrono::milliseconds(0);
    const auto idle = std::chrono::seconds(std::max(1, limits_.idleSeconds));

    // With mutex_ held: the peer is gone; a worker ends its session.
    auto hangUp = [this](Client& c, const char* why) {
        if (c.fd >= 0) {
            ::close(c.fd);
            c.fd = -1;
            if (log_ != nullptr) std::fprintf(log_, "#%d %s\n", c.number, why);
        }
        if (c.hangup) return;
        c.hangup = true;
        buffered_ -= c.readerBytes + c.Pending() + c.Unsent();
        c.readerBytes = 0;
        c.pending.clear();
        c.out.clear();
        c.outStart = 0;
    };

    while (true) {
        const Clock::time_point now = Clock::now();
        std::vector<pollfd> fds;
        std::vector<std::shared_ptr<Client>> polled;
        fds.push_back({stopFd, POLLIN, 0});
        fds.push_back({wakeFd_, POLLIN, 0});
        fds.push_back({now >= acceptPause ? listenFd_ : -1, POLLIN, 0});
        int timeout = 1000;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            for (auto it = clients.begin(); it != clients.end();) {
                Client& c = **it;
                if (c.ended) {
                    it = clients.erase(it);
                    continue;
                }
                if (!c.hangup && !c.busy && c.pending.empty() && c.Unsent() == 0 &&
                    now - c.lastActive >= idle) {
                    hangUp(c, "idle, closed");
                    Schedule(*it);
                }
                if (c.fd >= 0) {
                    short events = POLLIN;
                    if (c.Unsent() > 0) events |= POLLOUT;
                    fds.push_back({c.fd, events, 0});
                    polled.push_back(*it);
                }
                ++it;
            }
        }
        if (now < acceptPause) {
            auto wait = std::chrono::duration_cast<std::chrono::milliseconds>(acceptPause - now);
            timeout = std::min<int>(timeout, static_cast<int>(wait.count()) + 1);
        }
        if (::poll(fds.data(), fds.size(), timeout) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        if (fds[0].revents != 0) break;
        if (fds[1].revents & POLLIN) {
            std::uint64_t count = 0;
            [[maybe_unused]] ssize_t n = ::read(wakeFd_, &count, sizeof count);
        }
        if (fds[2].revents & POLLIN) {
            while (true) {
                sockaddr_in peer{};
                socklen_t len = sizeof peer;
                int fd = ::accept4(listenFd_, reinterpret_cast<sockaddr*>(&peer), &len,
                                   SOCK_CLOEXEC | SOCK_NONBLOCK);
                if (fd < 0) {
                    if (OutOfDescriptors(errno)) {
                        // Nothing to accept with: wait before trying again,
                        // longer each time, rather than spin.
                        acceptBackoff =
                            std::min(std::chrono::milliseconds(1000),
                                     std::max(std::chrono::milliseconds(50), acceptBackoff * 2));
                        acceptPause = Clock::now() + acceptBackoff;
                        if (log_ != nullptr)
                            std::fprintf(log_, "accept paused: %s\n", std::strerror(errno));
                    }
                    break;
                }
                acceptBackoff = std::chrono::milliseconds(0);
                std::lock_guard<std::mutex> lock(mutex_);
                const auto open = std::count_if(clients.begin(), clients.end(),
                                                [](const auto& c) { return c->fd >= 0; });
                if (static_cast<std::size_t>(open) >= limits_.maxConnections) {
                    ::close(fd);
                    if (log_ != nullptr) std::fprintf(log_, "connection refused: too many\n");
                    continue;
                }
                int on = 1;
                ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
                auto c = std::make_shared<Client>();
                c->fd = fd;
                c->number = nextNumber++;
                c->lastActive = Clock::now();
                c->state.session = SessionName(std::to_string(c->number));
                char text[INET_ADDRSTRLEN] = {};
                ::inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
                c->peer = std::string(text) + ":" + std::to_string(ntohs(peer.sin_port));
                c->state.address = text;
                if (log_ != nullptr)
                    std::fprintf(log_, "#%d from %s\n", c->number, c->peer.c_str());
                clients.push_back(std::move(c));
            }
        }
        for (std::size_t i = 0; i < polled.size(); ++i) {
            short revents = fds[i + 3].revents;
            Client& c = *polled[i];
            if (revents == 0 || c.fd < 0) continue;
            if (revents & (POLLIN | POLLHUP | POLLERR)) {
                ssize_t n = ::recv(c.fd, buffer.data(), buffer.size(), 0);
                if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
                    std::lock_guard<std::mutex> lock(mutex_);
                    hangUp(c, "closed");
                    Schedule(polled[i]);
                    continue;
                }
                if (n > 0) c.reader.Feed(buffer.data(), static_cast<std::size_t>(n));
                std::string payload;
                RequestFrame::FrameReader::Status status;
                std::lock_guard<std::mutex> lock(mutex_);
                if (n > 0) c.lastActive = Clock::now();
                while ((status = c.reader.Next(payload)) ==
                       RequestFrame::FrameReader::Status::kFrame) {
                    buffered_ += payload.size();
                    c.pending.push_back(std::move(payload));
                }
                buffered_ = buffered_ - c.readerBytes + c.reader.Buffered();
                c.readerBytes = c.reader.Buffered();
                if (status == RequestFrame::FrameReader::Status::kBad) {
                    hangUp(c, "bad frame, closed");
                } else if (buffered_ > limits_.maxBufferedBytes) {
                    // The server's memory is shared: the connection that
                    // would take more than is left goes.
                    hangUp(c, "over the server's buffer limit, closed");
                }
                Schedule(polled[i]);
                if (c.fd < 0) continue;
            }
            std::lock_guard<std::mutex> lock(mutex_);
            while (c.fd >= 0 && c.Unsent() > 0) {
                ssize_t n = ::send(c.fd, c.out.data() + c.outStart, c.Unsent(), MSG_NOSIGNAL);
                if (n < 0) {
                    if (errno != EAGAIN && errno != EINTR) hangUp(c, "closed");
                    break;
                }
                c.outStart += static_cast<std::size_t>(n);
                buffered_ -= static_cast<std::size_t>(n);
                c.lastActive = Clock::now();
            }
            if (c.Unsent() == 0) {
                c.out.clear();
                c.outStart = 0;
            }
            Schedule(polled[i]);
        }
    }

    // Stop: every connection ends once its running request is done.
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (auto& c : clients) {
            hangUp(*c, "closed");
            Schedule(c);
        }
        stopping_ = true;
        ready_.notify_all();
    }
    for (std::thread& t : pool) t.join();
}

}  // namespace docserver
