#include "viewer/widgets/surface_pane.h"

#include <QApplication>
#include <QMouseEvent>
#include <QScrollBar>
#include <QWheelEvent>

#include <QPainter>
#include <cstdlib>

#include "platform/rounding.h"

namespace viewer {

SurfacePane::SurfacePane(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
}

void SurfacePane::ClearSurface() {
    shown_ = nullptr;
    if (surface_.Width() != width() || surface_.Height() != height() || !surface_.IsValid()) {
        surface_.Resize(std::max(width(), 1), std::max(height(), 1));
    } else {
        surface_.Clear();
    }
}

void SurfacePane::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    const platform::DrawSurface& shown = Surface();
    if (shown.IsValid()) p.drawImage(0, 0, shown.Image());
}

namespace {

int ButtonBits(Qt::MouseButtons b) {
    return (b & Qt::LeftButton ? 1 : 0) | (b & Qt::RightButton ? 2 : 0) |
           (b & Qt::MiddleButton ? 4 : 0);
}

int ShiftBits(Qt::KeyboardModifiers m) {
    return (m & Qt::ShiftModifier ? 1 : 0) | (m & Qt::ControlModifier ? 2 : 0) |
           (m & Qt::AltModifier ? 4 : 0);
}

int TwipsX(const QMouseEvent* e) {
    return platform::RoundToInt(e->position().x() * platform::ScreenTwipsPerPixel().x);
}
int TwipsY(const QMouseEvent* e) {
    return platform::RoundToInt(e->position().y() * platform::ScreenTwipsPerPixel().y);
}

}  // namespace

void SurfacePane::mousePressEvent(QMouseEvent* e) {
    emit mouseDown(ButtonBits(e->button()), ShiftBits(e->modifiers()), TwipsX(e), TwipsY(e));
}
void SurfacePane::mouseMoveEvent(QMouseEvent* e) {
    emit mouseMove(ButtonBits(e->buttons()), ShiftBits(e->modifiers()), TwipsX(e), TwipsY(e));
}
void SurfacePane::mouseReleaseEvent(QMouseEvent* e) {
    emit mouseUp(ButtonBits(e->button()), ShiftBits(e->modifiers()), TwipsX(e), TwipsY(e));
}
void SurfacePane::mouseDoubleClickEvent(QMouseEvent*) {
    emit doubleClicked();
}

void SurfacePane::wheelEvent(QWheelEvent* event) {
    // A sideways turn, or Alt held, moves the page across; else up and down.
    const QPoint turn = event->angleDelta();
    const bool across =
        std::abs(turn.x()) > std::abs(turn.y()) || (event->modifiers() & Qt::AltModifier) != 0;
    QScrollBar* bar = across ? horizontal_ : vertical_;
    if (bar == nullptr || !bar->isVisible() || !bar->isEnabled()) {
        event->ignore();
        return;
    }
    QApplication::sendEvent(bar, event);
}

SplitterBar::SplitterBar(Qt::CursorShape cursor, QWidget* parent) : QWidget(parent) {
    setCursor(cursor);
    setAutoFillBackground(true);
}

void SplitterBar::mousePressEvent(QMouseEvent* event) {
    Report(event, true);
}
void SplitterBar::mouseReleaseEvent(QMouseEvent* event) {
    Report(event, false);
}

void SplitterBar::Report(QMouseEvent* event, bool press) {
    if (event->button() != Qt::LeftButton) return;
    const platform::TwipsPerPixel tpp = platform::ScreenTwipsPerPixel();
    // Positions relative to the bar itself, as the bar's own mouse events give them.
    const int x = platform::RoundToInt(event->position().x() * tpp.x);
    const int y = platform::RoundToInt(event->position().y() * tpp.y);
    if (press) {
        emit pressed(x, y);
    } else {
        emit released(x, y);
    }
}

}  // namespace viewer
