#include "system_init.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "command_engine.h"
#include "passwords.h"
#include "system_access.h"
#include "system_db.h"

namespace docserver {
namespace {

// "" when made or there; else why not.
std::string MakeDir(const std::string& path) {
    if (::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST) return "";
    return "cannot create " + path + ": " + std::strerror(errno);
}

// A comma or a control character would split the login's fields.
bool SplitsALogin(const std::string& text) {
    for (unsigned char c : text) {
        if (c < 32 || c == ',') return true;
    }
    return false;
}

}  // namespace

std::string InitUserRefusal(const std::string& user) {
    if (user.empty()) return "a user id is required";
    if (user.size() > kMaxUserIdLength)
        return "a user id has at most " + std::to_string(kMaxUserIdLength) + " characters";
    if (SplitsALogin(user)) return "a user id holds no comma and no control character";
    return "";
}

std::string InitPasswordRefusal(const std::string& password) {
    // The first user holds every right: no system starts open to anyone.
    if (password.empty()) return "a password is required";
    if (password.size() > kMaxPasswordLength)
        return "a password has at most " + std::to_string(kMaxPasswordLength) + " characters";
    if (SplitsALogin(password)) return "a password holds no comma and no control character";
    return "";
}

bool InitSystem(const std::string& dir, const std::string& user, const std::string& password,
                std::string& error) {
    if (dir.empty()) {
        error = "a directory is required";
        return false;
    }
    error = InitUserRefusal(user);
    if (error.empty()) error = InitPasswordRefusal(password);
    if (!error.empty()) return false;
    error = InitPlaceRefusal(dir);
    if (error.empty()) error = MakeDir(dir);
    if (!error.empty()) return false;
    if (::access((dir + "/system.db").c_str(), F_OK) == 0) {
        error = dir + " already holds a system";
        return false;
    }
    for (const char* sub : {"images", "originals", "tmp", "batch"}) {
        error = MakeDir(dir + "/" + sub);
        if (!error.empty()) return false;
    }
    SystemDb db;
    if (!db.Open(dir + "/system.db", true, error) || !db.Exec(SchemaSql(), error)) return false;
    Statement settings(db,
                       "INSERT INTO system_settings(name, value) VALUES "
                       "('SchemaVersion', '1'), ('SystemFlags', '0'), ('ExtSystemFlags', '0'), "
                       "('Version', '8.6.0')");
    Statement addUser(db,
                      "INSERT INTO users(user_id, password, full_name, system_security) "
                      "VALUES (?, ?, ?, -1)");
    addUser.Bind(1, user).Bind(2, HashPassword(password)).Bind(3, user);
    if (!settings.Run() || !addUser.Run()) {
        error = "cannot fill the new database";
        return false;
    }
    return true;
}

}  // namespace docserver
