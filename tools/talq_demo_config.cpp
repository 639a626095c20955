// Points this user's local access modes at a system directory and makes the
// local mode the one the login dialog starts with: scripts/demo runs it for
// the demo system. The network-drive mode gets the same directory, since a
// login from the viewer's command line always uses it. With --first-key it
// also prints the first image key of a project.
//
//   talq-demo-config DIR [--first-key PROJECT]
//   talq-demo-config --help

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <cstdio>
#include <string>

#include "engine/system_access.h"
#include "engine/system_db.h"
#include "server/login_rules.h"
#include "server/net_defaults.h"

namespace {

constexpr const char* kSynopsis = "usage: talq-demo-config DIR [--first-key PROJECT]\n";

constexpr const char* kOptions =
    "Points this user's access modes \"Network Drive\" and \"Local Hard Drive\" at\n"
    "the system in DIR (made by talq-server --init or talq-demo) and makes \"Local\n"
    "Hard Drive\" the mode the login dialog starts with.\n"
    "  --first-key PROJECT   also print the first image key of PROJECT\n"
    "  -h, --help            print this and end\n";

// A folder is a system when its system.db opens as one; anything else would
// only be found wrong at the next login. "" when it is one, else why not.
std::string NoSystemReason(const std::string& dir) {
    constexpr const char* kNone =
        "holds no system: give a folder made by talq-server --init or talq-demo";
    const QDir folder(QString::fromLocal8Bit(dir.c_str()));
    if (!folder.exists()) {
        if (!QFileInfo::exists(folder.absolutePath())) return "does not exist";
        return docserver::NotAFolderReason(dir);
    }
    if (!folder.exists("system.db")) return kNone;
    docserver::SystemDb db;
    std::string error;
    if (!db.Open(dir + "system.db", false, error)) return "cannot open its system.db: " + error;
    try {
        docserver::Statement users(db, "SELECT COUNT(*) FROM users");
        if (users.Ok() && users.Step()) return "";
        if (docserver::NotADatabase(users))
            return "holds a system.db that is not a database (damaged, or another kind of file): " +
                   users.Error();
        return docserver::HoldsNoSystem(users) ? kNone
                                               : "cannot read its system.db: " + users.Error();
    } catch (const docserver::SystemHeld& e) {
        return std::string("cannot read its system.db: ") + e.what();
    } catch (const docserver::DatabaseBusy&) {
        return "cannot read its system.db: another program holds it locked";
    }
}

std::string FirstKey(const std::string& dir, const std::string& project) {
    docserver::SystemDb db;
    std::string error;
    if (!db.Open(dir + "system.db", false, error)) return {};
    docserver::Statement s(db,
                           "SELECT image_key FROM pages WHERE project_id = (SELECT project_id "
                           "FROM projects WHERE name = ?) ORDER BY seq LIMIT 1");
    s.Bind(1, project);
    return s.Step() ? s.Text(0) : std::string();
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    for (int i = 1; i < argc; ++i) {
        if (std::string(argv[i]) == "--help" || std::string(argv[i]) == "-h") {
            std::printf("%s%s", kSynopsis, kOptions);
            return 0;
        }
    }
    const char* folder = nullptr;
    const char* project = nullptr;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--first-key" && i + 1 < argc && argv[i + 1][0] != '\0') {
            project = argv[++i];
        } else if (arg == "--first-key") {
            std::fprintf(stderr, "talq-demo-config: --first-key: give a project's name\n%s",
                         kSynopsis);
            return 2;
        } else if (!arg.empty() && arg[0] == '-') {
            std::fprintf(stderr, "talq-demo-config: unknown option %s\n%s", argv[i], kSynopsis);
            return 2;
        } else if (folder == nullptr && !arg.empty()) {
            folder = argv[i];
        } else {
            std::fprintf(stderr, "talq-demo-config: %s: give one folder\n%s",
                         arg.empty() ? "\"\"" : argv[i], kSynopsis);
            return 2;
        }
    }
    if (folder == nullptr) {
        std::fprintf(stderr, "talq-demo-config: give the folder of a system\n%s", kSynopsis);
        return 2;
    }
    constexpr int kNetworkMode = 1;
    constexpr int kLocalMode = 2;
    // Stored whole: the viewer may start from any folder.
    const std::string dir = mNetDefaults::NormalizeSystemDir(
        QDir(QString::fromLocal8Bit(folder)).absolutePath().toLocal8Bit().toStdString());
    if (const std::string why = NoSystemReason(dir); !why.empty()) {
        std::fprintf(stderr, "talq-demo-config: DIR %s %s\n%s", folder, why.c_str(), kSynopsis);
        return 2;
    }
    for (int mode : {kNetworkMode, kLocalMode}) {
        mNetDefaults::SaveSystemDir(mode, dir);
        mNetDefaults::AddToHistory(mNetDefaults::SystemDirHistory(mode), dir);
        if (mNetDefaults::LoadSystemDir(mode) != dir) {
            std::fprintf(stderr, "talq-demo-config: the system directory could not be stored\n");
            return 1;
        }
    }
    mLogin::SaveAccessMode(kLocalMode);
    if (project != nullptr) {
        const std::string key = FirstKey(dir, project);
        if (key.empty()) {
            std::fprintf(stderr,
                         "talq-demo-config: --first-key %s: give a project of that system "
                         "that has pages\n",
                         project);
            return 2;
        }
        std::printf("%s\n", key.c_str());
    }
    return 0;
}
