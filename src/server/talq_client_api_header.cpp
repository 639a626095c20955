#include "server/talq_client_api_header.h"

#include <algorithm>
#include <cctype>

#include "foundation/fields.h"
#include "foundation/text_match.h"
#include "platform/wire_separators.h"

namespace TalqClientAPI_Header {
namespace {

std::string Trim(const std::string& text) {
    return mVBUtil::TrimSpaces(text);
}

// A program without a document is itself the document to open.
void SettleMode(std::string& first, std::string& second, std::int32_t& mode) {
    if (first.empty()) {
        first = second;
        second.clear();
        mode = 1;
    } else {
        mode = 2;
    }
}

}  // namespace

void SplitClipCommand(const std::string& text, std::string& first, std::string& second,
                      std::int32_t& mode) {
    mode = 1;
    first.clear();
    second.clear();
    const std::string listSep(1, wire::kListSep);
    if (text.find(listSep) != std::string::npos) {
        first = mVBUtil::GetField(listSep, text, 1);
        second = mVBUtil::GetField(listSep, text, 2);
        if (!second.empty()) mode = 2;
        return;
    }
    if (text.find('"') != std::string::npos) {
        std::string rest = text;
        if (rest[0] == '"') {
            rest.erase(0, 1);
            if (!rest.empty() && rest.back() == '"') rest.pop_back();
            if (rest.empty()) return;
            if (rest.find('"') == std::string::npos) {
                first = rest;
                return;
            }
        }
        std::size_t quote = rest.find('"');
        second = Trim(rest.substr(0, quote));
        std::string after = rest.substr(quote + 1);
        std::replace(after.begin(), after.end(), '"', ' ');
        first = Trim(after);
        SettleMode(first, second, mode);
        return;
    }
    std::size_t exe = mVBUtil::UCase(text).find(".EXE");
    if (exe != std::string::npos) {
        second = text.substr(0, exe + 4);
        first = Trim(text.substr(exe + 4));
        SettleMode(first, second, mode);
        return;
    }
    first = text;
}

}  // namespace TalqClientAPI_Header
