// What the server prepares from stored page images and keeps in cache/:
// gone when the image is replaced, and burns kept apart by redaction list so
// none reaches a user it was not made for; and stores of a page image, which
// never lose the image last committed nor tell OK of another's.
#include <dirent.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QImage>

#include <cerrno>
#include <ctime>
#include <latch>
#include <thread>

#include "engine/command_engine.h"
#include "engine/image_stores.h"
#include "engine/lock_holders.h"
#include "engine/system_db.h"
#include "imaging/page_files.h"
#include "support/scoped_env.h"
#include "test_system.h"

namespace {

using docserver::CommandEngine;
using docserver::ConnectionState;
using docserver::StoreStep;

const std::string kAdmin = "ADMIN,SECRET,Demo Project";
const std::string kOpaque = "OPAQUE,pw,Demo Project";
const std::string kLogin = "TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1";
const std::string kUnderWay =
    "ERROR: Unable to Store Image: another store of the page is under way";

std::string FileBytes(const std::string& path) {
    std::string bytes;
    docserver::imaging::ReadWholeFile(path, bytes);
    return bytes;
}

std::string UtcNow(std::time_t ahead = 0) {
    const std::time_t now = std::time(nullptr) + ahead;
    std::tm utc{};
    ::gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S", &utc);
    return text;
}

// A row's owner on this machine with the pid; its start time unknown, so a
// pid that runs is judged by the row's age.
std::string OwnerWithPid(pid_t pid) {
    std::string owner = docserver::ProcessIdentity();
    owner = owner.substr(0, owner.rfind(' '));
    return owner.substr(0, owner.rfind(' ') + 1) + std::to_string(pid) + " -";
}

// One whose pid runs no more.
std::string DeadProcess() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return OwnerWithPid(child);
}

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
        ASSERT_EQ(Run(admin_, kLogin).substr(0, 1), "1");
        ASSERT_EQ(Run(opaque_, "TALQRequiredLogin,OPAQUE,pw,,DOM,1,8.6,1").substr(0, 1), "1");
    }
    std::string Run(ConnectionState& state, const std::string& command) {
        return engine_->Execute(state, command);
    }
    // Page K00001's image, stored by the admin.
    std::string Store(CommandEngine& engine, ConnectionState& state, const std::string& tiff) {
        return engine.Execute(state, "TALQStoreImageFile," + kAdmin + ",K00001,2,0,0," +
                                         std::to_string(tiff.size()) + "," + tiff);
    }
    // An opening, as after a restart, recovers what stores left.
    void Reopen() {
        engine_.reset();
        std::string error;
        engine_ = CommandEngine::Open(sys_, error);
        ASSERT_TRUE(engine_) << error;
        admin_ = ConnectionState();
        ASSERT_EQ(Run(admin_, kLogin).substr(0, 1), "1");
    }
    int PendingStores() {
        docserver::Statement s(engine_->Db(), "SELECT COUNT(*) FROM image_stores");
        return s.Row() ? static_cast<int>(s.Int(0)) : -1;
    }
    // Files stores write beside the images: none once they ended.
    int Leftovers() {
        int n = 0;
        if (DIR* d = ::opendir((sys_ + "/images").c_str())) {
            while (const dirent* e = ::readdir(d)) {
                const std::string name = e->d_name;
                n += name.size() > 5 && (name.substr(name.size() - 4) == ".old" ||
                                         name.substr(name.size() - 5) == ".part");
            }
            ::closedir(d);
        }
        return n;
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
    auto named = [&] {
        docserver::Statement s(engine_->Db(), "SELECT image_file FROM pages WHERE seq = 1");
        std::string bytes;
        if (s.Row()) docserver::imaging::ReadWholeFile(sys_ + "/" + s.Text(0), bytes);
        return bytes;
    };
    const std::string first = named();
    ASSERT_FALSE(first.empty());
    // First under a new name, then over the file of the same name.
    for (int mark = 2; mark < 4; ++mark) {
        breakCommits(true);
        const std::string kept = named();
        const std::string reply = Store(*engine_, admin_, WhitePage(900, 600, mark));
        EXPECT_EQ(reply.rfind("ERROR: Unable to Store Image: ", 0), 0u) << reply;
        EXPECT_NE(reply.find("FOREIGN KEY"), std::string::npos) << reply;
        EXPECT_TRUE(named() == kept) << "mark " << mark;
        EXPECT_EQ(Leftovers(), 0);
        breakCommits(false);
        const std::string tiff = WhitePage(900, 600, mark + 10);
        ASSERT_EQ(Store(*engine_, admin_, tiff), "OK");
        EXPECT_TRUE(named() == tiff);
        EXPECT_EQ(Leftovers(), 0);
    }
    EXPECT_EQ(PendingStores(), 0);
    EXPECT_NE(Pixel(admin_, kAdmin, "100", 10, 10), -1);
}

// Two stores of one page at once, from two engines of one process as two
// connections of a server make them: a store is told OK only of an image
// the file then holds whole, the other is refused as under way or stored
// after it, and nothing of either is left beside the page.
TEST_F(PageImages, TwoStoresOfOnePageAtOnceLeaveOneWholeAcknowledgedImage) {
    std::string error;
    auto second = CommandEngine::Open(sys_, error);
    ASSERT_TRUE(second) << error;
    ConnectionState other;
    ASSERT_EQ(second->Execute(other, kLogin).substr(0, 1), "1");
    const std::string full = sys_ + "/images/upload_1_1.tif";
    for (int pair = 0; pair < 40; ++pair) {
        const std::string mine = WhitePage(900, 600, 2 + pair);
        const std::string theirs = WhitePage(900, 600, 300 + pair);
        std::latch start(2);
        std::string replyTheirs;
        std::thread racer([&] {
            start.arrive_and_wait();
            replyTheirs = Store(*second, other, theirs);
        });
        start.arrive_and_wait();
        const std::string replyMine = Store(*engine_, admin_, mine);
        racer.join();
        const std::string now = FileBytes(full);
        for (const std::string& reply : {replyMine, replyTheirs})
            EXPECT_TRUE(reply == "OK" || reply == kUnderWay) << "pair " << pair << ": " << reply;
        EXPECT_TRUE(replyMine == "OK" || replyTheirs == "OK") << "pair " << pair;
        const bool whole = replyTheirs != "OK" ? now == mine
                           : replyMine != "OK" ? now == theirs
                                               : now == mine || now == theirs;
        EXPECT_TRUE(whole) << "pair " << pair;
    }
    EXPECT_EQ(Leftovers(), 0);
    EXPECT_EQ(PendingStores(), 0);
}

// A store cut off leaves its row, found by the next opening or the next
// store of the page. It is undone only while the path holds the file it
// placed, or nothing (its old file moved aside): never over an image
// stored since by a server that knows no rows. A committed store's copy
// just goes, this process's own leftover never keeps its later stores
// out, and a store under way in another process that lives does.
TEST_F(PageImages, ACutOffStoreIsUndoneOnlyWhileItsFileIsAtThePath) {
    std::string error;
    // Rows that named no files of their own gain the columns.
    ASSERT_TRUE(engine_->Db().Exec(
        "DROP TABLE image_stores; CREATE TABLE image_stores(path TEXT PRIMARY KEY, "
        "kept INTEGER NOT NULL, owner TEXT NOT NULL, started TEXT NOT NULL)",
        error))
        << error;
    Reopen();
    const std::string path = "images/upload_1_1.tif", full = sys_ + "/" + path;
    const std::string before = WhitePage(900, 600, 2), cutOff = WhitePage(900, 600, 3);
    const std::string later = WhitePage(900, 600, 4), next = WhitePage(900, 600, 5);
    const std::string token = "4242.0123456789abcdef";
    const std::string dead = DeadProcess(), alive = OwnerWithPid(::getppid());
    enum class Left { Placed, ReplacedSince, MovedAside, Committed };
    struct Case {
        const char* name;
        Left left;
        std::string owner;
        std::string token;         // "": a row of a server that kept "<path>.old"
        const std::string* found;  // at the path once the next opening is done
        bool blocks;
    };
    const Case cases[] = {
        {"killed after placing its file", Left::Placed, dead, token, &before, false},
        {"another server stored since", Left::ReplacedSince, dead, token, &later, false},
        {"killed with the old file moved aside", Left::MovedAside, dead, token, &before, false},
        {"killed after its commit", Left::Committed, dead, token, &cutOff, false},
        {"this process's leftover", Left::Placed, docserver::ProcessIdentity(), token, &before,
         false},
        {"under way in a process that lives", Left::Placed, alive, token, &cutOff, true},
        {"older row, path taken", Left::Placed, dead, "", &cutOff, false},
        {"older row, path empty", Left::MovedAside, dead, "", &before, false},
    };
    for (const Case& c : cases) {
        for (const bool reopen : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (reopen ? ", reopened" : ", stored again"));
            ASSERT_EQ(Store(*engine_, admin_, before), "OK");
            const docserver::StoreFiles files =
                c.token.empty() ? docserver::StoreFiles{full + ".part", full + ".old"}
                                : docserver::FilesOfStore(full, c.token);
            ASSERT_TRUE(docserver::imaging::WriteWholeFile(files.part, cutOff));
            const std::string placed = docserver::FileIdentity(files.part);
            if (c.left == Left::MovedAside) {
                ASSERT_EQ(::rename(full.c_str(), files.aside.c_str()), 0);
            } else {
                ASSERT_EQ(::link(full.c_str(), files.aside.c_str()), 0);
                ASSERT_EQ(::rename(files.part.c_str(), full.c_str()), 0);
            }
            if (c.left == Left::ReplacedSince) {
                ASSERT_TRUE(docserver::imaging::WriteWholeFile(full + ".new", later));
                ASSERT_EQ(::rename((full + ".new").c_str(), full.c_str()), 0);
            }
            docserver::Statement add(engine_->Db(),
                                     "INSERT INTO image_stores(path, kept, owner, started, token, "
                                     "placed, committed) VALUES (?, 1, ?, ?, ?, ?, ?)");
            ASSERT_TRUE(add.Bind(1, path)
                            .Bind(2, c.owner)
                            .Bind(3, UtcNow())
                            .Bind(4, c.token)
                            .Bind(5, c.token.empty() ? std::string() : placed)
                            .Bind(6, std::int64_t{c.left == Left::Committed})
                            .Run())
                << add.Error();
            if (reopen) {
                Reopen();
                EXPECT_TRUE(FileBytes(full) == *c.found);
            } else {
                const std::string reply = Store(*engine_, admin_, next);
                EXPECT_EQ(reply, c.blocks ? kUnderWay : "OK");
                EXPECT_TRUE(FileBytes(full) == (c.blocks ? cutOff : next));
            }
            EXPECT_EQ(PendingStores(), c.blocks ? 1 : 0);
            if (!c.token.empty() && !c.blocks) {
                EXPECT_NE(::access(files.part.c_str(), F_OK), 0) << "its new file goes";
                EXPECT_NE(::access(files.aside.c_str(), F_OK), 0) << "its old copy goes";
            }
            ASSERT_TRUE(engine_->Db().Exec("DELETE FROM image_stores", error)) << error;
            for (const std::string& name : {files.part, files.aside}) ::unlink(name.c_str());
        }
    }
    EXPECT_EQ(Leftovers(), 0);
}

// A failed store whose record could not be dropped (a trigger refuses the
// delete here, as a reader holding the database does) leaves it to its
// process, whose next command drops it: it keeps no store of the page out.
TEST_F(PageImages, AStoreRecordLeftBehindIsDroppedByTheNextCommand) {
    std::string error;
    ASSERT_TRUE(engine_->Db().Exec(
        "CREATE TRIGGER hold_stores BEFORE DELETE ON image_stores "
        "BEGIN SELECT RAISE(ABORT, 'held'); END;"
        "CREATE TABLE guard(id INTEGER PRIMARY KEY);"
        "CREATE TABLE guarded(id INTEGER REFERENCES guard(id) DEFERRABLE INITIALLY DEFERRED);"
        "CREATE TRIGGER break_commit AFTER UPDATE OF image_file ON pages "
        "BEGIN INSERT INTO guarded VALUES (1); END;",
        error))
        << error;
    const std::string reply = Store(*engine_, admin_, WhitePage(900, 600, 2));
    EXPECT_EQ(reply.rfind("ERROR: Unable to Store Image: ", 0), 0u) << reply;
    ASSERT_TRUE(
        engine_->Db().Exec("DROP TRIGGER hold_stores; DROP TRIGGER break_commit;"
                           "DROP TABLE guarded; DROP TABLE guard;",
                           error))
        << error;
    EXPECT_EQ(PendingStores(), 1);
    EXPECT_EQ(Run(admin_, kLogin).substr(0, 1), "1");
    EXPECT_EQ(PendingStores(), 0);
    EXPECT_EQ(Leftovers(), 0);
}

StoreStep killAt = StoreStep::Claimed;
int NoLinks(const char*, const char*) {
    errno = EPERM;
    return -1;
}

// A store killed at any step, on a file system with hard links or one
// without: until the next opening the image last committed is at the path
// or under the name its row gives, and after it the page shows that image
// with nothing of the store left beside it.
TEST_F(PageImages, AStoreKilledAtAnyStepLeavesTheImageLastCommitted) {
    const std::string full = sys_ + "/images/upload_1_1.tif";
    const std::string before = WhitePage(900, 600, 2), killed = WhitePage(900, 600, 3);
    ASSERT_EQ(Store(*engine_, admin_, before), "OK");
    for (const bool links : {true, false}) {
        for (const StoreStep step : {StoreStep::Claimed, StoreStep::Written, StoreStep::Kept,
                                     StoreStep::Placed, StoreStep::Committed}) {
            SCOPED_TRACE((links ? "links, step " : "no links, step ") +
                         std::to_string(static_cast<int>(step)));
            const std::string& committed = step == StoreStep::Committed ? killed : before;
            // The child opens the system afresh: SQLite's state is not forked.
            engine_.reset();
            killAt = step;
            const pid_t child = ::fork();
            ASSERT_GE(child, 0);
            if (child == 0) {
                docserver::SetStoreSeams({links ? nullptr : NoLinks, [](StoreStep reached) {
                                              if (reached == killAt) ::_exit(0);
                                          }});
                std::string error;
                auto engine = CommandEngine::Open(sys_, error);
                ConnectionState state;
                if (engine && engine->Execute(state, kLogin).substr(0, 1) == "1")
                    Store(*engine, state, killed);
                ::_exit(1);
            }
            int status = 0;
            ASSERT_EQ(::waitpid(child, &status, 0), child);
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "killed at the step";
            {
                docserver::SystemDb db;
                std::string error;
                ASSERT_TRUE(db.Open(sys_ + "/system.db", false, error)) << error;
                docserver::Statement row(db, "SELECT token FROM image_stores");
                const std::string aside =
                    row.Step() ? docserver::FilesOfStore(full, row.Text(0)).aside : "";
                EXPECT_TRUE(FileBytes(full) == committed || FileBytes(aside) == committed);
            }
            Reopen();
            EXPECT_TRUE(FileBytes(full) == committed);
            EXPECT_EQ(Leftovers(), 0);
            EXPECT_EQ(PendingStores(), 0);
            if (step == StoreStep::Committed) {
                ASSERT_EQ(Store(*engine_, admin_, before), "OK");
            }
        }
    }
}

std::int64_t steadyNow = 1000;

// Another machine's claim is timed on this machine's clock: one whose
// machine crashed, or whose clock runs ahead by hours or days, keeps the
// page's stores out no longer than a store may take. A store of this
// process that took longer gives up before its file takes the path.
TEST_F(PageImages, AClaimOfAnotherMachineBlocksNoLongerThanAStoreMayTake) {
    docserver::SetStoreSeams({nullptr, nullptr, [] { return steadyNow; }});
    const std::string elsewhere = "elsewhere 0123456789abcdef - - - 4242 -";
    const std::string page = WhitePage(900, 600, 2);
    int n = 0;
    for (const std::time_t ahead : {0L, 2L * 3600, 30L * 86400}) {
        SCOPED_TRACE(ahead);
        docserver::Statement add(engine_->Db(),
                                 "INSERT INTO image_stores(path, kept, owner, started, token) "
                                 "VALUES ('images/upload_1_1.tif', 1, ?, ?, ?)");
        ASSERT_TRUE(add.Bind(1, elsewhere)
                        .Bind(2, UtcNow(ahead))
                        .Bind(3, "4242.00000000000000" + std::to_string(++n))
                        .Run());
        EXPECT_EQ(Store(*engine_, admin_, page), kUnderWay);
        steadyNow += docserver::kClaimSeconds;
        EXPECT_EQ(Store(*engine_, admin_, page), kUnderWay);
        steadyNow += 1;
        EXPECT_EQ(Store(*engine_, admin_, page), "OK");
        EXPECT_EQ(PendingStores(), 0);
    }
    docserver::SetStoreSeams({nullptr,
                              [](StoreStep step) {
                                  if (step == StoreStep::Written)
                                      steadyNow += docserver::kStoreSeconds + 1;
                              },
                              [] { return steadyNow; }});
    EXPECT_EQ(Store(*engine_, admin_, WhitePage(900, 600, 3)),
              "ERROR: Unable to Store Image: the store took too long");
    EXPECT_TRUE(FileBytes(sys_ + "/images/upload_1_1.tif") == page);
    EXPECT_EQ(PendingStores(), 0);
    EXPECT_EQ(Leftovers(), 0);
    docserver::SetStoreSeams({});
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

// The error output names the file and why (a folder too, once a stream's
// exception naming nothing), so the administrator can mend the row or the
// file; a local session, which has none, is told in its reply.
TEST_F(PageImages, APageImageThatCannotBeReadIsToldWithItsFileAndWhy) {
    std::string error;
    ASSERT_EQ(::mkdir((sys_ + "/images/p4.tif").c_str(), 0755), 0);
    ASSERT_TRUE(
        engine_->Db().Exec("UPDATE pages SET image_file = 'images/P1.TIF' WHERE seq = 3;"
                           "UPDATE pages SET image_file = 'images/p4.tif' WHERE seq = 4",
                           error))
        << error;
    const std::string folder = sys_ +
                               "/images/p4.tif: a folder where a file should be: store "
                               "the page's image file under that name or name its file "
                               "in the page's image_file";
    const std::pair<const char*, std::string> pages[] = {
        {"K00002,0", "K00002 names no image file"},
        {"K00003,100", sys_ + "/images/P1.TIF: No such file or directory (names are "
                              "case-sensitive: the folder holds p1.tif)"},
        {"K00004,100", folder}};
    for (const auto& [page, why] : pages) {
        EXPECT_EQ(Run(admin_, "TALQSendClientImage," + kAdmin + "," + page),
                  "ERROR: No Image for Page");
        EXPECT_EQ(admin_.failure, std::string("TALQSendClientImage: No Image for Page: ") + why);
    }
    admin_.local = true;
    EXPECT_EQ(Run(admin_, "TALQSendClientImage," + kAdmin + ",K00004,0"),
              "ERROR: No Image for Page: " + folder);
}

}  // namespace
