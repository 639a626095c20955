#include "imaging/original_files.h"

#include <algorithm>
#include <mutex>

#include <poppler-qt6.h>

#include <QBuffer>
#include <QDateTime>
#include <QFileInfo>
#include <QImageReader>
#include <QPainter>
#include <QPdfWriter>

#include "imaging/page_files.h"
#include "imaging/page_typesetter.h"
#include "platform/rounding.h"

namespace docserver::imaging {

namespace {

class PdfOriginal : public OriginalFile {
  public:
    explicit PdfOriginal(std::unique_ptr<Poppler::Document> doc) : doc_(std::move(doc)) {}
    int PageCount() const override { return doc_->numPages(); }
    QImage RenderPage(int page, int dpi) const override {
        if (page < 1 || page > PageCount()) return {};
        std::unique_ptr<Poppler::Page> p = doc_->page(page - 1);
        if (!p) return {};
        QImage image = p->renderToImage(dpi, dpi);
        if (image.isNull()) return {};
        // Poppler leaves unpainted areas transparent; pages are white paper.
        QImage paper(image.size(), QImage::Format_RGB32);
        paper.fill(Qt::white);
        QPainter(&paper).drawImage(0, 0, image);
        return paper;
    }

  private:
    std::unique_ptr<Poppler::Document> doc_;
};

class TiffOriginal : public OriginalFile {
  public:
    TiffOriginal(std::string bytes, int count) : bytes_(std::move(bytes)), count_(count) {}
    int PageCount() const override { return count_; }
    QImage RenderPage(int page, int dpi) const override {
        if (page < 1 || page > count_) return {};
        QByteArray data =
            QByteArray::fromRawData(bytes_.data(), static_cast<qsizetype>(bytes_.size()));
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, "tiff");
        if (!reader.jumpToImage(page - 1)) return {};
        QImage image = reader.read();
        if (image.isNull()) return {};
        const double stored = image.dotsPerMeterX() > 0 ? image.dotsPerMeterX() * 0.0254 : 300.0;
        if (stored <= dpi) return image.convertToFormat(QImage::Format_RGB32);
        const double f = dpi / stored;
        return image.convertToFormat(QImage::Format_RGB32)
            .scaled(platform::RoundToInt(image.width() * f),
                    platform::RoundToInt(image.height() * f), Qt::IgnoreAspectRatio,
                    Qt::SmoothTransformation);
    }

  private:
    std::string bytes_;
    int count_;
};

class TextOriginal : public OriginalFile {
  public:
    // Laid out once at a fixed resolution, so the count never depends on the
    // one asked for; a page is painted only when asked for.
    explicit TextOriginal(const std::string& text) : layout_(LayOutPlainText(text, 100)) {}
    int PageCount() const override { return layout_.PageCount(); }
    QImage RenderPage(int page, int dpi) const override {
        if (page < 1 || page > PageCount()) return {};
        QImage image = PaintPlainTextPage(layout_, page - 1).image;
        if (dpi == 100) return image;
        const double f = dpi / 100.0;
        return image.scaled(platform::RoundToInt(image.width() * f),
                            platform::RoundToInt(image.height() * f), Qt::IgnoreAspectRatio,
                            Qt::SmoothTransformation);
    }

  private:
    PlainTextLayout layout_;
};

// A PNG, JPEG, BMP or GIF original: one page per frame the file holds.
class PictureOriginal : public OriginalFile {
  public:
    PictureOriginal(std::string bytes, int count) : bytes_(std::move(bytes)), count_(count) {}
    int PageCount() const override { return count_; }
    QImage RenderPage(int page, int) const override {
        if (page < 1 || page > count_) return {};
        QByteArray data =
            QByteArray::fromRawData(bytes_.data(), static_cast<qsizetype>(bytes_.size()));
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer);
        if (page > 1 && !reader.jumpToImage(page - 1)) return {};
        const QImage image = reader.read();
        return image.isNull() ? QImage() : image.convertToFormat(QImage::Format_RGB32);
    }

  private:
    std::string bytes_;
    int count_;
};

// Formats of a picture original, by what the bytes say they are.
int PictureFrames(const std::string& bytes) {
    QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    const QByteArray format = reader.format();
    if (format != "png" && format != "jpeg" && format != "bmp" && format != "gif") return 0;
    return std::max(reader.imageCount(), 1);
}

}  // namespace

std::unique_ptr<OriginalFile> OriginalFile::Open(const std::string& path) {
    std::string bytes;
    if (!ReadWholeFile(path, bytes)) return nullptr;
    if (bytes.rfind("%PDF", 0) == 0) {
        auto doc = Poppler::Document::loadFromData(
            QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
        if (!doc || doc->isLocked()) return nullptr;
        return std::make_unique<PdfOriginal>(std::move(doc));
    }
    if (bytes.rfind("II*", 0) == 0 || bytes.rfind("MM", 0) == 0) {
        QByteArray data =
            QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
        QBuffer buffer(&data);
        buffer.open(QIODevice::ReadOnly);
        QImageReader reader(&buffer, "tiff");
        const int count = reader.imageCount();
        if (count <= 0) return nullptr;
        return std::make_unique<TiffOriginal>(std::move(bytes), count);
    }
    if (const int frames = PictureFrames(bytes); frames > 0)
        return std::make_unique<PictureOriginal>(std::move(bytes), frames);
    return std::make_unique<TextOriginal>(bytes);
}

std::shared_ptr<const OriginalFile> OriginalFile::OpenShared(const std::string& path) {
    struct Kept {
        std::string path;
        QDateTime modified;
        qint64 size = -1;
        std::shared_ptr<const OriginalFile> file;
    };
    // Never destroyed: a thread may still read an original while the process exits.
    static std::mutex& lock = *new std::mutex;
    static Kept& kept = *new Kept;
    const QFileInfo info(QString::fromLocal8Bit(path.c_str()));
    const QDateTime modified = info.lastModified();
    const qint64 size = info.size();
    {
        const std::lock_guard<std::mutex> hold(lock);
        if (kept.file && kept.path == path && kept.modified == modified && kept.size == size)
            return kept.file;
    }
    std::shared_ptr<const OriginalFile> file = Open(path);
    if (!file) return nullptr;
    const std::lock_guard<std::mutex> hold(lock);
    kept = Kept{path, modified, size, file};
    return file;
}

RenderedOriginal RenderOriginalPage(const std::string& path, int page, bool colour, int dpi) {
    RenderedOriginal result;
    const auto file = OriginalFile::OpenShared(path);
    if (!file) return result;
    if (page > file->PageCount()) {
        result.outcome = RenderedOriginal::kPastEnd;
        return result;
    }
    QImage image = file->RenderPage(page, dpi);
    if (image.isNull()) return result;
    if (!colour) image = image.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
    result.png = EncodePng(image);
    if (!result.png.empty()) result.outcome = RenderedOriginal::kPage;
    return result;
}

bool WriteTextPdf(const std::vector<PageText>& pages, PageSize size, const std::string& path) {
    if (pages.empty()) return false;
    QPdfWriter writer(QString::fromStdString(path));
    writer.setResolution(kStoredDpi);
    writer.setCreator(QStringLiteral("talq-demo"));
    const QSize pixels = PagePixels(size, kStoredDpi);
    writer.setPageSize(
        QPageSize(QSizeF(pixels.width() / double(kStoredDpi), pixels.height() / double(kStoredDpi)),
                  QPageSize::Inch));
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    QPainter painter;
    if (!painter.begin(&writer)) return false;
    for (std::size_t i = 0; i < pages.size(); ++i) {
        if (i > 0 && !writer.newPage()) return false;
        RenderedPage words;
        PaintPage(painter, pages[i], pixels, kStoredDpi, PageColour::Bitonal, words);
    }
    return painter.end();
}

QImage RenderTextImage(const std::string& text, int dpi) {
    auto pages = TypesetPlainText(text, dpi, kMaxTextImagePages);
    for (const RenderedPage& page : pages)
        if (page.image.isNull()) return {};
    if (pages.size() == 1) return pages.front().image;
    // Stack the pages into one tall sheet so the whole text shows at once.
    const QSize size = pages.front().image.size();
    QImage sheet(size.width(), size.height() * static_cast<int>(pages.size()),
                 QImage::Format_RGB32);
    sheet.fill(Qt::white);
    sheet.setDotsPerMeterX(pages.front().image.dotsPerMeterX());
    sheet.setDotsPerMeterY(pages.front().image.dotsPerMeterY());
    QPainter painter(&sheet);
    for (std::size_t i = 0; i < pages.size(); ++i) {
        painter.drawImage(0, size.height() * static_cast<int>(i), pages[i].image);
    }
    return sheet;
}

}  // namespace docserver::imaging
