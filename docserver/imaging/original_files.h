#pragma once
// Renders the pages of a document's original file (PDF, multi-page TIFF,
// another image format or plain text) as images, one page at a time.

#include <QImage>

#include <memory>
#include <string>
#include <vector>

#include "imaging/page_typesetter.h"

namespace docserver::imaging {

class OriginalFile {
  public:
    // Opens the file by its content (PDF and TIFF by their signatures, other
    // images by their format, anything else as plain text). Null when it
    // cannot be read.
    static std::unique_ptr<OriginalFile> Open(const std::string& path);
    // The same, but the file last opened is kept while it is unchanged, so
    // paging through it reads and lays it out once.
    static std::shared_ptr<const OriginalFile> OpenShared(const std::string& path);
    virtual ~OriginalFile() = default;

    virtual int PageCount() const = 0;
    // Page numbers start at 1; a null image outside 1..PageCount().
    virtual QImage RenderPage(int page, int dpi) const = 0;
};

// One page as PNG bytes, in colour or as black and white.
struct RenderedOriginal {
    enum Outcome { kPage, kPastEnd, kFailed } outcome = kFailed;
    std::string png;
};
RenderedOriginal RenderOriginalPage(const std::string& path, int page, bool colour, int dpi = 100);

// Typesets the pages as the text of a PDF (vector text, one size for all).
bool WriteTextPdf(const std::vector<PageText>& pages, PageSize size, const std::string& path);

// A text as one page image sized to hold every line (at least a letter page),
// up to this many pages; lines past them are left out.
constexpr int kMaxTextImagePages = 12;
QImage RenderTextImage(const std::string& text, int dpi = 100);

}  // namespace docserver::imaging
