// What the login procedure changes in the session besides logging in.
#include "server/talq_client_api.h"

void TalqClientAPI::UserPswrd(const std::string& password) {
    if (userValid_ == 1) userPswrd_ = password;
}

void TalqClientAPI::DropUser() {
    userValid_ = 0;
    projectValid_ = 0;
    userName_.clear();
    userPswrd_.clear();
}
