#include "server/widgets/login_procedure.h"

#include "foundation/number_text.h"
#include "foundation/widgets/dialog_factory.h"
#include "platform/prompts.h"
#include "platform/rounding.h"
#include "server/login_rules.h"
#include "server/net_defaults.h"
#include "server/talq_client_api.h"
#include "server/widgets/frm_login.h"
#include "server/widgets/frm_new_pswrd.h"

namespace mLogin {
namespace {

std::int32_t Number(const std::string& text) {
    return platform::RoundToInt(mVBUtil::Val(text));
}

// Gives the session back the caller's time-out on every way out.
class TimeoutRestorer {
  public:
    TimeoutRestorer(TalqClientAPI& session, std::int32_t seconds)
        : session_(session), seconds_(seconds) {}
    ~TimeoutRestorer() { session_.timeout(seconds_); }
    TimeoutRestorer(const TimeoutRestorer&) = delete;
    TimeoutRestorer& operator=(const TimeoutRestorer&) = delete;

  private:
    TalqClientAPI& session_;
    std::int32_t seconds_;
};

}  // namespace

bool LoginToServer(TalqClientAPI& session, std::string& domain, std::string& ipAddress,
                   std::string& ipPort, std::string& localPort, std::string& networkCard,
                   QWidget* parent) {
    if (session.IsRequestInProcess()) {
        platform::Beep();
        return false;
    }
    if (ipAddress.empty())
        mNetDefaults::LoadNetDefaults(domain, ipAddress, ipPort, localPort, networkCard);

    int accessMode = LoadAccessMode();
    RememberedLogin remembered = LoadRememberedLogin(accessMode);
    int remember = LoadRememberFlag();

    std::string userId;
    std::string password;
    int changePassword = 0;
    {
        auto dialog = talq::DialogFactory<frmLogin>::Create(parent);
        dialog->DomainName = domain;
        dialog->IPAddress = ipAddress;
        dialog->LocalPort = localPort;
        dialog->NetworkCard = networkCard;
        dialog->Password = remembered.password;
        dialog->IPPort = ipPort;
        dialog->UserID = remembered.userId;
        dialog->RememberLogin = remember;
        dialog->AccessMode = accessMode;
        dialog->exec();

        changePassword = dialog->ChangePassword;
        if (dialog->Cancelled != 0) {
            session.CloseTalqConnection();
            return false;
        }
        domain = dialog->DomainName;
        ipAddress = dialog->IPAddress;
        localPort = dialog->LocalPort;
        networkCard = dialog->NetworkCard;
        password = dialog->Password;
        ipPort = dialog->IPPort;
        userId = dialog->UserID;
        remember = dialog->RememberLogin;
        accessMode = dialog->AccessMode;
        if (dialog->ConfigChanged != 0)
            mNetDefaults::SaveNetDefaults(domain, ipAddress, ipPort, localPort, networkCard);
        SaveAccessMode(accessMode);
    }

    std::int32_t callersTimeout = session.timeout();
    if (callersTimeout == 0) callersTimeout = 120;
    TimeoutRestorer restorer(session, callersTimeout);

    if (!session.OpenTalqConnection(static_cast<std::int16_t>(accessMode), domain, ipAddress,
                                    Number(ipPort), Number(localPort), Number(networkCard), 20))
        return false;
    session.timeout(20);
    if (!session.TalqLogin(userId, password, 1)) return false;

    std::int32_t flags = session.ExtSystemFlags();
    if ((flags & kPasswordChangeEnabled) != 0) {
        bool strongRequired = (flags & kStrongPasswordsRequired) != 0;
        bool forced = strongRequired && !IsStrongPassword(password);
        if (forced || changePassword == -1) ChangeUserPassword(session, userId, password, parent);
        if (strongRequired && !IsStrongPassword(password)) {
            // Nothing is sent: the user is simply no longer logged in here.
            session.DropUser();
            return false;
        }
    }

    if ((session.ExtSystemFlags() & kRememberLoginsAllowed) == 0) remember = 0;
    bool kept = false;
    if (remember != 0) {
        kept = SaveRememberedLogin(accessMode, userId, password);
    } else {
        ForgetRememberedLogin(accessMode);
    }
    SaveRememberFlag(kept);
    return true;
}

bool ChangeUserPassword(TalqClientAPI& session, const std::string& userId, std::string& password,
                        QWidget* parent) {
    std::string newPassword;
    {
        auto dialog = talq::DialogFactory<frmNewPswrd>::Create(parent);
        if ((session.ExtSystemFlags() & kStrongPasswordsRequired) != 0) dialog->StrongRule = 1;
        dialog->exec();
        if (dialog->Cancelled == 1) return false;
        newPassword = dialog->NewPassword;
    }
    std::string reply;
    bool sent = session.RemotePassThrough(
        "TALQChangePassword," + userId + "," + password + "," + newPassword, reply, 1);
    if (!sent || reply != "OK") {
        platform::BeepWarning(
            TalqClientAPI::WithServerReason("Unable to Change Password", session.LastError()));
        return false;
    }
    password = newPassword;
    session.UserPswrd(newPassword);
    return true;
}

}  // namespace mLogin
