#pragma once
// A session that answers as the server would, from fields a test sets.

#include <string>
#include <vector>

#include "viewer/widgets/viewer_session.h"

namespace testsupport {

struct FakeViewerSession : viewer::ViewerSession {
    bool busy = false;
    bool userValid = false;
    bool projectValid = false;
    bool loginSucceeds = false;
    int logins = 0;
    std::string projectName, projectList, firstKey, backWardLink;
    std::vector<std::string> selectable;  // names SelectProject accepts
    std::string bndryLvls = "1|2";
    int bndryNbr = 2;
    std::int32_t extSystemFlags = 0;
    bool grantLocks = true;
    std::vector<std::string> locksSet, locksRemoved;
    // Also told of removed locks, for tests that outlive the session.
    std::vector<std::string>* removedSink = nullptr;

    void SetDisplayErrorMsgs(bool) override {}
    bool IsRequestInProcess() override { return busy; }
    bool IsUserValid() override { return userValid; }
    bool IsProjectValid() override { return projectValid; }
    std::string ProjectName() override { return projectValid ? projectName : ""; }
    std::string UserName() override { return userValid ? "REVIEWER" : ""; }
    std::string UserPswrd() override { return userValid ? "secret" : ""; }
    std::int32_t SystemFlags() override { return 0; }
    std::int32_t ExtSystemFlags() override { return extSystemFlags; }
    std::string GetTalqProjectList(int) override { return projectList; }
    bool SelectProject(const std::string& name) override {
        projectValid = false;
        for (const std::string& s : selectable) {
            if (s == name) {
                projectValid = true;
                projectName = name;
            }
        }
        return projectValid;
    }
    bool NextKey(const std::string& key, int&, std::string& next) override {
        if (!key.empty() || firstKey.empty()) return false;
        next = firstKey;
        return true;
    }
    std::string BackWardLink() override { return backWardLink; }
    int BndryNbr() override { return projectValid ? bndryNbr : 0; }
    std::string BndryLvls() override { return projectValid ? bndryLvls : ""; }
    bool SetPageLock(const std::string& key) override {
        locksSet.push_back(key);
        return grantLocks;
    }
    bool RemovePageLock(const std::string& key) override {
        locksRemoved.push_back(key);
        if (removedSink != nullptr) removedSink->push_back(key);
        return true;
    }
    bool LoginToServer(std::string&, std::string&, std::string&, std::string&,
                       std::string&) override {
        ++logins;
        userValid = loginSucceeds;
        return loginSucceeds;
    }
};

}  // namespace testsupport
