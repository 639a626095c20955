#include "annotations/annotation_layers.h"

#include <algorithm>
#include <vector>

#include "foundation/fields.h"
#include "foundation/number_text.h"
#include "foundation/text_match.h"
#include "platform/rounding.h"
#include "platform/word_rule.h"
#include "render/gdi32.h"

namespace TalqClientAPI_Header {
namespace {

using mGdi32::ImageRect;
using mGdi32::ImageViewTransform;
using platform::RoundToInt;

int Bounded(int count, const AnnotationList& list) {
    return std::clamp<int>(count, 0, static_cast<int>(std::min<std::size_t>(list.size(), 32767)));
}

ImageRect BoxOf(const AnnotationRec& r) {
    return {r.Left, r.Top, r.Right, r.Bottom};
}

mGdi32::AnnotFont FontOf(const AnnotationRec& r) {
    return {r.FontName, r.FontSize, r.FontStyle, r.Color2};
}

// "l,t,r,b" in image pixels.
ImageRect RectText(const std::string& text) {
    return {RoundToInt(mVBUtil::Val(mVBUtil::GetField(",", text, 1))),
            RoundToInt(mVBUtil::Val(mVBUtil::GetField(",", text, 2))),
            RoundToInt(mVBUtil::Val(mVBUtil::GetField(",", text, 3))),
            RoundToInt(mVBUtil::Val(mVBUtil::GetField(",", text, 4)))};
}

}  // namespace

WordBoxes ParseWordBoxes(const std::string& wordList) {
    WordBoxes boxes;
    if (mVBUtil::CountFields("^", wordList) == 0) return boxes;
    int pos = 1;
    while (pos != -1) {
        std::string entry = mVBUtil::NextToken("^", wordList, pos);
        const double left = mVBUtil::Val(mVBUtil::GetField("|", entry, 2));
        const double top = mVBUtil::Val(mVBUtil::GetField("|", entry, 3));
        const double width = mVBUtil::Val(mVBUtil::GetField("|", entry, 4));
        const double height = mVBUtil::Val(mVBUtil::GetField("|", entry, 5));
        boxes.push_back({mVBUtil::GetField("|", entry, 1), RoundToInt(left), RoundToInt(top),
                         RoundToInt(left + width), RoundToInt(top + height)});
    }
    return boxes;
}

void DrawSearchHits(const WordBoxes& words, const std::string& keywords,
                    platform::DrawSurface& picture, const PageDrawInfo& info, std::int32_t color,
                    float factor, std::int16_t outline) {
    if (words.empty()) return;
    std::vector<std::string> wanted;
    const int keywordCount = mVBUtil::CountFields(" ", keywords);
    for (int i = 1; i <= keywordCount; ++i) {
        std::string k = mVBUtil::GetField(" ", keywords, i);
        if (!k.empty()) wanted.push_back(std::move(k));
    }
    if (wanted.empty()) return;
    ImageViewTransform t = mGdi32::TransformFor(info, factor);
    for (const WordBox& w : words) {
        // OCR entries carry the punctuation beside a word ("libraries,"); the
        // server's search finds the words inside, and so does the mark.
        const std::vector<std::string> inside = platform::TextWords(w.word);
        const auto matches = [&](const std::string& keyword) {
            if (mVBUtil::WildcardMatch(w.word, keyword) == 0) return true;
            return std::any_of(inside.begin(), inside.end(), [&](const std::string& word) {
                return mVBUtil::WildcardMatch(word, keyword) == 0;
            });
        };
        for (const std::string& keyword : wanted) {
            if (!matches(keyword)) continue;
            mGdi32::DrawAnnotBox(picture, color, {w.left, w.top, w.right, w.bottom}, t, outline);
        }
    }
}

void DrawSearchHits(const std::string& wordList, const std::string& keywords,
                    platform::DrawSurface& picture, const PageDrawInfo& info, std::int32_t color,
                    float factor, std::int16_t outline) {
    DrawSearchHits(ParseWordBoxes(wordList), keywords, picture, info, color, factor, outline);
}

void DrawRedactions(int count, const AnnotationList& list, platform::DrawSurface& picture,
                    const PageDrawInfo& info, std::int16_t colorMode, float factor,
                    std::int16_t fillStyle) {
    const int n = Bounded(count, list);
    if (n < 1) return;
    ImageViewTransform t = mGdi32::TransformFor(info, factor);
    for (int i = 0; i < n; ++i) {
        const AnnotationRec& r = list[i];
        mGdi32::AnnotFont font = FontOf(r);
        mGdi32::DrawRedactionLabel(picture, r.Color, StampLabel(r.Stamp), font, BoxOf(r),
                                   r.Rotation, t, colorMode, fillStyle);
    }
}

void DrawHighlights(int count, const AnnotationList& list, platform::DrawSurface& picture,
                    const PageDrawInfo& info, std::int16_t outline, float factor) {
    const int n = Bounded(count, list);
    ImageViewTransform t = mGdi32::TransformFor(info, factor);
    for (int i = 0; i < n; ++i) {
        mGdi32::DrawAnnotBox(picture, list[i].Color, BoxOf(list[i]), t, outline);
    }
}

void DrawMarkups(int count, const AnnotationList& list, platform::DrawSurface& picture,
                 const PageDrawInfo& info, std::int16_t /*printFlag*/, float factor) {
    const int n = Bounded(count, list);
    ImageViewTransform t = mGdi32::TransformFor(info, factor);
    for (int i = 0; i < n; ++i) {
        mGdi32::DrawMarkupLine(picture, list[i].Color, list[i].Rotation, list[i].Text, t, 0);
    }
}

void DrawTextNotes(int count, const AnnotationList& list, platform::DrawSurface& picture,
                   const PageDrawInfo& info, std::int16_t printFlag, float factor) {
    const int n = Bounded(count, list);
    ImageViewTransform t = mGdi32::TransformFor(info, factor);
    for (int i = 0; i < n; ++i) {
        const AnnotationRec& r = list[i];
        if (r.Text.empty()) continue;
        mGdi32::AnnotFont font = FontOf(r);
        mGdi32::DrawTextAnnotation(picture, r.Text, font, BoxOf(r), r.Rotation, t, printFlag, 0);
    }
}

void DrawIconAnnotations(int count, const AnnotationList& list, platform::DrawSurface& picture,
                         const PageDrawInfo& info, const QImage& icon, float factor) {
    const int n = Bounded(count, list);
    if (icon.isNull()) return;
    ImageViewTransform t = mGdi32::TransformFor(info, factor);
    const double perImagePixel = static_cast<double>(t.factor) * t.scale;
    for (int i = 0; i < n; ++i) {
        const AnnotationRec& r = list[i];
        std::int32_t ax = r.Left, ay = r.Top;
        std::int32_t bx = RoundToInt(r.Left + icon.width() / perImagePixel);
        std::int32_t by = RoundToInt(r.Top + icon.height() / perImagePixel);
        mGdi32::ImageToScreen(ax, ay, t);
        mGdi32::ImageToScreen(bx, by, t);
        picture.BitBlt(std::min(ax, bx), std::min(ay, by), icon);
    }
}

void DrawQuesterHits(const std::string& hits, const std::string& wordHits,
                     platform::DrawSurface& picture, const PageDrawInfo& info,
                     std::int32_t firstColor, std::int32_t secondColor, float factor) {
    ImageViewTransform t = mGdi32::TransformFor(info, factor);
    int pos = 1;
    while (pos != -1) {
        std::string rect = mVBUtil::NextToken("|", hits, pos);
        if (rect.empty()) break;
        mGdi32::DrawAnnotBox(picture, firstColor, RectText(rect), t, 0);
    }
    pos = 1;
    while (pos != -1) {
        std::string group = mVBUtil::NextToken("|", wordHits, pos);
        if (group.empty()) break;
        int gp = 1;
        while (gp != -1) {
            std::string rect = mVBUtil::NextToken("^", group, gp);
            if (!rect.empty()) mGdi32::DrawAnnotBox(picture, secondColor, RectText(rect), t, 0);
        }
    }
}

}  // namespace TalqClientAPI_Header
