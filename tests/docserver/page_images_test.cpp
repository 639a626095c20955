// What the server prepares from stored page images and keeps in cache/:
// gone when the image is replaced, and burns kept apart by redaction list so
// none reaches a user it was not made for.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>

#include "engine/command_engine.h"
#include "engine/lock_holders.h"
#include "engine/system_db.h"
#include "imaging/page_files.h"
#include "support/scoped_env.h"
#include "test_system.h"

namespace {

using docserver::CommandEngine;
using docserver::ConnectionState;

const std::string kAdmin = "ADMIN,SECRET,Demo Project";
const std::string kOpaque = "OPAQUE,pw,Demo Project";

// A white bitonal page at 300 dpi.
std::string WhitePage(int width, int height, int mark) {
    QImage page(width, height, QImage::Format_RGB32);
    page.fill(Qt::white);
    page.setPixel(mark, mark, qRgb(0, 0, 0));
    page.setDotsPerMeterX(11811);
    page.setDotsPerMeterY(11811);
    return docserver::imaging::EncodeG4Tiff({page.convertToFormat(QImage::Format_Mono)});
}

std::string Redaction(int left, int top, int right, int bottom) {
    const std::string f(1, 31);
    return std::to_string(left) + f + std::to_string(top) + f + std::to_string(right) + f +
           std::to_string(bottom) + f + "0" + f + f + "0" + f + "0" + f + "0" + f + "0" + f + "0" +
           f + f;
}

class PageImages : public ::testing::Test {
  protected:
    void SetUp() override {
        sys_ = dir_.Path() + "/sys";
        testsupport::MakeQuerySystem(sys_, 12, 0);
        ASSERT_TRUE(
            docserver::imaging::WriteWholeFile(sys_ + "/images/p1.tif", WhitePage(900, 600, 1)));
        std::string error;
        engine_ = CommandEngine::Open(sys_, error);
        ASSERT_TRUE(engine_) << error;
        ASSERT_TRUE(
            engine_->Db().Exec("UPDATE pages SET image_file = 'images/p1.tif' WHERE seq = 1;"
                               "INSERT INTO users(user_id, password) VALUES ('OPAQUE', 'pw');"
                               "INSERT INTO user_projects VALUES ('OPAQUE', 1, 32768, '', '');",
                               error))
            << error;
        ASSERT_EQ(Run(admin_, "TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1").substr(0, 1), "1");
        ASSERT_EQ(Run(opaque_, "TALQRequiredLogin,OPAQUE,pw,,DOM,1,8.6,1").substr(0, 1), "1");
    }
    std::string Run(ConnectionState& state, const std::string& command) {
        return engine_->Execute(state, command);
    }
    std::vector<std::string> CacheEntries() {
        std::vector<std::string> names;
        if (DIR* d = ::opendir((sys_ + "/cache").c_str())) {
            while (const dirent* e = ::readdir(d))
                if (e->d_name[0] != '.') names.push_back(e->d_name);
            ::closedir(d);
        }
        return names;
    }
    // Grey of a pixel of the page as the user receives it.
    int Pixel(ConnectionState& state, const std::string& p, const char* quality, int x, int y) {
        const std::string reply = Run(state, "TALQSendClientImage," + p + ",K00001," + quality);
        if (reply.size() <= 8) return -1;
        const double scale = std::stod(reply.substr(0, reply.find('\0')));
        const QImage image = docserver::imaging::DecodeImage(reply.substr(8));
        if (image.isNull()) return -1;
        return qGray(image.pixel(static_cast<int>(x * scale), static_cast<int>(y * scale)));
    }

    testsupport::ScopedTempDir dir_;
    std::string sys_;
    std::unique_ptr<CommandEngine> engine_;
    ConnectionState admin_, opaque_;
};

TEST_F(PageImages, ReplacingAPageImageDropsWhatWasPreparedFromIt) {
    ASSERT_NE(Pixel(admin_, kAdmin, "100", 10, 10), -1);
    ASSERT_EQ(CacheEntries().size(), 1u);
    for (int mark = 2; mark < 5; ++mark) {
        const std::string tiff = WhitePage(900, 600, mark);
        ASSERT_EQ(Run(admin_, "TALQStoreImageFile," + kAdmin + ",K00001,2,0,0," +
                                  std::to_string(tiff.size()) + "," + tiff),
                  "OK");
        ASSERT_NE(Pixel(admin_, kAdmin, "100", 10, 10), -1);
        EXPECT_EQ(CacheEntries().size(), 1u) << "replacement " << mark;
    }
}

// A store whose commit fails leaves the page as the database describes it:
// the image it names, not the one refused. A deferred constraint breaks the
// commit itself, after the new file went into place.
TEST_F(PageImages, AStoreWhoseCommitFailsKeepsTheOldImage) {
    std::string error;
    auto breakCommits = [&](bool on) {
        ASSERT_TRUE(engine_->Db().Exec(
            on ? "CREATE TABLE guard(id INTEGER PRIMARY KEY);"
                 "CREATE TABLE guarded(id INTEGER REFERENCES guard(id) "
                 "DEFERRABLE INITIALLY DEFERRED);"
                 "CREATE TRIGGER break_commit AFTER UPDATE OF image_file ON pages "
                 "BEGIN INSERT INTO guarded VALUES (1); END;"
               : "DROP TRIGGER break_commit; DROP TABLE guarded; DROP TABLE guard;",
            error))
            << error;
    };
    auto store = [&](const std::string& tiff) {
        return Run(admin_, "TALQStoreImageFile," + kAdmin + ",K00001,2,0,0," +
                               std::to_string(tiff.size()) + "," + tiff);
    };
    auto named = [&] {
        docserver::Statement s(engine_->Db(), "SELECT image_file FROM pages WHERE seq = 1");
        std::string bytes;
        if (s.Row()) docserver::imaging::ReadWholeFile(sys_ + "/" + s.Text(0), bytes);
        return bytes;
    };
    auto leftovers = [&] {
        int n = 0;
        if (DIR* d = ::opendir((sys_ + "/images").c_str())) {
            while (const dirent* e = ::readdir(d)) {
                const std::string name = e->d_name;
                n += name.size() > 4 && (name.substr(name.size() - 4) == ".old" ||
                                         name.substr(name.size() - 5) == ".part");
            }
            ::closedir(d);
        }
        return n;
    };
    const std::string first = named();
    ASSERT_FALSE(first.empty());
    // First under a new name, then over the file of the same name.
    for (int mark = 2; mark < 4; ++mark) {
        breakCommits(true);
        const std::string kept = named();
        const std::string reply = store(WhitePage(900, 600, mark));
        EXPECT_EQ(reply.rfind("ERROR: Unable to Store Image: ", 0), 0u) << reply;
        EXPECT_NE(reply.find("FOREIGN KEY"), std::string::npos) << reply;
        EXPECT_TRUE(named() == kept) << "mark " << mark;
        EXPECT_EQ(leftovers(), 0);
        breakCommits(false);
        const std::string tiff = WhitePage(900, 600, mark + 10);
        ASSERT_EQ(store(tiff), "OK");
        EXPECT_TRUE(named() == tiff);
        EXPECT_EQ(leftovers(), 0);
    }
    {
        docserver::Statement pending(engine_->Db(), "SELECT COUNT(*) FROM image_stores");
        EXPECT_TRUE(pending.Row() && pending.Int(0) == 0);
    }
    EXPECT_NE(Pixel(admin_, kAdmin, "100", 10, 10), -1);
}

// A store killed between putting its file in place and its commit leaves
// a row naming it; opening the system puts back the image the database
// still describes. A row of a store another process is still making is
// left alone, and a store of a page whose last store committed keeps it.
TEST_F(PageImages, AStoreKilledBeforeItsCommitLeavesTheOldImage) {
    const std::string path = "images/upload_1_1.tif";
    const std::string full = sys_ + "/" + path;
    auto store = [&](const std::string& tiff) {
        return Run(admin_, "TALQStoreImageFile," + kAdmin + ",K00001,2,0,0," +
                               std::to_string(tiff.size()) + "," + tiff);
    };
    auto file = [&](const std::string& name) {
        std::string bytes;
        docserver::imaging::ReadWholeFile(name, bytes);
        return bytes;
    };
    auto named = [&] {
        docserver::Statement s(engine_->Db(), "SELECT image_file FROM pages WHERE seq = 1");
        return s.Row() ? s.Text(0) : std::string();
    };
    auto pending = [&] {
        docserver::Statement s(engine_->Db(), "SELECT COUNT(*) FROM image_stores");
        return s.Row() ? s.Int(0) : -1;
    };
    auto reopen = [&] {
        engine_.reset();
        std::string error;
        engine_ = CommandEngine::Open(sys_, error);
        ASSERT_TRUE(engine_) << error;
        admin_ = ConnectionState();
        ASSERT_EQ(Run(admin_, "TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1").substr(0, 1), "1");
    };
    // The state a store leaves when killed after its rename.
    auto killedStore = [&](const std::string& owner, const std::string& now,
                           const std::string& before) {
        ASSERT_TRUE(docserver::imaging::WriteWholeFile(full, now));
        ASSERT_TRUE(docserver::imaging::WriteWholeFile(full + ".old", before));
        docserver::Statement add(engine_->Db(),
                                 "INSERT INTO image_stores(path, kept, owner, started) "
                                 "VALUES (?, 1, ?, '2026-01-01T00:00:00')");
        ASSERT_TRUE(add.Bind(1, path).Bind(2, owner).Run()) << add.Error();
    };
    // Systems made before stores were recorded gain the record.
    std::string error;
    ASSERT_TRUE(engine_->Db().Exec("DROP TABLE image_stores", error)) << error;
    reopen();
    const std::string committed = WhitePage(900, 600, 2);
    ASSERT_EQ(store(committed), "OK");
    ASSERT_EQ(named(), path);
    EXPECT_EQ(pending(), 0);

    // Its owner's pid runs no more.
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ASSERT_GT(child, 0);
    ::waitpid(child, nullptr, 0);
    std::string dead = docserver::ProcessIdentity();
    dead = dead.substr(0, dead.rfind(' '));
    dead = dead.substr(0, dead.rfind(' ') + 1) + std::to_string(child) + " -";
    killedStore(dead, WhitePage(900, 600, 3), committed);
    reopen();
    EXPECT_TRUE(file(full) == committed);
    EXPECT_FALSE(::access((full + ".old").c_str(), F_OK) == 0);
    EXPECT_EQ(named(), path);
    EXPECT_EQ(pending(), 0);

    // Found by the next store instead, it is undone before that one goes on.
    killedStore(dead, WhitePage(900, 600, 8), committed);
    ASSERT_EQ(store(committed), "OK");
    EXPECT_TRUE(file(full) == committed);
    EXPECT_EQ(pending(), 0);

    // Killed after its commit: the new image stays, the one aside goes.
    ASSERT_TRUE(docserver::imaging::WriteWholeFile(full + ".old", WhitePage(900, 600, 4)));
    reopen();
    EXPECT_TRUE(file(full) == committed);
    const std::string next = WhitePage(900, 600, 5);
    ASSERT_EQ(store(next), "OK");
    EXPECT_TRUE(file(full) == next);
    EXPECT_FALSE(::access((full + ".old").c_str(), F_OK) == 0);

    // A store this live process is making is not undone, nor raced.
    const std::string making = WhitePage(900, 600, 6);
    killedStore(docserver::ProcessIdentity(), making, next);
    reopen();
    EXPECT_TRUE(file(full) == making);
    EXPECT_TRUE(file(full + ".old") == next);
    EXPECT_EQ(pending(), 1);
    const std::string reply = store(WhitePage(900, 600, 7));
    EXPECT_EQ(reply.rfind("ERROR: Unable to Store Image: ", 0), 0u) << reply;
    EXPECT_TRUE(file(full) == making);
    EXPECT_TRUE(file(full + ".old") == next);
}

// A burn is kept too, at every quality, but only ever sent for the list it
// was made with and never to a user who sees through it.
TEST_F(PageImages, BurnedPagesAreKeptPerRedactionListAndUser) {
    std::string error;
    auto redact = [&](int left, int top, int right, int bottom) {
        ASSERT_EQ(Run(admin_, "TALQPutAnnotations," + kAdmin + ",K00001,4," +
                                  Redaction(left, top, right, bottom)),
                  "1");
    };
    redact(100, 100, 300, 300);
    for (const char* quality : {"0", "100"}) {
        const size_t before = CacheEntries().size();
        EXPECT_LT(Pixel(opaque_, kOpaque, quality, 200, 200), 30) << quality;
        EXPECT_EQ(CacheEntries().size(), before + 1) << quality << ": the burn is kept";
        EXPECT_LT(Pixel(opaque_, kOpaque, quality, 200, 200), 30) << quality << " again";
        EXPECT_GT(Pixel(admin_, kAdmin, quality, 200, 200), 200) << quality << " sees through";
    }
    redact(500, 300, 700, 500);
    for (const char* quality : {"0", "100"}) {
        EXPECT_GT(Pixel(opaque_, kOpaque, quality, 200, 200), 200) << quality << " old box";
        EXPECT_LT(Pixel(opaque_, kOpaque, quality, 600, 400), 30) << quality << " new box";
        EXPECT_GT(Pixel(admin_, kAdmin, quality, 600, 400), 200) << quality << " sees through";
    }
}

}  // namespace
