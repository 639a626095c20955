#include "foundation/dialog_values.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

using namespace mComDlg;

namespace {

TEST(FontValues, OnlyWeight700CountsAsBold) {
    EXPECT_EQ(FontStyleBits(700, false, false), kFontBold);
    EXPECT_EQ(FontStyleBits(600, false, false), 0);
    EXPECT_EQ(FontStyleBits(800, false, false), 0);
    EXPECT_EQ(FontStyleBits(400, true, true), kFontItalic + kFontUnderline);
    EXPECT_EQ(FontStyleBits(700, true, true), 28);
}

TEST(FontValues, HalfPointSizesRoundToEven) {
    EXPECT_EQ(PointSizeFromTenths(105), 10);
    EXPECT_EQ(PointSizeFromTenths(115), 12);
    EXPECT_EQ(PointSizeFromTenths(116), 12);
    EXPECT_EQ(PointSizeFromTenths(120), 12);
}

TEST(FileFilter, ParsesDescriptionPatternPairs) {
    auto items = ParseFileFilter("Text Files|*.txt|All Files|*.*");
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].description, "Text Files");
    EXPECT_EQ(items[0].pattern, "*.txt");
    EXPECT_EQ(items[1].pattern, "*.*");
    EXPECT_TRUE(ParseFileFilter("").empty());
    EXPECT_TRUE(ParseFileFilter("Lonely").empty());
}

TEST(FileFilter, DefaultExtensionNeverComesFromAWildcard) {
    EXPECT_EQ(DefaultExtension("*.txt"), ".txt");
    EXPECT_EQ(DefaultExtension("*.tif;*.tiff"), ".tif");
    EXPECT_EQ(DefaultExtension("*.*"), "");
    EXPECT_EQ(DefaultExtension("*"), "");
    EXPECT_EQ(DefaultExtension("*.t?t"), "");
    EXPECT_EQ(DefaultExtension(""), "");
}

TEST(FileFilter, ExtensionIsAddedOnlyToANameWithoutDot) {
    EXPECT_EQ(AddDefaultExtension("/home/u/keys", ".txt"), "/home/u/keys.txt");
    EXPECT_EQ(AddDefaultExtension("/home/u/keys.lst", ".txt"), "/home/u/keys.lst");
    // A dot in a folder name does not count.
    EXPECT_EQ(AddDefaultExtension("/home/u.v/keys", ".txt"), "/home/u.v/keys.txt");
    EXPECT_EQ(AddDefaultExtension("/home/u/keys", ""), "/home/u/keys");
}

TEST(FileFilter, PatternsMatchNamesInAnyCase) {
    QRegularExpression re = QRegularExpression::fromWildcard(
        QString::fromStdString(CaseInsensitivePattern("*.sys")), Qt::CaseSensitive);
    EXPECT_TRUE(re.match("TALQAUTH.SYS").hasMatch());
    EXPECT_TRUE(re.match("talqauth.sys").hasMatch());
    EXPECT_TRUE(re.match("TalqAuth.Sys").hasMatch());
    EXPECT_FALSE(re.match("talqauth.syx").hasMatch());
}

TEST(SplitFolder, KeepsLinuxAndWindowsSeparators) {
    std::string folder, name;
    SplitFolder("/home/u/lists/keys.txt", folder, name);
    EXPECT_EQ(folder, "/home/u/lists");
    EXPECT_EQ(name, "keys.txt");
    SplitFolder("D:\\lists\\keys.txt", folder, name);
    EXPECT_EQ(folder, "D:\\lists");
    EXPECT_EQ(name, "keys.txt");
    SplitFolder("/TALQAUTH.SYS", folder, name);
    EXPECT_EQ(folder, "/");
    EXPECT_EQ(name, "TALQAUTH.SYS");
    SplitFolder("/srv/sys/", folder, name);
    EXPECT_EQ(folder, "/srv/sys");
    EXPECT_EQ(name, "");
}

}  // namespace
