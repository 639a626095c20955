// The local-access library inside the programs that load it: a host ends as
// it likes without a crash or a lost save, a host without a Qt application
// gets its text pages, threads sharing a handle each get their own reply, and
// a host out of descriptors is told so.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>
#include <chrono>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "foundation/mod_registry.h"
#include "platform/dynamic_library.h"
#include "server/local_access.h"
#include "support/scoped_env.h"
#include "test_system.h"

namespace {

struct Ended {
    int status = -1;  // as waitpid gives it
    std::string out;
    std::string err;
};

// Runs the host program with its output in files; killed after a minute.
Ended RunHost(const std::string& dir, const std::vector<std::string>& args) {
    const std::string program = platform::ProgramDir() + "/talq-library-host";
    const std::string out = dir + "/host.out", err = dir + "/host.err";
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Under the sanitizer freed memory is filled, so that a read of it
        // fails as it does once the memory is used again.
        const char* sanitizer = std::getenv("ASAN_OPTIONS");
        const std::string options = std::string(sanitizer ? sanitizer : "") +
                                    ":max_free_fill_size=4096:free_fill_byte=255";
        ::setenv("ASAN_OPTIONS", options.c_str(), 1);
        const int o = ::open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        const int e = ::open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        ::dup2(o, 1);
        ::dup2(e, 2);
        std::vector<char*> argv{const_cast<char*>(program.c_str())};
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    Ended ended;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::minutes(1);
    while (::waitpid(pid, &ended.status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &ended.status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    ended.out = testsupport::ReadFile(out);
    ended.err = testsupport::ReadFile(err);
    return ended;
}

std::vector<std::string> Acknowledged(const std::string& out) {
    std::vector<std::string> tags;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("ACK ", 0) == 0) tags.push_back(line.substr(4));
    return tags;
}

std::set<std::string> StoredTags(const std::string& sys) {
    std::set<std::string> tags;
    sqlite3* db = nullptr;
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_open_v2((sys + "/system.db").c_str(), &db, SQLITE_OPEN_READWRITE, nullptr) ==
            SQLITE_OK &&
        sqlite3_prepare_v2(db, "SELECT name FROM tags", -1, &stmt, nullptr) == SQLITE_OK) {
        while (sqlite3_step(stmt) == SQLITE_ROW)
            tags.insert(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)));
    }
    sqlite3_finalize(stmt);
    sqlite3_close(db);
    return tags;
}

class LibraryHost : public ::testing::Test {
  protected:
    void SetUp() override {
        sys_ = dir_.Path() + "/system";
        testsupport::MakeQuerySystem(sys_, 20, 2);
        modRegistry::RegSetString(modRegistry::HKEY_CURRENT_USER,
                                  "Software\\TALQTech\\VYNSYS\\Paths", "Local", sys_ + "/");
    }
    testsupport::ScopedEnv shared_{"TALQ_FILE_SYSTEM", "network"};
    testsupport::ScopedUserStores stores_;
    testsupport::ScopedTempDir dir_;
    std::string sys_;
};

TEST_F(LibraryHost, HostEndingWithItsHandleOpenOnASharedFolderExitsCleanlyAndKeepsItsSaves) {
    for (const char* mode : {"return", "exit-thread", "exit-thread", "exit-thread"}) {
        SCOPED_TRACE(mode);
        const Ended ended = RunHost(dir_.Path(), {mode});
        EXPECT_TRUE(WIFEXITED(ended.status) && WEXITSTATUS(ended.status) == 0)
            << "status " << ended.status << "\n" << ended.err.substr(0, 4000);
        const std::vector<std::string> acknowledged = Acknowledged(ended.out);
        EXPECT_FALSE(acknowledged.empty());
        const std::set<std::string> stored = StoredTags(sys_);
        for (const std::string& tag : acknowledged) EXPECT_EQ(stored.count(tag), 1u) << tag;
    }
}

TEST_F(LibraryHost, HostWithoutAQtApplicationGetsItsTextPage) {
    const std::string file = dir_.Path() + "/page.png";
    const Ended ended = RunHost(dir_.Path(), {"text-page", file});
    ASSERT_TRUE(WIFEXITED(ended.status) && WEXITSTATUS(ended.status) == 0)
        << "status " << ended.status << "\n" << ended.err.substr(0, 4000);
    const std::string reply = testsupport::ReadFile(file);
    QImage page;
    ASSERT_TRUE(page.loadFromData(reinterpret_cast<const uchar*>(reply.data()),
                                  static_cast<int>(reply.size())))
        << reply.substr(0, 200);
    int ink = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) ink += qGray(page.pixel(x, y)) < 128;
    EXPECT_GT(ink, 200) << "the text is drawn";
}

TEST_F(LibraryHost, ThreadsSharingAHandleEachGetTheReplyToTheirOwnRequest) {
    LocalAccessLibrary library;
    ASSERT_TRUE(library.Load());
    const std::int32_t handle = library.AllocateConnectionHndl();
    ASSERT_EQ(library.ConnectLocal(2, handle), 0) << library.ConnectFailure(handle);
    // A pause between request and copy, as a host may make, lets the other
    // thread's request come between.
    auto ask = [&](const std::string& command, bool pause = false) {
        std::int32_t ref = 0, length = 0;
        library.ProcessCommand(handle, command.c_str(), static_cast<std::int32_t>(command.size()),
                               &ref, &length);
        if (pause) std::this_thread::sleep_for(std::chrono::microseconds(200));
        std::string reply(static_cast<std::size_t>(std::max(length, 0)), '\0');
        const std::int32_t copied = library.CopyMsgData(ref, reply.data(), length, 0);
        reply.resize(static_cast<std::size_t>(std::max(copied, 0)));
        return reply;
    };
    const std::string version = ask("TALQGetVersion");
    const std::string flags = ask("TALQGetSystemFlags");
    ASSERT_NE(version, flags);
    int wrong[2] = {0, 0};
    std::thread first([&] {
        for (int i = 0; i < 200; ++i) wrong[0] += ask("TALQGetVersion", true) != version;
    });
    std::thread second([&] {
        for (int i = 0; i < 200; ++i) wrong[1] += ask("TALQGetSystemFlags", true) != flags;
    });
    first.join();
    second.join();
    EXPECT_EQ(wrong[0], 0);
    EXPECT_EQ(wrong[1], 0);
    EXPECT_EQ(ask("TALQGetVersion"), version) << "a single caller is served as before";
    library.CloseConnection(handle);
    library.FreeConnectionHndl(handle);
}

TEST_F(LibraryHost, ConnectingWithNoDescriptorLeftSaysTooManyOpenFiles) {
    LocalAccessLibrary library;
    ASSERT_TRUE(library.Load());
    int told[2];
    ASSERT_EQ(::pipe(told), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        const std::int32_t handle = library.AllocateConnectionHndl();
        rlimit limit{};
        ::getrlimit(RLIMIT_NOFILE, &limit);
        limit.rlim_cur = std::min<rlim_t>(limit.rlim_cur, 256);
        ::setrlimit(RLIMIT_NOFILE, &limit);
        while (::open("/dev/null", O_RDONLY) >= 0) {
        }
        const bool refused = library.ConnectLocal(2, handle) != 0;
        const std::string reason = library.ConnectFailure(handle);
        if (::write(told[1], reason.data(), reason.size()) < 0) ::_exit(2);
        ::_exit(refused ? 0 : 1);
    }
    ::close(told[1]);
    std::string reason;
    char buffer[512];
    for (ssize_t n; (n = ::read(told[0], buffer, sizeof buffer)) > 0;)
        reason.append(buffer, static_cast<std::size_t>(n));
    ::close(told[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_NE(reason.find("too many open files"), std::string::npos) << reason;
}

}  // namespace
