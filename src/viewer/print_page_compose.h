#pragma once
// A printed page as the print engine receives it: the page image, already
// turned, drawn at its own size on a surface of the print's own (never the
// screen's back buffer) with the annotation layers the request allows.

#include <string>

#include "annotations/annotation_rec.h"
#include "platform/draw_surface.h"
#include "printing/print_page_rules.h"

class cGdiLead;

namespace viewer {

// The six annotation lists of a page parsed; sticky notes and clips never print.
struct PageAnnotationLists : PageLists {
    // Parses the server's lists of the kinds that print.
    void Parse(const AnnotationTexts& lists);
};

// Draws the image of the engine and its layers onto out, sized to the image
// in pixels; layerRotation is the rotation the layers' coordinates need.
// False, with the error text, when the surface cannot take the image.
bool ComposePrintPage(cGdiLead& image, const PageAnnotationLists& lists,
                      const printing::PrintLayers& layers, std::int16_t layerRotation,
                      platform::DrawSurface& out, std::string& error);

}  // namespace viewer
