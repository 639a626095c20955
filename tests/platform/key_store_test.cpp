#include "platform/key_store.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

#include "support/scoped_env.h"

using namespace platform;
using testsupport::ReadFile;
using testsupport::ScopedTempDir;
using testsupport::WriteFile;

namespace {

TEST(KeyStore, EveryByteRoundTripsInNamesAndValues) {
    ScopedTempDir dir;
    KeyStoreFile store(dir.Path() + "/s.txt");
    std::string all;
    for (int b = 1; b < 256; ++b) all.push_back(static_cast<char>(b));
    ASSERT_TRUE(store.Set("A\\B", "v", all));
    ASSERT_TRUE(store.Set("A\\B", "[odd]=name", " spaced "));
    EXPECT_EQ(store.Get("a\\b", "V"), all);
    EXPECT_EQ(store.Get("A\\B", "[ODD]=NAME"), " spaced ");
    EXPECT_FALSE(store.Get("A\\B", "missing").has_value());
}

TEST(KeyStore, KeepsAnUnreadableFileAsideBeforeReplacingIt) {
    ScopedTempDir dir;
    std::string path = dir.Path() + "/s.txt";
    WriteFile(path, "this is not a store\n");
    KeyStoreFile store(path);
    EXPECT_FALSE(store.Get("K", "v").has_value());  // reads as empty
    ASSERT_TRUE(store.Set("K", "v", "1"));
    EXPECT_EQ(store.Get("K", "v"), "1");
    int copies = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path())) {
        if (entry.path().filename().string().find("s.txt.corrupt-") == 0) {
            ++copies;
            EXPECT_EQ(ReadFile(entry.path()), "this is not a store\n");
        }
    }
    EXPECT_EQ(copies, 1);
}

TEST(KeyStore, TwoProcessesUpdatingOneValueLoseNoWrite) {
    ScopedTempDir dir;
    std::string path = dir.Path() + "/shared.txt";
    constexpr int kEach = 40;
    auto append = [&](char tag) {
        KeyStoreFile store(path);
        for (int i = 0; i < kEach; ++i) {
            store.Update("Software\\Settings", "PortList",
                         [&](const std::optional<std::string>& old) {
                             return old.value_or("") + tag;
                         });
        }
    };
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        append('c');
        _exit(0);
    }
    append('p');
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    std::string value = KeyStoreFile(path).Get("Software\\Settings", "PortList").value_or("");
    EXPECT_EQ(std::count(value.begin(), value.end(), 'c'), kEach);
    EXPECT_EQ(std::count(value.begin(), value.end(), 'p'), kEach);
}

}  // namespace
