#pragma once
// A pane that shows a drawing surface: the finished back buffer it is pointed
// at, else its own blank one. The paint event only puts it on the screen.

#include <QWidget>

#include "platform/draw_surface.h"

class QScrollBar;

namespace viewer {

class SurfacePane : public QWidget {
    Q_OBJECT
  public:
    explicit SurfacePane(QWidget* parent = nullptr);

    const platform::DrawSurface& Surface() const { return shown_ ? *shown_ : surface_; }
    // Shows the buffer, which must outlive the pane or be replaced first.
    void ShowSurface(const platform::DrawSurface* buffer) { shown_ = buffer; }
    // Shows its own surface, cleared to white at the pane's size.
    void ClearSurface();
    // The bars the mouse wheel over the pane scrolls, as over a scrolled view.
    void ScrollWith(QScrollBar* vertical, QScrollBar* horizontal) {
        vertical_ = vertical;
        horizontal_ = horizontal;
    }

  signals:
    // Mouse events in twips of the pane; button 1 left, 2 right, 4 middle.
    void mouseDown(int button, int shift, int xTwips, int yTwips);
    void mouseMove(int button, int shift, int xTwips, int yTwips);
    void mouseUp(int button, int shift, int xTwips, int yTwips);
    void doubleClicked();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

  private:
    platform::DrawSurface surface_;
    const platform::DrawSurface* shown_ = nullptr;
    QScrollBar* vertical_ = nullptr;
    QScrollBar* horizontal_ = nullptr;
};

// A thin bar the user drags; reports press and release in twips of the
// window's client area.
class SplitterBar : public QWidget {
    Q_OBJECT
  public:
    SplitterBar(Qt::CursorShape cursor, QWidget* parent = nullptr);

  signals:
    void pressed(int xTwips, int yTwips);
    void released(int xTwips, int yTwips);

  protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    void Report(QMouseEvent* event, bool press);
};

}  // namespace viewer
