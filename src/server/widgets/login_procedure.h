#pragma once
// The interactive login: asks for the login, connects, logs in and applies
// the server's password policy; keeps or forgets the login per access mode.

#include <string>

class QWidget;
class TalqClientAPI;

namespace mLogin {

// True when connected and logged in. The five connection texts are the
// caller's; the login dialog may change them.
bool LoginToServer(TalqClientAPI& session, std::string& domain, std::string& ipAddress,
                   std::string& ipPort, std::string& localPort, std::string& networkCard,
                   QWidget* parent = nullptr);

// Asks for a new password and sends it. On success password holds the new
// one, the session uses it, and true is returned.
bool ChangeUserPassword(TalqClientAPI& session, const std::string& userId, std::string& password,
                        QWidget* parent = nullptr);

}  // namespace mLogin
