// talq-demo DIR [--seed N] [--large]: builds a demo system directory.
// talq-demo --help: what it takes.

#include <QDir>
#include <QGuiApplication>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "demo/demo_database.h"
#include "demo/demo_system.h"

namespace {

constexpr const char* kSynopsis = "usage: talq-demo DIR [--seed N] [--large]\n";

constexpr const char* kOptions =
    "Fills DIR (made when missing; must be empty) with a demo system for\n"
    "talq-server --system DIR and the local access modes.\n"
    "  --seed N     another demo system; the same N gives the same system (0 up)\n"
    "  --large      a main project of 30,000 pages, for benchmarks\n"
    "  -h, --help   print this and end\n";

// A wrong command line: the synopsis, after the mistake has been named.
int Usage(const std::string& mistake) {
    std::fprintf(stderr, "talq-demo: %s\n%s", mistake.c_str(), kSynopsis);
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
        const std::string arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::printf("%s%s", kSynopsis, kOptions);
            return 0;
        } else if (arg == "--large") {
            options.large = true;
        } else if (arg == "--seed") {
            if (i + 1 >= argc) return Usage("--seed needs a value");
            const char* text = argv[++i];
            char* end = nullptr;
            errno = 0;
            options.seed = std::strtoull(text, &end, 10);
            // strtoull would take "-1" as the largest number.
            if (end == text || *end != '\0' || errno != 0 || text[0] == '-') {
                return Usage(std::string("--seed ") + text + ": give a whole number from 0 up");
            }
        } else if (!arg.empty() && arg[0] == '-') {
            return Usage("unknown option " + arg);
        } else if (!dir.empty()) {
            return Usage("one DIR only: " + dir + " and " + arg + " given");
        } else {
            dir = arg;
        }
    }
    if (dir.empty()) return Usage("give the DIR to fill");
    const QDir target(QString::fromLocal8Bit(dir.c_str()));
    if (target.exists() && !target.isEmpty()) {
        return Usage("DIR " + dir + " is not empty: give an empty folder, or one to make");
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
