#include "platform/user_dirs.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace platform {
namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value ? std::string(value) : std::string();
}

std::string Home() {
    std::string home = Env("HOME");
    return home.empty() ? std::string("/tmp") : home;
}

// A folder of our own: owned by this user, not reachable by others.
bool EnsurePrivateDir(const std::string& path) {
    if (!MakeDirs(path, 0700)) return false;
    struct stat st{};
    if (lstat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != getuid()) {
        return false;
    }
    if ((st.st_mode & 077) != 0) chmod(path.c_str(), 0700);
    return true;
}

}  // namespace

bool MakeDirs(const std::string& path, unsigned mode) {
    if (path.empty()) return false;
    for (size_t pos = 1; pos <= path.size(); ++pos) {
        if (pos == path.size() || path[pos] == '/') {
            std::string part = path.substr(0, pos);
            if (mkdir(part.c_str(), mode) != 0 && errno != EEXIST) return false;
        }
    }
    struct stat st{};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ConfigDir() {
    std::string base = Env("XDG_CONFIG_HOME");
    if (base.empty()) base = Home() + "/.config";
    return base + "/talq";
}

std::string MachineConfigDir() {
    std::string dir = Env("TALQ_MACHINE_CONFIG_DIR");
    return dir.empty() ? std::string("/etc/talq") : dir;
}

std::string RuntimeDir() {
    std::string base = Env("XDG_RUNTIME_DIR");
    if (!base.empty()) {
        std::string dir = base + "/talq";
        if (EnsurePrivateDir(dir)) return dir;
    }
    std::string tmp = Env("TMPDIR");
    if (tmp.empty()) tmp = "/tmp";
    std::string dir = tmp + "/talq-" + std::to_string(getuid());
    return EnsurePrivateDir(dir) ? dir : std::string();
}

std::string IniDir() {
    std::string dir = Env("TALQ_INI_DIR");
    return dir.empty() ? ConfigDir() : dir;
}

}  // namespace platform
