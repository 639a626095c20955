#include "platform/printer_cups.h"

#include <QPageLayout>
#include <QPageSize>
#include <QPrintEngine>
#include <QPrinterInfo>

#include <cups/cups.h>

#include <algorithm>

#include "platform/printer_pdf.h"
#include "platform/text_codec.h"

namespace platform {
namespace {

// Qt's print engine takes extra CUPS job options under this key as a list
// of names and values.
const auto kCupsOptionsKey = QPrintEngine::PrintEnginePropertyKey(0xfe00);

// What the printer offers, asked of CUPS once when it is opened.
void QueryCapabilities(const std::string& name, std::vector<std::string>& mediaSources,
                       bool& canStaple) {
    cups_dest_t* dest = cupsGetNamedDest(CUPS_HTTP_DEFAULT, name.c_str(), nullptr);
    if (!dest) return;
    if (cups_dinfo_t* info = cupsCopyDestInfo(CUPS_HTTP_DEFAULT, dest)) {
        if (ipp_attribute_t* sources =
                cupsFindDestSupported(CUPS_HTTP_DEFAULT, dest, info, "media-source")) {
            for (int i = 0; i < ippGetCount(sources); ++i) {
                if (const char* value = ippGetString(sources, i, nullptr)) {
                    mediaSources.push_back(value);
                }
            }
        }
        canStaple = cupsCheckDestSupported(CUPS_HTTP_DEFAULT, dest, info, CUPS_FINISHINGS,
                                           CUPS_FINISHINGS_STAPLE) != 0;
        cupsFreeDestInfo(info);
    }
    cupsFreeDests(1, dest);
}

bool NamesStaple(const std::string& bytes) {
    std::string up = bytes;
    std::transform(up.begin(), up.end(), up.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return up.find("STAPLE") != std::string::npos && up.find("STAPLE=NONE") == std::string::npos &&
           up.find("STAPLE=OFF") == std::string::npos;
}

}  // namespace

std::vector<std::string> MediaSourcesForBin(int bin) {
    switch (bin) {
        case kBinUpper:
            return {"top", "main", "tray-1"};
        case kBinLower:
            return {"bottom", "tray-2"};
        case kBinMiddle:
            return {"middle", "tray-3"};
        case kBinManual:
            return {"manual", "by-pass-tray"};
        case kBinEnvelope:
        case kBinEnvelopeManual:
            return {"envelope"};
        case kBinAuto:
            return {"auto"};
        case kBinLargeCapacity:
            return {"large-capacity"};
        case kBinCassette:
            return {"main", "tray-1"};
        default:
            return {};
    }
}

CupsPrinter::CupsPrinter(const std::string& name) : name_(name) {
    printer_.setPrinterName(ToQString(name));
    printer_.setFullPage(true);
    printer_.setPageLayout(
        QPageLayout(PageSizeFor(paper_), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    QueryCapabilities(name, mediaSources_, canStaple_);
}

CupsPrinter::~CupsPrinter() {
    EndDoc();
}

int CupsPrinter::ColorMode() const {
    return printer_.colorMode() == QPrinter::Color ? kColorColor : kColorMonochrome;
}

bool CupsPrinter::SetColorMode(int mode) {
    if (mode != kColorMonochrome && mode != kColorColor) return false;
    printer_.setColorMode(mode == kColorColor ? QPrinter::Color : QPrinter::GrayScale);
    return true;
}

bool CupsPrinter::SetDuplex(int setting) {
    const QPrinter::DuplexMode mode =
        setting == kDuplexLongEdge ? QPrinter::DuplexLongSide : QPrinter::DuplexNone;
    if (mode != QPrinter::DuplexNone) {
        const QList<QPrinter::DuplexMode> offered =
            QPrinterInfo::printerInfo(ToQString(name_)).supportedDuplexModes();
        if (!offered.contains(QPrinter::DuplexLongSide)) return false;
    }
    if (printer_.duplex() != mode) {
        printer_.setDuplex(mode);
        jobChange_ = true;
    }
    return true;
}

bool CupsPrinter::SetPaperBin(int bin) {
    std::string chosen;
    for (const std::string& source : MediaSourcesForBin(bin)) {
        if (std::find(mediaSources_.begin(), mediaSources_.end(), source) != mediaSources_.end()) {
            chosen = source;
            break;
        }
    }
    // A printer that names no sources has the automatic one only.
    if (chosen.empty() && !(bin == kBinAuto && mediaSources_.empty())) return false;
    if (chosen != mediaSource_) {
        mediaSource_ = chosen;
        jobChange_ = true;
    }
    return true;
}

bool CupsPrinter::SetPaperSize(int code) {
    if (code != kPaperLetter && code != kPaperLegal && code != kPaperTabloid &&
        code != kPaper11x17) {
        return false;
    }
    const QPageSize wanted = PageSizeFor(code);
    const QList<QPageSize> offered =
        QPrinterInfo::printerInfo(ToQString(name_)).supportedPageSizes();
    const bool known = std::any_of(offered.begin(), offered.end(),
                                   [&](const QPageSize& s) { return s.id() == wanted.id(); });
    if (!offered.isEmpty() && !known) return false;
    if (paper_ != code) {
        paper_ = code;
        jobChange_ = true;
    }
    return true;
}

int CupsPrinter::PageWidth() const {
    return PageSizeFor(paper_).sizePixels(printer_.resolution()).width();
}

int CupsPrinter::PageHeight() const {
    return PageSizeFor(paper_).sizePixels(printer_.resolution()).height();
}

void CupsPrinter::ApplyJobOptions() {
    printer_.setPageLayout(
        QPageLayout(PageSizeFor(paper_), QPageLayout::Portrait, QMarginsF(0, 0, 0, 0)));
    QStringList options;
    if (!mediaSource_.empty()) options << QStringLiteral("media-source") << ToQString(mediaSource_);
    if (staple_ && canStaple_) {
        options << QStringLiteral("finishings") << QStringLiteral(CUPS_FINISHINGS_STAPLE);
    }
    if (printer_.printEngine()) printer_.printEngine()->setProperty(kCupsOptionsKey, options);
    jobChange_ = false;
}

bool CupsPrinter::BeginOutput() {
    if (painter_.isActive() && pagePending_ && jobChange_) painter_.end();
    if (!painter_.isActive()) {
        ApplyJobOptions();
        pagePending_ = false;
        return painter_.begin(&printer_);
    }
    if (pagePending_) {
        pagePending_ = false;
        return printer_.newPage();
    }
    return true;
}

void CupsPrinter::EndDoc() {
    if (painter_.isActive()) painter_.end();
    pagePending_ = false;
    staple_ = false;
}

void CupsPrinter::PrintText(const std::string&) {
    BeginOutput();
}

bool CupsPrinter::Escape(const std::string& bytes) {
    escapes_.push_back(bytes);
    if (NamesStaple(bytes) && canStaple_ && !staple_) {
        staple_ = true;
        jobChange_ = true;
    }
    return false;
}

bool CupsPrinter::DrawImage(int x, int y, const QImage& image) {
    return StretchImage(x, y, image.width(), image.height(), image);
}

bool CupsPrinter::StretchImage(int x, int y, int w, int h, const QImage& image) {
    if (image.isNull() || w <= 0 || h <= 0 || !BeginOutput()) return false;
    QImage page = CompactPageImage(image);
    painter_.drawImage(QRect(x, y, w, h), page);
    return true;
}

std::vector<std::string> CupsPrinterCollection::Names() const {
    std::vector<std::string> names;
    for (const QString& name : QPrinterInfo::availablePrinterNames()) {
        names.push_back(FromQString(name));
    }
    return names;
}

std::string CupsPrinterCollection::DefaultName() const {
    return FromQString(QPrinterInfo::defaultPrinterName());
}

std::shared_ptr<Printer> CupsPrinterCollection::Open(const std::string& name) {
    return std::make_shared<CupsPrinter>(name);
}

}  // namespace platform
