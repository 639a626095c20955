// talq-server: the document server for the remote access mode.
//
//   talq-server --system DIR [--port N] [--address A] [--log] [--workers N]
//               [--max-connections N] [--max-per-address N] [--max-per-user N]
//               [--max-buffered-mb N] [--idle-timeout SECONDS] [--frame-timeout SECONDS]
//               [--login-grace SECONDS] [--dead-peer-timeout SECONDS]
//   talq-server --init DIR [--user NAME] [--password TEXT]
//   talq-server --backup DIR --to FOLDER
//   talq-server --restore BACKUP --to DIR
//   talq-server --help

#include <QGuiApplication>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "descriptor_budget.h"
#include "engine/command_engine.h"
#include "engine/key_ranges.h"
#include "engine/system_access.h"
#include "engine/system_backup.h"
#include "engine/system_init.h"
#include "platform/leading_number.h"
#include "platform/text_codec.h"
#include "tcp_server.h"

namespace {

int g_stopPipe[2] = {-1, -1};

void OnStop(int) {
    char c = 1;
    [[maybe_unused]] ssize_t n = ::write(g_stopPipe[1], &c, 1);
}

constexpr const char* kSynopsis =
    "usage: talq-server --system DIR [--port N] [--address A] [--log] [--workers N]\n"
    "                   [--max-connections N] [--max-per-address N]\n"
    "                   [--max-per-user N] [--max-buffered-mb N]\n"
    "                   [--idle-timeout SECONDS] [--frame-timeout SECONDS]\n"
    "                   [--login-grace SECONDS] [--dead-peer-timeout SECONDS]\n"
    "       talq-server --init DIR [--user NAME] [--password TEXT]\n"
    "       talq-server --backup DIR --to FOLDER\n"
    "       talq-server --restore BACKUP --to DIR\n";

constexpr const char* kOptions =
    "Serves the system in DIR over TCP/IP, or creates a new system in DIR.\n"
    "  --system DIR             the system to serve (made by --init or talq-demo)\n"
    "  --port N                 the TCP port, 0 to 65535 (7120; 0 picks a free one)\n"
    "  --address A              the IPv4 address to listen on (127.0.0.1)\n"
    "  --log                    one line per request on standard error\n"
    "  --workers N              requests run at once, 1 to 256 (one per processor,\n"
    "                           at least 2)\n"
    "  --max-connections N      connections at once, 1 to 100000 (256); the workers\n"
    "                           and connections must fit the descriptor limit\n"
    "                           (ulimit -n), raised at start as far as it goes\n"
    "  --max-per-address N      connections from one address, 1 to 100000 (32)\n"
    "  --max-per-user N         logged-in connections of one user, 1 to 100000 (32)\n"
    "  --max-buffered-mb N      buffered bytes of all connections, 1 to 1048576 (256)\n"
    "  --idle-timeout SECONDS   close an idle connection, 1 to 604800 (900)\n"
    "  --frame-timeout SECONDS  drop a begun request that stops arriving this long,\n"
    "                           1 to 86400 (120)\n"
    "  --login-grace SECONDS    close a connection not logged in by then, 1 to 86400\n"
    "                           (30)\n"
    "  --dead-peer-timeout SECONDS  close a connection whose peer is gone without a\n"
    "                           close after about this long (behind a full window,\n"
    "                           four minutes more at most), 2 to 86400 (60)\n"
    "  --init DIR               create a system in DIR (made when missing; must\n"
    "                           not hold one) with one user of every right; it\n"
    "                           sees a project once given a user_projects row\n"
    "  --user NAME              that user's id (ADMIN)\n"
    "  --password TEXT          that user's password (ADMIN)\n"
    "  --backup DIR --to FOLDER  back up the system in DIR, while it is served,\n"
    "                           into a new folder of FOLDER named for the time;\n"
    "                           made only once every step succeeded and the copy\n"
    "                           checks sound\n"
    "  --restore BACKUP --to DIR  put a copy of the backup in DIR's place, the\n"
    "                           system there kept beside it as DIR.old-<time>;\n"
    "                           stop every program that has the system open first\n"
    "  -h, --help               print this and end\n";

// A wrong command line: the synopsis, after the mistake has been named.
int Usage() {
    std::fputs(kSynopsis, stderr);
    return 2;
}

// A wrong value: the option, the value given and what is allowed.
int Refuse(const char* option, const std::string& value, const std::string& allowed) {
    std::fprintf(stderr, "talq-server: %s %s: %s\n", option, value.c_str(), allowed.c_str());
    return Usage();
}

// --init never makes a system over one.
bool HoldsSystem(const std::string& dir) {
    struct stat info {};
    return ::stat((dir + "/system.db").c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// Told before the engine opens the system: SQLite would take a database it
// may not write as read-only and fail every save, and a folder it may not
// read is no folder without a system. The exit status when refused.
std::optional<int> RefusedSystem(const std::string& dir) {
    const docserver::SystemAccess access = docserver::CheckSystemAccess(dir);
    switch (access.kind) {
        case docserver::SystemAccess::Kind::kUsable:
            return std::nullopt;
        case docserver::SystemAccess::Kind::kNoSystem:
            return Refuse("--system", dir,
                          "give a folder that holds a system (system.db); create one with\n"
                          "  talq-server --init " + dir);
        case docserver::SystemAccess::Kind::kNotFolder:
            return Refuse("--system", dir, access.reason);
        case docserver::SystemAccess::Kind::kRefused:
            break;
    }
    std::fprintf(stderr,
                 "talq-server: cannot serve %s: %s\n"
                 "  the server reads and writes system.db and makes its journal beside it:\n"
                 "  give its user those rights on the folder and its files, or serve a\n"
                 "  writable copy\n",
                 dir.c_str(), access.reason.c_str());
    return 1;
}

// Ranges that refuse their users the project are served as they are, and
// named on the error output with what to do.
void TellKeyRangeFaults(docserver::SystemDb& db) {
    try {
        for (const std::string& fault : docserver::KeyRangeFaults(db))
            std::fprintf(stderr, "talq-server: %s\n", fault.c_str());
    } catch (const std::exception& e) {
        std::fprintf(stderr, "talq-server: the key ranges could not be checked: %s\n", e.what());
    }
}

// Whether the address is an IPv4 address this machine can listen on. Asked of a
// throwaway socket on a free port, so that a mistyped address is told before
// the system is opened and a port in use is not taken for a wrong address.
bool IsOwnAddress(const std::string& address) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    if (::inet_pton(AF_INET, address.c_str(), &a.sin_addr) != 1) return false;
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return true;  // no socket to ask with: Listen will say why
    const bool bound = ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 ||
                       errno != EADDRNOTAVAIL;
    ::close(fd);
    return bound;
}

// --backup or --restore, given with `other`, the first option of another
// command given, if any.
int BackupCommand(const std::string& backupDir, const std::string& restoreDir,
                  const std::string& toDir, const std::string& other) {
    const char* command = !backupDir.empty() ? "--backup" : "--restore";
    if (!other.empty() || (!backupDir.empty() && !restoreDir.empty())) {
        std::fprintf(stderr, "talq-server: %s takes only --to FOLDER; %s is for another command\n",
                     command, !other.empty() ? other.c_str() : "--restore");
        return Usage();
    }
    if (backupDir.empty() && restoreDir.empty()) {
        std::fprintf(stderr, "talq-server: --to is for --backup DIR or --restore BACKUP\n");
        return Usage();
    }
    if (toDir.empty()) {
        std::fprintf(stderr, "talq-server: %s needs --to, the folder %s\n", command,
                     !backupDir.empty() ? "to make the backup in" : "of the system to restore");
        return Usage();
    }
    // A copy past the file size limit then fails and is told, and its folder
    // removed, rather than the signal ending the program half way.
    std::signal(SIGXFSZ, SIG_IGN);
    const std::time_t now = std::time(nullptr);
    const docserver::BackupOutcome outcome = !backupDir.empty()
                                                 ? docserver::BackUpSystem(backupDir, toDir, now)
                                                 : docserver::RestoreSystem(restoreDir, toDir, now);
    switch (outcome.kind) {
        case docserver::BackupOutcome::Kind::kDone:
            std::printf("%s\n", outcome.text.c_str());
            return 0;
        case docserver::BackupOutcome::Kind::kRefused:
            return Refuse(outcome.option.c_str(), outcome.value, outcome.text);
        case docserver::BackupOutcome::Kind::kFailed:
            break;
    }
    std::fprintf(stderr, "talq-server: %s\n", outcome.text.c_str());
    return 1;
}

}  // namespace

int main(int argc, char** argv) {
    // Rendering text and original files needs fonts, not a display.
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QGuiApplication app(argc, argv);
    std::string systemDir, initDir, backupDir, restoreDir, toDir, address = "127.0.0.1", user = "ADMIN", password = "ADMIN";
    int port = 7120;
    bool log = false;
    docserver::ServerLimits limits;
    bool named = false;  // the mistake was told already
    // The first option given that only serving, or only --init, takes: a
    // command line that mixes them would have one half silently ignored.
    std::string servingOption, initOption;
    for (int i = 1; i < argc; ++i) {
        std::string arg = argv[i];
        if (arg == "--user" || arg == "--password") {
            if (initOption.empty()) initOption = arg;
        } else if (arg != "--init" && arg != "--backup" && arg != "--restore" && arg != "--to" &&
                   arg != "--help" && arg != "-h" && servingOption.empty()) {
            servingOption = arg;
        }
        if (arg == "--help" || arg == "-h") {
            std::printf("%s%s", kSynopsis, kOptions);
            return 0;
        }
        auto value = [&](std::string& out, bool emptyAllowed = false) {
            if (i + 1 >= argc || (!emptyAllowed && argv[i + 1][0] == '\0')) {
                std::fprintf(stderr, "talq-server: %s needs a value\n", arg.c_str());
                named = true;
                return false;
            }
            out = argv[++i];
            return true;
        };
        std::string text;
        if (arg == "--system" && value(systemDir)) continue;
        if (arg == "--init" && value(initDir)) continue;
        if (arg == "--backup" && value(backupDir)) continue;
        if (arg == "--restore" && value(restoreDir)) continue;
        if (arg == "--to" && value(toDir)) continue;
        if (arg == "--address" && value(address)) continue;
        if (arg == "--user" && value(user)) continue;
        if (arg == "--password" && value(password, true)) continue;
        auto number = [&](long low, long high, long& out) {
            if (!value(text)) return false;
            if (platform::WholeNumberIn(text, low, high, out)) return true;
            std::fprintf(stderr, "talq-server: %s %s: give a whole number from %ld to %ld\n",
                         arg.c_str(), text.c_str(), low, high);
            named = true;
            return false;
        };
        long n = 0;
        if (arg == "--port") {
            if (!number(0, 65535, n)) return Usage();
            port = static_cast<int>(n);
            continue;
        }
        if (arg == "--workers") {
            if (!number(1, 256, n)) return Usage();
            limits.workers = static_cast<int>(n);
            continue;
        }
        if (arg == "--max-connections") {
            if (!number(1, 100000, n)) return Usage();
            limits.maxConnections = static_cast<std::size_t>(n);
            continue;
        }
        if (arg == "--max-per-address") {
            if (!number(1, 100000, n)) return Usage();
            limits.maxPerAddress = static_cast<std::size_t>(n);
            continue;
        }
        if (arg == "--max-per-user") {
            if (!number(1, 100000, n)) return Usage();
            limits.maxPerUser = static_cast<std::size_t>(n);
            continue;
        }
        if (arg == "--frame-timeout") {
            if (!number(1, 24 * 3600, n)) return Usage();
            limits.frameSeconds = static_cast<int>(n);
            continue;
        }
        if (arg == "--max-buffered-mb") {
            if (!number(1, 1 << 20, n)) return Usage();
            limits.maxBufferedBytes = static_cast<std::size_t>(n) << 20;
            continue;
        }
        if (arg == "--idle-timeout") {
            if (!number(1, 7 * 24 * 3600, n)) return Usage();
            limits.idleSeconds = static_cast<int>(n);
            continue;
        }
        if (arg == "--login-grace") {
            if (!number(1, 24 * 3600, n)) return Usage();
            limits.loginGraceSeconds = static_cast<int>(n);
            continue;
        }
        if (arg == "--dead-peer-timeout") {
            if (!number(2, 24 * 3600, n)) return Usage();
            limits.deadPeerSeconds = static_cast<int>(n);
            continue;
        }
        if (arg == "--log") {
            log = true;
            continue;
        }
        if (!named) std::fprintf(stderr, "talq-server: unknown option %s\n", arg.c_str());
        return Usage();
    }
    if (!backupDir.empty() || !restoreDir.empty() || !toDir.empty())
        return BackupCommand(backupDir, restoreDir, toDir,
                             !initDir.empty()          ? "--init"
                             : !servingOption.empty() ? servingOption
                                                      : initOption);
    if (!initDir.empty() && !servingOption.empty()) {
        std::fprintf(stderr,
                     "talq-server: --init makes a system and serves none: %s is for serving "
                     "one; make it first, then serve it with --system DIR\n",
                     servingOption.c_str());
        return Usage();
    }
    if (initDir.empty() && !initOption.empty()) {
        std::fprintf(stderr,
                     "talq-server: %s is for the user --init makes; a system's users are rows of "
                     "its system.db\n",
                     initOption.c_str());
        return Usage();
    }
    std::string error;
    if (!initDir.empty()) {
        if (HoldsSystem(initDir)) {
            return Refuse("--init", initDir,
                          "give a folder that holds no system yet (made when missing)");
        }
        // Stored as the viewer sends them, in its code page.
        constexpr const char* kCodePage =
            " holds only characters of the Windows-1252 code page, which logins use";
        const auto userId = platform::ArgumentInCodePage(user.c_str());
        if (!userId) return Refuse("--user", user, std::string("a user id") + kCodePage);
        if (const std::string why = docserver::InitUserRefusal(*userId); !why.empty())
            return Refuse("--user", user, why);
        // The password itself is not echoed.
        const std::string unshown =
            "(" + std::to_string(QString::fromLocal8Bit(password.c_str()).toUcs4().size()) +
            " characters)";
        const auto secret = platform::ArgumentInCodePage(password.c_str());
        if (!secret) return Refuse("--password", unshown, std::string("a password") + kCodePage);
        if (const std::string why = docserver::InitPasswordRefusal(*secret); !why.empty())
            return Refuse("--password", unshown, why);
        if (!docserver::InitSystem(initDir, *userId, *secret, error)) {
            std::fprintf(stderr, "talq-server: %s\n", error.c_str());
            return 1;
        }
        std::printf("created system %s with user %s\n", initDir.c_str(), user.c_str());
        return 0;
    }
    if (systemDir.empty()) {
        std::fprintf(stderr, "talq-server: give --system DIR to serve, or --init DIR\n");
        return Usage();
    }
    if (!IsOwnAddress(address)) {
        return Refuse("--address", address,
                      "give an IPv4 address of this machine, such as 127.0.0.1, or 0.0.0.0 "
                      "for all of them");
    }
    if (const std::optional<int> refused = RefusedSystem(systemDir)) return *refused;
    if (const std::string refusal =
            docserver::FitDescriptorLimit(docserver::WorkerCount(limits), limits.maxConnections);
        !refusal.empty()) {
        std::fprintf(stderr, "talq-server: %s\n", refusal.c_str());
        return 2;
    }
    // One engine per worker; failed logins count across all of them.
    std::vector<std::unique_ptr<docserver::CommandEngine>> engines;
    std::vector<docserver::CommandEngine*> pool;
    for (int i = 0; i < docserver::WorkerCount(limits); ++i) {
        // The first checks the whole file before anything is served.
        engines.push_back(docserver::CommandEngine::Open(systemDir, error, i == 0));
        if (!engines.back()) {
            std::fprintf(stderr, "talq-server: %s\n", error.c_str());
            return 1;
        }
        if (const std::string& note = engines.back()->StartNote(); !note.empty())
            std::fprintf(stderr, "talq-server: %s\n", note.c_str());
        if (i == 0) TellKeyRangeFaults(engines.back()->Db());
        // Opened here, used by its worker's thread, which opens its own.
        engines.back()->Db().ReleaseThreadConnection();
        if (i > 0) engines.back()->ShareLoginThrottle(engines.front()->SharedThrottle());
        pool.push_back(engines.back().get());
    }
    docserver::TcpServer server(pool, limits);
    if (!server.Listen(address, port, error)) {
        std::fprintf(stderr, "talq-server: cannot listen on %s:%d: %s\n", address.c_str(), port,
                     error.c_str());
        return 1;
    }
    if (::pipe2(g_stopPipe, O_CLOEXEC) != 0) return 1;
    struct sigaction action {};
    action.sa_handler = OnStop;
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);
    if (log) server.SetLog(stderr);
    std::printf("talq-server listening on %s:%d\n", address.c_str(), server.Port());
    std::fflush(stdout);
    server.Run(g_stopPipe[0]);
    std::printf("talq-server stopped\n");
    return 0;
}
