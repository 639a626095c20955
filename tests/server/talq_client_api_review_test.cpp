// Tags, annotation lists, server files, concept search and batch print
// against a scripted server: the command texts sent and what each reply
// form leaves behind.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include <functional>
#include <mutex>
#include <vector>

#include "fake_server.h"
#include "foundation/binary_files.h"
#include "platform/launcher.h"
#include "platform/scripted_prompts.h"
#include "platform/wire_separators.h"
#include "printing/batch_print_header.h"
#include "printing/gdi_prn.h"
#include "server/talq_client_api.h"
#include "support/recording_launcher.h"
#include "support/scoped_env.h"

namespace {

using testsupport::FakeAction;
using testsupport::FakeServer;

const char kRS = wire::kRecordSep, kSS = wire::kSectionSep, kLS = wire::kListSep;

// A project record with one level and the given rights.
std::string Record(std::int32_t security, std::int32_t restriction) {
    std::vector<std::string> f{
        "1", "1",  "Doc",     "icon", "0",        std::to_string(security),    "skipped", "0", "0",
        "",  "68", "Project", "",     "Print me", std::to_string(restriction), ""};
    std::string out;
    for (std::size_t i = 0; i < f.size(); ++i) {
        if (i > 0) out.push_back(kSS);
        out += f[i];
    }
    return out;
}

using testsupport::RecordingLauncher;

using Handler = std::function<std::string(const std::string&)>;

class Review : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(api_.OpenTalqConnection(0, "DOM", "127.0.0.1", server_.Port(), 0, 0, 10))
            << api_.LastError();
        ASSERT_TRUE(api_.TalqLogin("ann", "pw", 1)) << api_.LastError();
        ASSERT_TRUE(api_.SelectProject("Alpha")) << api_.LastError();
        Sent();  // forget the session's own commands
    }
    // Replies by command prefix, longest first; a handler may answer instead.
    std::string Answer(const std::string& command) {
        std::lock_guard<std::mutex> lock(mutex_);
        std::string best, reply = "OK";
        for (const auto& [prefix, answer] : replies_)
            if (command.rfind(prefix, 0) == 0 && prefix.size() >= best.size()) {
                best = prefix;
                reply = answer;
            }
        if (handler_) {
            std::string handled = handler_(command);
            if (!handled.empty()) return handled;
        }
        return reply;
    }
    void Reply(const std::string& prefix, const std::string& reply) {
        std::lock_guard<std::mutex> lock(mutex_);
        replies_.emplace_back(prefix, reply);
    }
    void Handle(Handler handler) {
        std::lock_guard<std::mutex> lock(mutex_);
        handler_ = std::move(handler);
    }
    // Commands beginning with prefix are carried out, then the connection
    // breaks before the answer; "" breaks nothing.
    void DropAfter(const std::string& prefix) {
        std::lock_guard<std::mutex> lock(mutex_);
        dropAfter_ = prefix;
    }
    bool Drops(const std::string& command) {
        std::lock_guard<std::mutex> lock(mutex_);
        return !dropAfter_.empty() && command.rfind(dropAfter_, 0) == 0;
    }
    // Commands since the last call.
    std::vector<std::string> Sent() {
        auto all = server_.Commands();
        std::vector<std::string> out;
        for (std::size_t i = seen_; i < all.size(); ++i) out.push_back(all[i].command);
        seen_ = all.size();
        return out;
    }

    std::mutex mutex_;
    std::vector<std::pair<std::string, std::string>> replies_{
        {"TALQGetSystemFlags", "1"},
        {"TALQGetExtSystemFlags", "0"},
        {"TALQGetVersion", "8.6.0"},
        {"TALQRequiredLogin",
         "1\x1e"
         "7\x1e"
         "Ann"},
        {"TALQGetProjectInfo", Record(0x1, 0)}};
    Handler handler_;
    std::string dropAfter_;
    std::size_t seen_ = 0;
    testsupport::ScopedTempDir tmp_;
    testsupport::ScopedEnv tmpdir_{"TMPDIR", tmp_.Path()};
    platform::ScriptedPrompts prompts_;
    platform::ScopedPrompts usePrompts_{prompts_};
    RecordingLauncher launcher_;
    platform::ScopedLauncher useLauncher_{launcher_};
    FakeServer server_{[this](int, const std::string& command) {
        FakeAction a;
        a.payload = Answer(command);
        a.silent = a.closeAfter = Drops(command);
        return a;
    }};
    TalqClientAPI api_;
};

TEST_F(Review, TagRequestsSendTheirTextsAndReadOnlyExactReplies) {
    std::string list;
    Reply("TALQGetImageTags", "NONE");
    EXPECT_EQ(api_.GetImageTags("K1", list), 0);
    EXPECT_EQ(list, "");
    Reply("TALQGetImageTags", "Hot,Cold,Warm,");
    EXPECT_EQ(api_.GetImageTags("K1", list), 3);
    EXPECT_EQ(api_.GetImageTags("", list), 0);
    EXPECT_EQ(api_.LastError(), "Invalid Image Key");
    Reply("TALQGetTagPaletteList", "NONE");
    EXPECT_EQ(api_.GetTagPalette(list), 0) << "an empty palette is no tag called NONE";
    EXPECT_EQ(list, "");

    Reply("TALQTurnTagOn", "ok");
    EXPECT_FALSE(api_.TurnTagOn("K1", "Hot"));
    Reply("TALQTurnTagOn", "OK");
    EXPECT_TRUE(api_.TurnTagOn("K1", "Hot"));
    EXPECT_FALSE(api_.TurnTagOn("K1", ""));
    EXPECT_EQ(api_.LastError(), "Invalid Tag Desc");

    Reply("TALQIsDocTagged", "1");
    EXPECT_TRUE(api_.IsTagOn("K1", "Hot"));
    EXPECT_TRUE(api_.IsRangeTagged("K1", "", "Hot"));
    EXPECT_TRUE(api_.PutTagPalette("Hot,Cold,Warm"));
    std::vector<std::string> sent = Sent();
    const std::string r(1, kRS);
    EXPECT_EQ(sent[sent.size() - 3], "TALQIsDocTagged" + r + "ann" + r + "pw" + r + "Alpha" + r +
                                         "Hot" + r + "K1" + r + "K1");
    EXPECT_EQ(sent[sent.size() - 2], "TALQIsDocTagged,ann,pw,Alpha,Hot,K1,K1");
    EXPECT_EQ(sent.back(), "TALQPutPaletteList,ann,pw,Alpha,Hot|Cold|Warm");
}

TEST_F(Review, TagNamesThatWouldBreakListsAreRefusedBeforeSending) {
    Reply("TALQAddTag", "1");
    for (const std::string& bad :
         {std::string(""), std::string("A,B"), std::string("A|B"), std::string("Tab\there")}) {
        EXPECT_FALSE(api_.NewTagDesc(bad)) << bad;
        EXPECT_EQ(api_.LastError(), "Invalid Paramater");
        EXPECT_FALSE(api_.ModifyTagDesc("Hot", bad));
    }
    EXPECT_TRUE(Sent().empty());
    EXPECT_TRUE(api_.NewTagDesc("Very Hot"));
    EXPECT_EQ(Sent(), std::vector<std::string>{"TALQAddTag,ann,pw,Alpha,Very Hot"});
}

// A key is never the last field, so a separator in it would shift the fields
// the server reads after it.
TEST_F(Review, KeysHoldingSeparatorsAreRefusedUnsentByEveryKeyedRequest) {
    std::string image = tmp_.Path() + "/scan.tif";
    testsupport::WriteFile(image, "II*");
    std::string a, b, c, d, e, f;
    const std::function<void(const std::string&)> requests[] = {
        [&](const std::string& key) { api_.GetImageTags(key, a); },
        [&](const std::string& key) { api_.TurnTagOn(key, "Hot"); },
        [&](const std::string& key) { api_.TurnTagOff(key, "Hot"); },
        [&](const std::string& key) { api_.IsTagOn(key, "Hot"); },
        [&](const std::string& key) { api_.IsRangeTagged(key, "", "Hot"); },
        [&](const std::string& key) { api_.IsRangeTagged("K1", key, "Hot"); },
        [&](const std::string& key) { api_.IsPageRestricted(key); },
        [&](const std::string& key) { api_.GetAllAnnotations(key, a, b, c, d, e, f); },
        [&](const std::string& key) { api_.PutAnnotationList(key, 4, "1,2,3"); },
        [&](const std::string& key) { api_.PutWordList(key, 1, 2, 3, 4, "a line"); },
        [&](const std::string& key) { api_.UploadImage(image, key, "", 5, 0); },
        [&](const std::string& key) { api_.RetrieveFile("@original", key); },
    };
    for (const std::string& key :
         {std::string("K,1"), std::string("K\x18"), std::string("K\x19"), std::string("K\x1e"),
          std::string("K\x1f"), std::string("K\0", 2)}) {
        for (std::size_t i = 0; i < std::size(requests); ++i) {
            requests[i](key);
            EXPECT_EQ(api_.LastError(), "Invalid Character in Image Key") << "request " << i;
        }
    }
    EXPECT_TRUE(Sent().empty());
}

TEST_F(Review, ChangingTagsNeedsTheRightAndRestrictedTagsAreNotAskedFor) {
    Reply("TALQGetProjectInfo", Record(0x10000, 0x2));
    ASSERT_TRUE(api_.SelectProject("Alpha"));
    Sent();
    std::string list;
    EXPECT_FALSE(api_.AreTagsRestricted());
    EXPECT_FALSE(api_.TurnTagOn("K1", "Hot"));
    EXPECT_EQ(api_.LastError(), "Insufficient Security Level");
    Reply("TALQGetProjectInfo", Record(0x80, 0x2));
    ASSERT_TRUE(api_.SelectProject("Alpha"));
    Sent();
    EXPECT_EQ(api_.GetTagList(list), 0);
    EXPECT_EQ(api_.LastError(), "Tags Are Restricted");
    EXPECT_TRUE(Sent().empty());
}

TEST_F(Review, AnnotationSectionsGoToTheirListsByKind) {
    std::string s;
    for (int i = 1; i <= 7; ++i) s += (i > 1 ? std::string(1, kSS) : "") + "s" + std::to_string(i);
    Reply("TALQGetAnnotations", s);
    std::string red, hi, sticky, note, clip, markup;
    ASSERT_TRUE(api_.GetAllAnnotations("K1", red, hi, sticky, note, clip, markup));
    EXPECT_EQ(red, "s3");
    EXPECT_EQ(hi, "s4");
    EXPECT_EQ(sticky, "s1");
    EXPECT_EQ(note, "s5");
    EXPECT_EQ(clip, "s2");
    EXPECT_EQ(markup, "s7");
    Reply("TALQGetAnnotations", "a" + std::string(1, kSS) + "b");
    ASSERT_TRUE(api_.GetAllAnnotations("K1", red, hi, sticky, note, clip, markup));
    EXPECT_EQ(sticky + "|" + clip + "|" + red + hi + note + markup, "a|b|");
}

TEST_F(Review, AFailedAnnotationReadIsAFailureNotAnEmptyPage) {
    Reply("TALQGetAnnotations", "ERROR: database locked");
    std::string red = "old", hi, sticky, note, clip, markup;
    EXPECT_FALSE(api_.GetAllAnnotations("K1", red, hi, sticky, note, clip, markup));
    EXPECT_EQ(red, "");
}

TEST_F(Review, SavingAListSendsItsKindAndNeedsTheReplyOne) {
    Reply("TALQPutAnnotations", "1.0");
    EXPECT_TRUE(api_.PutAnnotationList("K1", 16, "note, with comma"));
    EXPECT_EQ(Sent(),
              std::vector<std::string>{"TALQPutAnnotations,ann,pw,Alpha,K1,16,note, with comma"});
    Reply("TALQPutAnnotations", "2");
    api_.DisplayErrorMsgs(true);
    EXPECT_FALSE(api_.PutAnnotationList("K1", 4, "x"));
    EXPECT_EQ(api_.LastError(), "2");
    EXPECT_EQ(prompts_.Messages().back(), "2");
}

TEST_F(Review, PageRestrictionReadsTheReplysNumber) {
    Reply("TALQIsPageRestricted", "0");
    EXPECT_FALSE(api_.IsPageRestricted("K1"));
    Reply("TALQIsPageRestricted", "1");
    EXPECT_TRUE(api_.IsPageRestricted("K1"));
}

// A server file of the given size, read in pieces from the offset asked for.
Handler FileServer(const std::string& name, const std::string& content, int failAt = -1) {
    return [name, content, failAt](const std::string& command) -> std::string {
        if (command == "TALQDoesFileExist," + name) return "1";
        std::string prefix = "TALQReadFromFile," + name + ",";
        if (command.rfind(prefix, 0) != 0) return "";
        std::string rest = command.substr(prefix.size());
        std::size_t offset = std::stoul(rest.substr(0, rest.find(',')));
        if (static_cast<int>(offset) == failAt) return "ERROR: disk gone";
        if (offset >= content.size()) return "EOF";
        return content.substr(offset, 10000);
    };
}

TEST_F(Review, RetrieveFileReadsPiecesOfTenThousandAndEndsAtEofOrAShortPiece) {
    for (std::size_t size : {std::size_t{0}, std::size_t{15000}, std::size_t{20000}}) {
        std::string content(size, 'x');
        for (std::size_t i = 0; i < size; ++i) content[i] = static_cast<char>('a' + i % 26);
        Handle(FileServer("docs/report.pdf", content));
        std::string local = api_.RetrieveFile("docs/report.pdf", "K1");
        ASSERT_FALSE(local.empty()) << size;
        EXPECT_EQ(local.substr(local.size() - 4), ".pdf");
        EXPECT_EQ(testsupport::ReadFile(local), content);
        std::vector<std::string> sent = Sent();
        std::vector<std::string> reads;
        for (const std::string& c : sent)
            if (c.rfind("TALQReadFromFile", 0) == 0) reads.push_back(c);
        std::vector<std::string> expected;
        if (size == 0) expected = {"TALQReadFromFile,docs/report.pdf,0,10000"};
        if (size == 15000)
            expected = {"TALQReadFromFile,docs/report.pdf,0,10000",
                        "TALQReadFromFile,docs/report.pdf,10000,10000"};
        if (size == 20000)
            expected = {"TALQReadFromFile,docs/report.pdf,0,10000",
                        "TALQReadFromFile,docs/report.pdf,10000,10000",
                        "TALQReadFromFile,docs/report.pdf,20000,10000"};
        EXPECT_EQ(reads, expected) << size;
        EXPECT_EQ(api_.TempFileList(), local) << "the list keeps only the newest file";
    }
}

TEST_F(Review, RetrieveFileTakesOnlyAPlainExtensionOfTheLastComponent) {
    Handle(FileServer("dir.v2/data", "abc"));
    std::string local = api_.RetrieveFile("dir.v2/data", "");
    EXPECT_EQ(local.substr(local.size() - 4), ".TMP");
    Handle(FileServer("x/evil.a/../../../../etc", "abc"));
    local = api_.RetrieveFile("x/evil.a/../../../../etc", "");
    EXPECT_EQ(local.substr(local.size() - 4), ".TMP");
    Handle(FileServer("scan.tif/../x.$$$", "abc"));
    local = api_.RetrieveFile("scan.tif/../x.$$$", "");
    EXPECT_EQ(local.substr(local.size() - 4), ".TMP");
    Handle(FileServer("long.abcdefghijk", "abc"));
    local = api_.RetrieveFile("long.abcdefghijk", "");
    EXPECT_EQ(local.substr(local.size() - 4), ".TMP");
    Handle(FileServer("Original.Docx", "abc"));
    local = api_.RetrieveFile("Original.Docx", "");
    ASSERT_GT(local.size(), 6u);
    EXPECT_NE(local.find("TALQTEMP_T"), std::string::npos);
    EXPECT_EQ(local.substr(local.size() - 5), ".Docx");
    EXPECT_EQ(local.find("/../"), std::string::npos);
}

TEST_F(Review, AFailedTransferLeavesNoPartialFile) {
    Handle(FileServer("big.bin", std::string(30000, 'z'), 10000));
    std::string local = api_.RetrieveFile("big.bin", "");
    EXPECT_EQ(local, "");
    EXPECT_EQ(api_.TempFileList(), "");
    std::string folder = api_.CreateLocalTempFile(0);
    folder = folder.substr(0, folder.rfind('/') + 1);
    EXPECT_FALSE(mVBUtil::FileExists(folder + "*")) << "the partial copy was deleted";
    EXPECT_FALSE(api_.IsRequestInProcess()) << "the request lock is released";
}

TEST_F(Review, AtNamesAreResolvedFirstAndNoneEndsTheRetrieval) {
    Reply("TALQResolveFile", "NONE");
    EXPECT_EQ(api_.RetrieveFile("@", "K7"), "");
    EXPECT_EQ(Sent(), std::vector<std::string>{"TALQResolveFile,K7,@"});
    Reply("TALQResolveFile", "originals/K7.pdf");
    Handle(FileServer("originals/K7.pdf", "%PDF"));
    std::string local = api_.RetrieveFile("@", "K7");
    EXPECT_EQ(testsupport::ReadFile(local), "%PDF");
}

TEST_F(Review, ClipsOpenDocumentsAndUrlsWithoutAShellAndRefuseRunnables) {
    Handle(FileServer("docs/memo.pdf", "%PDF-1.4"));
    api_.ExecuteClipCommand(1, "docs/memo.pdf");
    ASSERT_EQ(launcher_.calls.size(), 1u);
    EXPECT_EQ(launcher_.calls[0].rfind("open " + tmp_.Path(), 0), 0u) << launcher_.calls[0];
    EXPECT_EQ(launcher_.calls[0].substr(launcher_.calls[0].size() - 4), ".pdf");

    api_.ExecuteClipCommand(1, "http://example.com/x?a=1;rm -rf");
    EXPECT_EQ(launcher_.calls.back(), "open http://example.com/x?a=1;rm -rf");

    api_.ExecuteClipCommand(0, "\"/usr/bin/viewer\" docs/memo.pdf");
    EXPECT_EQ(launcher_.calls.back().rfind("start /usr/bin/viewer | " + tmp_.Path(), 0), 0u)
        << launcher_.calls.back();

    // A text that only begins like a web address is still checked as a file.
    testsupport::ScopedTempDir cwd;
    testsupport::WriteFile(cwd.Path() + "/HTTPtool", "#!/bin/sh\n");
    char* previous = ::getcwd(nullptr, 0);
    ASSERT_EQ(::chdir(cwd.Path().c_str()), 0);
    std::size_t calls = launcher_.calls.size();
    api_.ExecuteClipCommand(1, "HTTPtool");
    EXPECT_EQ(::chdir(previous), 0);
    std::free(previous);
    EXPECT_EQ(launcher_.calls.size(), calls);
    EXPECT_EQ(prompts_.Messages().back(), "Error Executing Clip Command");

    Handle(FileServer("docs/run.desktop", "[Desktop Entry]\nExec=sh"));
    std::size_t before = launcher_.calls.size();
    api_.ExecuteClipCommand(1, "docs/run.desktop");
    EXPECT_EQ(launcher_.calls.size(), before);
    EXPECT_EQ(prompts_.Messages().back(), "Error Executing Clip Command");

    api_.ExecuteClipCommand(2, "docs/memo.pdf");
    EXPECT_EQ(prompts_.Messages().back(), "Bad Clip Command Format");
    Reply("TALQDoesFileExist", "0");
    Handle(nullptr);
    api_.ExecuteClipCommand(1, "docs/missing.pdf");
    EXPECT_EQ(prompts_.Records().back().title, "Clip File Not Found");
}

TEST_F(Review, ALaunchedFileOutlivesTheNextCleanUpButNotTheSession) {
    Handle(FileServer("docs/memo.pdf", "%PDF-1.4"));
    api_.ExecuteOriginalFile("K1", "docs/memo.pdf,1,2");
    ASSERT_EQ(launcher_.calls.size(), 1u);
    std::string opened = launcher_.calls[0].substr(5);
    api_.CleanUpTempFileList();
    EXPECT_TRUE(mVBUtil::FileExists(opened));
    api_.CloseTalqConnection();
    EXPECT_FALSE(mVBUtil::FileExists(opened));
}

TEST_F(Review, UploadsStopWithoutASessionAndSendTheTypeFromTheExtension) {
    std::string path = tmp_.Path() + "/scan.tif";
    testsupport::WriteFile(path, "II*");
    EXPECT_TRUE(api_.UploadImage(path, "K1", "", 5, 0));
    testsupport::WriteFile(tmp_.Path() + "/scan.jpeg", "jpg");
    EXPECT_TRUE(api_.UploadImage(tmp_.Path() + "/scan.jpeg", "K1", "", 5, 0));
    EXPECT_FALSE(api_.UploadImage(tmp_.Path() + "/none.tif", "K1", "", 5, 0));
    EXPECT_EQ(api_.LastError(), "Unable to open Image File: " + tmp_.Path() + "/none.tif");
    EXPECT_TRUE(api_.PutWordList("K1", 1, 2, 3, 4, "a line, with commas"));
    std::vector<std::string> sent = Sent();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0], "TALQStoreImageFile,ann,pw,Alpha,K1,2,0,5,3,II*");
    EXPECT_EQ(sent[1], "TALQStoreImageFile,ann,pw,Alpha,K1,4,0,5,3,jpg");
    EXPECT_EQ(sent[2], "TALQImportLine,ann,pw,Alpha,FT,K1,1,2,a line, with commas");

    api_.CloseProject();
    Sent();
    EXPECT_FALSE(api_.UploadImage(path, "K1", "", 5, 0));
    EXPECT_FALSE(api_.PutWordList("K1", 1, 2, 3, 4, "x"));
    EXPECT_TRUE(Sent().empty());
}

TEST_F(Review, ConceptResultFilesComeDownAndAreDeletedOnTheServer) {
    Reply("IDEX_StartSearch", "OK");
    ASSERT_TRUE(api_.QuesterStartSearch("contract", 100, 0));
    std::string term(20005, 't');
    Handle([&](const std::string& command) -> std::string {
        if (command == "IDEX_QuerySearch") return "2,R0815X,7";
        for (const auto& [name, content] :
             {std::pair<std::string, std::string>{"DR0815", term}, {"SR0815", "recieve^receive"}}) {
            std::string prefix = "TALQReadFromFile," + name + ",";
            if (command.rfind(prefix, 0) != 0) continue;
            std::size_t offset = std::stoul(command.substr(prefix.size()));
            return offset >= content.size() ? "EOF" : content.substr(offset, 10000);
        }
        return "";
    });
    EXPECT_FALSE(api_.QuesterCheckSearch());
    EXPECT_EQ(api_.LastError(), "");
    EXPECT_TRUE(api_.IsQuesterActive());
    EXPECT_EQ(api_.QuesterQueryFile(), "R0815X");
    const std::string term_copy = api_.QuesterTermFile();
    EXPECT_EQ(term_copy.substr(term_copy.rfind('/') + 1), "Qstr_DR0815");
    EXPECT_EQ(testsupport::ReadFile(term_copy), term);
    EXPECT_EQ(testsupport::ReadFile(api_.QuesterSpellFile()), "recieve^receive");
    std::vector<std::string> sent = Sent();
    int reads = 0, deletes = 0;
    for (const std::string& c : sent) {
        if (c.rfind("TALQReadFromFile,DR0815", 0) == 0) ++reads;
        if (c == "TALQDeleteFile,DR0815" || c == "TALQDeleteFile,SR0815") ++deletes;
    }
    EXPECT_EQ(reads, 3);
    EXPECT_EQ(deletes, 2);
    EXPECT_EQ(sent.front(),
              std::string("IDEX_StartSearch") + kRS + "contract" + kRS + "100" + kRS + "0");

    api_.QuesterClearSearch();
    EXPECT_FALSE(api_.IsQuesterActive());
    EXPECT_EQ(api_.QuesterTermFile(), "");
}

TEST_F(Review, ConceptPollRepliesThatEndWithoutResults) {
    Reply("IDEX_QuerySearch", "1");
    EXPECT_TRUE(api_.QuesterCheckSearch());
    Reply("IDEX_QuerySearch", "-1,Index not built,0");
    EXPECT_FALSE(api_.QuesterCheckSearch());
    EXPECT_EQ(api_.LastError(), "Index not built");
    Reply("IDEX_QuerySearch", "-1,,0");
    EXPECT_FALSE(api_.QuesterCheckSearch());
    EXPECT_EQ(api_.LastError(), "ERROR: Search Failed");
    Reply("IDEX_QuerySearch", "0,,1");
    EXPECT_FALSE(api_.QuesterCheckSearch());
    EXPECT_EQ(api_.LastError(), "No Search Results Found");
    // A refusal carries the server's words as every other request's does.
    Reply("IDEX_QuerySearch", "ERROR: Invalid Project Alpha");
    EXPECT_FALSE(api_.QuesterCheckSearch());
    EXPECT_EQ(api_.LastError(), "Quester Error\nInvalid Project Alpha");
    EXPECT_FALSE(api_.IsQuesterActive());
    Reply("IDEX_StartSearch", "ok");
    EXPECT_FALSE(api_.QuesterStartSearch("x", 10, 0));
    EXPECT_EQ(api_.LastError(), "ok");
    EXPECT_FALSE(api_.QuesterStartSearch("", 10, 0));
    EXPECT_EQ(api_.LastError(), "Invalid Search String");
}

TEST_F(Review, BatchJobSendsWatermarkHeaderPagesAndCloseWithTheCount) {
    Reply("TALQGetNextBatch", "batch/floor2/JOB000001.BAT");
    std::string watermark = tmp_.Path() + "/mark.bmp";
    testsupport::WriteFile(watermark, std::string(2500, 'w'));
    cGdiPrn engine;
    ASSERT_TRUE(api_.OpenBatchPrintFile(
        "Floor 2", watermark, batchprint::SessionHeader(api_, 0x1 | 0x8, "Box 1", engine)))
        << api_.LastError();
    EXPECT_TRUE(api_.WriteBatchPrintFilePage("K1~0~Alpha~~~K1\n"));
    Reply("TALQWriteFile", "ERROR: full");
    EXPECT_FALSE(api_.WriteBatchPrintFilePage("K2~0~Alpha~~~K2\n"));
    Reply("TALQWriteFile", "OK");
    EXPECT_TRUE(api_.WriteBatchPrintFilePage("K3~0~Alpha~~~K3\n"));
    api_.CloseBatchPrintFile();
    std::vector<std::string> sent = Sent();
    const std::string r(1, kRS);
    ASSERT_EQ(sent.size(), 9u);
    EXPECT_EQ(sent[0], "TALQGetNextBatch,Floor 2");
    EXPECT_EQ(sent[1], "TALQWriteFile" + r + "batch/floor2/JOB000001.MRK" + r + "0" + r + "1000" +
                           r + std::string(1000, 'w'));
    EXPECT_EQ(sent[3], "TALQWriteFile" + r + "batch/floor2/JOB000001.MRK" + r + "0" + r + "500" +
                           r + std::string(500, 'w'));
    EXPECT_EQ(sent[4].rfind("TALQWriteFile" + r + "batch/floor2/JOB000001.P__" + r + "1" + r, 0),
              0u)
        << "system flag 1 makes a colour job";
    EXPECT_NE(sent[4].find("BatchPrint=1\nPrintImageKey=1\nDOMAIN=DOM\n"), std::string::npos);
    EXPECT_NE(sent[4].find("Description=Box 1\n"), std::string::npos);
    EXPECT_EQ(sent[8], "TALQCloseOutBatchFile,batch/floor2/JOB000001.P__,1,2");
}

TEST_F(Review, RequestsCarriedOutBeforeTheConnectionBrokeAreNeverSentAgain) {
    Reply("TALQGetNextBatch", "b/JOB1.BAT");
    Reply("TALQAddTag", "1");
    std::string image = tmp_.Path() + "/scan.tif";
    testsupport::WriteFile(image, "II*");
    cGdiPrn engine;
    auto openBatch = [&] {
        ASSERT_TRUE(
            api_.OpenBatchPrintFile("P", "", batchprint::SessionHeader(api_, 0, "", engine)));
    };
    struct Case {
        const char* command;
        std::function<void()> prepare;
        std::function<void()> run;
    };
    const Case cases[] = {
        {"TALQWriteFile", openBatch, [&] { api_.WriteBatchPrintFilePage("K1\n"); }},
        {"TALQCloseOutBatchFile", openBatch, [&] { api_.CloseBatchPrintFile(); }},
        {"TALQAddTag", [] {}, [&] { api_.NewTagDesc("Hot"); }},
        {"TALQStoreImageFile", [] {}, [&] { api_.UploadImage(image, "K1", "", 5, 0); }},
        {"TALQImportLine", [] {}, [&] { api_.PutWordList("K1", 1, 2, 3, 4, "a line"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        c.prepare();
        Sent();
        DropAfter(c.command);
        c.run();
        DropAfter("");
        EXPECT_EQ(api_.LastError(), "ERROR: Invalid Data Returned");
        std::vector<std::string> sent = Sent();
        auto carried = [&](const std::string& s) { return s.rfind(c.command, 0) == 0; };
        EXPECT_EQ(std::count_if(sent.begin(), sent.end(), carried), 1);
        ASSERT_FALSE(sent.empty());
        EXPECT_TRUE(carried(sent.back())) << "no login again after the send";
    }
    EXPECT_TRUE(api_.NewTagDesc("Cold")) << "the next request logs in again: " << api_.LastError();
}

TEST_F(Review, BatchOpenFailsCleanlyOnAShortNameOrAFailedHeader) {
    cGdiPrn engine;
    Reply("TALQGetNextBatch", "AB");
    EXPECT_FALSE(api_.OpenBatchPrintFile("P", "", batchprint::SessionHeader(api_, 0, "", engine)));
    EXPECT_EQ(api_.LastError(), "Unable to Open Batch Print File");
    Reply("TALQGetNextBatch", "error: no printer");
    EXPECT_FALSE(api_.OpenBatchPrintFile("P", "", batchprint::SessionHeader(api_, 0, "", engine)));
    Reply("TALQGetNextBatch", "batch/p/JOB000009.BAT");
    Reply("TALQWriteFile", "ERROR: disk full");
    EXPECT_FALSE(api_.OpenBatchPrintFile("P", "", batchprint::SessionHeader(api_, 0, "", engine)));
    EXPECT_EQ(api_.LastError(), "Unable to Open Batch Print File");
    EXPECT_FALSE(api_.WriteBatchPrintFilePage("K1\n"));
    EXPECT_EQ(api_.LastError(), "Invalid Batch Print File") << "nothing is left open";
    Sent();
    api_.CloseBatchPrintFile();
    EXPECT_TRUE(Sent().empty());
}

TEST_F(Review, ChangingProjectClosesTheOpenBatchFileWithItsCount) {
    cGdiPrn engine;
    Reply("TALQGetNextBatch", "b/JOB1.BAT");
    ASSERT_TRUE(api_.OpenBatchPrintFile("P", "", batchprint::SessionHeader(api_, 0, "", engine)));
    ASSERT_TRUE(api_.WriteBatchPrintFilePage("K1\n"));
    ASSERT_TRUE(api_.OpenBatchPrintFile("P", "", batchprint::SessionHeader(api_, 0, "", engine)));
    ASSERT_TRUE(api_.SelectProject("Alpha"));
    std::vector<std::string> closes;
    for (const std::string& c : Sent())
        if (c.rfind("TALQCloseOutBatchFile", 0) == 0) closes.push_back(c);
    EXPECT_EQ(closes, (std::vector<std::string>{"TALQCloseOutBatchFile,b/JOB1.P__,1,1",
                                                "TALQCloseOutBatchFile,b/JOB1.P__,1,0"}));
}

TEST_F(Review, BatchPrinterListsAndDirectories) {
    const std::string r(1, kRS);
    Reply("TALQGetBatchDirs",
          "Laser A\tbatch/a" + r + "\tbatch/none" + r + "Laser B\tbatch/b" + r + "Color\tbatch/c");
    std::string list;
    EXPECT_EQ(api_.GetBatchPrinters(list), 3);
    EXPECT_EQ(list, "Laser A" + std::string(1, kLS) + "Laser B" + std::string(1, kLS) + "Color");
    EXPECT_EQ(api_.GetBatchPrintDir("Laser B"), "batch/b");
    EXPECT_EQ(api_.GetBatchPrintDir("La"), "batch/b") << "the later of two sharing two characters";
    EXPECT_EQ(api_.GetBatchPrintDir("Zebra"), "batch/a");
    Reply("TALQValidateBatchPrinter", "OK");
    EXPECT_TRUE(api_.ValidateBatchPrinter("Laser A"));
    EXPECT_FALSE(api_.ValidateBatchPrinter(""));
    EXPECT_EQ(api_.LastError(), "Invalid Batch Printer");
}

}  // namespace
