#pragma once
// The ".TLQ" parameter file another program writes to start or steer the
// viewer: lines of "NAME=VALUE" settings and bare image keys. Reading is a
// pure function over the file's text; opening, the key file and deleting the
// parameter file are the caller's.

#include <string>
#include <vector>

namespace modView {

struct ParameterFileValues {
    // Key lines, upper-cased, in file order; keys holding a wire separator
    // are kept apart and never sent.
    std::vector<std::string> keys;
    std::vector<std::string> refusedKeys;

    std::string project;
    bool projectGiven = false;
    std::string userId;
    bool userGiven = false;
    std::string password;
    bool passwordGiven = false;
    // Every "|" turned into a blank.
    std::string keywords;
    bool keywordsGiven = false;
    // Empty when the file names no server; port and domain are then unused.
    std::string ip;
    std::string port;
    std::string domain;
    // DELETE=NO: the file stays on disk after reading.
    bool keepFile = false;
};

ParameterFileValues ParseParameterFile(const std::string& text);

struct ServerAddress {
    std::string ip;
    std::string port;
    std::string domain;
};

// True when the file names a server other than current; next is then the
// address to switch to. A domain or port the file leaves out stays as it is.
bool ParameterFileSwitchesServer(const ParameterFileValues& values, const ServerAddress& current,
                                 ServerAddress& next);

}  // namespace modView
