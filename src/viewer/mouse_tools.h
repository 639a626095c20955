#pragma once
// One object per mouse tool of the page pane: the rubber band of the box
// kinds, the icon placement of sticky notes and clips, the markup capture
// and the zoom window's positioning. A tool follows one drag and draws its
// own feedback on the page's surface; what a finished drag becomes (dialogs,
// the list and its save) is the window's.

#include <cstdint>
#include <functional>
#include <memory>
#include <utility>
#include <vector>

#include "annotations/annotation_rec.h"
#include "platform/draw_surface.h"
#include "render/gdi32.h"

namespace viewer {

// One mouse position in every unit a tool needs.
struct MousePoint {
    std::int32_t twipsX = 0, twipsY = 0;      // as the pane reports it
    std::int32_t displayX = 0, displayY = 0;  // screen pixel plus the scroll offsets
    std::int32_t imageX = 0, imageY = 0;      // stored image pixel
};

class MouseTool {
  public:
    explicit MouseTool(int tool) : tool_(tool) {}
    virtual ~MouseTool() = default;
    // The latched tool (11 to 16) or 1 for the zoom window.
    int Tool() const { return tool_; }
    virtual void Begin(const MousePoint& p) = 0;
    virtual void Move(const MousePoint& p, platform::DrawSurface& screen,
                      mGdi32::ImageViewTransform& t) = 0;
    // The last position; true when the drag made a shape (Record() gives it).
    virtual bool Finish(const MousePoint& p, platform::DrawSurface& screen,
                        mGdi32::ImageViewTransform& t) = 0;
    // The shape's place in a new record; every other field is the window's.
    virtual AnnotationRec Record() const { return {}; }

  private:
    int tool_;
};

// Redactions, highlights and text notes: a band from the mouse-down point,
// normalised when it ends.
class RubberBandTool : public MouseTool {
  public:
    using MouseTool::MouseTool;
    void Begin(const MousePoint& p) override;
    void Move(const MousePoint& p, platform::DrawSurface& screen,
              mGdi32::ImageViewTransform& t) override;
    bool Finish(const MousePoint& p, platform::DrawSurface& screen,
                mGdi32::ImageViewTransform& t) override;
    AnnotationRec Record() const override;
    const mGdi32::ImageRect& Band() const { return band_; }

  private:
    void DrawBand(platform::DrawSurface& screen, mGdi32::ImageViewTransform& t);
    mGdi32::ImageRect band_;
    MousePoint start_;
};

// Sticky notes and clips: dragged like a band; the icon sits at the band's
// top-left corner, the other corner is kept as dragged.
class IconPlacementTool : public RubberBandTool {
  public:
    using RubberBandTool::RubberBandTool;
};

// Markups: a point each time the mouse has moved far enough, at most 50.
class MarkupTool : public MouseTool {
  public:
    // The pen as drawn while capturing: colour and width in screen pixels.
    MarkupTool(int tool, std::int32_t color, std::int32_t penPixels, std::int32_t penSize);
    void Begin(const MousePoint& p) override;
    void Move(const MousePoint& p, platform::DrawSurface& screen,
              mGdi32::ImageViewTransform& t) override;
    bool Finish(const MousePoint& p, platform::DrawSurface& screen,
                mGdi32::ImageViewTransform& t) override;
    AnnotationRec Record() const override;
    int PointCount() const { return static_cast<int>(points_.size()); }

  private:
    void TakePoint(const MousePoint& p, platform::DrawSurface& screen);
    std::int32_t color_, penPixels_, penSize_;
    MousePoint start_, last_;
    std::vector<std::pair<std::int32_t, std::int32_t>> points_;
};

// No tool latched: the zoom window shows the spot under the mouse.
class ZoomPositionTool : public MouseTool {
  public:
    // place gets the spot in display pixels of the main view.
    explicit ZoomPositionTool(std::function<void(std::int32_t, std::int32_t)> place)
        : MouseTool(1), place_(std::move(place)) {}
    void Begin(const MousePoint& p) override { place_(p.displayX, p.displayY); }
    void Move(const MousePoint& p, platform::DrawSurface&, mGdi32::ImageViewTransform&) override {
        place_(p.displayX, p.displayY);
    }
    bool Finish(const MousePoint& p, platform::DrawSurface&, mGdi32::ImageViewTransform&) override {
        place_(p.displayX, p.displayY);
        return false;
    }

  private:
    std::function<void(std::int32_t, std::int32_t)> place_;
};

// The tool for a latched tool number (11 to 16); null for any other.
std::unique_ptr<MouseTool> MakeAnnotationTool(int tool, std::int32_t markupColor,
                                              std::int32_t markupPenPixels,
                                              std::int32_t markupPenSize);

}  // namespace viewer
