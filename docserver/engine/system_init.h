#pragma once
// A new, empty system directory: the database with its schema, the file
// folders and one user with every right.

#include <string>

namespace docserver {

// Why a login could not carry this user id or password ("" when it can): the
// first user of a system must be able to log in. Texts here are in the code
// page, as a login sends them.
std::string InitUserRefusal(const std::string& user);
std::string InitPasswordRefusal(const std::string& password);

bool InitSystem(const std::string& dir, const std::string& user, const std::string& password,
                std::string& error);

}  // namespace docserver
