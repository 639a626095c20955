// Every command checked for login and rights, as a raw client sends them
// over TCP: nothing before login but the handshake, changes only with the
// right, pages only inside the user's range, files only the user's own, and
// page images with their redactions burned in for users who may not see
// through them.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QImage>

#include <memory>
#include <string>
#include <vector>

#include "engine/command_rules.h"
#include "engine/engine_text.h"
#include "engine/system_db.h"
#include "imaging/page_files.h"
#include "raw_client.h"
#include "support/scoped_env.h"
#include "support/server_process.h"
#include "test_system.h"

namespace {

using testsupport::RawClient;

constexpr char kRS = 24;
constexpr char kFS = 31;
const std::string kAdmin = "ADMIN,SECRET,Demo Project";
const std::string kLimited = "LIMITED,pw,Demo Project";

// A page of the given size at 300 dpi, one colour.
QImage Page(int width, int height, QColor colour, QImage::Format format = QImage::Format_RGB32) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    image.setDotsPerMeterX(11811);
    image.setDotsPerMeterY(11811);
    return format == QImage::Format_RGB32 ? image : image.convertToFormat(format);
}

std::string Redaction(int left, int top, int right, int bottom) {
    std::string f(1, kFS);
    return std::to_string(left) + f + std::to_string(top) + f + std::to_string(right) + f +
           std::to_string(bottom) + f + "0" + f + f + "0" + f + "0" + f + "0" + f + "0" + f + "0" +
           f + f;
}

class Authorization : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new testsupport::ScopedTempDir();
        const std::string sys = Sys();
        testsupport::MakeQuerySystem(sys, 40, 10);
        using docserver::imaging::EncodeJpeg;
        using docserver::imaging::EncodePng;
        using docserver::imaging::WriteWholeFile;
        ASSERT_TRUE(WriteWholeFile(sys + "/images/p2.png", EncodePng(Page(60, 40, Qt::white))));
        ASSERT_TRUE(WriteWholeFile(sys + "/images/p3.jpg",
                                   EncodeJpeg(Page(600, 400, QColor(200, 30, 30)), false)));
        ASSERT_TRUE(docserver::imaging::WriteG4Tiff(
            {Page(600, 400, Qt::white, QImage::Format_Mono)}, sys + "/images/p6.tif"));
        ASSERT_TRUE(WriteWholeFile(sys + "/images/p30.png", EncodePng(Page(60, 40, Qt::white))));
        ::mkdir((sys + "/originals/Demo Project").c_str(), 0755);
        ::mkdir((sys + "/originals/Other").c_str(), 0755);
        for (const char* name : {"doc3", "doc4", "doc5", "doc30", "shared", "loose", "stray",
                                 "Demo Project/held", "Other/minutes"})
            ASSERT_TRUE(WriteWholeFile(sys + "/originals/" + name + ".txt", "an original"));
        // Links that lead out of their folders, to the database.
        ASSERT_EQ(::symlink("../system.db", (sys + "/images/link.tif").c_str()), 0);
        ASSERT_EQ(::symlink("../system.db", (sys + "/tmp/Q900000.TMP").c_str()), 0);

        docserver::SystemDb db;
        std::string error;
        ASSERT_TRUE(db.Open(sys + "/system.db", false, error)) << error;
        // LIMITED sees through redactions but changes nothing and reaches
        // the first 20 pages; OPAQUE has no right at all; READER sees images
        // and annotations (0x8000, 0x20000) but redactions opaque.
        ASSERT_TRUE(db.Exec(
            "INSERT INTO users(user_id, password) VALUES ('LIMITED', 'pw'), ('OPAQUE', 'pw'),"
            " ('READER', 'pw');"
            "INSERT INTO user_projects VALUES ('LIMITED', 1, 128, 'K00001', 'K00020'),"
            " ('OPAQUE', 1, 0, '', ''), ('READER', 1, 163840, '', '');"
            "UPDATE pages SET image_file = 'images/p2.png' WHERE seq IN (2, 9);"
            "UPDATE pages SET image_file = 'images/p3.jpg', original_file = 'originals/doc3.txt',"
            " word_list = 'Hidden|200|140|30|10^Shown|400|300|40|10', ocr_text = 'Hidden Shown'"
            " WHERE seq = 3;"
            "UPDATE pages SET original_file = 'originals/doc4.txt' WHERE seq = 4;"
            "UPDATE pages SET original_file = 'originals/doc5.txt', restricted = 1 WHERE seq = 5;"
            "UPDATE pages SET image_file = 'images/p6.tif' WHERE seq = 6;"
            "UPDATE pages SET image_file = 'images/p30.png', original_file = "
            "'originals/doc30.txt', ocr_text = 'Outside' WHERE seq = 30;"
            "INSERT INTO server_files(name, user_id, purpose) VALUES ('Q900000.TMP', 'ADMIN', "
            "'query');"
            "INSERT INTO batch_printers(name, directory) VALUES ('Floor', 'batch/floor');"
            // One original of two pages, the second redacted; a second
            // project with a user of its own.
            "UPDATE pages SET original_file = 'originals/shared.txt' WHERE seq IN (13, 14);"
            "INSERT INTO projects(project_id, name) VALUES (2, 'Other');"
            "INSERT INTO users(user_id, password) VALUES ('OUTSIDER', 'pw');"
            "INSERT INTO user_projects VALUES ('OUTSIDER', 2, 255, '', '');"
            "UPDATE tags SET palette_position = 1 WHERE name = 'Hot';"
            // Page 3's image and text again, under a key of each project.
            "UPDATE pages SET image_file = 'images/p3.jpg', word_list = 'Hidden|200|140|30|10',"
            " ocr_text = 'Hidden Shown' WHERE seq = 15;"
            "INSERT INTO pages(project_id, seq, image_key, image_file, word_list, ocr_text)"
            " VALUES (2, 1, 'O00001', 'images/p3.jpg', 'Hidden|200|140|30|10', 'Hidden Shown');",
            error))
            << error;
        docserver::Statement redact(db, "INSERT INTO annotations VALUES (1, ?, 4, ?)");
        ASSERT_TRUE(redact.Bind(1, std::int64_t{3}).Bind(2, Redaction(150, 100, 270, 200)).Run());
        ASSERT_TRUE(
            redact.Reset().Bind(1, std::int64_t{6}).Bind(2, Redaction(60, 60, 360, 240)).Run());
        ASSERT_TRUE(
            redact.Reset().Bind(1, std::int64_t{14}).Bind(2, Redaction(10, 10, 20, 20)).Run());
        docserver::Statement clip(db, "INSERT INTO annotations VALUES (1, 2, 2, ?)");
        ASSERT_TRUE(clip.Bind(1, testsupport::AnnotationRecord("@loose.txt")).Run());
        // A note on the redacted page, found by the notes search.
        ASSERT_TRUE(db.Exec("INSERT INTO annotations VALUES (1, 3, 1, '" +
                                testsupport::AnnotationRecord("Hidden note") + "')",
                            error))
            << error;
        server_ = new testsupport::ServerProcess(sys);
    }
    static void TearDownTestSuite() {
        delete server_;
        delete dir_;
    }
    static std::string Sys() { return dir_->Path() + "/system"; }
    static int Port() { return server_->Port(); }

    // The reply to one command on a fresh connection of the user ("" = none).
    static std::string As(const std::string& user, const std::string& command,
                          const std::string& project = "Demo Project") {
        RawClient client(Port());
        if (!user.empty()) {
            const std::string password = user == "ADMIN" ? "SECRET" : "pw";
            EXPECT_TRUE(client.LogIn(user, password, project)) << user;
        }
        return client.Send(command);
    }
    // The user's login and the project, as commands carry them.
    static std::string Login(const std::string& user, const std::string& project) {
        return user + "," + (user == "ADMIN" ? "SECRET" : "pw") + "," + project;
    }
    // The grey of a pixel (in stored image pixels) of the page image the
    // user receives; -1 when none comes.
    static int Pixel(const std::string& user, const std::string& key, const char* quality, int x,
                     int y, const std::string& project = "Demo Project") {
        std::string reply = As(
            user, "TALQSendClientImage," + Login(user, project) + "," + key + "," + quality,
            project);
        EXPECT_GT(reply.size(), 8u) << reply.substr(0, 80);
        if (reply.size() <= 8) return -1;
        const double scale = std::stod(reply.substr(0, reply.find('\0')));
        QImage image = docserver::imaging::DecodeImage(reply.substr(8));
        EXPECT_FALSE(image.isNull());
        if (image.isNull()) return -1;
        return qGray(image.pixel(static_cast<int>(x * scale), static_cast<int>(y * scale)));
    }

    static inline testsupport::ScopedTempDir* dir_ = nullptr;
    static inline testsupport::ServerProcess* server_ = nullptr;
};

// Commands of every gate and form that a logged-in administrator may send;
// none of them answers a connection that has not logged in.
std::vector<std::string> AdminCommands(const std::string& upload) {
    const std::string& p = kAdmin;
    const std::string s(1, 25);
    return {
        "TALQFindKey," + p + ",K00002",
        "TALQGetPageInfo," + p + ",K00002,315",
        "TALQGetWordList," + p + ",K00002",
        "TALQGetPageOcr,,,,K00007",
        "TALQSetPageLock," + p + ",K00002",
        "TALQDTPutDate," + p + ",K00011,20010101",
        "TALQPutFolderDescription," + p + ",K00001,1,Described",
        "TALQPutPageInfo," + p + ",K00011,1",
        "TALQPutPageInfo," + p + ",K00011,,2",
        "TALQSendClientImage," + p + ",K00002,0",
        "TALQSendTextImage,hello",
        "TALQGetTagPoolList," + p,
        "TALQGetImageTags," + p + ",K00002",
        "TALQIsDocTagged," + p + ",Hot,K00001,K00002",
        "TALQTurnTagOn," + p + ",K00011,Even",
        "TALQAddTag," + p + ",Fresh",
        "TALQPutPaletteList," + p + ",Hot|Even",
        "TALQGetAnnotations," + p + ",K00002",
        "TALQPutAnnotations," + p + ",K00011,8,x",
        "TALQResolveFile,K00004,@",
        "TALQDoesFileExist,originals/doc4.txt",
        "TALQReadFromFile,originals/doc4.txt,0,100",
        "TALQStoreImageFile," + p + ",K00012,2,0,0,4,\x89PNG",
        "TALQImportLine," + p + ",FT,K00012,0,0,imported text",
        "TALQGetBatchDirs,ADMIN,SECRET,DOM",
        "TALQValidateBatchPrinter,Floor",
        "TALQCreateTempFile," + p,
        "TALQQueryScroll," + p + ",1" + s + s + s + upload + s + "0" + s + "10" + s + "0",
        "TALQSearchImgText," + p + ",brown,0,32000",
        "TALQSearchResultsTempFile," + p + ",memo,0,32000,0",
        "IDEX_IsSupported",
        std::string("IDEX_StartSearch") + kRS + "brown" + kRS + "10" + kRS + "0",
        "TALQStartQuerySort,0,Hot,0,0",
        "TALQCloseProject",
    };
}

TEST_F(Authorization, NoCommandButTheHandshakeAnswersBeforeLogin) {
    ASSERT_GT(Port(), 0) << server_->Output();
    RawClient admin(Port());
    ASSERT_TRUE(admin.LogIn("ADMIN", "SECRET", "Demo Project"));
    const std::string upload = admin.Send("TALQCreateTempFile," + kAdmin);
    ASSERT_EQ(admin.Send("TALQWriteTempFile," + kAdmin + "," + upload + ",K00002"), "OK");

    for (const std::string& command : AdminCommands(upload)) {
        EXPECT_EQ(As("", command).rfind("ERROR: User Not Logged In", 0), 0u) << command;
        EXPECT_NE(As("ADMIN", command).rfind("ERROR", 0), 0u) << command;
    }
    // Every other command of the table, whatever it carries.
    for (const docserver::CommandRule& rule : docserver::CommandRules()) {
        if (rule.gate == docserver::Gate::Open) continue;
        const std::string command = std::string(rule.verb) + "," + kAdmin + ",K00002,1,1";
        EXPECT_EQ(As("", command).rfind("ERROR: User Not Logged In", 0), 0u) << rule.verb;
    }
    RawClient fresh(Port());
    EXPECT_EQ(fresh.Send("TALQGetSystemFlags"), "1025");
    EXPECT_EQ(fresh.Send("TALQGetVersion").rfind("8.6", 0), 0u);
}

TEST_F(Authorization, EachRuleRefusesWhatTheUserMayNotDo) {
    ASSERT_GT(Port(), 0) << server_->Output();
    // What ADMIN was issued: a list and an open batch job.
    RawClient admin(Port());
    ASSERT_TRUE(admin.LogIn("ADMIN", "SECRET", "Demo Project"));
    const std::string list = admin.Send("TALQCreateTempFile," + kAdmin);
    ASSERT_EQ(admin.Send("TALQWriteTempFile," + kAdmin + "," + list + ",K00002"), "OK");
    const std::string job = admin.Send("TALQGetNextBatch,Floor");
    ASSERT_EQ(job.rfind("batch/floor/JOB", 0), 0u) << job;
    const std::string stem = job.substr(0, job.size() - 3);
    ASSERT_EQ(admin.Send("TALQWriteFile" + std::string(1, kRS) + stem + "P__" + kRS + "0" + kRS +
                         "5" + kRS + "pages"),
              "OK");
    // The job's watermark copy is a link to the database.
    ASSERT_EQ(::symlink("../../system.db", (Sys() + "/" + stem + "MRK").c_str()), 0);

    const std::string& l = kLimited;
    const std::string s(1, 25);
    struct Row {
        const char* column;
        std::string user;
        std::string command;
        std::string refusal;  // the reply begins with it
    };
    const std::string insufficient = "ERROR: Insufficient Security Level";
    const std::vector<Row> rows = {
        {"without the right", "LIMITED", "TALQTurnTagOn," + l + ",K00002,Hot", insufficient},
        {"without the right", "LIMITED", "TALQAddTag," + l + ",Mine", insufficient},
        {"without the right", "LIMITED", "TALQUpdateTag," + l + ",Hot,Cold", insufficient},
        {"without the right", "LIMITED", "TALQDelTag," + l + ",Hot", insufficient},
        {"without the right", "LIMITED", "TALQPutPageInfo," + l + ",K00002,1", insufficient},
        {"without the right", "LIMITED", "TALQDTPutDate," + l + ",K00002,20010101", insufficient},
        {"without the right", "LIMITED", "TALQPutFolderDescription," + l + ",K00001,1,x",
         insufficient},
        {"without the right", "LIMITED", "TALQStoreImageFile," + l + ",K00002,2,0,0,4,\x89PNG",
         insufficient},
        {"without the right", "LIMITED", "TALQImportLine," + l + ",FT,K00002,0,0,x", insufficient},
        {"without the right", "LIMITED", "TALQPutAnnotations," + l + ",K00002,8,x", insufficient},
        {"without the right", "LIMITED", "TALQConvertQueryToIssue," + l + "," + list + ",Coll,0",
         insufficient},
        {"without the right", "LIMITED", "TALQGetAnnotations," + l + ",K00002",
         "ERROR: Annotations Are Restricted"},
        {"without the right", "LIMITED", "TALQSearchResultsTempFile," + l + ",memo,0,32000,0",
         "ERROR: Annotations Are Restricted"},
        {"another user's login", "LIMITED", "TALQGetPageInfo," + kAdmin + ",K00030,315", "ERROR"},
        {"outside the range", "LIMITED", "TALQGetPageInfo," + l + ",K00030,315", "ERROR"},
        {"outside the range", "LIMITED", "TALQSendClientImage," + l + ",K00030,0", "ERROR"},
        {"outside the range", "LIMITED", "TALQGetWordList," + l + ",K00030", "ERROR"},
        {"outside the range", "LIMITED", "TALQSetPageLock," + l + ",K00030", "ERROR"},
        {"outside the range", "LIMITED", "TALQGetImageTags," + l + ",K00030", "ERROR"},
        {"outside the range", "LIMITED", "TALQGetPageOcr,,,,K00030", "ERROR"},
        {"outside the range", "LIMITED", "TALQResolveFile,K00030,@", "NONE"},
        {"outside the range", "LIMITED", "TALQResolveFile,,@doc30.txt", "NONE"},
        {"outside the range", "LIMITED", "TALQReadFromFile,images/p30.png,0,100", "ERROR"},
        {"outside the range", "LIMITED", "TALQReadFromFile,originals/doc30.txt,0,100", "ERROR"},
        {"outside the range", "LIMITED", "TALQDoesFileExist,originals/doc30.txt", "0"},
        {"outside the range", "LIMITED", "TALQSendStellantImage,originals/doc30.txt,1,0", "ERROR"},
        {"restricted page", "ADMIN", "TALQTurnTagOn," + kAdmin + ",K00005,Hot", insufficient},
        {"restricted page", "ADMIN", "TALQPutAnnotations," + kAdmin + ",K00005,8,x", insufficient},
        {"restricted page", "ADMIN", "TALQPutPageInfo," + kAdmin + ",K00005,,1", insufficient},
        {"restricted page", "ADMIN", "TALQDTPutDate," + kAdmin + ",K00005,20010101", insufficient},
        {"restricted page", "ADMIN", "TALQResolveFile,K00005,@", "NONE"},
        {"restricted page", "ADMIN", "TALQReadFromFile,originals/doc5.txt,0,100", "ERROR"},
        {"opaque redactions", "OPAQUE", "TALQResolveFile,K00003,@", "NONE"},
        {"opaque redactions", "OPAQUE", "TALQReadFromFile,originals/doc3.txt,0,100", "ERROR"},
        {"opaque redactions", "OPAQUE", "TALQReadFromFile,images/p3.jpg,0,100", "ERROR"},
        {"other user's file", "LIMITED", "TALQReadFromFile," + list + ",0,100", "ERROR"},
        {"other user's file", "LIMITED", "TALQDoesFileExist," + list, "0"},
        {"other user's file", "LIMITED", "TALQDeleteFile," + list, "ERROR"},
        {"other user's file", "LIMITED", "TALQWriteTempFile," + l + "," + list + ",K00003",
         "ERROR"},
        {"other user's file", "LIMITED",
         "TALQQueryScroll," + l + ",1" + s + s + s + list + s + "0" + s + "10" + s + "0", "ERROR"},
        {"other user's file", "LIMITED",
         "TALQWriteFile" + std::string(1, kRS) + stem + "P__" + kRS + "0" + kRS + "4" + kRS +
             "more",
         "ERROR"},
        {"other user's file", "LIMITED", "TALQCloseOutBatchFile," + job + ",0,1", "ERROR"},
        {"linked out of its folder", "ADMIN", "TALQReadFromFile,images/link.tif,0,100", "ERROR"},
        {"linked out of its folder", "ADMIN", "TALQReadFromFile,Q900000.TMP,0,100", "ERROR"},
        {"linked out of its folder", "ADMIN",
         "TALQWriteFile" + std::string(1, kRS) + stem + "MRK" + kRS + "0" + kRS + "4" + kRS +
             "more",
         "ERROR"},
    };
    for (const Row& row : rows) {
        const std::string reply = As(row.user, row.command);
        if (row.refusal == "0")
            EXPECT_EQ(reply, "0") << row.column << ": " << row.command;
        else
            EXPECT_EQ(reply.rfind(row.refusal, 0), 0u)
                << row.column << ": " << row.command << " -> " << reply.substr(0, 80);
    }

    // Nothing of ADMIN's was touched, and ADMIN still has it all.
    EXPECT_EQ(admin.Send("TALQReadFromFile," + list + ",0,100"), "K00002\n");
    EXPECT_EQ(admin.Send("TALQGetTagPoolList," + kAdmin).find("Cold"), std::string::npos);
    EXPECT_EQ(admin.Send("TALQCloseOutBatchFile," + job + ",0,1"), "OK");
    EXPECT_EQ(admin.Send("TALQDeleteFile," + list), "OK");
}

// A lock is taken to change a page: where the user may not change it (a
// restricted page inside its range) the lock is refused and no one is told
// the page is locked; a lock on a page restricted since is given back.
TEST_F(Authorization, APageLockIsRefusedWhereTheUserMayNotChangeThePage) {
    RawClient limited(Port());
    ASSERT_TRUE(limited.LogIn("LIMITED", "pw", "Demo Project"));
    RawClient admin(Port());
    ASSERT_TRUE(admin.LogIn("ADMIN", "SECRET", "Demo Project"));
    const std::string insufficient = "ERROR: Insufficient Security Level";
    EXPECT_EQ(limited.Send("TALQSetPageLock," + kLimited + ",K00005"), insufficient);
    EXPECT_EQ(admin.Send("TALQSetPageLock," + kAdmin + ",K00005"), insufficient);
    ASSERT_EQ(limited.Send("TALQSetPageLock," + kLimited + ",K00017"), "OK");
    EXPECT_EQ(admin.Send("TALQSetPageLock," + kAdmin + ",K00017"), "ERROR: Page Locked by LIMITED");
    // A page held by another is read-only to everyone else, from any client.
    EXPECT_EQ(admin.Send("TALQPutAnnotations," + kAdmin + ",K00017,1,note"),
              "ERROR: Page Locked by LIMITED");
    docserver::SystemDb db;
    std::string error;
    ASSERT_TRUE(db.Open(Sys() + "/system.db", false, error)) << error;
    ASSERT_TRUE(db.Exec("UPDATE pages SET restricted = 1 WHERE seq = 17", error)) << error;
    EXPECT_EQ(limited.Send("TALQRemovePageLock," + kLimited + ",K00017"), "OK");
    docserver::Statement held(db, "SELECT COUNT(*) FROM page_locks WHERE seq = 17");
    EXPECT_TRUE(held.Step() && held.Int(0) == 0);
    ASSERT_TRUE(db.Exec("UPDATE pages SET restricted = 0 WHERE seq = 17", error)) << error;
}

// An original holds the text of every page naming it; a file no page names
// is its project's, by its folder or by a clip naming it.
TEST_F(Authorization, OriginalsReachOnlyUsersWhoMaySeeAllItsPagesAndItsProject) {
    ASSERT_GT(Port(), 0) << server_->Output();
    const struct {
        const char* user;
        const char* file;
        bool readable;
    } cases[] = {
        {"ADMIN", "originals/shared.txt", true},
        {"READER", "originals/shared.txt", false},
        {"READER", "originals/Demo Project/held.txt", true},
        {"OUTSIDER", "originals/Demo Project/held.txt", false},
        {"OUTSIDER", "originals/Other/minutes.txt", true},
        {"ADMIN", "originals/Other/minutes.txt", false},
        {"LIMITED", "originals/loose.txt", true},
        {"OUTSIDER", "originals/loose.txt", false},
        {"ADMIN", "originals/stray.txt", false},
    };
    for (const auto& c : cases) {
        RawClient client(Port());
        const std::string project = c.user == std::string("OUTSIDER") ? "Other" : "Demo Project";
        ASSERT_TRUE(
            client.LogIn(c.user, c.user == std::string("ADMIN") ? "SECRET" : "pw", project));
        const std::string file = c.file;
        EXPECT_EQ(client.Send("TALQDoesFileExist," + file), c.readable ? "1" : "0")
            << c.user << " " << file;
        EXPECT_EQ(client.Send("TALQReadFromFile," + file + ",0,100") == "an original", c.readable)
            << c.user << " " << file;
        EXPECT_EQ(client.Send("TALQResolveFile,,@" + file.substr(10)) != "NONE", c.readable)
            << c.user << " " << file;
    }
    EXPECT_EQ(As("READER", "TALQResolveFile,K00013,@"), "NONE");
    EXPECT_EQ(As("ADMIN", "TALQResolveFile,K00013,@"), "originals/shared.txt");
}

// Any user arranges the palette, but only for that user: the project's
// stays what the others see.
TEST_F(Authorization, AUsersSavedPaletteIsThatUsersOwn) {
    ASSERT_GT(Port(), 0) << server_->Output();
    const std::string limited = "TALQGetTagPaletteList," + kLimited;
    const std::string reader = "TALQGetTagPaletteList,READER,pw,Demo Project";
    ASSERT_EQ(As("LIMITED", "TALQPutPaletteList," + kLimited + ",Even|Hot|Even"), "OK");
    EXPECT_EQ(As("LIMITED", limited), "Even,Hot");
    EXPECT_EQ(As("READER", reader), "Hot");
    ASSERT_EQ(As("LIMITED", "TALQPutPaletteList," + kLimited + ","), "OK");
    EXPECT_EQ(As("LIMITED", limited), "NONE");
    EXPECT_EQ(As("READER", reader), "Hot");
}

// The pixels under a redaction, at every quality, and the words there.
TEST_F(Authorization, RedactionsAreBurnedIntoWhatAnOpaqueUserReceives) {
    ASSERT_GT(Port(), 0) << server_->Output();
    auto pixel = [](const std::string& user, const std::string& key, const char* quality, int x,
                    int y) { return Pixel(user, key, quality, x, y); };
    // Colour page, box 150,100 to 270,200; the page is red (grey about 80).
    for (const char* quality : {"0", "100", "150"}) {
        EXPECT_LT(pixel("OPAQUE", "K00003", quality, 210, 150), 30) << quality;
        EXPECT_GT(pixel("OPAQUE", "K00003", quality, 400, 300), 60) << "outside the box";
        EXPECT_GT(pixel("LIMITED", "K00003", quality, 210, 150), 60) << "sees through";
        EXPECT_GT(pixel("ADMIN", "K00003", quality, 210, 150), 60) << "sees through";
    }
    // Nor are the words under the box sent.
    const std::string words = "TALQGetWordList," + std::string("OPAQUE,pw,Demo Project,K00003");
    EXPECT_EQ(As("OPAQUE", words).find("Hidden"), std::string::npos);
    EXPECT_NE(As("OPAQUE", words).find("Shown|400"), std::string::npos);
    EXPECT_NE(As("ADMIN", "TALQGetWordList," + kAdmin + ",K00003").find("Hidden"),
              std::string::npos);
    EXPECT_EQ(As("OPAQUE", "TALQGetPageOcr,,,,K00003"), "NONE");
    EXPECT_EQ(As("ADMIN", "TALQGetPageOcr,,,,K00003"), "Hidden Shown");
    // Bitonal white page, box 60,60 to 360,240.
    for (const char* quality : {"0", "100"}) {
        EXPECT_LT(pixel("OPAQUE", "K00006", quality, 210, 150), 30) << quality;
        EXPECT_GT(pixel("OPAQUE", "K00006", quality, 500, 300), 200) << quality;
        EXPECT_GT(pixel("ADMIN", "K00006", quality, 210, 150), 200) << quality;
    }
}

// A page showing the image of a redacted page, in its project or another,
// hides what the redaction hides: pixels, words, text and the stored file.
TEST_F(Authorization, APageSharingARedactedPagesImageHidesWhatTheRedactionHides) {
    ASSERT_GT(Port(), 0) << server_->Output();
    const struct {
        const char* user;
        const char* project;
        const char* key;
        bool hidden;
    } cases[] = {
        {"OPAQUE", "Demo Project", "K00015", true},
        {"READER", "Demo Project", "K00015", true},
        {"OUTSIDER", "Other", "O00001", true},  // sees through only its own project's
        {"LIMITED", "Demo Project", "K00015", false},
        {"ADMIN", "Demo Project", "K00015", false},
    };
    for (const auto& c : cases) {
        const std::string who = std::string(c.user) + " " + c.key;
        const std::string p = Login(c.user, c.project) + "," + c.key;
        for (const char* quality : {"0", "100"})
            EXPECT_EQ(Pixel(c.user, c.key, quality, 210, 150, c.project) < 30, c.hidden)
                << who << " at " << quality;
        EXPECT_EQ(As(c.user, "TALQGetWordList," + p, c.project).find("Hidden") ==
                      std::string::npos,
                  c.hidden)
            << who;
        EXPECT_EQ(As(c.user, "TALQGetPageOcr,,,," + std::string(c.key), c.project) == "NONE",
                  c.hidden)
            << who;
        const std::string search = As(
            c.user, "TALQSearchImgText," + Login(c.user, c.project) + ",hidden,0,32000", c.project);
        std::vector<std::string> f = docserver::Split(search, ',');
        std::string rows;
        if (f.size() >= 2 && !f[1].empty())
            docserver::imaging::ReadWholeFile(Sys() + "/tmp/" + f[1], rows);
        EXPECT_EQ(rows.find(c.key) == std::string::npos, c.hidden) << who << ": " << search;
        EXPECT_EQ(
            As(c.user, "TALQReadFromFile,images/p3.jpg,0,4", c.project).rfind("ERROR", 0) == 0,
            c.hidden)
            << who;
    }
}

}  // namespace

// No search finds a page by text an opaque user is not sent: its OCR text,
// its notes and its words in a concept search, nor offers them as spellings;
// nor does a word outside the user's range come up as a spelling.
TEST_F(Authorization, SearchesFindNoTextOfARedactedPageForAnOpaqueUser) {
    ASSERT_GT(Port(), 0) << server_->Output();
    // The result file a search names holds the page's key, or not.
    auto finds = [](const std::string& user, const std::string& kind) {
        RawClient client(Port());
        const std::string password = user == "ADMIN" ? "SECRET" : "pw";
        EXPECT_TRUE(client.LogIn(user, password, "Demo Project")) << user;
        const std::string p = user + "," + password + ",Demo Project";
        std::string reply;
        if (kind == "ocr") {
            reply = client.Send("TALQSearchImgText," + p + ",hidden,0,32000");
        } else if (kind == "notes") {
            reply = client.Send("TALQSearchResultsTempFile," + p + ",hidden,0,32000,0");
        } else {
            // Misspelt, the word is looked for among the spellings offered.
            const std::string typed = kind == "concept"    ? "hidden"
                                      : kind == "spelling" ? "hiddn"
                                                           : "outsde";
            client.Send(std::string("IDEX_StartSearch") + kRS + typed + kRS + "100" + kRS + "0");
            for (int polls = 0; polls < 50 && (reply = client.Send("IDEX_QuerySearch")) == "1";)
                ++polls;
        }
        // A search answers count "," name; a concept search "0," name "," bits.
        EXPECT_NE(reply.rfind("ERROR", 0), 0u) << user << " " << kind << ": " << reply;
        std::vector<std::string> f = docserver::Split(reply, ',');
        const std::string name = f.size() >= 2 ? f[1] : "";
        std::string rows;
        if (kind == "spelling" || kind == "far spelling") {
            if (!name.empty())
                docserver::imaging::ReadWholeFile(
                    Sys() + "/tmp/S" + name.substr(0, name.size() - 1), rows);
            return rows.find(kind == "spelling" ? "^hidden" : "^outside") != std::string::npos;
        }
        if (!name.empty()) docserver::imaging::ReadWholeFile(Sys() + "/tmp/" + name, rows);
        return rows.find("K00003") != std::string::npos;
    };
    const struct {
        const char* user;
        const char* kind;
        bool found;
    } cases[] = {
        {"OPAQUE", "ocr", false},        {"READER", "ocr", false},
        {"LIMITED", "ocr", true},        {"ADMIN", "ocr", true},
        {"READER", "notes", false},      {"ADMIN", "notes", true},
        {"OPAQUE", "concept", false},    {"READER", "concept", false},
        {"LIMITED", "concept", true},    {"ADMIN", "concept", true},
        {"OPAQUE", "spelling", false},   {"READER", "spelling", false},
        {"ADMIN", "spelling", true},     {"LIMITED", "far spelling", false},
        {"ADMIN", "far spelling", true},
    };
    for (const auto& c : cases)
        EXPECT_EQ(finds(c.user, c.kind), c.found) << c.user << " " << c.kind;
}
