#include "descriptor_shortage.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "system_db.h"

namespace docserver {

std::string DescriptorShortage() {
    const int fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    if (fd >= 0) {
        ::close(fd);
        return "";
    }
    if (errno == EMFILE) return kTooManyOpenFiles;
    if (errno == ENFILE) return std::string(kTooManyOpenFiles) + " on this machine";
    return "";
}

}  // namespace docserver
