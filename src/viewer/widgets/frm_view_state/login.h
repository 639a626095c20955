#pragma once
// Who is logged in where: the connection fields the login dialogs and the
// command line fill, and the project chosen.

#include <string>

namespace viewer {

struct LoginState {
    std::string szUserID, szPassword;  // szUserID elsewhere: UserID
    std::string szIPAddress, szPort, szDomain;
    std::string szLocalPort, szNetworkCard;
    std::string szProjectName;
};

}  // namespace viewer
