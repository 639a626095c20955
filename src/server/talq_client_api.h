#pragma once
// The session object: the one door through which every request of the
// program reaches the document server, over a scrambled TCP frame (access
// mode 0) or through the local-access library (modes 1 and 2).
//
// The class grows by family; each family keeps its own section below and
// its own .cpp file (talq_client_api_<family>.cpp).

#include <cstdint>
#include <memory>
#include <string>

class EncryptedSocket;
class LocalAccessLibrary;

class TalqClientAPI {
  public:
    TalqClientAPI();
    ~TalqClientAPI();
    TalqClientAPI(const TalqClientAPI&) = delete;
    TalqClientAPI& operator=(const TalqClientAPI&) = delete;

    // ---- Connection and transport (talq_client_api_connection.cpp) ----
    bool OpenTalqConnection(std::int16_t accessMode, std::string domainName, std::string ipAddress,
                            std::int32_t ipPort, std::int32_t localPortBase,
                            std::int32_t networkCard, std::int32_t timeout);
    void CloseTalqConnection();
    void AbortRemoteOperation();
    void SetRequestLock();
    void ReleaseRequestLock();

    std::int32_t SystemFlags() const;
    std::int32_t ExtSystemFlags() const;
    const std::string& LastError() const { return lastError_; }
    std::int32_t timeout() const { return timeout_; }
    void timeout(std::int32_t seconds);
    bool IsRequestInProcess() const { return busyCount_ >= 1; }
    bool IsRemoteAccess() const { return remote_ > 0; }
    bool DisplayErrorMsgs() const { return displayErrorMsgs_; }
    void DisplayErrorMsgs(bool on) { displayErrorMsgs_ = on; }

    // True when text would shift the server's fields inside a command: a ","
    // or a character 0, 24, 25, 30 or 31.
    static bool HoldsFieldBreaker(const std::string& text);

    // ---- Session state, login and project record ----
    // (filled by the session family)

  private:
    friend class TalqClientApiTestPeer;

    // ---- Transport (talq_client_api_request.cpp) ----
    bool SendRequest(const std::string& command, std::string& reply, std::int32_t& replyLength,
                     bool allowNested);
    bool SendLocal(const std::string& command, std::string& reply, std::int32_t& replyLength);
    bool ConnectSocket();
    bool ReconnectSession();
    // Drops the socket of a stream whose state is no longer known (time-out,
    // abort, bad data): the next request connects and logs in again.
    void DropSocket();
    void EnterNesting();
    void LeaveNesting();
    void FinishClose(bool keepError);
    void ShowError();

    // Releases what other families hold for the session (batch print file,
    // concept search, local temporary files) when the connection closes.
    void ReleaseSessionResources();

    // Transport state.
    std::int16_t remote_ = 0;
    std::int16_t socketCreated_ = 0;
    std::int16_t socketConnected_ = 0;
    std::unique_ptr<EncryptedSocket> socket_;
    std::int32_t localHandle_ = 0;
    std::int16_t localMode_ = 0;
    LocalAccessLibrary* localLibrary_ = nullptr;
    std::string localLibraryName_;
    std::string domainName_;
    std::string ipAddress_;
    std::int32_t ipPort_ = 0;
    std::int32_t localPortBase_ = 0;
    std::int32_t networkCard_ = 0;
    std::int32_t timeout_ = 0;
    std::int32_t busyCount_ = 0;
    std::int16_t requestNestingCount_ = 0;
    std::int16_t abortRequested_ = 0;
    std::int16_t connectionClosing_ = 0;
    std::int16_t sessionClosed_ = 0;
    bool closeDeferred_ = false;
    bool reconnectPending_ = false;
    std::int32_t connection_ = 0;
    std::int32_t systemFlags_ = 0;
    std::int32_t extSystemFlags_ = 0;

    // Session state the transport reads to log in again after a reconnect.
    std::string lastError_;
    bool displayErrorMsgs_ = false;
    std::int16_t userValid_ = 0;
    std::int16_t projectValid_ = 0;
    std::string userName_;
    std::string userPswrd_;
    std::string projectName_;
    std::int16_t clientCode_ = 0;
};
