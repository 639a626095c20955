#include "platform/dde.h"

#include <dirent.h>

#include <QLocalServer>
#include <QLocalSocket>
#include <QMetaObject>
#include <QPointer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/clock.h"
#include "platform/event_pump.h"
#include "platform/user_dirs.h"

namespace platform {
namespace {

constexpr int kMaxPeers = 32;

std::string Escaped(const std::string& name) {
    std::string out;
    for (unsigned char c : name) {
        if (c >= 'A' && c <= 'Z') c = static_cast<unsigned char>(c - 'A' + 'a');
        if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-') {
            out.push_back(static_cast<char>(c));
        } else {
            char hex[4];
            std::snprintf(hex, sizeof hex, "%%%02X", c);
            out += hex;
        }
    }
    return out;
}

std::int64_t Now() {
    return CurrentClock().MonotonicMs();
}

QString ToPath(const std::string& path) {
    return QString::fromLocal8Bit(path.c_str());
}

// Socket files in the folder that belong to the application, in name order.
std::vector<std::string> SocketsOf(const std::string& application) {
    std::vector<std::string> found;
    std::string folder = DdeFolder();
    if (folder.empty()) return found;
    std::string prefix = Escaped(application) + "@";
    if (DIR* dir = opendir(folder.c_str())) {
        while (dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name.size() > prefix.size() && name.compare(0, prefix.size(), prefix) == 0) {
                found.push_back(folder + "/" + name);
            }
        }
        closedir(dir);
    }
    std::sort(found.begin(), found.end());
    return found;
}

// A socket file that refuses connections was left by a program that ended
// without removing it.
bool SocketAnswers(const std::string& path) {
    QLocalSocket probe;
    probe.connectToServer(ToPath(path));
    std::int64_t deadline = Now() + 1000;
    while (probe.state() == QLocalSocket::ConnectingState && Now() < deadline) DoEvents();
    bool answers = probe.state() == QLocalSocket::ConnectedState;
    probe.abort();
    return answers;
}

}  // namespace

std::string DdeFolder() {
    std::string runtime = RuntimeDir();
    if (runtime.empty()) return std::string();
    std::string folder = runtime + "/dde";
    return MakeDirs(folder, 0700) ? folder : std::string();
}

std::string DdeSocketPath(const std::string& application, const std::string& topic) {
    std::string folder = DdeFolder();
    if (folder.empty()) return std::string();
    return folder + "/" + Escaped(application) + "@" + Escaped(topic);
}

std::string DdeLockPath(const std::string& application) {
    std::string folder = DdeFolder();
    if (folder.empty()) return std::string();
    return folder + "/" + Escaped(application) + ".lock";
}

bool DdeSameName(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto fold = [](unsigned char c) {
            return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 'a' + 'A') : c;
        };
        if (fold(static_cast<unsigned char>(a[i])) != fold(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

// ---------------------------------------------------------------- server

DdeServer::DdeServer(std::string application, std::string topic, QObject* parent)
    : QObject(parent), application_(std::move(application)), topic_(std::move(topic)) {}

DdeServer::~DdeServer() {
    Close();
}

bool DdeServer::Listen(bool takeOver) {
    Close();
    std::string path = DdeSocketPath(application_, topic_);
    if (application_.empty() || topic_.empty() || path.empty()) {
        lastError_ = "No private folder for the socket of " + application_ + "|" + topic_;
        return false;
    }
    if (!takeOver && SocketAnswers(path)) {
        lastError_ = "Another program serves " + application_ + "|" + topic_;
        return false;
    }
    QLocalServer::removeServer(ToPath(path));
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    server_->setMaxPendingConnections(kMaxPeers);
    if (!server_->listen(ToPath(path))) {
        lastError_ = server_->errorString().toStdString();
        delete server_;
        server_ = nullptr;
        return false;
    }
    connect(server_, &QLocalServer::newConnection, this, [this] { OnNewConnection(); });
    lastError_.clear();
    return true;
}

void DdeServer::Close() {
    // A peer whose frame is being answered is dropped by that answer's caller.
    for (auto it = peers_.begin(); it != peers_.end();) {
        QLocalSocket* socket = it->first;
        socket->disconnect(this);
        socket->abort();
        if (it->second->busy > 0) {
            it->second->gone = true;
            ++it;
        } else {
            socket->deleteLater();
            it = peers_.erase(it);
        }
    }
    if (server_) {
        server_->close();
        delete server_;
        server_ = nullptr;
    }
}

bool DdeServer::IsListening() const {
    return server_ && server_->isListening();
}

void DdeServer::OnNewConnection() {
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        if (static_cast<int>(peers_.size()) >= kMaxPeers) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        // Ours, not the listener's: closing the listener must not delete a
        // socket whose frame is being answered.
        socket->setParent(this);
        auto peer = std::make_unique<Peer>();
        peer->socket = socket;
        peers_[socket] = std::move(peer);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { OnReadyRead(socket); });
        connect(socket, &QLocalSocket::disconnected, this,
                [this, socket] { OnDisconnected(socket); });
        if (socket->bytesAvailable() > 0) OnReadyRead(socket);
    }
}

void DdeServer::OnReadyRead(QLocalSocket* socket) {
    auto it = peers_.find(socket);
    if (it == peers_.end()) return;
    Peer* peer = it->second.get();
    if (peer->busy > 0) return;  // the outer call reads what arrives meanwhile
    // Frames wait while an answer is owed, so that answers keep their order.
    if (peer->putOff != 0) return;
    ++peer->busy;
    bool keep = true;
    while (keep && !peer->gone && peer->putOff == 0) {
        QByteArray bytes = socket->readAll();
        peer->reader.Append(bytes.constData(), static_cast<size_t>(bytes.size()));
        std::optional<DdeFrame> frame = peer->reader.Next();
        if (!frame) {
            keep = !peer->reader.Malformed();
            break;
        }
        keep = Answer(*peer, *frame);
    }
    --peer->busy;
    if (!keep || peer->gone) Drop(socket);
}

void DdeServer::OnDisconnected(QLocalSocket* socket) {
    auto it = peers_.find(socket);
    if (it == peers_.end()) return;
    if (it->second->busy > 0) {
        it->second->gone = true;
        return;
    }
    Drop(socket);
}

void DdeServer::Drop(QLocalSocket* socket) {
    auto it = peers_.find(socket);
    if (it == peers_.end()) return;
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    peers_.erase(it);
}

void DdeServer::Send(Peer& peer, const DdeFrame& frame) {
    if (peer.gone) return;
    std::string bytes = EncodeDdeFrame(frame);
    peer.socket->write(bytes.data(), static_cast<qint64>(bytes.size()));
    peer.socket->flush();
}

void DdeServer::SendResult(Peer& peer, const DdeResult& result) {
    Send(peer, {DdeFrameKind::Result,
                {result.ok ? "1" : "0", std::to_string(result.errorNumber), result.description}});
}

bool DdeServer::Answer(Peer& peer, const DdeFrame& frame) {
    if (!peer.linked) {
        if (frame.kind != DdeFrameKind::Link) return false;
        // An empty topic links to whichever topic the socket belongs to.
        bool topicFits = frame.fields[2].empty() || DdeSameName(frame.fields[2], topic_);
        if (frame.fields[0] != kDdeProtocolVersion || !DdeSameName(frame.fields[1], application_) ||
            !topicFits) {
            SendResult(peer, DdeResult::Failure(kDdeNoServer, "No such topic: " + frame.fields[1] +
                                                                  "|" + frame.fields[2]));
            return false;
        }
        peer.linked = true;
        Send(peer, {DdeFrameKind::Accept, {application_, topic_}});
        if (onLink_) onLink_();
        return true;
    }

    DdeResult notHandled = DdeResult::Failure(kDdeNotHandled, "Not handled by " + application_);
    DdeResult result;
    answering_ = &peer;
    switch (frame.kind) {
        case DdeFrameKind::Execute:
            result = onExecute_ ? onExecute_(frame.fields[0]) : notHandled;
            break;
        case DdeFrameKind::Poke:
            result = onPoke_ ? onPoke_(frame.fields[0], frame.fields[1]) : notHandled;
            break;
        case DdeFrameKind::Front:
            result = onFront_ ? onFront_() : notHandled;
            break;
        default:
            answering_ = nullptr;
            return false;
    }
    answering_ = nullptr;
    if (peer.putOff == 0) SendResult(peer, result);
    return true;
}

std::uint64_t DdeServer::PutOffAnswer() {
    if (answering_ == nullptr || answering_->putOff != 0) return 0;
    answering_->putOff = ++lastTicket_;
    return answering_->putOff;
}

bool DdeServer::AnswerLater(std::uint64_t ticket, const DdeResult& result) {
    if (ticket == 0) return false;
    for (auto& [socket, peer] : peers_) {
        if (peer->putOff != ticket) continue;
        peer->putOff = 0;
        if (peer->gone) return false;
        SendResult(*peer, result);
        // Frames that came meanwhile are read once this caller has returned.
        QPointer<QLocalSocket> waiting(socket);
        auto readOn = [this, waiting] {
            if (waiting) OnReadyRead(waiting.data());
        };
        QMetaObject::invokeMethod(this, readOn, Qt::QueuedConnection);
        return true;
    }
    return false;
}

// ---------------------------------------------------------------- client

DdeClient::DdeClient() = default;
DdeClient::~DdeClient() {
    Close();
}

void DdeClient::Close() {
    if (busy_) return;  // the wait on the stack ends the link itself
    if (socket_) socket_->abort();
    socket_.reset();
    reader_ = DdeFrameReader();
    application_.clear();
    topic_.clear();
}

DdeResult DdeClient::Link(const std::string& linkTopic, int timeoutMs) {
    if (busy_) return DdeResult::Failure(kDdeBusy, "A message is still being sent");
    Close();
    size_t bar = linkTopic.find('|');
    std::string application = linkTopic.substr(0, bar);
    std::string topic = bar == std::string::npos ? std::string() : linkTopic.substr(bar + 1);
    if (application.empty() || topic.empty()) {
        return DdeResult::Failure(kDdeBadName, "Invalid link topic: " + linkTopic);
    }
    std::int64_t deadline = Now() + std::max(timeoutMs, 0);
    DdeResult noServer = DdeResult::Failure(kDdeNoServer, "No program answered on " + linkTopic);
    if (topic != "*") {
        DdeResult result = LinkTo(DdeSocketPath(application, topic), application, topic, deadline);
        return result.errorNumber == kDdeNoServer ? noServer : result;
    }
    for (const std::string& path : SocketsOf(application)) {
        DdeResult result = LinkTo(path, application, "*", deadline);
        if (result.ok || result.errorNumber == kDdeTimedOut) return result;
    }
    return noServer;
}

DdeResult DdeClient::LinkTo(const std::string& path, const std::string& application,
                            const std::string& topic, std::int64_t deadline) {
    if (path.empty()) return DdeResult::Failure(kDdeNoServer, "No private folder for sockets");
    socket_ = std::make_unique<QLocalSocket>();
    socket_->connectToServer(ToPath(path));
    busy_ = true;
    while (socket_->state() == QLocalSocket::ConnectingState && Now() < deadline) DoEvents();
    busy_ = false;
    if (socket_->state() != QLocalSocket::ConnectedState) {
        bool timedOut = socket_->state() == QLocalSocket::ConnectingState;
        socket_->abort();
        socket_.reset();
        return timedOut ? DdeResult::Failure(kDdeTimedOut, "No answer in time from " + path)
                        : DdeResult::Failure(kDdeNoServer, "No program answered");
    }
    // For any topic, the server fills in its own name.
    DdeFrame reply;
    DdeResult result =
        Exchange({DdeFrameKind::Link,
                  {kDdeProtocolVersion, application, topic == "*" ? std::string() : topic}},
                 DdeFrameKind::Accept, reply, deadline);
    if (!result.ok) {
        if (socket_) socket_->abort();
        socket_.reset();
        reader_ = DdeFrameReader();
        return result;
    }
    application_ = reply.fields[0];
    topic_ = reply.fields[1];
    return DdeResult::Success();
}

DdeResult DdeClient::Exchange(const DdeFrame& request, DdeFrameKind expected, DdeFrame& reply,
                              std::int64_t deadline) {
    if (!socket_) return DdeResult::Failure(kDdeNotLinked, "Not linked");
    if (busy_) return DdeResult::Failure(kDdeBusy, "A message is still being sent");
    busy_ = true;
    std::string bytes = EncodeDdeFrame(request);
    socket_->write(bytes.data(), static_cast<qint64>(bytes.size()));
    socket_->flush();
    DdeResult result = DdeResult::Failure(kDdeTimedOut, "No answer in time");
    bool answered = false;
    for (;;) {
        QByteArray got = socket_->readAll();
        reader_.Append(got.constData(), static_cast<size_t>(got.size()));
        if (std::optional<DdeFrame> frame = reader_.Next()) {
            answered = true;
            if (frame->kind == DdeFrameKind::Result) {
                bool ok = frame->fields[0] == "1";
                int number = std::atoi(frame->fields[1].c_str());
                result = ok ? DdeResult::Success() : DdeResult::Failure(number, frame->fields[2]);
                if (ok && expected != DdeFrameKind::Result) {
                    result = DdeResult::Failure(kDdeBadReply, "Unexpected answer");
                    answered = false;
                }
                reply = *frame;
            } else if (frame->kind == expected) {
                reply = *frame;
                result = DdeResult::Success();
            } else {
                result = DdeResult::Failure(kDdeBadReply, "Unexpected answer");
                answered = false;
            }
            break;
        }
        if (reader_.Malformed()) {
            result = DdeResult::Failure(kDdeBadReply, "Malformed answer");
            break;
        }
        if (socket_->state() != QLocalSocket::ConnectedState && socket_->bytesAvailable() == 0) {
            result =
                DdeResult::Failure(kDdeConnectionLost, "The link was closed by the other side");
            break;
        }
        if (Now() >= deadline) break;
        DoEvents();
    }
    busy_ = false;
    // A lost, late or garbled answer leaves the stream out of step.
    if (!answered) Close();
    return result;
}

DdeResult DdeClient::Execute(const std::string& text, int timeoutMs) {
    DdeFrame reply;
    return Exchange({DdeFrameKind::Execute, {text}}, DdeFrameKind::Result, reply,
                    Now() + std::max(timeoutMs, 0));
}

DdeResult DdeClient::Poke(const std::string& item, const std::string& text, int timeoutMs) {
    DdeFrame reply;
    return Exchange({DdeFrameKind::Poke, {item, text}}, DdeFrameKind::Result, reply,
                    Now() + std::max(timeoutMs, 0));
}

DdeResult DdeClient::Front(int timeoutMs) {
    DdeFrame reply;
    return Exchange({DdeFrameKind::Front, {}}, DdeFrameKind::Result, reply,
                    Now() + std::max(timeoutMs, 0));
}

}  // namespace platform
