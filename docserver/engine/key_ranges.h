#pragma once
// Key ranges that refuse their user the project: a bound that is no key of
// the project, or a first bound after the last. The system's triggers refuse
// such rows as they are written, but a release before them stored some, and
// deleting a range's bounding page leaves one behind. Told at start, so the
// administrator learns of them before the user does.

#include <string>
#include <vector>

#include "system_db.h"

namespace docserver {

// One line for each such range: the user, the project, what is wrong and
// what to do. Throws as a Statement does when the rows cannot be read.
std::vector<std::string> KeyRangeFaults(SystemDb& db);

}  // namespace docserver
