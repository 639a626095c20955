// Rights over tags, annotations, redactions and images; the tag requests, a
// page's restriction and its annotation lists.
#include "foundation/fields.h"
#include "foundation/number_text.h"
#include "platform/wire_separators.h"
#include "server/project_rights.h"
#include "server/talq_client_api.h"
#include "server/talq_number.h"

namespace {

const std::string kRecordSep(1, wire::kRecordSep);
const std::string kSectionSep(1, wire::kSectionSep);

// Tag names travel inside ","-lists and "|"-palettes.
bool IsBadTagName(const std::string& name) {
    if (name.empty()) return true;
    for (unsigned char c : name)
        if (c == ',' || c == '|' || c < 32) return true;
    return false;
}

}  // namespace

bool TalqClientAPI::AreTagsRestricted() {
    return ValidateSession(15) &&
           projectrights::TagsRestricted(record_.UserProjectSecurity, record_.RestrictionBits);
}
bool TalqClientAPI::AreTagsOkToModify() {
    return ValidateSession(15) && projectrights::TagsOkToModify(record_.UserProjectSecurity);
}
bool TalqClientAPI::AreAnnotationsRestricted() {
    return ValidateSession(15) && projectrights::AnnotationsRestricted(record_.UserProjectSecurity,
                                                                       record_.RestrictionBits);
}
bool TalqClientAPI::AreAnnotationsOkToModify() {
    return ValidateSession(15) && projectrights::AnnotationsOkToModify(record_.UserProjectSecurity);
}
bool TalqClientAPI::AreRedactionsOkToModify() {
    return ValidateSession(15) && projectrights::RedactionsOkToModify(record_.UserProjectSecurity);
}
bool TalqClientAPI::AreRedactionsOkToView() {
    return ValidateSession(15) && projectrights::RedactionsOkToView(record_.UserProjectSecurity);
}
bool TalqClientAPI::AreImagesRestricted() {
    return ValidateSession(15) &&
           projectrights::ImagesRestricted(record_.UserProjectSecurity, record_.RestrictionBits);
}

namespace {

// A tag list reply: "NONE" is the empty list.
std::int32_t TakeTagList(const std::string& reply, std::string& list) {
    list = reply == "NONE" ? "" : reply;
    return mVBUtil::CountFields(",", list);
}

}  // namespace

std::int32_t TalqClientAPI::ReadTagList(const char* verb, std::string& list, bool* read) {
    list.clear();
    if (read != nullptr) *read = false;
    if (!ValidateSession(15)) return 0;
    if (AreTagsRestricted()) {
        lastError_ = "Tags Are Restricted";
        return 0;
    }
    std::string reply;
    if (!Request(verb + CommandPrefix(), reply)) return 0;
    if (read != nullptr) *read = true;
    return TakeTagList(reply, list);
}

std::int32_t TalqClientAPI::GetTagList(std::string& list) {
    return ReadTagList("TALQGetTagPoolList,", list);
}

std::int32_t TalqClientAPI::GetTagPalette(std::string& list) {
    return ReadTagList("TALQGetTagPaletteList,", list);
}

bool TalqClientAPI::ReadTagPalette(std::string& list) {
    bool read = false;
    ReadTagList("TALQGetTagPaletteList,", list, &read);
    return read;
}

bool TalqClientAPI::ReadTagPool(std::string& list) {
    bool read = false;
    ReadTagList("TALQGetTagPoolList,", list, &read);
    return read;
}

std::int32_t TalqClientAPI::GetImageTags(const std::string& key, std::string& list) {
    return ReadImageTags(key, list) ? mVBUtil::CountFields(",", list) : 0;
}

bool TalqClientAPI::ReadImageTags(const std::string& key, std::string& list) {
    list.clear();
    if (!ValidateSession(15)) return false;
    if (AreTagsRestricted()) {
        lastError_ = "Tags Are Restricted";
        return false;
    }
    if (key.empty()) {
        lastError_ = "Invalid Image Key";
        return false;
    }
    if (RefuseBreakers({&key}, "Image Key")) return false;
    std::string reply;
    if (!Request("TALQGetImageTags," + CommandPrefix() + "," + key, reply)) return false;
    TakeTagList(reply, list);
    return true;
}

namespace {

// The first failing check of a tag request, in the order they run.
const char* TagFault(bool refused, const char* refusal, const std::string& key,
                     const std::string& tag) {
    if (refused) return refusal;
    if (key.empty()) return "Invalid Image Key";
    if (tag.empty()) return "Invalid Tag Desc";
    return nullptr;
}

}  // namespace

bool TalqClientAPI::SwitchTag(const char* verb, const std::string& key, const std::string& tag) {
    if (!ValidateSession(15)) return false;
    if (const char* fault =
            TagFault(!AreTagsOkToModify(), "Insufficient Security Level", key, tag)) {
        lastError_ = fault;
        return false;
    }
    if (RefuseBreakers({&key}, "Image Key")) return false;
    std::string reply;
    return Request(verb + CommandPrefix() + "," + key + "," + tag, reply) && reply == "OK";
}

bool TalqClientAPI::TurnTagOn(const std::string& key, const std::string& tag) {
    return SwitchTag("TALQTurnTagOn,", key, tag);
}

bool TalqClientAPI::TurnTagOff(const std::string& key, const std::string& tag) {
    return SwitchTag("TALQTurnTagOff,", key, tag);
}

bool TalqClientAPI::IsTagOn(const std::string& key, const std::string& tag) {
    return AskTagged(key, key, tag, true);
}

bool TalqClientAPI::IsRangeTagged(const std::string& begKey, const std::string& endKey,
                                  const std::string& tag) {
    return AskTagged(begKey, endKey.empty() ? begKey : endKey, tag, false);
}

bool TalqClientAPI::AskTagged(const std::string& begKey, const std::string& endKey,
                              const std::string& tag, bool recordForm) {
    if (!ValidateSession(15)) return false;
    if (const char* fault = TagFault(AreTagsRestricted(), "Tags Are Restricted", begKey, tag)) {
        lastError_ = fault;
        return false;
    }
    if (RefuseBreakers({&begKey, &endKey}, "Image Key")) return false;
    const std::string& r = kRecordSep;
    std::string command =
        recordForm ? "TALQIsDocTagged" + r + userName_ + r + userPswrd_ + r + projectName_ + r +
                         tag + r + begKey + r + endKey
                   : "TALQIsDocTagged," + CommandPrefix() + "," + tag + "," + begKey + "," + endKey;
    std::string reply;
    return Request(command, reply) && reply == "1";
}

bool TalqClientAPI::TagEditAllowed(bool nameRefused) {
    if (!ValidateSession(15)) return false;
    if (nameRefused) {
        lastError_ = "Invalid Paramater";
        return false;
    }
    if (AreTagsRestricted()) {
        lastError_ = "Tags Are Restricted";
        return false;
    }
    return true;
}

bool TalqClientAPI::NewTagDesc(const std::string& description) {
    if (!TagEditAllowed(IsBadTagName(description))) return false;
    std::string reply;
    return Request("TALQAddTag," + CommandPrefix() + "," + description, reply) && reply == "1";
}

bool TalqClientAPI::ModifyTagDesc(const std::string& oldDescription,
                                  const std::string& newDescription) {
    if (!TagEditAllowed(IsBadTagName(newDescription))) return false;
    std::string reply;
    return Request("TALQUpdateTag," + CommandPrefix() + "," + oldDescription + "," + newDescription,
                   reply) &&
           reply == "1";
}

bool TalqClientAPI::DeleteTagDesc(const std::string& description) {
    if (!TagEditAllowed(description.empty())) return false;
    std::string reply;
    return Request("TALQDelTag," + CommandPrefix() + "," + description, reply);
}

bool TalqClientAPI::PutTagPalette(const std::string& list) {
    if (!ValidateSession(15)) return false;
    if (AreTagsRestricted()) {
        lastError_ = "Tags Are Restricted";
        return false;
    }
    std::string palette = list;
    for (char& c : palette)
        if (c == ',') c = '|';
    std::string reply;
    return Request("TALQPutPaletteList," + CommandPrefix() + "," + palette, reply);
}

bool TalqClientAPI::IsPageRestricted(const std::string& key) {
    if (!ValidateSession(15)) return false;
    if (RefuseBreakers({&key}, "Image Key")) return false;
    std::string reply;
    return Request("TALQIsPageRestricted," + CommandPrefix() + "," + key, reply) &&
           talqnumber::Long(reply) != 0;
}

bool TalqClientAPI::GetAllAnnotations(const std::string& key, std::string& redactions,
                                      std::string& highlights, std::string& stickies,
                                      std::string& notes, std::string& clips,
                                      std::string& markups) {
    AnnotationTexts lists;
    const bool ok = GetAllAnnotations(key, lists);
    redactions = std::move(lists[kRedaction]);
    highlights = std::move(lists[kHighlight]);
    stickies = std::move(lists[kStickyNote]);
    notes = std::move(lists[kTextNote]);
    clips = std::move(lists[kClip]);
    markups = std::move(lists[kMarkup]);
    return ok;
}

bool TalqClientAPI::GetAllAnnotations(const std::string& key, AnnotationTexts& lists) {
    lists = {};
    if (!ValidateSession(15)) return false;
    if (RefuseBreakers({&key}, "Image Key")) return false;
    std::string reply;
    if (!Request("TALQGetAnnotations," + CommandPrefix() + "," + key, reply)) return false;
    int position = 1;
    std::int64_t kind = 1;
    while (position != -1) {
        std::string section = mVBUtil::NextToken(kSectionSep, reply, position);
        // Places of bits that name no kind are not ours.
        if (IsAnnotationKind(kind)) lists[static_cast<AnnotationKind>(kind)] = std::move(section);
        if (kind < (std::int64_t{1} << 40)) kind *= 2;
    }
    return true;
}

bool TalqClientAPI::PutAnnotationList(const std::string& key, std::int16_t kind,
                                      const std::string& list,
                                      std::optional<std::uint64_t> lockEpoch) {
    if (!ValidateSession(15)) return false;
    if (RefuseBreakers({&key}, "Image Key")) return false;
    if (lockEpoch && (*lockEpoch != connectionEpoch_ || !HoldsPageLock(key))) {
        lastError_ = "Page Lock Lost";
        return false;
    }
    std::string reply;
    sendOnlyInEpoch_ = lockEpoch;
    const bool sent = Request("TALQPutAnnotations," + CommandPrefix() + "," + key + "," +
                                  std::to_string(kind) + "," + list,
                              reply);
    sendOnlyInEpoch_.reset();
    if (!sent) return false;
    if (mVBUtil::Val(reply) == 1.0) return true;
    lastError_ = reply.empty() ? "Error Saving Annotations" : reply;
    ShowError();
    return false;
}
