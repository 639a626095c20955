// The page lock of the page on display, also across a new connection.

#include <QApplication>
#include <QTimer>

#include "foundation/text_match.h"
#include "platform/clock.h"
#include "platform/prompts.h"
#include "server/request_frame.h"
#include "server/talq_client_api.h"
#include "viewer/widgets/frm_view.h"

namespace viewer {
namespace {

// How soon a check put off by a request or a dialog is tried again.
constexpr int kPageLockRetryMs = 50;
// A lock the session's lost connection holds is asked for this often (by
// the platform clock, looked at every tick) until the server frees it.
constexpr std::int64_t kEarlierLockAskMs = 2000;
constexpr int kEarlierLockTickMs = 250;
// Another reviewer who took the page from the earlier connection is followed
// this long, at the same pace; after that the reviewer's next change asks.
constexpr std::int64_t kOtherHolderFollowMs = 5 * 60 * 1000;

std::string EarlierConnectionWords(std::int32_t seconds) {
    return "Page still held by your earlier connection, unless you have it open in another "
           "place; the server frees it within " +
           std::to_string(seconds) + " seconds, and the page turns editable then.";
}
// The refusal names who holds the page (not a page the user may not change).
bool NamesAHolder(const std::string& error) {
    return mVBUtil::UCase(error).rfind("ERROR: PAGE LOCKED BY ", 0) == 0;
}

constexpr char kHeldElsewhere[] = "Page held by your login in another place.";
constexpr char kHeldByOwnLogin[] =
    "Page held by your login on another connection: an earlier connection of yours the server "
    "has not closed yet, or your login in another place.";

}  // namespace

void frmView::SetPageLock(const std::string& key) {
    if (!page.g_szLockedKey.empty()) ReleasePageLock();
    if (Session().SetPageLock(key)) {
        page.g_szLockedKey = key;
        page.g_PageReadOnly = 0;
    } else {
        page.g_PageReadOnly = 1;
    }
    page.lockEpoch = Session().LockEpoch();
}

std::string frmView::LockRefusalWords(const std::string& key, const std::string& error) {
    ViewerSession& session = Session();
    const std::string words = ViewerSession::ServerWords(error);
    if (!TalqClientAPI::LockHeldBy(words, session.UserName())) return words;
    if (const std::int32_t seconds = session.EarlierConnectionFreesIn(key); seconds > 0)
        return EarlierConnectionWords(seconds);
    // Held past the time the server takes to drop a lost connection.
    if (RequestFrame::DeadPeerSecondsOf(words) > 0) return kHeldElsewhere;
    return kHeldByOwnLogin;
}

bool frmView::AskLockQuietly(const std::string& key) {
    ViewerSession& session = Session();
    const bool showing = session.DisplayErrorMsgs();
    session.SetDisplayErrorMsgs(false);
    const bool locked = session.SetPageLock(key);
    session.SetDisplayErrorMsgs(showing);
    return locked;
}

bool frmView::TakePageAgain(const std::string& key, std::string& why) {
    ViewerSession& session = Session();
    page.g_szLockedKey = key;
    page.lockEpoch = session.LockEpoch();
    // Others may have changed the page while it was not this reviewer's,
    // and may have restricted it: read as a fresh display reads it.
    std::int32_t level = 0, rotation = 0, restricted = 0;
    std::string info, native;
    const bool infoOk = session.GetImagePageInfo(key, level, rotation, restricted, info, native);
    AnnotationTexts lists;
    const bool listsOk = infoOk && restricted == 0 && session.GetAllAnnotations(key, lists);
    // Closed meanwhile: the unload releases the lock.
    if (unloaded_ || key != page.szCurrentKey) return false;
    if (listsOk) {
        TakePageLists(lists);
        RedisplayImage();
        if (zoom.ZoomWin_Active != 0) RedisplayZoomImage();
        page.lockLostUntold.clear();
        ShowReadOnly(false);
        return true;
    }
    if (infoOk && restricted != 0) {
        // Restricted meanwhile: it stays read-only, as a display shows it.
        page.g_PageRestricted = restricted;
        page.editableWithLock = false;
        page.g_NativeBlocked = true;
        page.g_szNativeFile.clear();
        ui.Tbar[20]->hide();
    } else {
        why = "The page could not be read again";
        const std::string reason = Session().TakeFailureReason();
        if (!reason.empty()) why += ": " + reason;
    }
    ReleasePageLock();
    return false;
}

void frmView::LockAgainIfFreed() {
    ViewerSession& session = Session();
    if (unloaded_ || page.g_ValidImage == 0 || page.g_PageReadOnly == 0 || !page.editableWithLock ||
        !page.g_szLockedKey.empty() || (session.SystemFlags() & 0x400) != 0 ||
        !session.IsUserValid() || !session.IsProjectValid())
        return;
    const std::string key = page.szCurrentKey;
    ViewerSession::Action action(session);
    if (AskLockQuietly(key)) {
        std::string why;
        if (!TakePageAgain(key, why)) page.lockLostUntold = why;
        return;
    }
    // A reason not told yet is told as it stands now, never a holder's that
    // let go; a page read-only from its display stays as quiet as ever.
    if (!page.lockLostUntold.empty()) {
        if (TalqClientAPI::LockRefused(session.LastError())) {
            page.lockLostUntold = LockRefusalWords(key, session.LastError());
        } else if (std::string reason = session.TakeFailureReason(); !reason.empty()) {
            page.lockLostUntold = reason;
        }
    }
    FollowEarlierLock(key);
}

void frmView::ReleasePageLock() {
    if (!page.g_szLockedKey.empty() && Session().IsProjectValid()) {
        Session().RemovePageLock(page.g_szLockedKey);
    }
    page.g_szLockedKey.clear();
}

void frmView::WatchPageLock() {
    if (pageLockCheck_ == nullptr) {
        pageLockCheck_ = new QTimer(this);
        pageLockCheck_->setSingleShot(true);
        connect(pageLockCheck_, &QTimer::timeout, this, [this] {
            // The reconnection is still under way, or what runs has the page
            // in hand.
            if (RequestInProcess() || QApplication::activeModalWidget() != nullptr) {
                pageLockCheck_->start(kPageLockRetryMs);
                return;
            }
            FollowPageLock();
        });
    }
    TalqAPi->OnNewConnection([this] { pageLockCheck_->start(0); });
}

bool frmView::FollowPageLock() {
    ViewerSession& session = Session();
    const std::string key = page.g_szLockedKey;
    // A save's lists read again met the lost connection's lock.
    if (key.empty() && !unloaded_ && page.g_ValidImage != 0 && page.g_PageReadOnly != 0 &&
        earlierLock_.key.empty())
        FollowEarlierLock(page.szCurrentKey);
    // Only a lock the page holds is followed: a page shown read-only or
    // restricted has none, and one half shown is not the reviewer's yet.
    if (unloaded_ || key.empty() || key != page.szCurrentKey || page.g_ValidImage == 0) return true;
    if (session.LockEpoch() == page.lockEpoch || (session.SystemFlags() & 0x400) != 0) return true;
    // A refused login took no lock away: the page waits for the login.
    if (!session.IsUserValid() || !session.IsProjectValid()) return true;
    if (!session.HoldsPageLock(key)) {
        // Asked once more: the lost connection's own lock goes soon, another
        // user's stays.
        const bool showing = session.DisplayErrorMsgs();
        session.SetDisplayErrorMsgs(false);
        const bool locked = session.SetPageLock(key);
        session.SetDisplayErrorMsgs(showing);
        if (!locked) {
            if (!FollowRefusal()) return false;
            // No answer: this epoch's lock is asked for again before the
            // next change.
            if (!TalqClientAPI::LockRefused(session.LastError())) return true;
        }
    }
    page.lockEpoch = session.LockEpoch();
    return true;
}

bool frmView::PageLockKnown() {
    ViewerSession& session = Session();
    const std::string key = page.g_szLockedKey;
    if (unloaded_ || key.empty() || key != page.szCurrentKey || page.g_ValidImage == 0 ||
        (session.SystemFlags() & 0x400) != 0)
        return true;
    // The server drops a connection's locks with it; an idle connection
    // tells nothing until a request goes, and a drawing sends none.
    const bool showing = session.DisplayErrorMsgs();
    session.SetDisplayErrorMsgs(false);
    const bool connected = session.ReconnectIfClosed();
    session.SetDisplayErrorMsgs(showing);
    // Not made again (no answer, a refused login): the save takes the lock
    // itself, or asks for the login, and tells what failed.
    if (!connected) return true;
    if (session.LockEpoch() != page.lockEpoch) return FollowPageLock();
    if (session.IsRemoteAccess()) return true;
    // Through the library no connection ends when another process takes
    // the page (judging this one gone): the lock is asked for again, which
    // runs in this process and waits for no network.
    session.SetDisplayErrorMsgs(false);
    const bool locked = session.SetPageLock(key);
    session.SetDisplayErrorMsgs(showing);
    if (!locked && !FollowRefusal()) return false;
    page.lockEpoch = session.LockEpoch();
    return true;
}

bool frmView::FollowRefusal() {
    ViewerSession& session = Session();
    if (TalqClientAPI::LockRefused(session.LastError())) {
        page.g_szLockedKey.clear();
        ShowReadOnly(true);
        // Found with no request of the reviewer's: told when the reviewer
        // next tries to change the page, which then does nothing.
        if (!FollowEarlierLock(page.szCurrentKey))
            page.lockLostUntold = LockRefusalWords(page.szCurrentKey, session.LastError());
        return true;
    }
    const std::string reason = TalqClientAPI::ServerReason(session.LastError());
    // No answer: asked again before the next change, and the save takes
    // the lock itself and tells what failed.
    if (reason.empty()) return true;
    // A busy or failed database: the lock is neither had nor refused.
    session.TakeUntoldDatabaseError();
    platform::Beep();
    if (session.DisplayErrorMsgs())
        platform::MsgBox("Unable to Lock Page\n" + reason, platform::vbCritical, "Warning");
    return false;
}

void frmView::TellLockLost() {
    const std::string reason = std::move(page.lockLostUntold);
    page.lockLostUntold.clear();
    if (reason.empty()) return;
    platform::Beep();
    if (Session().DisplayErrorMsgs())
        platform::MsgBox("Unable to Lock Page\n" + reason, platform::vbCritical, "Warning");
}

bool frmView::FollowEarlierLock(const std::string& key) {
    const std::int32_t seconds = Session().EarlierConnectionFreesIn(key);
    // Only a page a fresh display would make editable is worth its lock.
    if (seconds <= 0 || !page.editableWithLock || key != page.szCurrentKey) return false;
    page.lockLostUntold = EarlierConnectionWords(seconds);
    if (earlierLock_.key == key && earlierLock_.timer->isActive()) return true;
    earlierLock_.key = key;
    earlierLock_.otherSinceMs = 0;
    // Asked again at once: a connection closed by its peer a moment ago goes
    // as soon as the server has run its last request.
    earlierLock_.nextAskMs = platform::CurrentClock().MonotonicMs();
    if (earlierLock_.timer == nullptr) {
        earlierLock_.timer = new QTimer(this);
        connect(earlierLock_.timer, &QTimer::timeout, this, [this] { AskEarlierLock(); });
    }
    earlierLock_.timer->start(kEarlierLockTickMs);
    return true;
}

void frmView::AskEarlierLock() {
    const std::string key = earlierLock_.key;
    auto stop = [this] {
        earlierLock_.timer->stop();
        earlierLock_.key.clear();
    };
    // The page went, or its lock was had another way.
    if (unloaded_ || key.empty() || key != page.szCurrentKey || !page.g_szLockedKey.empty())
        return stop();
    if (RequestInProcess() || QApplication::activeModalWidget() != nullptr) return;
    ViewerSession& session = Session();
    if (page.g_ValidImage == 0 || page.g_PageReadOnly == 0 || !page.editableWithLock ||
        (session.SystemFlags() & 0x400) != 0)
        return stop();
    // A refused login took the page's lock with it: the login shows the
    // page again.
    if (!session.IsUserValid() || !session.IsProjectValid()) return stop();
    const std::int64_t now = platform::CurrentClock().MonotonicMs();
    if (now < earlierLock_.nextAskMs) return;
    if (AskLockQuietly(key)) {
        // Nothing the reviewer did is done again: a change refused meanwhile
        // was refused at once, and a save always goes onto the lists as
        // stored. The page is read again before it turns editable.
        stop();
        std::string why;
        if (!TakePageAgain(key, why)) page.lockLostUntold = why;
        return;
    }
    earlierLock_.nextAskMs = now + kEarlierLockAskMs;
    if (const std::int32_t seconds = session.EarlierConnectionFreesIn(key); seconds > 0) {
        page.lockLostUntold = EarlierConnectionWords(seconds);
        return;
    }
    const std::string error = session.LastError();
    const bool another =
        NamesAHolder(error) && !TalqClientAPI::LockHeldBy(error, session.UserName());
    if (another && earlierLock_.otherSinceMs == 0) {
        // Another reviewer took it when the earlier connection let go: told
        // once, at the next change.
        earlierLock_.otherSinceMs = now;
        page.lockLostUntold = TalqClientAPI::ServerReason(error);
    }
    // They may let go soon: asked for a while (no answer meanwhile is asked
    // again), and by the next change after.
    if (earlierLock_.otherSinceMs != 0 && (another || !TalqClientAPI::LockRefused(error)) &&
        now - earlierLock_.otherSinceMs < kOtherHolderFollowMs)
        return;
    stop();
    if (another) return;
    // The next change asks again: until then it says what the server said
    // last, or that it did not answer.
    if (TalqClientAPI::LockRefused(error)) {
        page.lockLostUntold = LockRefusalWords(key, error);
    } else if (std::string reason = TalqClientAPI::ServerReason(error); !reason.empty()) {
        page.lockLostUntold = reason;
    } else if (earlierLock_.otherSinceMs == 0) {
        page.lockLostUntold =
            "Page still held by your earlier connection when the server last answered.";
    }
}

}  // namespace viewer
