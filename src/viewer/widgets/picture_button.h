#pragma once
// The button of every toolbar array: a picture with a tooltip and an Index,
// reporting its mouse as the toolbar handlers expect it (down, move, up, then
// a click only when released inside), and the strip that holds such buttons
// and draws their frames on itself, where every repaint keeps them.

#include <QToolButton>

#include <vector>

namespace viewer {

class PictureButton : public QToolButton {
    Q_OBJECT
  public:
    PictureButton(int index, QWidget* parent);

    int Index() const { return index_; }
    // A release of the right button inside the button is a click too.
    void SetRightClicks(bool on) { rightClicks_ = on; }

  signals:
    void MouseDown(int index, Qt::MouseButton button);
    void MouseMove(int index);
    void MouseUp(int index, Qt::MouseButton button);
    void Click(int index);

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    int index_;
    bool rightClicks_ = false;
};

// A toolbar's container. Frames are four lines just outside a button: pressed
// (white top and left, black right and bottom), raised (the other way round)
// and the latched tool's (as pressed, further out).
class FrameHost : public QWidget {
    Q_OBJECT
  public:
    enum class Frame { None, Pressed, Raised };
    explicit FrameHost(QWidget* parent = nullptr);

    // Distance in pixels outside the button.
    void DrawFrame(const QWidget* button, int distance, Frame frame);
    void EraseFrame(const QWidget* button, int distance);
    Frame FrameAround(const QWidget* button, int distance) const;

  signals:
    // The mouse moved over the container's own surface.
    void SurfaceMouseMove();

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

  private:
    struct Drawn {
        const QWidget* button;
        int distance;
        Frame frame;
    };
    std::vector<Drawn> frames_;
};

}  // namespace viewer
