#include "platform/dynamic_library.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

namespace platform {

DynamicLibrary::~DynamicLibrary() {
    Unload();
}

bool DynamicLibrary::Load(const std::string& fileName) {
    Unload();
    error_.clear();
    // A name with a folder part would let a caller reach anywhere.
    if (fileName.empty() || fileName.find('/') != std::string::npos) {
        error_ = "invalid library name";
        return false;
    }
    std::string dir = ProgramDir();
    if (!dir.empty()) {
        std::string beside = dir + "/" + fileName;
        if (::access(beside.c_str(), R_OK) == 0) {
            handle_ = ::dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
            if (handle_ == nullptr) error_ = ::dlerror();
        }
    }
    if (handle_ == nullptr) {
        handle_ = ::dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
        if (handle_ == nullptr) error_ = ::dlerror();
    }
    return handle_ != nullptr;
}

void* DynamicLibrary::Symbol(const std::string& name) const {
    if (handle_ == nullptr) return nullptr;
    return ::dlsym(handle_, name.c_str());
}

void DynamicLibrary::Unload() {
    if (handle_ != nullptr) ::dlclose(handle_);
    handle_ = nullptr;
}

std::string ProgramDir() {
    char path[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return "";
    std::string p(path, static_cast<size_t>(n));
    auto slash = p.rfind('/');
    return slash == std::string::npos ? "" : p.substr(0, slash);
}

}  // namespace platform
