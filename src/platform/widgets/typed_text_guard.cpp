#include "platform/widgets/typed_text_guard.h"

#include <QLineEdit>
#include <QPlainTextEdit>
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

// A line edit applies the text a validator hands back, so the characters
// are taken out as they arrive, wherever the cursor stands.
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
    return guard;
}

TypedTextGuard* TypedTextGuard::Guard(QPlainTextEdit* box) {
    auto* guard = new TypedTextGuard(box);
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

void TypedTextGuard::TrimInserted(QPlainTextEdit* box) {
    if (trimming_ || insertFrom_ < 0) return;
    const QString text = box->toPlainText();
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
        --to;
    }
    // Only the tail of what just arrived goes, never the text that was there.
    const int overflow = size - static_cast<int>(refused.size()) - limit_;
    if (overflow > 0) {
        cut.setPosition(std::max(from, to - overflow));
        cut.setPosition(to, QTextCursor::KeepAnchor);
        cut.removeSelectedText();
    }
    cut.endEditBlock();
    trimming_ = false;
    if (!refused.isEmpty() || overflow > 0) Refuse(refused, overflow > 0);
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
    QToolTip::showText(box_->mapToGlobal(QPoint(0, box_->height())), reason, box_);
    emit Refused(reason);
}

}  // namespace platform
