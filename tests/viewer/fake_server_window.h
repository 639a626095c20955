#pragma once
// The main window over a real session logged in, over TCP, to a fake server
// that answers the login as for a project of one boundary level and hands
// every other command to the test.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>

#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "platform/wire_separators.h"
#include "server/fake_server.h"
#include "server/talq_client_api.h"
#include "viewer/frm_view_fixture.h"
#include "viewer/widgets/viewer_session.h"

namespace testsupport {

// The record of a project of one boundary level, with every right.
inline std::string OneLevelProjectRecord() {
    std::string out;
    for (const char* field : {"1", "1", "Doc", "icon", "0", "4095", "skipped", "0", "0", "", "68",
                              "Project", "", "", "0", ""}) {
        if (!out.empty()) out.push_back(wire::kSectionSep);
        out += field;
    }
    return out;
}

class FakeServerWindow : public ::testing::Test {
  protected:
    // systemFlags: the server's answer to the system flags, 0x400 for page
    // locking off.
    explicit FakeServerWindow(std::string systemFlags = "0")
        : systemFlags_(std::move(systemFlags)), scoped_(prompts) {
        platform::SetScreenTwipsPerPixelForTest({15.0, 15.0});
        window = std::make_unique<viewer::frmView>([this] {
            auto api = std::make_unique<TalqClientAPI>();
            api_ = api.get();
            return std::make_unique<viewer::ViewerSession>(std::move(api), nullptr);
        });
        window->Form_Load();
    }
    // The window's last requests are answered by the test's Answer, so it
    // goes while the test is whole.
    void TearDown() override { window.reset(); }
    ~FakeServerWindow() override { platform::SetScreenTwipsPerPixelForTest({0.0, 0.0}); }
    void SetUp() override {
        ASSERT_TRUE(api_->OpenTalqConnection(0, "DOM", "127.0.0.1", server_.Port(), 0, 0, 10))
            << api_->LastError();
        ASSERT_TRUE(api_->TalqLogin("ann", "pw", 1)) << api_->LastError();
        ASSERT_TRUE(api_->SelectProject("Alpha")) << api_->LastError();
    }
    // Shown at a size the page and its tools lay out in, as a reviewer has it.
    void ShowWindow() {
        window->show();
        window->resize(900, 700);
        QApplication::processEvents();
        window->Form_Resize();
    }
    // Changes what the server answers, between its answers.
    template <class Change>
    void Serve(Change change) {
        std::lock_guard<std::mutex> lock(mutex_);
        change();
    }
    // What a page display asks besides its lock and its annotations, for a
    // page of the image's bytes without words; false for any other command.
    static bool AnswerPage(const std::string& command, const std::string& image, FakeAction& a) {
        auto is = [&](const char* verb) { return command.rfind(verb, 0) == 0; };
        if (is("TALQFindKey"))
            a.payload = "4," + command.substr(command.rfind(',') + 1);
        else if (is("TALQGetPageInfo"))
            a.payload = "0";
        else if (is("TALQSendClientImage"))
            a.payload = "1       " + image;
        else if (is("TALQGetWordList"))
            a.payload = "0,0,0,0,";
        else
            return false;
        return true;
    }
    // The kind and the list of "TALQPutAnnotations,user,password,project,
    // key,kind,list".
    static std::pair<int, std::string> PutAnnotationsOf(const std::string& command) {
        std::size_t at = 0;
        for (int i = 0; i < 5; ++i) at = command.find(',', at) + 1;
        const std::size_t end = command.find(',', at);
        return {std::stoi(command.substr(at, end - at)), command.substr(end + 1)};
    }
    // The answer to a command other than the login's, under mutex_.
    virtual FakeAction Answer(const std::string& command) = 0;
    std::string Status() const { return window->ui.lblStatus->text().toStdString(); }

    const std::string systemFlags_;
    ScopedUserStores stores_;
    ScopedTempDir tmp_;
    ScopedEnv tmpdir_{"TMPDIR", tmp_.Path()};
    platform::ScriptedPrompts prompts;
    platform::ScopedPrompts scoped_;
    std::mutex mutex_;
    // Under mutex_: the login and the project go unanswered too, as through
    // a link that died.
    bool sessionUnanswered_ = false;
    // Under mutex_: the answer to the project's selection.
    std::string projectInfo_ = OneLevelProjectRecord();
    FakeServer server_{[this](int, const std::string& command) {
        FakeAction a;
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& [verb, reply] :
             {std::pair<std::string, std::string>{"TALQGetSystemFlags", systemFlags_},
              {"TALQGetExtSystemFlags", "0"},
              {"TALQGetVersion", "8.6.0"},
              {"TALQRequiredLogin", "1"},
              {"TALQGetProjectInfo", projectInfo_}}) {
            if (command.rfind(verb, 0) == 0) {
                a.payload = reply;
                a.silent = sessionUnanswered_;
                return a;
            }
        }
        return Answer(command);
    }};
    TalqClientAPI* api_ = nullptr;
    std::unique_ptr<viewer::frmView> window;
};

}  // namespace testsupport
