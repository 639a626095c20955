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

// SQL condition on a row r of annotations: the user (parameter ?userParam)
// may not see through redactions in r's project.
std::string OpaqueToUserSql(int userParam);

// SQL condition on a row of pages named row: the page, or another page
// showing the same stored image, has redactions the user (parameter
// ?userParam) may not see through in that page's project. Each hides the
// same pixels, so the page's text and words are held back alike. The pages
// with such redactions are found once per statement, not once per row.
std::string HiddenRedactionsSql(const std::string& row, int userParam);

// SQL condition on a row of pages: the page's text may be searched by the
// user (parameter ?userParam); a page showing redactions the user may not
// see through is left out, as its OCR text is.
std::string SearchableTextSql(int userParam);

// A stored word list ("word|x|y|width|height" joined by "^") without the
// words a box covers any part of, so no word under a redaction is sent.
std::string WordsOutsideRedactions(const std::string& words, const std::vector<QRect>& boxes);

}  // namespace docserver
