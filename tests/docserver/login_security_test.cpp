// Passwords are kept salted and hashed, and repeated failed logins are held
// back per user and address, on an injected clock, and over the wire across
// a restart.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <memory>
#include <thread>

#include "engine/command_engine.h"
#include "engine/login_throttle.h"
#include "engine/system_db.h"
#include "engine/system_init.h"
#include "foundation/mod_registry.h"
#include "platform/prompts.h"
#include "platform/scripted_prompts.h"
#include "raw_client.h"
#include "server/talq_client_api.h"
#include "support/scoped_env.h"
#include "support/server_process.h"
#include "test_system.h"

namespace {

using docserver::CommandEngine;
using docserver::ConnectionState;

class LoginSecurity : public ::testing::Test {
  protected:
    void SetUp() override {
        sys_ = dir_.Path() + "/sys";
        testsupport::MakeTestSystem(sys_);
    }
    std::string StoredPassword(const std::string& user) {
        docserver::SystemDb db;
        std::string error;
        EXPECT_TRUE(db.Open(sys_ + "/system.db", false, error)) << error;
        docserver::Statement s(db, "SELECT password FROM users WHERE user_id = ?");
        s.Bind(1, user);
        return s.Step() ? s.Text(0) : "";
    }
    static std::string Login(CommandEngine& engine, ConnectionState& state, const std::string& user,
                             const std::string& password) {
        return engine.Execute(state,
                              "TALQRequiredLogin," + user + "," + password + ",,DOM,1,8.6,1");
    }

    testsupport::ScopedTempDir dir_;
    std::string sys_;
};

// An administrator adds a reviewer and later resets the password, disables
// or removes the user, with the README's statements while the system is
// served: the reviewer's viewer, over TCP or through the library, tells the
// end of the session once, with its own reason, and the server logs that
// reason; a reset password then logs in again with the new one.
TEST_F(LoginSecurity, APasswordResetADisabledOrRemovedUserIsToldOnceWithItsReason) {
    struct Change {
        const char* sql;
        const char* told;
        const char* logged;  // by the server, closing the TCP connection
        bool reset;
    };
    const Change changes[] = {
        {"UPDATE users SET password = 'Fresh456' WHERE user_id = 'ANN'",
         RequestFrame::kSessionEnded, "its user's password changed, closed", true},
        {"UPDATE users SET disabled = 1 WHERE user_id = 'ANN'", RequestFrame::kUserDisabled,
         "its user was disabled, closed", false},
        // Last: the user is gone for good.
        {"DELETE FROM users WHERE user_id = 'ANN'", RequestFrame::kUserRemoved,
         "its user was removed, closed", false}};
    testsupport::ScopedUserStores stores;
    modRegistry::RegSetString(modRegistry::HKEY_CURRENT_USER, "Software\\TALQTech\\VYNSYS\\Paths",
                              "Local", sys_ + "/");
    auto administer = [this](const char* sql) {
        docserver::SystemDb db;
        std::string error;
        ASSERT_TRUE(db.Open(sys_ + "/system.db", false, error)) << error;
        ASSERT_TRUE(db.Exec(sql, error)) << sql << ": " << error;
    };
    administer(
        "INSERT INTO users(user_id, password, full_name) VALUES ('ANN', 'Start123', 'Ann Smith')");
    administer(
        "INSERT INTO user_projects(user_id, project_id, security) "
        "SELECT 'ANN', project_id, 0x10 | 0x20 | 0x80 FROM projects WHERE name = 'Demo Project'");
    for (const Change& change : changes) {
        SCOPED_TRACE(change.told);
        administer("UPDATE users SET password = 'Start123', disabled = 0 WHERE user_id = 'ANN'");
        const std::string log = dir_.Path() + "/server.log";
        auto server = testsupport::ServerTellingInto(sys_, log, {"--log"});
        ASSERT_TRUE(server && server->Port() > 0);
        platform::ScriptedPrompts prompts;
        platform::ScopedPrompts usePrompts(prompts);
        TalqClientAPI remote, local;
        ASSERT_TRUE(remote.OpenTalqConnection(0, "DOM", "127.0.0.1", server->Port(), 0, 0, 20));
        ASSERT_TRUE(local.OpenTalqConnection(2, "", "", 0, 0, 0, 0)) << local.LastError();
        for (TalqClientAPI* api : {&remote, &local}) {
            api->DisplayErrorMsgs(true);
            ASSERT_TRUE(api->TalqLogin("ANN", "START123", 1)) << api->LastError();
            ASSERT_TRUE(api->SelectProject("Demo Project")) << api->LastError();
        }
        administer(change.sql);
        for (TalqClientAPI* api : {&remote, &local}) {
            SCOPED_TRACE(api == &remote ? "over TCP" : "through the library");
            prompts.Clear();
            // A page shown asks several things at once.
            for (int i = 0; i < 3; ++i) EXPECT_EQ(api->GetTalqProjectList(0), "");
            EXPECT_EQ(prompts.Messages(), std::vector<std::string>{change.told});
            EXPECT_EQ(api->TakeUntoldSessionEnd(), "") << "told once";
            ASSERT_TRUE(api->LoginRefused());
            EXPECT_FALSE(api->LogInAgain("START123"));
            EXPECT_EQ(api->LastError(), "Invalid Login") << "the old password is no way back";
            if (!change.reset) continue;
            ASSERT_TRUE(api->LogInAgain("FRESH456")) << api->LastError();
            EXPECT_EQ(api->GetTalqProjectList(0), "Demo Project");
        }
        ASSERT_EQ(server->Stop(SIGTERM), 0);
        std::ifstream file(log);
        const std::string logged((std::istreambuf_iterator<char>(file)), {});
        EXPECT_NE(logged.find(change.logged), std::string::npos) << logged;
    }
}

TEST_F(LoginSecurity, PasswordsAreStoredHashedAndPlainRowsAreHashedAtOpen) {
    const std::string created = StoredPassword("ADMIN");
    EXPECT_EQ(created.find("SECRET"), std::string::npos) << created;
    {
        docserver::SystemDb db;
        std::string error;
        ASSERT_TRUE(db.Open(sys_ + "/system.db", false, error));
        ASSERT_TRUE(
            db.Exec("INSERT INTO users(user_id, password) VALUES ('OLD', 'Plain1')", error));
    }
    std::string error;
    auto engine = CommandEngine::Open(sys_, error);
    ASSERT_TRUE(engine) << error;
    const std::string migrated = StoredPassword("OLD");
    EXPECT_EQ(migrated.find("Plain1"), std::string::npos) << migrated;
    EXPECT_NE(migrated, StoredPassword("ADMIN"));

    // Compared without regard to case, as before.
    ConnectionState state;
    EXPECT_EQ(Login(*engine, state, "OLD", "PLAIN1").substr(0, 1), "1");
    EXPECT_EQ(Login(*engine, state, "admin", "secret").substr(0, 1), "1");
    EXPECT_EQ(Login(*engine, state, "OLD", "Plain2"), "0");

    engine->Db().Exec("UPDATE system_settings SET value = '128' WHERE name = 'ExtSystemFlags'",
                      error);
    EXPECT_EQ(engine->Execute(state, "TALQChangePassword,OLD,plain1,Fresh2"), "OK");
    EXPECT_EQ(StoredPassword("OLD").find("Fresh2"), std::string::npos);
    EXPECT_EQ(Login(*engine, state, "OLD", "FRESH2").substr(0, 1), "1");

    // None is set that the next login could not carry.
    const std::string longest(docserver::kMaxPasswordLength, 'p');
    EXPECT_EQ(engine->Execute(state, "TALQChangePassword,OLD,fresh2," + longest + "p"),
              "ERROR: Password Too Long, At Most 15766 Characters");
    EXPECT_EQ(engine->Execute(state, "TALQChangePassword,OLD,fresh2," + longest), "OK");
    EXPECT_FALSE(docserver::InitSystem(dir_.Path() + "/other", "ADMIN", longest + "p", error));
    EXPECT_EQ(error, "a password has at most 15766 characters");
}

TEST_F(LoginSecurity, RepeatedFailuresHoldBackThatUserFromThatAddressForAWhile) {
    std::string error;
    auto engine = CommandEngine::Open(sys_, error);
    ASSERT_TRUE(engine) << error;
    std::int64_t now = 0;
    engine->ShareLoginThrottle(std::make_shared<docserver::LoginThrottle>([&now] { return now; }));
    ConnectionState guesser;
    guesser.address = "10.0.0.9";
    ConnectionState colleague;
    colleague.address = "10.0.0.7";
    ConnectionState working;  // logged in before, from the same address
    working.address = guesser.address;
    ASSERT_EQ(Login(*engine, working, "ADMIN", "SECRET").substr(0, 1), "1");

    for (int i = 0; i < docserver::LoginThrottle::kFreeFailures; ++i)
        EXPECT_EQ(Login(*engine, guesser, "ADMIN", "guess" + std::to_string(i)), "0") << i;
    // Held back, even with the right password; the reason is told apart.
    EXPECT_EQ(Login(*engine, guesser, "ADMIN", "SECRET").rfind("ERROR: Too Many", 0), 0u);
    EXPECT_EQ(engine->Execute(guesser, "TALQGetProjectInfo,ADMIN,SECRET,Demo Project")
                  .rfind("ERROR: Too Many", 0),
              0u);
    EXPECT_EQ(Login(*engine, colleague, "ADMIN", "SECRET").substr(0, 1), "1")
        << "another address logs in";
    EXPECT_EQ(
        engine->Execute(working, "TALQGetProjectInfo,ADMIN,SECRET,Demo Project").rfind("ERROR", 0),
        std::string::npos)
        << "a session that proved the password goes on";

    now += docserver::LoginThrottle::kFirstWaitMs;
    EXPECT_EQ(Login(*engine, guesser, "ADMIN", "wrong again"), "0");
    // Each further failure doubles the wait.
    now += docserver::LoginThrottle::kFirstWaitMs;
    EXPECT_EQ(Login(*engine, guesser, "ADMIN", "SECRET").rfind("ERROR: Too Many", 0), 0u);
    now += docserver::LoginThrottle::kFirstWaitMs;
    EXPECT_EQ(Login(*engine, guesser, "ADMIN", "SECRET").substr(0, 1), "1");
    // A success starts the count again.
    EXPECT_EQ(Login(*engine, guesser, "ADMIN", "wrong"), "0");
    EXPECT_EQ(Login(*engine, guesser, "ADMIN", "SECRET").substr(0, 1), "1");
}

// The last eight addresses a user logged in from are kept in the system:
// after a restart, guesses from rotating addresses hold the user back
// everywhere but there.
TEST_F(LoginSecurity, AfterARestartTheUserStillLogsInFromItsOwnAddressDuringGuessing) {
    std::string kept;
    {
        testsupport::ServerProcess server(sys_);
        for (int i = 1; i <= 9; ++i) {
            const std::string from = i < 9 ? "127.8.0." + std::to_string(i) : "127.0.0.1";
            ASSERT_TRUE(testsupport::RawClient(server.Port(), from).LogIn("admin", "SECRET")) << i;
            if (i > 1) kept += (i > 2 ? " " : "") + from;
        }
        ASSERT_EQ(server.Stop(SIGTERM), 0);
    }
    docserver::SystemDb db;
    std::string error;
    ASSERT_TRUE(db.Open(sys_ + "/system.db", false, error)) << error;
    docserver::Statement s(db,
                           "SELECT group_concat(address, ' ') FROM (SELECT address FROM "
                           "login_addresses WHERE user_id = 'ADMIN' ORDER BY used)");
    EXPECT_EQ(s.Step() ? s.Text(0) : "", kept);

    testsupport::ServerProcess server(sys_);
    int held = 0, refused = 0;
    for (int a = 1; a <= 30; ++a) {
        // A connection per guess: one told it is held waits before its next.
        for (int g = 0; g < 4; ++g) {
            testsupport::RawClient guesser(server.Port(), "127.50.0." + std::to_string(a));
            const std::string reply = guesser.Send("TALQRequiredLogin,ADMIN,guess" +
                                                   std::to_string(a * 4 + g) + ",,DOM,1,8.6,1");
            if (reply.rfind("ERROR: Too Many", 0) == 0) ++held;
        }
        // The guessing starts before the user comes back.
        if (a >= 6)
            refused += !testsupport::RawClient(server.Port(), "127.0.0.1").LogIn("ADMIN", "SECRET");
    }
    EXPECT_GT(held, 0);
    EXPECT_EQ(refused, 0);
}

// A login while another program writes the system neither waits for it nor
// loses its address: the next login from there keeps it.
TEST_F(LoginSecurity, AnAddressNotKeptWhileTheSystemWasBusyIsKeptByTheNextLogin) {
    std::string error;
    auto engine = CommandEngine::Open(sys_, error);
    ASSERT_TRUE(engine) << error;
    engine->Db().SetBusyTimeout(30000);
    {
        docserver::SystemDb writer;
        ASSERT_TRUE(writer.Open(sys_ + "/system.db", false, error)) << error;
        ASSERT_TRUE(writer.Exec("BEGIN IMMEDIATE", error)) << error;
        ConnectionState first;
        first.address = "10.0.0.3";
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(Login(*engine, first, "ADMIN", "SECRET").substr(0, 1), "1");
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(15))
            << "the login waited for the writer";
        writer.Exec("ROLLBACK", error);
    }
    ConnectionState next;
    next.address = "10.0.0.3";
    EXPECT_EQ(Login(*engine, next, "ADMIN", "SECRET").substr(0, 1), "1");
    docserver::Statement kept(engine->Db(),
                              "SELECT count(*) FROM login_addresses WHERE address = '10.0.0.3'");
    ASSERT_TRUE(kept.Step());
    EXPECT_EQ(kept.Int(0), 1);
}

// A guesser may change the name or the address, never both for free: the
// checks an address or a user can cost are bounded, and the user still logs
// in from where that user logged in before.
TEST(LoginThrottle, FailuresAreHeldPerAddressWhateverTheNameAndPerUserWhateverTheAddress) {
    using docserver::LoginThrottle;
    std::int64_t now = 0;
    LoginThrottle throttle([&now] { return now; });
    throttle.Begin("ADMIN", "10.0.0.5");
    throttle.Succeeded("ADMIN", "10.0.0.5");

    int checked = 0;  // attempts that got as far as the hash
    for (int i = 0; i < 50; ++i) {
        if (!throttle.Begin("NAME" + std::to_string(i), "10.0.0.9")) continue;
        ++checked;
        throttle.Rejected("NAME" + std::to_string(i), "10.0.0.9");
    }
    EXPECT_EQ(checked, LoginThrottle::kFreeAddressFailures) << "one address, ever new names";
    EXPECT_TRUE(throttle.Begin("ADMIN", "10.0.0.8")) << "another address is not held";
    throttle.Succeeded("ADMIN", "10.0.0.8");

    checked = 0;
    for (int i = 0; i < 50; ++i) {
        if (!throttle.Begin("ADMIN", "10.1.0." + std::to_string(i))) continue;
        ++checked;
        throttle.Rejected("ADMIN", "10.1.0." + std::to_string(i));
    }
    EXPECT_EQ(checked, LoginThrottle::kFreeUserFailures) << "one user, ever new addresses";
    EXPECT_TRUE(throttle.Held("ADMIN", "10.2.0.1"));
    for (const char* known : {"10.0.0.5", "10.0.0.8"}) {
        EXPECT_TRUE(throttle.Begin("ADMIN", known)) << known;
        throttle.Succeeded("ADMIN", known);
    }
    EXPECT_TRUE(throttle.Held("ADMIN", "10.2.0.1")) << "the user's own login lifts no hold";

    now += LoginThrottle::kLongestWaitMs;
    EXPECT_TRUE(throttle.Begin("ADMIN", "10.2.0.1")) << "the hold ends";
    throttle.Rejected("ADMIN", "10.2.0.1");
    EXPECT_FALSE(throttle.Begin("ADMIN", "10.2.0.2")) << "and one more failure starts it again";
}

// A flood of failures under ever new names, each address short of its own
// hold, must not free a held user by dropping its record, nor keep users out
// of the addresses they log in from; the records stay capped.
TEST(LoginThrottle, AFloodOfNewNamesFreesNoHeldUserAndKeepsNoKnownUserOut) {
    using docserver::LoginThrottle;
    std::int64_t now = 0;
    LoginThrottle throttle([&now] { return now; });
    ASSERT_TRUE(throttle.Begin("CLERK", "10.9.0.1"));
    throttle.Succeeded("CLERK", "10.9.0.1");
    auto checks = [&](const std::string& user, int tries, auto from) {
        int checked = 0;
        for (int i = 0; i < tries; ++i) {
            if (!throttle.Begin(user + (user.empty() ? std::to_string(i) : ""), from(i))) continue;
            ++checked;
            throttle.Rejected(user + (user.empty() ? std::to_string(i) : ""), from(i));
            ++now;
        }
        return checked;
    };
    auto guessed = [](int i) { return "10.1.0." + std::to_string(i); };
    const int held = LoginThrottle::kFreeUserFailures;
    ASSERT_EQ(checks("ADMIN", held, guessed), held);
    const int flood = static_cast<int>(LoginThrottle::kMaxEntries) + 1000;
    EXPECT_LT(checks("", flood, [](int i) { return "10.2." + std::to_string(i / 9); }), flood)
        << "past the cap a new name is refused unchecked";
    EXPECT_LE(throttle.Records(), 3 * LoginThrottle::kMaxEntries);
    EXPECT_TRUE(throttle.Begin("CLERK", "10.9.0.1")) << "a user from its own address";
    throttle.Succeeded("CLERK", "10.9.0.1");
    // The hold is over, its failures still count: one guess holds again.
    EXPECT_LE(checks("ADMIN", held, guessed), 1);

    now += LoginThrottle::kForgetAfterMs + LoginThrottle::kLongestWaitMs;
    EXPECT_TRUE(throttle.Begin("NEWCOMER", "10.4.0.1")) << "stale records make room";
}

// A connection gets no free guesses for having logged in; a password change
// ends the user's other sessions, over TCP and locally, the changer's aside,
// until they log in with the new one; strangers failing at a shared address
// keep no user out that logged in from there.
TEST_F(LoginSecurity, NoFreeGuessesAfterALoginNoOtherSessionAfterAChangeNoLockoutAtASharedAddress) {
    using docserver::LoginThrottle;
    std::string error;
    auto engine = CommandEngine::Open(sys_, error);
    ASSERT_TRUE(engine) << error;
    std::int64_t now = 0;
    engine->ShareLoginThrottle(std::make_shared<LoginThrottle>([&now] { return now; }));
    ConnectionState proved;
    proved.address = "10.0.0.9";
    ASSERT_EQ(Login(*engine, proved, "ADMIN", "SECRET").substr(0, 1), "1");
    int checked = 0;
    for (int i = 0; i < 20; ++i) {
        const std::string guess = "guess" + std::to_string(i);
        const std::string reply =
            i % 2 == 0
                ? Login(*engine, proved, "admin", guess)
                : engine->Execute(proved, "TALQGetProjectInfo,ADMIN," + guess + ",Demo Project");
        checked += reply.rfind("ERROR: Too Many", 0) != 0;
    }
    EXPECT_EQ(checked, LoginThrottle::kFreeFailures) << "a logged-in connection guesses freely";

    testsupport::ScopedUserStores stores;
    testsupport::ServerProcess server(sys_);
    testsupport::RawClient reader(server.Port()), changer(server.Port());
    ASSERT_TRUE(reader.LogIn("ADMIN", "SECRET", "Demo Project"));
    ASSERT_TRUE(changer.LogIn("ADMIN", "SECRET"));
    modRegistry::RegSetString(modRegistry::HKEY_CURRENT_USER, "Software\\TALQTech\\VYNSYS\\Paths",
                              "Local", sys_ + "/");
    TalqClientAPI remote, local;
    ASSERT_TRUE(remote.OpenTalqConnection(0, "DOM", "127.0.0.1", server.Port(), 0, 0, 20));
    ASSERT_TRUE(local.OpenTalqConnection(2, "", "", 0, 0, 0, 0)) << local.LastError();
    for (TalqClientAPI* api : {&remote, &local})
        ASSERT_TRUE(api->TalqLogin("ADMIN", "SECRET", 1) && api->SelectProject("Demo Project"));
    ASSERT_EQ(changer.Send("TALQChangePassword,ADMIN,SECRET,Fresh7"), "OK");
    EXPECT_EQ(changer.Send("TALQGetTalqPrjList,ADMIN,Fresh7,,1").rfind("Demo Project", 0), 0u)
        << "the changer goes on";
    EXPECT_EQ(reader.Send("TALQGetPageOcr,K1"), "CLOSED") << "another session reads on";
    for (TalqClientAPI* api : {&remote, &local}) {
        const std::uint64_t epoch = api->LockEpoch();
        EXPECT_EQ(api->GetTalqProjectList(0), "") << "answered on the old password";
        ASSERT_TRUE(api->LoginRefused()) << api->LastError();
        EXPECT_FALSE(api->LogInAgain("SECRET"));
        ASSERT_TRUE(api->LogInAgain("FRESH7")) << api->LastError();
        EXPECT_GT(api->LockEpoch(), epoch) << "locks taken before are no longer believed held";
        EXPECT_EQ(api->GetTalqProjectList(0), "Demo Project");
    }
    // Changed by another program on the system: the server sees it at the
    // session's next request, tells it why and closes it.
    auto elsewhere = CommandEngine::Open(sys_, error);
    ConnectionState other;
    ASSERT_EQ(Login(*elsewhere, other, "ADMIN", "FRESH7").substr(0, 1), "1");
    ASSERT_EQ(elsewhere->Execute(other, "TALQChangePassword,ADMIN,FRESH7,Third8"), "OK");
    EXPECT_EQ(remote.GetTalqProjectList(0), "");
    EXPECT_EQ(remote.LastError(), RequestFrame::kSessionEnded);
    EXPECT_TRUE(remote.LoginRefused()) << "the login is not asked again at once";

    testsupport::RawClient late(server.Port());
    ASSERT_TRUE(late.LogIn("ADMIN", "THIRD8"));
    {
        docserver::SystemDb db;
        ASSERT_TRUE(db.Open(sys_ + "/system.db", false, error)) << error;
        ASSERT_TRUE(db.Exec("UPDATE users SET disabled = 1 WHERE user_id = 'ADMIN'", error));
    }
    EXPECT_EQ(late.Send("TALQGetPageOcr,K1"), RequestFrame::kUserDisabled)
        << "a disabled user reads on";
    TalqClientAPI guesser, fresh;
    for (TalqClientAPI* api : {&guesser, &fresh})
        ASSERT_TRUE(api->OpenTalqConnection(2, "", "", 0, 0, 0, 0)) << api->LastError();
    for (int i = 0; i < LoginThrottle::kFreeFailures; ++i) guesser.TalqLogin("NOBODY", "x", 1);
    EXPECT_FALSE(fresh.TalqLogin("NOBODY", "x", 1));
    EXPECT_NE(fresh.LastError().find("Too Many Failed Logins"), std::string::npos)
        << "a new local handle guesses afresh: " << fresh.LastError();

    // A terminal server: strangers fail under ever new names beside a user
    // who logged in from there.
    LoginThrottle throttle([&now] { return now; });
    const std::string shared = "10.7.0.1";
    ASSERT_TRUE(throttle.Begin("ADMIN", shared));
    throttle.Succeeded("ADMIN", shared);
    int refused = 0;
    for (int i = 0; i < 600; ++i, now += 1000) {
        if (throttle.Begin("NAME" + std::to_string(i), shared))
            throttle.Rejected("NAME" + std::to_string(i), shared);
        if (i % 10 != 0) continue;
        if (throttle.Begin("ADMIN", shared))
            throttle.Succeeded("ADMIN", shared);
        else
            ++refused;
    }
    EXPECT_EQ(refused, 0) << "kept out by others' failures at its own address";
    checked = 0;
    for (int i = 0; i < 20; ++i) {
        if (!throttle.Begin("ADMIN", shared)) continue;
        ++checked;
        throttle.Rejected("ADMIN", shared);
    }
    EXPECT_EQ(checked, LoginThrottle::kFreeFailures) << "guesses at the user there are held";
}

// Logins and password changes of one user at the same moment, made to meet
// by a write lock of another program that both wait behind: two logins over
// a plain row both keep their sessions (one of them hashes the row); a login
// refused for the user's cap leaves the connection's own session working;
// of two changes over the same password one is stored and the other refused.
TEST_F(LoginSecurity, RacingLoginsEndNoSessionRacingChangesLoseNoneARefusedLoginEndsNothing) {
    testsupport::ServerProcess server(sys_, false, {"--max-per-user", "2", "--workers", "4"});
    ASSERT_GT(server.Port(), 0) << server.Output();
    std::string error;
    docserver::SystemDb gate;
    ASSERT_TRUE(gate.Open(sys_ + "/system.db", false, error)) << error;
    // Written plain by an administrator while the server runs.
    ASSERT_TRUE(
        gate.Exec("INSERT INTO users(user_id, password) VALUES ('REVIEWER', 'Review1');"
                  "INSERT INTO user_projects(user_id, project_id, security) "
                  "VALUES ('REVIEWER', 1, 255)",
                  error))
        << error;
    // Both commands read the row, then wait behind the lock to write it.
    auto atOnce = [&](testsupport::RawClient& a, const std::string& first,
                      testsupport::RawClient& b, const std::string& second) {
        EXPECT_TRUE(gate.Exec("BEGIN IMMEDIATE", error)) << error;
        a.Post(first);
        b.Post(second);
        std::this_thread::sleep_for(std::chrono::seconds(1));
        EXPECT_TRUE(gate.Exec("ROLLBACK", error)) << error;
        return std::make_pair(a.Reply(), b.Reply());
    };

    testsupport::RawClient one(server.Port()), two(server.Port());
    const std::string login = "TALQRequiredLogin,REVIEWER,Review1,,DOM,1,8.6,1";
    const auto [logged1, logged2] = atOnce(one, login, two, login);
    ASSERT_EQ(logged1.substr(0, 1), "1") << logged1;
    ASSERT_EQ(logged2.substr(0, 1), "1") << logged2;
    EXPECT_EQ(StoredPassword("REVIEWER").find("Review1"), std::string::npos);
    for (testsupport::RawClient* reviewer : {&one, &two})
        EXPECT_EQ(reviewer->Send("TALQGetTalqPrjList,REVIEWER,Review1,,1"), "Demo Project")
            << "the login that lost the rehash was ended";

    // REVIEWER is at its cap of two.
    testsupport::RawClient admin(server.Port());
    ASSERT_TRUE(admin.LogIn("ADMIN", "SECRET", "Demo Project"));
    EXPECT_EQ(admin.Send(login), "ERROR: Too Many Connections For This User");
    EXPECT_EQ(admin.Send("TALQGetTalqPrjList,ADMIN,SECRET,,1"), "Demo Project");
    EXPECT_EQ(admin.Send("TALQGetProjectInfo,REVIEWER,Review1,Demo Project"),
              "ERROR: Too Many Connections For This User");
    EXPECT_EQ(admin.Send("TALQGetTalqPrjList,ADMIN,SECRET,,1"), "Demo Project")
        << "a refused login ended the session it left";

    testsupport::RawClient changer1(server.Port()), changer2(server.Port());
    const auto [changed1, changed2] =
        atOnce(changer1, "TALQChangePassword,REVIEWER,Review1,NewOne1", changer2,
               "TALQChangePassword,REVIEWER,Review1,NewTwo2");
    ASSERT_EQ((changed1 == "OK") + (changed2 == "OK"), 1) << changed1 << " / " << changed2;
    EXPECT_EQ(changed1 == "OK" ? changed2 : changed1, "ERROR: Invalid Login");
    const std::string stored = changed1 == "OK" ? "NewOne1" : "NewTwo2";
    const std::string lost = changed1 == "OK" ? "NewTwo2" : "NewOne1";
    testsupport::RawClient after(server.Port());
    EXPECT_FALSE(after.LogIn("REVIEWER", lost));
    EXPECT_TRUE(after.LogIn("REVIEWER", stored)) << "the change answered OK was not stored";
}

}  // namespace
