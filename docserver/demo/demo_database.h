#pragma once
// Writes a demo system's description into the system database.

#include <string>

#include "demo/demo_system.h"

namespace docserver::demo {

// Creates (or extends) dir/system.db with the system's schema and fills it
// with the demo's users, projects and pages. Throws std::runtime_error on a
// database error; a half-written database is rolled back.
void WriteDemoSystem(const std::string& dir, const DemoSystem& demo);

// True when the schema was available at build time.
bool HaveDemoSchema();

}  // namespace docserver::demo
