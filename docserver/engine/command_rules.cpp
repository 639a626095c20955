#include "command_rules.h"

#include <array>

namespace docserver {
namespace {

constexpr Gate kOpen = Gate::Open;
constexpr Gate kCred = Gate::Credentials;
constexpr Gate kLogin = Gate::Login;
constexpr Gate kProject = Gate::Project;
constexpr PageUse kRead = PageUse::Read;
constexpr PageUse kWrite = PageUse::Write;

// Every command the server answers. Credentials commands carry the user,
// password and project as their first three fields; the user must be the
// one the connection logged in as.
constexpr std::array kRules{
    // The handshake; the login commands check the password they carry.
    CommandRule{"TALQGetSystemFlags", false, kOpen, Need::Nothing, kRead},
    CommandRule{"TALQGetExtSystemFlags", false, kOpen, Need::Nothing, kRead},
    CommandRule{"TALQGetVersion", false, kOpen, Need::Nothing, kRead},
    CommandRule{"TALQRequiredLogin", false, kOpen, Need::Nothing, kRead},
    CommandRule{"TALQChangePassword", false, kOpen, Need::Nothing, kRead},
    CommandRule{"TALQGetTalqPrjList", false, kOpen, Need::Nothing, kRead},
    CommandRule{"TALQGetProjectInfo", false, kOpen, Need::Nothing, kRead},
    CommandRule{"TALQCloseProject", false, kLogin, Need::Nothing, kRead},
    CommandRule{"IDEX_IsSupported", false, kLogin, Need::Nothing, kRead},

    // Navigation.
    CommandRule{"TALQFindKey", false, kCred, Need::Nothing, kRead},
    CommandRule{"TALQNextKey", false, kCred, Need::Nothing, kRead},
    CommandRule{"TALQPrevKey", false, kCred, Need::Nothing, kRead},
    CommandRule{"TALQGetScroll", false, kCred, Need::Nothing, kRead},
    CommandRule{"TALQGetNextScroll", false, kCred, Need::Nothing, kRead},
    CommandRule{"TALQGetPrevScroll", false, kCred, Need::Nothing, kRead},
    CommandRule{"TALQGetBoundaryInfo", false, kCred, Need::Nothing, kRead},

    // Pages. A rotation needs no right, only a page that may change; a
    // boundary level needs EditBoundaries, which the command checks itself.
    CommandRule{"TALQGetPageInfo", false, kCred, Need::Nothing, kRead},
    CommandRule{"TALQPutPageInfo", false, kCred, Need::Nothing, kWrite},
    CommandRule{"TALQGetWordList", false, kCred, Need::SeeImages, kRead},
    CommandRule{"TALQGetPageWBuf", false, kProject, Need::SeeImages, kRead},
    CommandRule{"TALQGetPageOcr", false, kProject, Need::SeeImages, kRead},
    // A lock is taken to change the page, as a rotation; a lock is always
    // given back, also on a page restricted since.
    CommandRule{"TALQSetPageLock", false, kCred, Need::Nothing, kWrite},
    CommandRule{"TALQRemovePageLock", false, kCred, Need::Nothing, kRead},
    CommandRule{"TALQDTGetDate", false, kCred, Need::Nothing, kRead},
    CommandRule{"TALQDTPutDate", false, kCred, Need::EditBoundaries, kWrite},
    CommandRule{"TALQGetFolderDescription", false, kCred, Need::Nothing, kRead},
    CommandRule{"TALQPutFolderDescription", false, kCred, Need::EditBoundaries, kRead},
    CommandRule{"TALQIsPageRestricted", false, kCred, Need::Nothing, kRead},

    // Images and renderings.
    CommandRule{"TALQSendClientImage", false, kCred, Need::SeeImages, kRead},
    CommandRule{"TALQSendTextImage", false, kLogin, Need::Nothing, kRead},
    CommandRule{"TALQSendStellantImage", false, kLogin, Need::Nothing, kRead},

    // Tags and annotations.
    CommandRule{"TALQGetTagPoolList", false, kCred, Need::SeeTags, kRead},
    CommandRule{"TALQGetTagPaletteList", false, kCred, Need::SeeTags, kRead},
    CommandRule{"TALQGetImageTags", false, kCred, Need::SeeTags, kRead},
    CommandRule{"TALQIsDocTagged", true, kCred, Need::SeeTags, kRead},
    CommandRule{"TALQTurnTagOn", false, kCred, Need::SwitchTags, kWrite},
    CommandRule{"TALQTurnTagOff", false, kCred, Need::SwitchTags, kWrite},
    CommandRule{"TALQAddTag", false, kCred, Need::EditTagPool, kRead},
    CommandRule{"TALQUpdateTag", false, kCred, Need::EditTagPool, kRead},
    CommandRule{"TALQDelTag", false, kCred, Need::EditTagPool, kRead},
    // Whoever sees the tags arranges the palette.
    CommandRule{"TALQPutPaletteList", false, kCred, Need::SeeTags, kRead},
    CommandRule{"TALQGetAnnotations", false, kCred, Need::SeeAnnotations, kRead},
    CommandRule{"TALQPutAnnotations", false, kCred, Need::EditAnnotations, kWrite},

    // Server files and uploads; the files are checked against the user.
    CommandRule{"TALQResolveFile", false, kLogin, Need::Nothing, kRead},
    CommandRule{"TALQDoesFileExist", false, kLogin, Need::Nothing, kRead},
    CommandRule{"TALQReadFromFile", false, kLogin, Need::Nothing, kRead},
    CommandRule{"TALQDeleteFile", false, kLogin, Need::Nothing, kRead},
    // Loading pages is no viewer action: restricted pages are loaded too.
    CommandRule{"TALQStoreImageFile", false, kCred, Need::StorePages, kRead},
    CommandRule{"TALQImportLine", false, kCred, Need::StorePages, kRead},

    // Batch printing.
    CommandRule{"TALQGetBatchDirs", false, kCred, Need::Nothing, kRead},
    CommandRule{"TALQValidateBatchPrinter", false, kLogin, Need::Nothing, kRead},
    CommandRule{"TALQGetNextBatch", false, kLogin, Need::Nothing, kRead},
    CommandRule{"TALQWriteFile\x18", true, kLogin, Need::Nothing, kRead},
    CommandRule{"TALQCloseOutBatchFile", false, kLogin, Need::Nothing, kRead},
    CommandRule{"TALQUpdtPrintLog", false, kProject, Need::Nothing, kRead},

    // Concept search reads the pages' text.
    CommandRule{"IDEX_StartSearch", true, kProject, Need::SeeImages, kRead},
    CommandRule{"IDEX_QuerySearch", false, kProject, Need::SeeImages, kRead},

    // Query lists and searches.
    CommandRule{"TALQQueryScroll", true, kCred, Need::Nothing, kRead},
    CommandRule{"TALQCreateTempFile", false, kCred, Need::Nothing, kRead},
    CommandRule{"TALQWriteTempFile", false, kCred, Need::Nothing, kRead},
    CommandRule{"TALQStartQuerySort", false, kProject, Need::Nothing, kRead},
    CommandRule{"BackGroundStatus", false, kProject, Need::Nothing, kRead},
    CommandRule{"TALQConvertQueryToIssue", false, kCred, Need::SwitchTags, kRead},
    CommandRule{"TALQSearchResultsTempFile", false, kCred, Need::SeeAnnotations, kRead},
    CommandRule{"TALQSearchImgText", false, kCred, Need::SeeImages, kRead},
    CommandRule{"TALQDTSearchDate", false, kCred, Need::Nothing, kRead},
};

bool Any(std::int64_t security, std::int64_t bits) {
    return (security & bits) != 0;
}

}  // namespace

std::span<const CommandRule> CommandRules() {
    return kRules;
}

const CommandRule* FindRule(std::string_view verb) {
    for (const CommandRule& rule : kRules) {
        if (rule.prefix ? verb.substr(0, rule.verb.size()) == rule.verb : verb == rule.verb)
            return &rule;
    }
    return nullptr;
}

const char* Refusal(Need need, std::int64_t security, std::int64_t restriction) {
    constexpr const char* kInsufficient = "ERROR: Insufficient Security Level";
    switch (need) {
        case Need::Nothing:
            return "";
        case Need::SeeTags:
            return (restriction & kTagsRestricted) != 0 &&
                           !Any(security, kRightEverything | kRightTags | kRightSeeTags)
                       ? "ERROR: Tags Are Restricted"
                       : "";
        case Need::SwitchTags:
            return Any(security, kRightEverything | kRightTags) ? "" : kInsufficient;
        case Need::EditTagPool:
            // The tag pool editor offers its collection buttons for these bits.
            return Any(security, kRightEverything | 0x08) ? "" : kInsufficient;
        case Need::SeeAnnotations:
            return (restriction & kAnnotationsRestricted) != 0 &&
                           !Any(security,
                                kRightEverything | kRightAnnotations | kRightSeeAnnotations)
                       ? "ERROR: Annotations Are Restricted"
                       : "";
        case Need::EditAnnotations:
            return MayChangeAnnotations(security) || MayChangeRedactions(security) ? ""
                                                                                   : kInsufficient;
        case Need::EditBoundaries:
            return Any(security, kRightEverything | kRightBoundaries) ? "" : kInsufficient;
        case Need::SeeImages:
            return ImagesRestricted(security, restriction) ? "ERROR: Images Are Restricted" : "";
        case Need::StorePages:
            return Any(security, kRightEverything) ? "" : kInsufficient;
    }
    return kInsufficient;
}

}  // namespace docserver
