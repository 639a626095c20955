#include "viewer/widgets/picture_button.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>

namespace viewer {

PictureButton::PictureButton(int index, QWidget* parent) : QToolButton(parent), index_(index) {
    setMouseTracking(true);
    setFocusPolicy(Qt::NoFocus);
    setIconSize(QSize(16, 16));
    connect(this, &QAbstractButton::clicked, this, [this] { emit Click(index_); });
}

void PictureButton::paintEvent(QPaintEvent*) {
    QPainter p(this);
    const QIcon::Mode mode = isEnabled() ? QIcon::Normal : QIcon::Disabled;
    if (!icon().isNull()) {
        const QSize size = iconSize().boundedTo(this->size());
        const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2),
                           size);
        icon().paint(&p, target, Qt::AlignCenter, mode);
    } else {
        p.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled,
                                 QPalette::ButtonText));
        p.drawText(rect(), Qt::AlignCenter, text());
    }
}

void PictureButton::mousePressEvent(QMouseEvent* event) {
    emit MouseDown(index_, event->button());
    if (event->button() == Qt::LeftButton) {
        QToolButton::mousePressEvent(event);
    } else {
        // Kept, so that the release comes back to this button.
        event->accept();
    }
}

void PictureButton::mouseMoveEvent(QMouseEvent* event) {
    if (rect().contains(event->position().toPoint())) emit MouseMove(index_);
    QToolButton::mouseMoveEvent(event);
}

void PictureButton::mouseReleaseEvent(QMouseEvent* event) {
    const bool inside = rect().contains(event->position().toPoint());
    const Qt::MouseButton button = event->button();
    // Up comes before the click; the left button's click comes from the base.
    emit MouseUp(index_, button);
    QToolButton::mouseReleaseEvent(event);
    if (button == Qt::RightButton && rightClicks_ && inside && isEnabled()) emit Click(index_);
}

FrameHost::FrameHost(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setAutoFillBackground(true);
}

void FrameHost::DrawFrame(const QWidget* button, int distance, Frame frame) {
    EraseFrame(button, distance);
    if (frame == Frame::None) return;
    frames_.push_back({button, distance, frame});
    update();
}

void FrameHost::EraseFrame(const QWidget* button, int distance) {
    const auto gone = std::remove_if(frames_.begin(), frames_.end(), [&](const Drawn& d) {
        return d.button == button && d.distance == distance;
    });
    if (gone == frames_.end()) return;
    frames_.erase(gone, frames_.end());
    update();
}

FrameHost::Frame FrameHost::FrameAround(const QWidget* button, int distance) const {
    for (const Drawn& d : frames_) {
        if (d.button == button && d.distance == distance) return d.frame;
    }
    return Frame::None;
}

void FrameHost::paintEvent(QPaintEvent*) {
    QPainter p(this);
    for (const Drawn& d : frames_) {
        if (d.button->isHidden()) continue;
        const QRect g = d.button->geometry();
        const int l = g.left() - d.distance, t = g.top() - d.distance;
        const int r = g.right() + d.distance, b = g.bottom() + d.distance;
        const QColor white(255, 255, 255), black(0, 0, 0);
        const QColor topLeft = d.frame == Frame::Raised ? black : white;
        const QColor bottomRight = d.frame == Frame::Raised ? white : black;
        p.setPen(QPen(topLeft, 1));
        p.drawLine(l, t, r, t);
        p.drawLine(l, t, l, b);
        p.setPen(QPen(bottomRight, 1));
        p.drawLine(r, t, r, b);
        p.drawLine(l, b, r, b);
    }
}

void FrameHost::mouseMoveEvent(QMouseEvent* event) {
    emit SurfaceMouseMove();
    QWidget::mouseMoveEvent(event);
}

}  // namespace viewer
