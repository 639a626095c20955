// Who may change a page's boundary level, a document date or a folder
// description: a user with any of the project rights the client asks for
// before it offers the boundary edit.
#include "command_engine.h"

namespace docserver {
namespace {

constexpr std::int64_t kBoundaryEdit = 0x01 | 0x02 | 0x40;

}  // namespace

std::string CommandEngine::RequireBoundaryEdit(const ProjectAccess& access) {
    if ((ProjectSecurity(access) & kBoundaryEdit) == 0) return "ERROR: Insufficient Security Level";
    return "";
}

}  // namespace docserver
