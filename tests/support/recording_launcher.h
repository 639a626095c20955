#pragma once
// A launcher that records what it was asked to open or start.

#include <string>
#include <vector>

#include "platform/launcher.h"

namespace testsupport {

class RecordingLauncher : public platform::Launcher {
  public:
    bool OpenWithDesktop(const std::string& target) override {
        calls.push_back("open " + target);
        return ok;
    }
    bool StartProgramWith(const std::string& program, const std::string& document) override {
        calls.push_back("start " + program + " | " + document);
        return ok;
    }
    std::vector<std::string> calls;
    bool ok = true;
};

}  // namespace testsupport
