// The main window over a real session whose server cannot reach its system:
// every request of a page fails alike, and the reviewer is told why.
#include <gtest/gtest.h>

#include <QLabel>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "viewer/fake_server_window.h"

namespace {

using testsupport::FakeAction;

const std::string kWal =
    "Database Error system.db is open in WAL mode by another program, which a shared folder "
    "cannot carry: close every program that has this system open (talq-server, viewers, on "
    "every machine), then open it again from the shared folder";
const std::string kDisk = "Database Error disk I/O error";

class FrmViewDatabaseError : public testsupport::FakeServerWindow {
  protected:
    FakeAction Answer(const std::string& command) override {
        FakeAction a;
        a.payload = command.rfind("TALQSetPageLock", 0) == 0 && locks_ ? "OK" : "ERROR: " + why_;
        return a;
    }
    void Why(const std::string& why, bool locks) {
        std::lock_guard<std::mutex> lock(mutex_);
        why_ = why;
        locks_ = locks;
    }

    std::string why_ = kWal;
    bool locks_ = false;
};

TEST_F(FrmViewDatabaseError, APageWhoseRequestsAllFailSaysTheServersReasonOnceNotPerRequest) {
    const auto told = [](const char* key, const std::string& why) {
        return std::string("Unable to Display ImageKey ") + key + "\n" + why;
    };
    EXPECT_FALSE(window->DisplayImage("K1"));
    // The lock was neither had nor refused: no read-only page.
    EXPECT_EQ(Status(), "K1 *** Bad Image ***");
    EXPECT_EQ(prompts.Messages(), std::vector<std::string>{told("K1", kWal)});
    EXPECT_EQ(prompts.Beeps(), 1);
    EXPECT_FALSE(window->DisplayImage("K2"));
    EXPECT_EQ(prompts.Messages().size(), 1U) << "the same reason told again";

    Why(kDisk, false);
    EXPECT_FALSE(window->DisplayImage("K1"));
    EXPECT_EQ(prompts.Messages(), (std::vector<std::string>{told("K1", kWal), told("K1", kDisk)}));

    // The lock comes: the server serves again, until it fails once more.
    Why(kDisk, true);
    EXPECT_FALSE(window->DisplayImage("K2"));
    EXPECT_EQ(Status(), "K2 *** Bad Image ***");
    EXPECT_EQ(prompts.Messages(),
              (std::vector<std::string>{told("K1", kWal), told("K1", kDisk), told("K2", kDisk)}));
}

}  // namespace
