// A redaction label or a clip typed in a dialog: asked, stored, and never
// lost when another user changed or deleted the mark while it was typed.

#include "annotations/annotation_rec.h"
#include "annotations/clip_rules.h"
#include "annotations/widgets/note_dialogs.h"
#include "foundation/widgets/dialog_factory.h"
#include "platform/prompts.h"
#include "viewer/widgets/frm_view.h"

namespace viewer {

using TalqClientAPI_Header::StampLabel;

bool frmView::AskRedactionLabel(AnnotationRec& rec, const std::string& start,
                                const PageMark& mark) {
    const std::string label = StampLabel(rec.Stamp);
    std::string prompt = "Enter Redaction Label.";
    if (!label.empty()) prompt += "\nTo Delete Current Label, Enter a SPACE.";
    const std::string reply = platform::InputBox(prompt, " ", start);
    if (reply.empty() || !SamePage(mark)) return false;
    const std::string typed = CleanRedactionLabel(reply);
    if (typed == label) return false;
    settings.DfltRedactLabel = typed;
    rec.Stamp = NewStamp(typed);
    return true;
}

bool frmView::AskClip(AnnotationRec& rec, std::int32_t startMode, const std::string& startText,
                      bool& remove, const PageMark& mark) {
    std::unique_ptr<annotations::frmClip> box =
        talq::DialogFactory<annotations::frmClip>::Create(this);
    box->ClientAPI = &Session();
    box->ClipMode = startMode;
    box->ClipText = startText;
    box->exec();
    if (!SamePage(mark) || box->Result == 1) return false;
    remove = box->ClipText.empty();
    if (!remove) {
        rec.Text = box->ClipText;
        rec.Color2 = box->ClipMode;
    }
    return true;
}

void frmView::CommitTypedEdit(std::int32_t kind, AnnotationRec original, AnnotationRec rec,
                              bool remove, bool& changed, const PageMark& mark) {
    for (;;) {
        EditBase base{original};
        // A delete keeps nothing typed.
        if (CommitEdit(kind, base, rec, remove, changed, KeepTyped::kOverMarkNow) || remove)
            return;
        if (!base.now || !SamePage(mark)) {
            OfferTypedToCopy(kind, rec);
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

void frmView::OfferTypedToCopy(std::int32_t kind, const AnnotationRec& typed) {
    auto offer = [](const std::string& what, const std::string& text) {
        if (!text.empty())
            platform::InputBox(what + " was not stored. Copy it from here:", " ", text);
    };
    if (kind == kRedaction) {
        offer("Your redaction label", StampLabel(typed.Stamp));
        return;
    }
    const annotations::ClipTarget clip = annotations::ReadStoredClip(typed.Color2, typed.Text);
    offer("Your clip's file to open", clip.file);
    offer("Your clip's program to open it with", clip.program);
}

}  // namespace viewer
