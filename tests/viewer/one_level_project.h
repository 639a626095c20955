#pragma once
// The project record a fake server answers for a project of one boundary
// level, with every right.

#include <string>

#include "platform/wire_separators.h"

namespace testsupport {

inline std::string OneLevelProjectRecord() {
    std::string out;
    for (const char* field : {"1", "1", "Doc", "icon", "0", "4095", "skipped", "0", "0", "", "68",
                              "Project", "", "", "0", ""}) {
        if (!out.empty()) out.push_back(wire::kSectionSep);
        out += field;
    }
    return out;
}

}  // namespace testsupport
