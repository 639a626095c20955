#include "path_confine.h"

#include <sys/stat.h>

#include <climits>
#include <cstdlib>
#include <vector>

namespace docserver {
namespace {

std::string RealPath(const std::string& path) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) == nullptr) return "";
    return resolved;
}

}  // namespace

bool ConfinePath(const std::string& systemDir, const std::string& name, std::string& fullPath) {
    if (name.empty() || systemDir.empty()) return false;
    std::string clean = name;
    for (char& c : clean) {
        if (c == '\\') c = '/';
        if (c == '\0') return false;
    }
    if (clean[0] == '/' || (clean.size() > 1 && clean[1] == ':')) return false;
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= clean.size()) {
        std::size_t slash = clean.find('/', start);
        if (slash == std::string::npos) slash = clean.size();
        std::string part = clean.substr(start, slash - start);
        if (part == "..") return false;
        if (!part.empty() && part != ".") parts.push_back(part);
        start = slash + 1;
    }
    if (parts.empty()) return false;
    std::string dir = systemDir;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    std::string path = dir;
    for (const std::string& part : parts) path += "/" + part;

    // A link inside the directory must not lead out of it: check the
    // deepest part of the path that exists.
    std::string root = RealPath(dir);
    if (root.empty()) return false;
    std::string probe = path;
    std::string real;
    while (true) {
        real = RealPath(probe);
        if (!real.empty() || probe.size() <= dir.size()) break;
        probe = probe.substr(0, probe.rfind('/'));
    }
    if (real.empty()) return false;
    // The first missing part must be truly missing: a dangling link there
    // would let a later write create its target outside the directory.
    if (probe.size() < path.size()) {
        std::size_t next = path.find('/', probe.size() + 1);
        struct stat st {};
        if (::lstat(path.substr(0, next).c_str(), &st) == 0) return false;
    }
    if (real != root && real.compare(0, root.size() + 1, root + "/") != 0) return false;
    fullPath = path;
    return true;
}

std::string ResolvedInside(const std::string& systemDir, const std::string& fullPath) {
    std::string root = RealPath(systemDir);
    if (root.empty() || fullPath.empty()) return "";
    std::string probe = fullPath;
    std::string missing;
    std::string real;
    while (true) {
        real = RealPath(probe);
        if (!real.empty()) break;
        std::size_t slash = probe.rfind('/');
        if (slash == std::string::npos || slash == 0) return "";
        // A dangling link resolves nowhere.
        struct stat st {};
        if (::lstat(probe.c_str(), &st) == 0) return "";
        missing = probe.substr(slash) + missing;
        probe = probe.substr(0, slash);
    }
    real += missing;
    if (real.compare(0, root.size() + 1, root + "/") != 0) return "";
    return real.substr(root.size() + 1);
}

bool LeadsWhereNamed(const std::string& systemDir, const std::string& fullPath) {
    std::string dir = systemDir;
    while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
    if (fullPath.compare(0, dir.size() + 1, dir + "/") != 0) return false;
    return ResolvedInside(dir, fullPath) == fullPath.substr(dir.size() + 1);
}

}  // namespace docserver
