#pragma once
// The texts a user wrote into a page's annotation list: all the notes search
// finds there. Sticky and text notes give their text, a redaction its
// label; places, colours, fonts, stamps, clip paths and pen strokes are no
// text of the user's.

#include <cstdint>
#include <string>

namespace docserver {

class SystemDb;

// The written texts of a list of the kind as stored, joined by line breaks.
std::string WrittenTexts(std::int64_t kind, const std::string& list);

// Indexes the written texts of the annotation lists the triggers listed as
// changed (note_index_changes), whoever changed them; false when it could
// not, with why when asked. A locked database throws DatabaseBusy.
bool RefreshNoteIndex(SystemDb& db, std::string* why = nullptr);

}  // namespace docserver
