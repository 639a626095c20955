#pragma once
// The layers drawn over a page: search hits, redactions, highlights,
// markups, text notes, icons and concept-search hits. Screen, zoom window
// and printing call the same routines with their own surface and transform.
// They keep no state; a count larger than its list draws what the list has.

#include <QImage>

#include <cstdint>
#include <string>
#include <vector>

#include "annotations/annotation_rec.h"
#include "platform/draw_surface.h"
#include "render/image_view_transform.h"

namespace TalqClientAPI_Header {

// A word of a page's word list and its box in image pixels.
struct WordBox {
    std::string word;
    std::int32_t left = 0, top = 0, right = 0, bottom = 0;
};
using WordBoxes = std::vector<WordBox>;
// The word list's "word|x|y|w|h" entries joined by "^", read once per page.
WordBoxes ParseWordBoxes(const std::string& wordList);

// A box around every word that matches one of the blank-separated keywords
// (wildcards).
void DrawSearchHits(const WordBoxes& words, const std::string& keywords,
                    platform::DrawSurface& picture, const PageDrawInfo& info, std::int32_t color,
                    float factor, std::int16_t outline);
// The same from the word list's text.
void DrawSearchHits(const std::string& wordList, const std::string& keywords,
                    platform::DrawSurface& picture, const PageDrawInfo& info, std::int32_t color,
                    float factor, std::int16_t outline);
void DrawRedactions(int count, const AnnotationList& list, platform::DrawSurface& picture,
                    const PageDrawInfo& info, std::int16_t colorMode, float factor,
                    std::int16_t fillStyle);
void DrawHighlights(int count, const AnnotationList& list, platform::DrawSurface& picture,
                    const PageDrawInfo& info, std::int16_t outline, float factor);
void DrawMarkups(int count, const AnnotationList& list, platform::DrawSurface& picture,
                 const PageDrawInfo& info, std::int16_t printFlag, float factor);
void DrawTextNotes(int count, const AnnotationList& list, platform::DrawSurface& picture,
                   const PageDrawInfo& info, std::int16_t printFlag, float factor);
void DrawIconAnnotations(int count, const AnnotationList& list, platform::DrawSurface& picture,
                         const PageDrawInfo& info, const QImage& icon, float factor);
// Rectangles "l,t,r,b" joined by "|" (first list) and groups of them joined
// by "^", the groups by "|" (second list).
void DrawQuesterHits(const std::string& hits, const std::string& wordHits,
                     platform::DrawSurface& picture, const PageDrawInfo& info,
                     std::int32_t firstColor, std::int32_t secondColor, float factor);

}  // namespace TalqClientAPI_Header
