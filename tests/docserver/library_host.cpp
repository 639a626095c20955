// A program that loads the local-access library as any host may, with no Qt
// application (but one made late), and ends the way the test names. Every
// save the library acknowledged is written to standard output as
// "ACK <tag>", so the test can look for it afterwards.
//
//   talq-library-host return         save, then return from main, handle open
//   talq-library-host exit-thread    threads save on their handles, and on
//                                    one shared handle, until another thread
//                                    calls exit
//   talq-library-host read-exit HOW  threads read page images and text pages
//                                    until the process ends HOW: exit on
//                                    another thread, a return from main, or
//                                    a SIGTERM handler that calls exit;
//                                    signal-process and signal-thread: short
//                                    calls, the handler on a caller
//   talq-library-host exit-handler   an exit handler registered after the
//                                    connect closes and frees the handle;
//                                    writes "CLOSED <close> <free>"
//   talq-library-host text-page FILE the image of a text, asked by a thread
//                                    that then ends, written to FILE
//   talq-library-host text-no-files  a text page asked with no descriptor
//                                    left; writes the reply's first line
//   talq-library-host pthread-exit [COMMAND]
//                                    save (and ask), then pthread_exit
//   talq-library-host qt-later       a page read, then a Qt application made

#include <dlfcn.h>
#include <fcntl.h>
#include <limits.h>
#include <pthread.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <QCoreApplication>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Allocate = std::int32_t (*)();
using Connect = std::int32_t (*)(std::int32_t, std::int32_t);
using Process = std::int32_t (*)(std::int32_t, const char*, std::int32_t, std::int32_t*,
                                 std::int32_t*);
using Copy = std::int32_t (*)(std::int32_t, char*, std::int32_t, std::int32_t);
using Close = std::int32_t (*)(std::int32_t);
using Reason = std::int32_t (*)(std::int32_t, char*, std::int32_t);

Allocate allocate = nullptr;
Connect connect = nullptr;
Process process = nullptr;
Copy copy = nullptr;
Close closeConnection = nullptr;
Close freeHandle = nullptr;
Reason connectError = nullptr;

// Plain characters: the sender threads still use it while the process exits.
constexpr const char* kProject = "ADMIN,SECRET,Demo Project";

bool Load() {
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0) return false;
    std::string dir(path, static_cast<std::size_t>(n));
    dir = dir.substr(0, dir.rfind('/'));
    void* library = ::dlopen((dir + "/libvornet.so").c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) return false;
    allocate = reinterpret_cast<Allocate>(::dlsym(library, "INET_AllocateConnectionHndl"));
    connect = reinterpret_cast<Connect>(::dlsym(library, "INET_ConnectLocal"));
    process = reinterpret_cast<Process>(::dlsym(library, "INET_ProcessCommand"));
    copy = reinterpret_cast<Copy>(::dlsym(library, "INET_CopyMsgData"));
    closeConnection = reinterpret_cast<Close>(::dlsym(library, "INET_CloseConnection"));
    freeHandle = reinterpret_cast<Close>(::dlsym(library, "INET_FreeConnectionHndl"));
    connectError = reinterpret_cast<Reason>(::dlsym(library, "INET_ConnectError"));
    return allocate && connect && process && copy && closeConnection && freeHandle &&
           connectError;
}

std::string Send(std::int32_t handle, const std::string& command) {
    std::int32_t ref = 0, length = 0;
    process(handle, command.data(), static_cast<std::int32_t>(command.size()), &ref, &length);
    if (length <= 0) return "";
    std::string reply(static_cast<std::size_t>(length), '\0');
    const std::int32_t copied = copy(ref, reply.data(), length, 0);
    reply.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    return reply;
}

// Says on standard error why it failed, as the test shows it.
std::int32_t Failed(const std::string& why) {
    const std::string text = why + "\n";
    if (::write(2, text.data(), text.size()) < 0) std::_Exit(5);
    return 0;
}

std::int32_t Open() {
    const std::int32_t handle = allocate();
    if (handle == 0) return Failed("no handle");
    if (connect(2, handle) != 0) {
        char reason[512] = {};
        connectError(handle, reason, sizeof reason - 1);
        return Failed(std::string("cannot connect: ") + reason);
    }
    const std::string login = Send(handle, "TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1");
    if (login.rfind("1", 0) != 0) return Failed("login: " + login);
    const std::string project = Send(handle, std::string("TALQGetProjectInfo,") + kProject);
    if (project.rfind("ERROR", 0) == 0) return Failed("project: " + project);
    return handle;
}

// Written whole with one call: no stdio lock is held when another thread exits.
void Tell(const std::string& line) {
    const std::string text = line + "\n";
    if (::write(1, text.data(), text.size()) < 0) std::_Exit(5);
}

bool Save(std::int32_t handle, const std::string& tag) {
    if (Send(handle, std::string("TALQAddTag,") + kProject + "," + tag) != "1") return false;
    Tell("ACK " + tag);
    return true;
}

int ExitFromAnotherThread() {
    constexpr int kSenders = 4;
    std::atomic<int> saved{0};
    const std::int32_t shared = Open();
    if (shared == 0) return 3;
    std::vector<std::thread> senders;
    for (int i = 0; i < kSenders; ++i) {
        senders.emplace_back([i, shared, &saved] {
            const std::int32_t own = Open();
            // Keeps a page locked, so each request shows its life in the row.
            Send(own, std::string("TALQSetPageLock,") + kProject + ",K0000" + std::to_string(i + 1));
            for (int n = 0;; ++n) {
                // Apart from every other run's on the same system.
                std::string tag = std::to_string(::getpid());
                tag.insert(tag.begin(), 'T');
                tag += 'x' + std::to_string(i) + 'x' + std::to_string(n);
                if (Save(n % 2 == 0 ? own : shared, tag)) ++saved;
            }
        });
    }
    std::thread([&saved] {
        while (saved.load() < 40) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::exit(0);
    }).detach();
    for (std::thread& t : senders) t.join();
    return 4;
}

// Stored pages (a JPEG and a Group 4 TIFF, each at a reduced quality), a
// page with no scan, and a text: every reader and writer of images.
constexpr const char* kReads[] = {
    "TALQSendClientImage,ADMIN,SECRET,Demo Project,K00003,0",
    "TALQSendClientImage,ADMIN,SECRET,Demo Project,K00001,100",
    "TALQSendClientImage,ADMIN,SECRET,Demo Project,K00002,150",
    "TALQSendTextImage,A page of text",
};

std::atomic<int> g_opened{0};
std::atomic<int> g_read{0};

void EndOnSignal(int) {
    std::exit(0);
}

int ReadUntilExit(const std::string& how) {
    constexpr int kReaders = 3;
    // The signal meets the library's own waits and wake-ups.
    const bool brief = how == "signal-process" || how == "signal-thread";
    std::vector<std::thread> readers;
    for (int i = 0; i < kReaders; ++i) {
        readers.emplace_back([i, brief] {
            const std::int32_t own = Open();
            if (own == 0) std::_Exit(3);
            ++g_opened;
            // The library lets no caller in first: all open before any reads.
            while (g_opened.load() < kReaders) std::this_thread::yield();
            for (int n = i;; ++n) {
                if (Send(own, brief ? "TALQGetVersion" : kReads[n % 4]).rfind("ERROR", 0) == 0)
                    std::_Exit(6);
                ++g_read;
            }
        });
    }
    // Every reader reads: exit finds them inside calls.
    auto wait = [] {
        while (g_opened.load() < kReaders || g_read.load() < kReaders * 2)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    if (how == "thread") {
        std::thread([wait] {
            wait();
            std::exit(0);
        }).detach();
        for (std::thread& t : readers) t.join();
        return 4;
    }
    const pthread_t first = readers.front().native_handle();
    for (std::thread& t : readers) t.detach();
    wait();
    if (brief) {
        ::signal(SIGTERM, EndOnSignal);
        sigset_t term;
        sigemptyset(&term);
        sigaddset(&term, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &term, nullptr);
        how == "signal-thread" ? pthread_kill(first, SIGTERM) : ::kill(::getpid(), SIGTERM);
        for (;;) ::pause();
    }
    if (how == "signal") {
        ::signal(SIGTERM, EndOnSignal);
        ::kill(::getpid(), SIGTERM);
        for (;;) ::pause();
    }
    return 0;
}

std::int32_t g_handle = 0;

void CloseOnExit() {
    const std::int32_t closed = closeConnection(g_handle);
    const std::int32_t freed = freeHandle(g_handle);
    Tell("CLOSED " + std::to_string(closed) + " " + std::to_string(freed));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2 || !Load()) return 2;
    const std::string mode = argv[1];
    if (mode == "return") {
        const std::int32_t handle = Open();
        if (handle == 0 || !Save(handle, "Kept")) return 3;
        return 0;
    }
    if (mode == "exit-thread") return ExitFromAnotherThread();
    if (mode == "pthread-exit") {
        const std::int32_t handle = Open();
        if (handle == 0 || !Save(handle, "P" + std::to_string(::getpid()))) return 3;
        if (argc == 3 && Send(handle, argv[2]).rfind("ERROR", 0) == 0) return 3;
        ::pthread_exit(nullptr);
    }
    if (mode == "qt-later") {
        const std::int32_t handle = Open();
        if (handle == 0 || Send(handle, kReads[0]).rfind("ERROR", 0) == 0) return 3;
        QCoreApplication app(argc, argv);
        return 0;
    }
    if (mode == "read-exit" && argc == 3) return ReadUntilExit(argv[2]);
    if (mode == "exit-handler") {
        g_handle = Open();
        if (g_handle == 0 || !Save(g_handle, "E" + std::to_string(::getpid()))) return 3;
        std::atexit(CloseOnExit);
        return 0;
    }
    if (mode == "text-no-files") {
        const std::int32_t handle = Open();
        if (handle == 0) return 3;
        rlimit limit{};
        ::getrlimit(RLIMIT_NOFILE, &limit);
        limit.rlim_cur = std::min<rlim_t>(limit.rlim_cur, 256);
        ::setrlimit(RLIMIT_NOFILE, &limit);
        while (::open("/dev/null", O_RDONLY) >= 0) {
        }
        const std::string reply = Send(handle, "TALQSendTextImage,Out of descriptors");
        Tell(reply.substr(0, reply.find('\n')).substr(0, 200));
        // The leak checker cannot run without a descriptor.
        std::_Exit(0);
    }
    if (mode == "text-page" && argc == 3) {
        std::string reply;
        std::thread([&reply] {
            const std::int32_t handle = Open();
            if (handle == 0) return;
            reply = Send(handle, "TALQSendTextImage,A text-only page, asked by "
                                 "a program without a Qt application");
        }).join();
        std::ofstream(argv[2], std::ios::binary) << reply;
        return reply.empty() ? 3 : 0;
    }
    return 2;
}
