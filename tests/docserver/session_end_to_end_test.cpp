// Session operations end to end: the session object against a talq-server
// process and the local-access library over a demo system.
#include <gtest/gtest.h>

#include <QImage>

#include <algorithm>
#include <memory>
#include <vector>

#include "demo/demo_database.h"
#include "demo/demo_system.h"
#include "engine/command_engine.h"
#include "engine/system_db.h"
#include "foundation/mod_registry.h"
#include "server/talq_client_api.h"
#include "support/scoped_env.h"
#include "support/server_process.h"

namespace {

struct Page {
    std::string key;
    int level;
};

class DemoSession : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new testsupport::ScopedTempDir();
        docserver::demo::DemoOptions options;
        options.seed = 11;
        options.pages = 160;
        auto demo = docserver::demo::GenerateDemoSystem(Sys(), options);
        docserver::demo::WriteDemoSystem(Sys(), demo);
        docserver::SystemDb db;
        std::string error;
        ASSERT_TRUE(db.Open(Sys() + "/system.db", false, error)) << error;
        docserver::Statement s(
            db,
            "SELECT image_key, bndry_level FROM pages WHERE project_id = "
            "(SELECT project_id FROM projects WHERE name = 'ACME') ORDER BY seq");
        pages_ = new std::vector<Page>();
        while (s.Step()) pages_->push_back({s.Text(0), static_cast<int>(s.Int(1))});
    }
    static void TearDownTestSuite() {
        delete pages_;
        delete dir_;
    }
    static std::string Sys() { return dir_->Path() + "/demo"; }
    static const std::vector<Page>& Pages() { return *pages_; }

    // A session of the user on ACME over TCP.
    std::unique_ptr<TalqClientAPI> Open(const std::string& user, const std::string& password) {
        if (!server_) server_ = std::make_unique<testsupport::ServerProcess>(Sys());
        auto api = std::make_unique<TalqClientAPI>();
        EXPECT_GT(server_->Port(), 0) << server_->Output();
        EXPECT_TRUE(api->OpenTalqConnection(0, "DOM", "127.0.0.1", server_->Port(), 0, 0, 20))
            << api->LastError();
        EXPECT_TRUE(api->TalqLogin(user, password, 1)) << api->LastError();
        EXPECT_TRUE(api->SelectProject("ACME")) << api->LastError();
        return api;
    }

    static std::vector<std::string> Walk(TalqClientAPI& api, bool forward, std::int16_t level) {
        std::vector<std::string> keys;
        std::string key, next;
        while (forward ? api.NextKey(key, level, next) : api.PrevKey(key, level, next)) {
            keys.push_back(next);
            key = next;
            if (keys.size() > 100000) break;
        }
        return keys;
    }

    static inline testsupport::ScopedTempDir* dir_ = nullptr;
    static inline std::vector<Page>* pages_ = nullptr;
    std::unique_ptr<testsupport::ServerProcess> server_;
};

TEST_F(DemoSession, LoginListsBothProjectsAndTheRecordDescribesTheLevels) {
    auto api = Open("admin", "admin");
    EXPECT_EQ(api->GetTalqProjectList(0), std::string("ACME") + char(30) + "HARBOR");
    EXPECT_EQ(api->BndryNbr(), 3);
    EXPECT_EQ(api->ResolveLevel2Bndry(api->ResolveBndry2Level("D")), "D");
    EXPECT_FALSE(TalqClientAPI().TalqLogin("admin", "admin", 1));
    TalqClientAPI wrong;
    ASSERT_TRUE(wrong.OpenTalqConnection(0, "DOM", "127.0.0.1", server_->Port(), 0, 0, 20));
    EXPECT_FALSE(wrong.TalqLogin("admin", "nope", 1));
    EXPECT_EQ(wrong.LastError(), "Invalid Login");
}

TEST_F(DemoSession, WalkingEveryPageVisitsEachKeyOnceInOrderBothWays) {
    std::vector<std::string> expected;
    for (const Page& p : Pages()) expected.push_back(p.key);
    auto api = Open("admin", "admin");
    EXPECT_EQ(Walk(*api, true, 0), expected);
    std::vector<std::string> back = Walk(*api, false, 0);
    std::reverse(back.begin(), back.end());
    EXPECT_EQ(back, expected);

    // The local-access library answers the same walk.
    modRegistry::RegSetString(modRegistry::HKEY_CURRENT_USER, "Software\\TALQTech\\VYNSYS\\Paths",
                              "Local", Sys() + "/");
    TalqClientAPI local;
    ASSERT_TRUE(local.OpenTalqConnection(2, "", "", 0, 0, 0, 0)) << local.LastError();
    ASSERT_TRUE(local.TalqLogin("admin", "admin", 1));
    ASSERT_TRUE(local.SelectProject("ACME"));
    EXPECT_EQ(Walk(local, true, 0), expected);
}

TEST_F(DemoSession, UnitStepsLandOnUnitStartsAndUnitsBoundTheirPages) {
    auto api = Open("admin", "admin");
    for (std::int16_t level : {1, 2, 3}) {
        std::vector<std::string> starts;
        for (const Page& p : Pages())
            if (p.level >= level) starts.push_back(p.key);
        ASSERT_FALSE(starts.empty());
        EXPECT_EQ(Walk(*api, true, level), starts) << level;
    }
    // A page in the middle of a document: its document's bounds hold it and
    // the scroll list of documents names the document's first page.
    std::size_t middle = Pages().size() / 2;
    while (Pages()[middle].level != 0) ++middle;
    const std::string& key = Pages()[middle].key;
    std::string beg, end;
    ASSERT_TRUE(api->GetBndryBegEndKey(key, 1, beg, end)) << api->LastError();
    EXPECT_LT(beg, key);
    EXPECT_GE(end, key);
    std::string list;
    std::int16_t marker = 9;
    std::int32_t count = 0, index = 0;
    ASSERT_TRUE(api->GetBndryScrollList(key, 1, list, marker, count, index));
    EXPECT_EQ(list.substr(0, 0), "");
    std::string atIndex;
    {
        std::size_t pos = 0;
        for (int i = 1; i < index; ++i) pos = list.find(',', pos) + 1;
        atIndex = list.substr(pos, list.find(',', pos) - pos);
    }
    EXPECT_GE(atIndex, beg);
    EXPECT_EQ(marker, 0);
    // Pages of the document that holds the key.
    index = 0;
    ASSERT_TRUE(api->GetBndryScrollList(key, 0, list, marker, count, index));
    EXPECT_EQ(list.substr(0, beg.size()), beg);
    EXPECT_EQ(list.substr(list.size() - end.size()), end);
}

TEST_F(DemoSession, ALockHeldByOneUserIsRefusedToAnotherUntilItsSessionEnds) {
    const std::string& key = Pages()[3].key;
    auto admin = Open("admin", "admin");
    auto reviewer = Open("reviewer", "review");
    ASSERT_TRUE(admin->SetPageLock(key)) << admin->LastError();
    EXPECT_TRUE(admin->SetPageLock(key));
    EXPECT_FALSE(reviewer->SetPageLock(key));
    EXPECT_EQ(reviewer->LastError().rfind("ERROR", 0), 0U);
    admin->RemovePageLock(key);
    ASSERT_TRUE(reviewer->SetPageLock(key));
    EXPECT_FALSE(admin->SetPageLock(key));
    reviewer->CloseTalqConnection();
    // The server notices the closed connection when it next polls.
    bool taken = false;
    for (int i = 0; i < 50 && !taken; ++i) taken = admin->SetPageLock(key);
    EXPECT_TRUE(taken);
}

TEST_F(DemoSession, TheRestrictedUserStaysInsideTheNavigationRange) {
    auto api = Open("reviewer", "review");
    std::vector<std::string> keys = Walk(*api, true, 0);
    ASSERT_FALSE(keys.empty());
    EXPECT_LT(keys.size(), Pages().size());
    EXPECT_EQ(keys.front(), Pages().front().key);
    std::string found;
    EXPECT_EQ(api->FindKey(Pages().back().key, found), 2);
    EXPECT_EQ(found, keys.back());
}

TEST_F(DemoSession, ImagesAtEachQualityDecodeToTheScaledPageSize) {
    auto api = Open("admin", "admin");
    const std::string& key = Pages()[1].key;
    std::string stored = api->GetImage(key, 0);
    ASSERT_FALSE(stored.empty()) << api->LastError();
    QImage full = QImage::fromData(reinterpret_cast<const uchar*>(stored.data()),
                                   static_cast<int>(stored.size()));
    ASSERT_FALSE(full.isNull());
    EXPECT_FLOAT_EQ(api->ScaleFactor(), 1.0F);
    for (std::int16_t quality : {1, 2}) {
        std::string bytes = api->GetImage(key, quality);
        QImage image = QImage::fromData(reinterpret_cast<const uchar*>(bytes.data()),
                                        static_cast<int>(bytes.size()));
        ASSERT_FALSE(image.isNull()) << quality;
        float scale = api->ScaleFactor();
        EXPECT_NEAR(scale, quality == 1 ? 1.0 / 3 : 0.5, 0.01);
        EXPECT_NEAR(image.width(), full.width() * scale, 2);
        EXPECT_NEAR(image.height(), full.height() * scale, 2);
    }
}

TEST_F(DemoSession, PageInformationWordsTextDatesAndDescriptionsComeBack) {
    auto api = Open("admin", "admin");
    const std::string& key = Pages()[1].key;
    std::int32_t level = -1, rotation = -1, mark = -1;
    std::string info, text;
    ASSERT_TRUE(api->GetImagePageInfo(key, level, rotation, mark, info, text));
    EXPECT_FALSE(api->IsPlaceHolderImage());
    EXPECT_FALSE(info.empty());
    ASSERT_TRUE(api->SetImageRotation(key, 1));
    ASSERT_TRUE(api->GetImagePageInfo(key, level, rotation, mark, info, text));
    EXPECT_EQ(rotation, 1);

    std::string ocr, words;
    ASSERT_TRUE(api->GetPageOCR(key, ocr));
    std::int32_t w = 0, h = 0, dx = 0, dy = 0;
    ASSERT_TRUE(api->GetWordList(key, w, h, dx, dy, words));
    EXPECT_GT(w, 0);
    std::string firstWord = words.substr(0, words.find('|'));
    EXPECT_NE(ocr.find(firstWord), std::string::npos);
    std::string buffer;
    ASSERT_TRUE(api->GetWordBuf(key, "0", std::to_string(ocr.size()), buffer));
    EXPECT_EQ(buffer.substr(0, firstWord.size()), firstWord);

    EXPECT_TRUE(api->PutPageDate(key, "19990102"));
    EXPECT_EQ(api->GetPageDate(key), "19990102");
    EXPECT_TRUE(api->PutFolderDescription(key, 2, "Letters, mostly"));
    EXPECT_EQ(api->GetFolderDescription(key, 2), "Letters, mostly");
    EXPECT_FALSE(api->SetImageBndryLevel(key, 7));
    std::string text2 = api->GetTextImage("One line, and another");
    EXPECT_FALSE(QImage::fromData(reinterpret_cast<const uchar*>(text2.data()),
                                  static_cast<int>(text2.size()))
                     .isNull());
}

TEST_F(DemoSession, PlaceholdersAndOriginalFilesRenderPageByPage) {
    docserver::SystemDb db;
    std::string error;
    ASSERT_TRUE(db.Open(Sys() + "/system.db", false, error));
    docserver::Statement placeholder(db, "SELECT image_key FROM pages WHERE placeholder = 1");
    docserver::Statement original(db,
                                  "SELECT original_file FROM pages WHERE original_file <> '' "
                                  "AND restricted = 0 LIMIT 1");
    auto api = Open("admin", "admin");
    if (placeholder.Step()) {
        std::int32_t a = 0, b = 0, c = 0;
        std::string info, text;
        ASSERT_TRUE(api->GetImagePageInfo(placeholder.Text(0), a, b, c, info, text));
        EXPECT_TRUE(api->IsPlaceHolderImage());
    }
    ASSERT_TRUE(original.Step());
    std::string file = original.Text(0);
    int pages = 0;
    for (int page = 1; page < 40; ++page) {
        std::string bytes = api->GetStellantImage(file, page, "1");
        ASSERT_FALSE(bytes.empty()) << api->LastError();
        if (bytes == "EOF") break;
        EXPECT_GE(bytes.size(), 200U);
        ++pages;
    }
    EXPECT_GT(pages, 0);
    EXPECT_EQ(api->GetStellantImage("system.db", 1, "1"), "");
    EXPECT_EQ(api->GetStellantImage("originals/../system.db", 1, "1"), "");
}

// Every pixel of a page is black or white.
bool BlackAndWhite(const QImage& image) {
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height(); ++y) {
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb p = rgb.pixel(x, y);
            if (p != qRgb(0, 0, 0) && p != qRgb(255, 255, 255)) return false;
        }
    }
    return true;
}

QImage Decoded(const std::string& bytes) {
    return QImage::fromData(reinterpret_cast<const uchar*>(bytes.data()),
                            static_cast<int>(bytes.size()));
}

TEST_F(DemoSession, OriginalsComeInTheModeAskedAndEndOnlyPastTheLastPage) {
    auto api = Open("admin", "admin");
    docserver::SystemDb db;
    std::string error;
    ASSERT_TRUE(db.Open(Sys() + "/system.db", false, error));
    for (const char* ext : {".pdf", ".tif", ".txt"}) {
        docserver::Statement s(db,
                               "SELECT original_file, COUNT(*) FROM pages WHERE restricted = 0 "
                               "AND original_file LIKE ? GROUP BY original_file LIMIT 1");
        s.Bind(1, std::string("%") + ext);
        ASSERT_TRUE(s.Step()) << ext;
        const std::string file = s.Text(0);
        int pages = 0;
        std::string bytes;
        while ((bytes = api->GetStellantImage(file, pages + 1, "0")) != "EOF" && pages < 40) {
            ASSERT_GE(bytes.size(), 200U) << file << " " << api->LastError();
            EXPECT_TRUE(BlackAndWhite(Decoded(bytes))) << file;
            ++pages;
        }
        EXPECT_EQ(bytes, "EOF") << file;
        if (std::string(ext) != ".txt") {
            EXPECT_EQ(pages, s.Int(1)) << file;
        }
        // Colour comes as more than one bit a pixel; going back works.
        const QImage colour = Decoded(api->GetStellantImage(file, pages, "1"));
        ASSERT_FALSE(colour.isNull()) << file;
        EXPECT_GT(colour.depth(), 1) << file;
        EXPECT_EQ(api->GetStellantImage(file, pages + 1, "1"), "EOF");
    }
}

TEST_F(DemoSession, OriginalsAreWithheldFromUsersWhoMayNotSeeTheirPages) {
    docserver::SystemDb db;
    std::string error;
    ASSERT_TRUE(db.Open(Sys() + "/system.db", false, error));
    // The reviewer reaches the first half of ACME: an original of the last
    // page lies outside, one of the first page inside.
    // The reads end before the writes below: a reader's old snapshot could not
    // be turned into a write once the server has written since.
    std::string outside, inside;
    {
        docserver::Statement last(db,
                                  "SELECT original_file FROM pages WHERE original_file <> '' "
                                  "AND restricted = 0 ORDER BY seq DESC LIMIT 1");
        docserver::Statement first(db,
                                   "SELECT original_file FROM pages WHERE original_file <> '' "
                                   "AND restricted = 0 ORDER BY seq LIMIT 1");
        ASSERT_TRUE(last.Step());
        ASSERT_TRUE(first.Step());
        outside = last.Text(0);
        inside = first.Text(0);
    }
    auto reviewer = Open("reviewer", "review");
    EXPECT_EQ(reviewer->GetStellantImage(outside, 1, "1"), "");
    EXPECT_EQ(reviewer->LastError(), "Could Not Retrieve Stellant Image");
    EXPECT_GE(reviewer->GetStellantImage(inside, 1, "1").size(), 200U);
    auto admin = Open("admin", "admin");
    EXPECT_GE(admin->GetStellantImage(outside, 1, "1").size(), 200U);

    // Once every page naming it is restricted, nobody gets it.
    docserver::Statement restrict(db, "UPDATE pages SET restricted = 1 WHERE original_file = ?");
    ASSERT_TRUE(restrict.Bind(1, inside).Run());
    EXPECT_EQ(reviewer->GetStellantImage(inside, 1, "1"), "");
    EXPECT_EQ(admin->GetStellantImage(inside, 1, "1"), "");
    docserver::Statement undo(db, "UPDATE pages SET restricted = 0 WHERE original_file = ?");
    ASSERT_TRUE(undo.Bind(1, inside).Run());
}

TEST_F(DemoSession, OnlyAUserWithABoundaryRightChangesLevelsDatesAndDescriptions) {
    const std::string key = Pages()[Pages().size() / 4].key;
    auto reviewer = Open("reviewer", "review");
    EXPECT_FALSE(reviewer->SetImageBndryLevel(key, 1));
    EXPECT_FALSE(reviewer->PutPageDate(key, "19990101"));
    EXPECT_EQ(reviewer->LastError(), "ERROR: Insufficient Security Level");
    EXPECT_FALSE(reviewer->PutFolderDescription(key, 2, "Theirs"));
    auto admin = Open("admin", "admin");
    EXPECT_TRUE(admin->PutPageDate(key, "19990101"));
    EXPECT_TRUE(admin->PutFolderDescription(key, 2, "Ours"));
    EXPECT_EQ(reviewer->GetFolderDescription(key, 2), "Ours");
    EXPECT_EQ(reviewer->GetPageDate(key), "19990101");
}

// The engine's reading of commands where the client cannot be made to send
// the odd forms.
class DemoEngine : public DemoSession {
  protected:
    void SetUp() override {
        std::string error;
        engine_ = docserver::CommandEngine::Open(Sys(), error);
        ASSERT_TRUE(engine_) << error;
        state_.session = "test:1";
        ASSERT_EQ(Run("TALQRequiredLogin,admin,admin,,D,1,8.6,1").substr(0, 1), "1");
        ASSERT_NE(Run("TALQGetProjectInfo,admin,admin,ACME").rfind("ERROR", 0), 0U);
    }
    std::string Run(const std::string& command) { return engine_->Execute(state_, command); }
    std::unique_ptr<docserver::CommandEngine> engine_;
    docserver::ConnectionState state_;
};

TEST_F(DemoEngine, ScrollWindowHoldsTheKeysUnitAndMarksWhatWasCut) {
    const std::string& key = Pages()[Pages().size() / 2].key;
    std::string all = Run("TALQGetScroll,admin,admin,ACME," + key + ",1,20000");
    ASSERT_NE(all.rfind("ERROR", 0), 0U) << all;
    std::string cut = Run("TALQGetScroll,admin,admin,ACME," + key + ",1,1");
    EXPECT_EQ(cut.substr(0, cut.find(',')), "BOTH") << cut;
    int boxes = 0;
    for (const Page& p : Pages()) boxes += p.level >= 3 ? 1 : 0;
    ASSERT_GT(boxes, 1);
    EXPECT_EQ(Run("TALQGetScroll,admin,admin,ACME," + Pages().front().key + ",3,1"),
              "MOREAFTER," + Pages().front().key);
    std::string boxList = Run("TALQGetScroll,admin,admin,ACME," + Pages().front().key + ",3,5000");
    EXPECT_EQ(boxList.substr(0, 4), "ALL,");
    EXPECT_EQ(std::count(boxList.begin(), boxList.end(), ','), boxes);
}

TEST_F(DemoEngine, FreeTextFieldsKeepTheirCommasAndFixedFieldsReadFromTheEnd) {
    const std::string& key = Pages()[2].key;
    EXPECT_EQ(Run("TALQFindKey,admin,admin,ACME," + key), "4," + key);
    EXPECT_EQ(Run("TALQFindKey,admin,admin,ACME," + key + ",x").substr(0, 2), "5,");
    EXPECT_EQ(Run("TALQPutFolderDescription,admin,admin,ACME," + key + ",3,A, B, C"), "OK");
    EXPECT_EQ(Run("TALQGetFolderDescription,admin,admin,ACME," + key + ",3"), "A, B, C");
    EXPECT_EQ(Run("TALQNextKey,admin,admin,ACME,,0"), Pages().front().key);
    EXPECT_EQ(Run("TALQPrevKey,admin,admin,ACME,,0"), Pages().back().key);
    EXPECT_EQ(Run("TALQNextKey,admin,admin,ACME," + Pages().back().key + ",0"), "NONE");
    EXPECT_EQ(Run("TALQGetPageOcr,,,," + key).empty(), false);
    EXPECT_EQ(Run("TALQPutPageInfo,admin,admin,ACME," + key + ",,9").rfind("ERROR", 0), 0U);
    EXPECT_EQ(Run("TALQDTPutDate,admin,admin,ACME," + key).rfind("ERROR", 0), 0U);
}

TEST_F(DemoEngine, CommandsWithoutAUserNeedALoggedInConnection) {
    docserver::ConnectionState stranger;
    const std::string& key = Pages()[2].key;
    EXPECT_EQ(engine_->Execute(stranger, "TALQGetPageOcr,,,," + key).rfind("ERROR", 0), 0U);
    EXPECT_EQ(engine_->Execute(stranger, "TALQSendTextImage,hello").rfind("ERROR", 0), 0U);
    EXPECT_EQ(engine_->Execute(stranger, "TALQGetPageWBuf,,,," + key + ",0,9").rfind("ERROR", 0),
              0U);
    EXPECT_EQ(Run("TALQSendStellantImage,tmp/x.txt,1,1").rfind("ERROR", 0), 0U);
}

TEST_F(DemoEngine, AnOriginalPageThatCannotBeRenderedIsAnErrorNotTheEnd) {
    const std::string& key = Pages()[1].key;
    testsupport::WriteFile(Sys() + "/originals/broken.pdf", "%PDF-1.4 cut short");
    docserver::Statement s(
        engine_->Db(), "UPDATE pages SET original_file = ?, restricted = 0 WHERE image_key = ?");
    ASSERT_TRUE(s.Bind(1, std::string("originals/broken.pdf")).Bind(2, key).Run());
    EXPECT_EQ(Run("TALQSendStellantImage,originals/broken.pdf,1,1"),
              "ERROR: Unable to Render Original File");
    EXPECT_EQ(Run("TALQSendStellantImage,originals/broken.pdf,2,1"),
              "ERROR: Unable to Render Original File");
}

}  // namespace
