// The right click on the page: the annotation under the point is offered for
// change or removal and its whole list saved; a click on none goes on to the
// page's boundary level.

#include <QApplication>

#include "annotations/annotation_edit.h"
#include "annotations/widgets/note_dialogs.h"
#include "foundation/widgets/common_dialogs.h"
#include "foundation/widgets/dialog_factory.h"
#include "foundation/widgets/generic_dialogs.h"
#include "platform/prompts.h"
#include "platform/text_codec.h"
#include "platform/wire_separators.h"
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

}  // namespace

KindList& frmView::ListOf(std::int32_t kind) {
    return pageAnnotations[IsAnnotationKind(kind) ? static_cast<AnnotationKind>(kind) : kMarkup];
}

bool frmView::SaveAnnotationList(std::int32_t kind, const char* failure, bool sendEmpty,
                                 bool* tooLong) {
    ViewerSession& session = Session();
    const KindList& ref = ListOf(kind);
    std::string text;
    bool ok = false;
    if (!annotations::BuildListForSave(ref.count, ref.list, text)) {
        if (tooLong != nullptr) *tooLong = true;
    } else if (text.empty() && !sendEmpty) {
        return true;
    } else {
        // The handler shows the one message of a failed save, not the session.
        const bool showing = session.DisplayErrorMsgs();
        session.SetDisplayErrorMsgs(false);
        ok = session.PutAnnotationList(page.szCurrentKey, static_cast<std::int16_t>(kind), text);
        session.SetDisplayErrorMsgs(showing);
    }
    if (ok) return true;
    platform::Beep();
    platform::MsgBox(failure, platform::vbOKOnly,
                     platform::FromQString(QApplication::applicationName()));
    return false;
}

bool frmView::SaveNoteLoggingIn(const std::function<bool()>& save) {
    if (save()) return true;
    ViewerSession& session = Session();
    if (!session.LoginRefused()) return false;
    // A full login would reload the project and lose the dialog's text.
    const std::string password = platform::PasswordBox(
        "Enter the password of " + login.szUserID + " to log in again.", "User Login");
    if (password.empty()) return false;
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
    const std::string label = StampLabel(rec.Stamp);
    if (choice == 1) return EditColor(rec, d.DfltRedactColor) && SamePage(mark);
    if (choice == 2) {
        std::string face = rec.FontName;
        int size = rec.FontSize, style = rec.FontStyle;
        auto color = static_cast<std::uint32_t>(rec.Color2);
        if (!mComDlg::ShowFontDialog(this, face, size, style, color) || !SamePage(mark))
            return false;
        rec.FontName = d.DfltRedactFont = face;
        rec.FontSize = d.DfltRedactFontSize = size;
        rec.FontStyle = d.DfltRedactFontStyle = style;
        rec.Color2 = d.DfltRedactFontColor = static_cast<std::int32_t>(color);
        return true;
    }
    std::string prompt = "Enter Redaction Label.";
    if (!label.empty()) prompt += "\nTo Delete Current Label, Enter a SPACE.";
    const std::string reply = platform::InputBox(prompt, " ", label);
    if (reply.empty() || !SamePage(mark)) return false;
    const std::string typed = CleanRedactionLabel(reply);
    if (typed == label) return false;
    d.DfltRedactLabel = typed;
    rec.Stamp = NewStamp(typed);
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

    KindList& ref = ListOf(hit.kind);
    // Kept whole, so that a list the server could not take is put back.
    const KindList before = ref;
    const PageMark mark = MarkPage();
    AnnotationRec rec = ref.list[static_cast<std::size_t>(hit.index)];
    bool remove = false, edited = false;
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
            } else if (choice >= 1 && choice <= 3) {
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
            box->Save = [&](annotations::frmAnnot& b) {
                return SaveNoteLoggingIn([&] {
                    if (!SamePage(mark)) return true;
                    ref = before;  // a second try starts from the list as it was
                    AnnotationRec typed = rec;
                    const bool drop = b.Result == 2 || b.NoteText.empty();
                    typed.Text = b.NoteText;
                    if (note) {
                        typed.FontName = b.FontName;
                        typed.FontSize = b.FontSize;
                        typed.FontStyle = b.FontStyle;
                        typed.Color = typed.Color2 = b.FontColor;
                    }
                    return CommitEdit(hit, typed, drop, before, changed);
                });
            };
            box->exec();
            return;
        }
        case kClip: {
            std::unique_ptr<annotations::frmClip> box =
                talq::DialogFactory<annotations::frmClip>::Create(this);
            box->ClientAPI = &session;
            box->ClipMode = rec.Color2;
            box->ClipText = rec.Text;
            box->exec();
            if (!SamePage(mark) || box->Result == 1) return;
            if (box->ClipText.empty()) {
                remove = true;
                break;
            }
            rec.Text = box->ClipText;
            rec.Color2 = box->ClipMode;
            edited = true;
            break;
        }
        default:
            return;
    }
    if (!SamePage(mark) || (!remove && !edited)) return;
    CommitEdit(hit, rec, remove, before, changed);
}

bool frmView::CommitEdit(const annotations::AnnotationHit& hit, AnnotationRec rec, bool remove,
                         const KindList& before, bool& changed) {
    KindList& ref = ListOf(hit.kind);
    if (remove) {
        annotations::RemoveRecord(ref, hit.index);
        changed = true;
    } else {
        rec.Stamp = NewStamp(hit.kind == kRedaction ? StampLabel(rec.Stamp) : "");
        ref.list[static_cast<std::size_t>(hit.index)] = rec;
        // Sticky notes and clips keep their icon: nothing to draw again.
        changed = hit.kind != kStickyNote && hit.kind != kClip;
    }
    const bool saved = SaveAnnotationList(hit.kind, "Unable to Save/Modify Annotations", true);
    // The page shows what is stored: an edit the server did not take, a
    // removal included, is put back.
    if (!saved) {
        ref = before;
        changed = false;
    }
    return saved;
}

}  // namespace viewer
