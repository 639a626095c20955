// Points this user's local access modes at a system directory and makes the
// local mode the one the login dialog starts with: scripts/demo runs it for
// the demo system. The network-drive mode gets the same directory, since a
// login from the viewer's command line always uses it. With --first-key it
// also prints the first image key of a project.
//
//   talq-demo-config DIR [--first-key PROJECT]

#include <QCoreApplication>

#include <cstdio>
#include <string>

#include "engine/system_db.h"
#include "server/login_rules.h"
#include "server/net_defaults.h"

namespace {

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
    const bool firstKey = argc == 4 && std::string(argv[2]) == "--first-key";
    if ((argc != 2 && !firstKey) || argv[1][0] == '\0') {
        std::fprintf(stderr, "usage: talq-demo-config DIR [--first-key PROJECT]\n");
        return 2;
    }
    constexpr int kNetworkMode = 1;
    constexpr int kLocalMode = 2;
    const std::string dir = mNetDefaults::NormalizeSystemDir(argv[1]);
    for (int mode : {kNetworkMode, kLocalMode}) {
        mNetDefaults::SaveSystemDir(mode, dir);
        mNetDefaults::AddToHistory(mNetDefaults::SystemDirHistory(mode), dir);
        if (mNetDefaults::LoadSystemDir(mode) != dir) {
            std::fprintf(stderr, "talq-demo-config: the system directory could not be stored\n");
            return 1;
        }
    }
    mLogin::SaveAccessMode(kLocalMode);
    if (firstKey) {
        const std::string key = FirstKey(dir, argv[3]);
        if (key.empty()) {
            std::fprintf(stderr, "talq-demo-config: no pages in project %s\n", argv[3]);
            return 1;
        }
        std::printf("%s\n", key.c_str());
    }
    return 0;
}
