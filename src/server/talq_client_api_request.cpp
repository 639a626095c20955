#include <QCursor>
#include <QGuiApplication>
#include <QThread>

#include <algorithm>
#include <cctype>
#include <string_view>

#include "foundation/fields.h"
#include "foundation/text_match.h"
#include "foundation/wait.h"
#include "platform/clock.h"
#include "platform/event_pump.h"
#include "platform/sockets.h"
#include "platform/wire_separators.h"
#include "server/encrypted_socket.h"
#include "server/local_access.h"
#include "server/request_frame.h"
#include "server/talq_client_api.h"
#include "server/winsock_api.h"

namespace {

using wire::kListSep;
// While nothing arrives, the reply wait watches the socket this long before
// it yields, so a quick reply is taken at once.
constexpr int kWatchMs = 5;

// The server could not reach its system: every request fails alike until
// whatever holds the system lets go.
const std::string kDatabaseError = "ERROR: Database Error";

// Commands that change nothing the reviewer made: a close may cut them
// short. A lock goes with the connection the cut closes; the temporary files
// are the server's copies of query sets; a concept search and a sort's
// status only read. Any other command is a change. The command's name is
// its leading letters, digits and '_', whatever separator follows it.
bool ChangesNothing(const std::string& command) {
    static constexpr std::string_view kReads =
        "|TALQGetSystemFlags|TALQGetExtSystemFlags|TALQGetVersion|TALQRequiredLogin"
        "|TALQGetTalqPrjList|TALQGetProjectInfo|TALQCloseProject|TALQFindKey|TALQNextKey"
        "|TALQPrevKey|TALQGetScroll|TALQGetNextScroll|TALQGetPrevScroll|TALQGetBoundaryInfo"
        "|TALQGetPageInfo|TALQGetWordList|TALQGetPageWBuf|TALQGetPageOcr|TALQSetPageLock"
        "|TALQRemovePageLock|TALQDTGetDate|TALQGetFolderDescription|TALQSendClientImage"
        "|TALQSendTextImage|TALQSendStellantImage|TALQGetTagPoolList|TALQGetTagPaletteList"
        "|TALQGetImageTags|TALQIsDocTagged|TALQIsPageRestricted|TALQGetAnnotations"
        "|TALQResolveFile|TALQDoesFileExist|TALQReadFromFile|TALQDeleteFile|TALQGetBatchDirs"
        "|TALQValidateBatchPrinter|TALQQueryScroll|TALQCreateTempFile|TALQWriteTempFile"
        "|TALQStartQuerySort|TALQSearchImgText|TALQDTSearchDate|TALQSearchResultsTempFile"
        "|BackGroundStatus|IDEX_StartSearch|IDEX_QuerySearch|IDEX_IsSupported|";
    const auto end = std::find_if(command.begin(), command.end(), [](char c) {
        const unsigned char u = static_cast<unsigned char>(c);
        return !(std::isalnum(u) || u == '_');
    });
    const std::string verb = "|" + std::string(command.begin(), end) + "|";
    return verb != "||" && kReads.find(verb) != std::string_view::npos;
}

bool StartsWithError(const std::string& reply) {
    return reply.size() >= 5 && mVBUtil::UCase(reply.substr(0, 5)) == "ERROR";
}

// The hourglass over every window while the outermost request runs.
bool HasScreen() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

}  // namespace

void TalqClientAPI::EnterNesting() {
    if (requestNestingCount_++ == 0 && HasScreen()) {
        QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
        hourglass_ = true;
    }
    ++busyCount_;
}

void TalqClientAPI::LeaveNesting() {
    if (--requestNestingCount_ < 0) requestNestingCount_ = 0;
    if (--busyCount_ < 0) busyCount_ = 0;
    if (requestNestingCount_ == 0 && hourglass_) {
        hourglass_ = false;
        if (HasScreen()) QGuiApplication::restoreOverrideCursor();
    }
    if (requestNestingCount_ == 0 && closeDeferred_) FinishClose(true);
}

void TalqClientAPI::BeginAction(bool change) {
    // A dialog's event loop may run another action of the reviewer: it waits
    // on its own, not on what the action under the dialog spent.
    const int level = QThread::currentThread()->loopLevel();
    if (actions_.empty() || actions_.back().loopLevel < level) actions_.push_back({level});
    ++actions_.back().depth;
    if (change) MarkChange();
}

void TalqClientAPI::MarkChange() {
    if (actions_.empty()) return;
    if (!actions_.back().change) actions_.back().changeStartMs = platform::CurrentClock().MonotonicMs();
    actions_.back().change = true;
    if (cutting_) changeSinceCloseAsked_ = true;
}

void TalqClientAPI::AskToClose() {
    if (closeAsked_) return;
    closeAsked_ = true;
    closeAskedMs_ = platform::CurrentClock().MonotonicMs();
    // Only what runs now is cut short: with nothing under way the close
    // waits for the reviewer's dialog, whose work goes as without it.
    cutting_ = IsRequestInProcess();
    if (cutting_ && !actions_.empty() && actions_.back().change) changeSinceCloseAsked_ = true;
}

void TalqClientAPI::LetCloseWait() {
    cutting_ = false;
    changeSinceCloseAsked_ = false;
}

void TalqClientAPI::ForgoTidying() {
    forgoTidying_ = true;
}

bool TalqClientAPI::ClosingStops() const {
    // Through the library nothing waits on a network.
    if (!cutting_ || remote_ == 0) return false;
    if (actions_.empty() || !actions_.back().change) return true;
    // A change has its own time-out, counted from when it began or from the
    // close, whichever came later.
    const std::int64_t from = std::max(closeAskedMs_, actions_.back().changeStartMs);
    return platform::CurrentClock().MonotonicMs() - from > 1000LL * (timeout_ + 1);
}

void TalqClientAPI::EndAction() {
    if (actions_.empty()) return;
    if (--actions_.back().depth == 0) actions_.pop_back();
}

std::int32_t TalqClientAPI::SilenceLeft() const {
    const std::int64_t spent = actions_.empty() ? 0 : actions_.back().silentSeconds;
    return static_cast<std::int32_t>(std::max<std::int64_t>(timeout_ - spent, -1));
}

void TalqClientAPI::ChargeSilence(std::int64_t seconds) {
    if (!actions_.empty() && seconds > 0) actions_.back().silentSeconds += seconds;
}

void TalqClientAPI::DropSocket() {
    if (socket_) socket_->SocketClose();
    socketConnected_ = 0;
    reconnectPending_ = true;
}

bool TalqClientAPI::SendLocal(const std::string& command, std::string& reply,
                              std::int32_t& replyLength) {
    if (localLibrary_ == nullptr || localHandle_ == 0) return false;
    std::int32_t messageRef = 0;
    std::int32_t messageLength = 0;
    localLibrary_->ProcessCommand(localHandle_, command.c_str(),
                                  static_cast<std::int32_t>(command.size()), &messageRef,
                                  &messageLength);
    if (messageLength > 0) {
        replyLength = messageLength;
        reply.assign(static_cast<std::size_t>(messageLength), '\0');
        localLibrary_->CopyMsgData(messageRef, reply.data(), messageLength, 0);
    }
    return true;
}

bool TalqClientAPI::LocalConnectionEnded() {
    return localLibrary_ != nullptr && localHandle_ != 0 &&
           localLibrary_->ValidateConnection(localHandle_) != 0;
}

void TalqClientAPI::NewConnection() {
    ++connectionEpoch_;
    if (newConnectionListener_) newConnectionListener_();
}

bool TalqClientAPI::ReopenLocal() {
    if (localLibrary_ == nullptr || localHandle_ == 0) return false;
    localLibrary_->CloseConnection(localHandle_);
    if (localLibrary_->ConnectLocal(localMode_, localHandle_) != 0) return false;
    NewConnection();
    return true;
}

bool TalqClientAPI::SendRequest(const std::string& command, std::string& reply,
                                std::int32_t& replyLength, bool allowNested) {
    reply.clear();
    replyLength = 0;
    abortRequested_ = 0;
    // Of the request the caller made, not of a login nested in it.
    if (!allowNested) replyLost_ = false;
    if (remote_ > 0 && socketCreated_ == 0) {
        lastError_ = "Socket Has Not Yet Been Intitialized";
        return false;
    }
    if (requestNestingCount_ > 0 && !allowNested) {
        lastError_ = "Request Currently In Process";
        return false;
    }
    if (command.empty()) {
        lastError_ = "Invalid Command String";
        return false;
    }
    if (sessionClosed_ != 0) {
        lastError_ = "Aborted";
        return false;
    }
    Action action(*this);
    if (!allowNested && !ChangesNothing(command)) MarkChange();
    // A closing window waits on the network for nothing that only reads,
    // releases or tidies: a lock goes with its connection, and the server
    // clears its own temporary copies.
    if (ClosingStops() ||
        (forgoTidying_ && remote_ > 0 && !allowNested && ChangesNothing(command))) {
        lastError_ = "Process Aborted";
        return false;
    }
    EnterNesting();
    struct Leave {
        TalqClientAPI* api;
        ~Leave() { api->LeaveNesting(); }
    } leave{this};

    if (remote_ == 0) {
        SendLocal(command, reply, replyLength);
        // A connection the library ended ran nothing, as a socket found
        // closed before the request left: it is opened again, logs in again
        // and the request goes once more.
        if (replyLength == 0 && !allowNested && LocalConnectionEnded()) {
            if (!ReconnectSession()) {
                lastError_ = "Unable to Send Data Request";
                return false;
            }
            if (sendOnlyInEpoch_ && *sendOnlyInEpoch_ != connectionEpoch_) {
                lastError_ = "Page Lock Lost";
                return false;
            }
            SendLocal(command, reply, replyLength);
        }
    } else {
        int retries = 0;
        // A connection found dead before the request left reconnects, logs
        // in again and sends a fresh frame, once per request. Once the whole
        // frame has left, the server may have carried the request out, so a
        // lost connection fails the request and nothing is sent again.
        auto retry = [&]() {
            DropSocket();
            if (++retries == 1 && !allowNested && SilenceLeft() >= 0 && ReconnectSession())
                return true;
            lastError_ = "Unable to Send Data Request";
            return false;
        };
        platform::Clock& clock = platform::CurrentClock();
        for (;;) {
            // The action waited its time-out on this link already: it is not
            // asked again, nor connected to, until the reviewer acts anew.
            if (SilenceLeft() < 0) {
                lastError_ = "ERROR: Invalid Data Returned";
                return false;
            }
            // Between requests the server sends nothing: an idle socket with
            // something to read was closed or broken by the server.
            if (socketConnected_ != 0 && retries == 0 &&
                platform::PollReadable(socket_->Socket, 0) != 0)
                DropSocket();
            if (socketConnected_ == 0) {
                bool connected;
                if (reconnectPending_ && !allowNested && connection_ != 0) {
                    ++retries;
                    connected = ReconnectSession();
                    // A refused login or project ends as a failed send, as on
                    // any other reconnection.
                    if (!connected)
                        lastError_ = lastError_ == "Could Not ReConnect Socket"
                                         ? "Error Connecting TCP/IP Socket"
                                         : "Unable to Send Data Request";
                } else {
                    connected = ConnectSocket();
                    if (!connected && lastError_ != "Aborted")
                        lastError_ = "Error Connecting TCP/IP Socket";
                }
                if (!connected) return false;
            }
            // The connection this request found dead took its locks along.
            if (!allowNested && sendOnlyInEpoch_ && *sendOnlyInEpoch_ != connectionEpoch_) {
                lastError_ = "Page Lock Lost";
                return false;
            }
            std::string frame(RequestFrame::kHeadLength, '\0');
            frame += command;
            frame.push_back('\0');
            std::int32_t length = static_cast<std::int32_t>(frame.size());
            EncryptedSocket::SOCK_PutLong(frame, 0, length);
            socket_->SOCK_EString(frame, length);
            socket_->Data.clear();
            socket_->DataLen = 0;
            socket_->Partial = 0;
            // No yield before the send: the reply wait yields at once when
            // nothing has come, and an idle yield would add its sleep to
            // every request.
            const std::int64_t sendStart = clock.MonotonicMs();
            if (socket_->SendData(frame) < 0) {
                // A send that never went waited on a link that took nothing.
                ChargeSilence((clock.MonotonicMs() - sendStart) / 1000);
                LinkFailed(socket_->Failure);
                if (retry()) continue;
                return false;
            }

            std::string remembered = clock.TimeText();
            // Seconds in which no byte came, before the first piece as after
            // it: a reply that keeps coming, however slowly, is a live link,
            // but one whose pieces come after long silences is not.
            int count = 0;
            bool heard = false;
            // Silence spent by earlier requests of the action shortens this wait.
            const int limit = SilenceLeft();
            bool dropped = false;
            bool stopped = false;
            for (;;) {
                int polled = socket_->QueryData();
                if (polled == 1 || polled == -1) {
                    reply = socket_->Data;
                    replyLength = socket_->DataLen;
                }
                if (polled == 2) heard = true;
                if (polled == -1) {
                    // The connection went away after the send, or bad data
                    // came: the stream can no longer be trusted.
                    LinkFailed(socket_->Failure);
                    DropSocket();
                    dropped = true;
                    break;
                }
                if (sessionClosed_ != 0 || connectionClosing_ != 0 || replyLength != 0) break;
                if (polled == 2) continue;
                if (platform::PollReadable(socket_->Socket, kWatchMs) == 0) platform::DoEvents();
                if (sessionClosed_ != 0 || connectionClosing_ != 0) break;
                std::string now = clock.TimeText();
                if (now != remembered) {
                    remembered = now;
                    if (!heard) ++count;
                    heard = false;
                }
                stopped = ClosingStops();
                if (count > limit || abortRequested_ > 0 || stopped) {
                    if (stopped)
                        LinkFailed("No reply from the server before the viewer closed.");
                    else if (abortRequested_ == 0)
                        LinkFailed("No reply from the server within " + std::to_string(timeout_) +
                                   " seconds.");
                    timedOut_ = true;
                    // A late reply must never answer the next request.
                    DropSocket();
                    dropped = true;
                    break;
                }
            }
            ChargeSilence(count);
            if (stopped) {
                lastError_ = "Process Aborted";
                reply.clear();
                replyLength = 0;
                if (!allowNested) replyLost_ = true;
                return false;
            }
            if (!dropped && (sessionClosed_ != 0 || connectionClosing_ != 0)) {
                if (requestNestingCount_ <= 1) connectionClosing_ = 0;
                lastError_ = "Process Aborted";
                if (socket_) socket_->SocketClose();
                socketConnected_ = 0;
                reply.clear();
                replyLength = 0;
                if (!allowNested) replyLost_ = true;
                return false;
            }
            break;
        }
        // All of the request left: the server may have carried it out.
        if (replyLength < 1 && !allowNested) replyLost_ = true;
    }

    if (replyLength < 1) {
        if (remote_ == 0) LinkFailed("No reply from the local-access library.");
        replyLength = 0;
        reply.clear();
        lastError_ = "ERROR: Invalid Data Returned";
        return false;
    }
    if (StartsWithError(reply)) {
        lastError_ = reply;
        if (reply.rfind(kDatabaseError, 0) == 0 && reply != databaseError_) {
            databaseError_ = reply;
            databaseErrorTold_ = false;
        }
        // The server ended the session and closes its connection: the login
        // is to be given again, as after a refused reconnection.
        if (RequestFrame::EndsSession(reply)) {
            DropSocket();
            userValid_ = 0;
            projectValid_ = 0;
            untoldSessionEnd_ = reply;
        }
        return false;
    }
    databaseError_.clear();
    return true;
}

void TalqClientAPI::LinkFailed(const std::string& reason) {
    transportError_ = reason;
    transportErrorTold_ = false;
}

std::string TalqClientAPI::TakeUntoldTransportError() {
    if (transportError_.empty() || transportErrorTold_) return "";
    transportErrorTold_ = true;
    return transportError_;
}

bool TalqClientAPI::ReconnectIfClosed() {
    if (connection_ == 0 || sessionClosed_ != 0 || requestNestingCount_ > 0) return true;
    if (remote_ > 0) {
        if (!socket_) return true;
        // Between requests the server sends nothing: an idle socket with
        // something to read was closed or broken by the server.
        if (socketConnected_ != 0) {
            if (platform::PollReadable(socket_->Socket, 0) == 0) return true;
            DropSocket();
        } else if (!reconnectPending_ || timedOut_) {
            // A link that let a request time out may answer nothing again:
            // the next request finds out, not a drawing.
            return true;
        }
    } else if (!LocalConnectionEnded()) {
        return true;
    }
    Action action(*this);
    EnterNesting();
    struct Leave {
        TalqClientAPI* api;
        ~Leave() { api->LeaveNesting(); }
    } leave{this};
    return ReconnectSession();
}

std::string TalqClientAPI::TakeUntoldDatabaseError() {
    if (databaseError_.empty() || databaseErrorTold_) return "";
    databaseErrorTold_ = true;
    return ServerReason(databaseError_);
}

bool TalqClientAPI::ConnectSocket() {
    if (sessionClosed_ != 0) {
        lastError_ = "Aborted";
        return false;
    }
    ++busyCount_;
    struct GiveBack {
        TalqClientAPI* api;
        ~GiveBack() {
            if (--api->busyCount_ < 0) api->busyCount_ = 0;
        }
    } giveBack{this};
    socketConnected_ = 0;
    if (!modWinsockAPI::WinsockStarted() && !modWinsockAPI::InitWinsock()) {
        lastError_ = "Error Initializing WinSock DLL";
        return false;
    }
    if (!socket_) {
        lastError_ = "Error Loading WinSock DLL";
        return false;
    }
    EncryptedSocket& s = *socket_;
    s.RemoteHost.clear();
    s.RemotePort = 0;
    s.LocalPortBase = 0;
    s.LocalAddressIndex = 0;
    auto open = [&s]() { return s.Socket < 0 ? s.SocketOpen(1, 6) : s.ReopenSocket(1, 6); };
    if (open() != 0) {
        mVBUtil::WaitSeconds(1);
        if (open() != 0) {
            lastError_ = "Unable to Open WinSock Socket";
            return false;
        }
    }
    platform::DoEvents();
    s.RemoteHost = ipAddress_;
    s.RemotePort = ipPort_;
    s.LocalPortBase = localPortBase_;
    s.LocalAddressIndex = networkCard_;
    if (s.AttemptConnection() != 0) {
        LinkFailed("Unable to connect to the server: " + s.Error(modWinsockAPI::LastError()));
        lastError_ = "Unable to Establish Remote Connection";
        s.SocketClose();
        return false;
    }
    // State 7 means the connect was issued; the first send waits for it.
    socketConnected_ = 1;
    NewConnection();
    reconnectPending_ = false;
    timedOut_ = false;
    return true;
}

bool TalqClientAPI::ReconnectSession() {
    if (connection_ == 0) return false;
    if (SilenceLeft() < 0) {
        lastError_ = "Could Not ReConnect Socket";
        return false;
    }
    if (!(remote_ > 0 ? ConnectSocket() : ReopenLocal())) {
        lastError_ = "Could Not ReConnect Socket";
        return false;
    }
    std::string reply;
    std::int32_t replyLength = 0;
    // A request that got no answer at all never reached the server, or the
    // server never said no: the session stays logged in with its project, so
    // that the next request tries again.
    if (userValid_ == 1) {
        std::string command = "TALQRequiredLogin," + userName_ + "," + userPswrd_ + ",," +
                              domainName_ + "," + std::to_string(clientCode_) + ",8.6,1";
        bool ok = SendRequest(command, reply, replyLength, true);
        if (!ok && replyLength == 0) return false;
        std::string status = ok ? mVBUtil::GetField(std::string(1, kListSep), reply, 1) : "";
        if (!ok || status != "1") {
            // The password this session logged in with no longer holds: it
            // was changed, or the user disabled, while the connection was
            // closed or the library ended the session.
            lastError_ = ok && status == "0" && !typedPassword_ ? RequestFrame::kSessionEnded
                                                                 : LoginFailure(ok, status);
            untoldSessionEnd_ = lastError_ == RequestFrame::kSessionEnded ? lastError_ : "";
            ShowError();
            userValid_ = 0;
            projectValid_ = 0;
            return false;
        }
    }
    if (projectValid_ == 1) {
        std::string command =
            "TALQGetProjectInfo," + userName_ + "," + userPswrd_ + "," + projectName_;
        if (!SendRequest(command, reply, replyLength, true)) {
            if (replyLength == 0) return false;
            lastError_ = "Unable to Select Project " + projectName_;
            projectValid_ = 0;
            return false;
        }
        // A lock another user took meanwhile is lost: the server then keeps
        // this user's changes off that page.
        std::vector<std::string> held;
        for (const std::string& key : lockedKeys_) {
            const bool locked =
                SendRequest("TALQSetPageLock," + CommandPrefix() + "," + key, reply, replyLength,
                            true);
            if (!locked && replyLength == 0) return false;
            if (locked) {
                held.push_back(key);
            } else {
                // Held by the connection just lost, most likely: its time
                // is counted afresh.
                earlierHolderUntilMs_.erase(key);
                NoteEarlierHolder(key, reply);
            }
        }
        lockedKeys_ = std::move(held);
    }
    return true;
}
