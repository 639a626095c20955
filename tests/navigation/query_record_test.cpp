#include "navigation/query_record.h"

#include <gtest/gtest.h>

#include "fake_query_api.h"
#include "platform/scripted_prompts.h"
#include "support/scoped_env.h"

namespace {

using namespace TalqClientAPI_Header;
using navigation::kRecordSep;
using navigation::kSectionSep;
using testsupport::FakeQueryApi;

const std::string SS(1, kSectionSep);
const std::string RS(1, kRecordSep);

std::string Reply(const std::string& positioned, const std::string& marker,
                  const std::vector<std::string>& rows, const std::string& position = "7") {
    std::string joined;
    for (const std::string& row : rows) joined += (joined.empty() ? "" : RS) + row;
    return positioned + SS + position + SS + marker + SS + std::to_string(rows.size()) + SS +
           joined;
}

class QueryRecordTest : public ::testing::Test {
  protected:
    FakeQueryApi api_;
    platform::ScriptedPrompts prompts_;
    platform::ScopedPrompts scoped_{prompts_};
    QueryRecord query_;
};

TEST_F(QueryRecordTest, OpenSendsTheScrollRequestAndReadsValidAndInvalidRows) {
    api_.Queue(Reply("B", "moreafter", {"A\tfirst", "*X", "B\tsecond", "", "C"}));
    ASSERT_TRUE(OpenServerQuery(api_, query_, 2, "Q1.TMP", 3, 50));
    EXPECT_EQ(api_.sent.back(), "TALQQueryScroll,ANN,pw,Proj,1" + SS + SS + SS + "Q1.TMP" + SS +
                                    "3" + SS + "100" + SS + "0");
    EXPECT_EQ(query_.PageSize, 100);
    EXPECT_EQ(query_.KeyList, "A,B,C");
    EXPECT_EQ(query_.RowTextList, "first|second|");
    EXPECT_EQ(query_.InvalidKeyList, "*X");
    EXPECT_EQ(query_.RowCount, 3);
    EXPECT_EQ(query_.CurrentRow, 2);
    EXPECT_EQ(query_.CurrentKey, "B");
    EXPECT_EQ(query_.FirstKey, "A");
    EXPECT_EQ(query_.LastKey, "C");
    EXPECT_EQ(query_.MoreFlags, kMoreFollows);
    EXPECT_EQ(query_.Position, "7");
}

TEST_F(QueryRecordTest, CurrentRowFollowsTheKindsMatchingRule) {
    // A server file: no equal key makes the last row current.
    api_.Queue(Reply("zz", "BOTH", {"A", "B"}));
    ASSERT_TRUE(OpenServerQuery(api_, query_, 2, "F", 0, 2000));
    EXPECT_EQ(query_.CurrentRow, 2);
    EXPECT_EQ(query_.MoreFlags, 3);
    // A tag: the first key at or after field 1, compared without case.
    api_.Queue("OK");  // the delete of F
    api_.Queue(Reply("b", "MOREBEFORE", {"A", "B", "C"}));
    ASSERT_TRUE(OpenServerQuery(api_, query_, 1, "Hot", 0, 2000));
    EXPECT_EQ(query_.CurrentRow, 2);
    EXPECT_EQ(query_.MoreFlags, kMoreBefore);
    api_.Queue(Reply("0", "", {"A", "B"}));
    ASSERT_TRUE(QueryScroll(api_, query_, 0));
    EXPECT_EQ(query_.CurrentRow, 1);
    EXPECT_EQ(query_.MoreFlags, 0);
}

TEST_F(QueryRecordTest, RowsAllInvalidLeaveAnEmptySet) {
    api_.Queue(Reply("", "NONE", {"*A", "*B"}));
    ASSERT_TRUE(OpenServerQuery(api_, query_, 2, "F", 0, 2000));
    EXPECT_EQ(query_.RowCount, 0);
    EXPECT_EQ(query_.CurrentRow, 0);
    EXPECT_EQ(query_.KeyList, "");
    EXPECT_EQ(query_.InvalidKeyList, "*A,*B");
}

TEST_F(QueryRecordTest, PagingSendsTokenAndDirectionAndAFailureLeavesAnEmptySet) {
    api_.Queue(Reply("A", "MOREFOLLOWS", {"A"}, "0"));
    ASSERT_TRUE(OpenServerQuery(api_, query_, 2, "F", 0, 2000));
    api_.Queue(Reply("B", "MOREBEFORE", {"B"}, "2000"));
    ASSERT_TRUE(QueryScroll(api_, query_, 1));
    EXPECT_NE(api_.sent.back().find(SS + "0" + SS + "F" + SS), std::string::npos);
    EXPECT_EQ(api_.sent.back().back(), '1');
    api_.Queue("ERROR: gone", false);
    EXPECT_FALSE(QueryScroll(api_, query_, 5));
    EXPECT_EQ(api_.sent.back().back(), '0');
    EXPECT_EQ(query_.RowCount, 0);
    EXPECT_EQ(query_.MoreFlags, 0);
    EXPECT_EQ(query_.KeyList, "");
    EXPECT_EQ(query_.Kind, 2);
    EXPECT_EQ(query_.ServerFile, "F");
    EXPECT_EQ(query_.Position, "2000");
    // A closed record sends nothing.
    std::size_t sent = api_.sent.size();
    ClearServerQuery(api_, query_);
    EXPECT_EQ(api_.sent.back(), "TALQDeleteFile,F");
    EXPECT_FALSE(QueryScroll(api_, query_, 0));
    EXPECT_EQ(api_.sent.size(), sent + 1);
    EXPECT_EQ(query_.PageSize, 2000);
}

TEST_F(QueryRecordTest, ClearingATagQueryDeletesNothing) {
    api_.Queue(Reply("A", "", {"A"}));
    ASSERT_TRUE(OpenServerQuery(api_, query_, 1, "Hot", 2, 2000));
    ClearServerQuery(api_, query_);
    EXPECT_EQ(api_.sent.size(), 1u);
    EXPECT_EQ(query_.Kind, 0);
    EXPECT_EQ(query_.ServerFile, "");
    EXPECT_EQ(query_.Level, 2);
}

TEST_F(QueryRecordTest, UploadSendsChunksOfWholeLinesJustPastTenThousand) {
    testsupport::ScopedTempDir dir;
    std::string text;
    for (int i = 0; i < 3000; ++i)
        text +=
            "KEY" + std::string(5 - std::to_string(i).size(), '0') + std::to_string(i) + "abcd\r\n";
    testsupport::WriteFile(dir.Path() + "/keys.txt", text);
    api_.Queue("Q9.TMP");
    ASSERT_TRUE(UploadKeyListFile(api_, query_, dir.Path() + "/keys.txt", 0));
    ASSERT_EQ(api_.sent.size(), 6u);
    EXPECT_EQ(api_.sent[0], "TALQCreateTempFile,ANN,pw,Proj");
    const std::string prefix = "TALQWriteTempFile,ANN,pw,Proj,Q9.TMP,";
    for (int c = 1; c <= 4; ++c) {
        ASSERT_EQ(api_.sent[c].rfind(prefix, 0), 0u);
        std::string chunk = api_.sent[c].substr(prefix.size());
        int lines = static_cast<int>(std::count(chunk.begin(), chunk.end(), kRecordSep)) + 1;
        EXPECT_EQ(lines, c < 4 ? 770 : 690);
        if (c < 4) {
            EXPECT_EQ(chunk.size(), 10009u);
        }
    }
    EXPECT_NE(api_.sent[5].find("Q9.TMP"), std::string::npos);
    EXPECT_EQ(query_.Kind, 2);
}

TEST_F(QueryRecordTest, UploadKeepsLinesAsTheyAreAndOpensAnEmptyFile) {
    testsupport::ScopedTempDir dir;
    testsupport::WriteFile(dir.Path() + "/k.txt", " a1 \r\n\r\nb2\nc3");
    api_.Queue("T1");
    ASSERT_TRUE(UploadKeyListFile(api_, query_, dir.Path() + "/k.txt", 2));
    EXPECT_EQ(api_.sent[1], "TALQWriteTempFile,ANN,pw,Proj,T1, a1 " + RS + RS + "b2" + RS + "c3");
    testsupport::WriteFile(dir.Path() + "/empty.txt", "");
    api_.sent.clear();
    api_.Queue("T2");
    ASSERT_TRUE(UploadKeyListFile(api_, query_, dir.Path() + "/empty.txt", 0));
    ASSERT_EQ(api_.sent.size(), 3u);  // delete of T1, create, first set
    EXPECT_EQ(api_.sent[0], "TALQDeleteFile,T1");
    EXPECT_EQ(api_.sent[2].rfind("TALQQueryScroll", 0), 0u);
}

TEST_F(QueryRecordTest, UploadFailuresAreReportedAndUnreadableFilesSendNothing) {
    EXPECT_FALSE(UploadKeyListFile(api_, query_, "/no/such/file.txt", 0));
    EXPECT_TRUE(api_.sent.empty());
    ASSERT_EQ(prompts_.Messages().size(), 1u);
    EXPECT_EQ(prompts_.Records().back().title, "Unable to open file");
    EXPECT_EQ(prompts_.Records().back().style, platform::vbCritical);

    testsupport::ScopedTempDir dir;
    testsupport::WriteFile(dir.Path() + "/k.txt", "A\r\nB\r\n");
    api_.Queue("ERROR", false);
    EXPECT_FALSE(UploadKeyListFile(api_, query_, dir.Path() + "/k.txt", 0));
    EXPECT_EQ(prompts_.Messages().back(), "Unable to create temporary file on Server");

    api_.Queue("T3");
    api_.Queue("ERROR", false);
    UploadKeyListFile(api_, query_, dir.Path() + "/k.txt", 0);
    EXPECT_EQ(prompts_.Messages().back(), "Error Writing to File on Server");
    EXPECT_EQ(prompts_.Records().back().title, "Error");
}

TEST_F(QueryRecordTest, SortStartNeedsExactOkAndStatusRepliesAreRead) {
    EXPECT_FALSE(StartQuerySort(api_, query_, 0));  // nothing open
    EXPECT_TRUE(api_.sent.empty());
    api_.Queue(Reply("A", "", {"A"}));
    ASSERT_TRUE(OpenServerQuery(api_, query_, 2, "OLD", 1, 2000));
    api_.Queue("ok");
    EXPECT_FALSE(StartQuerySort(api_, query_, 1));
    EXPECT_EQ(api_.sent.back(), "TALQStartQuerySort,1,OLD,1,1");
    api_.Queue("OK");
    EXPECT_TRUE(StartQuerySort(api_, query_, 0));

    std::string text;
    std::int16_t status = 0;
    api_.Queue("1,0,Sorting 10 of 20");
    EXPECT_TRUE(CheckBackgroundStatus(api_, query_, text, status));
    EXPECT_EQ(text, "Sorting 10 of 20");
    EXPECT_EQ(api_.sent.back(), "BackGroundStatus,0");
    api_.Queue("0,3,whatever");
    EXPECT_FALSE(CheckBackgroundStatus(api_, query_, text, status));
    EXPECT_EQ(status, 3);
    EXPECT_EQ(query_.ServerFile, "OLD");
    // A sorted list whose first set cannot be read leaves the unsorted one
    // as it was, and is deleted.
    status = 0;
    api_.Queue("0,0,LOST");
    api_.Queue("ERROR: Query Store Unavailable", false);
    EXPECT_FALSE(CheckBackgroundStatus(api_, query_, text, status));
    EXPECT_EQ(api_.sent.back(), "TALQDeleteFile,LOST");
    EXPECT_EQ(query_.ServerFile, "OLD");
    EXPECT_EQ(query_.KeyList, "A");
    EXPECT_EQ(query_.RowCount, 1);
    api_.Queue("0,0,NEW");
    api_.Queue(Reply("Z", "", {"Z"}));
    api_.Queue("OK");  // the delete of OLD
    EXPECT_FALSE(CheckBackgroundStatus(api_, query_, text, status));
    EXPECT_EQ(api_.sent.back(), "TALQDeleteFile,OLD");
    EXPECT_EQ(query_.ServerFile, "NEW");
    EXPECT_EQ(query_.Kind, 2);
    EXPECT_EQ(query_.Level, 1);
    EXPECT_EQ(query_.KeyList, "Z");
}

}  // namespace
