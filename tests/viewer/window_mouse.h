#pragma once
// The reviewer's mouse on the main window's page, in screen pixels.

#include <cstdint>

#include "annotations/annotation_rec.h"
#include "render/image_view_transform.h"
#include "viewer/widgets/frm_view.h"

namespace testsupport {

// A drag with the drawing tool from one point to another.
inline void DragOn(viewer::frmView& window, int tool, int x1, int y1, int x2, int y2) {
    window.project.RedactMode = static_cast<std::int16_t>(tool);
    window.picImage_MouseDown(1, 0, x1 * 15, y1 * 15);
    window.picImage_MouseMove(1, 0, x2 * 15, y2 * 15);
    window.picImage_MouseUp(1, 0, x2 * 15, y2 * 15);
}

// A right click in the middle of a stored record.
inline void RightClickOn(viewer::frmView& window, const AnnotationRec& r) {
    window.project.RedactMode = 0;
    mGdi32::ImageViewTransform t =
        mGdi32::TransformFor(window.MainPageDrawInfo(), window.page.g_ViewScaleFactor);
    std::int32_t x = (r.Left + r.Right) / 2, y = (r.Top + r.Bottom) / 2;
    mGdi32::ImageToScreen(x, y, t);
    window.picImage_MouseDown(2, 0, x * 15, y * 15);
}

}  // namespace testsupport
