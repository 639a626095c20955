// talq-dde: sends an execute string or pokes an item to a running program on
// the message layer (by default the viewer), for scripts.

#include <QCoreApplication>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/dde.h"
#include "platform/text_codec.h"

namespace {

constexpr const char* kUsage =
    "usage: talq-dde [--app NAME] [--topic NAME] [--timeout MS] execute TEXT\n"
    "       talq-dde [--app NAME] [--topic NAME] [--timeout MS] poke ITEM TEXT\n"
    "Sends TEXT to the program serving NAME (default talqvyn, topic Level2Server;\n"
    "a topic of * takes any topic of the application).\n";

int Usage() {
    std::fputs(kUsage, stderr);
    return 2;
}

// Arguments arrive in the locale's encoding; the wire carries the program's code page.
std::string Arg(const char* text) {
    return platform::FromQString(QString::fromLocal8Bit(text));
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::string application = "talqvyn";
    std::string topic = "Level2Server";
    int timeoutMs = platform::kDdeDefaultTimeoutMs;
    std::vector<std::string> rest;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        bool hasValue = i + 1 < argc;
        if (a == "--app" && hasValue) {
            application = Arg(argv[++i]);
        } else if (a == "--topic" && hasValue) {
            topic = Arg(argv[++i]);
        } else if (a == "--timeout" && hasValue) {
            timeoutMs = std::atoi(argv[++i]);
        } else if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else {
            rest.push_back(Arg(argv[i]));
        }
    }
    if (rest.empty() || timeoutMs <= 0) return Usage();
    const std::string verb = rest[0];
    if (!((verb == "execute" && rest.size() == 2) || (verb == "poke" && rest.size() == 3))) {
        return Usage();
    }

    platform::DdeClient client;
    platform::DdeResult result = client.Link(application + "|" + topic, timeoutMs);
    if (result.ok) {
        result = verb == "execute" ? client.Execute(rest[1], timeoutMs)
                                   : client.Poke(rest[1], rest[2], timeoutMs);
    }
    client.Close();
    if (!result.ok) {
        std::fprintf(stderr, "talq-dde: error %d: %s\n", result.errorNumber,
                     platform::ToQString(result.description).toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
