#pragma once
// Passwords as the users table keeps them: salted and hashed. Passwords
// compare without regard to case (logins from a command line arrive upper
// cased), so the upper-cased password is what is hashed.

#include <string>

namespace docserver {

// The stored form of a new password, with a fresh salt.
std::string HashPassword(const std::string& password);

// Whether a stored value is a hash rather than a row written in plain text
// (older systems, or tools that fill the table directly).
bool IsPasswordHash(const std::string& stored);

// Whether the password is the one stored, hashed or plain.
bool PasswordMatches(const std::string& stored, const std::string& password);

// Digests of a stored value, and of it with a password: what a connection
// keeps of its login, never the password itself.
std::string StoredDigest(const std::string& stored);
std::string PairDigest(const std::string& stored, const std::string& password);

}  // namespace docserver
