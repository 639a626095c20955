// The demo system generator: determinism, the shape of the projects, and the
// agreement between stored images, words and OCR text.

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <QDir>
#include <QImage>

#include <map>
#include <set>
#include <vector>

#include "demo/demo_database.h"
#include "demo/demo_system.h"
#include "engine/command_engine.h"
#include "foundation/text_match.h"
#include "imaging/original_files.h"
#include "imaging/page_files.h"
#include "support/scoped_env.h"

namespace {

using namespace docserver::demo;
using docserver::imaging::DecodeImage;
using docserver::imaging::IsInk;
using docserver::imaging::PageColour;
using docserver::imaging::PageSize;
using docserver::imaging::ReadWholeFile;

constexpr int kSmall = 48;

DemoOptions Small(std::uint64_t seed) {
    DemoOptions options;
    options.seed = seed;
    options.pages = kSmall;
    return options;
}

std::string FileBytes(const std::string& path) {
    std::string bytes;
    EXPECT_TRUE(ReadWholeFile(path, bytes)) << path;
    return bytes;
}

// One shared generation for the tests that only read it.
class DemoSystemTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new testsupport::ScopedTempDir;
        demo_ = new DemoSystem(GenerateDemoSystem(dir_->Path(), Small(7)));
    }
    static void TearDownTestSuite() {
        delete demo_;
        delete dir_;
    }
    static const DemoProject& Main() { return demo_->projects.front(); }
    static std::string PathOf(const std::string& relative) { return dir_->Path() + "/" + relative; }

    static testsupport::ScopedTempDir* dir_;
    static DemoSystem* demo_;
};

testsupport::ScopedTempDir* DemoSystemTest::dir_ = nullptr;
DemoSystem* DemoSystemTest::demo_ = nullptr;

TEST_F(DemoSystemTest, SameSeedGivesTheSameSystemAndFiles) {
    testsupport::ScopedTempDir other;
    const DemoSystem again = GenerateDemoSystem(other.Path(), Small(7));
    ASSERT_EQ(again.projects.size(), demo_->projects.size());
    for (std::size_t p = 0; p < again.projects.size(); ++p) {
        const auto& a = demo_->projects[p].pages;
        const auto& b = again.projects[p].pages;
        ASSERT_EQ(a.size(), b.size());
        for (std::size_t i = 0; i < a.size(); ++i) {
            EXPECT_EQ(a[i].key, b[i].key);
            EXPECT_EQ(a[i].level, b[i].level);
            EXPECT_EQ(a[i].info, b[i].info);
            EXPECT_EQ(a[i].imageFile, b[i].imageFile);
            EXPECT_EQ(a[i].originalFile, b[i].originalFile);
            EXPECT_EQ(a[i].content->words, b[i].content->words);
            EXPECT_EQ(a[i].content->ocrText, b[i].content->ocrText);
            if (!a[i].imageFile.empty() && i % 5 == 0) {
                EXPECT_EQ(FileBytes(PathOf(a[i].imageFile)),
                          FileBytes(other.Path() + "/" + b[i].imageFile))
                    << a[i].imageFile;
            }
        }
    }
    EXPECT_EQ(again.users.size(), demo_->users.size());
    EXPECT_EQ(again.users[1].projects[0].lastKey, demo_->users[1].projects[0].lastKey);

    testsupport::ScopedTempDir third;
    const DemoSystem different = GenerateDemoSystem(third.Path(), Small(8));
    EXPECT_NE(different.projects[0].pages[0].content->ocrText,
              demo_->projects[0].pages[0].content->ocrText);
}

TEST_F(DemoSystemTest, KeysAreInKeyOrderAndUnitsNestBoxesFoldersDocuments) {
    const auto& pages = Main().pages;
    ASSERT_EQ(static_cast<int>(pages.size()), kSmall);
    EXPECT_EQ(pages.front().level, kBoxLevel);
    for (std::size_t i = 1; i < pages.size(); ++i) {
        EXPECT_LT(mVBUtil::CompareTextNoCase(pages[i - 1].key, pages[i].key), 0) << pages[i].key;
    }
    // Documents run from one page with a level to the next; 1 to 20 pages.
    int documents = 0;
    std::size_t start = 0;
    for (std::size_t i = 1; i <= pages.size(); ++i) {
        if (i == pages.size() || pages[i].level >= kDocumentLevel) {
            ++documents;
            EXPECT_GE(i - start, 1u);
            EXPECT_LE(i - start, 20u);
            for (std::size_t j = start; j < i; ++j) {
                EXPECT_EQ(pages[j].date, pages[start].date);
                EXPECT_EQ(pages[j].originalFile, pages[start].originalFile);
            }
            start = i;
        }
    }
    EXPECT_GE(documents, 6);
    EXPECT_EQ(demo_->projects.size(), 2u);
}

TEST_F(DemoSystemTest, EveryFolderAndBoxHasADescription) {
    std::set<std::pair<int, int>> described;
    for (const auto& d : Main().descriptions) {
        EXPECT_FALSE(d.description.empty());
        described.insert({d.page, d.level});
    }
    for (std::size_t i = 0; i < Main().pages.size(); ++i) {
        const int level = Main().pages[i].level;
        for (int l = kFolderLevel; l <= level; ++l) {
            EXPECT_TRUE(described.count({static_cast<int>(i), l})) << i << " level " << l;
        }
    }
}

TEST_F(DemoSystemTest, PagesOfEveryKindAppear) {
    std::map<std::string, int> kinds;
    for (const auto& page : Main().pages) {
        if (page.placeholder) {
            ++kinds["placeholder"];
            EXPECT_TRUE(page.imageFile.empty());
            EXPECT_FALSE(page.content->ocrText.empty());
            EXPECT_TRUE(page.content->words.empty());
            continue;
        }
        if (page.restricted) ++kinds["restricted"];
        if (page.size == PageSize::Legal) ++kinds["legal"];
        if (page.size == PageSize::LetterLandscape) ++kinds["landscape"];
        if (page.colour == PageColour::Grey) ++kinds["grey"];
        if (page.colour == PageColour::Colour) ++kinds["colour"];
        EXPECT_EQ(page.info.size(), Main().infoFields.size());
        EXPECT_EQ(page.date.size(), 8u);
    }
    for (const char* kind : {"placeholder", "legal", "landscape", "grey", "colour"}) {
        EXPECT_GT(kinds[kind], 0) << kind;
    }
}

TEST_F(DemoSystemTest, StoredImagesCarryTheirWordsWhereTheyAreDrawn) {
    int checked = 0;
    for (const auto& page : Main().pages) {
        if (page.imageFile.empty() || checked++ % 4 != 0) continue;
        const QImage image = DecodeImage(FileBytes(PathOf(page.imageFile)));
        ASSERT_FALSE(image.isNull()) << page.imageFile;
        EXPECT_NEAR(image.dotsPerMeterX() * 0.0254, 300.0, 0.5);
        if (page.colour == PageColour::Bitonal) {
            EXPECT_EQ(image.depth(), 1) << page.imageFile;
            EXPECT_TRUE(page.imageFile.ends_with(".tif"));
        } else {
            EXPECT_TRUE(page.imageFile.ends_with(".jpg"));
        }
        EXPECT_EQ(image.size(), docserver::imaging::PagePixels(page.size));
        ASSERT_FALSE(page.content->words.empty());
        EXPECT_EQ(page.content->words.back().word, page.key);  // the page stamp
        const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
        for (const auto& w : page.content->words) {
            bool ink = false;
            for (int y = w.y; y < w.y + w.height && !ink; ++y) {
                for (int x = w.x; x < w.x + w.width && !ink; ++x) ink = IsInk(rgb.pixel(x, y));
            }
            EXPECT_TRUE(ink) << page.key << " " << w.word;
            EXPECT_NE(page.content->ocrText.find(w.word), std::string::npos);
        }
    }
}

TEST_F(DemoSystemTest, OriginalFilesOpenWithOnePagePerDocumentPage) {
    std::map<std::string, int> pagesPerOriginal;
    for (const auto& page : Main().pages) {
        if (!page.originalFile.empty()) ++pagesPerOriginal[page.originalFile];
    }
    std::set<std::string> kinds;
    for (const auto& [name, count] : pagesPerOriginal) {
        const auto file = docserver::imaging::OriginalFile::Open(PathOf(name));
        ASSERT_TRUE(file) << name;
        const std::string ext = name.substr(name.size() - 4);
        kinds.insert(ext);
        if (ext != ".txt") {
            EXPECT_EQ(file->PageCount(), count) << name;
        }
        EXPECT_GE(file->PageCount(), 1);
        EXPECT_EQ(docserver::imaging::RenderOriginalPage(PathOf(name), file->PageCount() + 1, true)
                      .outcome,
                  docserver::imaging::RenderedOriginal::kPastEnd);
    }
    EXPECT_EQ(kinds, (std::set<std::string>{".pdf", ".tif", ".txt"}));
}

TEST_F(DemoSystemTest, UsersHaveFullOrRestrictedRights) {
    ASSERT_EQ(demo_->users.size(), 2u);
    const DemoUser& admin = demo_->users[0];
    EXPECT_FALSE(admin.password.empty());
    EXPECT_EQ(admin.projects.size(), demo_->projects.size());
    for (const auto& p : admin.projects) {
        EXPECT_EQ(p.security & 0x1, 0x1);
        EXPECT_EQ(p.firstKey, "");
    }
    const DemoUser& reviewer = demo_->users[1];
    ASSERT_EQ(reviewer.projects.size(), 1u);
    const auto& access = reviewer.projects[0];
    EXPECT_EQ(access.security & 0x7, 0);   // may not change redactions
    EXPECT_NE(access.security & 0x80, 0);  // but sees them
    EXPECT_EQ(access.firstKey, Main().pages.front().key);
    EXPECT_LT(mVBUtil::CompareTextNoCase(access.lastKey, Main().pages.back().key), 0);
}

TEST(DemoLargeTest, LargeProjectsShareImagesButKeepEachPagesWordsWithItsImage) {
    testsupport::ScopedTempDir dir;
    DemoOptions options;
    options.large = true;
    options.pages = 300;
    const DemoSystem demo = GenerateDemoSystem(dir.Path(), options);
    std::map<std::string, const PageContent*> contentOfImage;
    for (const auto& page : demo.projects[0].pages) {
        if (page.imageFile.empty()) continue;
        const auto [it, inserted] = contentOfImage.insert({page.imageFile, page.content.get()});
        EXPECT_EQ(it->second, page.content.get()) << page.key;
    }
    EXPECT_LE(contentOfImage.size(), static_cast<std::size_t>(kSharedImages));
    EXPECT_EQ(demo.projects[0].pages.size(), 300u);
}

int Count(sqlite3* db, const char* sql) {
    sqlite3_stmt* stmt = nullptr;
    EXPECT_EQ(sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    int value = -1;
    if (sqlite3_step(stmt) == SQLITE_ROW) value = sqlite3_column_int(stmt, 0);
    sqlite3_finalize(stmt);
    return value;
}

TEST(DemoDatabaseTest, SystemDatabaseHoldsEveryUserProjectAndPage) {
    testsupport::ScopedTempDir dir;
    const DemoSystem demo = GenerateDemoSystem(dir.Path(), Small(3));
    WriteDemoSystem(dir.Path(), demo);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((dir.Path() + "/system.db").c_str(), &db), SQLITE_OK);
    const int pages =
        static_cast<int>(demo.projects[0].pages.size() + demo.projects[1].pages.size());
    EXPECT_EQ(Count(db, "SELECT COUNT(*) FROM pages"), pages);
    EXPECT_EQ(Count(db, "SELECT COUNT(*) FROM users"), 2);
    EXPECT_EQ(Count(db, "SELECT COUNT(*) FROM projects"), 2);
    EXPECT_EQ(Count(db, "SELECT COUNT(*) FROM boundary_levels WHERE project_id = 1"), 3);
    EXPECT_EQ(Count(db, "SELECT security FROM user_projects WHERE user_id = 'REVIEWER'"),
              kSecurityViewRedactions | kSecurityConfinedNavigation);
    EXPECT_EQ(Count(db, "SELECT level FROM boundary_levels WHERE project_id = 1 AND position = 3"),
              kDocumentLevel);
    EXPECT_EQ(Count(db, "SELECT bndry_3rd_party FROM projects WHERE project_id = 1"),
              kDocumentLevel);
    EXPECT_EQ(Count(db,
                    "SELECT COUNT(*) FROM pages WHERE placeholder = 1 AND image_file = '' "
                    "AND ocr_text <> ''"),
              Count(db, "SELECT COUNT(*) FROM pages WHERE placeholder = 1"));
    // Key order is seq order.
    EXPECT_EQ(Count(db,
                    "SELECT COUNT(*) FROM pages a JOIN pages b ON a.project_id = b.project_id "
                    "AND b.seq = a.seq + 1 WHERE b.image_key <= a.image_key"),
              0);
    // The word list of a page is the one of its image, in the viewer's form.
    EXPECT_EQ(Count(db,
                    "SELECT COUNT(*) FROM pages WHERE placeholder = 0 AND "
                    "instr(word_list, image_key || '|') = 0"),
              0);
    EXPECT_GT(Count(db, "SELECT COUNT(*) FROM folder_descriptions"), 0);
    EXPECT_GT(Count(db, "SELECT COUNT(*) FROM page_info"), 0);
    EXPECT_EQ(Count(db, "SELECT COUNT(*) FROM system_settings WHERE name = 'SchemaVersion'"), 1);
    sqlite3_close(db);
    for (const char* folder : {"tmp", "batch"}) {
        EXPECT_TRUE(QDir(QString::fromStdString(dir.Path() + "/" + folder)).exists()) << folder;
    }
    // A second write into the same system is refused rather than doubling it.
    EXPECT_THROW(WriteDemoSystem(dir.Path(), demo), std::runtime_error);
    ASSERT_EQ(sqlite3_open((dir.Path() + "/system.db").c_str(), &db), SQLITE_OK);
    EXPECT_EQ(Count(db, "SELECT COUNT(*) FROM pages"), pages);
    sqlite3_close(db);
}

TEST(DemoDatabaseTest, MainProjectShowsEveryBuiltFeatureAndTheSecondKeepsThePlainPaths) {
    testsupport::ScopedTempDir dir;
    const DemoSystem demo = GenerateDemoSystem(dir.Path(), Small(3));
    WriteDemoSystem(dir.Path(), demo);
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open((dir.Path() + "/system.db").c_str(), &db), SQLITE_OK);
    struct Case {
        const char* what;
        const char* sql;
        int expected;
    };
    const std::vector<Case> cases = {
        {"ACME searches notes, OCR text and dates",
         "SELECT full_text FROM projects WHERE name = 'ACME'", 13},
        {"HARBOR searches nothing", "SELECT full_text FROM projects WHERE name = 'HARBOR'", 0},
        {"every kind of annotation",
         "SELECT COUNT(DISTINCT kind) FROM annotations WHERE project_id = 1", 6},
        {"a labelled redaction",
         "SELECT COUNT(*) FROM annotations WHERE project_id = 1 AND kind = 4 AND "
         "instr(list_text, 'PRIVILEGED') > 0",
         1},
        {"a turned page", "SELECT COUNT(*) FROM pages WHERE project_id = 1 AND rotation = 1", 1},
        {"the marks on pages the reviewer reaches",
         "SELECT COUNT(*) FROM annotations a JOIN pages p ON p.project_id = a.project_id AND "
         "p.seq = a.seq WHERE p.restricted = 0 AND p.placeholder = 0 AND p.seq <= 24",
         6},
        {"none on HARBOR", "SELECT COUNT(*) FROM annotations WHERE project_id = 2", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(Count(db, c.sql), c.expected) << c.what;
    sqlite3_close(db);
}

TEST(DemoDatabaseTest, EngineLogsTheDemoUsersInAndOpensTheirProjects) {
    testsupport::ScopedTempDir dir;
    const DemoSystem demo = GenerateDemoSystem(dir.Path(), Small(5));
    WriteDemoSystem(dir.Path(), demo);
    std::string error;
    const auto engine = docserver::CommandEngine::Open(dir.Path(), error);
    ASSERT_TRUE(engine) << error;
    docserver::ConnectionState state;
    const std::string sep(1, docserver::kListSep);
    EXPECT_EQ(engine->Execute(state, "TALQRequiredLogin,admin,admin,,DOM,1,8.6,1"),
              "1" + sep + "-1" + sep + "System Administrator");
    EXPECT_EQ(engine->Execute(state, "TALQRequiredLogin,reviewer,wrong,,DOM,1,8.6,1"), "0");
    const std::string acme = engine->Execute(state, "TALQGetProjectInfo,admin,admin,ACME");
    EXPECT_EQ(acme.rfind("ERROR", 0), std::string::npos) << acme;
    const std::string section(1, docserver::kSectionSep);
    // Levels go out coarsest first, the document level last.
    EXPECT_NE(acme.find("Box" + section + "Folder" + section + "Document"), std::string::npos);
    EXPECT_EQ(engine->Execute(state, "TALQGetProjectInfo,reviewer,review,HARBOR").rfind("ERROR", 0),
              0u);  // the reviewer has no access there
}

// The word list request answers the image's size and resolution from the
// page row; they must be those of the stored image, whatever its colour.
TEST(DemoDatabaseTest, StoredImageSizesAreThoseOfTheImages) {
    testsupport::ScopedTempDir dir;
    const DemoSystem demo = GenerateDemoSystem(dir.Path(), Small(5));
    WriteDemoSystem(dir.Path(), demo);
    std::string error;
    const auto engine = docserver::CommandEngine::Open(dir.Path(), error);
    ASSERT_TRUE(engine) << error;
    docserver::ConnectionState state;
    ASSERT_EQ(engine->Execute(state, "TALQRequiredLogin,admin,admin,,DOM,1,8.6,1").substr(0, 1),
              "1");
    std::set<int> colours;
    for (const DemoPage& page : demo.projects[0].pages) {
        if (page.imageFile.empty() || !colours.insert(static_cast<int>(page.colour)).second)
            continue;
        const QImage image(QString::fromStdString(dir.Path() + "/" + page.imageFile));
        ASSERT_FALSE(image.isNull()) << page.imageFile;
        const std::string expected = std::to_string(image.width()) + "," +
                                     std::to_string(image.height()) + "," +
                                     std::to_string(qRound(image.dotsPerMeterX() * 0.0254)) + "," +
                                     std::to_string(qRound(image.dotsPerMeterY() * 0.0254)) + ",";
        const std::string reply =
            engine->Execute(state, "TALQGetWordList,admin,admin,ACME," + page.key);
        EXPECT_EQ(reply.substr(0, expected.size()), expected) << page.imageFile;
    }
    EXPECT_EQ(colours.size(), 3u) << "bitonal, grey and colour pages";
}

}  // namespace
