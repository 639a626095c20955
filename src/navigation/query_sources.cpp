#include "navigation/query_sources.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <ctime>
#include <random>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "foundation/fields.h"
#include "foundation/number_text.h"
#include "foundation/text_match.h"
#include "platform/rounding.h"
#include "platform/whole_file.h"

namespace navigation {
namespace {

std::vector<std::string_view> Items(const std::string& text) {
    std::vector<std::string_view> items;
    if (text.empty()) return items;
    std::string_view rest(text);
    while (true) {
        std::size_t comma = rest.find(',');
        items.push_back(rest.substr(0, comma));
        if (comma == std::string_view::npos) return items;
        rest.remove_prefix(comma + 1);
    }
}

// The case-folding compare of the client on views: only 'a' to 'z' fold.
int Compare(std::string_view a, std::string_view b) {
    std::size_t n = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(a[i]);
        unsigned char y = static_cast<unsigned char>(b[i]);
        if (x >= 'a' && x <= 'z') x = static_cast<unsigned char>(x - 32);
        if (y >= 'a' && y <= 'z') y = static_cast<unsigned char>(y - 32);
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::int32_t Number(const std::string& text) {
    double value = mVBUtil::Val(text);
    if (value > 2147483647.0 || value < -2147483648.0) return 0;
    return platform::RoundToInt(value);
}

}  // namespace

void MergeKeyLists(clsBigString& a, clsBigString& b, clsBigString& result, std::int16_t logic) {
    const std::string textA = a.GetStr();
    const std::string textB = b.GetStr();
    a.Reset();
    b.Reset();
    std::vector<std::string_view> itemsA = Items(textA);
    std::vector<std::string_view> itemsB = Items(textB);
    std::size_t i = 0, j = 0;
    bool first = result.LenStr() == 0;
    auto append = [&](std::string_view item) {
        if (!first) result.AddStr(",");
        result.AddStr(std::string(item));
        first = false;
    };
    while (i < itemsA.size() && j < itemsB.size()) {
        int order = Compare(itemsA[i], itemsB[j]);
        if (logic == kLogicOr) append(order > 0 ? itemsB[j] : itemsA[i]);
        if (logic == kLogicAnd && order == 0) append(itemsA[i]);
        if (logic == kLogicNot && order < 0) append(itemsA[i]);
        if (order == 0) {
            ++i;
            ++j;
        } else if (order > 0) {
            ++j;
        } else {
            ++i;
        }
    }
    if (logic != kLogicAnd)
        for (; i < itemsA.size(); ++i) append(itemsA[i]);
    if (logic == kLogicOr)
        for (; j < itemsB.size(); ++j) append(itemsB[j]);
}

bool FetchTagKeys(QueryApi& api, const std::string& tag, clsBigString& list) {
    const std::string ss(1, kSectionSep);
    const std::string rs(1, kRecordSep);
    std::string startKey, position, last;
    bool firstPage = true;
    while (true) {
        std::string command = "TALQQueryScroll," + RequestPrefix(api) + ",0" + ss + startKey + ss +
                              position + ss + tag + ss + "0" + ss + "20000" + ss +
                              (firstPage ? "0" : "1");
        std::string reply;
        if (!api.RemotePassThrough(command, reply, false)) return false;
        position = mVBUtil::GetField(ss, reply, 2);
        std::string marker = mVBUtil::UCase(mVBUtil::GetField(ss, reply, 3));
        bool more = marker == "MOREFOLLOWS" || marker == "MOREAFTER" || marker == "BOTH";
        std::int32_t count = Number(mVBUtil::GetField(ss, reply, 4));
        std::string rows = mVBUtil::GetFieldRest(ss, reply, 5);
        int cursor = 1;
        bool added = false;
        for (std::int32_t n = 0; n < count && cursor != -1; ++n) {
            std::string row = mVBUtil::NextToken(rs, rows, cursor);
            // Only the key goes into the list: texts would break the merge.
            std::string key = row.substr(0, row.find('\t'));
            if (key.empty()) continue;
            // Rows a page repeats are those not after the last one taken.
            if (!last.empty() && Compare(key, last) <= 0) continue;
            if (list.LenStr() > 0) list.AddStr(",");
            list.AddStr(key);
            last = key;
            added = true;
        }
        firstPage = false;
        // A page that adds nothing would only be asked for again.
        if (!more || !added) return true;
        startKey = last;
    }
}

std::optional<std::string> CombineTags(QueryApi& api, const std::string& names, int count,
                                       std::int16_t logic, const MergeFunction& merge) {
    const std::string sep(1, kListSep);
    clsBigString a, b, result;
    for (int i = 1; i <= count; ++i) {
        std::string name = mVBUtil::GetField(sep, names, i);
        if (i == 1) {
            if (!FetchTagKeys(api, name, a)) return std::nullopt;
            continue;
        }
        b.Reset();
        if (!FetchTagKeys(api, name, b)) return std::nullopt;
        merge(a, b, result, logic);
        a.CopyString(result);
        result.Reset();
    }
    return a.GetStr();
}

std::string CreateMultiTagFile(const std::string& folder) {
    std::string dir = folder;
    if (!dir.empty() && dir.back() != '/') dir.push_back('/');
    static std::mt19937 random(std::random_device{}());
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        char name[32];
        std::snprintf(name, sizeof name, "MI%04u%02d%02d%02d.TMP",
                      static_cast<unsigned>(random() % 10000), local.tm_hour, local.tm_min,
                      local.tm_sec);
        std::string path = dir + name;
        int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, 0600);
        if (fd >= 0) {
            ::close(fd);
            return path;
        }
        if (errno != EEXIST) return "";
    }
    return "";
}

SaveKeysResult SaveQueryKeys(QueryApi& api, const TalqClientAPI_Header::QueryRecord& query,
                             const std::string& file, std::int32_t& count, std::string& reason) {
    count = 0;
    reason.clear();
    // The chosen file is replaced only by a complete list.
    platform::WholeFile out;
    if (!out.Create(file, reason, false)) return SaveKeysResult::kCannotCreate;
    TalqClientAPI_Header::QueryRecord copy = query;
    if (!TalqClientAPI_Header::QueryScroll(api, copy, 0)) return SaveKeysResult::kCannotPosition;
    while (true) {
        bool more = (copy.MoreFlags & TalqClientAPI_Header::kMoreFollows) != 0;
        // Every key of the set: the positioned row need not be the first.
        for (std::string_view key : Items(copy.KeyList)) {
            out.Append(key);
            out.Append("\r\n");
            ++count;
        }
        if (!more) break;
        if (!TalqClientAPI_Header::QueryScroll(api, copy, 1))
            return SaveKeysResult::kCannotPosition;
    }
    std::string written;
    if (out.Commit(true, written)) return SaveKeysResult::kOk;
    reason = out.Error();
    return SaveKeysResult::kWriteFailed;
}

std::optional<bool> CollectionHoldsQuery(QueryApi& api,
                                         const TalqClientAPI_Header::QueryRecord& query,
                                         const std::string& name) {
    clsBigString tagged;
    if (!FetchTagKeys(api, name, tagged)) return std::nullopt;
    const std::string text = tagged.GetStr();
    const std::vector<std::string_view> items = Items(text);
    const std::unordered_set<std::string_view> held(items.begin(), items.end());
    TalqClientAPI_Header::QueryRecord copy = query;
    if (!TalqClientAPI_Header::QueryScroll(api, copy, 0)) return std::nullopt;
    bool all = true;
    while (true) {
        const bool more = (copy.MoreFlags & TalqClientAPI_Header::kMoreFollows) != 0;
        // A key the server did not find ("*") is never tagged.
        for (std::string_view key : Items(copy.KeyList))
            if (!key.empty() && key.front() != '*' && !held.contains(key)) all = false;
        if (!all || !more) return all;
        if (!TalqClientAPI_Header::QueryScroll(api, copy, 1)) return std::nullopt;
    }
}

bool CheckCollectionName(std::string& name, std::string& reason) {
    name = mVBUtil::TrimSpaces(name);
    if (name.empty()) {
        reason.clear();
        return false;
    }
    for (unsigned char c : name)
        if (c < 32 || c == ',' || c == '|') {
            reason = "Issue Collection Names cannot hold \",\", \"|\" or control characters.";
            return false;
        }
    return true;
}

bool PollQuerySort(QueryApi& api, TalqClientAPI_Header::QueryRecord& query,
                   const SortLoopHooks& hooks) {
    std::int16_t status = 0;
    std::string text;
    bool sorted = false;
    while (true) {
        if (hooks.pump) hooks.pump();
        status = hooks.cancelled && hooks.cancelled() ? 1 : 0;
        std::int16_t before = status;
        std::string previousFile = query.ServerFile;
        bool running = TalqClientAPI_Header::CheckBackgroundStatus(api, query, text, status);
        if (!running) {
            // Only a finished job replaces the record; a failed poll keeps
            // the status it was sent with and leaves the list as it was.
            sorted = status == 0 && before == 0 && query.Kind == 2 &&
                     query.ServerFile != previousFile && query.ServerFile == text && !text.empty();
            break;
        }
        if (hooks.progress) hooks.progress(text);
        if (hooks.wait) hooks.wait();
    }
    return sorted;
}

bool IsValidSearchDate(const std::string& text, int currentYear) {
    if (text.size() != 8) return false;
    for (char c : text)
        if (c < '0' || c > '9') return false;
    int year = std::stoi(text.substr(0, 4));
    if (year != 0 && (year > currentYear + 1 || year < 1800)) return false;
    int month = std::stoi(text.substr(4, 2));
    return month <= 12;
}

}  // namespace navigation

namespace TalqClientAPI_Header {
namespace {

bool OpenSearchResult(navigation::QueryApi& api, QueryRecord& query, const std::string& command) {
    std::string reply;
    if (!api.RemotePassThrough(command, reply, false)) return false;
    std::int32_t hits = navigation::Number(mVBUtil::GetField(",", reply, 1));
    if (hits == 0) return false;
    return OpenServerQuery(api, query, 2, mVBUtil::GetField(",", reply, 2), 0, 2000);
}

}  // namespace

bool SearchImageText(navigation::QueryApi& api, QueryRecord& query, std::int16_t mode,
                     const std::string& words, std::int16_t searchOperator) {
    ClearServerQuery(api, query);
    const std::string p = navigation::RequestPrefix(api);
    if (mode == 0)
        return OpenSearchResult(api, query,
                                "TALQSearchResultsTempFile," + p + "," + words + ",0,32000," +
                                    std::to_string(searchOperator));
    return OpenSearchResult(
        api, query,
        "TALQSearchImgText," + p + "," + words + "," + std::to_string(searchOperator) + ",32000");
}

bool SearchDocDate(navigation::QueryApi& api, QueryRecord& query, std::int16_t criterion,
                   const std::string& startDate, const std::string& endDate) {
    ClearServerQuery(api, query);
    return OpenSearchResult(api, query,
                            "TALQDTSearchDate," + navigation::RequestPrefix(api) + "," +
                                std::to_string(criterion) + "," + startDate + "," + endDate);
}

}  // namespace TalqClientAPI_Header
