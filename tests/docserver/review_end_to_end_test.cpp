// Tags, annotations, server files, uploads, batch jobs and the concept search
// of the stand-in server: raw commands against the engine, and the session
// object against a talq-server process and the local-access library.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "demo/demo_database.h"
#include "demo/demo_system.h"
#include "engine/command_engine.h"
#include "engine/concept_search.h"
#include "engine/system_db.h"
#include "foundation/binary_files.h"
#include "foundation/mod_registry.h"
#include "platform/launcher.h"
#include "platform/scripted_prompts.h"
#include "platform/wire_separators.h"
#include "printing/batch_print_header.h"
#include "printing/gdi_prn.h"
#include "server/talq_client_api.h"
#include "support/scoped_env.h"
#include "support/server_process.h"

namespace {

using docserver::CommandEngine;
using docserver::ConnectionState;

const std::string kRS(1, wire::kRecordSep);
const std::string kSS(1, wire::kSectionSep);

struct Page {
    std::string key;
    std::string original;
    std::string ocr;
};

class ReviewServer : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        dir_ = new testsupport::ScopedTempDir();
        docserver::demo::DemoOptions options;
        options.seed = 5;
        options.pages = 130;
        auto demo = docserver::demo::GenerateDemoSystem(Sys(), options);
        docserver::demo::WriteDemoSystem(Sys(), demo);
        docserver::SystemDb db;
        std::string error;
        ASSERT_TRUE(db.Open(Sys() + "/system.db", false, error)) << error;
        docserver::Statement s(db,
                               "SELECT image_key, original_file, ocr_text FROM pages WHERE "
                               "project_id = (SELECT project_id FROM projects WHERE name = 'ACME') "
                               "ORDER BY seq");
        pages_ = new std::vector<Page>();
        while (s.Step()) pages_->push_back({s.Text(0), s.Text(1), s.Text(2)});
        // Files of sizes at the piece boundaries, in the main project's folder.
        for (int size : {0, 10000, 20000, 25001}) {
            std::string bytes(static_cast<std::size_t>(size), '\0');
            for (int i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 % 256);
            testsupport::WriteFile(Sys() + "/originals/ACME/size" + std::to_string(size) + ".bin",
                                   bytes);
        }
    }
    static void TearDownTestSuite() {
        delete pages_;
        delete dir_;
    }
    static std::string Sys() { return dir_->Path() + "/demo"; }
    static const std::vector<Page>& Pages() { return *pages_; }

    void SetUp() override {
        std::string error;
        engine_ = CommandEngine::Open(Sys(), error);
        ASSERT_TRUE(engine_) << error;
        Run("TALQRequiredLogin,admin,admin,,DOM,1,8.6,1");
        Run("TALQGetProjectInfo,admin,admin,ACME");
    }
    std::string Run(const std::string& command) { return engine_->Execute(state_, command); }

    std::unique_ptr<TalqClientAPI> Open(std::int16_t mode = 0) {
        auto api = std::make_unique<TalqClientAPI>();
        if (mode == 0) {
            if (!server_) server_ = std::make_unique<testsupport::ServerProcess>(Sys());
            EXPECT_TRUE(api->OpenTalqConnection(0, "DOM", "127.0.0.1", server_->Port(), 0, 0, 20))
                << api->LastError();
        } else {
            modRegistry::RegSetString(modRegistry::HKEY_CURRENT_USER,
                                      "Software\\TALQTech\\VYNSYS\\Paths", "Local", Sys() + "/");
            EXPECT_TRUE(api->OpenTalqConnection(2, "", "", 0, 0, 0, 0)) << api->LastError();
        }
        EXPECT_TRUE(api->TalqLogin("admin", "admin", 1)) << api->LastError();
        EXPECT_TRUE(api->SelectProject("ACME")) << api->LastError();
        return api;
    }

    static inline testsupport::ScopedTempDir* dir_ = nullptr;
    static inline std::vector<Page>* pages_ = nullptr;
    std::unique_ptr<CommandEngine> engine_;
    ConnectionState state_;
    std::unique_ptr<testsupport::ServerProcess> server_;
    testsupport::ScopedTempDir tmp_;
    testsupport::ScopedEnv tmpdir_{"TMPDIR", tmp_.Path()};
    platform::ScriptedPrompts prompts_;
    platform::ScopedPrompts usePrompts_{prompts_};
};

TEST_F(ReviewServer, TagPoolPaletteAndPagesFollowRenamesAndDeletes) {
    const std::string p = "admin,admin,ACME";
    const std::string key = Pages()[3].key, other = Pages()[9].key;
    EXPECT_EQ(Run("TALQGetTagPoolList," + p),
              "Confidential,Hot,Needs Review,Privileged,Responsive");
    EXPECT_EQ(Run("TALQGetTagPaletteList," + p), "Responsive,Privileged,Hot");
    EXPECT_EQ(Run("TALQPutPaletteList," + p + ",Hot|Unknown|Responsive"),
              "ERROR: Invalid Tag Desc Unknown");
    EXPECT_EQ(Run("TALQGetTagPaletteList," + p), "Responsive,Privileged,Hot");
    EXPECT_EQ(Run("TALQPutPaletteList," + p + ",Hot|Responsive|hot"), "OK");
    EXPECT_EQ(Run("TALQGetTagPaletteList," + p), "Hot,Responsive");

    Run("TALQTurnTagOff," + p + "," + key + ",Hot");
    EXPECT_EQ(Run("TALQTurnTagOn," + p + "," + key + ",Hot"), "OK");
    EXPECT_EQ(Run("TALQTurnTagOn," + p + "," + key + ",hot"), "OK") << "twice changes nothing";
    EXPECT_NE(Run("TALQGetImageTags," + p + "," + key).find("Hot"), std::string::npos);
    EXPECT_EQ(Run("TALQIsDocTagged" + kRS + "admin" + kRS + "admin" + kRS + "ACME" + kRS + "Hot" +
                  kRS + key + kRS + key),
              "1");
    EXPECT_EQ(Run("TALQIsDocTagged," + p + ",Hot," + Pages()[0].key + "," + Pages()[5].key), "1");
    Run("TALQTurnTagOff," + p + "," + other + ",Hot");
    EXPECT_EQ(Run("TALQIsDocTagged," + p + ",Hot," + other + "," + other), "0");

    EXPECT_EQ(Run("TALQUpdateTag," + p + ",Hot,Burning"), "1");
    EXPECT_EQ(Run("TALQGetTagPaletteList," + p), "Burning,Responsive");
    EXPECT_NE(Run("TALQGetImageTags," + p + "," + key).find("Burning"), std::string::npos);
    EXPECT_EQ(Run("TALQUpdateTag," + p + ",Burning,Re,sponsive").rfind("ERROR", 0), 0u);
    EXPECT_EQ(Run("TALQAddTag," + p + ",New|Tag").rfind("ERROR", 0), 0u);
    EXPECT_EQ(Run("TALQDelTag," + p + ",Burning"), "1");
    EXPECT_EQ(Run("TALQGetTagPaletteList," + p), "Responsive");
    EXPECT_EQ(Run("TALQGetImageTags," + p + "," + key).find("Burning"), std::string::npos);
    EXPECT_EQ(Run("TALQPutPaletteList," + p + ","), "OK");
    EXPECT_EQ(Run("TALQGetTagPaletteList," + p), "NONE");
    EXPECT_EQ(Run("TALQAddTag," + p + ",Hot"), "1");
    EXPECT_EQ(Run("TALQPutPaletteList," + p + ",Responsive|Privileged|Hot"), "OK");

    // The reviewer sees pages but may not tag them.
    EXPECT_EQ(Run("TALQTurnTagOn,reviewer,review,ACME," + key + ",Hot").rfind("ERROR", 0), 0u);
}

TEST_F(ReviewServer, AnnotationListsAreStoredPerKindAsSent) {
    const std::string p = "admin,admin,ACME";
    const std::string key = Pages()[4].key;
    // Over TCP a clip list is refused: clips are made in local access only.
    EXPECT_EQ(Run("TALQPutAnnotations," + p + "," + key + ",2,x"),
              "ERROR: Clips can only be changed in Local Access Mode");
    state_.local = true;
    for (int kind : {1, 2, 4, 8, 16, 64})
        ASSERT_EQ(Run("TALQPutAnnotations," + p + "," + key + "," + std::to_string(kind) +
                      ",list " + std::to_string(kind) + ", with, commas"),
                  "1");
    std::string reply = Run("TALQGetAnnotations," + p + "," + key);
    EXPECT_EQ(reply, "list 1, with, commas" + kSS + "list 2, with, commas" + kSS +
                         "list 4, with, commas" + kSS + "list 8, with, commas" + kSS +
                         "list 16, with, commas" + kSS + kSS + "list 64, with, commas");
    EXPECT_EQ(Run("TALQPutAnnotations," + p + "," + key + ",4,"), "1");
    EXPECT_EQ(Run("TALQGetAnnotations," + p + "," + key).find("list 4"), std::string::npos);
    EXPECT_EQ(Run("TALQPutAnnotations," + p + "," + key + ",32,x").rfind("ERROR", 0), 0u);
    EXPECT_EQ(Run("TALQPutAnnotations," + p + "," + key + ",3,x").rfind("ERROR", 0), 0u);
    EXPECT_EQ(Run("TALQPutAnnotations,reviewer,review,ACME," + key + ",8,x").rfind("ERROR", 0), 0u);
}

TEST_F(ReviewServer, FilesAreReadInPiecesOfTenThousandAndNamesStayInside) {
    auto read = [&](const std::string& name, int offset) {
        return Run("TALQReadFromFile," + name + "," + std::to_string(offset) + ",10000");
    };
    EXPECT_EQ(read("originals/ACME/size0.bin", 0), "EOF");
    EXPECT_EQ(read("originals/ACME/size20000.bin", 0).size(), 10000u);
    EXPECT_EQ(read("originals/ACME/size20000.bin", 10000).size(), 10000u);
    EXPECT_EQ(read("originals/ACME/size20000.bin", 20000), "EOF");
    EXPECT_EQ(read("originals/ACME/size25001.bin", 20000).size(), 5001u);
    EXPECT_EQ(Run("TALQReadFromFile,originals/ACME/size25001.bin,0,99999").size(), 10000u);
    EXPECT_EQ(Run("TALQDoesFileExist,originals/ACME/size0.bin"), "1");
    for (const std::string& hostile :
         {std::string("system.db"), std::string("../demo/system.db"), std::string("/etc/passwd"),
          std::string("originals/../system.db"), std::string("originals\\..\\system.db"),
          Sys() + "/system.db", std::string("tmp/../../x")}) {
        EXPECT_EQ(Run("TALQDoesFileExist," + hostile), "0") << hostile;
        EXPECT_EQ(read(hostile, 0).rfind("ERROR", 0), 0u) << hostile;
        EXPECT_EQ(Run("TALQResolveFile," + Pages()[0].key + ",@" + hostile), "NONE") << hostile;
        Run("TALQDeleteFile," + hostile);
    }
    EXPECT_TRUE(mVBUtil::FileExists(Sys() + "/system.db"));
    EXPECT_EQ(Run("TALQDeleteFile,originals/ACME/size0.bin").rfind("ERROR", 0), 0u)
        << "only temporary files are deleted";
    // "@" names: the page's own original, or a named original.
    for (const Page& page : Pages()) {
        if (page.original.empty()) continue;
        EXPECT_EQ(Run("TALQResolveFile," + page.key + ",@"), page.original);
        break;
    }
    EXPECT_EQ(Run("TALQResolveFile,X,@ACME/size10000.bin"), "originals/ACME/size10000.bin");
    EXPECT_EQ(Run("TALQResolveFile,X,@missing.bin"), "NONE");
}

TEST_F(ReviewServer, UploadsAreReadByTheirLengthNulsAndCommasIncluded) {
    const std::string key = Pages()[7].key;
    std::string bytes("\x89PNG\0,a,\0b", 10);
    EXPECT_EQ(Run("TALQStoreImageFile,admin,admin,ACME," + key + ",4,0,0,10," + bytes +
                  std::string(1, '\0')),
              "OK");
    EXPECT_EQ(
        Run("TALQStoreImageFile,admin,admin,ACME," + key + ",4,0,0,99,short").rfind("ERROR", 0),
        0u);
    EXPECT_EQ(Run("TALQImportLine,admin,admin,ACME,FT," + key + ",1,2,full, text line"), "OK");
    docserver::SystemDb db;
    std::string error;
    ASSERT_TRUE(db.Open(Sys() + "/system.db", false, error));
    docserver::Statement t(db, "SELECT image_file, ocr_text FROM pages WHERE image_key = ?");
    t.Bind(1, key);
    ASSERT_TRUE(t.Step());
    EXPECT_EQ(testsupport::ReadFile(Sys() + "/" + t.Text(0)), bytes);
    EXPECT_EQ(t.Text(1), "full, text line");
}

TEST_F(ReviewServer, BatchFilesAreWrittenOnlyAsSiblingsOfIssuedNames) {
    std::string dirs = Run("TALQGetBatchDirs,admin,admin,DOM");
    EXPECT_EQ(dirs, "Colour Copier\tbatch/colour" + kRS + "Floor 2 Laser\tbatch/floor2");
    EXPECT_EQ(Run("TALQValidateBatchPrinter,Floor 2 Laser"), "OK");
    EXPECT_EQ(Run("TALQValidateBatchPrinter,Nowhere").rfind("ERROR", 0), 0u);
    std::string name = Run("TALQGetNextBatch,Floor 2 Laser");
    ASSERT_EQ(name.rfind("batch/floor2/JOB", 0), 0u) << name;
    std::string stem = name.substr(0, name.size() - 3);
    auto write = [&](const std::string& file, const std::string& data) {
        return Run("TALQWriteFile" + kRS + file + kRS + "0" + kRS + std::to_string(data.size()) +
                   kRS + data);
    };
    EXPECT_EQ(write(stem + "P__", "BatchPrint=1\n"), "OK");
    EXPECT_EQ(write(stem + "P__", "K1~0~ACME~~~\n"), "OK");
    EXPECT_EQ(write(stem + "MRK", std::string("\0\1", 2)), "OK");
    EXPECT_EQ(write(stem + "BAT", "x").rfind("ERROR", 0), 0u);
    EXPECT_EQ(write("batch/floor2/JOB999999.P__", "x").rfind("ERROR", 0), 0u);
    EXPECT_EQ(write("../../x.P__", "x").rfind("ERROR", 0), 0u);
    EXPECT_EQ(Run("TALQCloseOutBatchFile," + stem + "P__,0,1"), "OK");
    EXPECT_EQ(testsupport::ReadFile(Sys() + "/" + stem + "JOB"), "BatchPrint=1\nK1~0~ACME~~~\n");
    EXPECT_EQ(testsupport::ReadFile(Sys() + "/" + stem + "MRK"), std::string("\0\1", 2));
    EXPECT_EQ(write(stem + "P__", "late").rfind("ERROR", 0), 0u) << "a closed job takes nothing";
}

TEST_F(ReviewServer, ConceptSearchRowsAgreeWithTheTextAndItsSpellingsAreOffered) {
    // A word that occurs in the text, and a misspelling of another.
    const std::string& text = Pages()[10].ocr;
    std::string word;
    for (std::size_t i = 0, start = 0; i <= text.size(); ++i) {
        bool letter = i < text.size() && std::isalpha(static_cast<unsigned char>(text[i]));
        if (!letter) {
            if (i - start >= 6) {
                word = text.substr(start, i - start);
                break;
            }
            start = i + 1;
        }
    }
    ASSERT_FALSE(word.empty());
    std::string misspelt = word.substr(0, 2) + word.substr(3);
    EXPECT_EQ(Run("IDEX_IsSupported"), "YES");
    EXPECT_EQ(Run("IDEX_StartSearch" + kRS + word + " " + misspelt + kRS + "500" + kRS + "0"),
              "OK");
    int polls = 0;
    std::string reply;
    while ((reply = Run("IDEX_QuerySearch")) == "1" && polls < 100) ++polls;
    ASSERT_EQ(reply.rfind("0,Q", 0), 0u) << reply;
    std::string name = reply.substr(2, reply.find(',', 2) - 2);
    EXPECT_EQ(reply.substr(reply.rfind(',') + 1), "7");
    std::string rows = testsupport::ReadFile(Sys() + "/tmp/" + name);
    ASSERT_FALSE(rows.empty());
    int checked = 0;
    std::size_t lineStart = 0;
    while (lineStart < rows.size()) {
        std::size_t lineEnd = rows.find('\n', lineStart);
        std::string row = rows.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;
        std::string key = row.substr(0, row.find('\t'));
        const Page* page = nullptr;
        for (const Page& p : Pages())
            if (p.key == key) page = &p;
        ASSERT_NE(page, nullptr) << key;
        std::size_t seg = row.find('[');
        while (seg != std::string::npos) {
            std::size_t next = row.find('[', seg + 1);
            std::string segment =
                row.substr(seg + 1, next == std::string::npos ? next : next - seg - 1);
            seg = next;
            int start = std::stoi(segment);
            int end = std::stoi(segment.substr(segment.find(',') + 1));
            std::string passage = page->ocr.substr(start, end - start + 1);
            EXPECT_EQ(passage.find('\n'), std::string::npos);
            EXPECT_EQ(Run("TALQGetPageWBuf,,,," + key + "," + std::to_string(start) + "," +
                          std::to_string(end)),
                      passage)
                << "the word buffer ends where the passage does";
            std::size_t pair = segment.find(',', segment.find(',') + 1);
            while (pair != std::string::npos) {
                std::size_t colon = segment.find(':', pair);
                int s = std::stoi(segment.substr(pair + 1));
                int e = std::stoi(segment.substr(colon + 1));
                std::string hit = passage.substr(s, e - s + 1);
                std::string lower;
                for (char c : hit) lower.push_back(static_cast<char>(std::tolower(c)));
                std::string wanted;
                for (char c : word) wanted.push_back(static_cast<char>(std::tolower(c)));
                EXPECT_EQ(lower.rfind(wanted.substr(0, wanted.size() - 1), 0), 0u) << hit;
                ++checked;
                pair = segment.find(',', pair + 1);
            }
        }
    }
    EXPECT_GT(checked, 0);
    std::string stem = name.substr(0, name.size() - 1);
    std::string spelling = testsupport::ReadFile(Sys() + "/tmp/S" + stem);
    std::string lowerWord;
    for (char c : word) lowerWord.push_back(static_cast<char>(std::tolower(c)));
    EXPECT_EQ(spelling.rfind(misspelt + "^", 0), 0u) << "the word as typed: " << spelling;
    EXPECT_NE(spelling.find(lowerWord), std::string::npos) << spelling;
    EXPECT_EQ(Run("IDEX_QuerySearch").rfind("-1,", 0), 0u) << "the result was handed out once";
}

TEST_F(ReviewServer, SessionRoundTripsTagsAndEveryAnnotationKindOverTcp) {
    auto api = Open();
    const std::string key = Pages()[12].key;
    std::string list;
    EXPECT_EQ(api->GetTagList(list), 5);
    ASSERT_TRUE(api->NewTagDesc("Exhibit A"));
    EXPECT_FALSE(api->NewTagDesc("Exhibit A"));
    ASSERT_TRUE(api->TurnTagOn(key, "Exhibit A"));
    EXPECT_TRUE(api->IsTagOn(key, "Exhibit A"));
    EXPECT_TRUE(api->IsRangeTagged(Pages()[0].key, Pages()[20].key, "Exhibit A"));
    ASSERT_TRUE(api->ModifyTagDesc("Exhibit A", "Exhibit B"));
    EXPECT_GE(api->GetImageTags(key, list), 1);
    EXPECT_NE(list.find("Exhibit B"), std::string::npos);
    ASSERT_TRUE(api->PutTagPalette("Exhibit B,Hot"));
    EXPECT_EQ(api->GetTagPalette(list), 2);
    EXPECT_EQ(list, "Exhibit B,Hot");
    ASSERT_TRUE(api->TurnTagOff(key, "Exhibit B"));
    EXPECT_FALSE(api->IsTagOn(key, "Exhibit B"));
    ASSERT_TRUE(api->DeleteTagDesc("Exhibit B"));
    EXPECT_EQ(api->GetTagPalette(list), 1);
    ASSERT_TRUE(api->PutTagPalette("Responsive,Privileged,Hot"));

    const std::int16_t kinds[] = {4, 8, 1, 16, 2, 64};
    // Clips (kind 2) are made only in local access; over TCP they are refused.
    for (std::int16_t kind : kinds)
        ASSERT_EQ(api->PutAnnotationList(key, kind, "k" + std::to_string(kind) + ", a, b"),
                  kind != 2)
            << api->LastError();
    std::string lists[6];
    ASSERT_TRUE(
        api->GetAllAnnotations(key, lists[0], lists[1], lists[2], lists[3], lists[4], lists[5]));
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(lists[i], kinds[i] == 2 ? "" : "k" + std::to_string(kinds[i]) + ", a, b");
    ASSERT_TRUE(api->PutAnnotationList(key, 16, ""));
    ASSERT_TRUE(
        api->GetAllAnnotations(key, lists[0], lists[1], lists[2], lists[3], lists[4], lists[5]));
    EXPECT_EQ(lists[3], "") << "an empty list clears its kind";
    EXPECT_EQ(lists[0], "k4, a, b");
    EXPECT_FALSE(api->GetAllAnnotations("NOSUCHKEY", lists[0], lists[1], lists[2], lists[3],
                                        lists[4], lists[5]));
}

TEST_F(ReviewServer, SessionRetrievesFilesUploadsBytesAndSearchesConceptsOverTcpAndLocally) {
    for (std::int16_t mode : {0, 2}) {
        SCOPED_TRACE(mode);
        auto api = Open(mode);
        std::string local = api->RetrieveFile("@ACME/size20000.bin", "");
        ASSERT_FALSE(local.empty()) << api->LastError();
        EXPECT_EQ(testsupport::ReadFile(local),
                  testsupport::ReadFile(Sys() + "/originals/ACME/size20000.bin"));
        EXPECT_EQ(local.substr(local.size() - 4), ".bin");
        EXPECT_EQ(api->RetrieveFile("@../system.db", ""), "");
        if (mode == 2) {
            EXPECT_EQ(api->RetrieveFile("originals/ACME/size10000.bin", ""),
                      Sys() + "/originals/ACME/size10000.bin")
                << "the library names the file where it lies";
            EXPECT_EQ(api->RetrieveFile("system.db", ""), "");
        }
        std::string empty = api->RetrieveFile("@ACME/size0.bin", "");
        ASSERT_FALSE(empty.empty());
        EXPECT_EQ(testsupport::ReadFile(empty), "");

        // An upload keeps every byte, NULs and commas included.
        std::string bytes("\x89PNG\r\n\0\0,x,", 12);
        bytes += std::to_string(mode);
        testsupport::WriteFile(tmp_.Path() + "/page.png", bytes);
        const std::string& key = Pages()[20 + mode].key;
        ASSERT_TRUE(api->UploadImage(tmp_.Path() + "/page.png", key, "", 0, 0)) << api->LastError();
        {
            docserver::SystemDb db;
            std::string error;
            ASSERT_TRUE(db.Open(Sys() + "/system.db", false, error));
            docserver::Statement s(db, "SELECT image_file FROM pages WHERE image_key = ?");
            s.Bind(1, key);
            ASSERT_TRUE(s.Step());
            EXPECT_EQ(testsupport::ReadFile(Sys() + "/" + s.Text(0)), bytes);
        }
        ASSERT_TRUE(api->PutWordList(key, 0, 0, 0, 0, "imported, line"));

        ASSERT_TRUE(api->QuesterIsSupported());
        ASSERT_TRUE(api->QuesterStartSearch("the", 50, 0)) << api->LastError();
        int polls = 0;
        while (api->QuesterCheckSearch() && polls < 100) ++polls;
        EXPECT_LT(polls, 100) << "the search ends";
        ASSERT_TRUE(api->IsQuesterActive()) << api->LastError();
        EXPECT_FALSE(api->QuesterQueryFile().empty());
        std::string term = api->QuesterTermFile();
        ASSERT_FALSE(term.empty());
        EXPECT_EQ(term.rfind(tmp_.Path(), 0), 0u) << term;
        EXPECT_EQ(testsupport::ReadFile(term).rfind("the^2^", 0), 0u);
        api->QuesterClearSearch();
        EXPECT_FALSE(api->IsQuesterActive());
        if (mode == 2) {
            EXPECT_FALSE(mVBUtil::FileExists(term));
        }
    }
}

TEST_F(ReviewServer, SessionBatchJobEndsAsAFinishedFileWithHeaderAndPages) {
    auto api = Open();
    std::string printers;
    ASSERT_EQ(api->GetBatchPrinters(printers), 2);
    ASSERT_TRUE(api->ValidateBatchPrinter("Floor 2 Laser"));
    cGdiPrn engine;
    engine.TopClip(2);
    ASSERT_TRUE(api->OpenBatchPrintFile(
        "Floor 2 Laser", "", batchprint::SessionHeader(*api, 0x1 | 0x2000, "Review set", engine)))
        << api->LastError();
    const std::string line1 = Pages()[0].key + "~0~ACME~Hot~~" + Pages()[0].key + "\n";
    const std::string line2 = Pages()[1].key + "*R~0~ACME~~Document~" + Pages()[1].key + "\n";
    ASSERT_TRUE(api->WriteBatchPrintFilePage(line1));
    ASSERT_TRUE(api->WriteBatchPrintFilePage(line2));
    api->CloseBatchPrintFile();
    std::string dir = Sys() + "/" + api->GetBatchPrintDir("Floor 2 Laser");
    std::string job;
    for (int n = 1; n < 50 && job.empty(); ++n) {
        std::string digits = std::to_string(n);
        std::string path = dir + "/JOB" + std::string(6 - digits.size(), '0') + digits + ".JOB";
        if (mVBUtil::FileExists(path) &&
            testsupport::ReadFile(path).find("Review set") != std::string::npos)
            job = testsupport::ReadFile(path);
    }
    const std::string expected =
        "BatchPrint=1\nPrintImageKey=1\nDOMAIN=DOM\nPAGECOUNT=00000000\nIndicateBoundaries=0\n"
        "SeparatorPage=0\nPrintMarkups=0\nPrintNotes=0\nPrintHilites=0\nPrintRedactions=0\n"
        "PrintRedactColor=Default\nPrintRedactLabel=Default\nDescription=Review set\n"
        "PrintMessage=1\nPrintStickies=0\nPrintClipPaths=0\nSupportColor=0\nPriority=5\n"
        "User=admin\nProject=ACME\nXscale=0\nEnlarge=0\nAllowLandscape=0\nKeyFontColor=0\n"
        "MsgFontColor=0\nBARCODE=0\nTOPCLIP=38\nBOTTOMCLIP=0\nLEFTCLIP=0\nRIGHTCLIP=0\n"
        "TOPMARGIN=0\nLEFTMARGIN=0\nKEYFONT=Arial\nFONT=Arial\nKEYPOSITION=6\nMSGPOSITION=4\n"
        "TOGGLEPAPER=0\nOCRTxtHilite=0\n";
    EXPECT_EQ(job, expected + line1 + line2);
}

TEST(ConceptTerms, WordsFormsAndChoices) {
    auto terms = docserver::ConceptTerms("Bank1, payments  bank x");
    ASSERT_EQ(terms.size(), 2u);
    EXPECT_EQ(terms[0].word, "bank");
    EXPECT_EQ(terms[0].choice, 1);
    EXPECT_EQ(terms[1].word, "payments");
    EXPECT_TRUE(docserver::MatchesTerm("payment", terms[1]));
    EXPECT_FALSE(docserver::MatchesTerm("banks", terms[0])) << "choice 1 is the word alone";
    int hits = 0;
    EXPECT_EQ(docserver::ConceptHitRow("No match\r\nThe bank paid.\r\n", terms, hits),
              "1 hits[10,23,4:7");
    EXPECT_EQ(hits, 1);
    EXPECT_EQ(docserver::ConceptHitRow("To the (payment), then\n", terms, hits), "1 hits[0,21,7:16")
        << "a term spans its token as the word list gives it";
    EXPECT_EQ(docserver::EditDistance("recieve", "receive", 2), 2);
}

}  // namespace
