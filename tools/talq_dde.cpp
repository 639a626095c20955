// talq-dde: sends an execute string or pokes an item to a running program on
// the message layer (by default the viewer), for scripts.

#include <QCoreApplication>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/dde.h"
#include "platform/leading_number.h"
#include "platform/text_codec.h"

namespace {

constexpr const char* kUsage =
    "usage: talq-dde [--app NAME] [--topic NAME] [--timeout MS] execute TEXT\n"
    "       talq-dde [--app NAME] [--topic NAME] [--timeout MS] poke ITEM TEXT\n"
    "Sends TEXT to the program serving NAME (default talqvyn, topic Level2Server;\n"
    "a topic of * takes any topic of the application). --timeout bounds the link\n"
    "and the answer; without it the link waits 5 s and the answer 10 minutes, as\n"
    "the viewer answers PRINTPAGE and PRINTDOC once they have printed.\n";

// A print is answered when it has ended, and a long document takes minutes.
constexpr int kAnswerWaitMs = 600000;

// A wrong command line: the mistake, then the usage.
int Usage(const std::string& mistake) {
    std::fprintf(stderr, "talq-dde: %s\n%s", mistake.c_str(), kUsage);
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
    int answerMs = kAnswerWaitMs;
    std::vector<std::string> rest;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        bool hasValue = i + 1 < argc;
        if ((a == "--app" || a == "--topic" || a == "--timeout") && !hasValue) {
            return Usage(a + " needs a value");
        }
        if (a == "--app") {
            application = Arg(argv[++i]);
        } else if (a == "--topic") {
            topic = Arg(argv[++i]);
        } else if (a == "--timeout") {
            const std::string text = argv[++i];
            long ms = 0;
            if (!platform::WholeNumberIn(text, 1, 3600000, ms))
                return Usage("--timeout " + text + ": give milliseconds from 1 to 3600000");
            timeoutMs = answerMs = static_cast<int>(ms);
        } else if (a == "--help" || a == "-h") {
            std::fputs(kUsage, stdout);
            return 0;
        } else {
            rest.push_back(Arg(argv[i]));
        }
    }
    if (rest.empty()) return Usage("give execute TEXT or poke ITEM TEXT");
    const std::string verb = rest[0];
    if (verb != "execute" && verb != "poke") {
        return Usage("unknown command " + verb + " (execute or poke)");
    }
    if (verb == "execute" && rest.size() != 2) return Usage("execute takes one TEXT");
    if (verb == "poke" && rest.size() != 3) return Usage("poke takes an ITEM and a TEXT");

    platform::DdeClient client;
    platform::DdeResult result = client.Link(application + "|" + topic, timeoutMs);
    if (result.ok) {
        result = verb == "execute" ? client.Execute(rest[1], answerMs)
                                   : client.Poke(rest[1], rest[2], answerMs);
    }
    client.Close();
    if (!result.ok) {
        std::fprintf(stderr, "talq-dde: error %d: %s\n", result.errorNumber,
                     platform::ToQString(result.description).toLocal8Bit().constData());
        return 1;
    }
    return 0;
}
