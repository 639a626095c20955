#include "viewer/page_scene.h"

using namespace TalqClientAPI_Header;

namespace {

// A kind's feature bit among the behaviour flags hides its layer.
bool Shows(const KindList* layer, AnnotationKind kind, std::int32_t flags) {
    return layer != nullptr && layer->count > 0 && (flags & KindFacts(kind).featureBit) == 0;
}

void DrawLayer(AnnotationKind kind, const KindList& k, const PageLayers& l,
               platform::DrawSurface& surface, const PageDrawInfo& info, float factor) {
    switch (kind) {
        case kHighlight:
            DrawHighlights(k.count, k.list, surface, info, 0, factor);
            break;
        case kMarkup:
            DrawMarkups(k.count, k.list, surface, info, 0, factor);
            break;
        case kTextNote:
            DrawTextNotes(k.count, k.list, surface, info, 0, factor);
            break;
        case kStickyNote:
        case kClip:
            if (const QImage* icon = kind == kClip ? l.clipIcon : l.stickyIcon)
                DrawIconAnnotations(k.count, k.list, surface, info, *icon, factor);
            break;
        default:
            break;
    }
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
    // Redactions are no layer a flag hides, and a restricted page keeps them.
    if (const KindList* red = l.annotations[kRedaction]; red != nullptr && red->count > 0) {
        DrawRedactions(red->count, red->list, surface, info, scene.redactionColorMode, factor,
                       scene.redactionFill);
    }
    if (!scene.restricted && scene.annotationAccess < 2) {
        for (AnnotationKind kind : {kHighlight, kMarkup, kTextNote, kStickyNote, kClip}) {
            const KindList* layer = l.annotations[kind];
            if (Shows(layer, kind, scene.behaviorFlags))
                DrawLayer(kind, *layer, l, surface, info, factor);
        }
    }
    if (!scene.restricted && l.questerHits != nullptr && !l.questerHits->empty()) {
        DrawQuesterHits(*l.questerHits, l.questerWordHits ? *l.questerWordHits : std::string(),
                        surface, info, 65535, 255, factor);
    }
}
