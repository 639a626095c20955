#pragma once
// Page images for users who may not see through redactions: the boxes of
// the page's redaction list burned into the pixels, opaque black, in the
// image at whatever quality it is sent.

#include <QRect>

#include <string>
#include <vector>

namespace docserver {

// The boxes of a redaction list as stored (records separated by character
// 24, fields by character 31, starting left, top, right, bottom in pixels
// of the stored image).
std::vector<QRect> RedactionBoxes(const std::string& list);

// The boxes in the pixels of the image reduced by scale, grown outward to
// whole pixels and by one more, which resampling may have blended in.
std::vector<QRect> ScaledBoxes(const std::vector<QRect>& boxes, double scale);

// The stored image with the boxes filled, in the stored image's kind
// (bitonal pages stay Group 4 TIFF, JPEG pages stay JPEG, others PNG) and
// resolution; false when the image cannot be read or written.
bool BurnRedactions(const std::string& stored, const std::vector<QRect>& boxes, std::string& out);

// SQL condition on a row of pages: the page's text may be searched by the
// user. Parameter ?param is 1 for a user who sees through redactions; for
// the others a page with redactions is left out, as its OCR text is.
std::string SearchableTextSql(int param);

// A stored word list ("word|x|y|width|height" joined by "^") without the
// words a box covers any part of, so no word under a redaction is sent.
std::string WordsOutsideRedactions(const std::string& words, const std::vector<QRect>& boxes);

}  // namespace docserver
