// A system's backup and restore through talq-server: a restore repeated
// serves the backup each time, a backup cut short leaves nothing that looks
// like one, and backups made in the same second keep folders of their own.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "engine/system_backup.h"
#include "platform/dynamic_library.h"
#include "raw_client.h"
#include "support/scoped_env.h"
#include "support/server_process.h"
#include "test_system.h"

namespace {

namespace fs = std::filesystem;

bool Holds(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

struct Ended {
    int status = -1;
    std::string output;  // standard output and error
};

// talq-server with these options, to its end, under the file size limit.
Ended RunServer(const std::vector<std::string>& options, rlim_t fileSizeLimit = RLIM_INFINITY) {
    int output = -1;
    const pid_t pid =
        testsupport::SpawnServerUnderLimit(options, RLIMIT_FSIZE, fileSizeLimit, fileSizeLimit, output);
    if (pid < 0) return {};
    Ended run;
    char buffer[512];
    for (ssize_t n; (n = ::read(output, buffer, sizeof buffer)) > 0;)
        run.output.append(buffer, static_cast<std::size_t>(n));
    ::close(output);
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// The names in a folder, hidden ones included, sorted.
std::vector<std::string> Entries(const std::string& folder) {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : fs::directory_iterator(folder, error))
        names.push_back(entry.path().filename());
    std::ranges::sort(names);
    return names;
}

const std::vector<std::string> kBackedUp = {"batch", "images", "originals", "system.db", "tmp"};

class Backups : public ::testing::Test {
  protected:
    void SetUp() override {
        sys_ = dir_.Path() + "/talq-system";
        root_ = dir_.Path() + "/backups";
        testsupport::MakeQuerySystem(sys_, 20, 0);
        testsupport::WriteFile(sys_ + "/images/K00001.tif", std::string(1 << 20, 'i'));
    }

    // The tag pool the server serves for the system in `dir`, after adding
    // the tag `add` when given; "" when it did not serve.
    std::string ServedTags(const std::string& dir, const std::string& add = "") {
        testsupport::ServerProcess server(dir);
        if (server.Port() == 0) return "";
        testsupport::RawClient client(server.Port());
        if (!client.LogIn("ADMIN", "SECRET", "Demo Project")) return "";
        if (!add.empty()) client.Send("TALQAddTag,ADMIN,SECRET,Demo Project," + add);
        return client.Send("TALQGetTagPoolList,ADMIN,SECRET,Demo Project");
    }

    testsupport::ScopedTempDir dir_;
    std::string sys_, root_;
};

TEST_F(Backups, ARestoreRepeatedServesTheBackupEachTimeAndKeepsEachSystemItReplaced) {
    const Ended backup = RunServer({"--backup", sys_, "--to", root_});
    ASSERT_EQ(backup.status, 0) << backup.output;
    ASSERT_EQ(Entries(root_).size(), 1u);
    const std::string made = root_ + "/" + Entries(root_).front();
    const std::vector<std::string> backedUp = Entries(made);
    EXPECT_EQ(backedUp, kBackedUp);
    EXPECT_TRUE(Holds(backup.output, made + " made: system.db checked sound")) << backup.output;

    for (const std::string saved : {"After1", "After2", "After3"}) {
        ASSERT_TRUE(Holds(ServedTags(sys_, saved), saved)) << "saved after the backup";
        const Ended restore = RunServer({"--restore", made, "--to", sys_});
        ASSERT_EQ(restore.status, 0) << restore.output;
        const std::string served = ServedTags(sys_);
        EXPECT_TRUE(Holds(served, "Even")) << served;
        EXPECT_FALSE(Holds(served, "After")) << saved << ": " << served;
    }
    // Each system replaced kept beside it whole, nothing nested anywhere.
    std::vector<std::string> aside;
    for (const std::string& name : Entries(dir_.Path()))
        if (name.starts_with("talq-system.old-")) aside.push_back(dir_.Path() + "/" + name);
    ASSERT_EQ(aside.size(), 3u);
    std::vector<std::string> kept;
    for (const std::string& old : aside) kept.push_back(ServedTags(old));
    for (const std::string saved : {"After1", "After2", "After3"}) {
        EXPECT_EQ(std::ranges::count_if(kept, [&](const auto& t) { return Holds(t, saved); }), 1)
            << saved;
    }
    EXPECT_EQ(Entries(root_).size(), 1u);
    EXPECT_FALSE(fs::exists(sys_ + "/talq-system"));
    EXPECT_EQ(Entries(made), backedUp);

    // Refused while a program has the system open, and where no system is.
    {
        testsupport::ServerProcess server(sys_);
        ASSERT_NE(server.Port(), 0);
        const Ended held = RunServer({"--restore", made, "--to", sys_});
        EXPECT_EQ(held.status, 1) << held.output;
        EXPECT_TRUE(Holds(held.output, "restore refused: talq-server (pid " +
                                           std::to_string(server.Pid()) + ")"))
            << held.output;
    }
    const std::string other = dir_.Path() + "/home";
    fs::create_directories(other);
    testsupport::WriteFile(other + "/notes.txt", "mine");
    const Ended wrong = RunServer({"--restore", made, "--to", other});
    EXPECT_EQ(wrong.status, 2) << wrong.output;
    EXPECT_TRUE(Holds(wrong.output, "--to " + other + ": give the folder of the system"));
    EXPECT_EQ(Entries(other), std::vector<std::string>{"notes.txt"});
    EXPECT_EQ(std::ranges::count_if(Entries(dir_.Path()),
                                    [](const auto& n) { return n.starts_with("talq-system"); }),
              4);
}

TEST_F(Backups, ABackupThatFailsPartWayLeavesNoFolderAndSaysWhy) {
    // The file size limit stands in for a disk that fills: room for the
    // database, not for the page image; then not even for the database.
    const Ended images = RunServer({"--backup", sys_, "--to", root_}, 512 * 1024);
    EXPECT_EQ(images.status, 1) << images.output;
    EXPECT_TRUE(Holds(images.output, "backup failed writing images/K00001.tif: File too large"))
        << images.output;
    EXPECT_TRUE(Holds(images.output, "nothing was kept")) << images.output;
    EXPECT_EQ(Entries(root_), std::vector<std::string>{});

    const Ended database = RunServer({"--backup", sys_, "--to", root_}, 8 * 1024);
    EXPECT_EQ(database.status, 1) << database.output;
    EXPECT_TRUE(Holds(database.output, "backup failed copying system.db: ")) << database.output;
    EXPECT_EQ(Entries(root_), std::vector<std::string>{});

    const Ended room = RunServer({"--backup", sys_, "--to", root_});
    ASSERT_EQ(room.status, 0) << room.output;
    ASSERT_EQ(Entries(root_).size(), 1u);
    EXPECT_EQ(fs::file_size(root_ + "/" + Entries(root_).front() + "/images/K00001.tif"),
              1u << 20);
}

TEST_F(Backups, TwoBackupsInTheSameSecondGetAFolderEach) {
    const std::time_t now = std::time(nullptr);
    const docserver::BackupOutcome first = docserver::BackUpSystem(sys_, root_, now);
    const docserver::BackupOutcome second = docserver::BackUpSystem(sys_, root_, now);
    ASSERT_EQ(first.kind, docserver::BackupOutcome::Kind::kDone) << first.text;
    ASSERT_EQ(second.kind, docserver::BackupOutcome::Kind::kDone) << second.text;
    const std::vector<std::string> made = Entries(root_);
    ASSERT_EQ(made.size(), 2u);
    EXPECT_EQ(made[1], made[0] + "-2");
    for (const std::string& name : made)
        EXPECT_EQ(Entries(root_ + "/" + name), kBackedUp) << name;
}

}  // namespace
