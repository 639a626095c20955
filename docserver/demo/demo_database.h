#pragma once
// Writes a demo system's description into the system database.

#include <string>

#include "demo/demo_system.h"

namespace docserver::demo {

// Initialises a new system in dir (which must not hold one yet) and fills its
// database with the demo's users, projects and pages. Throws
// std::runtime_error on failure; the demo rows are written all or none.
void WriteDemoSystem(const std::string& dir, const DemoSystem& demo);

}  // namespace docserver::demo
