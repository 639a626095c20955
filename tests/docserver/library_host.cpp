// A program that loads the local-access library as any host may, with no Qt
// application, and ends the way the test names. Every save the library
// acknowledged is written to standard output as "ACK <tag>", so the test can
// look for it afterwards.
//
//   talq-library-host return         save, then return from main, handle open
//   talq-library-host exit-thread    threads save on their handles, and on
//                                    one shared handle, until another thread
//                                    calls exit
//   talq-library-host text-page FILE the image of a text, written to FILE

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <atomic>
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

Allocate allocate = nullptr;
Connect connect = nullptr;
Process process = nullptr;
Copy copy = nullptr;

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
    return allocate && connect && process && copy;
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

std::int32_t Open() {
    const std::int32_t handle = allocate();
    if (handle == 0 || connect(2, handle) != 0) return 0;
    if (Send(handle, "TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1").rfind("1", 0) != 0) return 0;
    if (Send(handle, std::string("TALQGetProjectInfo,") + kProject).rfind("ERROR", 0) == 0) return 0;
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
    if (mode == "text-page" && argc == 3) {
        const std::int32_t handle = Open();
        if (handle == 0) return 3;
        const std::string reply = Send(handle, "TALQSendTextImage,A text-only page, asked by "
                                               "a program without a Qt application");
        std::ofstream(argv[2], std::ios::binary) << reply;
        return 0;
    }
    return 2;
}
