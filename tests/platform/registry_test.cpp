#include "platform/registry.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "platform/user_dirs.h"
#include "support/scoped_env.h"

using namespace platform;

namespace {

TEST(Registry, VolatileValuesVanishWithTheRuntimeFolder) {
    testsupport::ScopedUserStores stores;
    ASSERT_TRUE(RegistryWrite(HKEY_CURRENT_USER, "Software\\TALQTech\\Settings", "PortList",
                              "5001|5002", true));
    ASSERT_TRUE(RegistryWrite(HKEY_CURRENT_USER, "Software\\TALQTech\\Other", "Keep", "1"));
    EXPECT_EQ(RegistryRead(HKEY_CURRENT_USER, "software\\talqtech\\settings", "portlist"),
              "5001|5002");
    std::filesystem::remove_all(RuntimeDir());
    EXPECT_FALSE(RegistryRead(HKEY_CURRENT_USER, "Software\\TALQTech\\Settings", "PortList"));
    EXPECT_EQ(RegistryRead(HKEY_CURRENT_USER, "Software\\TALQTech\\Other", "Keep"), "1");
}

TEST(Registry, AKeyKeepsItsVolatilityOnLaterWrites) {
    testsupport::ScopedUserStores stores;
    ASSERT_TRUE(RegistryWrite(HKEY_CURRENT_USER, "K", "a", "1", true));
    ASSERT_TRUE(RegistryWrite(HKEY_CURRENT_USER, "K", "b", "2", false));
    std::filesystem::remove_all(RuntimeDir());
    EXPECT_FALSE(RegistryRead(HKEY_CURRENT_USER, "K", "b"));
}

TEST(Registry, RootsAreSeparateAndTheMachineStoreCanRefuseWrites) {
    testsupport::ScopedUserStores stores;
    ASSERT_TRUE(RegistryWrite(HKEY_LOCAL_MACHINE, "K", "v", "machine"));
    ASSERT_TRUE(RegistryWrite(HKEY_CURRENT_USER, "K", "v", "user"));
    EXPECT_EQ(RegistryRead(HKEY_LOCAL_MACHINE, "K", "v"), "machine");
    EXPECT_EQ(RegistryRead(HKEY_CURRENT_USER, "K", "v"), "user");
    EXPECT_FALSE(RegistryWrite(HKEY_CLASSES_ROOT, "K", "v", "x"));

    testsupport::ScopedEnv unwritable("TALQ_MACHINE_CONFIG_DIR", "/proc/talq-machine");
    EXPECT_FALSE(RegistryWrite(HKEY_LOCAL_MACHINE, "K", "v", "x"));
    EXPECT_FALSE(RegistryRead(HKEY_LOCAL_MACHINE, "K", "v"));
}

}  // namespace
