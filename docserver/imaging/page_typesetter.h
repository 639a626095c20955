#pragma once
// Typesets text onto page images as a scanner would have captured them, and
// reports where every word landed so the word list matches the ink.

#include <QImage>

class QPainter;

#include <string>
#include <vector>

namespace docserver::imaging {

constexpr int kStoredDpi = 300;

enum class PageSize { Letter, Legal, LetterLandscape };

enum class PageColour { Bitonal, Grey, Colour };

// One word as drawn, in image pixels of the page it belongs to.
struct WordBox {
    std::string word;
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
    bool operator==(const WordBox&) const = default;
};

struct PageText {
    std::string heading;
    std::vector<std::string> paragraphs;  // wrapped to the page width
    std::string stamp;                    // bottom right, e.g. the page key
};

struct RenderedPage {
    QImage image;  // bitonal pages: Format_Grayscale8 holding only 0 and 255
    std::vector<WordBox> words;
    // The words line by line, lines ended by CR LF, as an OCR pass reads them.
    std::string ocrText;
};

QSize PagePixels(PageSize size, int dpi = kStoredDpi);

// Paragraph text that does not fit the page is dropped (and absent from the
// word list); callers size their text to the page.
RenderedPage TypesetPage(const PageText& text, PageSize size, PageColour colour);

// The same layout onto any surface (a PDF page, say) of the given size in
// device pixels at dpi; the words are appended to page.words and page.ocrText.
void PaintPage(QPainter& painter, const PageText& text, QSize pixels, int dpi, PageColour colour,
               RenderedPage& page);

// A text laid out as plain lines on letter pages at a resolution, long lines
// wrapped. Blank lines are kept.
struct PlainTextLayout {
    QSize size;
    int dpi = 100;
    std::vector<std::string> lines;
    int perPage = 1;
    // Laid out by PlainGlyphs, without Qt's fonts: painted by them too.
    bool ownGlyphs = false;
    int PageCount() const;  // at least 1
};
PlainTextLayout LayOutPlainText(const std::string& text, int dpi);
// Page index (from 0) of the layout.
RenderedPage PaintPlainTextPage(const PlainTextLayout& layout, int index);

// The first maxPages pages of the layout.
std::vector<RenderedPage> TypesetPlainText(const std::string& text, int dpi,
                                           int maxPages = 1 << 30);

// "word|x|y|width|height" entries joined by "^", the form the viewer reads;
// the words follow the one word rule (word_rule.h).
std::string FormatWordList(const std::vector<WordBox>& words);

}  // namespace docserver::imaging
