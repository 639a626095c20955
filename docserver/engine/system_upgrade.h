#pragma once
// Brings a system's database up to what this server expects, at open:
// texts converted to UTF-8 (systems written before kept Windows-1252
// bytes), the full-text indexes of OCR text and notes with the triggers that
// keep them (for notes, that list what changed), the stored size of each
// page image, and annotation texts with their commas.

#include <cstdint>
#include <string>

namespace docserver {

class Statement;
class SystemDb;

bool UpgradeSystem(SystemDb& db, std::string& error);

// Row ids of the full-text indexes: project, page and which text of the
// page (0 the OCR text, an annotation kind, or 128 + a description's level).
constexpr std::int64_t TextRowId(std::int64_t projectId, std::int64_t seq, std::int64_t slot) {
    return (projectId << 40) | (seq << 8) | slot;
}
constexpr std::int64_t SeqOfTextRow(std::int64_t rowId) {
    return (rowId >> 8) & 0xffffffff;
}

// SQL condition on a row of pages of one project: its OCR text matches the
// index query ?2 and its row id lies between ?3 and ?4 (TextRowId bounds).
inline constexpr const char* kOcrIndexMatchSql =
    "seq IN (SELECT (rowid >> 8) & 4294967295 FROM ocr_index WHERE ocr_index MATCH ?2 "
    "AND rowid BETWEEN ?3 AND ?4)";
// Binds ?1 to ?4 of that condition: the project, the index query and its
// pages firstSeq to lastSeq.
Statement& BindOcrIndexMatch(Statement& s, std::int64_t projectId, const std::string& match,
                             std::int64_t firstSeq, std::int64_t lastSeq);

}  // namespace docserver
