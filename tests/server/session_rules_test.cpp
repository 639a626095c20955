// Rules of the session object that need no server: rights over the security
// and restriction bits, clip commands, names, batch headers, the print
// engine's options and the local temporary files.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "foundation/binary_files.h"
#include "platform/clock.h"
#include "platform/launcher.h"
#include "platform/scripted_prompts.h"
#include "platform/wire_separators.h"
#include "printing/batch_print_header.h"
#include "printing/gdi_prn.h"
#include "printing/print_choices.h"
#include "server/local_temp_files.h"
#include "server/project_rights.h"
#include "server/talq_client_api.h"
#include "server/talq_client_api_header.h"
#include "support/scoped_env.h"

namespace {

using namespace projectrights;

struct RightsCase {
    std::int32_t security;
    std::int32_t restriction;
    bool tagsRestricted, tagsModify, annotationsRestricted, annotationsModify, redactionsModify,
        redactionsView, imagesRestricted;
};

TEST(ProjectRights, EveryRuleOverTheSecurityAndRestrictionBits) {
    const RightsCase cases[] = {
        // security  restriction tagsR tagsM annR  annM  redM  redV  imgR
        {0x0, 0x0, false, false, false, false, false, false, false},
        {0x0, 0x7, true, false, true, false, false, false, true},
        {0x1, 0x7, false, true, false, true, true, true, false},
        {0x2, 0x7, false, true, false, true, true, true, false},
        {0x4, 0x7, true, false, true, false, true, true, true},
        {0x10, 0x2, false, true, false, false, false, false, false},
        {0x10000, 0x2, false, false, false, false, false, false, false},
        {0x20, 0x4, false, false, false, true, false, false, false},
        {0x20000, 0x4, false, false, false, false, false, false, false},
        {0x80, 0x0, false, false, false, false, false, true, false},
        {0x8000, 0x1, false, false, false, false, false, false, false},
        {0x10, 0x4, false, true, true, false, false, false, false},
    };
    for (const RightsCase& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << "security 0x" << c.security
                                        << " restriction 0x" << c.restriction);
        EXPECT_EQ(TagsRestricted(c.security, c.restriction), c.tagsRestricted);
        EXPECT_EQ(TagsOkToModify(c.security), c.tagsModify);
        EXPECT_EQ(AnnotationsRestricted(c.security, c.restriction), c.annotationsRestricted);
        EXPECT_EQ(AnnotationsOkToModify(c.security), c.annotationsModify);
        EXPECT_EQ(RedactionsOkToModify(c.security), c.redactionsModify);
        EXPECT_EQ(RedactionsOkToView(c.security), c.redactionsView);
        EXPECT_EQ(ImagesRestricted(c.security, c.restriction), c.imagesRestricted);
    }
}

TEST(ProjectRights, SessionWithoutAProjectGrantsNothing) {
    platform::ScriptedPrompts prompts;
    platform::ScopedPrompts scoped(prompts);
    TalqClientAPI api;
    EXPECT_FALSE(api.AreTagsOkToModify());
    EXPECT_FALSE(api.AreRedactionsOkToView());
    EXPECT_FALSE(api.AreTagsRestricted());
    EXPECT_EQ(api.LastError(), "Invalid Session.");
}

struct Split {
    std::string first, second;
    std::int32_t mode;
};

Split SplitOf(const std::string& text) {
    Split s{"x", "y", 99};
    TalqClientAPI_Header::SplitClipCommand(text, s.first, s.second, s.mode);
    return s;
}

void ExpectSplit(const std::string& text, const std::string& first, const std::string& second,
                 std::int32_t mode) {
    Split s = SplitOf(text);
    EXPECT_EQ(s.first, first) << text;
    EXPECT_EQ(s.second, second) << text;
    EXPECT_EQ(s.mode, mode) << text;
}

TEST(SplitClipCommand, EveryRuleInItsOrder) {
    const std::string ls(1, wire::kListSep);
    // Stored list form wins over quotes and ".EXE".
    ExpectSplit("doc \"a\".pdf" + ls + "C:\\x.exe", "doc \"a\".pdf", "C:\\x.exe", 2);
    ExpectSplit("report.pdf" + ls, "report.pdf", "", 1);
    // Quoted program path with blanks splits at its closing quote.
    ExpectSplit("\"C:\\Program Files\\View\\view.exe\" \"D:\\docs\\a b.pdf\"", "D:\\docs\\a b.pdf",
                "C:\\Program Files\\View\\view.exe", 2);
    // One quoted path is a document alone.
    ExpectSplit("\"D:\\docs\\a b.pdf\"", "D:\\docs\\a b.pdf", "", 1);
    ExpectSplit("\"\"", "", "", 1);
    ExpectSplit("\"", "", "", 1);
    // An unquoted program before a quoted document.
    ExpectSplit("viewer \"my file.txt\"", "my file.txt", "viewer", 2);
    // A quote with nothing after it leaves the program as the document.
    ExpectSplit("\"prog.exe\" ", "prog.exe", "", 1);
    // ".EXE" ignores case; the rest is the document.
    ExpectSplit("C:\\tools\\Show.Exe  notes.txt ", "notes.txt", "C:\\tools\\Show.Exe", 2);
    ExpectSplit("C:\\tools\\show.exe", "C:\\tools\\show.exe", "", 1);
    // Anything else is one document, untouched.
    ExpectSplit(" http://example.com/a ", " http://example.com/a ", "", 1);
    ExpectSplit("", "", "", 1);
}

TEST(HasBadChars, AllowsOnlyLettersDigitsBlankPeriodHyphenUnderscore) {
    platform::ScriptedPrompts prompts;
    platform::ScopedPrompts scoped(prompts);
    EXPECT_FALSE(TalqClientAPI::HasBadChars("Exhibit-2.final_v1 A", 1));
    EXPECT_FALSE(TalqClientAPI::HasBadChars("", 1));
    EXPECT_TRUE(TalqClientAPI::HasBadChars("a,b", 0));
    EXPECT_TRUE(prompts.Messages().empty()) << "no message when not asked for";
    EXPECT_TRUE(TalqClientAPI::HasBadChars(std::string("caf\xe9"), 1));
    ASSERT_EQ(prompts.Messages().size(), 1u);
    EXPECT_EQ(prompts.Messages()[0],
              "Invalid Characters Entered.\nAllowed: A-Z, 0-9, space, period,\nhyphen and "
              "underscore.");
    EXPECT_EQ(prompts.Beeps(), 1);
}

TEST(PrintEngineOptions, NewEngineHoldsTheDefaultsAndSettersKeepRanges) {
    cGdiPrn engine;
    EXPECT_EQ(engine.KeyFontName(), "Arial");
    EXPECT_EQ(engine.MsgFontName(), "Arial");
    EXPECT_EQ(engine.KeyPsn(), 6);
    EXPECT_EQ(engine.MsgPsn(), 4);
    EXPECT_EQ(engine.KeyFontSize(), 14);
    EXPECT_EQ(engine.KeyFontColor(), 0);
    EXPECT_EQ(engine.SupportedSizes(), 0);
    EXPECT_FALSE(engine.UseBarCode() || engine.MaxHorzScale() || engine.EnlargeSmallImages() ||
                 engine.AllowLandscapeBatesMsg());
    engine.KeyFontName("");
    EXPECT_EQ(engine.KeyFontName(), "Arial");
    engine.KeyPsn(7);
    EXPECT_EQ(engine.KeyPsn(), 6);
    engine.MsgPsn(-1);
    EXPECT_EQ(engine.MsgPsn(), 4);
    engine.MsgPsn(5);
    EXPECT_EQ(engine.MsgPsn(), 5) << "5 and 6 are taken while the program runs";
    engine.KeyFontSize(3);
    EXPECT_EQ(engine.KeyFontSize(), 6);
    engine.MsgFontSize(500);
    EXPECT_EQ(engine.MsgFontSize(), 300);
}

TEST(BatchHeader, ClipValuesBecomePixelsHalfToEven) {
    EXPECT_EQ(batchprint::ClipPixels(0), 0);
    EXPECT_EQ(batchprint::ClipPixels(1), 19);
    EXPECT_EQ(batchprint::ClipPixels(2), 38);
    EXPECT_EQ(batchprint::ClipPixels(5), 94);
    EXPECT_EQ(batchprint::ClipPixels(6), 112);
    EXPECT_EQ(batchprint::ClipPixels(16), 300);
    EXPECT_EQ(batchprint::ClipPixels(17), 17);
    EXPECT_EQ(batchprint::ClipPixels(-2), -38);
}

TEST(BatchHeader, LinesInOrderWithFlagsAndEngineOptions) {
    cGdiPrn engine;
    engine.TopClip(5);
    engine.BottomClip(17);
    engine.LeftMargin(16);
    engine.KeyFontColor(0x0000ff);
    engine.UseBarCode(true);
    engine.KeyFontName("Courier New");
    engine.SupportedSizes(2);
    batchprint::HeaderValues values;
    values.printFlags = printing::kPrintImageKey | printing::kPrintRedactions |
                        printing::kPrintRedactBlack | printing::kPrintRedactWhite |
                        printing::kPrintSupportColor;
    values.domain = "";
    values.description = "Box 7\r\nsecond line";
    values.user = "admin";
    values.project = "ACME";
    const std::string expected =
        "BatchPrint=1\nPrintImageKey=1\nPAGECOUNT=00000000\nIndicateBoundaries=0\n"
        "SeparatorPage=0\nPrintMarkups=0\nPrintNotes=0\nPrintHilites=0\nPrintRedactions=1\n"
        "PrintRedactColor=White\nPrintRedactLabel=Default\nDescription=Box 7  second line\n"
        "PrintMessage=1\nPrintStickies=0\nPrintClipPaths=0\nSupportColor=1\nPriority=5\n"
        "User=admin\nProject=ACME\nXscale=0\nEnlarge=0\nAllowLandscape=0\nKeyFontColor=1\n"
        "MsgFontColor=0\nBARCODE=1\nTOPCLIP=94\nBOTTOMCLIP=17\nLEFTCLIP=0\nRIGHTCLIP=0\n"
        "TOPMARGIN=0\nLEFTMARGIN=300\nKEYFONT=Courier New\nFONT=Arial\nKEYPOSITION=6\n"
        "MSGPOSITION=4\nTOGGLEPAPER=2\nOCRTxtHilite=0\n";
    EXPECT_EQ(batchprint::BuildHeader(values, engine), expected);

    values.domain = "CORP";
    values.description.clear();
    values.printFlags = printing::kPrintRedactBlack;
    std::string header = batchprint::BuildHeader(values, engine);
    EXPECT_NE(header.find("PrintImageKey=0\nDOMAIN=CORP\nPAGECOUNT=00000000\n"), std::string::npos);
    EXPECT_NE(header.find("PrintRedactColor=Black\n"), std::string::npos);
    EXPECT_EQ(header.find("Description="), std::string::npos);
}

class TempFiles : public ::testing::Test {
  protected:
    testsupport::ScopedTempDir base_;
    testsupport::ScopedEnv tmpdir_{"TMPDIR", base_.Path()};
    platform::ManualClock clock_;
    platform::ScopedClock scopedClock_{clock_};
};

TEST_F(TempFiles, NamesCountPerKindInAPrivateFolderAndWrapAfter99) {
    clock_.AdvanceSeconds(7 * 60 + 12);  // 00:07:12 -> stamp 0712
    LocalTempFiles files;
    std::string s1 = files.CreateName(true);
    std::string s2 = files.CreateName(true);
    std::string t1 = files.CreateName(false);
    const std::string& folder = files.Folder();
    ASSERT_EQ(folder.rfind(base_.Path() + "/", 0), 0u) << folder;
    struct stat info {};
    ASSERT_EQ(::stat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    EXPECT_EQ(s1, folder + "TALQTEMP_S071201.TMP");
    EXPECT_EQ(s2, folder + "TALQTEMP_S071202.TMP");
    EXPECT_EQ(t1, folder + "TALQTEMP_T071201.TMP");
    for (int i = 3; i <= 99; ++i) files.CreateName(true);
    EXPECT_EQ(files.CreateName(true), folder + "TALQTEMP_S071200.TMP");
    EXPECT_FALSE(testsupport::ReadFile(s1).size() > 0) << "names only; nothing is created";
}

TEST_F(TempFiles, AFullSetOfNamesIsPurgedOnlyInsideTheSessionsFolder) {
    LocalTempFiles files;
    files.CreateName(true);
    const std::string folder = files.Folder();
    for (int i = 0; i <= 99; ++i) {
        std::string digits = (i < 10 ? "0" : "") + std::to_string(i);
        testsupport::WriteFile(folder + "TALQTEMP_S" + files.Stamp() + digits + ".TMP", "x");
    }
    testsupport::WriteFile(folder + "TALQTEMP_T" + files.Stamp() + "05.TMP", "other kind");
    // Another viewer's files with the same stamp, beside the folder.
    const std::string stranger = base_.Path() + "/TALQTEMP_S" + files.Stamp() + "07.TMP";
    testsupport::WriteFile(stranger, "not ours");
    std::string name = files.CreateName(true);
    EXPECT_EQ(name, folder + "TALQTEMP_S" + files.Stamp() + "02.TMP");
    EXPECT_FALSE(mVBUtil::FileExists(folder + "TALQTEMP_S" + files.Stamp() + "50.TMP"));
    EXPECT_TRUE(mVBUtil::FileExists(folder + "TALQTEMP_T" + files.Stamp() + "05.TMP"));
    EXPECT_TRUE(mVBUtil::FileExists(stranger));
}

TEST_F(TempFiles, CleanUpSparesLaunchedFilesForAWhileAndTheEndRemovesAll) {
    LocalTempFiles files;
    std::string a = files.CreateName(false);
    std::string b = files.CreateName(false);
    testsupport::WriteFile(a, "a");
    files.Add(a);
    files.MarkLaunched(a);
    testsupport::WriteFile(b, "b");
    files.Add(b);  // cleans up first: a is spared
    EXPECT_TRUE(mVBUtil::FileExists(a));
    EXPECT_EQ(files.List(), a + char(30) + b);
    files.CleanUp();
    EXPECT_TRUE(mVBUtil::FileExists(a));
    EXPECT_FALSE(mVBUtil::FileExists(b));
    clock_.AdvanceMs(LocalTempFiles::kLaunchGraceMs);
    files.CleanUp();
    EXPECT_FALSE(mVBUtil::FileExists(a));
    EXPECT_EQ(files.List(), "");

    std::string c = files.CreateName(true);
    testsupport::WriteFile(c, "c");
    files.Add(c);
    files.MarkLaunched(c);
    const std::string folder = files.Folder();
    files.RemoveAll();
    EXPECT_FALSE(mVBUtil::FileExists(c));
    struct stat info {};
    EXPECT_NE(::stat(folder.c_str(), &info), 0) << "the folder goes with the session";
}

TEST(Launcher, ExecutablesAndDesktopEntriesAreRefused) {
    testsupport::ScopedTempDir dir;
    auto make = [&](const std::string& name, const std::string& bytes, mode_t mode) {
        std::string path = dir.Path() + "/" + name;
        testsupport::WriteFile(path, bytes);
        ::chmod(path.c_str(), mode);
        return path;
    };
    EXPECT_FALSE(platform::IsRunnableFile(make("letter.pdf", "%PDF-1.4", 0600)));
    EXPECT_FALSE(platform::IsRunnableFile(make("notes.txt", "hello", 0644)));
    EXPECT_TRUE(platform::IsRunnableFile(make("tool.pdf", "%PDF-1.4", 0700)));
    EXPECT_TRUE(platform::IsRunnableFile(make("a.DESKTOP", "x", 0600)));
    EXPECT_TRUE(platform::IsRunnableFile(make("doc.txt", "[Desktop Entry]\nExec=rm", 0600)));
    EXPECT_TRUE(platform::IsRunnableFile(make("doc.dat",
                                              "\x7f"
                                              "ELF....",
                                              0600)));
    EXPECT_TRUE(platform::IsRunnableFile(make("run.txt", "#!/bin/sh\n", 0600)));
    EXPECT_TRUE(platform::IsRunnableFile(make("setup.exe", "MZ", 0600)));
    EXPECT_TRUE(platform::IsRunnableFile(dir.Path())) << "only plain files are opened";
}

}  // namespace
