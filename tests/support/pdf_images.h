#pragma once
// What poppler's tools read in a PDF file: the kind of each image in it and
// a page rasterised back.

#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QStringList>

#include <string>
#include <vector>

namespace testsupport {

inline bool HavePopplerTools() {
    return !QStandardPaths::findExecutable("pdfimages").isEmpty() &&
           !QStandardPaths::findExecutable("pdftoppm").isEmpty();
}

// "colour bits encoding" of each image in page order, as "pdfimages -list"
// names them: "gray 1 ccitt", "gray 8 jpeg", "rgb 8 jpeg" ...
inline std::vector<std::string> PdfImageKinds(const std::string& pdf) {
    QProcess list;
    list.start("pdfimages", {"-list", QString::fromStdString(pdf)});
    list.waitForFinished(20000);
    std::vector<std::string> kinds;
    const QStringList lines = QString::fromLocal8Bit(list.readAllStandardOutput()).split('\n');
    for (int i = 2; i < lines.size(); ++i) {
        const QStringList f = lines[i].split(' ', Qt::SkipEmptyParts);
        if (f.size() < 9) continue;
        kinds.push_back((f[5] + " " + f[7] + " " + f[8]).toStdString());
    }
    return kinds;
}

// The first image of a page as stored in the file, decoded by poppler.
inline QImage ExtractPdfImage(const std::string& pdf, int page, const std::string& scratchStem) {
    QProcess extract;
    extract.start("pdfimages", {"-png", "-f", QString::number(page), "-l", QString::number(page),
                                QString::fromStdString(pdf), QString::fromStdString(scratchStem)});
    if (!extract.waitForFinished(60000)) return {};
    return QImage(QString::fromStdString(scratchStem + "-000.png"))
        .convertToFormat(QImage::Format_Grayscale8);
}

// One page of the file in grey levels at a resolution; null when it fails.
inline QImage RasterisePdfPage(const std::string& pdf, int page, int dpi,
                               const std::string& scratchStem) {
    QProcess raster;
    raster.start("pdftoppm", {"-r", QString::number(dpi), "-gray", "-f", QString::number(page),
                              "-l", QString::number(page), "-singlefile",
                              QString::fromStdString(pdf), QString::fromStdString(scratchStem)});
    if (!raster.waitForFinished(60000)) return {};
    return QImage(QString::fromStdString(scratchStem + ".pgm"))
        .convertToFormat(QImage::Format_Grayscale8);
}

}  // namespace testsupport
