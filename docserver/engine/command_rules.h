#pragma once
// What every command needs before it runs: who must be known, which right
// in the project, and what the page it names must allow. Dispatch looks the
// verb up here first; a verb without a rule is unknown.

#include <cstdint>
#include <span>
#include <string_view>

namespace docserver {

// Who the command acts for.
enum class Gate {
    Open,         // the handshake: nothing is known yet
    Credentials,  // user and password travel in the command and are checked
    Login,        // the connection's login; a command naming a user must name it
    Project,      // the connection's login and its selected project
};

// The right in the project, from the user's project security bits and the
// project's restriction bits, as the client decides it.
enum class Need {
    Nothing,
    SeeTags,          // tags not restricted for the user
    SwitchTags,       // turn tags on and off
    EditTagPool,      // create, rename and delete tag collections
    SeeAnnotations,   // annotations not restricted for the user
    EditAnnotations,  // annotations or redactions; the kind decides which
    EditBoundaries,   // boundary levels, document dates, unit descriptions
    SeeImages,        // images not restricted for the user
    StorePages,       // replace page images and full text
};

// What the page a command names must allow, beyond lying in the user's
// navigation range.
enum class PageUse {
    Read,   // a restricted page is shown, read-only
    Write,  // a restricted page is never changed
};

struct CommandRule {
    std::string_view verb;
    bool prefix;  // the verb begins the command's first field
    Gate gate;
    Need need;
    PageUse page;
};

// The rule of a command's verb (its first field); nullptr when unknown.
const CommandRule* FindRule(std::string_view verb);
// Every rule, in the table's order.
std::span<const CommandRule> CommandRules();

// Project security bits.
inline constexpr std::int64_t kRightEverything = 0x3;
inline constexpr std::int64_t kRightRedactions = 0x4;
inline constexpr std::int64_t kRightTags = 0x10;
inline constexpr std::int64_t kRightAnnotations = 0x20;
inline constexpr std::int64_t kRightBoundaries = 0x40;
inline constexpr std::int64_t kRightViewRedactions = 0x80;
inline constexpr std::int64_t kRightSeeImages = 0x8000;
inline constexpr std::int64_t kRightSeeTags = 0x10000;
inline constexpr std::int64_t kRightSeeAnnotations = 0x20000;
// Project restriction bits.
inline constexpr std::int64_t kImagesRestricted = 0x1;
inline constexpr std::int64_t kTagsRestricted = 0x2;
inline constexpr std::int64_t kAnnotationsRestricted = 0x4;

// Whether the rights grant the need; "" when they do, else the refusal.
const char* Refusal(Need need, std::int64_t security, std::int64_t restriction);

inline bool MayChangeAnnotations(std::int64_t security) {
    return (security & (kRightEverything | kRightAnnotations)) != 0;
}
inline bool MayChangeRedactions(std::int64_t security) {
    return (security & (kRightEverything | kRightRedactions)) != 0;
}
// Without this the user sees redactions opaque: page images come with them
// burned in and originals of redacted pages are withheld.
inline constexpr std::int64_t kRightsSeeThroughRedactions =
    kRightEverything | kRightRedactions | kRightViewRedactions;
inline bool MaySeeThroughRedactions(std::int64_t security) {
    return (security & kRightsSeeThroughRedactions) != 0;
}
inline bool ImagesRestricted(std::int64_t security, std::int64_t restriction) {
    return (restriction & kImagesRestricted) != 0 &&
           (security & (kRightEverything | kRightSeeImages)) == 0;
}

}  // namespace docserver
