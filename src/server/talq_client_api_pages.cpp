// What the viewer fetches for one page: information, image bytes, words, OCR
// text, rendered pages, the lock, rotation and date.
#include <algorithm>
#include <cmath>

#include "foundation/fields.h"
#include "foundation/number_text.h"
#include "foundation/text_match.h"
#include "platform/clock.h"
#include "platform/prompts.h"
#include "platform/wire_separators.h"
#include "server/request_frame.h"
#include "server/talq_client_api.h"
#include "server/talq_number.h"

namespace {

const std::string kRecordSep(1, wire::kRecordSep);
const std::string kListSep(1, wire::kListSep);
const std::string kItemSep = "|";
constexpr std::size_t kScaleHead = 8;
// Past the dead-peer time the server names: it looks for gone peers a few
// times a second, and their probes go by the second.
constexpr std::int64_t kDeadPeerSlackMs = 5000;

}  // namespace

float TalqClientAPI::ScaleFactor() const {
    return scaleFactor_ == 0 ? 1.0F : static_cast<float>(scaleFactor_);
}

bool TalqClientAPI::GetImagePageInfo(const std::string& key, std::int32_t& first,
                                     std::int32_t& second, std::int32_t& third,
                                     std::string& infoValues, std::string& text) {
    infoValues.clear();
    first = 0;
    second = 0;
    placeholder_ = false;
    if (!ValidateSession(15)) return false;
    if (key.empty()) {
        lastError_ = "Invalid Image Key";
        return false;
    }
    std::string found;
    if (FindKey(key, found) != 1) return false;
    std::string reply;
    // A page whose information did not come cannot be shown as unrestricted.
    if (!Request("TALQGetPageInfo," + CommandPrefix() + "," + key + ",315", reply)) return false;
    first = talqnumber::Long(mVBUtil::GetField(kRecordSep, reply, 1));
    second = talqnumber::Long(mVBUtil::GetField(kRecordSep, reply, 2));
    third = talqnumber::Long(mVBUtil::GetField(kRecordSep, reply, 5));
    text = mVBUtil::GetField(kRecordSep, reply, 6);
    std::string values = mVBUtil::GetField(kRecordSep, reply, 4);
    std::string fields = InfoFields();
    // One walk over both lists: a project may hold thousands of info fields.
    int valueAt = 1, fieldAt = 1;
    mVBUtil::FieldBuilder built(kListSep[0]);
    for (int i = 1; i <= InfoNbr(); ++i) {
        std::string value = mVBUtil::NextToken(",", values, valueAt);
        std::string field = mVBUtil::NextToken(kItemSep, fields, fieldAt);
        if (!value.empty() && talqnumber::Long(field) > 0) built.Set(i, value);
    }
    infoValues = built.Text();
    if (mVBUtil::Val(mVBUtil::GetField(kRecordSep, reply, 9)) == 99) placeholder_ = true;
    return true;
}

std::string TalqClientAPI::GetImage(const std::string& key, std::int16_t quality) {
    return GetPageImage(key, quality).bytes;
}

PageImage TalqClientAPI::GetPageImage(const std::string& key, std::int16_t quality) {
    PageImage page;
    page.placeholder = placeholder_;
    if (!ValidateSession(15)) return page;
    if (key.empty()) {
        lastError_ = "Invalid Image Key";
        return page;
    }
    std::string found;
    if (FindKey(key, found) != 1) return page;
    const char* q = quality == 1 ? "100" : quality == 2 ? "150" : "0";
    std::string reply;
    if (!Request("TALQSendClientImage," + CommandPrefix() + "," + key + "," + q, reply)) {
        // The server's refusal ("No Image for Page") is why, and stays with it.
        lastError_ = WithServerReason("Could Not Retrieve Image", lastError_);
        return page;
    }
    double scale = mVBUtil::Val(mVBUtil::TrimAtNull(reply.substr(0, kScaleHead)));
    // A scale that cannot size a page would make it vanish or overflow.
    scaleFactor_ = (std::isfinite(scale) && scale > 0) ? scale : 1.0;
    page.scale = ScaleFactor();
    if (reply.size() > kScaleHead) page.bytes = reply.substr(kScaleHead);
    return page;
}

bool TalqClientAPI::GetWordList(const std::string& key, std::int32_t& first, std::int32_t& second,
                                std::int32_t& third, std::int32_t& fourth, std::string& words) {
    words.clear();
    if (!ValidateSession(15)) return false;
    if (RefuseBreakers({&key}, "Image Key")) return false;
    std::string reply;
    if (!Request("TALQGetWordList," + CommandPrefix() + "," + key, reply)) return false;
    first = talqnumber::Long(mVBUtil::GetField(",", reply, 1));
    second = talqnumber::Long(mVBUtil::GetField(",", reply, 2));
    third = talqnumber::Long(mVBUtil::GetField(",", reply, 3));
    fourth = talqnumber::Long(mVBUtil::GetField(",", reply, 4));
    words = mVBUtil::GetFieldRest(",", reply, 5);
    return true;
}

bool TalqClientAPI::GetWordBuf(const std::string& key, const std::string& first,
                               const std::string& second, std::string& buffer) {
    buffer.clear();
    if (!ValidateSession(15)) return false;
    if (RefuseBreakers({&key}, "Image Key") || RefuseBreakers({&first, &second}, "Word Range"))
        return false;
    std::string reply;
    if (!Request("TALQGetPageWBuf,,,," + key + "," + first + "," + second, reply)) return false;
    if (reply != "NONE") buffer = reply;
    return true;
}

bool TalqClientAPI::GetPageOCR(const std::string& key, std::string& text) {
    text.clear();
    if (!ValidateSession(15)) return false;
    if (RefuseBreakers({&key}, "Image Key")) return false;
    std::string reply;
    if (!Request("TALQGetPageOcr,,,," + key, reply)) return false;
    if (reply != "NONE") text = reply;
    return !text.empty();
}

std::string TalqClientAPI::GetTextImage(const std::string& text) {
    if (!ValidateSession(15)) return "";
    std::string reply;
    if (!Request("TALQSendTextImage," + text, reply)) {
        lastError_ = WithServerReason("Could Not Retrieve Image", lastError_);
        return "";
    }
    scaleFactor_ = 1.0;
    return reply;
}

std::string TalqClientAPI::GetStellantImage(const std::string& file, std::int32_t page,
                                            const std::string& mode) {
    if (!ValidateSession(15)) return "";
    if (file.empty()) {
        lastError_ = "Invalid Original File";
        return "";
    }
    if (RefuseBreakers({&mode}, "Mode")) return "";
    std::string reply;
    if (!Request("TALQSendStellantImage," + file + "," + std::to_string(page) + "," + mode,
                 reply)) {
        lastError_ = "Could Not Retrieve Stellant Image";
        return "";
    }
    scaleFactor_ = 1.0;
    return reply;
}

bool TalqClientAPI::LockHeldBy(const std::string& refusal, const std::string& user) {
    const std::string words = refusal.rfind("ERROR", 0) == 0 ? ServerReason(refusal) : refusal;
    const std::string own = "Page Locked by " + user;
    if (user.empty() || mVBUtil::UCase(words.substr(0, own.size())) != mVBUtil::UCase(own))
        return false;
    const int deadPeer = RequestFrame::DeadPeerSecondsOf(words);
    return words.size() == own.size() ||
           (deadPeer > 0 &&
            words.substr(own.size()) == RequestFrame::LockedOnAnotherConnection(deadPeer));
}

bool TalqClientAPI::LockRefused(const std::string& error) {
    const std::string upper = mVBUtil::UCase(error);
    return upper.rfind("ERROR: PAGE LOCKED BY ", 0) == 0 ||
           upper == "ERROR: INSUFFICIENT SECURITY LEVEL";
}

void TalqClientAPI::NoteEarlierHolder(const std::string& key, const std::string& refusal) {
    const int deadPeer = RequestFrame::DeadPeerSecondsOf(refusal);
    if (deadPeer <= 0 || !LockHeldBy(refusal, userName_)) return;
    earlierHolderUntilMs_.try_emplace(
        key, platform::CurrentClock().MonotonicMs() + 1000LL * deadPeer + kDeadPeerSlackMs);
}

bool TalqClientAPI::SetPageLock(const std::string& key) {
    if (!ValidateSession(15)) return false;
    if (RefuseBreakers({&key}, "Image Key")) return false;
    std::string reply;
    const bool locked = Request("TALQSetPageLock," + CommandPrefix() + "," + key, reply);
    if (locked) {
        // Had: a later refusal naming this user is a new story.
        earlierHolderUntilMs_.erase(key);
        if (std::find(lockedKeys_.begin(), lockedKeys_.end(), key) == lockedKeys_.end())
            lockedKeys_.push_back(key);
        return true;
    }
    if (!LockRefused(lastError_)) return false;
    // Taken meanwhile: this session no longer holds it, whatever it held.
    lockedKeys_.erase(std::remove(lockedKeys_.begin(), lockedKeys_.end(), key), lockedKeys_.end());
    // The server frees a lost connection's lock once it finds its peer gone;
    // until then it names this user on another connection, which may as
    // well be the user's viewer elsewhere: only the time it names tells them
    // apart, counted from the first such refusal. The lost connection may be
    // this session's, or that of the viewer this login came back from.
    if (LockHeldBy(lastError_, userName_)) {
        NoteEarlierHolder(key, lastError_);
    } else if (const auto held = earlierHolderUntilMs_.find(key);
               held != earlierHolderUntilMs_.end()) {
        // Another user took it: the lost connection's lock is gone.
        held->second = std::min(held->second, platform::CurrentClock().MonotonicMs());
    }
    return false;
}

std::int32_t TalqClientAPI::EarlierConnectionFreesIn(const std::string& key) const {
    const auto until = earlierHolderUntilMs_.find(key);
    if (until == earlierHolderUntilMs_.end()) return 0;
    const std::int64_t left = until->second - platform::CurrentClock().MonotonicMs();
    return left > 0 ? static_cast<std::int32_t>((left + 999) / 1000) : 0;
}

bool TalqClientAPI::HoldsPageLock(const std::string& key) const {
    return userValid_ == 1 && projectValid_ == 1 &&
           std::find(lockedKeys_.begin(), lockedKeys_.end(), key) != lockedKeys_.end();
}

void TalqClientAPI::RemovePageLock(const std::string& key) {
    if (!ValidateSession(15)) return;
    if (RefuseBreakers({&key}, "Image Key")) return;
    lockedKeys_.erase(std::remove(lockedKeys_.begin(), lockedKeys_.end(), key), lockedKeys_.end());
    std::string reply;
    Request("TALQRemovePageLock," + CommandPrefix() + "," + key, reply);
}

bool TalqClientAPI::SetImageRotation(const std::string& key, std::int32_t rotation) {
    if (!ValidateSession(15)) return false;
    if (RefuseBreakers({&key}, "Image Key")) return false;
    std::string reply;
    if (Request("TALQPutPageInfo," + CommandPrefix() + "," + key + ",," + std::to_string(rotation),
                reply)) {
        return true;
    }
    // The server's refusal ("Page Locked by ...") is why, and stays with it.
    lastError_ = WithServerReason("Unable to set Rotate Flag", lastError_);
    if (displayErrorMsgs_) {
        platform::Beep();
        ShowError();
    }
    return false;
}

std::string TalqClientAPI::GetPageDate(const std::string& key) {
    std::string date;
    ReadPageDate(key, date);
    return date;
}

bool TalqClientAPI::ReadPageDate(const std::string& key, std::string& date) {
    date.clear();
    if (!ValidateSession(15)) return false;
    if (key.empty()) {
        lastError_ = "Invalid Image Key";
        return false;
    }
    if (RefuseBreakers({&key}, "Image Key")) return false;
    std::string reply;
    if (!Request("TALQDTGetDate," + CommandPrefix() + "," + key, reply)) return false;
    if (reply != "NONE") date = reply;
    return true;
}

bool TalqClientAPI::PutPageDate(const std::string& key, const std::string& date) {
    if (!ValidateSession(15)) return false;
    if (key.empty()) {
        lastError_ = "Invalid Image Key";
        return false;
    }
    if (RefuseBreakers({&key}, "Image Key") || RefuseBreakers({&date}, "Date")) return false;
    std::string reply;
    if (Request("TALQDTPutDate," + CommandPrefix() + "," + key + "," + date, reply)) return true;
    // Without a reply the transport's own text says what went wrong.
    if (!reply.empty()) lastError_ = reply;
    return false;
}
