#include "tcp_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <optional>
#include <thread>
#include <tuple>
#include <vector>

#include "engine/lock_holders.h"
#include "engine/system_db.h"
#include "server/request_frame.h"

namespace docserver {

using Clock = std::chrono::steady_clock;

struct TcpServer::Client {
    // The poll thread's own (fd changes only under the server's mutex).
    int fd = -1;
    int number = 0;
    std::string peer;
    std::string address;
    RequestFrame::FrameReader reader;
    std::string head;                 // the first bytes of the frame in the reader, up to four
    Clock::time_point frameStart;     // when the frame in the reader began
    Clock::time_point frameProgress;  // when a byte of it last came
    Clock::time_point admitted;
    // Shared with the workers, under the server's mutex.
    Clock::time_point lastActive;  // a request arrived whole, a reply was made or sent
    std::size_t readerBytes = 0;   // counted in the server's buffered bytes
    std::size_t pendingBytes = 0;
    std::deque<std::string> pending;
    std::string out;
    std::size_t outStart = 0;
    Clock::time_point resumeAt;  // its next request waits until then
    bool busy = false;           // queued for or held by a worker
    bool hangup = false;         // gone: a worker ends its session
    bool mayReturn = false;      // closed for idling: its viewer comes back to its files
    bool ended = false;          // its session ended; the poll thread forgets it
    bool loggedIn = false;       // its session is logged in
    bool loginUnderway = false;  // the request queued or running is a login
    std::string user;            // the user it is logged in as
    // Bytes handed to the socket, and how many of them the peer had taken
    // when last looked at.
    std::uint64_t handed = 0;
    std::uint64_t taken = 0;
    Clock::time_point lastTaken;  // when the peer last took some, or all was taken
    // The peer's window is shut (the socket's time-out is off meanwhile);
    // when the first of the window probes now unanswered in a row was seen,
    // and how many of them there were when last looked at.
    bool windowShut = false;
    std::optional<Clock::time_point> probeUnanswered;
    unsigned int probesUnanswered = 0;
    // A worker's while busy.
    ConnectionState state;

    std::size_t Unsent() const { return out.size() - outStart; }
    // What the socket holds that the peer has not taken.
    std::size_t InSocket() const {
        int queued = 0;
        if (fd < 0 || ::ioctl(fd, SIOCOUTQ, &queued) != 0) return 0;
        return static_cast<std::size_t>(queued);
    }
    // What the connection holds of the server's buffers.
    std::size_t Charge() const { return readerBytes + pendingBytes + Unsent(); }
    // Sends what it can; false when the peer is gone.
    bool SendSome(std::size_t& buffered) {
        while (fd >= 0 && Unsent() > 0) {
            ssize_t n = ::send(fd, out.data() + outStart, Unsent(), MSG_NOSIGNAL);
            if (n < 0) return errno == EAGAIN || errno == EINTR;
            outStart += static_cast<std::size_t>(n);
            buffered -= static_cast<std::size_t>(n);
            handed += static_cast<std::uint64_t>(n);
        }
        if (Unsent() == 0) {
            if (!out.empty()) lastActive = Clock::now();
            out.clear();
            outStart = 0;
        }
        return true;
    }
};

namespace {

// Which refusal on the system itself a reply carries; nullptr for none.
const char* SystemRefusal(const std::string& reply) {
    for (const char* reason : {kHeldInWal, kHeldOrSwitching, kSystemMoved, kSystemDamaged})
        if (reply.find(reason) != std::string::npos) return reason;
    return nullptr;
}

// Requests of a connection wait while this much of its replies is unread,
// here or in its socket, so one that asks without reading soon stops
// costing work.
constexpr std::size_t kMaxUnread = 256u << 10;

// A connection told its logins are held waits this long before its next
// request runs: refused guesses come back cheap, and must not come back
// fast enough to crowd out the others.
constexpr char kLoginsHeld[] = "ERROR: Too Many Failed Logins";
constexpr auto kHeldPause = std::chrono::seconds(1);

constexpr std::size_t kMaxFrameBeforeLogin = RequestFrame::kMaxFrameBeforeLogin;

// A frame must come at least this fast on average once it is older than the
// frame time-out. One that keeps to it is activity, so a slow upload
// outlasts the idle time-out; a slower trickle is not.
constexpr double kLeastFrameBytesPerSecond = 1024;

void SetNonBlocking(int fd) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL, 0) | O_NONBLOCK);
}

// Keepalive waits while sent data is unacknowledged, so that is given the
// same time: a peer cut with replies in flight would otherwise keep its
// place for the kernel's retransmissions, a quarter of an hour.
void UnacknowledgedTimeout(int fd, int seconds) {
    const unsigned int ms = static_cast<unsigned int>(seconds) * 1000u;
    ::setsockopt(fd, IPPROTO_TCP, TCP_USER_TIMEOUT, &ms, sizeof ms);
}

// A peer whose network went away sends no close: probes find it within
// about the given time, while a viewer that is only idle answers them and
// keeps its place. Probes go after half the time idle, three in the rest.
void KeepAlive(int fd, int seconds) {
    const int on = 1, count = 3;
    const int idle = std::max(1, seconds / 2);
    const int interval = std::max(1, (seconds - idle) / count);
    ::setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    ::setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
    UnacknowledgedTimeout(fd, seconds);
}

// Whether the peer is gone while its window is shut (all sent acknowledged,
// more waiting). The kernel would end such a connection at the time-out
// however well the peer answers its window probes, so a peer slow to read
// would go; the time-out is off meanwhile, and the peer is given up once
// probes unanswered in a row span the time-out: it was out of reach at two
// moments that far apart, which a hiccup shorter than the time-out is not,
// though it may take a probe or more with it. The kernel spaces probes out
// to two minutes, so that is seen within the time-out and two such spaces.
bool GoneBehindShutWindow(TcpServer::Client& c, std::size_t queued, Clock::time_point now,
                          int seconds) {
    tcp_info info{};
    socklen_t size = sizeof info;
    if (c.fd < 0 || ::getsockopt(c.fd, IPPROTO_TCP, TCP_INFO, &info, &size) != 0) return false;
    const bool shut = queued > 0 && info.tcpi_unacked == 0;
    if (shut != c.windowShut) {
        c.windowShut = shut;
        UnacknowledgedTimeout(c.fd, shut ? 0 : seconds);
    }
    if (!shut || info.tcpi_probes == 0) {
        c.probeUnanswered.reset();
        c.probesUnanswered = 0;
        return false;
    }
    const unsigned int probes = info.tcpi_probes;
    const bool later = c.probeUnanswered && probes > c.probesUnanswered;
    if (!c.probeUnanswered) c.probeUnanswered = now;
    c.probesUnanswered = probes;
    return later && now - *c.probeUnanswered >= std::chrono::seconds(seconds);
}

bool IsLogin(const std::string& payload) {
    return payload.rfind("TALQRequiredLogin,", 0) == 0;
}

// The length a frame announces in its first four bytes.
std::size_t AnnouncedLength(const std::string& head) {
    std::size_t length = 0;
    for (unsigned char c : head) length = (length << 8) | c;
    return length;
}

// The verb and the user of a command, never its password.
std::string LogText(const std::string& command) {
    std::string text = command.substr(0, std::min(command.find('\0'), std::size_t{200}));
    std::size_t first = text.find(',');
    if (first == std::string::npos) return text.substr(0, 80);
    std::size_t second = text.find(',', first + 1);
    return text.substr(0, std::min<std::size_t>(second, 80));
}

// What the log says of a reply beside its size: a refusal with its reason, a
// login refused as such (its reply is a bare status).
std::string LogOutcome(const std::string& command, const std::string& reply) {
    if (reply.compare(0, 5, "ERROR") == 0) return " (" + reply.substr(0, 160) + ")";
    if (command.rfind("TALQRequiredLogin,", 0) != 0 || reply.empty() || reply[0] == '1') return "";
    return reply == "0" ? " (login refused: unknown user, wrong password or user disabled)"
                        : " (login refused: incomplete login)";
}

// Connections that have not logged in hold at most half the places, so that
// logged-in users keep the rest. One address has no smaller share: an office
// behind one address logs in all at once.
std::size_t WaitingShare(std::size_t places) {
    return std::max<std::size_t>(1, places / 2);
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

void TcpServer::TellOutOfFiles(bool& told, const char* what) {
    if (told) return;
    told = true;
    std::fprintf(stderr,
                 "talq-server: %s: %s until descriptors are free (close connections, or give "
                 "the server a higher limit, ulimit -n)\n",
                 kTooManyOpenFiles, what);
}

void TcpServer::Wake() {
    std::uint64_t one = 1;
    [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
}

void TcpServer::Schedule(const std::shared_ptr<Client>& client) {
    if (client->busy || client->ended) return;
    if (!client->hangup &&
        (client->pending.empty() || client->Unsent() + client->InSocket() > kMaxUnread ||
         Clock::now() < client->resumeAt))
        return;
    client->busy = true;
    client->loginUnderway =
        !client->hangup && !client->pending.empty() && IsLogin(client->pending.front());
    // Addresses take turns, so many connections from a few cannot crowd out
    // one from another.
    auto& queued = queued_[client->address];
    if (queued.empty()) turns_.push_back(client->address);
    queued.push_back(client);
    ready_.notify_one();
}

void TcpServer::HangUp(const std::shared_ptr<Client>& client, const char* why) {
    Client& c = *client;
    if (c.fd >= 0) {
        ::close(c.fd);
        c.fd = -1;
        if (log_ != nullptr) std::fprintf(log_, "#%d %s\n", c.number, why);
    }
    if (!c.hangup) {
        c.hangup = true;
        buffered_ -= c.Charge();
        c.reader.Reset();
        c.readerBytes = 0;
        c.pendingBytes = 0;
        c.pending.clear();
        c.out.clear();
        c.outStart = 0;
    }
    Schedule(client);
}

void TcpServer::ShedLargest(const std::vector<std::shared_ptr<Client>>& clients) {
    while (buffered_ > limits_.maxBufferedBytes) {
        // Connections without a login go before any logged-in one. Among
        // logged-in ones, past the limit the largest holds more than an even
        // share, so one that keeps to little is never the one to go.
        std::shared_ptr<Client> chosen;
        for (const auto& c : clients) {
            if (c->Charge() == 0) continue;
            if (!chosen || (chosen->loggedIn && !c->loggedIn) ||
                (chosen->loggedIn == c->loggedIn && c->Charge() > chosen->Charge()))
                chosen = c;
        }
        if (!chosen) return;
        HangUp(chosen, chosen->loggedIn ? "holds the most of the server's buffers, closed"
                                        : "no login, holds the server's buffers, closed");
    }
}

void TcpServer::Work(CommandEngine& engine) {
    std::mt19937 random = RequestFrame::SeededRandom();
    std::unique_lock<std::mutex> lock(mutex_);
    while (true) {
        const bool woken = ready_.wait_for(lock, std::chrono::seconds(kLifeShownEverySeconds),
                                           [this] { return stopping_ || !turns_.empty(); });
        if (const auto now = std::chrono::steady_clock::now();
            now - lifeShown_ >= std::chrono::seconds(kLifeShownEverySeconds)) {
            lifeShown_ = now;
            lock.unlock();
            engine.ShowProcessLives();
            lock.lock();
            continue;
        }
        if (!woken) continue;
        if (turns_.empty()) return;
        const std::string address = std::move(turns_.front());
        turns_.pop_front();
        auto queued = queued_.find(address);
        std::shared_ptr<Client> c = std::move(queued->second.front());
        queued->second.pop_front();
        if (queued->second.empty())
            queued_.erase(queued);
        else
            turns_.push_back(address);
        if (!c->hangup) {
            // One request, then the connection queues again behind the others.
            std::string payload = std::move(c->pending.front());
            c->pending.pop_front();
            c->pendingBytes -= payload.size();
            buffered_ -= payload.size();
            lock.unlock();
            // A login refused for the user's cap leaves the session as it
            // was: its user, its proof and its project together.
            const ConnectionState& now = c->state;
            auto before = std::make_tuple(now.user, now.proved, now.projectId, now.projectName);
            std::string reply = engine.Execute(c->state, payload);
            lock.lock();
            // The administrator sees why requests fail, not only the viewers:
            // a refusal on the system itself once, until a request succeeds.
            const std::string& failure = c->state.failure;
            const char* refusal = SystemRefusal(reply);
            if (refusal == nullptr) refusal = SystemRefusal(failure);
            const bool held = refusal != nullptr;
            if (refusal != systemRefusalTold_ && (held || reply.rfind("ERROR", 0) != 0)) {
                systemRefusalTold_ = refusal;
                if (held) std::fprintf(stderr, "talq-server: %s\n", refusal);
            }
            const bool outOfFiles = reply.rfind("ERROR", 0) == 0 &&
                                    reply.find(kTooManyOpenFiles) != std::string::npos;
            if (reply.rfind("ERROR", 0) != 0)
                requestsOutOfFiles_ = false;
            else if (outOfFiles)
                TellOutOfFiles(requestsOutOfFiles_, "requests are refused");
            // Every other failure is told as it happens, with what failed.
            if (!held && !outOfFiles && !failure.empty())
                std::fprintf(stderr, "talq-server: #%d %s\n", c->number, failure.c_str());
            if (!c->state.user.empty() && !SameText(c->state.user, c->user)) {
                if (std::string refusal = UserCapRefusal(*c, c->state.user); !refusal.empty()) {
                    reply = std::move(refusal);
                    std::tie(c->state.user, c->state.proved, c->state.projectId,
                             c->state.projectName) = std::move(before);
                } else {
                    c->user = c->state.user;
                }
            }
            // A user's other connections end as the password changes, so
            // that their clients find them closed before they ask again.
            if (!c->state.passwordChanged.empty()) {
                for (const auto& other : clients_)
                    if (other != c && SameText(other->user, c->state.passwordChanged))
                        HangUp(other, "its user's password changed, closed");
            }
            // Marked before the reply is sent: a login answered is never
            // closed by the grace.
            c->loggedIn = !c->state.user.empty();
            lock.unlock();
            if (log_ != nullptr) {
                std::fprintf(log_, "#%d %s -> %zu bytes%s\n", c->number, LogText(payload).c_str(),
                             reply.size(), LogOutcome(payload, reply).c_str());
                std::fflush(log_);
            }
            std::string frame = RequestFrame::Build(reply, random);
            lock.lock();
            if (!c->hangup) {
                buffered_ += frame.size();
                c->out += frame;
                c->lastActive = Clock::now();
                if (reply.rfind(kLoginsHeld, 0) == 0) c->resumeAt = c->lastActive + kHeldPause;
                // Most replies fit the socket at once: send without waiting
                // for the poll thread; what is left, or a lost peer, it sees to.
                c->SendSome(buffered_);
            }
            // An ended session is told why before its connection closes.
            if (c->state.ended)
                HangUp(c, c->state.disabled  ? "its user was disabled, closed"
                          : c->state.removed ? "its user was removed, closed"
                                             : "its user's password changed, closed");
        }
        c->busy = false;
        if (c->hangup) {
            lock.unlock();
            engine.EndConnection(c->state, c->mayReturn);
            lock.lock();
            c->ended = true;
        } else {
            Schedule(c);
        }
        Wake();
    }
}

void TcpServer::Admit(int fd, const sockaddr_in& peer) {
    char text[INET_ADDRSTRLEN] = {};
    ::inet_ntop(AF_INET, &peer.sin_addr, text, sizeof text);
    const std::string address = text;
    std::size_t open = 0, fromAddress = 0, waiting = 0;
    for (const auto& c : clients_) {
        if (c->fd < 0) continue;
        ++open;
        if (c->address == address) ++fromAddress;
        if (!c->loggedIn) ++waiting;
    }
    const char* refusal = nullptr;
    if (fromAddress >= limits_.maxPerAddress)
        refusal = "ERROR: Too Many Connections From This Address";
    else if ((open >= limits_.maxConnections || waiting >= WaitingShare(limits_.maxConnections)) &&
             !MakeRoom(address))
        refusal = "ERROR: Too Many Connections";
    if (refusal != nullptr) {
        // The first reply the client reads says why; the kernel sends it.
        std::string frame = RequestFrame::Build(refusal, random_);
        [[maybe_unused]] ssize_t n = ::send(fd, frame.data(), frame.size(), MSG_NOSIGNAL);
        ::shutdown(fd, SHUT_WR);
        ::close(fd);
        if (log_ != nullptr) std::fprintf(log_, "%s refused: %s\n", text, refusal);
        return;
    }
    int on = 1;
    ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    KeepAlive(fd, limits_.deadPeerSeconds);
    auto c = std::make_shared<Client>();
    c->fd = fd;
    c->number = nextNumber_++;
    c->lastActive = c->lastTaken = c->admitted = Clock::now();
    c->state.session = SessionName(std::to_string(c->number));
    c->address = address;
    c->peer = address + ":" + std::to_string(ntohs(peer.sin_port));
    c->state.address = address;
    if (log_ != nullptr) std::fprintf(log_, "#%d from %s\n", c->number, c->peer.c_str());
    clients_.push_back(std::move(c));
}

bool TcpServer::MakeRoom(const std::string& address) {
    // The oldest of the address that holds the most, when that is more than
    // the newcomer's holds: a crowd from a few addresses gives way to a
    // login from another, and never to one of its own.
    std::map<std::string, std::size_t> waiting;
    for (const auto& c : clients_)
        if (c->fd >= 0 && !c->loggedIn) ++waiting[c->address];
    std::shared_ptr<Client> oldest;
    std::size_t most = waiting[address];
    for (const auto& c : clients_) {
        if (c->fd < 0 || c->loggedIn) continue;
        const std::size_t n = waiting[c->address];
        if (n > most || (oldest && n == most && c->admitted < oldest->admitted)) {
            most = n;
            oldest = c;
        }
    }
    if (!oldest) return false;
    HangUp(oldest, "no login yet, place given to a newcomer, closed");
    return true;
}

void TcpServer::CloseExpired() {
    const Clock::time_point now = Clock::now();
    if (now < nextExpiry_) return;
    nextExpiry_ = now + std::chrono::milliseconds(200);
    const auto idle = std::chrono::seconds(std::max(1, limits_.idleSeconds));
    const auto frame = std::chrono::seconds(std::max(1, limits_.frameSeconds));
    const auto grace = std::chrono::seconds(std::max(1, limits_.loginGraceSeconds));
    for (const auto& c : clients_) {
        if (c->fd < 0) continue;
        // What the socket still holds the peer has not taken; replies the
        // kernel buffers are not replies read.
        const std::size_t queued = c->InSocket();
        const std::uint64_t taken = c->handed - queued;
        if (taken > c->taken || (queued == 0 && c->Unsent() == 0)) c->lastTaken = now;
        c->taken = taken;
        // A frame is read only once the requests before it have run; its
        // clocks wait meanwhile.
        if (!c->pending.empty()) c->frameStart = c->frameProgress = now;
        const bool inFrame = c->pending.empty() && c->readerBytes > 0;
        // Unread replies and a trickle of a frame do not count as activity,
        // or a peer could hold its place and its buffers for ever.
        const bool keepingPace =
            inFrame && static_cast<double>(c->readerBytes) >=
                           kLeastFrameBytesPerSecond *
                               std::chrono::duration<double>(now - c->frameStart).count();
        const bool gone = (queued > 0 || c->windowShut) &&
                          GoneBehindShutWindow(*c, queued, now, limits_.deadPeerSeconds);
        if (gone) HangUp(c, "gone while its window was shut, closed");
        // A login queued or running when the grace ends is let finish.
        else if (!c->loggedIn && now - c->admitted >= grace && !(c->busy && c->loginUnderway))
            HangUp(c, "not logged in in time, closed");
        else if (!c->busy && !keepingPace && now - c->lastActive >= idle) {
            c->mayReturn = true;
            HangUp(c, "idle, closed");
        } else if (now - c->lastTaken >= idle)
            HangUp(c, "not reading its replies, closed");
        else if (inFrame && (now - c->frameProgress >= frame ||
                             (now - c->frameStart >= frame && !keepingPace)))
            HangUp(c, "frame stalled or too slow, closed");
        else
            Schedule(c);  // its socket may have drained, which raises no event
    }
}

void TcpServer::Run(int stopFd) {
    wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    std::vector<std::thread> pool;
    for (CommandEngine* engine : engines_) pool.emplace_back([this, engine] { Work(*engine); });

    std::vector<char> buffer(64 * 1024);
    Clock::time_point acceptPause{};  // no accepts before this
    auto acceptBackoff = std::chrono::milliseconds(0);

    while (true) {
        const Clock::time_point now = Clock::now();
        std::vector<pollfd> fds;
        std::vector<std::shared_ptr<Client>> polled;
        fds.push_back({stopFd, POLLIN, 0});
        fds.push_back({wakeFd_, POLLIN, 0});
        fds.push_back({now >= acceptPause ? listenFd_ : -1, POLLIN, 0});
        int timeout = 250;  // the time-outs and sockets drained are looked at between
        {
            std::lock_guard<std::mutex> lock(mutex_);
            std::erase_if(clients_, [](const auto& c) { return c->ended; });
            ShedLargest(clients_);
            for (const auto& c : clients_) {
                if (c->fd < 0) continue;
                // A connection's next requests stay with its peer until the
                // ones read are run: it holds no more than one read's worth.
                short events = c->pending.empty() ? POLLIN : 0;
                if (c->Unsent() > 0) events |= POLLOUT;
                fds.push_back({c->fd, events, 0});
                polled.push_back(c);
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
        for (std::size_t i = 0; i < polled.size(); ++i) {
            const short revents = fds[i + 3].revents;
            const std::shared_ptr<Client>& client = polled[i];
            Client& c = *client;
            if (revents == 0 || c.fd < 0) continue;
            if (revents & (POLLIN | POLLHUP | POLLERR)) {
                ssize_t n = ::recv(c.fd, buffer.data(), buffer.size(), 0);
                std::lock_guard<std::mutex> lock(mutex_);
                if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
                    HangUp(client, n < 0 && errno == ETIMEDOUT ? "peer gone, closed" : "closed");
                    continue;
                }
                if (n > 0) Receive(client, buffer.data(), static_cast<std::size_t>(n));
                if (c.fd < 0) continue;
            }
            std::lock_guard<std::mutex> lock(mutex_);
            if (!c.SendSome(buffered_)) HangUp(client, "closed");
            Schedule(client);
        }
        // Accepted after the reads: a peer that closed to come back is no
        // longer counted against its address or its user.
        if (fds[2].revents & POLLIN) {
            while (true) {
                sockaddr_in peer{};
                socklen_t len = sizeof peer;
                int fd = ::accept4(listenFd_, reinterpret_cast<sockaddr*>(&peer), &len,
                                   SOCK_CLOEXEC | SOCK_NONBLOCK);
                if (fd < 0) {
                    if (const int why = errno; OutOfDescriptors(why)) {
                        // Nothing to accept with: wait before trying again,
                        // longer each time, rather than spin.
                        acceptBackoff =
                            std::min(std::chrono::milliseconds(1000),
                                     std::max(std::chrono::milliseconds(50), acceptBackoff * 2));
                        acceptPause = Clock::now() + acceptBackoff;
                        if (log_ != nullptr)
                            std::fprintf(log_, "accept paused: %s\n", std::strerror(why));
                        if (why == EMFILE || why == ENFILE)
                            TellOutOfFiles(acceptOutOfFiles_, "new connections wait");
                    }
                    break;
                }
                acceptBackoff = std::chrono::milliseconds(0);
                acceptOutOfFiles_ = false;
                std::lock_guard<std::mutex> lock(mutex_);
                Admit(fd, peer);
            }
        }
        // Judged after reading: bytes that waited in the kernel while the
        // server was held up are progress.
        std::lock_guard<std::mutex> lock(mutex_);
        CloseExpired();
    }

    // Stop: every connection ends once its running request is done.
    {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& c : clients_) HangUp(c, "closed");
        stopping_ = true;
        ready_.notify_all();
    }
    for (std::thread& t : pool) t.join();
}

void TcpServer::Receive(const std::shared_ptr<Client>& client, const char* data, std::size_t size) {
    Client& c = *client;
    const bool wasEmpty = c.readerBytes == 0;
    c.reader.Feed(data, size);
    std::string payload;
    RequestFrame::FrameReader::Status status;
    bool completed = false;
    while ((status = c.reader.Next(payload)) == RequestFrame::FrameReader::Status::kFrame) {
        if (!c.loggedIn && payload.size() + RequestFrame::kHeadLength > kMaxFrameBeforeLogin) {
            HangUp(client, "frame larger than a login before a login, closed");
            return;
        }
        buffered_ += payload.size();
        c.pendingBytes += payload.size();
        c.pending.push_back(std::move(payload));
        completed = true;
    }
    buffered_ = buffered_ - c.readerBytes + c.reader.Buffered();
    c.readerBytes = c.reader.Buffered();
    // The reader holds the last readerBytes bytes read: a frame begun in this
    // piece starts inside it, else the one begun before goes on.
    if (c.readerBytes == 0)
        c.head.clear();
    else if (c.readerBytes <= size)
        c.head.assign(data + size - c.readerBytes, std::min<std::size_t>(4, c.readerBytes));
    else
        c.head.append(data, std::min(size, 4 - std::min<std::size_t>(4, c.head.size())));
    if (!c.loggedIn && c.head.size() == 4 && AnnouncedLength(c.head) > kMaxFrameBeforeLogin) {
        HangUp(client, "frame larger than a login before a login, closed");
        return;
    }
    const Clock::time_point now = Clock::now();
    c.frameProgress = now;
    if (completed) c.lastActive = now;
    if ((wasEmpty || completed) && c.readerBytes > 0) c.frameStart = now;
    if (status == RequestFrame::FrameReader::Status::kBad) {
        HangUp(client, "bad frame, closed");
        return;
    }
    ShedLargest(clients_);
    Schedule(client);
}

std::string TcpServer::UserCapRefusal(const Client& client, const std::string& user) const {
    std::size_t others = 0;
    for (const auto& c : clients_)
        if (c.get() != &client && !c->hangup && SameText(c->user, user)) ++others;
    return others >= limits_.maxPerUser ? "ERROR: Too Many Connections For This User" : "";
}

}  // namespace docserver
