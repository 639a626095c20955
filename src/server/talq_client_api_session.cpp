// Session state: the guard every request runs first, login, the project list
// and the selected project's record.
#include <algorithm>

#include "foundation/big_string.h"
#include "foundation/fields.h"
#include "foundation/text_match.h"
#include "platform/prompts.h"
#include "platform/wire_separators.h"
#include "server/request_frame.h"
#include "server/talq_client_api.h"
#include "server/talq_number.h"

namespace {

const std::string kListSep(1, wire::kListSep);
const std::string kSectionSep(1, wire::kSectionSep);
const std::string kItemSep = "|";

}  // namespace

bool TalqClientAPI::ValidateSession(std::int16_t bits) {
    lastError_.clear();
    // Every request starts here: one refused before it is sent lost nothing.
    replyLost_ = false;
    const char* failure = nullptr;
    if (((bits & 1) != 0 || bits == 0) && connection_ == 0) {
        failure = "Invalid Session.";
    } else if ((bits & 2) != 0 && userValid_ != 1) {
        failure = "User Not Logged In.";
    } else if ((bits & 4) != 0 && projectValid_ != 1) {
        failure = "Project Not Selected.";
    }
    if (failure == nullptr) return true;
    lastError_ = failure;
    // A session the server ended is told why once, not at each request of a
    // page; a login it refused was told then, with its reason.
    if ((bits & 2) != 0 && LoginRefused()) {
        if (untoldSessionEnd_.empty()) return false;
        lastError_ = untoldSessionEnd_;
    }
    ShowError();
    return false;
}

bool TalqClientAPI::RefuseBreakers(std::initializer_list<const std::string*> texts,
                                   const char* what) {
    for (const std::string* text : texts) {
        if (HoldsFieldBreaker(*text)) {
            lastError_ = std::string("Invalid Character in ") + what;
            replyLost_ = false;
            return true;
        }
    }
    return false;
}

bool TalqClientAPI::Request(const std::string& command, std::string& reply) {
    std::int32_t length = 0;
    return SendRequest(command, reply, length, false);
}

std::string TalqClientAPI::CommandPrefix() const {
    return userName_ + "," + userPswrd_ + "," + projectName_;
}

bool TalqClientAPI::TalqLogin(const std::string& userId, const std::string& password,
                              std::int16_t clientCode) {
    CloseBatchPrintFile();
    userValid_ = 0;
    projectValid_ = 0;
    userName_.clear();
    userPswrd_.clear();
    untoldSessionEnd_.clear();
    clientCode_ = clientCode;
    if (!ValidateSession(9)) return false;
    if (RefuseBreakers({&userId}, "User Id") || RefuseBreakers({&password}, "Password")) {
        ShowError();
        return false;
    }

    std::string reply;
    if (!Request("TALQGetVersion", reply)) {
        lastError_ = "Invalid Server Version";
        platform::MsgBox("Unable to obtain Server Version Number", platform::vbOKOnly);
        return false;
    }
    // A textual compare, as servers have always been checked: 8.10 is refused.
    if (mVBUtil::CompareTextNoCase(reply, "8.6.") < 0) {
        lastError_ = "Invalid Server Version";
        platform::MsgBox(
            "Server Version = " + reply + "\n" + "TALQ Server Version 8.6 or Higher is Required",
            platform::vbCritical, "Warning");
        return false;
    }

    std::string command = "TALQRequiredLogin," + userId + "," + password + ",," + domainName_ +
                          "," + std::to_string(clientCode) + ",8.6,1";
    bool ok = Request(command, reply);
    std::string status = ok ? mVBUtil::GetField(kListSep, reply, 1) : "";
    if (ok && status == "1") {
        userName_ = userId;
        userPswrd_ = password;
        userSystemSecurity_ = talqnumber::Long(mVBUtil::GetField(kListSep, reply, 2));
        userFullName_ = mVBUtil::GetField(kListSep, reply, 3);
        userValid_ = 1;
        lastError_.clear();
        return true;
    }
    lastError_ = LoginFailure(ok, status);
    ShowError();
    return false;
}

std::string TalqClientAPI::GetTalqProjectList(std::int16_t clientCode) {
    if (!ValidateSession(11)) return "";
    std::string reply;
    if (!Request("TALQGetTalqPrjList," + userName_ + "," + userPswrd_ + ",," +
                     std::to_string(clientCode),
                 reply) ||
        reply.empty()) {
        return "";
    }
    clsBigString list;
    bool first = true;
    int n = mVBUtil::CountFields(",", reply);
    for (int i = 1; i <= n; ++i) {
        std::string entry = mVBUtil::GetField(",", reply, i);
        if (clientCode <= 0) entry = mVBUtil::GetField("\t", entry, 1);
        if (entry.empty()) continue;
        if (!first) list.AddStr(kListSep);
        list.AddStr(entry);
        first = false;
    }
    return list.GetStr();
}

bool TalqClientAPI::SelectProject(const std::string& projectName) {
    CloseBatchPrintFile();
    QuesterClearSearch();
    projectValid_ = 0;
    if (!ValidateSession(11)) return false;
    if (projectName.empty()) {
        lastError_ = "Invalid Project Name";
        ShowError();
        return false;
    }
    if (RefuseBreakers({&projectName}, "Project Name")) {
        ShowError();
        return false;
    }
    record_ = ProjectRecord{};
    std::string reply;
    if (!Request("TALQGetProjectInfo," + userName_ + "," + userPswrd_ + "," + projectName, reply)) {
        // The server's refusal ("Invalid Key Range: ...") is why, and stays with it.
        lastError_ = WithServerReason("Unable to Select Project " + projectName, lastError_);
        return false;
    }
    projectName_ = projectName;
    ParseProjectRecord(reply);
    record_.ProjectName = projectName;
    projectValid_ = 1;
    return true;
}

void TalqClientAPI::ParseProjectRecord(const std::string& reply) {
    ProjectRecord r;
    // One pass over the reply: a record may hold thousands of fields.
    int position = 1;
    auto next = [&]() { return mVBUtil::NextToken(kSectionSep, reply, position); };
    auto list = [&](std::string& target, int count, bool flags = false) {
        mVBUtil::FieldBuilder built(kItemSep[0]);
        for (int i = 1; i <= count; ++i) {
            std::string item = next();
            if (flags) {
                std::int32_t code = talqnumber::Long(item);
                item = (code >= 33 && code <= 126) ? std::string(1, static_cast<char>(code)) : "";
            }
            built.Set(i, item);
        }
        target = built.Text();
    };
    // A count past the fields the record holds is bad data; held to them, a
    // bad reply cannot make every later walk over the levels take minutes.
    const int fields = mVBUtil::CountFields(kSectionSep, reply);
    r.BndryNbr = static_cast<std::int16_t>(std::min<int>(talqnumber::Integer(next()), fields));
    int n = r.BndryNbr > 0 ? r.BndryNbr : 0;
    list(r.BndryLvls, n);
    list(r.BndryDescs, n);
    list(r.BndryIcons, n);
    r.InfoNbr = static_cast<std::int16_t>(std::min<int>(talqnumber::Integer(next()), fields));
    int m = r.InfoNbr > 0 ? r.InfoNbr : 0;
    list(r.InfoFields, m);
    list(r.InfoDescs, m);
    r.UserProjectSecurity = talqnumber::Long(next());
    next();
    r.Bndry3rdParty = talqnumber::Integer(next());
    r.FullText = talqnumber::Integer(next());
    r.FurtherText1 = next();
    list(r.BndryFlags, n, true);
    r.ProjectDescription = next();
    r.BackWardLink = mVBUtil::UCase(next());
    r.PrintMessage = next();
    r.RestrictionBits = talqnumber::Long(next());
    r.FurtherText2 = next();
    record_ = r;
}

void TalqClientAPI::CloseProject() {
    CloseBatchPrintFile();
    QuesterClearSearch();
    projectValid_ = 0;
    if (!ValidateSession(1)) return;
    record_ = ProjectRecord{};
    std::string reply;
    Request("TALQCloseProject", reply);
}

std::int32_t TalqClientAPI::UserProjectSecurity() const {
    return projectValid_ == 1 ? record_.UserProjectSecurity : 0;
}

namespace {
template <typename T>
T When(bool valid, const T& value) {
    return valid ? value : T{};
}
}  // namespace

std::string TalqClientAPI::ProjectName() const {
    return When(projectValid_ == 1, projectName_);
}
std::string TalqClientAPI::UserName() const {
    return When(userValid_ == 1, userName_);
}
std::string TalqClientAPI::UserPswrd() const {
    return When(userValid_ == 1, userPswrd_);
}
std::string TalqClientAPI::UserSystemSecurity() const {
    return userValid_ == 1 ? std::to_string(userSystemSecurity_) : "";
}
std::string TalqClientAPI::UserFullName() const {
    return When(userValid_ == 1, userFullName_);
}
std::string TalqClientAPI::ProjectDescription() const {
    return When(projectValid_ == 1, record_.ProjectDescription);
}
std::string TalqClientAPI::BndryLvls() const {
    return When(projectValid_ == 1, record_.BndryLvls);
}
std::string TalqClientAPI::BndryDescs() const {
    return When(projectValid_ == 1, record_.BndryDescs);
}
std::string TalqClientAPI::BndryIcons() const {
    return When(projectValid_ == 1, record_.BndryIcons);
}
std::string TalqClientAPI::BndryFlags() const {
    return When(projectValid_ == 1, record_.BndryFlags);
}
std::string TalqClientAPI::InfoDescs() const {
    return When(projectValid_ == 1, record_.InfoDescs);
}
std::string TalqClientAPI::InfoFields() const {
    return When(projectValid_ == 1, record_.InfoFields);
}
std::string TalqClientAPI::PrintMessage() const {
    return When(projectValid_ == 1, record_.PrintMessage);
}
std::int16_t TalqClientAPI::BndryNbr() const {
    return When(projectValid_ == 1, record_.BndryNbr);
}
std::int16_t TalqClientAPI::Bndry3rdParty() const {
    return When(projectValid_ == 1, record_.Bndry3rdParty);
}
std::int16_t TalqClientAPI::FullText() const {
    return When(projectValid_ == 1, record_.FullText);
}
std::int16_t TalqClientAPI::InfoNbr() const {
    return When(projectValid_ == 1, record_.InfoNbr);
}
