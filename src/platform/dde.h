#pragma once
// Our message layer in place of the platform's DDE: a server is named by an
// application and a topic (compared without regard to case) and listens on a
// local socket in a private folder of the user's runtime directory, so only
// the same user reaches it. A client links to a topic, executes texts, pokes
// items and closes. Servers answer on the GUI thread; their handlers must
// only queue work, and may put an answer off until that work has ended.
// Every wait of a client is bounded and yields through DoEvents. The frames
// are described in dde_wire.h.

#include <QObject>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "platform/dde_wire.h"

class QLocalServer;
class QLocalSocket;

namespace platform {

struct DdeResult {
    bool ok = true;
    int errorNumber = 0;
    std::string description;

    static DdeResult Success() { return {}; }
    static DdeResult Failure(int number, std::string description) {
        return {false, number, std::move(description)};
    }
};

// Error numbers the layer gives of its own; a server's handlers choose theirs.
enum DdeError : int {
    kDdeNoServer = 1,
    kDdeTimedOut = 2,
    kDdeConnectionLost = 3,
    kDdeNotLinked = 4,
    kDdeBusy = 5,
    kDdeBadReply = 6,
    kDdeNotHandled = 7,
    kDdeBadName = 8,
};

inline constexpr int kDdeDefaultTimeoutMs = 5000;

// The private folder of sockets and instance locks (mode 0700), created on
// demand; the empty text when none can be had.
std::string DdeFolder();
// Names are folded to lower case; bytes other than a-z, 0-9, '_' and '-' are
// written as %XX, so every application and topic has a name of its own.
std::string DdeSocketPath(const std::string& application, const std::string& topic);
std::string DdeLockPath(const std::string& application);
bool DdeSameName(const std::string& a, const std::string& b);

class DdeServer : public QObject {
  public:
    using ExecuteHandler = std::function<DdeResult(const std::string& text)>;
    using PokeHandler = std::function<DdeResult(const std::string& item, const std::string& text)>;
    using FrontHandler = std::function<DdeResult()>;
    using LinkHandler = std::function<void()>;

    DdeServer(std::string application, std::string topic, QObject* parent = nullptr);
    ~DdeServer() override;

    // takeOver: the caller holds the application's instance lock, so a socket
    // file found in the way belongs to a crashed peer and is replaced. Without
    // it, a socket that still answers means another server has the name.
    bool Listen(bool takeOver = false);
    void Close();
    bool IsListening() const;
    const std::string& LastError() const { return lastError_; }
    const std::string& Application() const { return application_; }
    const std::string& Topic() const { return topic_; }
    int PeerCount() const { return static_cast<int>(peers_.size()); }

    void SetExecuteHandler(ExecuteHandler handler) { onExecute_ = std::move(handler); }
    void SetPokeHandler(PokeHandler handler) { onPoke_ = std::move(handler); }
    void SetFrontHandler(FrontHandler handler) { onFront_ = std::move(handler); }
    void SetLinkHandler(LinkHandler handler) { onLink_ = std::move(handler); }

    // Called by an execute or poke handler: the frame it handles is answered
    // by AnswerLater with the ticket given, and the handler's own result is
    // not sent. The peer's next frames wait until then, so its answers keep
    // their order. 0 outside a handler, or when the frame is put off already.
    std::uint64_t PutOffAnswer();
    // False when the peer has gone (a sender that gave up gets nothing).
    bool AnswerLater(std::uint64_t ticket, const DdeResult& result);

  private:
    struct Peer {
        QLocalSocket* socket = nullptr;
        DdeFrameReader reader;
        bool linked = false;
        int busy = 0;
        bool gone = false;
        std::uint64_t putOff = 0;  // the ticket of the answer owed
    };

    void OnNewConnection();
    void OnReadyRead(QLocalSocket* socket);
    void OnDisconnected(QLocalSocket* socket);
    // False when the peer must be dropped.
    bool Answer(Peer& peer, const DdeFrame& frame);
    void Drop(QLocalSocket* socket);
    static void Send(Peer& peer, const DdeFrame& frame);
    static void SendResult(Peer& peer, const DdeResult& result);

    std::string application_;
    std::string topic_;
    std::string lastError_;
    QLocalServer* server_ = nullptr;
    std::map<QLocalSocket*, std::unique_ptr<Peer>> peers_;
    Peer* answering_ = nullptr;  // while a handler runs
    std::uint64_t lastTicket_ = 0;
    ExecuteHandler onExecute_;
    PokeHandler onPoke_;
    FrontHandler onFront_;
    LinkHandler onLink_;
};

class DdeClient {
  public:
    DdeClient();
    ~DdeClient();
    DdeClient(const DdeClient&) = delete;
    DdeClient& operator=(const DdeClient&) = delete;

    // linkTopic is "application|topic", or "application|*" for whichever
    // topic of the application answers first. Closes an earlier link.
    DdeResult Link(const std::string& linkTopic, int timeoutMs = kDdeDefaultTimeoutMs);
    DdeResult Execute(const std::string& text, int timeoutMs = kDdeDefaultTimeoutMs);
    DdeResult Poke(const std::string& item, const std::string& text,
                   int timeoutMs = kDdeDefaultTimeoutMs);
    // Asks the server's program to bring its window to the front.
    DdeResult Front(int timeoutMs = kDdeDefaultTimeoutMs);
    void Close();

    bool IsLinked() const { return socket_ != nullptr; }
    const std::string& Application() const { return application_; }
    const std::string& Topic() const { return topic_; }

  private:
    DdeResult LinkTo(const std::string& path, const std::string& application,
                     const std::string& topic, std::int64_t deadline);
    DdeResult Exchange(const DdeFrame& request, DdeFrameKind expected, DdeFrame& reply,
                       std::int64_t deadline);

    std::unique_ptr<QLocalSocket> socket_;
    DdeFrameReader reader_;
    std::string application_;
    std::string topic_;
    bool busy_ = false;
};

}  // namespace platform
