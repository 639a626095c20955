// talq-dde-peer: plays another program on the message layer and records what
// it receives, one line a message, in a log file. It stands in for the
// document database program, or (with --single-instance) for a viewer start:
// the first such process serves, a later one hands its command line over.
//
// Log lines: READY, LINK, EXECUTE <text>, POKE <item> <text>, FRONT,
// HANDED OVER, HAND-OVER FAILED <number> <description>; control bytes,
// '%' and bytes above 126 are written as %XX.

#include <QCoreApplication>
#include <QString>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/dde.h"
#include "platform/percent_escape.h"
#include "platform/single_instance.h"
#include "platform/text_codec.h"

namespace {

constexpr const char* kUsage =
    "usage: talq-dde-peer [--app NAME] [--topic NAME] [--log FILE]\n"
    "                     [--refuse TEXT=NUMBER:DESCRIPTION] [--single-instance] [ARGS...]\n"
    "Serves NAME (default DocDB, topic Peer) and logs what arrives; an execute or poke\n"
    "holding TEXT is refused with NUMBER and DESCRIPTION.\n";

struct Refusal {
    std::string text;
    int number = 0;
    std::string description;
};

std::string Arg(const char* text) {
    return platform::FromQString(QString::fromLocal8Bit(text));
}

std::string Escape(const std::string& text) {
    return platform::PercentEscape(
        text, [](unsigned char c, size_t) { return c < 32 || c == '%' || c > 126; });
}

class Log {
  public:
    explicit Log(const std::string& path)
        : file_(path.empty() ? nullptr : std::fopen(path.c_str(), "ab")) {}
    ~Log() {
        if (file_) std::fclose(file_);
    }
    void Line(const std::string& text) {
        FILE* out = file_ ? file_ : stdout;
        std::fprintf(out, "%s\n", text.c_str());
        std::fflush(out);
    }

  private:
    FILE* file_;
};

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    std::string application = "DocDB";
    std::string topic = "Peer";
    std::string logPath;
    bool singleInstance = false;
    std::vector<Refusal> refusals;
    std::vector<std::string> rest;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        bool hasValue = i + 1 < argc;
        if (a == "--app" && hasValue) {
            application = Arg(argv[++i]);
        } else if (a == "--topic" && hasValue) {
            topic = Arg(argv[++i]);
        } else if (a == "--log" && hasValue) {
            logPath = argv[++i];
        } else if (a == "--refuse" && hasValue) {
            std::string rule = Arg(argv[++i]);
            size_t eq = rule.rfind('=');
            size_t colon = eq == std::string::npos ? eq : rule.find(':', eq);
            if (colon == std::string::npos) {
                std::fprintf(stderr, "talq-dde-peer: --refuse %s: give TEXT=NUMBER:DESCRIPTION\n%s",
                             argv[i], kUsage);
                return 2;
            }
            refusals.push_back({rule.substr(0, eq), std::atoi(rule.substr(eq + 1).c_str()),
                                rule.substr(colon + 1)});
        } else if (a == "--single-instance") {
            singleInstance = true;
        } else if (a == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else {
            rest.push_back(Arg(argv[i]));
        }
    }

    Log log(logPath);
    platform::InstanceLock lock(application);
    if (singleInstance && !lock.Acquire()) {
        platform::DdeResult handed =
            platform::HandOverToFirstInstance(application, topic, platform::JoinCommandLine(rest));
        if (!handed.ok) {
            log.Line("HAND-OVER FAILED " + std::to_string(handed.errorNumber) + " " +
                     Escape(handed.description));
            return 1;
        }
        log.Line("HANDED OVER");
        return 0;
    }

    auto answer = [&refusals](const std::string& text) {
        for (const Refusal& r : refusals) {
            if (text.find(r.text) != std::string::npos) {
                return platform::DdeResult::Failure(r.number, r.description);
            }
        }
        return platform::DdeResult::Success();
    };
    platform::DdeServer server(application, topic);
    server.SetLinkHandler([&log] { log.Line("LINK"); });
    server.SetExecuteHandler([&log, &answer](const std::string& text) {
        log.Line("EXECUTE " + Escape(text));
        return answer(text);
    });
    server.SetPokeHandler([&log, &answer](const std::string& item, const std::string& text) {
        log.Line("POKE " + Escape(item) + " " + Escape(text));
        return answer(text);
    });
    server.SetFrontHandler([&log] {
        log.Line("FRONT");
        return platform::DdeResult::Success();
    });
    if (!server.Listen(lock.Held())) {
        std::fprintf(stderr, "talq-dde-peer: %s\n", server.LastError().c_str());
        return 1;
    }
    log.Line("READY");
    return app.exec();
}
