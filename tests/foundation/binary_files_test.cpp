#include "foundation/binary_files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "support/scoped_env.h"

using namespace mVBUtil;
using testsupport::ReadFile;
using testsupport::ScopedTempDir;
using testsupport::WriteFile;

namespace {

TEST(FileExists, FindsRegularFilesOnlyAndHonoursWildcards) {
    ScopedTempDir dir;
    WriteFile(dir.Path() + "/page.tif", "x");
    EXPECT_TRUE(FileExists(dir.Path() + "/page.tif"));
    EXPECT_FALSE(FileExists(dir.Path() + "/missing.tif"));
    EXPECT_FALSE(FileExists(dir.Path()));  // a folder is not a file
    EXPECT_FALSE(FileExists(""));
    EXPECT_TRUE(FileExists(dir.Path() + "/*.tif"));
    EXPECT_FALSE(FileExists(dir.Path() + "/*.pdf"));
}

TEST(CreateBinaryFile, NeverOverwritesAnExistingFile) {
    ScopedTempDir dir;
    std::string path = dir.Path() + "/keep.bin";
    WriteFile(path, "original");
    EXPECT_EQ(CreateBinaryFile(path), 0);
    EXPECT_EQ(ReadFile(path), "original");
    EXPECT_EQ(OpenBinaryFile(dir.Path() + "/missing", false), 0);
}

TEST(BinaryChunks, WriteCutsAtMaxLenAndReadEndsWithZero) {
    ScopedTempDir dir;
    std::string path = dir.Path() + "/data.bin";
    int out = CreateBinaryFile(path);
    ASSERT_GT(out, 0);
    EXPECT_EQ(WriteFileChunk(out, "abcdef", 3), 3);
    EXPECT_EQ(WriteFileChunk(out, std::string("\0\xff" "defghi", 8), 100), 8);
    EXPECT_EQ(WriteFileChunk(out, "", 10), 0);
    CloseBinaryFile(out);
    EXPECT_EQ(ReadFile(path), std::string("abc\0\xff" "defghi", 11));

    int in = OpenBinaryFile(path, false);
    ASSERT_GT(in, 0);
    std::string data;
    std::vector<int> counts;
    for (int n = ReadFileChunk(in, data, 4); n > 0; n = ReadFileChunk(in, data, 4)) {
        counts.push_back(n);
    }
    EXPECT_EQ(counts, (std::vector<int>{4, 4, 3}));
    EXPECT_EQ(data, "");
    CloseBinaryFile(in);
    EXPECT_EQ(ReadFileChunk(in, data, 4), 0);  // closed numbers fail quietly
}

TEST(BinaryChunks, FileNumbersAreReusedAfterClose) {
    ScopedTempDir dir;
    WriteFile(dir.Path() + "/a", "a");
    int first = OpenBinaryFile(dir.Path() + "/a", false);
    CloseBinaryFile(first);
    EXPECT_EQ(OpenBinaryFile(dir.Path() + "/a", false), first);
    CloseBinaryFile(first);
}

TEST(SplitPath, SplitsAtTheLastSeparator) {
    std::string d, f;
    SplitPath("D:/data/x.tif", d, f);
    EXPECT_EQ(d, "D:\\data");
    EXPECT_EQ(f, "x.tif");
    SplitPath("D:\\x.tif", d, f);
    EXPECT_EQ(d, "D:\\");
    EXPECT_EQ(f, "x.tif");
    SplitPath("x.tif", d, f);
    EXPECT_EQ(d, "");
    EXPECT_EQ(f, "x.tif");
    SplitPath("D:\\data\\", d, f);
    EXPECT_EQ(d, "D:\\data");
    EXPECT_EQ(f, "");
    SplitPath("/x", d, f);
    EXPECT_EQ(d, "\\");
    EXPECT_EQ(f, "x");
}

}  // namespace
