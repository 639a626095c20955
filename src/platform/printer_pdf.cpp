#include "platform/printer_pdf.h"

#include <cairo-pdf.h>
#include <cairo.h>

#include <fcntl.h>
#include <unistd.h>

#include <QFileInfo>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <vector>

#include "platform/bitonal_image.h"
#include "platform/printed_page_image.h"
#include "platform/text_codec.h"
#include "platform/whole_file.h"

namespace platform {

// One job's output, written whole or not at all.
class PdfPrinter::JobFile : public WholeFile {};

namespace {

// An image surface of one pixel that carries the page's encoded data:
// cairo writes the data and never reads the pixel, and one pixel is all it
// copies when it keeps a snapshot of the surface.
cairo_surface_t* EncodedSurface(const char* mime, const std::string& data,
                                const char* paramsMime = nullptr, const std::string& params = {}) {
    cairo_surface_t* s = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 1, 1);
    auto attach = [s](const char* type, const std::string& bytes) {
        auto* held = new std::string(bytes);
        cairo_surface_set_mime_data(
            s, type, reinterpret_cast<const unsigned char*>(held->data()), held->size(),
            [](void* p) { delete static_cast<std::string*>(p); }, held);
    };
    attach(mime, data);
    if (paramsMime != nullptr) attach(paramsMime, params);
    return s;
}

// Black and white as 1-bit G4, anything else as JPEG (grey when it has no
// colour or the printer prints without).
cairo_surface_t* PageSurface(const QImage& page, bool monochrome) {
    QImage compact = CompactPageImage(page);
    if (compact.format() == QImage::Format_Mono) {
        const std::string g4 = EncodeG4(compact);
        if (g4.empty()) return nullptr;
        const std::string params = "Columns=" + std::to_string(compact.width()) +
                                   " Rows=" + std::to_string(compact.height()) + " K=-1";
        return EncodedSurface(CAIRO_MIME_TYPE_CCITT_FAX, g4, CAIRO_MIME_TYPE_CCITT_FAX_PARAMS,
                              params);
    }
    if (monochrome) compact = GreyPageImage(compact);
    const std::string jpeg = EncodeJpeg(compact);
    if (jpeg.empty()) return nullptr;
    return EncodedSurface(CAIRO_MIME_TYPE_JPEG, jpeg);
}

}  // namespace

// One job's file and the cairo document writing into it.
struct PdfPrinter::Document {
    JobFile file;
    cairo_surface_t* surface = nullptr;
    cairo_t* cr = nullptr;

    static cairo_status_t Write(void* closure, const unsigned char* data, unsigned int length) {
        auto* doc = static_cast<Document*>(closure);
        return doc->file.Append(data, length) ? CAIRO_STATUS_SUCCESS : CAIRO_STATUS_WRITE_ERROR;
    }
    // Empty when all is well.
    std::string Trouble() const {
        if (!file.Error().empty()) return file.Error();
        if (cairo_status(cr) != CAIRO_STATUS_SUCCESS)
            return cairo_status_to_string(cairo_status(cr));
        return {};
    }
    // Cairo puts a page out when it ends: what fails to reach the file shows
    // at that page, not at the end of the job.
    std::string EndPage() {
        cairo_show_page(cr);
        file.Drain();
        return Trouble();
    }
    // Completes the file and names it; on any failure nothing of it stays.
    std::string Finish(bool replace, std::string& written) {
        cairo_destroy(cr);
        cr = nullptr;
        cairo_surface_finish(surface);
        const cairo_status_t status = cairo_surface_status(surface);
        cairo_surface_destroy(surface);
        surface = nullptr;
        std::string trouble = file.Error();
        if (trouble.empty() && status != CAIRO_STATUS_SUCCESS)
            trouble = cairo_status_to_string(status);
        if (trouble.empty() && !file.Commit(replace, written)) trouble = file.Error();
        file.Discard();
        return trouble;
    }
    ~Document() {
        if (cr != nullptr) cairo_destroy(cr);
        if (surface != nullptr) cairo_surface_destroy(surface);
    }
};

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

std::string PdfTargetTrouble(const std::string& path) {
    const QFileInfo file(ToQString(path));
    if (file.isDir()) return path + ": a folder has that name";
    // The nearest part of the path that exists must be a folder.
    QFileInfo folder(file.absolutePath());
    while (!folder.exists() && !folder.isRoot()) folder = QFileInfo(folder.absolutePath());
    if (folder.exists() && !folder.isDir())
        return path + ": " + FromQString(folder.absoluteFilePath()) + " is not a folder";
    return {};
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

bool PdfPrinter::Fail(const std::string& reason) {
    failure_ = path_ + ": " + reason;
    return false;
}

// Makes the job's file at its first output and starts a page when one is
// due, each page at the paper size set when it begins.
bool PdfPrinter::BeginOutput() {
    const double w = PageWidth() * 72.0 / dpi_, h = PageHeight() * 72.0 / dpi_;
    if (!doc_) {
        failure_.clear();
        written_.clear();
        auto doc = std::make_unique<Document>();
        std::string reason;
        if (!doc->file.Create(path_, reason)) return Fail(reason);
        doc->surface = cairo_pdf_surface_create_for_stream(&Document::Write, doc.get(), w, h);
        cairo_pdf_surface_set_metadata(doc->surface, CAIRO_PDF_METADATA_CREATOR, "talq");
        doc->cr = cairo_create(doc->surface);
        doc_ = std::move(doc);
    } else if (!pageOpen_) {
        cairo_pdf_surface_set_size(doc_->surface, w, h);
    }
    pageOpen_ = true;
    const std::string trouble = doc_->Trouble();
    return trouble.empty() || Fail(trouble);
}

bool PdfPrinter::NewPage() {
    if (!doc_ || !pageOpen_) return true;
    pageOpen_ = false;
    const std::string trouble = doc_->EndPage();
    return trouble.empty() || Fail(trouble);
}

void PdfPrinter::EndDoc() {
    NewPage();
}

bool PdfPrinter::EndJob() {
    bool ok = true;
    if (doc_) {
        if (pageOpen_) doc_->EndPage();
        const std::string trouble = doc_->Finish(replace_, written_);
        if (!trouble.empty()) ok = Fail(trouble);
        doc_.reset();
    } else {
        written_.clear();  // a job without a page writes no file
    }
    pageOpen_ = false;
    replace_ = false;
    return ok;
}

void PdfPrinter::PrintText(const std::string&) {
    BeginOutput();
}

bool PdfPrinter::DrawImage(int x, int y, const QImage& image) {
    return StretchImage(x, y, image.width(), image.height(), image);
}

bool PdfPrinter::StretchImage(int x, int y, int w, int h, const QImage& image) {
    if (image.isNull() || w <= 0 || h <= 0 || !BeginOutput()) return false;
    cairo_surface_t* source = PageSurface(image, colorMode_ == kColorMonochrome);
    if (source == nullptr) return Fail("the page image cannot be encoded");
    cairo_t* cr = doc_->cr;
    cairo_save(cr);
    cairo_scale(cr, 72.0 / dpi_, 72.0 / dpi_);
    cairo_translate(cr, x, y);
    // The source is one pixel standing for the whole encoded image.
    cairo_scale(cr, w, h);
    cairo_set_source_surface(cr, source, 0, 0);
    // Scanned pixels stay sharp: no smoothing when the page is shown.
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_FAST);
    cairo_paint(cr);
    cairo_restore(cr);
    cairo_surface_destroy(source);
    const std::string trouble = doc_->Trouble();
    return trouble.empty() || Fail(trouble);
}

}  // namespace platform
