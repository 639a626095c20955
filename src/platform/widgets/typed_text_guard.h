#pragma once
// Keeps a text box to what can be stored of it. A character the code page
// cannot hold is refused where it arrives, typed, pasted or dropped, and the
// rest of the text stays as it was; a plain text box may also stop growing
// at a length. Each refusal beeps through the prompts, shows its reason by
// the box and is signalled, so that a dialog can say it where it wants.

#include <QObject>
#include <QString>

#include <functional>

class QLineEdit;
class QPlainTextEdit;
class QWidget;

namespace platform {

class TypedTextGuard : public QObject {
    Q_OBJECT
  public:
    // The guard belongs to the box. A line edit's guard is also its
    // validator, so such a box must not need another one.
    static TypedTextGuard* Guard(QPlainTextEdit* box);
    static TypedTextGuard* Guard(QLineEdit* box);

    // Plain text boxes: the tail of what is typed or pasted past this many
    // characters is refused; a longer text already there stays whole and
    // may shrink, never grow.
    void SetLimit(int characters) { limit_ = characters; }
    int Limit() const { return limit_; }
    // The length a text counts for against the limit, where that is not its
    // number of characters (what will be stored of it).
    void SetMeasure(std::function<int(const QString&)> measure) { measure_ = std::move(measure); }
    int Measure(const QString& text) const;

    // Beeps, shows the reason by the box and signals it.
    void Refuse(const QString& outsideCodePage, bool overLimit);

  signals:
    void Refused(const QString& reason);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    explicit TypedTextGuard(QWidget* box);
    void TrimInserted(QPlainTextEdit* box);
    // Puts what the code page holds of a text in as one step of the box's
    // undo, as its own paste would; false when all of it may go in as is.
    bool InsertKept(QLineEdit* box, const QString& text);
    void ShowReason(const QString& reason);

    QWidget* box_;
    int limit_;
    std::function<int(const QString&)> measure_;
    QString before_;
    int insertFrom_ = -1, insertTo_ = -1;
    bool trimming_ = false;
};

}  // namespace platform
