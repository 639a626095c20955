#include "imaging/page_typesetter.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <array>
#include <optional>
#include <sstream>

#include "imaging/plain_glyphs.h"
#include "platform/rounding.h"
#include "platform/text_codec.h"
#include "platform/word_rule.h"

namespace docserver::imaging {

namespace {

int PointsToPixels(double points, int dpi) {
    return platform::RoundToInt(points * dpi / 72.0);
}

QFont PageFont(const char* family, int pixelSize, bool bold, bool antialias) {
    QFont font(QString::fromLatin1(family));
    font.setFamilies({QString::fromLatin1(family), QStringLiteral("Arial")});
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    font.setKerning(false);  // each word is measured alone, so draw it alone
    font.setHintingPreference(QFont::PreferFullHinting);
    font.setStyleStrategy(antialias ? QFont::PreferAntialias : QFont::NoAntialias);
    return font;
}

std::vector<std::string> SplitWords(const std::string& text) {
    std::vector<std::string> words;
    std::istringstream in(text);
    std::string word;
    while (in >> word) words.push_back(word);
    return words;
}

struct Ink {
    QColor paper;
    QColor heading;
    QColor body;
    QColor stamp;
    bool antialias;
};

Ink InkFor(PageColour colour) {
    switch (colour) {
        case PageColour::Grey:
            return {QColor(242, 242, 242), QColor(20, 20, 20), QColor(40, 40, 40),
                    QColor(70, 70, 70), true};
        case PageColour::Colour:
            return {QColor(250, 245, 228), QColor(20, 40, 120), QColor(25, 25, 30),
                    QColor(170, 30, 30), true};
        case PageColour::Bitonal:
            break;
    }
    return {Qt::white, Qt::black, Qt::black, Qt::black, false};
}

// Draws words left to right from (x, baseline), recording each box. Returns
// the pen position after the last word.
class WordPen {
  public:
    WordPen(QPainter& painter, RenderedPage& page) : painter_(painter), page_(page) {}

    void Use(const QFont& font, const QColor& colour) {
        painter_.setFont(font);
        painter_.setPen(colour);
        metrics_.emplace(font, painter_.device());
    }
    const QFontMetrics& Metrics() const { return *metrics_; }
    int Advance(const std::string& word) const {
        return metrics_->horizontalAdvance(platform::ToQString(word));
    }
    int SpaceWidth() const { return metrics_->horizontalAdvance(QLatin1Char(' ')); }

    // Draws one line of words; the OCR text gets the line and a CR LF.
    void DrawLine(const std::vector<std::string>& words, int x, int baseline) {
        std::string line;
        for (const auto& word : words) {
            const QString text = platform::ToQString(word);
            painter_.drawText(QPoint(x, baseline), text);
            const int advance = metrics_->horizontalAdvance(text);
            const QRect ink = metrics_->boundingRect(text);
            const int left = x + std::min(0, ink.left());
            const int right = x + std::max(advance, ink.right() + 1);
            const int top = baseline - std::max(metrics_->ascent(), -ink.top());
            const int bottom = baseline + std::max(metrics_->descent(), ink.bottom() + 1);
            page_.words.push_back({word, left, top, right - left, bottom - top});
            if (!line.empty()) line += ' ';
            line += word;
            x += advance + SpaceWidth();
        }
        page_.ocrText += line;
        page_.ocrText += "\r\n";
    }

  private:
    QPainter& painter_;
    RenderedPage& page_;
    std::optional<QFontMetrics> metrics_;
};

// Greedy wrap of the words into lines no wider than width.
std::vector<std::vector<std::string>> Wrap(const std::vector<std::string>& words,
                                           const WordPen& pen, int width) {
    std::vector<std::vector<std::string>> lines;
    std::vector<std::string> line;
    int used = 0;
    for (const auto& word : words) {
        const int advance = pen.Advance(word);
        const int needed = line.empty() ? advance : used + pen.SpaceWidth() + advance;
        if (!line.empty() && needed > width) {
            lines.push_back(std::move(line));
            line.clear();
            used = advance;
        } else {
            used = needed;
        }
        line.push_back(word);
    }
    if (!line.empty()) lines.push_back(std::move(line));
    return lines;
}

}  // namespace

QSize PagePixels(PageSize size, int dpi) {
    const auto px = [dpi](double inches) { return platform::RoundToInt(inches * dpi); };
    switch (size) {
        case PageSize::Legal:
            return {px(8.5), px(14.0)};
        case PageSize::LetterLandscape:
            return {px(11.0), px(8.5)};
        case PageSize::Letter:
            break;
    }
    return {px(8.5), px(11.0)};
}

RenderedPage TypesetPage(const PageText& text, PageSize size, PageColour colour) {
    RenderedPage page;
    // Bitonal pages need no colour: a quarter of the memory to fill and scan.
    page.image =
        QImage(PagePixels(size, kStoredDpi),
               colour == PageColour::Bitonal ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
    page.image.fill(InkFor(colour).paper);
    const int dpm = platform::RoundToInt(kStoredDpi / 0.0254);
    page.image.setDotsPerMeterX(dpm);
    page.image.setDotsPerMeterY(dpm);
    QPainter painter(&page.image);
    PaintPage(painter, text, page.image.size(), kStoredDpi, colour, page);
    return page;
}

void PaintPage(QPainter& painter, const PageText& text, QSize pixels, int dpi, PageColour colour,
               RenderedPage& page) {
    const Ink ink = InkFor(colour);
    painter.setRenderHint(QPainter::TextAntialiasing, ink.antialias);
    painter.setRenderHint(QPainter::Antialiasing, ink.antialias);
    WordPen pen(painter, page);

    const int margin = dpi;  // one inch
    const int right = pixels.width() - margin;
    const int bottom = pixels.height() - margin;
    int baseline = margin;

    if (!text.heading.empty()) {
        pen.Use(PageFont("Liberation Sans", PointsToPixels(18, dpi), true, ink.antialias),
                ink.heading);
        for (const auto& line : Wrap(SplitWords(text.heading), pen, right - margin)) {
            baseline += pen.Metrics().ascent();
            pen.DrawLine(line, margin, baseline);
            baseline += pen.Metrics().descent() + pen.Metrics().leading();
        }
        baseline += PointsToPixels(12, dpi);
    }

    QFont stampFont = PageFont("Liberation Sans", PointsToPixels(10, dpi), false, ink.antialias);
    const int stampHeight = QFontMetrics(stampFont, painter.device()).lineSpacing() * 2;

    pen.Use(PageFont("Liberation Sans", PointsToPixels(12, dpi), false, ink.antialias), ink.body);
    const QFontMetrics& body = pen.Metrics();
    bool full = false;
    for (const auto& paragraph : text.paragraphs) {
        for (const auto& line : Wrap(SplitWords(paragraph), pen, right - margin)) {
            if (baseline + body.lineSpacing() + body.descent() > bottom - stampHeight) {
                full = true;
                break;
            }
            baseline += body.lineSpacing();
            pen.DrawLine(line, margin, baseline);
        }
        if (full) break;
        baseline += body.lineSpacing() / 2;
    }

    if (!text.stamp.empty()) {
        pen.Use(stampFont, ink.stamp);
        const auto words = SplitWords(text.stamp);
        int width = 0;
        for (const auto& word : words) width += pen.Advance(word) + pen.SpaceWidth();
        width -= pen.SpaceWidth();
        pen.DrawLine(words, right - width, bottom);
    }
}

namespace {

QFont PlainTextFont(int dpi) {
    return PageFont("Liberation Mono", PointsToPixels(10, dpi), false, true);
}

// Lines of a plain text, long lines wrapped at the last blank that fits (or
// cut when one word is wider than the page). Each byte's advance is measured
// once, so the wrap takes time in proportion to the text.
using Advances = std::array<double, 256>;

Advances QtAdvances(const QFontMetricsF& metrics) {
    Advances advance{};
    for (int c = 0; c < 256; ++c) {
        const char byte = static_cast<char>(c);
        advance[c] = metrics.horizontalAdvance(platform::ToQString(std::string_view(&byte, 1)));
    }
    return advance;
}

std::vector<std::string> PlainLines(const std::string& text, const Advances& advance,
                                    double width) {
    auto widthOf = [&advance](const std::string& raw, std::size_t from, std::size_t to) {
        double w = 0;
        for (std::size_t i = from; i < to; ++i) w += advance[static_cast<unsigned char>(raw[i])];
        return w;
    };
    std::vector<std::string> lines;
    std::size_t lineStart = 0;
    while (lineStart <= text.size()) {
        std::size_t lineEnd = text.find('\n', lineStart);
        if (lineEnd == std::string::npos) {
            if (lineStart == text.size() && !text.empty()) break;
            lineEnd = text.size();
        }
        std::string raw = text.substr(lineStart, lineEnd - lineStart);
        lineStart = lineEnd + 1;
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();
        std::replace(raw.begin(), raw.end(), '\t', ' ');
        std::size_t start = 0;
        std::size_t lastSpace = std::string::npos;
        double used = 0;
        for (std::size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] == ' ') lastSpace = i;
            used += advance[static_cast<unsigned char>(raw[i])];
            if (used <= width || i == start) continue;
            // raw[start, i] is too wide: end the line at its last blank, or
            // before this character when there is none.
            std::size_t cut = lastSpace != std::string::npos && lastSpace > start ? lastSpace : i;
            lines.push_back(raw.substr(start, cut - start));
            start = cut;
            while (start < raw.size() && raw[start] == ' ') ++start;
            lastSpace = std::string::npos;
            for (std::size_t j = start; j <= i && j < raw.size(); ++j)
                if (raw[j] == ' ') lastSpace = j;
            used = widthOf(raw, start, std::max(start, i + 1));
            if (start > i) i = start - 1;
        }
        lines.push_back(raw.substr(std::min(start, raw.size())));
    }
    return lines;
}

// WordPen::DrawLine with the glyphs of a process without Qt's fonts.
void DrawOwnLine(const PlainGlyphs& glyphs, const std::vector<std::string>& words, int x,
                 int baseline, RenderedPage& page) {
    const auto advanceOf = [&glyphs](const std::string& text) {
        double width = 0;
        for (const char c : text) width += glyphs.Advances()[static_cast<unsigned char>(c)];
        return platform::RoundToInt(width);
    };
    const int space = advanceOf(" ");
    std::string line;
    for (const auto& word : words) {
        const QRect ink = glyphs.Draw(page.image, word, x, baseline);
        const int advance = advanceOf(word);
        const int left = x + std::min(0, ink.left());
        const int right = x + std::max(advance, ink.right() + 1);
        const int top = baseline - std::max(glyphs.Ascent(), -ink.top());
        const int bottom = baseline + std::max(glyphs.Descent(), ink.bottom() + 1);
        page.words.push_back({word, left, top, right - left, bottom - top});
        if (!line.empty()) line += ' ';
        line += word;
        x += advance + space;
    }
    page.ocrText += line;
    page.ocrText += "\r\n";
}

}  // namespace

PlainTextLayout LayOutPlainText(const std::string& text, int dpi) {
    PlainTextLayout layout;
    layout.dpi = dpi;
    layout.size = PagePixels(PageSize::Letter, dpi);
    const int margin = dpi * 3 / 4;
    const int width = layout.size.width() - 2 * margin;
    int lineSpacing = 1;
    layout.ownGlyphs = !QtFontsUsable();
    if (layout.ownGlyphs) {
        const PlainGlyphs glyphs(PointsToPixels(10, dpi));
        layout.lines = PlainLines(text, glyphs.Advances(), width);
        lineSpacing = glyphs.LineSpacing();
    } else {
        const QFont font = PlainTextFont(dpi);
        layout.lines = PlainLines(text, QtAdvances(QFontMetricsF(font)), width);
        lineSpacing = QFontMetrics(font).lineSpacing();
    }
    layout.perPage = std::max(1, (layout.size.height() - 2 * margin) / lineSpacing);
    return layout;
}

int PlainTextLayout::PageCount() const {
    return std::max<int>(1, static_cast<int>((lines.size() + perPage - 1) / perPage));
}

RenderedPage PaintPlainTextPage(const PlainTextLayout& layout, int index) {
    const int margin = layout.dpi * 3 / 4;
    std::optional<PlainGlyphs> glyphs;
    if (layout.ownGlyphs) {
        glyphs.emplace(PointsToPixels(10, layout.dpi));
        if (!glyphs->Ok()) return {};  // no face to draw with: no image
    }
    RenderedPage page;
    page.image = QImage(layout.size, QImage::Format_RGB32);
    page.image.fill(Qt::white);
    const int dpm = platform::RoundToInt(layout.dpi / 0.0254);
    page.image.setDotsPerMeterX(dpm);
    page.image.setDotsPerMeterY(dpm);
    std::size_t next = static_cast<std::size_t>(index) * static_cast<std::size_t>(layout.perPage);
    if (glyphs) {
        int baseline = margin;
        for (int row = 0; row < layout.perPage && next < layout.lines.size(); ++row, ++next) {
            baseline += glyphs->LineSpacing();
            DrawOwnLine(*glyphs, SplitWords(layout.lines[next]), margin, baseline, page);
        }
        return page;
    }
    const QFont font = PlainTextFont(layout.dpi);
    const QFontMetrics metrics(font);
    QPainter painter(&page.image);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    WordPen pen(painter, page);
    pen.Use(font, Qt::black);
    int baseline = margin;
    for (int row = 0; row < layout.perPage && next < layout.lines.size(); ++row, ++next) {
        baseline += metrics.lineSpacing();
        pen.DrawLine(SplitWords(layout.lines[next]), margin, baseline);
    }
    painter.end();
    return page;
}

std::vector<RenderedPage> TypesetPlainText(const std::string& text, int dpi, int maxPages) {
    const PlainTextLayout layout = LayOutPlainText(text, dpi);
    std::vector<RenderedPage> pages;
    const int count = std::min(layout.PageCount(), std::max(1, maxPages));
    for (int i = 0; i < count; ++i) pages.push_back(PaintPlainTextPage(layout, i));
    return pages;
}

std::string FormatWordList(const std::vector<WordBox>& words) {
    std::string out;
    for (const auto& w : words) {
        // The words a search takes from what was drawn between blanks
        // ("re-filed," gives "re" and "filed"), each with the drawn box.
        for (const std::string& word : platform::TextWords(w.word)) {
            if (!out.empty()) out += '^';
            out += word + '|' + std::to_string(w.x) + '|' + std::to_string(w.y) + '|' +
                   std::to_string(w.width) + '|' + std::to_string(w.height);
        }
    }
    return out;
}

}  // namespace docserver::imaging
