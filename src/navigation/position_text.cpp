#include "navigation/position_text.h"

#include "foundation/big_string.h"
#include "foundation/fields.h"
#include "foundation/text_match.h"

namespace navigation {
namespace {

bool Between(const std::string& key, const std::string& low, const std::string& high) {
    return mVBUtil::CompareTextNoCase(key, low) >= 0 && mVBUtil::CompareTextNoCase(key, high) <= 0;
}

}  // namespace

void DocumentPositionText::Clear() {
    PositionCache.clear();
    lastDocBegin_.clear();
    lastDocEnd_.clear();
}

bool DocumentPositionText::ReadLevel(QueryApi& api, const std::string& level,
                                     const std::string& docBeginKey, LevelRecord& record) {
    std::string reply;
    if (!api.RemotePassThrough(
            "TALQGetScroll," + RequestPrefix(api) + "," + docBeginKey + "," + level + ",20000",
            reply, false))
        return false;
    record = LevelRecord{};
    record.docKey = docBeginKey;
    int position = 1;
    const std::string marker = mVBUtil::UCase(mVBUtil::NextToken(",", reply, position));
    record.flag = marker == "MOREAFTER" ? 1 : marker == "MOREBEFORE" ? 2 : marker == "BOTH" ? 3 : 0;
    while (position != -1) {
        std::string key = mVBUtil::NextToken(",", reply, position);
        if (key.empty()) continue;
        if (record.firstKey.empty()) record.firstKey = key;
        record.lastKey = key;
        ++record.m;
        if (mVBUtil::CompareTextNoCase(key, docBeginKey) <= 0) record.n = record.m;
        record.keys.push_back(std::move(key));
    }
    return true;
}

std::string DocumentPositionText::BuildFullPositionText(QueryApi& api, int levelCount,
                                                        const std::string& levels,
                                                        const std::string& descs,
                                                        const std::string& docBeginKey,
                                                        const std::string& docEndKey) {
    if (levelCount < 1) return "";
    if (PositionCache.size() != static_cast<std::size_t>(levelCount)) {
        PositionCache.assign(static_cast<std::size_t>(levelCount), LevelRecord{});
    }
    // The document of the last computation vouches for the stored numbers.
    const bool sameDocument = lastDocBegin_ == docBeginKey && lastDocEnd_ == docEndKey;
    const std::string docLow = sameDocument ? lastDocBegin_ : "";
    const std::string docHigh = sameDocument ? lastDocEnd_ : "";

    clsBigString result;
    for (int i = 1; i <= levelCount; ++i) {
        LevelRecord& record = PositionCache[static_cast<std::size_t>(i - 1)];
        if (record.docKey == docBeginKey) {
            // Computed for this document already.
        } else if (sameDocument && Between(docBeginKey, docLow, docHigh)) {
            record.docKey = docBeginKey;
        } else if (!record.keys.empty() && Between(docBeginKey, record.firstKey, record.lastKey)) {
            record.docKey = docBeginKey;
            if (record.flag == 0) {
                record.n = 0;
                for (std::int32_t k = 0; k < record.m; ++k) {
                    const std::string& key = record.keys[static_cast<std::size_t>(k)];
                    if (key.empty()) continue;
                    if (mVBUtil::CompareTextNoCase(key, docBeginKey) > 0) break;
                    ++record.n;
                }
            }
        } else if (!ReadLevel(api, mVBUtil::GetField("|", levels, i), docBeginKey, record)) {
            return "";
        }
        if (record.n == 0) record.flag = 1;
        result.AddStr(mVBUtil::GetField("|", descs, i) + ": ");
        if (record.flag == 0) {
            result.AddStr(std::to_string(record.n) + " of " + std::to_string(record.m) + "  ");
        } else {
            result.AddStr("... of ...  ");
        }
    }
    lastDocBegin_ = docBeginKey;
    lastDocEnd_ = docEndKey;
    return result.GetStr();
}

}  // namespace navigation
