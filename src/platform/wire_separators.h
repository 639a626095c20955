#pragma once
// The separators of the request protocol's texts, shared by the client, its
// dialogs and the document server.

namespace wire {

inline constexpr char kStampSep = 22;    // between the label, user and day of a stamp

inline constexpr char kRecordSep = 24;   // between the fields of a record
inline constexpr char kSectionSep = 25;  // between the sections of a reply
inline constexpr char kCommaSub = 29;    // stands for a comma inside a field
inline constexpr char kListSep = 30;     // between the entries of a list
inline constexpr char kFieldSep = 31;    // between the fields of a list entry

}  // namespace wire
