#pragma once
// A file written whole or not at all: the bytes go to a new temporary file
// beside the one asked for, which takes that file's name only once it is
// complete and on disk, so a failed write leaves no part of itself and the
// file it would replace as it was.

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

class WholeFile {
  public:
    WholeFile() = default;
    WholeFile(const WholeFile&) = delete;
    WholeFile& operator=(const WholeFile&) = delete;
    ~WholeFile() { Discard(); }

    // The folder is made when missing, if asked. False with the system's
    // reason.
    bool Create(const std::string& wanted, std::string& reason, bool makeFolder = true);

    // Output is held until a good deal has come; false once the system has
    // refused any of it (Error() then says why).
    bool Append(const unsigned char* data, unsigned int length);
    bool Append(std::string_view data);

    // Puts what is held into the file.
    bool Drain();

    const std::string& Error() const { return error_; }

    // Gives the finished file its name: the one asked for, replacing a file
    // of that name, or else the first free one of "name.pdf", "name-2.pdf"
    // ... without ever replacing one that exists or appears meanwhile.
    bool Commit(bool replace, std::string& written);

    // Removes the temporary file; the file asked for stays as it was.
    void Discard();

  private:
    static constexpr std::size_t kHeld = 1 << 18;

    bool Refused(int error);
    bool LinkFree(std::string& written);

    int fd_ = -1;
    std::string folder_, wanted_, temp_;
    std::string buffer_;
    std::string error_;
};

}  // namespace platform
