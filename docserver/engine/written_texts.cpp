#include "written_texts.h"

#include <sqlite3.h>

#include "engine_text.h"
#include "platform/annotation_kinds.h"
#include "platform/wire_separators.h"

namespace docserver {
namespace {

constexpr std::size_t kStampToken = 11, kTextToken = 12;

void WrittenTextsFunction(sqlite3_context* context, int, sqlite3_value** values) {
    const unsigned char* text = sqlite3_value_text(values[1]);
    std::string list(text != nullptr ? reinterpret_cast<const char*>(text) : "",
                     static_cast<std::size_t>(sqlite3_value_bytes(values[1])));
    std::string out = WrittenTexts(sqlite3_value_int64(values[0]), list);
    sqlite3_result_text(context, out.data(), static_cast<int>(out.size()), SQLITE_TRANSIENT);
}

}  // namespace

std::string WrittenTexts(std::int64_t kind, const std::string& list) {
    if (kind != kStickyNote && kind != kRedaction && kind != kTextNote) return "";
    std::string out;
    for (const std::string& record : Split(list, wire::kRecordSep)) {
        std::vector<std::string> tokens = Split(record, wire::kFieldSep);
        std::string written;
        if (kind == kRedaction && tokens.size() > kStampToken)
            written = tokens[kStampToken].substr(0, tokens[kStampToken].find(wire::kStampSep));
        else if (kind != kRedaction && tokens.size() > kTextToken)
            written = tokens[kTextToken];
        if (written.empty()) continue;
        if (!out.empty()) out += '\n';
        out += written;
    }
    return out;
}

bool RegisterWrittenTexts(sqlite3* db) {
    return sqlite3_create_function(db, "talq_written_texts", 2,
                                   SQLITE_UTF8 | SQLITE_DETERMINISTIC | SQLITE_INNOCUOUS, nullptr,
                                   WrittenTextsFunction, nullptr, nullptr) == SQLITE_OK;
}

}  // namespace docserver
