#pragma once
// Renders the pages of a document's original file (PDF, multi-page TIFF or
// plain text) as images, one page at a time.

#include <QImage>

#include <memory>
#include <string>
#include <vector>

#include "imaging/page_typesetter.h"

namespace docserver::imaging {

class OriginalFile {
  public:
    // Opens the file by its content (PDF and TIFF by their signatures,
    // anything else as plain text). Null when it cannot be read.
    static std::unique_ptr<OriginalFile> Open(const std::string& path);
    virtual ~OriginalFile() = default;

    virtual int PageCount() const = 0;
    // Page numbers start at 1; a null image outside 1..PageCount().
    virtual QImage RenderPage(int page, int dpi) const = 0;
};

// The page as PNG bytes, or "" past the last page or when the file cannot be
// read, so the caller can answer its end marker.
std::string RenderOriginalPage(const std::string& path, int page, int dpi = 100);

// Typesets the pages as the text of a PDF (vector text, one size for all).
bool WriteTextPdf(const std::vector<PageText>& pages, PageSize size, const std::string& path);

// A text as one page image sized to hold every line (at least a letter page),
// up to this many pages; lines past them are left out.
constexpr int kMaxTextImagePages = 12;
QImage RenderTextImage(const std::string& text, int dpi = 100);

}  // namespace docserver::imaging
