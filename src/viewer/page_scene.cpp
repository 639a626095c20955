#include "viewer/page_scene.h"

using namespace TalqClientAPI_Header;

namespace {

// Behaviour flags that hide one annotation layer each.
constexpr std::int32_t kHideHighlights = 0x80;
constexpr std::int32_t kHideMarkups = 0x40;
constexpr std::int32_t kHideTextNotes = 0x20;
constexpr std::int32_t kHideStickies = 0x10;
constexpr std::int32_t kHideClips = 0x1000;

bool Shows(const AnnotationList* list, int count, std::int32_t flags, std::int32_t hideBit) {
    return list != nullptr && count > 0 && (flags & hideBit) == 0;
}

}  // namespace

void PaintPage(const PageScene& scene, platform::DrawSurface& surface) {
    if (scene.image == nullptr) return;
    scene.image->SetGraphicsOutput(&surface);
    scene.image->DrawImageRect(scene.offsetX, scene.offsetY, scene.width, scene.height,
                               surface.Width(), surface.Height());

    const PageLayers& l = scene.layers;
    const PageDrawInfo& info = scene.info;
    const float factor = scene.factor;
    if (!scene.restricted && l.words != nullptr && !l.searchKeywords.empty()) {
        DrawSearchHits(*l.words, l.searchKeywords, surface, info, 255, factor, 0);
    }
    if (l.redactions != nullptr && l.redactionCount > 0) {
        DrawRedactions(l.redactionCount, *l.redactions, surface, info, scene.redactionColorMode,
                       factor, scene.redactionFill);
    }
    if (!scene.restricted && scene.annotationAccess < 2) {
        const std::int32_t flags = scene.behaviorFlags;
        if (Shows(l.highlights, l.highlightCount, flags, kHideHighlights)) {
            DrawHighlights(l.highlightCount, *l.highlights, surface, info, 0, factor);
        }
        if (Shows(l.markups, l.markupCount, flags, kHideMarkups)) {
            DrawMarkups(l.markupCount, *l.markups, surface, info, 0, factor);
        }
        if (Shows(l.textNotes, l.textNoteCount, flags, kHideTextNotes)) {
            DrawTextNotes(l.textNoteCount, *l.textNotes, surface, info, 0, factor);
        }
        if (Shows(l.stickies, l.stickyCount, flags, kHideStickies) && l.stickyIcon != nullptr) {
            DrawIconAnnotations(l.stickyCount, *l.stickies, surface, info, *l.stickyIcon, factor);
        }
        if (Shows(l.clips, l.clipCount, flags, kHideClips) && l.clipIcon != nullptr) {
            DrawIconAnnotations(l.clipCount, *l.clips, surface, info, *l.clipIcon, factor);
        }
    }
    if (!scene.restricted && l.questerHits != nullptr && !l.questerHits->empty()) {
        DrawQuesterHits(*l.questerHits, l.questerWordHits ? *l.questerWordHits : std::string(),
                        surface, info, 65535, 255, factor);
    }
}
