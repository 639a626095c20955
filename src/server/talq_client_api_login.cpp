// What the login procedure changes in the session besides logging in.
#include "server/talq_client_api.h"

void TalqClientAPI::UserPswrd(const std::string& password) {
    if (userValid_ == 1) userPswrd_ = password;
}

void TalqClientAPI::DropUser() {
    userValid_ = 0;
    projectValid_ = 0;
    lockedKeys_.clear();
    earlierHolderUntilMs_.clear();
    userName_.clear();
    userPswrd_.clear();
}

bool TalqClientAPI::LoginRefused() const {
    return connection_ != 0 && userValid_ == 0 && !userName_.empty();
}

bool TalqClientAPI::LogInAgain(const std::string& password) {
    replyLost_ = false;
    if (!LoginRefused()) {
        lastError_ = "User Not Logged In.";
        return false;
    }
    if (requestNestingCount_ > 0) {
        lastError_ = "Request Currently In Process";
        return false;
    }
    if (RefuseBreakers({&password}, "Password")) {
        ShowError();
        return false;
    }
    // The reconnection logs in and selects what the session holds as valid.
    const std::string kept = userPswrd_;
    userPswrd_ = password;
    userValid_ = 1;
    projectValid_ = projectName_.empty() ? 0 : 1;
    typedPassword_ = true;
    const bool in = ReconnectSession();
    typedPassword_ = false;
    if (in) {
        untoldSessionEnd_.clear();
        return true;
    }
    // Not even an answer leaves it logged in here: the password is unproven.
    userValid_ = 0;
    projectValid_ = 0;
    userPswrd_ = kept;
    return false;
}

std::string TalqClientAPI::TakeUntoldSessionEnd() {
    const std::string why = ServerReason(untoldSessionEnd_);
    untoldSessionEnd_.clear();
    return why;
}

std::string TalqClientAPI::ServerReason(const std::string& error) {
    if (error.rfind("ERROR", 0) != 0 || error == "ERROR: Invalid Data Returned") return "";
    const std::size_t at = error.find_first_not_of(": ", 5);
    return at == std::string::npos ? "" : error.substr(at);
}

std::string TalqClientAPI::WithServerReason(const std::string& text, const std::string& error) {
    const std::string reason = ServerReason(error);
    return reason.empty() ? text : text + "\n" + reason;
}

std::string TalqClientAPI::LoginFailure(bool ok, const std::string& status) const {
    if (ok && status != "0") return "Invalid Login Parameters";
    const std::string reason = ok ? "" : ServerReason(lastError_);
    return reason.empty() ? "Invalid Login" : "Invalid Login\n" + reason;
}
