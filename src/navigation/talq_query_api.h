#pragma once
// The query procedures over the session object.

#include "navigation/query_api.h"
#include "server/talq_client_api.h"

namespace navigation {

class TalqQueryApi : public QueryApi {
  public:
    explicit TalqQueryApi(TalqClientAPI& api) : api_(api) {}
    bool RemotePassThrough(const std::string& command, std::string& reply,
                           bool skipSessionCheck) override {
        return api_.RemotePassThrough(command, reply, skipSessionCheck ? 1 : 0);
    }
    std::string UserName() override { return api_.UserName(); }
    std::string UserPswrd() override { return api_.UserPswrd(); }
    std::string ProjectName() override { return api_.ProjectName(); }
    bool ReadTagPool(std::string& list) override { return api_.ReadTagPool(list); }

  private:
    TalqClientAPI& api_;
};

}  // namespace navigation
