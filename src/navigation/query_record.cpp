#include "navigation/query_record.h"

#include <fstream>
#include <sstream>
#include <utility>

#include "foundation/big_string.h"
#include "foundation/fields.h"
#include "foundation/number_text.h"
#include "foundation/text_match.h"
#include "platform/prompts.h"
#include "platform/rounding.h"

namespace TalqClientAPI_Header {
namespace {

using navigation::kRecordSep;
using navigation::kSectionSep;

const std::string kSS(1, kSectionSep);
const std::string kRS(1, kRecordSep);

std::int32_t Number(const std::string& text) {
    double value = mVBUtil::Val(text);
    if (value > 2147483647.0 || value < -2147483648.0) return 0;
    return platform::RoundToInt(value);
}

void ClearSet(QueryRecord& query) {
    query.FirstKey.clear();
    query.LastKey.clear();
    query.CurrentKey.clear();
    query.KeyList.clear();
    query.InvalidKeyList.clear();
    query.RowTextList.clear();
    query.CurrentRow = 0;
    query.RowCount = 0;
    query.MoreFlags = 0;
}

}  // namespace

void ClearServerQuery(navigation::QueryApi& api, QueryRecord& query) {
    if (query.Kind == 2) {
        std::string reply;
        api.RemotePassThrough("TALQDeleteFile," + query.ServerFile, reply, false);
    }
    ClearSet(query);
    query.ServerFile.clear();
    query.Position.clear();
    query.Kind = 0;
}

bool OpenServerQuery(navigation::QueryApi& api, QueryRecord& query, std::int16_t kind,
                     const std::string& serverFile, std::int16_t level, std::int32_t pageSize) {
    // The name may be the record's own, which clearing empties.
    std::string file = serverFile;
    ClearServerQuery(api, query);
    query.Kind = kind;
    query.ServerFile = file;
    query.Level = level;
    query.PageSize = static_cast<std::int16_t>(pageSize < 100 || pageSize > 32767 ? 100 : pageSize);
    return QueryScroll(api, query, 0);
}

bool QueryScroll(navigation::QueryApi& api, QueryRecord& query, std::int16_t direction) {
    if (query.Kind == 0) return false;
    ClearSet(query);
    if (direction != 1 && direction != 2) direction = 0;
    std::string command = "TALQQueryScroll," + navigation::RequestPrefix(api) + "," +
                          std::to_string(query.Kind - 1) + kSS + "" + kSS + query.Position + kSS +
                          query.ServerFile + kSS + std::to_string(query.Level) + kSS +
                          std::to_string(query.PageSize) + kSS + std::to_string(direction);
    std::string reply;
    if (!api.RemotePassThrough(command, reply, false)) return false;

    query.Position = mVBUtil::GetField(kSS, reply, 2);
    std::string marker = mVBUtil::UCase(mVBUtil::GetField(kSS, reply, 3));
    // Some servers name the marker of more rows after "MOREAFTER".
    if (marker == "MOREFOLLOWS" || marker == "MOREAFTER") query.MoreFlags = kMoreFollows;
    if (marker == "MOREBEFORE") query.MoreFlags = kMoreBefore;
    if (marker == "BOTH") query.MoreFlags = kMoreFollows | kMoreBefore;

    const std::string positioned = mVBUtil::GetField(kSS, reply, 1);
    const std::int32_t count = Number(mVBUtil::GetField(kSS, reply, 4));
    const std::string rows = mVBUtil::GetFieldRest(kSS, reply, 5);
    clsBigString keys, texts, invalid;
    int cursor = 1;
    for (std::int32_t i = 0; i < count && cursor != -1; ++i) {
        std::string row = mVBUtil::NextToken(kRS, rows, cursor);
        std::size_t tab = row.find('\t');
        std::string key = row.substr(0, tab);
        if (key.empty()) continue;
        if (key[0] == '*') {
            if (invalid.LenStr() > 0) invalid.AddStr(",");
            invalid.AddStr(key);
            continue;
        }
        std::string text;
        if (tab != std::string::npos) text = row.substr(tab + 1, row.find('\t', tab + 1) - tab - 1);
        if (query.RowCount == 0) {
            query.FirstKey = key;
        } else {
            keys.AddStr(",");
            texts.AddStr("|");
        }
        keys.AddStr(key);
        texts.AddStr(text);
        ++query.RowCount;
        query.LastKey = key;
        if (query.CurrentRow == 0) {
            int order = mVBUtil::CompareTextNoCase(key, positioned);
            if ((query.Kind == 1 && order >= 0) || (query.Kind != 1 && order == 0)) {
                query.CurrentRow = query.RowCount;
                query.CurrentKey = key;
            }
        }
    }
    query.KeyList = keys.GetStr();
    query.RowTextList = texts.GetStr();
    query.InvalidKeyList = invalid.GetStr();
    if (query.RowCount > 0 && query.CurrentRow == 0) {
        query.CurrentRow = query.RowCount;
        query.CurrentKey = query.LastKey;
    }
    return true;
}

bool ReadKeyListFile(const std::string& file, std::string& text) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    std::ostringstream content;
    content << in.rdbuf();
    if (in.bad()) return false;
    text = content.str();
    return true;
}

bool UploadKeyListFile(navigation::QueryApi& api, QueryRecord& query, const std::string& file,
                       std::int16_t level) {
    ClearServerQuery(api, query);
    // Read whole first: a read failure never leaves a shortened list behind.
    std::string content;
    if (!ReadKeyListFile(file, content)) {
        platform::Beep();
        platform::MsgBox(file, platform::vbCritical, "Unable to open file");
        return false;
    }
    std::string serverFile;
    if (!api.RemotePassThrough("TALQCreateTempFile," + navigation::RequestPrefix(api), serverFile,
                               false)) {
        platform::Beep();
        platform::MsgBox("Unable to create temporary file on Server", platform::vbCritical,
                         "Error");
        return false;
    }
    const std::string prefix =
        "TALQWriteTempFile," + navigation::RequestPrefix(api) + "," + serverFile + ",";
    clsBigString pending;
    auto send = [&]() {
        std::string reply;
        bool ok = api.RemotePassThrough(prefix + pending.GetStr(), reply, false);
        pending.Reset();
        if (!ok) {
            platform::Beep();
            platform::MsgBox("Error Writing to File on Server", platform::vbOKOnly, "Error");
        }
        return ok;
    };
    bool ok = true;
    std::size_t at = 0;
    while (ok && at < content.size()) {
        if (pending.LenStr() > 10000) ok = send();
        if (!ok) break;
        std::size_t end = content.find_first_of("\r\n", at);
        if (end == std::string::npos) end = content.size();
        if (pending.LenStr() > 0) pending.AddStr(kRS);
        pending.AddStr(content.substr(at, end - at));
        if (end < content.size() && content[end] == '\r' && end + 1 < content.size() &&
            content[end + 1] == '\n')
            ++end;
        at = end + 1;
    }
    if (ok && pending.LenStr() > 0) send();
    return OpenServerQuery(api, query, 2, serverFile, level, 2000);
}

bool StartQuerySort(navigation::QueryApi& api, QueryRecord& query, std::int16_t order) {
    if (query.Kind == 0) return false;
    std::string reply;
    if (!api.RemotePassThrough("TALQStartQuerySort," + std::to_string(query.Kind - 1) + "," +
                                   query.ServerFile + "," + std::to_string(query.Level) + "," +
                                   std::to_string(order),
                               reply, false))
        return false;
    return reply == "OK";
}

bool CheckBackgroundStatus(navigation::QueryApi& api, QueryRecord& query, std::string& text,
                           std::int16_t& status) {
    text.clear();
    std::string reply;
    if (!api.RemotePassThrough("BackGroundStatus," + std::to_string(status), reply, false))
        return false;
    status = static_cast<std::int16_t>(Number(mVBUtil::GetField(",", reply, 2)));
    text = mVBUtil::GetField(",", reply, 3);
    if (Number(mVBUtil::GetField(",", reply, 1)) != 0) return true;
    if (status != 0) return false;
    // The unsorted query goes only once the sorted one has been read: a
    // failed read leaves the list as it was, not an empty one.
    QueryRecord sorted;
    sorted.Kind = 2;
    sorted.ServerFile = text;
    sorted.Level = query.Level;
    sorted.PageSize = query.PageSize < 100 ? 100 : query.PageSize;
    if (!QueryScroll(api, sorted, 0)) {
        ClearServerQuery(api, sorted);
        return false;
    }
    ClearServerQuery(api, query);
    query = std::move(sorted);
    return false;
}

}  // namespace TalqClientAPI_Header
