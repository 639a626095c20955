#include "imaging/page_typesetter.h"

#include <QFont>
#include <QFontMetrics>
#include <QPainter>

#include <algorithm>
#include <optional>
#include <sstream>

#include "platform/rounding.h"
#include "platform/text_codec.h"

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

// Lines of a plain text, long lines wrapped at word boundaries (or cut when
// one word is wider than the page).
std::vector<std::string> PlainLines(const std::string& text, const QFontMetrics& metrics,
                                    int width) {
    std::vector<std::string> lines;
    std::string rest;
    std::istringstream in(text);
    std::string raw;
    while (std::getline(in, raw)) {
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();
        std::replace(raw.begin(), raw.end(), '\t', ' ');
        while (metrics.horizontalAdvance(platform::ToQString(raw)) > width) {
            std::size_t cut = raw.size();
            while (cut > 1 &&
                   metrics.horizontalAdvance(platform::ToQString(raw.substr(0, cut))) > width) {
                const std::size_t space = raw.rfind(' ', cut - 1);
                cut = (space != std::string::npos && space > 0) ? space : cut - 1;
            }
            lines.push_back(raw.substr(0, cut));
            raw.erase(0, cut);
            while (!raw.empty() && raw.front() == ' ') raw.erase(0, 1);
        }
        lines.push_back(raw);
    }
    return lines;
}

}  // namespace

std::vector<RenderedPage> TypesetPlainText(const std::string& text, int dpi) {
    const QSize size = PagePixels(PageSize::Letter, dpi);
    const QFont font = PageFont("Liberation Mono", PointsToPixels(10, dpi), false, true);
    const QFontMetrics metrics(font);
    const int margin = dpi * 3 / 4;
    const auto lines = PlainLines(text, metrics, size.width() - 2 * margin);
    const int perPage = std::max(1, (size.height() - 2 * margin) / metrics.lineSpacing());

    std::vector<RenderedPage> pages;
    std::size_t next = 0;
    do {
        RenderedPage page;
        page.image = QImage(size, QImage::Format_RGB32);
        page.image.fill(Qt::white);
        const int dpm = platform::RoundToInt(dpi / 0.0254);
        page.image.setDotsPerMeterX(dpm);
        page.image.setDotsPerMeterY(dpm);
        QPainter painter(&page.image);
        painter.setRenderHint(QPainter::TextAntialiasing, true);
        WordPen pen(painter, page);
        pen.Use(font, Qt::black);
        int baseline = margin;
        for (int row = 0; row < perPage && next < lines.size(); ++row, ++next) {
            baseline += metrics.lineSpacing();
            pen.DrawLine(SplitWords(lines[next]), margin, baseline);
        }
        painter.end();
        pages.push_back(std::move(page));
    } while (next < lines.size());
    return pages;
}

std::string FormatWordList(const std::vector<WordBox>& words) {
    std::string out;
    for (const auto& w : words) {
        if (!out.empty()) out += '^';
        out += w.word + '|' + std::to_string(w.x) + '|' + std::to_string(w.y) + '|' +
               std::to_string(w.width) + '|' + std::to_string(w.height);
    }
    return out;
}

}  // namespace docserver::imaging
