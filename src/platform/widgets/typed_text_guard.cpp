#include "platform/widgets/typed_text_guard.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QScreen>
#include <QStringList>
#include <QTextCursor>
#include <QTextDocument>
#include <QToolTip>
#include <QValidator>

#include <algorithm>
#include <climits>

#include "platform/prompts.h"
#include "platform/text_codec.h"

namespace platform {
namespace {

QString Kept(const QString& text) {
    QString kept;
    for (QChar c : text)
        if (InCodePage(c)) kept.append(c);
    return kept;
}

// A line edit keeps its undo steps apart where its cursor moves.
void EndUndoStep(QLineEdit* box) {
    const int at = box->cursorPosition();
    const int other = at > 0 ? at - 1 : 1;
    if (other > box->text().size()) return;
    box->setCursorPosition(other);
    box->setCursorPosition(at);
}

// What comes through none of the ways the guard watches: a line edit
// applies the text a validator hands back, so the characters are taken out
// wherever the cursor stands (the box forgets its undo steps then).
class CodePageValidator : public QValidator {
  public:
    explicit CodePageValidator(TypedTextGuard* guard) : QValidator(guard), guard_(guard) {}

    State validate(QString& input, int& pos) const override {
        const QString refused = OutsideCodePage(input);
        if (refused.isEmpty()) return Acceptable;
        QString kept;
        int keptPos = pos;
        for (qsizetype i = 0; i < input.size(); ++i) {
            if (InCodePage(input[i]))
                kept.append(input[i]);
            else if (i < pos)
                --keptPos;
        }
        input = kept;
        pos = keptPos;
        guard_->Refuse(refused, false);
        return Acceptable;
    }

  private:
    TypedTextGuard* guard_;
};

}  // namespace

TypedTextGuard::TypedTextGuard(QWidget* box) : QObject(box), box_(box), limit_(INT_MAX) {}

TypedTextGuard* TypedTextGuard::Guard(QLineEdit* box) {
    auto* guard = new TypedTextGuard(box);
    box->setValidator(new CodePageValidator(guard));
    box->installEventFilter(guard);
    return guard;
}

// Typing, pasting, dropping and composing are met before the box takes them,
// so that what is kept goes in as one step that Undo takes back.
bool TypedTextGuard::eventFilter(QObject* watched, QEvent* event) {
    auto* box = qobject_cast<QLineEdit*>(watched);
    if (box == nullptr || box->isReadOnly()) return false;
    QClipboard* clipboard = QGuiApplication::clipboard();
    switch (event->type()) {
        case QEvent::KeyPress: {
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->matches(QKeySequence::Paste)) return InsertKept(box, clipboard->text());
            return InsertKept(box, key->text());
        }
        case QEvent::MouseButtonRelease: {
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::MiddleButton || !clipboard->supportsSelection())
                return false;
            const QString text = clipboard->text(QClipboard::Selection);
            if (OutsideCodePage(text).isEmpty()) return false;
            box->deselect();
            return InsertKept(box, text);
        }
        case QEvent::Drop: {
            auto* drop = static_cast<QDropEvent*>(event);
            if (drop->mimeData() == nullptr || !drop->mimeData()->hasText()) return false;
            const QString text = drop->mimeData()->text();
            const QString refused = OutsideCodePage(text);
            if (refused.isEmpty()) return false;
            QMimeData kept;
            kept.setText(Kept(text));
            QDropEvent copy(drop->position(), drop->possibleActions(), &kept, drop->buttons(),
                            drop->modifiers());
            QCoreApplication::sendEvent(box, &copy);
            drop->setDropAction(copy.dropAction());
            drop->setAccepted(copy.isAccepted());
            Refuse(refused, false);
            return true;
        }
        case QEvent::InputMethod: {
            auto* im = static_cast<QInputMethodEvent*>(event);
            const QString refused = OutsideCodePage(im->commitString());
            if (refused.isEmpty()) return false;
            QInputMethodEvent copy(im->preeditString(), im->attributes());
            copy.setCommitString(Kept(im->commitString()), im->replacementStart(),
                                 im->replacementLength());
            QCoreApplication::sendEvent(box, &copy);
            Refuse(refused, false);
            return true;
        }
        case QEvent::ContextMenu: {
            // The box's own menu, but its Paste comes here first.
            QMenu* menu = box->createStandardContextMenu();
            if (menu == nullptr) return false;
            const QString paste = QCoreApplication::translate("QLineEdit", "&Paste");
            for (QAction* action : menu->actions()) {
                if (!action->text().startsWith(paste)) continue;
                disconnect(action, &QAction::triggered, box, &QLineEdit::paste);
                connect(action, &QAction::triggered, this, [this, box] {
                    if (!InsertKept(box, QGuiApplication::clipboard()->text())) box->paste();
                });
            }
            menu->setAttribute(Qt::WA_DeleteOnClose);
            menu->popup(static_cast<QContextMenuEvent*>(event)->globalPos());
            return true;
        }
        default:
            return false;
    }
}

bool TypedTextGuard::InsertKept(QLineEdit* box, const QString& text) {
    const QString refused = OutsideCodePage(text);
    if (refused.isEmpty()) return false;
    const QString kept = Kept(text);
    if (!kept.isEmpty() || box->hasSelectedText()) {
        // Text put over a selection is a step of its own already.
        if (!box->hasSelectedText()) EndUndoStep(box);
        box->insert(kept);
        EndUndoStep(box);
    }
    Refuse(refused, false);
    return true;
}

TypedTextGuard* TypedTextGuard::Guard(QPlainTextEdit* box) {
    auto* guard = new TypedTextGuard(box);
    guard->before_ = box->toPlainText();
    QTextDocument* doc = box->document();
    connect(doc, &QTextDocument::contentsChange, guard, [guard](int at, int, int added) {
        if (guard->trimming_) return;
        // One edit may report in parts (a paste over a selection).
        if (guard->insertFrom_ < 0) {
            guard->insertFrom_ = at;
            guard->insertTo_ = at + added;
        } else {
            guard->insertFrom_ = std::min(guard->insertFrom_, at);
            guard->insertTo_ = std::max(guard->insertTo_, at + added);
        }
    });
    connect(box, &QPlainTextEdit::textChanged, guard, [guard, box] { guard->TrimInserted(box); });
    return guard;
}

int TypedTextGuard::Measure(const QString& text) const {
    return measure_ ? measure_(text) : static_cast<int>(text.size());
}

void TypedTextGuard::TrimInserted(QPlainTextEdit* box) {
    if (trimming_) return;
    if (insertFrom_ < 0) {
        before_ = box->toPlainText();
        return;
    }
    QString text = box->toPlainText();
    const int size = static_cast<int>(text.size());
    int from = std::clamp(insertFrom_, 0, size);
    int to = std::clamp(insertTo_, from, size);
    insertFrom_ = insertTo_ = -1;

    trimming_ = true;
    QTextCursor cut(box->document());
    // Part of the edit that brought them, so that one undo takes both back.
    cut.joinPreviousEditBlock();
    QString refused;
    for (int i = to - 1; i >= from; --i) {
        if (InCodePage(text[i])) continue;
        refused.prepend(text[i]);
        cut.setPosition(i);
        cut.setPosition(i + 1, QTextCursor::KeepAnchor);
        cut.removeSelectedText();
        text.remove(i, 1);
        --to;
    }
    // Past the limit nothing grows: an edit may leave the text as long as it
    // was, never longer. Only the tail of what just arrived goes.
    const int allowed = std::max(limit_, Measure(before_));
    int drop = 0;
    if (to > from && Measure(text) > allowed) {
        int low = 1, high = to - from;
        while (low < high) {
            const int mid = low + (high - low) / 2;
            if (Measure(QString(text).remove(to - mid, mid)) > allowed)
                low = mid + 1;
            else
                high = mid;
        }
        drop = high;
        cut.setPosition(to - drop);
        cut.setPosition(to, QTextCursor::KeepAnchor);
        cut.removeSelectedText();
    }
    cut.endEditBlock();
    trimming_ = false;
    before_ = box->toPlainText();
    if (!refused.isEmpty() || drop > 0) Refuse(refused, drop > 0);
}

void TypedTextGuard::Refuse(const QString& outsideCodePage, bool overLimit) {
    QStringList reasons;
    if (!outsideCodePage.isEmpty()) {
        reasons << QStringLiteral(
                       "Not taken: %1 - only Western European (Windows-1252) "
                       "characters can be saved.")
                       .arg(outsideCodePage);
    }
    if (overLimit) {
        reasons
            << QStringLiteral("Not taken: the text is at its limit of %1 characters.").arg(limit_);
    }
    const QString reason = reasons.join('\n');
    Beep();
    ShowReason(reason);
    emit Refused(reason);
}

void TypedTextGuard::ShowReason(const QString& reason) {
    const QPoint top = box_->mapToGlobal(QPoint(0, 0));
    QToolTip::showText(top, reason, box_);
    // Qt puts a tip below its point, over what a form asks next (the next
    // field, OK and Cancel); it goes above the box, or beside it where the
    // screen ends.
    for (QWidget* tip : QApplication::topLevelWidgets()) {
        if (tip->objectName() != QLatin1String("qtooltip_label") || !tip->isVisible()) continue;
        QPoint at(top.x(), top.y() - tip->height() - 2);
        const QScreen* screen = box_->screen();
        if (screen != nullptr && at.y() < screen->availableGeometry().top())
            at = QPoint(top.x() + box_->width() + 2, top.y());
        tip->move(at);
    }
}

}  // namespace platform
