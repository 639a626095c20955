#pragma once
// What the main window asks of its session, and nothing more. An adapter
// over TalqClientAPI implements it; tests play the server's replies with a
// fake. DisconnectedSession answers as a session that never logged in.

#include <cstdint>
#include <string>

namespace viewer {

class ViewerSession {
  public:
    virtual ~ViewerSession() = default;

    virtual void SetDisplayErrorMsgs(bool on) = 0;
    virtual bool IsRequestInProcess() = 0;
    virtual bool IsUserValid() = 0;
    virtual bool IsProjectValid() = 0;
    virtual std::string ProjectName() = 0;
    virtual std::string UserName() = 0;
    virtual std::string UserPswrd() = 0;
    virtual std::int32_t SystemFlags() = 0;
    virtual std::int32_t ExtSystemFlags() = 0;
    // Project names joined by character 30.
    virtual std::string GetTalqProjectList(int clientCode) = 0;
    virtual bool SelectProject(const std::string& projectName) = 0;
    virtual bool NextKey(const std::string& key, int& level, std::string& nextKey) = 0;
    virtual std::string BackWardLink() = 0;
    // "|"-separated boundary levels of the selected project and their count.
    virtual int BndryNbr() = 0;
    virtual std::string BndryLvls() = 0;
    virtual bool SetPageLock(const std::string& key) = 0;
    virtual bool RemovePageLock(const std::string& key) = 0;
    // The interactive login with the connection fields, which it may change.
    virtual bool LoginToServer(std::string& domain, std::string& ipAddress, std::string& port,
                               std::string& localPort, std::string& networkCard) = 0;
};

class DisconnectedSession : public ViewerSession {
  public:
    void SetDisplayErrorMsgs(bool) override {}
    bool IsRequestInProcess() override { return false; }
    bool IsUserValid() override { return false; }
    bool IsProjectValid() override { return false; }
    std::string ProjectName() override { return {}; }
    std::string UserName() override { return {}; }
    std::string UserPswrd() override { return {}; }
    std::int32_t SystemFlags() override { return 0; }
    std::int32_t ExtSystemFlags() override { return 0; }
    std::string GetTalqProjectList(int) override { return {}; }
    bool SelectProject(const std::string&) override { return false; }
    bool NextKey(const std::string&, int&, std::string&) override { return false; }
    std::string BackWardLink() override { return {}; }
    int BndryNbr() override { return 0; }
    std::string BndryLvls() override { return {}; }
    bool SetPageLock(const std::string&) override { return false; }
    bool RemovePageLock(const std::string&) override { return false; }
    bool LoginToServer(std::string&, std::string&, std::string&, std::string&,
                       std::string&) override {
        return false;
    }
};

}  // namespace viewer
