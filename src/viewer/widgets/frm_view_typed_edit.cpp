// A redaction label or a clip typed in a dialog: asked, stored, and never
// lost when another user changed or deleted the mark while it was typed.
// No text typed in a mark's dialog is lost when the page goes meanwhile.

#include <string>
#include <vector>

#include "annotations/annotation_rec.h"
#include "annotations/clip_rules.h"
#include "annotations/widgets/note_dialogs.h"
#include "foundation/widgets/dialog_factory.h"
#include "platform/prompts.h"
#include "viewer/widgets/frm_view.h"

namespace viewer {
namespace {

using TalqClientAPI_Header::StampLabel;

struct TypedText {
    const char* what;
    std::string text;
};

// What a reviewer types for a mark, named as the copy box names it.
std::vector<TypedText> TypedTexts(std::int32_t kind, const AnnotationRec& rec) {
    if (kind == kRedaction) return {{"Your redaction label", StampLabel(rec.Stamp)}};
    if (kind == kClip) {
        const annotations::ClipTarget clip = annotations::ReadStoredClip(rec.Color2, rec.Text);
        return {{"Your clip's file to open", clip.file},
                {"Your clip's program to open it with", clip.program}};
    }
    return {{"Your note's text", rec.Text}};
}

void OfferToCopy(const TypedText& typed, const std::string& why,
                 const char* outcome = " was not stored.") {
    if (typed.text.empty()) return;
    platform::InputBox(why + typed.what + outcome + " Copy it from here:", " ", typed.text);
}

}  // namespace

bool frmView::AskRedactionLabel(AnnotationRec& rec, const std::string& start,
                                const PageMark& mark) {
    const std::string label = StampLabel(rec.Stamp);
    std::string prompt = "Enter Redaction Label.";
    if (!label.empty()) prompt += "\nTo Delete Current Label, Enter a SPACE.";
    const std::string reply = platform::InputBox(prompt, " ", start);
    if (reply.empty()) return false;
    const std::string typed = CleanRedactionLabel(reply);
    if (typed == label) return false;
    AnnotationRec labelled = rec;
    labelled.Stamp = NewStamp(typed);
    if (!KeptOnPage(mark, kRedaction, labelled, rec)) return false;
    settings.DfltRedactLabel = typed;
    rec = labelled;
    return true;
}

bool frmView::AskClip(AnnotationRec& rec, std::int32_t startMode, const std::string& startText,
                      bool& remove, const PageMark& mark) {
    std::unique_ptr<annotations::frmClip> box =
        talq::DialogFactory<annotations::frmClip>::Create(this);
    box->ClientAPI = &Session();
    box->ClipMode = startMode;
    box->ClipText = startText;
    // Asked again over another user's version: theirs beside what was typed.
    if (startMode != rec.Color2 || startText != rec.Text)
        box->StoredNow = annotations::ClipInWords(rec.Color2, rec.Text);
    box->exec();
    if (box->Result == 1) return false;
    AnnotationRec typed = rec;
    typed.Text = box->ClipText;
    typed.Color2 = box->ClipMode;
    if (!KeptOnPage(mark, kClip, typed, rec)) return false;
    remove = box->ClipText.empty();
    if (!remove) rec = typed;
    return true;
}

void frmView::CommitTypedEdit(std::int32_t kind, AnnotationRec original, AnnotationRec rec,
                              bool remove, bool& changed, const PageMark& mark) {
    for (;;) {
        EditBase base{original, false, std::nullopt};
        // A delete keeps nothing typed.
        if (CommitEdit(kind, base, rec, remove, changed, KeepTyped::kOverMarkNow) || remove) return;
        if (!base.now || !SamePage(mark)) {
            OfferTypedToCopy(kind, rec, lastSaveDoubt_);
            return;
        }
        // The reviewer sees the other version on the page and chooses again.
        const AnnotationRec typed = rec;
        original = rec = *base.now;
        bool again = false;
        if (kind == kRedaction) {
            const std::string label = StampLabel(typed.Stamp);
            // A blank clears the label, as it did when first typed.
            again = AskRedactionLabel(rec, label.empty() ? " " : label, mark);
        } else {
            again = AskClip(rec, typed.Color2, typed.Text, remove, mark);
        }
        if (!again) return;
    }
}

void frmView::OfferTypedToCopy(std::int32_t kind, const AnnotationRec& typed, SaveDoubt doubt) {
    // A save whose answer was lost may have stored it: never told as not
    // stored.
    const char* outcome =
        doubt == SaveDoubt::kUnread
            ? " may or may not have been stored: whether the server holds it could not be read "
              "back."
        : doubt == SaveDoubt::kCannotTell
            ? " may or may not have been stored: the page as the server holds it cannot tell."
            : " was not stored.";
    for (const TypedText& t : TypedTexts(kind, typed)) OfferToCopy(t, "", outcome);
}

bool frmView::KeptOnPage(const PageMark& mark, std::int32_t kind, const AnnotationRec& typed,
                         const AnnotationRec& held) {
    if (SamePage(mark)) return true;
    const std::vector<TypedText> now = TypedTexts(kind, typed), before = TypedTexts(kind, held);
    for (std::size_t i = 0; i < now.size(); ++i) {
        if (now[i].text != before[i].text)
            OfferToCopy(now[i], "The page changed while the dialog was open.\n");
    }
    return false;
}

}  // namespace viewer
