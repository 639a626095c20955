#pragma once
// Handing a document to another program: the desktop's handler for its type
// (or a URL's scheme), or a named program started with the document as its
// one argument. Nothing passes through a shell.

#include <string>

namespace platform {

class Launcher {
  public:
    virtual ~Launcher() = default;
    // A local file path, or a URL with a scheme (http, https).
    virtual bool OpenWithDesktop(const std::string& target) = 0;
    virtual bool StartProgramWith(const std::string& program, const std::string& document) = 0;
};

Launcher& CurrentLauncher();

class ScopedLauncher {
  public:
    explicit ScopedLauncher(Launcher& launcher);
    ~ScopedLauncher();
    ScopedLauncher(const ScopedLauncher&) = delete;
    ScopedLauncher& operator=(const ScopedLauncher&) = delete;

  private:
    Launcher* previous_;
};

inline bool OpenWithDesktop(const std::string& target) {
    return CurrentLauncher().OpenWithDesktop(target);
}
inline bool StartProgramWith(const std::string& program, const std::string& document) {
    return CurrentLauncher().StartProgramWith(program, document);
}

// True for a file the desktop would run rather than show: an executable
// (execute bit, ELF, "#!" script, DOS/Windows program) or a desktop entry.
bool IsRunnableFile(const std::string& path);

}  // namespace platform
