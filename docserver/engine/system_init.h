#pragma once
// A new, empty system directory: the database with its schema, the file
// folders and one user with every right.

#include <string>

namespace docserver {

bool InitSystem(const std::string& dir, const std::string& user, const std::string& password,
                std::string& error);

}  // namespace docserver
