// A system the server may not read or write is refused at start with the
// file and the reason; --init says why it cannot make a system, and never
// makes one over a folder it cannot read.
#include <gtest/gtest.h>
#include <linux/capability.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cstring>
#include <string>

#include "engine/system_access.h"
#include "engine/system_init.h"
#include "support/scoped_env.h"
#include "test_system.h"

namespace {

using docserver::CheckSystemAccess;
using docserver::SystemAccess;

// Root passes every permission bit: the tests take that right off this
// thread for their span, so that a chmod denies as it would a server's user.
class WithoutRootsFileRights {
  public:
    WithoutRootsFileRights() {
        if (::geteuid() != 0) return;
        if (::syscall(SYS_capget, &header_, saved_) != 0) return;
        __user_cap_data_struct less[2];
        std::memcpy(less, saved_, sizeof less);
        for (int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH, CAP_FOWNER})
            less[cap / 32].effective &= ~(1u << (cap % 32));
        dropped_ = ::syscall(SYS_capset, &header_, less) == 0;
    }
    ~WithoutRootsFileRights() {
        if (dropped_) ::syscall(SYS_capset, &header_, saved_);
    }
    WithoutRootsFileRights(const WithoutRootsFileRights&) = delete;
    WithoutRootsFileRights& operator=(const WithoutRootsFileRights&) = delete;
    bool Denies() const { return ::geteuid() != 0 || dropped_; }

  private:
    __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct saved_[2]{};
    bool dropped_ = false;
};

class SystemAccessTest : public ::testing::Test {
  protected:
    void SetUp() override {
        sys_ = dir_.Path() + "/sys";
        testsupport::MakeTestSystem(sys_);
    }
    testsupport::ScopedTempDir dir_;
    std::string sys_;
};

TEST_F(SystemAccessTest, WriteProtectedSystemIsRefusedNamingTheFileAndTheReason) {
    EXPECT_EQ(CheckSystemAccess(sys_).kind, SystemAccess::Kind::kUsable);
    EXPECT_EQ(CheckSystemAccess(dir_.Path() + "/none").kind, SystemAccess::Kind::kNoSystem);
    EXPECT_EQ(CheckSystemAccess(dir_.Path()).kind, SystemAccess::Kind::kNoSystem);
    {
        WithoutRootsFileRights rights;
        if (!rights.Denies()) GTEST_SKIP() << "root's file rights could not be taken off";
        ASSERT_EQ(::chmod((sys_ + "/system.db").c_str(), 0444), 0);
        SystemAccess access = CheckSystemAccess(sys_);
        EXPECT_EQ(access.kind, SystemAccess::Kind::kRefused);
        EXPECT_EQ(access.reason, "cannot write " + sys_ + "/system.db: Permission denied");
        ASSERT_EQ(::chmod((sys_ + "/system.db").c_str(), 0644), 0);

        // Its journal could not be made beside it.
        ASSERT_EQ(::chmod(sys_.c_str(), 0555), 0);
        access = CheckSystemAccess(sys_);
        EXPECT_EQ(access.kind, SystemAccess::Kind::kRefused);
        EXPECT_EQ(access.reason, "cannot make files in " + sys_ + ": Permission denied");
        ASSERT_EQ(::chmod(sys_.c_str(), 0755), 0);
    }
}

TEST_F(SystemAccessTest, UnreadableFolderIsRefusedAndNeverTakenForOneWithoutASystem) {
    {
        WithoutRootsFileRights rights;
        if (!rights.Denies()) GTEST_SKIP() << "root's file rights could not be taken off";
        ASSERT_EQ(::chmod(sys_.c_str(), 0), 0);
        const SystemAccess access = CheckSystemAccess(sys_);
        EXPECT_EQ(access.kind, SystemAccess::Kind::kRefused) << "taken for a folder to --init";
        EXPECT_EQ(access.reason, "cannot reach " + sys_ + "/system.db: Permission denied");

        std::string error;
        EXPECT_FALSE(docserver::InitSystem(sys_, "NEW", "SECRET", error));
        EXPECT_EQ(error, "cannot tell whether " + sys_ + " holds a system: cannot reach " + sys_ +
                             "/system.db: Permission denied");

        // --init where it may not write says why.
        ASSERT_EQ(::chmod(sys_.c_str(), 0555), 0);
        EXPECT_FALSE(docserver::InitSystem(sys_ + "/inner", "NEW", "SECRET", error));
        EXPECT_EQ(error, "cannot create " + sys_ + "/inner: Permission denied");
        ASSERT_EQ(::chmod(sys_.c_str(), 0755), 0);
    }
    struct stat info {};
    EXPECT_NE(::stat((sys_ + "/inner").c_str(), &info), 0);
}

}  // namespace
