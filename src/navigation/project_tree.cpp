#include "navigation/project_tree.h"

#include <algorithm>

#include "foundation/fields.h"
#include "foundation/number_text.h"
#include "foundation/text_match.h"
#include "platform/rounding.h"

namespace navigation {

std::string ProjectTreeRequest(QueryApi& api, ScrollDirection direction, const std::string& key,
                               std::int32_t level) {
    const char* verb = direction == ScrollDirection::After    ? "TALQGetNextScroll,"
                       : direction == ScrollDirection::Before ? "TALQGetPrevScroll,"
                                                              : "TALQGetScroll,";
    return verb + RequestPrefix(api) + "," + key + "," + std::to_string(level) + ",200,1";
}

ProjectTreeScrollReply ParseProjectTreeScrollReply(const std::string& reply) {
    ProjectTreeScrollReply parsed;
    int position = 1;
    const std::string marker = mVBUtil::UCase(mVBUtil::NextToken(",", reply, position));
    parsed.moreBefore = marker == "MOREBEFORE" || marker == "BOTH";
    parsed.moreAfter = marker == "MOREAFTER" || marker == "BOTH";
    while (position != -1) {
        const std::string field = mVBUtil::NextToken(",", reply, position);
        if (field.empty()) continue;
        const auto tab = field.find('\t');
        if (tab == std::string::npos) {
            parsed.entries.push_back({field, ""});
        } else {
            parsed.entries.push_back({field.substr(0, tab), mVBUtil::GetField("\t", field, 2)});
        }
    }
    return parsed;
}

ProjectTreeLevel ProjectTreeLevelAt(const std::string& levels, const std::string& icons, int count,
                                    int p) {
    if (p >= count) return {};
    auto number = [](const std::string& list, int field) {
        return platform::RoundToInt(mVBUtil::Val(mVBUtil::GetField("|", list, field)));
    };
    return {number(levels, p + 1), number(icons, p + 1) + 1};
}

std::string ProjectTreeNodeKey(int p, const std::string& entryKey) {
    return std::string(1, static_cast<char>(p)) + entryKey;
}

}  // namespace navigation
