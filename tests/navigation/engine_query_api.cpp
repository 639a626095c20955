#include "engine_query_api.h"

#include <gtest/gtest.h>

namespace testsupport {

EngineQueryApi::EngineQueryApi(const std::string& systemDir) {
    std::string error;
    engine_ = docserver::CommandEngine::Open(systemDir, error);
    EXPECT_TRUE(engine_) << error;
    if (!engine_) return;
    engine_->Execute(state_, "TALQRequiredLogin,ADMIN,SECRET,,DOM,1,8.6,1");
    engine_->Execute(state_, "TALQGetProjectInfo,ADMIN,SECRET,Demo Project");
}

bool EngineQueryApi::RemotePassThrough(const std::string& command, std::string& reply, bool) {
    ++requests;
    lastCommand = command;
    reply = engine_ ? engine_->Execute(state_, command) : "ERROR: no engine";
    return reply.rfind("ERROR", 0) != 0;
}

}  // namespace testsupport
