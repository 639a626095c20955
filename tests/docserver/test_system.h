#pragma once
// A small system directory for the stand-in server's tests.

#include <string>

namespace testsupport {

// InitSystem with user ADMIN/SECRET, then project "Demo Project" with three
// boundary levels and two info fields, open to ADMIN.
void MakeTestSystem(const std::string& dir);

// The ProjectRecord reply the engine gives for it.
std::string ExpectedDemoRecord();

}  // namespace testsupport
