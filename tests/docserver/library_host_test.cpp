// The local-access library inside the programs that load it: a host ends as
// it likes without a crash or a lost save, also while its threads read page
// images or from its own exit handler; a host without a Qt application gets
// its text pages; each reply goes to whoever holds its reference; threads
// that come and go hold no descriptors; a forked child calls at once; and a
// host out of descriptors is told so.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <cstdlib>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "foundation/mod_registry.h"
#include "imaging/page_files.h"
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

// How the child ended; killed (and told) after the limit.
int ChildEnded(pid_t pid, std::chrono::seconds limit = std::chrono::minutes(1)) {
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (::waitpid(pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            ADD_FAILURE() << "the child never ended";
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return status;
}

// Runs the host program with its output in files; killed after the limit.
Ended RunHost(const std::string& dir, const std::vector<std::string>& args,
              std::chrono::seconds limit = std::chrono::minutes(1)) {
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
    ended.status = ChildEnded(pid, limit);
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

// A 300 dpi page to store, with a mark so it is no blank. Small: Qt
// converts a large image on a pool of threads, which the leak checker
// cannot scan at exit.
QImage Page(QImage::Format format) {
    QImage page(360, 240, QImage::Format_RGB32);
    page.fill(Qt::white);
    for (int x = 50; x < 300; ++x) page.setPixel(x, 120, qRgb(0, 0, 0));
    page = page.convertToFormat(format);
    page.setDotsPerMeterX(11811);
    page.setDotsPerMeterY(11811);
    return page;
}

void Exec(const std::string& sys, const std::string& sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((sys + "/system.db").c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql.c_str(), nullptr, nullptr, nullptr), SQLITE_OK)
        << sqlite3_errmsg(db);
    sqlite3_close(db);
}

int OpenDescriptors() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

class LibraryHost : public ::testing::Test {
  protected:
    // Page 1 is a colour JPEG, page 2 a Group 4 TIFF, page 3 has no scan.
    void SetUp() override {
        sys_ = dir_.Path() + "/system";
        testsupport::MakeQuerySystem(sys_, 20, 2);
        ASSERT_TRUE(docserver::imaging::WriteWholeFile(
            sys_ + "/images/p1.jpg",
            docserver::imaging::EncodeJpeg(Page(QImage::Format_RGB32), false)));
        ASSERT_TRUE(docserver::imaging::WriteG4Tiff({Page(QImage::Format_Mono)},
                                                    sys_ + "/images/p2.tif"));
        Exec(sys_,
             "UPDATE pages SET image_file = 'images/p1.jpg' WHERE seq = 1;"
             "UPDATE pages SET image_file = 'images/p2.tif' WHERE seq = 2;"
             "UPDATE pages SET placeholder = 1 WHERE seq = 3;");
        modRegistry::RegSetString(modRegistry::HKEY_CURRENT_USER,
                                  "Software\\TALQTech\\VYNSYS\\Paths", "Local", sys_ + "/");
        ASSERT_TRUE(library_.Load());
    }

    // A handle of the library loaded here, logged in on the project.
    std::int32_t Connected() {
        const std::int32_t handle = library_.AllocateConnectionHndl();
        EXPECT_EQ(library_.ConnectLocal(2, handle), 0) << library_.ConnectFailure(handle);
        EXPECT_EQ(Ask(handle, "TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1").substr(0, 1), "1");
        EXPECT_NE(Ask(handle, "TALQGetProjectInfo,ADMIN,SECRET,Demo Project").substr(0, 5),
                  "ERROR");
        return handle;
    }
    struct Asked {
        std::int32_t reference = 0;
        std::int32_t length = 0;
    };
    Asked Request(std::int32_t handle, const std::string& command) {
        Asked asked;
        library_.ProcessCommand(handle, command.c_str(), static_cast<std::int32_t>(command.size()),
                                &asked.reference, &asked.length);
        return asked;
    }
    // The reply, or "<-1>" when the copy is refused.
    std::string Copy(Asked asked) {
        std::string reply(static_cast<std::size_t>(std::max(asked.length, 0)), '\0');
        const std::int32_t copied =
            library_.CopyMsgData(asked.reference, reply.data(), asked.length, 0);
        if (copied < 0) return "<-1>";
        reply.resize(static_cast<std::size_t>(copied));
        return reply;
    }
    std::string Ask(std::int32_t handle, const std::string& command) {
        return Copy(Request(handle, command));
    }
    LocalAccessLibrary library_;
    testsupport::ScopedEnv shared_{"TALQ_FILE_SYSTEM", "network"};
    testsupport::ScopedUserStores stores_;
    testsupport::ScopedTempDir dir_;
    std::string sys_;
};

// The host ends each way while its other threads save, or read page
// images: Qt's image statics made at a first read, after the library's exit
// handler, went before it, under a reader. That handler woke the calls'
// waiters from inside a signal handler that may have interrupted a wait or
// a wake-up on the same condition variable, and one host in fifteen hung
// for good. Qt scaled a page on its thread pool, whose idle threads kept a
// host whose main had ended 30 s.
TEST_F(LibraryHost, HostEndingWhileItsThreadsSaveOrReadExitsCleanlyAndKeepsItsSaves) {
    QImage page = Page(QImage::Format_RGB32).scaled(2550, 3300);
    page.setDotsPerMeterX(11811);
    page.setDotsPerMeterY(11811);
    ASSERT_TRUE(docserver::imaging::WriteWholeFile(sys_ + "/images/p4.jpg",
                                                   docserver::imaging::EncodeJpeg(page, false)));
    Exec(sys_, "UPDATE pages SET image_file = 'images/p4.jpg' WHERE seq = 4");
    std::vector<std::vector<std::string>> runs = {
        {"return"},
        {"exit-thread"},
        {"exit-thread"},
        {"read-exit", "thread"},
        {"read-exit", "thread"},
        {"read-exit", "return"},
        {"read-exit", "return"},
        {"read-exit", "signal"},
        {"read-exit", "signal"},
        {"exit-handler"},
        {"exit-handler"},
        // The library's own thread outlived main and kept the process.
        {"pthread-exit"},
        {"pthread-exit", "TALQSendClientImage,ADMIN,SECRET,Demo Project,K00004,100"},
    };
    for (int i = 0; i < 40; ++i)
        runs.push_back({"read-exit", i % 2 ? "signal-thread" : "signal-process"});
    for (const std::vector<std::string>& run : runs) {
        SCOPED_TRACE(run.front() + " " + run.back());
        // Well short of the pool's 30 s, well past a host's end on a loaded machine.
        const Ended ended = RunHost(dir_.Path(), run, std::chrono::seconds(20));
        EXPECT_TRUE(WIFEXITED(ended.status) && WEXITSTATUS(ended.status) == 0)
            << "status " << ended.status << "\n" << ended.err.substr(0, 4000);
        if (run.front() == "read-exit") continue;
        const std::vector<std::string> acknowledged = Acknowledged(ended.out);
        EXPECT_FALSE(acknowledged.empty());
        const std::set<std::string> stored = StoredTags(sys_);
        for (const std::string& tag : acknowledged) EXPECT_EQ(stored.count(tag), 1u) << tag;
        // The host's own handler, registered after it connected, closes its
        // handle with the library still there.
        if (run.front() == "exit-handler") {
            EXPECT_NE(ended.out.find("CLOSED 0 0"), std::string::npos);
        }
    }
}

// Asked by a thread that ends; Qt objects made on it outlived it.
TEST_F(LibraryHost, HostWithoutAQtApplicationGetsItsTextPageFromAThreadThatEnds) {
    const std::string file = dir_.Path() + "/page.png";
    for (int run = 0; run < 3; ++run) {
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
}

// Qt took the library's thread for its main one: the application warned,
// and its event filters saw nothing.
TEST_F(LibraryHost, AQtApplicationMadeAfterTheFirstConnectIsOnQtsMainThread) {
    const Ended ended = RunHost(dir_.Path(), {"qt-later"});
    EXPECT_TRUE(WIFEXITED(ended.status) && WEXITSTATUS(ended.status) == 0) << ended.err;
    EXPECT_EQ(ended.err.find("not created in the main() thread"), std::string::npos) << ended.err;
}

TEST_F(LibraryHost, ThreadsSharingAHandleEachGetTheReplyToTheirOwnRequest) {
    const std::int32_t handle = Connected();
    const std::string version = Ask(handle, "TALQGetVersion");
    const std::string flags = Ask(handle, "TALQGetSystemFlags");
    ASSERT_NE(version, flags);
    // A pause between request and copy, as a host may make, lets the other
    // thread's request come between.
    auto ask = [&](const std::string& command) {
        const Asked asked = Request(handle, command);
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        return Copy(asked);
    };
    int wrong[2] = {0, 0};
    std::thread first([&] {
        for (int i = 0; i < 200; ++i) wrong[0] += ask("TALQGetVersion") != version;
    });
    std::thread second([&] {
        for (int i = 0; i < 200; ++i) wrong[1] += ask("TALQGetSystemFlags") != flags;
    });
    first.join();
    second.join();
    EXPECT_EQ(wrong[0], 0);
    EXPECT_EQ(wrong[1], 0);
    EXPECT_EQ(Ask(handle, "TALQGetVersion"), version) << "a single caller is served as before";
    library_.CloseConnection(handle);
    library_.FreeConnectionHndl(handle);
}

// Thread ids are reused, so a reply kept per thread went to a thread that
// never asked; a copy used the reply up, and a host that does not look at
// the result held zeros, taken for success.
TEST_F(LibraryHost, AReplyIsCopiedAgainByWhoeverHoldsItsReferenceUntilItsThreadAsksAgain) {
    const std::int32_t handle = Connected();
    const std::string version = Ask(handle, "TALQGetVersion");
    const std::string flags = Ask(handle, "TALQGetSystemFlags");
    ASSERT_NE(version, flags);
    Asked asked, copied;
    std::string onOther;
    // Asked on one thread, copied on another after that one asked itself.
    std::thread([&] { asked = Request(handle, "TALQGetVersion"); }).join();
    std::thread([&] {
        EXPECT_EQ(Ask(handle, "TALQGetSystemFlags"), flags);
        onOther = Copy(asked);
    }).join();
    EXPECT_EQ(onOther, version);
    EXPECT_EQ(Copy(asked), version) << "copied again";
    // Into a short buffer first, then whole.
    copied = Request(handle, "TALQGetVersion");
    EXPECT_EQ(Copy(Asked{copied.reference, 3}), version.substr(0, 3));
    EXPECT_EQ(Copy(copied), version);
    Request(handle, "TALQGetSystemFlags");
    EXPECT_EQ(Copy(copied), "<-1>") << "its thread asked again";
    // Past the bound, the copy says why into the buffer.
    for (int i = 0; i < 256; ++i) std::thread([&] { Request(handle, "TALQGetVersion"); }).join();
    std::string why(60, '\0');
    EXPECT_EQ(library_.CopyMsgData(asked.reference, why.data(), 60, 0), -1);
    EXPECT_EQ(why.rfind("ERROR: Reply No Longer Kept", 0), 0u) << why;
    const Asked closed = Request(handle, "TALQGetVersion");
    library_.CloseConnection(handle);
    for (const Asked& refused : {closed, Asked{closed.reference + 1000, 16}, Asked{handle, 16}})
        EXPECT_EQ(Copy(refused), "<-1>") << refused.reference;
    library_.FreeConnectionHndl(handle);
}

// Each thread that asked kept a connection, and its descriptors, until the
// handle closed.
TEST_F(LibraryHost, ThreadsThatAskOnceAndEndHoldNoDescriptors) {
    const std::int32_t handle = Connected();
    const std::string version = Ask(handle, "TALQGetVersion");
    const int before = OpenDescriptors();
    int wrong = 0;
    for (int i = 0; i < 150; ++i) {
        std::thread([&] {
            wrong += Ask(handle, "TALQGetProjectInfo,ADMIN,SECRET,Demo Project").rfind("ERROR", 0) ==
                     0;
        }).join();
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_LT(OpenDescriptors(), before + 10);
    EXPECT_EQ(Ask(handle, "TALQGetVersion"), version);
    library_.CloseConnection(handle);
    library_.FreeConnectionHndl(handle);
}

// A forked child's leak check at exit would count what only the parent's
// other threads held.
bool g_forkedChild = false;

}  // namespace

extern "C" int __lsan_is_turned_off() {
    return g_forkedChild ? 1 : 0;
}

namespace {

// A thread that ends gives its connection back under the engine's lock: a
// child forked meanwhile inherited it held and hung at its first connect.
TEST_F(LibraryHost, AChildForkedWhileThreadsEndConnectsAtOnce) {
#ifdef __SANITIZE_ADDRESS__
    GTEST_SKIP() << "the address sanitizer's allocator is not fork-safe: a child forked while "
                    "threads end may inherit its lock held";
#endif
    const std::int32_t handle = Connected();
    std::atomic<bool> stop{false};
    std::vector<std::thread> comers;
    for (int i = 0; i < 3; ++i)
        comers.emplace_back([&] {
            while (!stop) std::thread([&] { Ask(handle, "TALQGetVersion"); }).join();
        });
    for (int n = 0; n < 100; ++n) {
        const pid_t pid = ::fork();
        if (pid == 0) {
            g_forkedChild = true;
            ::_exit(library_.ConnectLocal(2, library_.AllocateConnectionHndl()) == 0 ? 0 : 4);
        }
        const int status = ChildEnded(pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "child " << n;
        if (!WIFEXITED(status)) break;
    }
    stop = true;
    for (std::thread& t : comers) t.join();
    library_.CloseConnection(handle);
    library_.FreeConnectionHndl(handle);
}

// The child of a fork made while another thread was inside a call found the
// library held by a thread it does not have.
TEST_F(LibraryHost, AChildForkedDuringACallCallsAndExitsAtOnce) {
    const std::int32_t handle = Connected();
    std::atomic<bool> stop{false};
    std::thread busy([&] {
        while (!stop) Request(handle, "TALQSendTextImage,Keeps the library busy");
    });
    for (const bool calls : {true, true, false}) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        const pid_t pid = ::fork();
        if (pid == 0) {
            g_forkedChild = true;
            if (!calls) std::exit(0);
            // The parent's connection is not the child's to use.
            if (library_.ValidateConnection(handle) == 0) ::_exit(3);
            const std::int32_t own = library_.AllocateConnectionHndl();
            if (library_.ConnectLocal(2, own) != 0) ::_exit(4);
            if (Ask(own, "TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1").rfind("1", 0) != 0)
                ::_exit(5);
            ::_exit(Ask(own, "TALQGetVersion").rfind("ERROR", 0) == 0 ? 6 : 0);
        }
        const int status = ChildEnded(pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    }
    stop = true;
    busy.join();
    EXPECT_EQ(Ask(handle, "TALQGetVersion").rfind("ERROR", 0), std::string::npos)
        << "the parent's handle still serves";
    library_.CloseConnection(handle);
    library_.FreeConnectionHndl(handle);
}

// A child forked while a save's commit waited for a read to end kept
// SQLite's count of the save's locks without the locks: every connection it
// made answered "database is locked" for good.
TEST_F(LibraryHost, AChildForkedWhileASaveWaitsForALockCallsAtOnce) {
    const std::int32_t handle = Connected();
    sqlite3* reader = nullptr;
    sqlite3_open((sys_ + "/system.db").c_str(), &reader);
    ASSERT_EQ(sqlite3_exec(reader, "BEGIN; SELECT COUNT(*) FROM tags", nullptr, nullptr, nullptr),
              SQLITE_OK);
    std::string saved;
    std::thread saver([&] { saved = Ask(handle, "TALQAddTag,ADMIN,SECRET,Demo Project,Waited"); });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    const pid_t child = ::fork();
    if (child == 0) {
        g_forkedChild = true;
        sqlite3_close(reader);  // the parent's own connection, not the child's to keep
        char byte = 0;
        const std::int32_t own = library_.AllocateConnectionHndl();
        if (::read(go[0], &byte, 1) != 1 || library_.ConnectLocal(2, own) != 0) ::_exit(4);
        Ask(own, "TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1");
        ::_exit(Ask(own, "TALQAddTag,ADMIN,SECRET,Demo Project,Forked") == "1" ? 0 : 5);
    }
    sqlite3_close(reader);
    EXPECT_EQ(::write(go[1], "x", 1), 1);
    const int status = ChildEnded(child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    saver.join();
    EXPECT_TRUE(saved == "1" || saved == "ERROR: Database Busy, Try Again") << saved;
    library_.CloseConnection(handle);
    library_.FreeConnectionHndl(handle);
}

// What body answers in a child out of descriptors, after ready ran there.
std::string InChildOutOfDescriptors(const std::function<void()>& ready,
                                    const std::function<std::string()>& body) {
    int told[2];
    if (::pipe(told) != 0) return "no pipe";
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(told[0]);
        ready();
        rlimit limit{};
        ::getrlimit(RLIMIT_NOFILE, &limit);
        limit.rlim_cur = std::min<rlim_t>(limit.rlim_cur, 256);
        ::setrlimit(RLIMIT_NOFILE, &limit);
        while (::open("/dev/null", O_RDONLY) >= 0) {
        }
        const std::string reply = body();
        if (::write(told[1], reply.data(), reply.size()) < 0) ::_exit(2);
        ::_exit(0);
    }
    ::close(told[1]);
    std::string reply;
    char buffer[512];
    for (ssize_t n; (n = ::read(told[0], buffer, sizeof buffer)) > 0;)
        reply.append(buffer, static_cast<std::size_t>(n));
    ::close(told[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    return reply;
}

TEST_F(LibraryHost, ConnectingWithNoDescriptorLeftSaysTooManyOpenFiles) {
    const std::int32_t handle = library_.AllocateConnectionHndl();
    const std::string reason = InChildOutOfDescriptors([] {}, [&] {
        return library_.ConnectLocal(2, handle) != 0 ? library_.ConnectFailure(handle)
                                                     : std::string("connected");
    });
    EXPECT_NE(reason.find("too many open files"), std::string::npos) << reason;
}

// A stored page that is there was told as missing, a text as not drawn.
TEST_F(LibraryHost, ReadingAPageOrTextWithNoDescriptorLeftSaysTooManyOpenFiles) {
    for (const char* page : {"K00001,0", "K00002,0", "K00001,100"}) {
        const std::string command =
            std::string("TALQSendClientImage,ADMIN,SECRET,Demo Project,") + page;
        std::int32_t handle = 0;
        const std::string reply = InChildOutOfDescriptors(
            [&] {
                handle = Connected();
                EXPECT_EQ(Ask(handle, command).rfind("ERROR", 0), std::string::npos);
            },
            [&] { return Ask(handle, command); });
        EXPECT_EQ(reply.rfind("ERROR: Unable to Read Image: too many open files", 0), 0u)
            << page << ": " << reply.substr(0, 200);
    }
    // Without a Qt application the font's file is opened for each page.
    const Ended text = RunHost(dir_.Path(), {"text-no-files"});
    EXPECT_TRUE(WIFEXITED(text.status) && WEXITSTATUS(text.status) == 0)
        << "status " << text.status << "\n" << text.err.substr(0, 4000);
    EXPECT_EQ(text.out.rfind("ERROR: Unable to Render Text: too many open files", 0), 0u)
        << text.out;
}

}  // namespace
