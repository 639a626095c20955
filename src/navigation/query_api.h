#pragma once
// What the query procedures need of the session object: its one request
// routine for commands the session has no operation for, the three texts
// every query request starts with, and the project's tag collections.

#include <cstdint>
#include <string>

namespace navigation {

class QueryApi {
  public:
    virtual ~QueryApi() = default;
    // Sends the command unchanged; false on failure (the session reports it).
    virtual bool RemotePassThrough(const std::string& command, std::string& reply,
                                   bool skipSessionCheck) = 0;
    virtual std::string UserName() = 0;
    virtual std::string UserPswrd() = 0;
    virtual std::string ProjectName() = 0;
    // The project's tag collections as a "," list in list, "" when there
    // are none; false when the request failed.
    virtual bool ReadTagPool(std::string& list) = 0;
};

// User, password and project joined by ",", read at the time of the request.
inline std::string RequestPrefix(QueryApi& api) {
    return api.UserName() + "," + api.UserPswrd() + "," + api.ProjectName();
}

}  // namespace navigation
