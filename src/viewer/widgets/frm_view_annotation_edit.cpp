// The right click on the page: the annotation under the point is offered for
// change or removal and its whole list saved; a click on none goes on to the
// page's boundary level.

#include <QApplication>

#include <algorithm>
#include <string>

#include "annotations/annotation_edit.h"
#include "annotations/clip_rules.h"
#include "annotations/list_change.h"
#include "annotations/widgets/note_dialogs.h"
#include "foundation/widgets/common_dialogs.h"
#include "foundation/widgets/dialog_factory.h"
#include "foundation/widgets/generic_dialogs.h"
#include "platform/prompts.h"
#include "platform/text_codec.h"
#include "platform/wire_separators.h"
#include "server/request_frame.h"
#include "server/talq_client_api.h"
#include "viewer/widgets/frm_view.h"

namespace viewer {
namespace {

using TalqClientAPI_Header::StampLabel;

std::string Options(std::initializer_list<const char*> items) {
    std::string list;
    for (const char* item : items) {
        if (!list.empty()) list.push_back(wire::kListSep);
        list += item;
    }
    return list;
}

constexpr char kChangedOrDeleted[] = "Another user changed or deleted this annotation.";
constexpr char kAnswerLostNotStored[] =
    "The connection was lost before the server answered; the server does not hold this change.";
constexpr char kAnswerLostUnknown[] =
    "The connection was lost before the server answered, and whether the server stored this "
    "change could not be read back. Saving again never stores it twice.";
constexpr char kCannotTellChanged[] =
    "The connection was lost before the server answered, and another user changed this page "
    "meanwhile: whether the server stored this change cannot be told. The page shows what the "
    "server holds now.";
constexpr char kCannotTellUnchanged[] =
    "The connection was lost before the server answered, and the page as the server holds it, now "
    "shown, does not hold this change: whether it was never stored, or stored and then changed "
    "or deleted by another user, cannot be told.";
constexpr char kEarlierStored[] =
    "Your earlier change, whose answer was lost, was stored after all and is now shown. Make "
    "this change again if it is still wanted.";

void TellFailure(const std::string& message) {
    platform::Beep();
    platform::MsgBox(message, platform::vbOKOnly,
                     platform::FromQString(QApplication::applicationName()));
}

}  // namespace

KindList& frmView::ListOf(std::int32_t kind) {
    return pageAnnotations[IsAnnotationKind(kind) ? static_cast<AnnotationKind>(kind) : kMarkup];
}

bool frmView::RereadPageLists(std::string& reason) {
    ViewerSession& session = Session();
    const std::string key = page.szCurrentKey;
    const bool locking = (session.SystemFlags() & 0x400) == 0;
    if (locking && !session.HoldsPageLock(key)) {
        if (!session.SetPageLock(key)) {
            reason = TalqClientAPI::ServerReason(session.LastError());
            // No answer, or a failure of the server's own: the next save
            // tries again. A refusal: what the page shows is read-only, and
            // must be what is stored.
            if (!TalqClientAPI::LockRefused(session.LastError())) return false;
            reason = LockRefusalWords(key, session.LastError());
            page.g_szLockedKey.clear();
            ShowReadOnly(true);
            FollowEarlierLock(key);
        } else {
            page.g_szLockedKey = key;
        }
    }
    AnnotationTexts lists;
    if (!session.GetAllAnnotations(key, lists)) {
        if (reason.empty()) reason = TalqClientAPI::ServerReason(session.LastError());
        return false;
    }
    TakePageLists(lists);
    RedisplayImage();
    if (!reason.empty()) return false;
    if (locking) ShowReadOnly(false);
    return true;
}

void frmView::TakePageLists(const AnnotationTexts& lists) {
    ViewerSession& session = Session();
    page.listsEpoch = session.LockEpoch();
    for (const AnnotationKindFacts& k : kAnnotationKinds) {
        pageAnnotations[k.kind] = {};
        TalqClientAPI_Header::ParseKindList(lists[k.kind], pageAnnotations[k.kind]);
    }
    if (pageAnnotations[kRedaction].count > 0 && !session.AreRedactionsOkToView()) {
        page.g_NativeBlocked = true;
        page.g_szNativeFile.clear();
        ui.Tbar[20]->hide();
    }
}

void frmView::ShowReadOnly(bool readOnly) {
    page.g_PageReadOnly = readOnly ? 1 : 0;
    const std::string mark = " [READ ONLY]";
    std::string status = page.statusText;
    const std::size_t at = status.find(mark);
    if (readOnly && at == std::string::npos && status.rfind(page.szCurrentKey, 0) == 0) {
        status.insert(page.szCurrentKey.size(), mark);
    } else if (!readOnly && at != std::string::npos) {
        status.erase(at, mark.size());
    }
    if (status != page.statusText) WriteStatus(status);
}

bool frmView::SaveChange(std::int32_t kind, const char* failure, const ListChange& change) {
    ViewerSession& session = Session();
    // The lists read, the put and a read back give up within one time-out;
    // a close asked meanwhile waits for them.
    ViewerSession::Action action(session, ViewerSession::Action::kChange);
    const bool locking = (session.SystemFlags() & 0x400) == 0;
    std::string reason;
    bool saved = false;
    std::string refused;
    lastSaveDoubt_ = SaveDoubt::kNone;
    // Only this save's own failure is told.
    session.TakeUntoldTransportError();
    // The handler shows the one message of a failed save, not the session.
    const bool showing = session.DisplayErrorMsgs();
    session.SetDisplayErrorMsgs(false);
    // The change goes onto the lists as read just before the write, never
    // onto those read when the page was shown: a writer without a lock, or
    // with locking off, may have stored since. A put that had to reconnect
    // does not leave: the change is then made once more, to the lists as
    // stored.
    for (int attempt = 0; attempt < 2 && !saved; ++attempt) {
        if (!RereadPageLists(reason)) break;
        KindList edited = ListOf(kind);
        refused = SettleLostSave(kind, edited);
        if (!refused.empty()) break;
        const KindList base = edited;
        refused = change(edited);
        if (!refused.empty()) break;
        std::string text;
        if (!annotations::BuildListForSave(edited.count, edited.list, text)) break;
        // Nothing to write over what others may be storing this instant; a
        // retry that only moves its mark behind another's stores nothing.
        if (annotations::SameMarks(edited, ListOf(kind))) {
            saved = true;
            break;
        }
        std::optional<std::uint64_t> epoch;
        if (locking) epoch = page.listsEpoch;
        saved = session.PutAnnotationList(page.szCurrentKey, static_cast<std::int16_t>(kind), text,
                                          epoch);
        if (saved) {
            ListOf(kind) = std::move(edited);
        } else if (session.ReplyLost()) {
            saved = ReadBackLostSave(kind, base, edited, reason);
            break;
        } else if (session.LastError() != "Page Lock Lost") {
            reason = TalqClientAPI::ServerReason(session.LastError());
            // Another holds the page after all: it is read-only from now.
            if (TalqClientAPI::LockRefused(session.LastError())) {
                reason = LockRefusalWords(page.szCurrentKey, session.LastError());
                ReleasePageLock();
                ShowReadOnly(true);
                FollowEarlierLock(page.szCurrentKey);
            }
            break;
        }
    }
    session.SetDisplayErrorMsgs(showing);
    if (saved) {
        lostSave_.reset();
        RedisplayImage();
        return true;
    }
    // No answer, or no word from the server: the connection's own reason.
    if (refused.empty() && reason.empty()) reason = TakeFailureReason();
    std::string message = failure;
    if (!refused.empty()) {
        message += "\n" + refused;
    } else if (!reason.empty()) {
        message += "\n" + reason;
    }
    // Only a note dialog keeps what was typed to be saved again.
    if (lastSaveDoubt_ == SaveDoubt::kCannotTell && heldFailure_ != nullptr)
        message += "\nYour text is kept: press OK again to store it as a new note.";
    if (heldFailure_ != nullptr && session.LoginRefused()) {
        *heldFailure_ = message;
        return false;
    }
    // The message says why the session ended: no later action says it again.
    if (RequestFrame::EndsSession(session.LastError())) session.TakeUntoldSessionEnd();
    TellFailure(message);
    return false;
}

bool frmView::ReadBackLostSave(std::int32_t kind, const KindList& base, const KindList& sent,
                               std::string& reason) {
    ViewerSession& session = Session();
    AnnotationTexts lists;
    // Read whether or not the page's lock came back with the connection.
    if (session.GetAllAnnotations(page.szCurrentKey, lists)) {
        TakePageLists(lists);
        RedisplayImage();
        // Another writer may have stored beside it before the read: only
        // this change is judged, never the whole list.
        const annotations::ChangeHeld held = annotations::JudgeChange(base, sent, ListOf(kind));
        if (held == annotations::ChangeHeld::kStored) return true;
        lostSave_.reset();
        reason = held == annotations::ChangeHeld::kNotStored ? kAnswerLostNotStored
                                                             : CannotTell(kind, base, ListOf(kind));
        return false;
    }
    // A retry of the same edit adds its try: any of them may have landed.
    if (!lostSave_ || lostSave_->edit != editSerial_ || lostSave_->kind != kind ||
        !SamePage(lostSave_->page))
        lostSave_ = LostSave{MarkPage(), kind, editSerial_, {}};
    lostSave_->tries.push_back({base, sent});
    lastSaveDoubt_ = SaveDoubt::kUnread;
    reason = kAnswerLostUnknown;
    const std::string why = TakeFailureReason();
    if (!why.empty()) reason += "\n" + why;
    return false;
}

std::string frmView::SettleLostSave(std::int32_t kind, KindList& edited) {
    if (!lostSave_) return {};
    const LostSave lost = *lostSave_;
    std::optional<LostSave::Try> landed, untold;
    if (SamePage(lost.page)) {
        const KindList& now = ListOf(lost.kind);
        // The latest try first: a later one was made over the list without
        // the earlier.
        for (auto t = lost.tries.rbegin(); t != lost.tries.rend() && !landed; ++t) {
            const annotations::ChangeHeld held = annotations::JudgeChange(t->base, t->sent, now);
            if (held == annotations::ChangeHeld::kStored)
                landed = *t;
            else if (held == annotations::ChangeHeld::kCannotTell && !untold)
                untold = *t;
        }
    }
    const bool retry = lost.edit == editSerial_ && lost.kind == kind;
    if (landed && retry) {
        // The edit that made it tries again over the list as stored without
        // it, others' marks kept: the same change once more writes nothing.
        edited = annotations::WithoutChange(landed->base, landed->sent, edited);
        return {};
    }
    lostSave_.reset();
    if (landed) return kEarlierStored;
    // Saving it again might store it twice: the reviewer, shown the page,
    // decides.
    if (untold && retry) return CannotTell(kind, untold->base, ListOf(kind));
    return {};
}

std::string frmView::CannotTell(std::int32_t kind, const KindList& base, const KindList& now) {
    lastSaveDoubt_ = SaveDoubt::kCannotTell;
    std::string why = annotations::SameMarks(base, now) ? kCannotTellUnchanged : kCannotTellChanged;
    // A sticky note draws only its icon: what others stored is said.
    const KindList since = annotations::MarksSince(base, now);
    if (kind == kStickyNote && since.count > 0) {
        why += "\nSticky notes stored since:";
        constexpr int kShown = 5;
        for (int i = 0; i < std::min(since.count, kShown); ++i)
            why += "\n" + since.list[static_cast<std::size_t>(i)].Text;
        if (since.count > kShown) why += "\nand " + std::to_string(since.count - kShown) + " more";
    }
    return why;
}

bool frmView::SaveNoteLoggingIn(const std::function<bool()>& save) {
    std::string failure;
    heldFailure_ = &failure;
    const bool saved = save();
    heldFailure_ = nullptr;
    if (saved) return true;
    ViewerSession& session = Session();
    if (!session.LoginRefused()) return false;
    // The box asking again says first why; a disabled or removed user has
    // nothing to type, and the failure says why.
    const std::string why = session.TakeUntoldSessionEnd();
    if (why == TalqClientAPI::ServerReason(RequestFrame::kUserDisabled) ||
        why == TalqClientAPI::ServerReason(RequestFrame::kUserRemoved)) {
        TellFailure(failure.empty() ? why : failure);
        return false;
    }
    const std::string ask = "Enter the password of " + login.szUserID + " to log in again.";
    // A full login would reload the project and lose the dialog's text.
    const std::string password =
        platform::PasswordBox(why.empty() ? ask : why + "\n" + ask, "User Login");
    if (password.empty()) {
        if (!failure.empty()) TellFailure(failure);
        return false;
    }
    const bool showing = session.DisplayErrorMsgs();
    session.SetDisplayErrorMsgs(false);
    const bool in = session.LogInAgain(password);
    session.SetDisplayErrorMsgs(showing);
    if (!in) {
        platform::BeepWarning(session.LastError());
        return false;
    }
    login.szPassword = password;
    return save();
}

int frmView::ChooseEdit(const std::string& options) {
    std::unique_ptr<SelBox> box = talq::DialogFactory<SelBox>::Create(this);
    box->OptionList = options;
    box->Selection = 1;
    box->exec();
    return box->Selection;
}

bool frmView::EditColor(AnnotationRec& rec, std::int32_t& defaultColor) {
    auto color = static_cast<std::uint32_t>(rec.Color);
    if (!mComDlg::ShowColorDialog(this, color)) return false;
    if (static_cast<std::int32_t>(color) == rec.Color) return false;
    rec.Color = static_cast<std::int32_t>(color);
    defaultColor = rec.Color;
    return true;
}

bool frmView::EditRedaction(AnnotationRec& rec, int choice, const PageMark& mark) {
    annotations::AnnotationSettings& d = settings;
    if (choice == 1) return EditColor(rec, d.DfltRedactColor) && SamePage(mark);
    std::string face = rec.FontName;
    int size = rec.FontSize, style = rec.FontStyle;
    auto color = static_cast<std::uint32_t>(rec.Color2);
    if (!mComDlg::ShowFontDialog(this, face, size, style, color) || !SamePage(mark)) return false;
    rec.FontName = d.DfltRedactFont = face;
    rec.FontSize = d.DfltRedactFontSize = size;
    rec.FontStyle = d.DfltRedactFontStyle = style;
    rec.Color2 = d.DfltRedactFontColor = static_cast<std::int32_t>(color);
    return true;
}

void frmView::ModifyAnnotations(std::int32_t x, std::int32_t y, bool& changed) {
    changed = false;
    ViewerSession& session = Session();
    const float factor = page.g_ViewScaleFactor;
    const annotations::AnnotationHit hit = annotations::FindAnnotationAt(
        pageAnnotations, x, y,
        annotations::IconSizeInImage(ui.picSticky.width(), zoom.g_ScaleFactor, factor),
        annotations::IconSizeInImage(ui.picClip.width(), zoom.g_ScaleFactor, factor));
    if (hit.kind == 0) {
        if ((session.UserProjectSecurity() & (0x01 | 0x02 | 0x40)) != 0 &&
            (run.lBehaviorFlags & 0x400) == 0) {
            ModifyBoundaryLevel();
        }
        return;
    }
    const std::int32_t access =
        hit.kind == kRedaction ? project.g_RestrictRedactions : project.g_RestrictAnnotations;
    if ((run.lBehaviorFlags & annotations::FeatureBit(hit.kind)) != 0 || access != 0) return;

    const PageMark mark = MarkPage();
    ++editSerial_;
    // What the edit started from: the record to change in the list as stored.
    const AnnotationRec original = ListOf(hit.kind).list[static_cast<std::size_t>(hit.index)];
    AnnotationRec rec = original;
    bool remove = false, edited = false, typedEdit = false;
    annotations::AnnotationSettings& d = settings;

    switch (hit.kind) {
        case kHighlight:
        case kMarkup: {
            const bool hl = hit.kind == kHighlight;
            const int choice = ChooseEdit(hl ? Options({"Modify Hilight Color", "Delete Hilight"})
                                             : Options({"Modify Markup Color", "Delete Markup"}));
            if (choice == 1) {
                edited = EditColor(rec, hl ? d.DfltHiLiteColor : d.DfltMarkUpColor);
            } else if (choice == 2) {
                remove = true;
            }
            break;
        }
        case kRedaction: {
            const int choice =
                ChooseEdit(Options({"Modify Redaction Color", "Modify Redaction Font",
                                    "Modify Redaction Label", "Delete Redaction"}));
            if (!SamePage(mark)) return;
            if (choice == 4) {
                remove = true;
            } else if (choice == 3) {
                typedEdit = true;
                edited = AskRedactionLabel(rec, StampLabel(rec.Stamp), mark);
            } else if (choice == 1 || choice == 2) {
                edited = EditRedaction(rec, choice, mark);
            }
            break;
        }
        case kTextNote:
        case kStickyNote: {
            std::unique_ptr<annotations::frmAnnot> box =
                talq::DialogFactory<annotations::frmAnnot>::Create(this);
            const bool note = hit.kind == kTextNote;
            box->Mode = note ? 0 : 1;
            box->NoteText = rec.Text;
            box->FontColor = rec.Color;
            box->FontName = rec.FontName;
            box->FontSize = rec.FontSize;
            box->FontStyle = rec.FontStyle;
            // Saved while the dialog is open, so that a failed save leaves
            // the typed text there to be saved again or copied.
            EditBase base{original, false, std::nullopt};
            box->Save = [&](annotations::frmAnnot& b) {
                return SaveNoteLoggingIn([&] {
                    AnnotationRec typed = rec;
                    const bool drop = b.Result == 2 || b.NoteText.empty();
                    typed.Text = b.NoteText;
                    // A delete keeps nothing typed.
                    if (!KeptOnPage(mark, hit.kind, b.Result == 2 ? rec : typed, rec)) return true;
                    if (note) {
                        typed.FontName = b.FontName;
                        typed.FontSize = b.FontSize;
                        typed.FontStyle = b.FontStyle;
                        typed.Color = typed.Color2 = b.FontColor;
                    }
                    return CommitEdit(hit.kind, base, typed, drop, changed, KeepTyped::kAsNewMark);
                });
            };
            box->exec();
            return;
        }
        case kClip:
            typedEdit = true;
            edited = AskClip(rec, rec.Color2, rec.Text, remove, mark);
            break;
        default:
            return;
    }
    if (!SamePage(mark) || (!remove && !edited)) return;
    if (typedEdit) {
        CommitTypedEdit(hit.kind, original, rec, remove, changed, mark);
        return;
    }
    EditBase base{original, false, std::nullopt};
    CommitEdit(hit.kind, base, rec, remove, changed);
}

bool frmView::CommitEdit(std::int32_t kind, EditBase& base, AnnotationRec rec, bool remove,
                         bool& changed, KeepTyped keep) {
    if (!remove) rec.Stamp = NewStamp(kind == kRedaction ? StampLabel(rec.Stamp) : "");
    const bool asNew = base.gone && !remove;
    const KindList shown = ListOf(kind);
    bool vanished = false;
    // Only the record as it was shown is changed or removed. Two marks may
    // lie in one place and the wire carries no identity, so a record no
    // longer stored as shown is never looked for elsewhere: whether it was
    // changed or deleted cannot be told apart. A record alone in its place
    // is only offered back to the reviewer, who sees it, never written to.
    const bool saved = SaveChange(kind, "Unable to Save/Modify Annotations", [&](KindList& list) {
        vanished = false;
        base.now.reset();
        if (asNew) return annotations::AppendNewMark(list, kind, rec);
        if (base.gone) return std::string();
        const int at = annotations::FindRecord(list, base.rec);
        if (at >= 0) {
            if (remove)
                annotations::RemoveRecord(list, at);
            else
                list.list[static_cast<std::size_t>(at)] = rec;
            return std::string();
        }
        if (remove) {
            vanished = true;
            return std::string();
        }
        if (keep == KeepTyped::kAsNewMark) {
            base.gone = true;
            // A sticky note draws only its icon: the text now there is said.
            std::string stored;
            if (const int there =
                    kind == kStickyNote ? annotations::MarkNowInPlace(list, shown, base.rec) : -1;
                there >= 0)
                stored =
                    "\nNow stored in its place: " + list.list[static_cast<std::size_t>(there)].Text;
            return std::string(kChangedOrDeleted) + stored +
                   "\nPress OK again to store your text as a new note.";
        }
        const int now = keep == KeepTyped::kOverMarkNow
                            ? annotations::MarkNowInPlace(list, shown, base.rec)
                            : -1;
        if (now < 0) return std::string(kChangedOrDeleted);
        base.now = list.list[static_cast<std::size_t>(now)];
        // A clip draws only its icon: what OK would replace is said here.
        const std::string stored =
            kind == kClip
                ? "\nNow stored: " + annotations::ClipInWords(base.now->Color2, base.now->Text)
                : std::string();
        return std::string(kChangedOrDeleted) +
               "\nWhat you typed is shown again over the annotation now in its place." + stored;
    });
    // Had another user changed it, their version stays: told, not hidden.
    if (saved && vanished) TellFailure(kChangedOrDeleted);
    // What became of the edited note cannot be told: OK again stores the
    // text as a new note, never over a record taken for it.
    if (!saved && !remove && keep == KeepTyped::kAsNewMark &&
        lastSaveDoubt_ == SaveDoubt::kCannotTell)
        base.gone = true;
    // Sticky notes and clips keep their icon: nothing to draw again, unless
    // it comes back.
    changed = saved && (remove || asNew || (kind != kStickyNote && kind != kClip));
    return saved;
}

}  // namespace viewer
