#include "foundation/binary_files.h"

#include <fcntl.h>
#include <glob.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>

namespace mVBUtil {
namespace {

constexpr int kMaxFiles = 255;

std::array<int, kMaxFiles + 1>& Table() {
    static std::array<int, kMaxFiles + 1> fds = [] {
        std::array<int, kMaxFiles + 1> a{};
        a.fill(-1);
        return a;
    }();
    return fds;
}

int FdOf(int fileNo) {
    if (fileNo < 1 || fileNo > kMaxFiles) return -1;
    return Table()[static_cast<size_t>(fileNo)];
}

int Register(int fd) {
    if (fd < 0) return 0;
    for (int n = 1; n <= kMaxFiles; ++n) {
        if (Table()[static_cast<size_t>(n)] < 0) {
            Table()[static_cast<size_t>(n)] = fd;
            return n;
        }
    }
    close(fd);
    return 0;
}

bool IsRegularFile(const char* path) {
    struct stat st{};
    return stat(path, &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace

bool FileExists(const std::string& path) {
    if (path.empty()) return false;
    if (path.find_first_of("*?") == std::string::npos) return IsRegularFile(path.c_str());
    glob_t found{};
    bool any = false;
    if (glob(path.c_str(), GLOB_NOSORT, nullptr, &found) == 0) {
        for (size_t i = 0; i < found.gl_pathc && !any; ++i) any = IsRegularFile(found.gl_pathv[i]);
    }
    globfree(&found);
    return any;
}

int OpenBinaryFile(const std::string& path, bool forWrite) {
    if (!FileExists(path)) return 0;
    return Register(open(path.c_str(), (forWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC));
}

int CreateBinaryFile(const std::string& path) {
    if (FileExists(path)) return 0;
    return Register(open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
}

int WriteFileChunk(int fileNo, const std::string& data, int maxLen) {
    int fd = FdOf(fileNo);
    if (fd < 0 || data.empty() || maxLen < 1) return 0;
    size_t count = data.size() > static_cast<size_t>(maxLen) ? static_cast<size_t>(maxLen)
                                                             : data.size();
    size_t done = 0;
    while (done < count) {
        ssize_t n = write(fd, data.data() + done, count - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return 0;
        }
        done += static_cast<size_t>(n);
    }
    return static_cast<int>(count);
}

int ReadFileChunk(int fileNo, std::string& data, int maxLen) {
    data.clear();
    int fd = FdOf(fileNo);
    if (fd < 0 || maxLen < 1) return 0;
    std::string buf(static_cast<size_t>(maxLen), '\0');
    size_t done = 0;
    while (done < buf.size()) {
        ssize_t n = read(fd, buf.data() + done, buf.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return 0;
        }
        if (n == 0) break;
        done += static_cast<size_t>(n);
    }
    buf.resize(done);
    data = std::move(buf);
    return static_cast<int>(done);
}

void CloseBinaryFile(int fileNo) {
    int fd = FdOf(fileNo);
    if (fd < 0) return;
    close(fd);
    Table()[static_cast<size_t>(fileNo)] = -1;
}

void SplitPath(const std::string& path, std::string& directory, std::string& fileName) {
    std::string converted = path;
    for (char& c : converted) {
        if (c == '/') c = '\\';
    }
    size_t k = converted.rfind('\\');
    if (k == std::string::npos) {
        directory.clear();
        fileName = converted;
        return;
    }
    directory = converted.substr(0, k);
    if (directory.size() < 3) directory += '\\';
    fileName = converted.substr(k + 1);
}

}  // namespace mVBUtil
