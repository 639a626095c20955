// The main window over a real session whose server cannot reach its system:
// every request of a page fails alike, and the reviewer is told why.
#include <gtest/gtest.h>

#include <QLabel>

#include <atomic>
#include <memory>
#include <mutex>
#include <string>

#include "platform/wire_separators.h"
#include "server/fake_server.h"
#include "server/talq_client_api.h"
#include "viewer/frm_view_fixture.h"
#include "viewer/one_level_project.h"
#include "viewer/widgets/viewer_session.h"

namespace {

using testsupport::FakeAction;
using testsupport::FakeServer;

const std::string kWal =
    "Database Error system.db is open in WAL mode by another program, which a shared folder "
    "cannot carry: close every program that has this system open (talq-server, viewers, on "
    "every machine), then open it again from the shared folder";
const std::string kDisk = "Database Error disk I/O error";

class FrmViewDatabaseError : public ::testing::Test {
  protected:
    FrmViewDatabaseError() : scoped_(prompts) {
        window = std::make_unique<viewer::frmView>([this] {
            auto api = std::make_unique<TalqClientAPI>();
            api_ = api.get();
            return std::make_unique<viewer::ViewerSession>(std::move(api), nullptr);
        });
        window->Form_Load();
    }
    void SetUp() override {
        ASSERT_TRUE(api_->OpenTalqConnection(0, "DOM", "127.0.0.1", server_.Port(), 0, 0, 10))
            << api_->LastError();
        ASSERT_TRUE(api_->TalqLogin("ann", "pw", 1)) << api_->LastError();
        ASSERT_TRUE(api_->SelectProject("Alpha")) << api_->LastError();
    }
    std::string Answer(const std::string& command) {
        for (const auto& [verb, reply] : {std::pair<std::string, std::string>{
                                              "TALQGetSystemFlags", "0"},
                                          {"TALQGetExtSystemFlags", "0"},
                                          {"TALQGetVersion", "8.6.0"},
                                          {"TALQRequiredLogin", "1"},
                                          {"TALQGetProjectInfo", testsupport::OneLevelProjectRecord()}}) {
            if (command.rfind(verb, 0) == 0) return reply;
        }
        std::lock_guard<std::mutex> lock(mutex_);
        if (command.rfind("TALQSetPageLock", 0) == 0 && locks_) return "OK";
        return "ERROR: " + why_;
    }
    void Why(const std::string& why, bool locks) {
        std::lock_guard<std::mutex> lock(mutex_);
        why_ = why;
        locks_ = locks;
    }
    std::string Status() const { return window->ui.lblStatus->text().toStdString(); }

    testsupport::ScopedUserStores stores_;
    testsupport::ScopedTempDir tmp_;
    testsupport::ScopedEnv tmpdir_{"TMPDIR", tmp_.Path()};
    platform::ScriptedPrompts prompts;
    platform::ScopedPrompts scoped_;
    std::mutex mutex_;
    std::string why_ = kWal;
    bool locks_ = false;
    FakeServer server_{[this](int, const std::string& command) {
        FakeAction a;
        a.payload = Answer(command);
        return a;
    }};
    TalqClientAPI* api_ = nullptr;
    std::unique_ptr<viewer::frmView> window;
};

TEST_F(FrmViewDatabaseError, APageWhoseRequestsAllFailSaysTheServersReasonOnceNotPerRequest) {
    EXPECT_FALSE(window->DisplayImage("K1"));
    EXPECT_EQ(Status(), "K1 [READ ONLY] *** Bad Image ***");
    EXPECT_EQ(prompts.Messages(), std::vector<std::string>{kWal});
    EXPECT_EQ(prompts.Beeps(), 1);
    EXPECT_FALSE(window->DisplayImage("K2"));
    EXPECT_EQ(prompts.Messages().size(), 1U) << "the same reason told again";

    Why(kDisk, false);
    EXPECT_FALSE(window->DisplayImage("K1"));
    EXPECT_EQ(prompts.Messages(), (std::vector<std::string>{kWal, kDisk}));

    // The lock comes: the server serves again, until it fails once more.
    Why(kDisk, true);
    EXPECT_FALSE(window->DisplayImage("K2"));
    EXPECT_EQ(Status(), "K2 *** Bad Image ***");
    EXPECT_EQ(prompts.Messages(), (std::vector<std::string>{kWal, kDisk, kDisk}));
}

}  // namespace
