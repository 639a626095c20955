#include "imaging/lazy_statics.h"

#include <poppler-qt6.h>

#include <QDateTime>
#include <QFileInfo>
#include <QImage>
#include <QImageReader>
#include <QPainter>
#include <QThreadPool>

#include <cstdio>
#include <string>

#include "imaging/original_files.h"
#include "imaging/page_files.h"
#include "imaging/page_quality.h"

namespace docserver::imaging {
namespace {

// A blank page, its cross-reference table exact: Poppler mends a broken one
// with complaints on standard error.
QByteArray BlankPdf() {
    const char* const objects[] = {
        "<</Type/Catalog/Pages 2 0 R>>",
        "<</Type/Pages/Kids[3 0 R]/Count 1>>",
        "<</Type/Page/Parent 2 0 R/MediaBox[0 0 8 8]>>",
    };
    std::string pdf = "%PDF-1.4\n";
    std::string table = "xref\n0 4\n0000000000 65535 f \n";
    for (int i = 0; i < 3; ++i) {
        char entry[24];
        std::snprintf(entry, sizeof entry, "%010zu 00000 n \n", pdf.size());
        table += entry;
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const std::size_t at = pdf.size();
    pdf += table + "trailer\n<</Size 4/Root 1 0 R>>\nstartxref\n" + std::to_string(at) + "\n%%EOF\n";
    return QByteArray(pdf.data(), static_cast<qsizetype>(pdf.size()));
}

}  // namespace

void MakeLazyStatics() {
    // Qt converts and scales a large image on its global thread pool, whose
    // idle threads lived 30 s: as long as a host whose main thread ended
    // with pthread_exit. They end as soon as they are idle.
    QThreadPool::globalInstance()->setExpiryTimeout(0);
    QImage colour(16, 16, QImage::Format_RGB32);
    colour.fill(Qt::white);
    colour.setDotsPerMeterX(11811);
    colour.setDotsPerMeterY(11811);
    // Reduced pages: JPEG read at a scale, Group 4 TIFF read and written.
    ImageForQuality(EncodeJpeg(colour, false), 100);
    const QImage mono = colour.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
    ImageForQuality(EncodeG4Tiff({mono}), 100);
    DecodeImage(EncodePng(colour));
    // Bytes no reader knows ask every image format plugin in turn.
    DecodeImage("not an image");
    QImageReader(QStringLiteral("/")).size();
    QFileInfo(QStringLiteral("/")).lastModified();
    // Text pages, and pages stacked onto one sheet.
    RenderTextImage("x", 100);
    QImage sheet(16, 16, QImage::Format_RGB32);
    QPainter(&sheet).drawImage(0, 0, colour);
    if (auto pdf = Poppler::Document::loadFromData(BlankPdf()))
        if (auto page = pdf->page(0)) page->renderToImage(72, 72);
}

}  // namespace docserver::imaging
