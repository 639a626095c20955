#include "system_init.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "command_engine.h"
#include "passwords.h"
#include "system_db.h"

namespace docserver {
namespace {

bool MakeDir(const std::string& path) {
    return ::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST;
}

}  // namespace

bool InitSystem(const std::string& dir, const std::string& user, const std::string& password,
                std::string& error) {
    if (dir.empty() || user.empty()) {
        error = "a directory and a user are required";
        return false;
    }
    if (user.size() > kMaxUserIdLength) {
        error = "a user id has at most " + std::to_string(kMaxUserIdLength) + " characters";
        return false;
    }
    if (password.size() > kMaxPasswordLength) {
        error = "a password has at most " + std::to_string(kMaxPasswordLength) + " characters";
        return false;
    }
    if (!MakeDir(dir)) {
        error = "cannot create " + dir;
        return false;
    }
    if (::access((dir + "/system.db").c_str(), F_OK) == 0) {
        error = dir + " already holds a system";
        return false;
    }
    for (const char* sub : {"images", "originals", "tmp", "batch"}) {
        if (!MakeDir(dir + "/" + sub)) {
            error = std::string("cannot create ") + sub;
            return false;
        }
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
