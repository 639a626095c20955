#pragma once
// An annotation record that is only a box in one colour.

#include "annotations/annotation_rec.h"

namespace testsupport {

inline AnnotationRec AnnotationBox(int left, int top, int right, int bottom, std::int32_t colour) {
    AnnotationRec rec;
    rec.Left = left;
    rec.Top = top;
    rec.Right = right;
    rec.Bottom = bottom;
    rec.Color = colour;
    return rec;
}

}  // namespace testsupport
