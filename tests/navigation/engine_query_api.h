#pragma once
// A session answered by the stand-in server's engine in this process: the
// query procedures run end to end without a socket.

#include <memory>
#include <string>

#include "../docserver/test_system.h"
#include "engine/command_engine.h"
#include "fake_query_api.h"
#include "navigation/query_api.h"

namespace testsupport {

class EngineQueryApi : public navigation::QueryApi {
  public:
    // Logs in as ADMIN and selects "Demo Project" of the system in dir.
    explicit EngineQueryApi(const std::string& systemDir);
    bool RemotePassThrough(const std::string& command, std::string& reply, bool) override;
    std::string UserName() override { return "ADMIN"; }
    std::string UserPswrd() override { return "SECRET"; }
    std::string ProjectName() override { return "Demo Project"; }
    bool ReadTagPool(std::string& list) override { return TagPoolByRequest(*this, list); }

    int requests = 0;
    std::string lastCommand;
    docserver::CommandEngine& Engine() { return *engine_; }

  private:
    std::unique_ptr<docserver::CommandEngine> engine_;
    docserver::ConnectionState state_;
};

}  // namespace testsupport
