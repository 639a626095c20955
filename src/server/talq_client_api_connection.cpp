#include <map>

#include "foundation/wait.h"
#include "platform/event_pump.h"
#include "platform/prompts.h"
#include "platform/rounding.h"
#include "platform/wire_separators.h"
#include "server/encrypted_socket.h"
#include "server/local_access.h"
#include "server/request_frame.h"
#include "server/talq_client_api.h"
#include "server/talq_number.h"
#include "server/winsock_api.h"

namespace {

// Libraries stay loaded for the life of the process: unloading one whose
// code may still be referenced gains nothing.
LocalAccessLibrary* SharedLibrary(const std::string& name) {
    static std::map<std::string, LocalAccessLibrary> libraries;
    LocalAccessLibrary& library = libraries[name];
    return library.Load(name) ? &library : nullptr;
}

}  // namespace

TalqClientAPI::TalqClientAPI() : localLibraryName_(kLocalAccessLibraryName) {}

TalqClientAPI::~TalqClientAPI() {
    CloseTalqConnection();
    if (closeDeferred_) FinishClose(true);
}

std::int32_t TalqClientAPI::SystemFlags() const {
    return connection_ != 0 ? systemFlags_ : 0;
}
std::int32_t TalqClientAPI::ExtSystemFlags() const {
    return connection_ != 0 ? extSystemFlags_ : 0;
}

void TalqClientAPI::timeout(std::int32_t seconds) {
    if (seconds == 0) seconds = 15;
    if (seconds > 300) seconds = 300;
    if (seconds < 5) seconds = 5;
    timeout_ = seconds;
}

void TalqClientAPI::AbortRemoteOperation() {
    abortRequested_ = 1;
}
void TalqClientAPI::SetRequestLock() {
    ++busyCount_;
}
void TalqClientAPI::ReleaseRequestLock() {
    if (--busyCount_ < 0) busyCount_ = 0;
}

bool TalqClientAPI::HoldsFieldBreaker(const std::string& text) {
    for (unsigned char c : text) {
        if (c == ',' || c == 0 || c == wire::kRecordSep || c == wire::kSectionSep ||
            c == wire::kListSep || c == wire::kFieldSep)
            return true;
    }
    return false;
}

void TalqClientAPI::ShowError() {
    if (!displayErrorMsgs_) return;
    platform::MsgBox(lastError_, platform::vbCritical, "Warning");
    if (lastError_ == untoldSessionEnd_) untoldSessionEnd_.clear();
    if (!databaseError_.empty() &&
        lastError_.find(ServerReason(databaseError_)) != std::string::npos)
        databaseErrorTold_ = true;
}

bool TalqClientAPI::OpenTalqConnection(std::int16_t accessMode, std::string domainName,
                                       std::string ipAddress, std::int32_t ipPort,
                                       std::int32_t localPortBase, std::int32_t networkCard,
                                       std::int32_t timeout) {
    CloseTalqConnection();
    replyLost_ = false;
    // A close still waiting for a request lower on the stack cannot be
    // followed by a new session on the same object.
    if (closeDeferred_) {
        lastError_ = "Request Currently In Process";
        return false;
    }
    sessionClosed_ = 0;
    remote_ = 0;
    localMode_ = 0;
    lastError_.clear();
    // The server's reason, when it gave one, on a line of its own.
    auto fail = [this](const char* text, const std::string& reason = "") {
        lastError_ = text;
        if (!reason.empty()) lastError_ += "\n" + reason;
        ShowError();
        return false;
    };
    std::string reply;
    std::int32_t replyLength = 0;
    auto readFlags = [&](const std::string& command, const char* failure, std::int32_t& flags) {
        if (SendRequest(command, reply, replyLength, false)) {
            flags = talqnumber::Long(reply);
            return true;
        }
        std::string reason = ServerReason(lastError_);
        // No server answered: the place tried is what there is to check.
        if (reason.empty() && remote_ > 0)
            reason = "IP Address " + ipAddress_ + ", IP Port " + std::to_string(ipPort_);
        CloseTalqConnection();
        return fail(failure, reason);
    };

    if (accessMode >= 1) {
        localMode_ = accessMode == 1 ? 1 : 2;
        localHandle_ = 0;
        localLibrary_ = SharedLibrary(localLibraryName_);
        if (localLibrary_ == nullptr) return fail("Local Access Not Supported");
        localHandle_ = localLibrary_->AllocateConnectionHndl();
        if (localHandle_ == 0) return fail("Unable to Allocate Connection Handle");
        if (localLibrary_->ConnectLocal(localMode_, localHandle_) != 0) {
            // The library's reason, on a line of its own, says what to do.
            const std::string reason = localLibrary_->ConnectFailure(localHandle_);
            localLibrary_->FreeConnectionHndl(localHandle_);
            localHandle_ = 0;
            lastError_ = "Invalid TALQ System Directory";
            if (!reason.empty()) lastError_ += "\n" + reason;
            ShowError();
            return false;
        }
        connection_ = 1;
        lastError_.clear();
        if (!readFlags("TALQGetSystemFlags", "Unable to Establish an TALQ Connection",
                       systemFlags_) ||
            !readFlags("TALQGetExtSystemFlags", "Unable to Obtain Extended System Flags",
                       extSystemFlags_))
            return false;
        connection_ = 1;
        return true;
    }

    remote_ = 1;
    domainName_ = domainName;
    if (domainName_.empty() || HoldsFieldBreaker(domainName_)) return fail("Invalid Domain Name");
    ipAddress_ = ipAddress;
    if (ipAddress_.empty()) return fail("Invalid IP Address");
    ipPort_ = ipPort;
    if (ipPort_ == 0) return fail("Invalid IP Port");
    localPortBase_ = localPortBase;
    networkCard_ = networkCard;

    std::int32_t kept = timeout_;
    timeout_ = 45;
    socket_ = std::make_unique<EncryptedSocket>();
    socketCreated_ = 1;
    if (!ConnectSocket()) {
        timeout_ = kept;
        if (lastError_ != "Aborted") lastError_ = "Could Not Connect Socket";
        return false;
    }
    timeout_ = kept < 30 ? 30 : kept;

    if (!readFlags("TALQGetSystemFlags," + domainName_, "Unable to Establish an TALQ Connection",
                   systemFlags_) ||
        !readFlags("TALQGetExtSystemFlags," + domainName_,
                   "Unable to Obtain Extended System Flags", extSystemFlags_))
        return false;

    if (timeout != 0) timeout_ = timeout;
    if (timeout_ == 0) timeout_ = 30;
    if (timeout_ > 300) timeout_ = 300;
    if (timeout_ < 5) timeout_ = 5;
    connection_ = 1;
    return true;
}

void TalqClientAPI::CloseTalqConnection() {
    ReleaseSessionResources();
    sessionClosed_ = 1;
    if (requestNestingCount_ > 0) {
        // A request waits lower on this stack: it sees the flags at its next
        // poll and unwinds; the socket is freed once it has (FinishClose).
        connectionClosing_ = 1;
        closeDeferred_ = true;
        userValid_ = 0;
        projectValid_ = 0;
        connection_ = 0;
        systemFlags_ = 0;
        extSystemFlags_ = 0;
        return;
    }
    FinishClose(false);
}

void TalqClientAPI::FinishClose(bool keepError) {
    closeDeferred_ = false;
    if (socketCreated_ == 1 && socket_) {
        if (socketConnected_ == 1) socket_->SocketClose();
        socketConnected_ = 0;
    }
    socket_.reset();
    if (localHandle_ != 0 && localLibrary_ != nullptr) {
        localLibrary_->CloseConnection(localHandle_);
        localLibrary_->FreeConnectionHndl(localHandle_);
    }
    localHandle_ = 0;
    requestNestingCount_ = 0;
    busyCount_ = 0;
    remote_ = 0;
    socketCreated_ = 0;
    userValid_ = 0;
    projectValid_ = 0;
    lockedKeys_.clear();
    earlierHolderUntilMs_.clear();
    connection_ = 0;
    systemFlags_ = 0;
    extSystemFlags_ = 0;
    connectionClosing_ = 0;
    reconnectPending_ = false;
    if (!keepError) lastError_.clear();
}
