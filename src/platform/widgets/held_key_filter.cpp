#include "platform/widgets/held_key_filter.h"

#include <QApplication>
#include <QKeyEvent>
#include <QWidget>

namespace platform {

HeldKeyFilter::HeldKeyFilter(QWidget& window) : window_(window) {
    if (QCoreApplication::instance() != nullptr) qApp->installEventFilter(this);
}

HeldKeyFilter::~HeldKeyFilter() {
    if (QCoreApplication::instance() != nullptr) qApp->removeEventFilter(this);
}

bool HeldKeyFilter::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::KeyRelease) return false;
    const auto* key = static_cast<const QKeyEvent*>(event);
    // A held key repeats as a release and a press of the same instant; Qt
    // marks the pair as a repeat only when both have arrived together.
    bool repeat = key->isAutoRepeat();
    if (type == QEvent::KeyRelease) {
        releasedKey_ = key->key();
        releasedAt_ = key->timestamp();
    } else if (key->key() == releasedKey_ && key->timestamp() == releasedAt_) {
        repeat = true;
    }
    auto* widget = qobject_cast<QWidget*>(watched);
    const bool inWindow = widget != nullptr && (widget == &window_ || window_.isAncestorOf(widget));
    return repeat && inWindow;
}

}  // namespace platform
