#pragma once
// A pane that shows a drawing surface: the redisplay copies the finished back
// buffer into it and the paint event only puts that copy on the screen.

#include <QWidget>

#include "platform/draw_surface.h"

namespace viewer {

class SurfacePane : public QWidget {
    Q_OBJECT
  public:
    explicit SurfacePane(QWidget* parent = nullptr);

    platform::DrawSurface& Surface() { return surface_; }
    const platform::DrawSurface& Surface() const { return surface_; }
    // Clears to white at the pane's own size.
    void ClearSurface();

  protected:
    void paintEvent(QPaintEvent* event) override;

  private:
    platform::DrawSurface surface_;
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
