#pragma once
// The marks a reviewer would have left on a few pages of a project: every
// kind of annotation, a labelled redaction and a turned page.

#include <string>

#include "demo/demo_system.h"

namespace docserver::demo {

// Annotates a few readable pages of the project and turns one; clips point
// at original files under dir.
void MarkUpProject(DemoProject& project, const std::string& dir);

}  // namespace docserver::demo
