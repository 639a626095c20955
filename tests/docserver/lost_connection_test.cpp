// A worker thread that cannot open its connection to the system (the file
// gone, descriptors run out) answers with SQLite's reason, and the server's
// sign of life waits for the next beat: neither ends the process.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <thread>

#include "engine/command_engine.h"
#include "engine/system_db.h"
#include "support/scoped_env.h"
#include "test_system.h"

namespace {

using docserver::CommandEngine;
using docserver::ConnectionState;

const std::string kLogIn = "TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1";
const std::string kTag = "TALQTurnTagOn,ADMIN,SECRET,Demo Project,K00001,Even";
// The file gone is told as such.
const std::string kWhy = std::string("ERROR: Database Error ") + docserver::kSystemMoved;

TEST(LostConnection, AThreadWhoseConnectionCannotOpenAnswersWhyAndTheProcessLives) {
    testsupport::ScopedTempDir dir;
    const std::string sys = dir.Path() + "/sys";
    testsupport::MakeQuerySystem(sys, 20, 0);
    std::string error;
    auto engine = CommandEngine::Open(sys, error);
    ASSERT_TRUE(engine) << error;
    ConnectionState state;
    ASSERT_EQ(engine->Execute(state, kLogIn).substr(0, 1), "1");

    // A new worker finds no system.db to open.
    ASSERT_EQ(std::rename((sys + "/system.db").c_str(), (sys + "/away.db").c_str()), 0);
    std::string login, tag;
    std::thread([&] {
        engine->ShowProcessLives();
        ConnectionState fresh;
        login = engine->Execute(fresh, kLogIn);
        tag = engine->Execute(state, kTag);
    }).join();
    ASSERT_EQ(std::rename((sys + "/away.db").c_str(), (sys + "/system.db").c_str()), 0);
    EXPECT_EQ(login, kWhy);
    EXPECT_EQ(tag, kWhy);

    // Back in its place, the same engine serves a new worker.
    std::thread([&] {
        engine->ShowProcessLives();
        tag = engine->Execute(state, kTag);
    }).join();
    EXPECT_EQ(tag.rfind("ERROR", 0), std::string::npos) << tag;
}

}  // namespace
