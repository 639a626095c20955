// Nothing acknowledged is lost and nothing half done is kept: a write that
// does not fit on the disk is refused and taken back, and the page locks
// and batch jobs of a server killed mid-session do not outlive it.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>

#include "engine/command_engine.h"
#include "engine/system_db.h"
#include "raw_client.h"
#include "support/scoped_env.h"
#include "support/server_process.h"
#include "test_system.h"

namespace {

using docserver::CommandEngine;
using docserver::ConnectionState;
using testsupport::RawClient;

constexpr char kRS = 24;
const std::string kAdmin = "ADMIN,SECRET,Demo Project";

class Durability : public ::testing::Test {
  protected:
    void SetUp() override {
        sys_ = dir_.Path() + "/sys";
        testsupport::MakeQuerySystem(sys_, 20, 0);
        docserver::SystemDb db;
        std::string error;
        ASSERT_TRUE(db.Open(sys_ + "/system.db", false, error)) << error;
        ASSERT_TRUE(
            db.Exec("INSERT INTO batch_printers(name, directory) VALUES ('Floor', "
                    "'batch/floor');"
                    "INSERT INTO users(user_id, password) VALUES ('OTHER', 'pw');"
                    "INSERT INTO user_projects VALUES ('OTHER', 1, 255, '', '');",
                    error))
            << error;
    }
    std::string Query(const std::string& sql) {
        docserver::SystemDb db;
        std::string error;
        EXPECT_TRUE(db.Open(sys_ + "/system.db", false, error)) << error;
        docserver::Statement s(db, sql.c_str());
        return s.Step() ? s.Text(0) : "";
    }
    static std::string WriteCommand(const std::string& file, const std::string& bytes) {
        return "TALQWriteFile" + std::string(1, kRS) + file + kRS + "0" + kRS +
               std::to_string(bytes.size()) + kRS + bytes;
    }

    testsupport::ScopedTempDir dir_;
    std::string sys_;
};

off_t FileSize(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 ? info.st_size : -1;
}

TEST_F(Durability, AFullDiskIsAnErrorAndLeavesNothingHalfWritten) {
    // A child process whose files may not grow past a limit plays the full
    // disk; it reports by its exit status which checks failed.
    const off_t limit = FileSize(sys_ + "/system.db") + 256 * 1024;
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        rlimit small{static_cast<rlim_t>(limit), static_cast<rlim_t>(limit)};
        ::setrlimit(RLIMIT_FSIZE, &small);
        std::string error;
        auto engine = CommandEngine::Open(sys_, error);
        if (!engine) ::_exit(64);
        ConnectionState state;
        engine->Execute(state, "TALQRequiredLogin,ADMIN,SECRET,,D,1,8.6,1");
        std::string job = engine->Execute(state, "TALQGetNextBatch,Floor");
        std::string pages = job.substr(0, job.size() - 3) + "P__";
        int failed = 0;
        // Fills the file to just under the limit, then a piece that fits only
        // in the stream's buffer.
        if (engine->Execute(state, WriteCommand(pages, std::string(limit - 100, 'a'))) != "OK")
            failed |= 1;
        if (engine->Execute(state, WriteCommand(pages, std::string(1000, 'b'))).rfind("ERROR", 0))
            failed |= 2;
        if (FileSize(sys_ + "/" + pages) != limit - 100) failed |= 4;
        std::string image = "\x89PNG" + std::string(limit + 1000, 'c');
        std::string store = "TALQStoreImageFile," + kAdmin + ",K00003,2,0,0," +
                            std::to_string(image.size()) + "," + image;
        if (engine->Execute(state, store).rfind("ERROR", 0) != 0) failed |= 8;
        ::_exit(failed);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    const int failed = WEXITSTATUS(status);
    EXPECT_EQ(failed & 1, 0) << "a piece that fits is stored";
    EXPECT_EQ(failed & 2, 0) << "a piece that does not fit is an error";
    EXPECT_EQ(failed & 4, 0) << "and leaves the file as it was";
    EXPECT_EQ(failed & 8, 0) << "an image that does not fit is an error";
    EXPECT_NE(failed, 64);
    EXPECT_EQ(Query("SELECT image_file FROM pages WHERE seq = 3"), "");
}

TEST_F(Durability, LocksAndJobsOfAKilledServerAreReleasedWhenTheNextStarts) {
    std::string job;
    {
        testsupport::ServerProcess first(sys_);
        ASSERT_GT(first.Port(), 0) << first.Output();
        RawClient admin(first.Port());
        ASSERT_TRUE(admin.LogIn("ADMIN", "SECRET", "Demo Project"));
        for (const char* key : {"K00004", "K00005"})
            ASSERT_EQ(admin.Send("TALQSetPageLock," + kAdmin + "," + key), "OK");
        job = admin.Send("TALQGetNextBatch,Floor");
        ASSERT_EQ(admin.Send(WriteCommand(job.substr(0, job.size() - 3) + "P__", "half a job")),
                  "OK");
        first.Stop(SIGKILL);
    }
    const std::string pages = sys_ + "/" + job.substr(0, job.size() - 3) + "P__";
    ASSERT_GT(FileSize(pages), 0);

    testsupport::ServerProcess second(sys_);
    ASSERT_GT(second.Port(), 0) << second.Output();
    RawClient other(second.Port());
    ASSERT_TRUE(other.LogIn("OTHER", "pw", "Demo Project"));
    EXPECT_EQ(other.Send("TALQSetPageLock,OTHER,pw,Demo Project,K00004"), "OK");
    EXPECT_EQ(Query("SELECT state FROM batch_jobs"), "abandoned");
    EXPECT_EQ(FileSize(pages), -1) << "the cut-off job never reaches the printer";
    RawClient admin(second.Port());
    ASSERT_TRUE(admin.LogIn("ADMIN", "SECRET", "Demo Project"));
    EXPECT_EQ(
        admin.Send(WriteCommand(job.substr(0, job.size() - 3) + "P__", "more")).rfind("ERROR", 0),
        0u);
    // A live server's locks stay.
    EXPECT_EQ(other.Send("TALQSetPageLock,OTHER,pw,Demo Project,K00006"), "OK");
    testsupport::ServerProcess third(sys_);
    ASSERT_GT(third.Port(), 0) << third.Output();
    RawClient late(third.Port());
    ASSERT_TRUE(late.LogIn("ADMIN", "SECRET", "Demo Project"));
    EXPECT_EQ(late.Send("TALQSetPageLock," + kAdmin + ",K00006").rfind("ERROR: Page Locked", 0),
              0u);
}

}  // namespace
