#pragma once
// One page as a view shows it: the page image and where it is drawn, the
// layers in force, and the rights and modes that gate them. Every view of a
// page (the page pane, the zoom window and printing) paints it with PaintPage
// onto its own surface.

#include <QImage>

#include <cstdint>
#include <string>

#include "annotations/annotation_layers.h"
#include "annotations/annotation_rec.h"
#include "platform/draw_surface.h"
#include "render/gdi_lead.h"
#include "render/image_view_transform.h"

// The layers a view shows; a null list is a layer the view leaves out.
struct PageLayers {
    const TalqClientAPI_Header::WordBoxes* words = nullptr;
    std::string searchKeywords;  // blank-separated; none draws no search hits
    PerKind<const KindList*> annotations{};
    const QImage* stickyIcon = nullptr;
    const QImage* clipIcon = nullptr;
    // Concept-search hits: the hit boxes and the word boxes within them.
    const std::string* questerHits = nullptr;
    const std::string* questerWordHits = nullptr;
};

struct PageScene {
    cGdiLead* image = nullptr;  // the engine holding the page
    // The whole page scaled to width x height, scrolled by the offsets.
    std::int32_t offsetX = 0, offsetY = 0, width = 0, height = 0;
    PageDrawInfo info;    // the layers' transform
    float factor = 1.0F;  // the view's second factor: the scale the page was sent at
    PageLayers layers;
    // A restricted page shows its image and redactions only: without them
    // the server's image of it would show what they cover.
    bool restricted = false;
    std::int32_t annotationAccess = 0;    // 2 and above hides the annotations
    std::int32_t behaviorFlags = 0;       // bits that hide single annotation layers
    std::int16_t redactionFill = 0;       // fill style of redactions
    std::int16_t redactionColorMode = 0;  // 0 as marked, 1 black, 2 white (printing)
};

// The page image, then search hits, redactions, highlights, markups, text
// notes, sticky notes, clips and concept-search hits, each as the scene's
// rights and flags allow.
void PaintPage(const PageScene& scene, platform::DrawSurface& surface);
