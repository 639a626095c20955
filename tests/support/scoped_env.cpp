#include "support/scoped_env.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "platform/user_dirs.h"

namespace testsupport {

ScopedTempDir::ScopedTempDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/talq-test-XXXXXX";
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

ScopedTempDir::~ScopedTempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

ScopedEnv::ScopedEnv(std::string name, const std::optional<std::string>& value)
    : name_(std::move(name)) {
    if (const char* old = std::getenv(name_.c_str())) previous_ = old;
    if (value) {
        setenv(name_.c_str(), value->c_str(), 1);
    } else {
        unsetenv(name_.c_str());
    }
}

ScopedEnv::~ScopedEnv() {
    if (previous_) {
        setenv(name_.c_str(), previous_->c_str(), 1);
    } else {
        unsetenv(name_.c_str());
    }
}

ScopedUserStores::ScopedUserStores()
    : home_("HOME", dir_.Path() + "/home"),
      config_("XDG_CONFIG_HOME", dir_.Path() + "/config"),
      runtime_("XDG_RUNTIME_DIR", dir_.Path() + "/run"),
      machine_("TALQ_MACHINE_CONFIG_DIR", dir_.Path() + "/machine"),
      ini_("TALQ_INI_DIR", dir_.Path() + "/ini") {
    for (const char* sub : {"/home", "/config", "/run", "/machine", "/ini"}) {
        platform::MakeDirs(dir_.Path() + sub, 0700);
    }
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

}  // namespace testsupport
