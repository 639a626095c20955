// Points this user's local access mode at a system directory and makes it
// the mode the login dialog starts with: scripts/demo runs it for the demo
// system.
//
//   talq-demo-config DIR

#include <QCoreApplication>

#include <cstdio>
#include <string>

#include "server/login_rules.h"
#include "server/net_defaults.h"

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    if (argc != 2 || argv[1][0] == '\0') {
        std::fprintf(stderr, "usage: talq-demo-config DIR\n");
        return 2;
    }
    constexpr int kLocalMode = 2;
    const std::string dir = mNetDefaults::NormalizeSystemDir(argv[1]);
    mNetDefaults::SaveSystemDir(kLocalMode, dir);
    mNetDefaults::AddToHistory(mNetDefaults::SystemDirHistory(kLocalMode), dir);
    mLogin::SaveAccessMode(kLocalMode);
    if (mNetDefaults::LoadSystemDir(kLocalMode) != dir) {
        std::fprintf(stderr, "talq-demo-config: the local system directory could not be stored\n");
        return 1;
    }
    return 0;
}
