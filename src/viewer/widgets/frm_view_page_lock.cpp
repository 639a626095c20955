// The page lock of the page on display, also across a new connection.

#include <QApplication>
#include <QTimer>

#include "server/talq_client_api.h"
#include "viewer/widgets/frm_view.h"

namespace viewer {
namespace {

// How soon a check put off by a request or a dialog is tried again.
constexpr int kPageLockRetryMs = 50;

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

void frmView::FollowPageLock() {
    ViewerSession& session = Session();
    const std::string key = page.g_szLockedKey;
    // Only a lock the page holds is followed: a page shown read-only or
    // restricted has none, and one half shown is not the reviewer's yet.
    if (unloaded_ || key.empty() || key != page.szCurrentKey || page.g_ValidImage == 0) return;
    if (session.LockEpoch() == page.lockEpoch || (session.SystemFlags() & 0x400) != 0) return;
    // A refused login took no lock away: the page waits for the login.
    if (!session.IsUserValid() || !session.IsProjectValid()) return;
    if (!session.HoldsPageLock(key)) {
        // Asked once more: the lost connection's own lock goes soon, another
        // user's stays.
        const bool showing = session.DisplayErrorMsgs();
        session.SetDisplayErrorMsgs(false);
        const bool locked = session.SetPageLock(key);
        session.SetDisplayErrorMsgs(showing);
        if (!locked) {
            // No answer: asked again before the next drawing, and the save
            // takes the lock itself.
            if (TalqClientAPI::ServerReason(session.LastError()).empty()) return;
            page.g_szLockedKey.clear();
            ShowReadOnly(true);
        }
    }
    page.lockEpoch = session.LockEpoch();
}

}  // namespace viewer
