// talq-demo DIR [--seed N] [--large]: builds a demo system directory.

#include <QDir>
#include <QGuiApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <string>

#include "demo/demo_database.h"
#include "demo/demo_system.h"

namespace {

int Usage() {
    std::fprintf(stderr, "usage: talq-demo DIR [--seed N] [--large]\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    // Typesetting needs fonts, not a display.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);

    std::string dir;
    docserver::demo::DemoOptions options;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--large") == 0) {
            options.large = true;
        } else if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc) {
            char* end = nullptr;
            options.seed = std::strtoull(argv[++i], &end, 10);
            if (end == argv[i] || *end != '\0') return Usage();
        } else if (argv[i][0] == '-' || !dir.empty()) {
            return Usage();
        } else {
            dir = argv[i];
        }
    }
    if (dir.empty()) return Usage();
    const QDir target(QString::fromLocal8Bit(dir.c_str()));
    if (target.exists() && !target.isEmpty()) {
        std::fprintf(stderr, "talq-demo: %s is not empty\n", dir.c_str());
        return 1;
    }
    if (!QDir().mkpath(target.path())) {
        std::fprintf(stderr, "talq-demo: cannot create %s\n", dir.c_str());
        return 1;
    }
    try {
        const auto demo = docserver::demo::GenerateDemoSystem(dir, options);
        docserver::demo::WriteDemoSystem(dir, demo);
        std::size_t pages = 0;
        for (const auto& p : demo.projects) pages += p.pages.size();
        std::printf("demo system in %s: %zu users, %zu projects, %zu pages\n", dir.c_str(),
                    demo.users.size(), demo.projects.size(), pages);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "talq-demo: %s\n", e.what());
        return 1;
    }
    return 0;
}
