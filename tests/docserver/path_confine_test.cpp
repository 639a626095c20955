#include "engine/path_confine.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include "support/scoped_env.h"

namespace {

using docserver::ConfinePath;

TEST(PathConfine, KeepsNamesInsideTheSystemDirectory) {
    testsupport::ScopedTempDir dir;
    std::string path;
    ASSERT_TRUE(ConfinePath(dir.Path(), "tmp/list.txt", path));
    EXPECT_EQ(path, dir.Path() + "/tmp/list.txt");
    ASSERT_TRUE(ConfinePath(dir.Path() + "/", "images\\page 1.tif", path));
    EXPECT_EQ(path, dir.Path() + "/images/page 1.tif");
    ASSERT_TRUE(ConfinePath(dir.Path(), "./a//b", path));
    EXPECT_EQ(path, dir.Path() + "/a/b");
}

TEST(PathConfine, RefusesEscapes) {
    testsupport::ScopedTempDir dir;
    std::string path = "unchanged";
    for (const std::string& name :
         {std::string(""), std::string("/etc/passwd"), std::string("../x"),
          std::string("tmp/../../x"), std::string("tmp\\..\\..\\x"), std::string("C:\\x"),
          std::string("a\0b", 3), std::string("."), std::string("..")}) {
        EXPECT_FALSE(ConfinePath(dir.Path(), name, path)) << name;
    }
    EXPECT_EQ(path, "unchanged");
}

TEST(PathConfine, RefusesALinkThatLeadsOut) {
    testsupport::ScopedTempDir dir;
    testsupport::ScopedTempDir outside;
    ASSERT_EQ(::symlink(outside.Path().c_str(), (dir.Path() + "/out").c_str()), 0);
    std::string path;
    EXPECT_FALSE(ConfinePath(dir.Path(), "out/secret", path));
    ASSERT_EQ(::mkdir((dir.Path() + "/in").c_str(), 0755), 0);
    EXPECT_TRUE(ConfinePath(dir.Path(), "in/new/file", path));
}

TEST(PathConfine, RefusesADanglingLinkWhoseTargetWouldBeCreatedOutside) {
    testsupport::ScopedTempDir dir;
    testsupport::ScopedTempDir outside;
    std::string target = outside.Path() + "/planted";
    ASSERT_EQ(::symlink(target.c_str(), (dir.Path() + "/tmp.TMP").c_str()), 0);
    std::string path;
    EXPECT_FALSE(ConfinePath(dir.Path(), "tmp.TMP", path));
    EXPECT_FALSE(ConfinePath(dir.Path(), "tmp.TMP/below", path));
}

}  // namespace
