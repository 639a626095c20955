// Moving through a project by image key and boundary level.
#include <algorithm>

#include "foundation/big_string.h"
#include "foundation/fields.h"
#include "foundation/text_match.h"
#include "platform/prompts.h"
#include "server/talq_client_api.h"
#include "server/talq_number.h"

namespace {

const std::string kItemSep = "|";

// The first i in 1..count whose item of list passes test, in one walk over
// the list; count + 1 when none does.
template <typename Test>
int FindItem(const std::string& list, int count, Test test) {
    int position = 1;
    for (int i = 1; i <= count; ++i)
        if (test(mVBUtil::NextToken(kItemSep, list, position))) return i;
    return std::max(count, 0) + 1;
}

}  // namespace

std::int16_t TalqClientAPI::FindKey(const std::string& key, std::string& foundKey) {
    foundKey.clear();
    keyLookupFailed_ = true;
    if (!ValidateSession(15)) return 0;
    keyLookupFailed_ = false;
    // A key that would break the command's fields names no page.
    if (RefuseBreakers({&key}, "Image Key")) return 0;
    std::string reply;
    keyLookupFailed_ = !Request("TALQFindKey," + CommandPrefix() + "," + key, reply);
    if (keyLookupFailed_) return 0;
    std::int32_t status = talqnumber::Long(mVBUtil::GetField(",", reply, 1));
    foundKey = mVBUtil::GetField(",", reply, 2);
    if (status == 4) return 1;
    if (status == 5) return 2;
    return 0;
}

bool TalqClientAPI::NextKey(const std::string& key, std::int16_t& level, std::string& nextKey) {
    nextKey.clear();
    if (!ValidateSession(15)) return false;
    if (RefuseBreakers({&key}, "Image Key")) return false;
    std::string reply;
    if (!Request("TALQNextKey," + CommandPrefix() + "," + key + "," + std::to_string(level),
                 reply) ||
        reply == "NONE") {
        return false;
    }
    nextKey = reply;
    return true;
}

bool TalqClientAPI::PrevKey(const std::string& key, std::int16_t& level, std::string& prevKey) {
    prevKey.clear();
    if (!ValidateSession(15)) return false;
    if (RefuseBreakers({&key}, "Image Key")) return false;
    std::string reply;
    if (!Request("TALQPrevKey," + CommandPrefix() + "," + key + "," + std::to_string(level),
                 reply) ||
        reply == "NONE") {
        return false;
    }
    prevKey = reply;
    return true;
}

std::int16_t TalqClientAPI::ResolveBndry2Level(const std::string& flag) const {
    std::int16_t n = BndryNbr();
    if (flag.empty() || n == 0) return 0;
    // When none of the first n - 1 matches, the last level is taken.
    int i = FindItem(BndryFlags(), n - 1, [&](const std::string& item) { return item == flag; });
    return talqnumber::Integer(mVBUtil::GetField(kItemSep, BndryLvls(), i));
}

std::string TalqClientAPI::ResolveLevel2Bndry(std::int32_t level) const {
    std::int16_t n = BndryNbr();
    if (level == 0 || n == 0) return "";
    int i = FindItem(BndryLvls(), n - 1,
                     [&](const std::string& item) { return mVBUtil::Val(item) == level; });
    return mVBUtil::GetField(kItemSep, BndryFlags(), i);
}

bool TalqClientAPI::GetBndryScrollList(const std::string& key, std::int32_t level,
                                       std::string& list, std::int16_t& marker, std::int32_t& count,
                                       std::int32_t& index) {
    list.clear();
    if (!ValidateSession(15)) return false;
    if (RefuseBreakers({&key}, "Image Key")) return false;
    std::string reply;
    if (!Request(
            "TALQGetScroll," + CommandPrefix() + "," + key + "," + std::to_string(level) + ",5000",
            reply)) {
        return false;
    }
    // A reply naming no marker means nothing was cut: never the caller's old value.
    marker = 0;
    clsBigString built;
    int position = 1;
    int token = 0;
    while (position != -1) {
        std::string item = mVBUtil::NextToken(",", reply, position);
        // A closing "," ends the last key; it starts no empty one.
        if (position == -1 && token > 0 && item.empty() && !reply.empty() && reply.back() == ',')
            break;
        ++token;
        if (token == 1) {
            std::string upper = mVBUtil::UCase(item);
            if (upper == "MOREAFTER") marker = 1;
            if (upper == "MOREBEFORE") marker = 2;
            if (upper == "BOTH") marker = 3;
            continue;
        }
        if (token > 2) built.AddStr(",");
        built.AddStr(item);
        if (index == 0 && mVBUtil::CompareTextNoCase(key, item) <= 0) index = token - 1;
    }
    count = token - 1;
    list = built.GetStr();
    return index > 0;
}

bool TalqClientAPI::GetBndryBegEndKey(const std::string& key, std::int32_t level,
                                      std::string& begKey, std::string& endKey) {
    begKey.clear();
    endKey.clear();
    if (!ValidateSession(15)) return false;
    if (RefuseBreakers({&key}, "Image Key")) return false;
    std::int16_t n = BndryNbr();
    int i = FindItem(BndryLvls(), n,
                     [&](const std::string& item) { return mVBUtil::Val(item) == level; });
    if (i > n) {
        lastError_ = "Invalid Boundary Level";
        if (displayErrorMsgs_) {
            platform::Beep();
            ShowError();
        }
        return false;
    }
    std::string reply;
    if (!Request("TALQGetBoundaryInfo," + CommandPrefix() + "," + key, reply)) return false;
    std::string beg = mVBUtil::GetField(",", mVBUtil::GetField(";", reply, 1), i);
    std::string end = mVBUtil::GetField(",", mVBUtil::GetField(";", reply, 2), i);
    // An empty key is no unit boundary a caller can move to.
    if (beg.empty() || end.empty()) {
        lastError_ = "Boundary Keys Not Found";
        return false;
    }
    begKey = beg;
    endKey = end;
    return true;
}

std::string TalqClientAPI::GetFolderDescription(const std::string& key, std::int32_t level) {
    if (!ValidateSession(15)) return "";
    if (RefuseBreakers({&key}, "Image Key")) return "";
    std::string reply;
    if (!Request(
            "TALQGetFolderDescription," + CommandPrefix() + "," + key + "," + std::to_string(level),
            reply) ||
        mVBUtil::UCase(reply) == "NONE") {
        return "";
    }
    return reply;
}

bool TalqClientAPI::PutFolderDescription(const std::string& key, std::int32_t level,
                                         const std::string& description) {
    if (!ValidateSession(15)) return false;
    if (RefuseBreakers({&key}, "Image Key")) return false;
    std::string reply;
    return Request("TALQPutFolderDescription," + CommandPrefix() + "," + key + "," +
                       std::to_string(level) + "," + description,
                   reply);
}

bool TalqClientAPI::SetImageBndryLevel(const std::string& key, std::int32_t level) {
    if (!ValidateSession(15)) return false;
    if (RefuseBreakers({&key}, "Image Key")) return false;
    std::string reply;
    if (Request("TALQPutPageInfo," + CommandPrefix() + "," + key + "," + std::to_string(level),
                reply)) {
        return true;
    }
    lastError_ = WithServerReason("Unable to set Boundary Flag", lastError_);
    if (displayErrorMsgs_) {
        platform::Beep();
        ShowError();
    }
    return false;
}

bool TalqClientAPI::RemotePassThrough(const std::string& command, std::string& reply,
                                      std::int32_t skipSessionCheck) {
    reply.clear();
    if (skipSessionCheck == 0 && !ValidateSession(15)) return false;
    return Request(command, reply);
}
