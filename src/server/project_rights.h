#pragma once
// What the user's project security grants, against the project's
// restriction bits. The session object wraps these with its session check.

#include <cstdint>

namespace projectrights {

inline bool Any(std::int32_t bits, std::int32_t mask) {
    return (bits & mask) != 0;
}

inline bool TagsRestricted(std::int32_t security, std::int32_t restriction) {
    return Any(restriction, 0x2) && !Any(security, 0x10013);
}
inline bool TagsOkToModify(std::int32_t security) {
    return Any(security, 0x13);
}
inline bool AnnotationsRestricted(std::int32_t security, std::int32_t restriction) {
    return Any(restriction, 0x4) && !Any(security, 0x20023);
}
inline bool AnnotationsOkToModify(std::int32_t security) {
    return Any(security, 0x23);
}
inline bool RedactionsOkToModify(std::int32_t security) {
    return Any(security, 0x07);
}
inline bool RedactionsOkToView(std::int32_t security) {
    return Any(security, 0x87);
}
inline bool ImagesRestricted(std::int32_t security, std::int32_t restriction) {
    return Any(restriction, 0x1) && !Any(security, 0x8003);
}

}  // namespace projectrights
