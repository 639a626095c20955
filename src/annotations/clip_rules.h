#pragma once
// What a clip runs and the checks before it starts anything: a clip is data
// from the server, so a program is started only after the reviewer agreed,
// and a document that is itself runnable is never opened.

#include <cstdint>
#include <string>

namespace annotations {

// What the clip dialog asks of its session.
class ClipClientApi {
  public:
    virtual ~ClipClientApi() = default;
    virtual bool IsRemoteAccess() = 0;
};

// The file to open and, in mode 2, the program that opens it.
struct ClipTarget {
    std::int32_t mode = 1;
    std::string file, program;
};

// A stored clip: mode 1 the file, mode 2 file and program split at
// character 30, any other mode a free-form command.
ClipTarget ReadStoredClip(std::int32_t mode, const std::string& clipText);

// A stored clip in words: its file, and the program that opens it.
std::string ClipInWords(std::int32_t mode, const std::string& clipText);

// Asks, Yes or No with No the default, before a clip starts a program.
bool ConfirmClipProgram(const ClipTarget& target);

// Runs the clip's file or program as the dialog's Test does: runnable files
// are refused, a program must be executable and is started only once agreed.
// False when nothing was started (refused, declined or failed); declined
// reports itself.
bool RunClipTarget(const ClipTarget& target, bool& declined);

}  // namespace annotations
