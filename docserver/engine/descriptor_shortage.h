#pragma once
// Whether the process has run out of file descriptors: a file that cannot be
// opened then is not a missing or damaged file, and passes once others close.

#include <string>

namespace docserver {

// kTooManyOpenFiles (with " on this machine" for the system's limit) while no
// file can be opened; "" while one can.
std::string DescriptorShortage();

}  // namespace docserver
