#pragma once
// A shared library loaded at run time by its file name: first from the
// program's own folder, then through the system's library path.

#include <string>

namespace platform {

class DynamicLibrary {
  public:
    DynamicLibrary() = default;
    ~DynamicLibrary();
    DynamicLibrary(const DynamicLibrary&) = delete;
    DynamicLibrary& operator=(const DynamicLibrary&) = delete;

    // fileName is a bare name such as "libvornet.so". False when no copy loads.
    bool Load(const std::string& fileName);
    bool IsLoaded() const { return handle_ != nullptr; }
    // nullptr when the library is not loaded or lacks the name.
    void* Symbol(const std::string& name) const;
    const std::string& Error() const { return error_; }
    void Unload();

  private:
    void* handle_ = nullptr;
    std::string error_;
};

// The folder that holds the running program; "" when it cannot be told.
std::string ProgramDir();

}  // namespace platform
