#pragma once
// Test helpers for a private file system corner and environment variables.

#include <optional>
#include <string>

namespace testsupport {

// A fresh folder under the temporary folder, removed with its content.
class ScopedTempDir {
public:
    ScopedTempDir();
    ~ScopedTempDir();
    ScopedTempDir(const ScopedTempDir&) = delete;
    ScopedTempDir& operator=(const ScopedTempDir&) = delete;
    const std::string& Path() const { return path_; }

private:
    std::string path_;
};

// Sets (or unsets) one environment variable and restores it afterwards.
class ScopedEnv {
public:
    ScopedEnv(std::string name, const std::optional<std::string>& value);
    ~ScopedEnv();
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    std::string name_;
    std::optional<std::string> previous_;
};

// Points every per-user and machine store of the program at a fresh folder:
// HOME, XDG_CONFIG_HOME, XDG_RUNTIME_DIR, TALQ_MACHINE_CONFIG_DIR, TALQ_INI_DIR.
class ScopedUserStores {
public:
    ScopedUserStores();
    const std::string& Root() const { return dir_.Path(); }

private:
    ScopedTempDir dir_;
    ScopedEnv home_, config_, runtime_, machine_, ini_;
};

std::string ReadFile(const std::string& path);
void WriteFile(const std::string& path, const std::string& bytes);

}  // namespace testsupport
