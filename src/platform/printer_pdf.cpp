#include "platform/printer_pdf.h"

#include <QPageLayout>
#include <QPageSize>

#include "platform/text_codec.h"

namespace platform {
QPageSize PageSizeFor(int code) {
    switch (code) {
        case kPaperLegal:
            return QPageSize(QPageSize::Legal);
        case kPaperTabloid:
        case kPaper11x17:
            return QPageSize(QPageSize::Tabloid);
        default:
            return QPageSize(QPageSize::Letter);
    }
}

QImage CompactPageImage(const QImage& page) {
    bool blackWhite = true, gray = true;
    const QImage rgb =
        page.format() == QImage::Format_RGB32 ? page : page.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < rgb.height() && gray; ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            const QRgb p = line[x] & 0xFFFFFF;
            if (p == 0 || p == 0xFFFFFF) continue;
            blackWhite = false;
            if (qRed(p) != qGreen(p) || qGreen(p) != qBlue(p)) {
                gray = false;
                break;
            }
        }
    }
    if (blackWhite) return rgb.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
    if (gray) return rgb.convertToFormat(QImage::Format_Grayscale8);
    return rgb;
}

PdfPrinter::PdfPrinter(std::string name, std::string path, int dpi)
    : name_(std::move(name)), path_(std::move(path)), dpi_(dpi > 0 ? dpi : 300) {}

PdfPrinter::~PdfPrinter() {
    EndJob();
}

bool PdfPrinter::SetColorMode(int mode) {
    if (mode != kColorMonochrome && mode != kColorColor) return false;
    colorMode_ = mode;
    return true;
}

bool PdfPrinter::SetPaperSize(int code) {
    if (code != kPaperLetter && code != kPaperLegal && code != kPaperTabloid &&
        code != kPaper11x17) {
        return false;
    }
    paper_ = code;
    return true;
}

int PdfPrinter::PageWidth() const {
    return PageSizeFor(paper_).sizePixels(dpi_).width();
}

int PdfPrinter::PageHeight() const {
    return PageSizeFor(paper_).sizePixels(dpi_).height();
}

// Opens the file at the first output and starts a page when one is due,
// each page at the paper size set when it begins.
bool PdfPrinter::BeginOutput() {
    if (!writer_) {
        writer_ = std::make_unique<QPdfWriter>(ToQString(path_));
        writer_->setResolution(dpi_);
        writer_->setCreator(QStringLiteral("talq"));
        writer_->setPageLayout(
            QPageLayout(PageSizeFor(paper_), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
        if (!painter_.begin(writer_.get())) {
            writer_.reset();
            return false;
        }
        pagePending_ = false;
        return true;
    }
    if (pagePending_) {
        writer_->setPageLayout(
            QPageLayout(PageSizeFor(paper_), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
        if (!writer_->newPage()) return false;
        pagePending_ = false;
    }
    return true;
}

void PdfPrinter::EndJob() {
    if (painter_.isActive()) painter_.end();
    writer_.reset();
    pagePending_ = false;
}

void PdfPrinter::PrintText(const std::string&) {
    BeginOutput();
}

bool PdfPrinter::DrawImage(int x, int y, const QImage& image) {
    return StretchImage(x, y, image.width(), image.height(), image);
}

bool PdfPrinter::StretchImage(int x, int y, int w, int h, const QImage& image) {
    if (image.isNull() || w <= 0 || h <= 0 || !BeginOutput()) return false;
    QImage page = CompactPageImage(image);
    if (colorMode_ == kColorMonochrome && !page.isGrayscale()) {
        page = page.convertToFormat(QImage::Format_Grayscale8);
    }
    painter_.drawImage(QRect(x, y, w, h), page);
    return true;
}

}  // namespace platform
