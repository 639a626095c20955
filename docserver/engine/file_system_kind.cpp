#include "file_system_kind.h"

#include <strings.h>
#include <sys/vfs.h>

#include <cstdlib>

namespace docserver {
namespace {

// Magic numbers of the kernel's network, cluster and user-space file
// systems. A cluster file system on a shared disk counts too: its nodes do
// not share the memory a local mapping would.
constexpr unsigned long kSharedKinds[] = {
    0x6969,      // NFS
    0x517B,      // SMB
    0xFF534D42,  // CIFS
    0xFE534D42,  // SMB2
    0x65735546,  // FUSE (sshfs, bindfs, virtiofs, cloud drives)
    0x01021997,  // 9p
    0x00C36400,  // Ceph
    0x5346414F,  // AFS
    0x6B414653,  // kAFS
    0x73757245,  // Coda
    0x564C,      // NCP
    0x7461636F,  // OCFS2
    0x01161970,  // GFS2
    0x0BD00BD0,  // Lustre
    0x47504653,  // GPFS
    0x20030528,  // OrangeFS
    0x786F4256,  // VirtualBox shared folders
};

}  // namespace

namespace {

constexpr const char* kSetting = "TALQ_FILE_SYSTEM";

}  // namespace

std::string FileSystemSettingRefusal() {
    const char* said = std::getenv(kSetting);
    if (said == nullptr || *said == '\0' || ::strcasecmp(said, "network") == 0) return "";
    return std::string(kSetting) + "=" + said +
           " is not a value the program knows: set it to \"network\" for a folder that other "
           "machines reach (a network file system the program does not recognise), or unset "
           "it to let the program tell";
}

bool OnSharedFileSystem(const std::string& folder) {
    if (const char* said = std::getenv(kSetting);
        said != nullptr && ::strcasecmp(said, "network") == 0)
        return true;
    struct statfs info {};
    if (::statfs(folder.empty() ? "." : folder.c_str(), &info) != 0) return false;
    const auto kind = static_cast<unsigned long>(info.f_type) & 0xFFFFFFFFul;
    for (unsigned long shared : kSharedKinds) {
        if (kind == shared) return true;
    }
    return false;
}

}  // namespace docserver
