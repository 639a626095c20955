#pragma once
// One demo system written into a temporary folder for a whole test suite;
// generating it is slow, so the suite's cases share it.

#include <gtest/gtest.h>

#include <string>

#include "demo/demo_database.h"
#include "demo/demo_system.h"
#include "support/scoped_env.h"

namespace testsupport {

// Suite names itself so each fixture keeps a demo system of its own.
template <class Suite>
class DemoSuiteTest : public ::testing::Test {
  protected:
    static void SetUpDemo(int seed, int pages) {
        dir_ = new ScopedTempDir();
        docserver::demo::DemoOptions options;
        options.seed = seed;
        options.pages = pages;
        demo_ =
            new docserver::demo::DemoSystem(docserver::demo::GenerateDemoSystem(Sys(), options));
        docserver::demo::WriteDemoSystem(Sys(), *demo_);
    }
    static void TearDownTestSuite() {
        delete demo_;
        delete dir_;
        demo_ = nullptr;
        dir_ = nullptr;
    }
    static std::string Sys() { return dir_->Path() + "/demo"; }

    static inline ScopedTempDir* dir_ = nullptr;
    static inline docserver::demo::DemoSystem* demo_ = nullptr;
};

}  // namespace testsupport
