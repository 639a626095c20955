#include "viewer/parameter_file.h"

#include "foundation/fields.h"
#include "viewer/startup_command_line.h"

namespace modView {
namespace {

// Lines end at CR LF, LF or CR, whichever program wrote the file.
std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::string line;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            lines.push_back(line);
            line.clear();
            if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        } else {
            line.push_back(c);
        }
    }
    if (!line.empty()) lines.push_back(line);
    return lines;
}

std::string AddressText(const ServerAddress& a) {
    return a.ip + "|" + a.port + "|" + UpperCaseText(a.domain);
}

}  // namespace

ParameterFileValues ParseParameterFile(const std::string& text) {
    ParameterFileValues values;
    for (const std::string& raw : SplitLines(text)) {
        const std::string line = mVBUtil::TrimSpaces(UpperCaseText(raw));
        if (line.empty()) continue;
        size_t eq = line.find('=');
        if (eq == std::string::npos) {
            (IsSendableKey(line) ? values.keys : values.refusedKeys).push_back(line);
            continue;
        }
        const std::string name = mVBUtil::TrimSpaces(line.substr(0, eq));
        const std::string value = mVBUtil::TrimSpaces(line.substr(eq + 1));
        if (name == "DELETE") {
            if (value == "NO") values.keepFile = true;
            continue;
        }
        if (value.empty()) continue;
        if (name == "PROJECT") {
            values.project = value;
            values.projectGiven = true;
        } else if (name == "USERID") {
            values.userId = value;
            values.userGiven = true;
        } else if (name == "PASSWORD") {
            values.password = value;
            values.passwordGiven = true;
        } else if (name == "KEYWORDS") {
            values.keywords = value;
            for (char& c : values.keywords) {
                if (c == '|') c = ' ';
            }
            values.keywordsGiven = true;
        } else if (name == "IP") {
            values.ip = value;
        } else if (name == "PORT") {
            values.port = value;
        } else if (name == "DOMAIN") {
            values.domain = value;
        }
    }
    return values;
}

bool ParameterFileSwitchesServer(const ParameterFileValues& values, const ServerAddress& current,
                                 ServerAddress& next) {
    if (values.ip.empty()) return false;
    next.ip = values.ip;
    next.port = values.port.empty() ? current.port : values.port;
    next.domain = values.domain.empty() ? current.domain : values.domain;
    return AddressText(next) != AddressText(current);
}

}  // namespace modView
