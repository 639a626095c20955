#pragma once
// Reaches the private transport of TalqClientAPI from tests.

#include <string>

#include "server/talq_client_api.h"

class TalqClientApiTestPeer {
  public:
    static bool Send(TalqClientAPI& api, const std::string& command, std::string& reply) {
        std::int32_t length = 0;
        return api.SendRequest(command, reply, length, false);
    }
    static void LogIn(TalqClientAPI& api, const std::string& user, const std::string& password,
                      const std::string& project) {
        api.userValid_ = 1;
        api.userName_ = user;
        api.userPswrd_ = password;
        api.clientCode_ = 1;
        if (!project.empty()) {
            api.projectValid_ = 1;
            api.projectName_ = project;
        }
    }
    static bool UserValid(const TalqClientAPI& api) { return api.userValid_ == 1; }
    static void UseLibrary(TalqClientAPI& api, const std::string& name) {
        api.localLibraryName_ = name;
    }
    static bool ConnectSocket(TalqClientAPI& api) { return api.ConnectSocket(); }
    static bool SocketConnected(const TalqClientAPI& api) { return api.socketConnected_ == 1; }
    static int LocalMode(const TalqClientAPI& api) { return api.localMode_; }
    // Where the next connection of the session goes.
    static void PointAt(TalqClientAPI& api, int port) { api.ipPort_ = port; }
};
