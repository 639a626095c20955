#include "viewer/mouse_tools.h"

#include <algorithm>
#include <cstdlib>

#include "annotations/annotation_edit.h"

namespace viewer {
namespace {

bool FarEnough(const MousePoint& a, const MousePoint& b) {
    return std::abs(std::int64_t{a.twipsX} - b.twipsX) >= annotations::kMinMoveTwips ||
           std::abs(std::int64_t{a.twipsY} - b.twipsY) >= annotations::kMinMoveTwips;
}

}  // namespace

void RubberBandTool::Begin(const MousePoint& p) {
    start_ = p;
    band_ = {p.imageX, p.imageY, p.imageX, p.imageY};
}

void RubberBandTool::DrawBand(platform::DrawSurface& screen, mGdi32::ImageViewTransform& t) {
    // An inverting frame: drawn twice it is gone.
    if (band_.left != band_.right || band_.top != band_.bottom)
        mGdi32::DrawRubberBandRect(screen, band_, t);
}

void RubberBandTool::Move(const MousePoint& p, platform::DrawSurface& screen,
                          mGdi32::ImageViewTransform& t) {
    DrawBand(screen, t);
    band_.right = p.imageX;
    band_.bottom = p.imageY;
    DrawBand(screen, t);
}

bool RubberBandTool::Finish(const MousePoint& p, platform::DrawSurface& screen,
                            mGdi32::ImageViewTransform& t) {
    DrawBand(screen, t);
    // A click with a tool makes nothing.
    if (!FarEnough(p, start_)) return false;
    band_ = {std::min(start_.imageX, p.imageX), std::min(start_.imageY, p.imageY),
             std::max(start_.imageX, p.imageX), std::max(start_.imageY, p.imageY)};
    return true;
}

AnnotationRec RubberBandTool::Record() const {
    AnnotationRec r;
    r.Left = band_.left;
    r.Top = band_.top;
    r.Right = band_.right;
    r.Bottom = band_.bottom;
    return r;
}

MarkupTool::MarkupTool(int tool, std::int32_t color, std::int32_t penPixels, std::int32_t penSize)
    : MouseTool(tool), color_(color), penPixels_(std::max(penPixels, 1)), penSize_(penSize) {}

void MarkupTool::Begin(const MousePoint& p) {
    start_ = last_ = p;
    points_.clear();
}

void MarkupTool::TakePoint(const MousePoint& p, platform::DrawSurface& screen) {
    if (PointCount() >= annotations::kMaxMarkupPoints || !FarEnough(p, last_)) return;
    screen.DrawMode = platform::kDrawMaskPen;
    screen.DrawStyle = platform::kDrawSolid;
    screen.DrawWidth = penPixels_;
    screen.Line(last_.twipsX, last_.twipsY, p.twipsX, p.twipsY, color_);
    if (points_.empty()) points_.emplace_back(start_.imageX, start_.imageY);
    points_.emplace_back(p.imageX, p.imageY);
    last_ = p;
}

void MarkupTool::Move(const MousePoint& p, platform::DrawSurface& screen,
                      mGdi32::ImageViewTransform&) {
    TakePoint(p, screen);
}

bool MarkupTool::Finish(const MousePoint& p, platform::DrawSurface& screen,
                        mGdi32::ImageViewTransform&) {
    TakePoint(p, screen);
    return !points_.empty();
}

AnnotationRec MarkupTool::Record() const {
    AnnotationRec r;
    r.Left = r.Right = start_.imageX;
    r.Top = r.Bottom = start_.imageY;
    r.Rotation = penSize_;
    r.Color = color_;
    r.Text = annotations::MarkupPointText(points_);
    return r;
}

std::unique_ptr<MouseTool> MakeAnnotationTool(int tool, std::int32_t markupColor,
                                              std::int32_t markupPenPixels,
                                              std::int32_t markupPenSize) {
    switch (tool) {
        case annotations::kToolTextNote:
        case annotations::kToolRedaction:
        case annotations::kToolHighlight:
            return std::make_unique<RubberBandTool>(tool);
        case annotations::kToolSticky:
        case annotations::kToolClip:
            return std::make_unique<IconPlacementTool>(tool);
        case annotations::kToolMarkup:
            return std::make_unique<MarkupTool>(tool, markupColor, markupPenPixels, markupPenSize);
        default:
            return nullptr;
    }
}

}  // namespace viewer
