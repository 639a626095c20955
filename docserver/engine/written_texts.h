#pragma once
// The texts a user wrote into a page's annotation list: all the notes search
// finds there. Sticky and text notes give their text, a redaction its
// label; places, colours, fonts, stamps, clip paths and pen strokes are no
// text of the user's.

#include <cstdint>
#include <string>

struct sqlite3;

namespace docserver {

// The written texts of a list of the kind as stored, joined by line breaks.
std::string WrittenTexts(std::int64_t kind, const std::string& list);

// Makes talq_written_texts(kind, list) known to a connection: the note
// index's triggers call it.
bool RegisterWrittenTexts(sqlite3* db);

}  // namespace docserver
