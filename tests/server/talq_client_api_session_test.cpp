// Session, login, project record, navigation and page requests against a
// scripted server: the command texts sent and what each reply form leaves.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <map>
#include <mutex>

#include "fake_server.h"
#include "platform/prompts.h"
#include "platform/scripted_prompts.h"
#include "platform/wire_separators.h"
#include "server/talq_client_api.h"
#include "talq_client_api_test_peer.h"

namespace {

using testsupport::FakeAction;
using testsupport::FakeServer;

const char kRS = wire::kRecordSep, kSS = wire::kSectionSep, kLS = wire::kListSep;

std::string Join(char sep, const std::vector<std::string>& items) {
    std::string out;
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (i > 0) out.push_back(sep);
        out += items[i];
    }
    return out;
}

// A project record with n levels (flag codes 68, 32, 69, ...) and m info fields.
std::string Record(int n, int m) {
    std::vector<std::string> f{std::to_string(n)};
    for (int i = 1; i <= n; ++i) f.push_back(std::to_string(i * 10));
    for (int i = 1; i <= n; ++i) f.push_back("Level " + std::to_string(i));
    for (int i = 1; i <= n; ++i) f.push_back("icon" + std::to_string(i));
    f.push_back(std::to_string(m));
    for (int i = 1; i <= m; ++i) f.push_back(std::to_string(i % 2));
    for (int i = 1; i <= m; ++i) f.push_back("Info " + std::to_string(i));
    f.insert(f.end(), {"4095", "skipped", "2", "1", "further one"});
    for (int i = 1; i <= n; ++i) f.push_back(i == 2 ? "32" : std::to_string(66 + i));
    f.insert(f.end(), {"The project", "docLink", "Printed in confidence", "12", "further two"});
    return Join(kSS, f);
}

// Replies by command prefix, longest match first; every command is kept.
class ScriptedServer {
  public:
    ScriptedServer()
        : server_([this](int, const std::string& command) {
              std::lock_guard<std::mutex> lock(mutex_);
              FakeAction a;
              std::string best;
              for (const auto& [prefix, reply] : replies_)
                  if (command.rfind(prefix, 0) == 0 && prefix.size() >= best.size()) {
                      best = prefix;
                      a.payload = reply;
                  }
              return a;
          }) {
        Reply("TALQGetSystemFlags", "5");
        Reply("TALQGetExtSystemFlags", "0");
        Reply("TALQGetVersion", "8.6.0");
        Reply("TALQRequiredLogin",
              "1\x1e"
              "7\x1e"
              "Ann Example");
        Reply("TALQGetProjectInfo", Record(3, 3));
    }
    void Reply(const std::string& prefix, const std::string& reply) {
        std::lock_guard<std::mutex> lock(mutex_);
        replies_[prefix] = reply;
    }
    int Port() const { return server_.Port(); }
    std::string Last() const {
        auto all = server_.Commands();
        return all.empty() ? "" : all.back().command;
    }
    std::size_t Count() const { return server_.Commands().size(); }

  private:
    std::mutex mutex_;
    std::map<std::string, std::string> replies_;
    FakeServer server_;
};

class Session : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(api_.OpenTalqConnection(0, "DOM", "127.0.0.1", server_.Port(), 0, 0, 10))
            << api_.LastError();
    }
    void LogIn() {
        ASSERT_TRUE(api_.TalqLogin("ann", "pw", 1)) << api_.LastError();
        ASSERT_TRUE(api_.SelectProject("Alpha")) << api_.LastError();
    }
    platform::ScriptedPrompts prompts_;
    platform::ScopedPrompts usePrompts_{prompts_};
    ScriptedServer server_;
    TalqClientAPI api_;
};

TEST(SessionGuard, EachMissingStateNamesItselfAndZeroTestsTheConnectionOnly) {
    platform::ScriptedPrompts prompts;
    platform::ScopedPrompts use(prompts);
    TalqClientAPI api;
    std::string key;
    EXPECT_EQ(api.FindKey("A", key), 0);
    EXPECT_EQ(api.LastError(), "Invalid Session.");
    EXPECT_TRUE(prompts.Messages().empty());
    api.DisplayErrorMsgs(true);
    EXPECT_FALSE(api.TalqLogin("ann", "pw", 1));
    EXPECT_EQ(prompts.Messages(), std::vector<std::string>{"Invalid Session."});

    ScriptedServer server;
    ASSERT_TRUE(api.OpenTalqConnection(0, "DOM", "127.0.0.1", server.Port(), 0, 0, 10));
    api.DisplayErrorMsgs(false);
    EXPECT_EQ(api.GetTalqProjectList(1), "");
    EXPECT_EQ(api.LastError(), "User Not Logged In.");
    ASSERT_TRUE(api.TalqLogin("ann", "pw", 1));
    EXPECT_EQ(api.FindKey("A", key), 0);
    EXPECT_EQ(api.LastError(), "Project Not Selected.");
    std::string reply;
    EXPECT_TRUE(api.RemotePassThrough("TALQAnything,1", reply, 1));
    EXPECT_EQ(server.Last(), "TALQAnything,1");
    EXPECT_FALSE(api.RemotePassThrough("TALQAnything,2", reply, 0));
    EXPECT_EQ(server.Last(), "TALQAnything,1");
}

TEST_F(Session, LoginSendsTheFixedTailAndKeepsTheUsersFields) {
    ASSERT_TRUE(api_.TalqLogin("ann", "pw", 1));
    EXPECT_EQ(server_.Last(), "TALQRequiredLogin,ann,pw,,DOM,1,8.6,1");
    EXPECT_TRUE(api_.IsUserValid());
    EXPECT_EQ(api_.UserName(), "ann");
    EXPECT_EQ(api_.UserPswrd(), "pw");
    EXPECT_EQ(api_.UserSystemSecurity(), "7");
    EXPECT_EQ(api_.UserFullName(), "Ann Example");
}

TEST_F(Session, VersionGateIsTextualAndAlwaysShowsItsMessage) {
    for (const char* refused : {"8.6", "8.10.0", "7.9"}) {
        server_.Reply("TALQGetVersion", refused);
        prompts_.Clear();
        EXPECT_FALSE(api_.TalqLogin("ann", "pw", 1)) << refused;
        EXPECT_EQ(api_.LastError(), "Invalid Server Version");
        ASSERT_EQ(prompts_.Messages().size(), 1U);
        EXPECT_EQ(prompts_.Messages()[0], std::string("Server Version = ") + refused +
                                              "\nTALQ Server Version 8.6 or Higher is Required");
    }
    for (const char* accepted : {"8.6.0", "8.7", "9.0"}) {
        server_.Reply("TALQGetVersion", accepted);
        EXPECT_TRUE(api_.TalqLogin("ann", "pw", 1)) << accepted;
    }
    server_.Reply("TALQGetVersion", "ERROR: down");
    prompts_.Clear();
    EXPECT_FALSE(api_.TalqLogin("ann", "pw", 1));
    EXPECT_EQ(api_.LastError(), "Invalid Server Version");
    EXPECT_EQ(prompts_.Messages(),
              std::vector<std::string>{"Unable to obtain Server Version Number"});
}

TEST_F(Session, LoginStatusesAndAShortReply) {
    server_.Reply("TALQRequiredLogin", "0");
    EXPECT_FALSE(api_.TalqLogin("ann", "pw", 1));
    EXPECT_EQ(api_.LastError(), "Invalid Login");
    EXPECT_FALSE(api_.IsUserValid());
    EXPECT_EQ(api_.UserName(), "");
    server_.Reply("TALQRequiredLogin", "3");
    EXPECT_FALSE(api_.TalqLogin("ann", "pw", 1));
    EXPECT_EQ(api_.LastError(), "Invalid Login Parameters");
    // Logins held after failures are told so, not as a wrong password.
    server_.Reply("TALQRequiredLogin", "ERROR: Too Many Failed Logins, Try Again Later");
    EXPECT_FALSE(api_.TalqLogin("ann", "pw", 1));
    EXPECT_EQ(api_.LastError(), "Invalid Login\nToo Many Failed Logins, Try Again Later");
    server_.Reply("TALQRequiredLogin", "1");
    EXPECT_TRUE(api_.TalqLogin("ann", "pw", 1));
    EXPECT_EQ(api_.UserFullName(), "");
    EXPECT_EQ(api_.UserSystemSecurity(), "0");
}

// A server that cannot reach its system says why: the refused connection
// and login say it too, and their message is all the telling it needs.
TEST_F(Session, RefusalsForADatabaseErrorCarryTheServersReasonAndTellItOnce) {
    const std::string why = "Database Error system.db is open in WAL mode by another program";
    api_.DisplayErrorMsgs(true);
    server_.Reply("TALQRequiredLogin", "ERROR: " + why);
    EXPECT_FALSE(api_.TalqLogin("ann", "pw", 1));
    EXPECT_EQ(prompts_.Messages(), std::vector<std::string>{"Invalid Login\n" + why});
    EXPECT_EQ(api_.TakeUntoldDatabaseError(), "") << "told twice";
    server_.Reply("TALQGetSystemFlags", "ERROR: " + why);
    EXPECT_FALSE(api_.OpenTalqConnection(0, "DOM", "127.0.0.1", server_.Port(), 0, 0, 10));
    EXPECT_EQ(api_.LastError(), "Unable to Establish an TALQ Connection\n" + why);
    EXPECT_EQ(prompts_.Messages().size(), 2U);
}

// A mistyped port finds no server: the refusal says where it looked.
TEST_F(Session, AConnectionNobodyAnswersNamesTheAddressAndPortTried) {
    const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&a), size), 0);
    ASSERT_EQ(::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &size), 0);
    const int port = ntohs(a.sin_port);
    ::close(fd);
    EXPECT_FALSE(api_.OpenTalqConnection(0, "DOM", "127.0.0.1", port, 0, 0, 10));
    EXPECT_EQ(api_.LastError(), "Unable to Establish an TALQ Connection\nIP Address 127.0.0.1, "
                                "IP Port " + std::to_string(port));
}

TEST_F(Session, SeparatorsInIdsPasswordsProjectsAndKeysAreRefusedUnsent) {
    std::size_t sent = server_.Count();
    EXPECT_FALSE(api_.TalqLogin("ann,x", "pw", 1));
    EXPECT_EQ(api_.LastError(), "Invalid Character in User Id");
    EXPECT_FALSE(api_.TalqLogin("ann", std::string("p\x1ew"), 1));
    EXPECT_EQ(api_.LastError(), "Invalid Character in Password");
    EXPECT_EQ(server_.Count(), sent);
    ASSERT_TRUE(api_.TalqLogin("ann", "pw", 1));
    EXPECT_FALSE(api_.SelectProject("A,B"));
    EXPECT_EQ(api_.LastError(), "Invalid Character in Project Name");
    ASSERT_TRUE(api_.SelectProject("Alpha"));
    sent = server_.Count();
    std::string out;
    std::int16_t level = 0;
    EXPECT_EQ(api_.FindKey("A,1", out), 0);
    EXPECT_FALSE(api_.NextKey("A,1", level, out));
    EXPECT_FALSE(api_.SetPageLock(std::string("A\x18")));
    EXPECT_EQ(api_.LastError(), "Invalid Character in Image Key");
    EXPECT_EQ(server_.Count(), sent);
}

TEST_F(Session, ProjectRecordOfOneToTenLevelsAndZeroToSeveralInfoFields) {
    ASSERT_TRUE(api_.TalqLogin("ann", "pw", 1));
    for (int n = 1; n <= 10; ++n) {
        for (int m : {0, 1, 4}) {
            server_.Reply("TALQGetProjectInfo", Record(n, m));
            ASSERT_TRUE(api_.SelectProject("Alpha"));
            EXPECT_EQ(server_.Last(), "TALQGetProjectInfo,ann,pw,Alpha");
            EXPECT_EQ(api_.BndryNbr(), n);
            EXPECT_EQ(api_.InfoNbr(), m);
            std::vector<std::string> levels, flags;
            for (int i = 1; i <= n; ++i) {
                levels.push_back(std::to_string(i * 10));
                flags.push_back(i == 2 ? "" : std::string(1, static_cast<char>(66 + i)));
            }
            EXPECT_EQ(api_.BndryLvls(), Join('|', levels));
            EXPECT_EQ(api_.BndryFlags(), Join('|', flags)) << n;
            EXPECT_EQ(api_.InfoFields().empty(), m == 0);
            EXPECT_EQ(api_.UserProjectSecurity(), 4095);
            EXPECT_EQ(api_.Bndry3rdParty(), 2);
            EXPECT_EQ(api_.FullText(), 1);
            EXPECT_EQ(api_.ProjectDescription(), "The project");
            EXPECT_EQ(api_.BackWardLink(), "DOCLINK");
            EXPECT_EQ(api_.PrintMessage(), "Printed in confidence");
        }
    }
    EXPECT_EQ(api_.InfoFields(), "1|0|1|0");
    EXPECT_EQ(api_.InfoDescs(), "Info 1|Info 2|Info 3|Info 4");
}

TEST_F(Session, ANumberTooLargeForItsFieldReadsZeroAndTheRestStillParses) {
    ASSERT_TRUE(api_.TalqLogin("ann", "pw", 1));
    std::string record = Record(2, 0);
    record.replace(record.find("4095"), 4, "99999999999");
    server_.Reply("TALQGetProjectInfo", record);
    ASSERT_TRUE(api_.SelectProject("Alpha"));
    EXPECT_EQ(api_.UserProjectSecurity(), 0);
    EXPECT_EQ(api_.PrintMessage(), "Printed in confidence");
}

TEST_F(Session, ALevelOrInfoCountPastTheRecordsFieldsIsHeldToThemNotWalkedForMinutes) {
    ASSERT_TRUE(api_.TalqLogin("ann", "pw", 1));
    server_.Reply("TALQGetProjectInfo", std::string("32767") + kSS + "10");
    ASSERT_TRUE(api_.SelectProject("Alpha"));
    EXPECT_EQ(api_.BndryNbr(), 2);
    EXPECT_EQ(api_.BndryLvls(), "10|");
    EXPECT_EQ(api_.InfoNbr(), 0);
    EXPECT_EQ(api_.ResolveBndry2Level("D"), 0);
    server_.Reply("TALQGetProjectInfo", std::string("0") + kSS + "32767");
    ASSERT_TRUE(api_.SelectProject("Alpha"));
    EXPECT_EQ(api_.InfoNbr(), 2);
    EXPECT_EQ(api_.InfoFields(), "|");
    // An item holding the item separator spills onto the items after it.
    std::vector<std::string> spill{"20000", std::string(20000, '|')};
    spill.resize(20001);
    server_.Reply("TALQGetProjectInfo", Join(kSS, spill));
    ASSERT_TRUE(api_.SelectProject("Alpha"));
    EXPECT_EQ(api_.BndryNbr(), 20000);
    EXPECT_EQ(api_.BndryLvls(), std::string(20000, '|'));
    EXPECT_EQ(api_.ResolveLevel2Bndry(7), "");
    EXPECT_EQ(api_.ResolveBndry2Level("D"), 0);
    std::string beg, end;
    EXPECT_FALSE(api_.GetBndryBegEndKey("K1", 7, beg, end));
    EXPECT_EQ(api_.LastError(), "Invalid Boundary Level");
}

TEST_F(Session, FailedOrEmptySelectionLeavesNoProjectAndCloseEmptiesTheRecord) {
    LogIn();
    EXPECT_FALSE(api_.SelectProject(""));
    EXPECT_EQ(api_.LastError(), "Invalid Project Name");
    EXPECT_FALSE(api_.IsProjectValid());
    EXPECT_EQ(api_.BackWardLink(), "DOCLINK");
    server_.Reply("TALQGetProjectInfo", "ERROR: nope");
    EXPECT_FALSE(api_.SelectProject("Beta"));
    EXPECT_EQ(api_.LastError(), "Unable to Select Project Beta\nnope");
    EXPECT_EQ(api_.BndryNbr(), 0);
    EXPECT_TRUE(prompts_.Messages().empty());

    server_.Reply("TALQGetProjectInfo", Record(3, 3));
    ASSERT_TRUE(api_.SelectProject("Alpha"));
    api_.CloseProject();
    EXPECT_EQ(server_.Last(), "TALQCloseProject");
    EXPECT_FALSE(api_.IsProjectValid());
    EXPECT_EQ(api_.ProjectName(), "");
    EXPECT_EQ(api_.BndryLvls(), "");
    EXPECT_EQ(api_.UserProjectSecurity(), 0);
    EXPECT_EQ(api_.BackWardLink(), "");

    ASSERT_TRUE(api_.SelectProject("Alpha"));
    api_.CloseTalqConnection();
    api_.CloseProject();
    EXPECT_EQ(api_.LastError(), "Invalid Session.");
    EXPECT_EQ(api_.BackWardLink(), "DOCLINK");
    EXPECT_EQ(api_.UserName(), "");
}

TEST_F(Session, ProjectListTakesNamesOrWholeEntriesAndSkipsEmptyOnes) {
    ASSERT_TRUE(api_.TalqLogin("ann", "pw", 1));
    server_.Reply("TALQGetTalqPrjList", "Alpha\tfirst,,Beta\tsecond");
    EXPECT_EQ(api_.GetTalqProjectList(0), std::string("Alpha") + kLS + "Beta");
    EXPECT_EQ(server_.Last(), "TALQGetTalqPrjList,ann,pw,,0");
    EXPECT_EQ(api_.GetTalqProjectList(1), std::string("Alpha\tfirst") + kLS + "Beta\tsecond");
}

TEST(SessionTimeout, StaysBetweenFiveAndThreeHundredSeconds) {
    TalqClientAPI api;
    for (auto [set, kept] : {std::pair{0, 15}, {2, 5}, {1000, 300}, {-7, 5}, {60, 60}}) {
        api.timeout(set);
        EXPECT_EQ(api.timeout(), kept) << set;
    }
}

TEST_F(Session, FindAndStepReadTheirStatusAndMarkers) {
    LogIn();
    std::string key;
    server_.Reply("TALQFindKey", "4,ABC0001");
    EXPECT_EQ(api_.FindKey("abc0001", key), 1);
    EXPECT_EQ(server_.Last(), "TALQFindKey,ann,pw,Alpha,abc0001");
    EXPECT_EQ(key, "ABC0001");
    server_.Reply("TALQFindKey", "5,X");
    EXPECT_EQ(api_.FindKey("W", key), 2);
    EXPECT_EQ(key, "X");
    server_.Reply("TALQFindKey", "0");
    EXPECT_EQ(api_.FindKey("W", key), 0);
    EXPECT_EQ(key, "");

    std::int16_t level = 20;
    server_.Reply("TALQNextKey", "NONE");
    EXPECT_FALSE(api_.NextKey("A", level, key));
    EXPECT_EQ(server_.Last(), "TALQNextKey,ann,pw,Alpha,A,20");
    EXPECT_EQ(key, "");
    server_.Reply("TALQNextKey", "none");
    EXPECT_TRUE(api_.NextKey("A", level, key));
    EXPECT_EQ(key, "none");
    server_.Reply("TALQPrevKey", "A0");
    EXPECT_TRUE(api_.PrevKey("A", level, key));
    EXPECT_EQ(key, "A0");
}

TEST_F(Session, ImageScaleHeadAndQualityTexts) {
    LogIn();
    server_.Reply("TALQFindKey", "4,K1");
    server_.Reply("TALQSendClientImage", std::string("0.5\0\0\0\0\0", 8) + "BYTES");
    EXPECT_EQ(api_.GetImage("K1", 3), "BYTES");
    EXPECT_EQ(server_.Last(), "TALQSendClientImage,ann,pw,Alpha,K1,0");
    EXPECT_FLOAT_EQ(api_.ScaleFactor(), 0.5F);
    api_.GetImage("K1", 1);
    EXPECT_EQ(server_.Last(), "TALQSendClientImage,ann,pw,Alpha,K1,100");
    api_.GetImage("K1", 2);
    EXPECT_EQ(server_.Last(), "TALQSendClientImage,ann,pw,Alpha,K1,150");
    // A scale that cannot size a page falls back to 1.
    for (const char* head : {"0       ", "-2      ", "nan     ", "inf     "}) {
        server_.Reply("TALQSendClientImage", std::string("0.5     ") + "X");
        api_.GetImage("K1", 0);
        server_.Reply("TALQSendClientImage", std::string(head) + "X");
        EXPECT_EQ(api_.GetImage("K1", 0), "X");
        EXPECT_FLOAT_EQ(api_.ScaleFactor(), 1.0F) << head;
    }
    server_.Reply("TALQSendClientImage", "1       ");
    EXPECT_EQ(api_.GetImage("K1", 0), "");
    server_.Reply("TALQSendClientImage", "ERROR: gone");
    EXPECT_EQ(api_.GetImage("K1", 0), "");
    EXPECT_EQ(api_.LastError(), "Could Not Retrieve Image\ngone");
    server_.Reply("TALQFindKey", "5,K2");
    std::size_t sent = server_.Count();
    EXPECT_EQ(api_.GetImage("K1", 0), "");
    EXPECT_EQ(server_.Count(), sent + 1);
    EXPECT_EQ(api_.GetImage("", 0), "");
    EXPECT_EQ(api_.LastError(), "Invalid Image Key");
}

TEST_F(Session, PageInfoKeepsInfoPositionsAndAFailedRequestIsAFailure) {
    LogIn();  // info fields 1, 0, 1
    server_.Reply("TALQFindKey", "4,K1");
    server_.Reply("TALQGetPageInfo",
                  Join(kRS, {"2", "1", "x", "a,b,c", "1", "orig.pdf,x", "", "", "99"}));
    std::int32_t first = 0, second = 0, third = 42;
    std::string info, text;
    ASSERT_TRUE(api_.GetImagePageInfo("K1", first, second, third, info, text));
    EXPECT_EQ(server_.Last(), "TALQGetPageInfo,ann,pw,Alpha,K1,315");
    EXPECT_EQ(first, 2);
    EXPECT_EQ(second, 1);
    EXPECT_EQ(third, 1);
    EXPECT_EQ(info, std::string("a") + kLS + kLS + "c");
    EXPECT_EQ(text, "orig.pdf,x");
    EXPECT_TRUE(api_.IsPlaceHolderImage());
    // The image comes as one value with its scale and the page's flag.
    server_.Reply("TALQSendClientImage", std::string("0.5     ") + "BYTES");
    const PageImage page = api_.GetPageImage("K1", 0);
    EXPECT_EQ(page.bytes, "BYTES");
    EXPECT_FLOAT_EQ(page.scale, 0.5F);
    EXPECT_TRUE(page.placeholder);

    server_.Reply("TALQGetPageInfo", "ERROR: locked out");
    EXPECT_FALSE(api_.GetImagePageInfo("K1", first, second, third, info, text));
    EXPECT_EQ(api_.LastError(), "ERROR: locked out");
    EXPECT_EQ(first, 0);
    EXPECT_FALSE(api_.IsPlaceHolderImage());
}

TEST_F(Session, WordsOcrAndBuffersTurnNoneIntoEmpty) {
    LogIn();
    server_.Reply("TALQGetWordList", "2550,3300,300,300,w|1|2|3|4^x,y|5|6|7|8");
    std::int32_t a = 0, b = 0, c = 0, d = 0;
    std::string words;
    ASSERT_TRUE(api_.GetWordList("K1", a, b, c, d, words));
    EXPECT_EQ(a, 2550);
    EXPECT_EQ(d, 300);
    EXPECT_EQ(words, "w|1|2|3|4^x,y|5|6|7|8");
    std::string text;
    server_.Reply("TALQGetPageOcr", "NONE");
    EXPECT_FALSE(api_.GetPageOCR("K1", text));
    EXPECT_EQ(server_.Last(), "TALQGetPageOcr,,,,K1");
    server_.Reply("TALQGetPageOcr", "Hello");
    EXPECT_TRUE(api_.GetPageOCR("K1", text));
    EXPECT_EQ(text, "Hello");
    server_.Reply("TALQGetPageWBuf", "NONE");
    EXPECT_TRUE(api_.GetWordBuf("K1", "3", "9", text));
    EXPECT_EQ(server_.Last(), "TALQGetPageWBuf,,,,K1,3,9");
    EXPECT_EQ(text, "");
}

TEST_F(Session, LevelsAndFlagsResolveBothWays) {
    LogIn();  // levels 10, 20, 30; flags C, "", E
    EXPECT_EQ(api_.ResolveBndry2Level("C"), 10);
    EXPECT_EQ(api_.ResolveBndry2Level("E"), 30);
    EXPECT_EQ(api_.ResolveBndry2Level("c"), 30);
    EXPECT_EQ(api_.ResolveBndry2Level(""), 0);
    EXPECT_EQ(api_.ResolveLevel2Bndry(10), "C");
    EXPECT_EQ(api_.ResolveLevel2Bndry(20), "");
    EXPECT_EQ(api_.ResolveLevel2Bndry(99), "E");
    EXPECT_EQ(api_.ResolveLevel2Bndry(0), "");
}

TEST_F(Session, ScrollListFindsTheKeyAndResetsTheMarker) {
    LogIn();
    server_.Reply("TALQGetScroll", "BOTH,A1,A5,A9");
    std::string list;
    std::int16_t marker = 0;
    std::int32_t count = 0, index = 0;
    ASSERT_TRUE(api_.GetBndryScrollList("A5", 20, list, marker, count, index));
    EXPECT_EQ(server_.Last(), "TALQGetScroll,ann,pw,Alpha,A5,20,5000");
    EXPECT_EQ(list, "A1,A5,A9");
    EXPECT_EQ(marker, 3);
    EXPECT_EQ(count, 3);
    EXPECT_EQ(index, 2);
    index = 0;
    EXPECT_FALSE(api_.GetBndryScrollList("B0", 20, list, marker, count, index));
    EXPECT_EQ(index, 0);
    server_.Reply("TALQGetScroll", "ALL,A1");
    EXPECT_TRUE(api_.GetBndryScrollList("a1", 20, list, marker, count, index));
    EXPECT_EQ(marker, 0);
    EXPECT_EQ(count, 1);
}

TEST_F(Session, ScrollListCountsNoKeyAfterAClosingComma) {
    LogIn();
    struct Case {
        const char* reply;
        const char* list;
        std::int32_t count;
    };
    for (const Case& c : {Case{"BOTH,A1,A5,", "A1,A5", 2}, Case{"BOTH,A1,,A5", "A1,,A5", 3},
                          Case{"MOREAFTER,", "", 0}}) {
        server_.Reply("TALQGetScroll", c.reply);
        std::string list;
        std::int16_t marker = 0;
        std::int32_t count = -1, index = 0;
        api_.GetBndryScrollList("A1", 20, list, marker, count, index);
        EXPECT_EQ(list, c.list) << c.reply;
        EXPECT_EQ(count, c.count) << c.reply;
    }
}

TEST_F(Session, BoundaryBeginAndEndNeedAListedLevelAndTwoKeys) {
    LogIn();
    api_.DisplayErrorMsgs(true);
    std::size_t sent = server_.Count();
    std::string beg, end;
    EXPECT_FALSE(api_.GetBndryBegEndKey("K", 15, beg, end));
    EXPECT_EQ(api_.LastError(), "Invalid Boundary Level");
    EXPECT_EQ(server_.Count(), sent);
    EXPECT_EQ(prompts_.Beeps(), 1);
    server_.Reply("TALQGetBoundaryInfo", "A1,B1,C1;A2,B2,C2");
    ASSERT_TRUE(api_.GetBndryBegEndKey("K", 20, beg, end));
    EXPECT_EQ(beg, "B1");
    EXPECT_EQ(end, "B2");
    server_.Reply("TALQGetBoundaryInfo", "A1,,C1;A2,B2,C2");
    EXPECT_FALSE(api_.GetBndryBegEndKey("K", 20, beg, end));
    EXPECT_EQ(beg, "");
    EXPECT_EQ(end, "");
}

TEST_F(Session, DescriptionsDatesLocksAndFlagsReportTheirRequests) {
    LogIn();
    server_.Reply("TALQGetFolderDescription", "None");
    EXPECT_EQ(api_.GetFolderDescription("K", 20), "");
    server_.Reply("TALQGetFolderDescription", "Letters, 1990");
    EXPECT_EQ(api_.GetFolderDescription("K", 20), "Letters, 1990");
    EXPECT_TRUE(api_.PutFolderDescription("K", 20, "New, text"));
    EXPECT_EQ(server_.Last(), "TALQPutFolderDescription,ann,pw,Alpha,K,20,New, text");

    server_.Reply("TALQDTGetDate", "NONE");
    EXPECT_EQ(api_.GetPageDate("K"), "");
    std::string date = "x";
    EXPECT_TRUE(api_.ReadPageDate("K", date) && date.empty()) << "no date";
    server_.Reply("TALQDTGetDate", "ERROR: Invalid Project Alpha");
    EXPECT_FALSE(api_.ReadPageDate("K", date)) << "refused";
    server_.Reply("TALQDTPutDate", "ERROR: Invalid Date");
    EXPECT_FALSE(api_.PutPageDate("K", "x"));
    EXPECT_EQ(api_.LastError(), "ERROR: Invalid Date");
    EXPECT_FALSE(api_.PutPageDate("", "x"));
    EXPECT_EQ(api_.LastError(), "Invalid Image Key");

    EXPECT_TRUE(api_.SetPageLock("K"));
    server_.Reply("TALQSetPageLock", "ERROR: Page Locked by bob");
    EXPECT_FALSE(api_.SetPageLock("K"));
    api_.RemovePageLock("K");
    EXPECT_EQ(server_.Last(), "TALQRemovePageLock,ann,pw,Alpha,K");

    EXPECT_TRUE(api_.SetImageRotation("K", 2));
    EXPECT_EQ(server_.Last(), "TALQPutPageInfo,ann,pw,Alpha,K,,2");
    EXPECT_TRUE(api_.SetImageBndryLevel("K", 20));
    EXPECT_EQ(server_.Last(), "TALQPutPageInfo,ann,pw,Alpha,K,20");
    server_.Reply("TALQPutPageInfo", "ERROR: x");
    api_.DisplayErrorMsgs(true);
    EXPECT_FALSE(api_.SetImageRotation("K", 2));
    EXPECT_EQ(api_.LastError(), "Unable to set Rotate Flag\nx") << "the server's reason kept";
    EXPECT_FALSE(api_.SetImageBndryLevel("K", 20));
    EXPECT_EQ(api_.LastError(), "Unable to set Boundary Flag\nx");
    EXPECT_EQ(prompts_.Beeps(), 2);

    server_.Reply("TALQSendTextImage", "PNG");
    EXPECT_EQ(api_.GetTextImage("a, b"), "PNG");
    EXPECT_EQ(server_.Last(), "TALQSendTextImage,a, b");
    EXPECT_EQ(api_.GetStellantImage("", 1, "0"), "");
    EXPECT_EQ(api_.LastError(), "Invalid Original File");
    server_.Reply("TALQSendStellantImage", "ERROR: x");
    EXPECT_EQ(api_.GetStellantImage("originals/a.pdf", 2, "1"), "");
    EXPECT_EQ(server_.Last(), "TALQSendStellantImage,originals/a.pdf,2,1");
    EXPECT_EQ(api_.LastError(), "Could Not Retrieve Stellant Image");
}

}  // namespace
