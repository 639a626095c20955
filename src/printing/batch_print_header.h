#pragma once
// The key=value header of a batch print file, read by the server's printer.

#include <cstdint>
#include <string>

class cGdiPrn;
class TalqClientAPI;

namespace batchprint {

struct HeaderValues {
    std::int32_t printFlags = 0;
    std::string domain;
    std::string description;
    std::string user;
    std::string project;
};

// A clip or margin value as the batch printer reads it: up to 16 sixteenths
// of an inch become pixels at 300 dpi; larger values are pixels already.
std::int32_t ClipPixels(std::int32_t value);

// Every header line ends with LF; a value holding CR or LF would start a
// line of its own, so those become blanks.
std::string BuildHeader(const HeaderValues& values, cGdiPrn& engine);

// The header of a job opened on the session as it stands: its domain, user
// and project.
std::string SessionHeader(const TalqClientAPI& session, std::int32_t printFlags,
                          const std::string& description, cGdiPrn& engine);

}  // namespace batchprint
