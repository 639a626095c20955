// A connection's temporary files go an hour after it ended, unless another
// live connection of the user still uses them; a crashed server's go at the
// next start.
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "raw_client.h"
#include "support/scoped_env.h"
#include "support/server_process.h"
#include "test_system.h"

namespace {

const std::string kP = "ADMIN,SECRET,Demo Project";

// A file of keys made on the connection; its name.
std::string MakeList(testsupport::RawClient& client) {
    const std::string name = client.Send("TALQCreateTempFile," + kP);
    EXPECT_EQ(client.Send("TALQWriteTempFile," + kP + "," + name + "," + testsupport::PageKey(1)),
              "OK");
    return name;
}

bool Exists(const std::string& sys, const std::string& name) {
    return ::access((sys + "/tmp/" + name).c_str(), F_OK) == 0;
}

// Whether tmp/ still holds the file after waiting (generously) for it to go.
bool StaysAfterWait(const std::string& sys, const std::string& name) {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (Exists(sys, name)) {
        if (std::chrono::steady_clock::now() > until) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

// Dates back the end of every ended connection's files past the hour they
// wait for their viewer, once the server has stamped one.
bool AgeEndedFiles(const std::string& sys) {
    sqlite3* db = nullptr;
    sqlite3_open((sys + "/system.db").c_str(), &db);
    sqlite3_busy_timeout(db, 5000);
    bool aged = false;
    for (int i = 0; i < 400 && !aged; ++i) {
        sqlite3_exec(db, "UPDATE server_files SET ended = '2000-01-01T00:00:00' WHERE ended <> ''",
                     nullptr, nullptr, nullptr);
        aged = sqlite3_changes(db) > 0;
        if (!aged) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    sqlite3_close(db);
    return aged;
}

std::string Scroll(testsupport::RawClient& client, const std::string& name) {
    const std::string s(1, '\x19');
    return client.Send("TALQQueryScroll," + kP + ",1" + s + s + s + name + s + "0" + s + "100" + s +
                       "0");
}

TEST(TempFiles, AClosedConnectionsFilesGoButNotThoseAnotherLiveConnectionUses) {
    testsupport::ScopedTempDir dir;
    const std::string sys = dir.Path() + "/sys";
    testsupport::MakeQuerySystem(sys, 20, 0);
    std::string crashed;
    {
        testsupport::ServerProcess server(sys);
        ASSERT_NE(server.Port(), 0);
        testsupport::RawClient live(server.Port());
        ASSERT_TRUE(live.LogIn("ADMIN", "SECRET", "Demo Project"));
        const std::string kept = MakeList(live);
        std::string closed, reconnected;
        {
            // Closed without deleting its file; the same user's other
            // connection lives on.
            testsupport::RawClient gone(server.Port());
            ASSERT_TRUE(gone.LogIn("ADMIN", "SECRET", "Demo Project"));
            closed = MakeList(gone);
            // A file the live connection pages (a viewer's reconnection
            // going on with its list) is the live connection's now.
            reconnected = MakeList(gone);
            ASSERT_EQ(Scroll(live, reconnected).rfind("ERROR", 0), std::string::npos);
        }
        // The closed connection's files wait an hour for its viewer to come
        // back, then go at a later connection's end.
        EXPECT_TRUE(Exists(sys, closed));
        ASSERT_TRUE(AgeEndedFiles(sys));
        {
            testsupport::RawClient other(server.Port());
            ASSERT_TRUE(other.LogIn("ADMIN", "SECRET", "Demo Project"));
        }
        EXPECT_FALSE(StaysAfterWait(sys, closed));
        EXPECT_TRUE(Exists(sys, reconnected));
        EXPECT_EQ(Scroll(live, reconnected).rfind("ERROR", 0), std::string::npos);
        EXPECT_TRUE(Exists(sys, kept));
        crashed = kept;
        server.Stop(SIGKILL);
    }
    // A server killed with its connections open: the next start clears
    // their files, since their process is surely gone.
    ASSERT_TRUE(Exists(sys, crashed));
    testsupport::ServerProcess again(sys);
    ASSERT_NE(again.Port(), 0);
    EXPECT_FALSE(StaysAfterWait(sys, crashed));
}

}  // namespace
