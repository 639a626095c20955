#pragma once
// A session that records every request and answers from a script.

#include <algorithm>
#include <deque>
#include <string>
#include <vector>

#include "navigation/query_api.h"

namespace testsupport {

// The tag pool through the pass-through request, as the session asks it.
inline bool TagPoolByRequest(navigation::QueryApi& api, std::string& list) {
    list.clear();
    std::string reply;
    if (!api.RemotePassThrough("TALQGetTagPoolList," + navigation::RequestPrefix(api), reply,
                               false))
        return false;
    if (reply != "NONE") list = reply;
    return true;
}

class FakeQueryApi : public navigation::QueryApi {
  public:
    struct Answer {
        bool ok = true;
        std::string reply;
    };
    // Answers in order; past the end every request succeeds with "OK".
    void Queue(std::string reply, bool ok = true) { answers_.push_back({ok, std::move(reply)}); }
    bool RemotePassThrough(const std::string& command, std::string& reply, bool) override {
        sent.push_back(command);
        Answer a{true, "OK"};
        if (!answers_.empty()) {
            a = answers_.front();
            answers_.pop_front();
        }
        reply = a.reply;
        return a.ok;
    }
    std::string UserName() override { return "ANN"; }
    std::string UserPswrd() override { return "pw"; }
    std::string ProjectName() override { return "Proj"; }
    bool ReadTagPool(std::string& list) override { return TagPoolByRequest(*this, list); }

    std::vector<std::string> sent;

  private:
    std::deque<Answer> answers_;
};

}  // namespace testsupport
