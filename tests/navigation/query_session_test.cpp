// The query procedures through the session object over loopback TCP.
#include <gtest/gtest.h>

#include "../docserver/test_system.h"
#include "navigation/query_sources.h"
#include "navigation/talq_query_api.h"
#include "platform/scripted_prompts.h"
#include "support/scoped_env.h"
#include "support/server_process.h"

namespace {

using namespace TalqClientAPI_Header;
using navigation::kRecordSep;
using navigation::kSectionSep;
using testsupport::PageKey;

TEST(QueryOverSession, PagesAQueryUploadsAListAndSearchesThroughTheServer) {
    testsupport::ScopedTempDir dir;
    testsupport::MakeQuerySystem(dir.Path() + "/sys", 300, 250);
    testsupport::ServerProcess server(dir.Path() + "/sys");
    ASSERT_NE(server.Port(), 0);
    platform::ScriptedPrompts prompts;
    platform::ScopedPrompts scoped(prompts);
    TalqClientAPI session;
    ASSERT_TRUE(session.OpenTalqConnection(0, "DOM", "127.0.0.1", server.Port(), 0, 0, 20));
    ASSERT_TRUE(session.TalqLogin("ADMIN", "SECRET", 1)) << session.LastError();
    ASSERT_TRUE(session.SelectProject("Demo Project")) << session.LastError();
    navigation::TalqQueryApi api(session);

    QueryRecord query;
    ASSERT_TRUE(OpenServerQuery(api, query, 1, "Hot", 0, 100));
    EXPECT_EQ(query.MoreFlags, kMoreFollows);
    ASSERT_TRUE(QueryScroll(api, query, 1));
    ASSERT_TRUE(QueryScroll(api, query, 1));
    EXPECT_EQ(query.MoreFlags, kMoreBefore);
    EXPECT_EQ(query.RowCount, 50);
    EXPECT_EQ(query.LastKey, PageKey(250));

    std::string keys;
    for (int i = 1; i <= 300; i += 3) keys += PageKey(i) + "\r\n";
    testsupport::WriteFile(dir.Path() + "/keys.txt", keys);
    ASSERT_TRUE(UploadKeyListFile(api, query, dir.Path() + "/keys.txt", 1));
    EXPECT_EQ(query.RowCount, 60);  // one row per document of five pages
    EXPECT_TRUE(prompts.Messages().empty());

    EXPECT_TRUE(SearchImageText(api, query, 1, "fox", 0));
    EXPECT_EQ(query.KeyList, PageKey(7));
    EXPECT_TRUE(SearchDocDate(api, query, 5, "20000101", ""));
    EXPECT_EQ(query.FirstKey, PageKey(11));
}

}  // namespace
