#include "written_texts.h"

#include <utility>
#include <vector>

#include "engine_text.h"
#include "platform/annotation_kinds.h"
#include "platform/wire_separators.h"
#include "system_db.h"
#include "transaction.h"

namespace docserver {
namespace {

constexpr std::size_t kStampToken = 11, kTextToken = 12;

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

bool RefreshNoteIndex(SystemDb& db, std::string* why) {
    std::string unused;
    std::string& reason = why != nullptr ? *why : unused;
    {
        Statement any(db, "SELECT 1 FROM note_index_changes LIMIT 1");
        const bool pending = any.Step();
        // A failed look is no proof that the index is up to date.
        if (any.Failed()) {
            reason = any.Error();
            return false;
        }
        if (!pending) return true;
    }
    Transaction transaction(db);
    // The list a row id names now, or none when it went.
    std::vector<std::pair<std::int64_t, std::string>> changed;
    {
        Statement lists(db,
                        "SELECT c.row_id, a.list_text FROM note_index_changes c "
                        "LEFT JOIN annotations a ON a.project_id = c.row_id >> 40 AND "
                        "a.seq = (c.row_id >> 8) & 4294967295 AND a.kind = c.row_id & 255");
        while (lists.Step()) changed.emplace_back(lists.Int(0), lists.Text(1));
        // The changes not read would be dropped with the rest.
        if (lists.Failed()) {
            reason = lists.Error();
            return false;
        }
    }
    Statement drop(db, "DELETE FROM note_index WHERE rowid = ?");
    Statement add(db, "INSERT INTO note_index(rowid, body) VALUES (?, ?)");
    for (const auto& [rowId, list] : changed) {
        const std::string written = WrittenTexts(rowId & 255, list);
        if (!drop.Reset().Bind(1, rowId).Run() ||
            (!written.empty() && !add.Reset().Bind(1, rowId).Bind(2, written).Run())) {
            reason = WhyFailed(drop, add);
            return false;
        }
    }
    Statement done(db, "DELETE FROM note_index_changes");
    if (done.Run() && transaction.Commit()) return true;
    reason = WhyFailed(done, transaction);
    return false;
}

}  // namespace docserver
