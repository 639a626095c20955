#include "platform/printer_cups.h"

#include <cairo-ps.h>
#include <cairo.h>
#include <cups/cups.h>
#include <cups/ppd.h>

#include <QPageSize>

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "platform/printer_pdf.h"

namespace platform {
namespace {

// The device resolution pages are composed for; CUPS's filters take the
// page from there to the printer's own.
constexpr int kDpi = 300;

// The PPD names of the paper size codes, most usual first.
std::vector<std::string> PpdPageSizesFor(int code) {
    switch (code) {
        case kPaperLetter:
            return {"Letter"};
        case kPaperLegal:
            return {"Legal"};
        default:
            return {"Tabloid", "11x17"};
    }
}

bool NamesStaple(const std::string& bytes) {
    std::string up = bytes;
    std::transform(up.begin(), up.end(), up.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return up.find("STAPLE") != std::string::npos && up.find("STAPLE=NONE") == std::string::npos &&
           up.find("STAPLE=OFF") == std::string::npos;
}

// What the printer offers through IPP: its media sources and stapling.
void QueryDestination(const std::string& name, std::vector<std::string>& mediaSources,
                      bool& canDuplex, bool& canStaple) {
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
        canDuplex = cupsCheckDestSupported(CUPS_HTTP_DEFAULT, dest, info, CUPS_SIDES,
                                           CUPS_SIDES_TWO_SIDED_PORTRAIT) != 0;
        canStaple = cupsCheckDestSupported(CUPS_HTTP_DEFAULT, dest, info, CUPS_FINISHINGS,
                                           CUPS_FINISHINGS_STAPLE) != 0;
        cupsFreeDestInfo(info);
    }
    cupsFreeDests(1, dest);
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
// The PPD's tray choices by media source and its paper sizes; a queue
// without a PPD keeps what IPP told.
void QueryPpd(const std::string& name, std::map<std::string, std::string>& inputSlots,
              std::vector<int>& paperSizes) {
    const char* path = cupsGetPPD2(CUPS_HTTP_DEFAULT, name.c_str());
    if (!path) return;
    const std::string file = path;
    if (ppd_file_t* ppd = ppdOpenFile(file.c_str())) {
        if (ppd_option_t* trays = ppdFindOption(ppd, "InputSlot")) {
            for (int i = 0; i < trays->num_choices; ++i) {
                const std::string choice = trays->choices[i].choice;
                inputSlots.emplace(MediaSourceForInputSlot(choice), choice);
            }
        }
        if (ppd_option_t* sizes = ppdFindOption(ppd, "PageSize")) {
            for (int code : {kPaperLetter, kPaperLegal, kPaperTabloid, kPaper11x17}) {
                for (const std::string& size : PpdPageSizesFor(code)) {
                    if (ppdFindChoice(sizes, size.c_str())) {
                        paperSizes.push_back(code);
                        break;
                    }
                }
            }
        }
        ppdClose(ppd);
    }
    std::remove(file.c_str());
}
#pragma GCC diagnostic pop

cairo_status_t AppendToString(void* closure, const unsigned char* data, unsigned int length) {
    static_cast<std::string*>(closure)->append(reinterpret_cast<const char*>(data), length);
    return CAIRO_STATUS_SUCCESS;
}

}  // namespace

// The job's PostScript as cairo writes it.
struct CupsPrinter::Stream {
    std::string data;
    cairo_surface_t* surface = nullptr;
    cairo_t* cr = nullptr;

    Stream(double widthPt, double heightPt) {
        surface = cairo_ps_surface_create_for_stream(AppendToString, &data, widthPt, heightPt);
        cr = cairo_create(surface);
    }
    ~Stream() {
        cairo_destroy(cr);
        cairo_surface_destroy(surface);
    }
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;
    void Finish() { cairo_surface_finish(surface); }
};

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

// CUPS's own naming of PPD trays: a few well-known names, the rest
// lower-cased with a hyphen between words and before numbers.
std::string MediaSourceForInputSlot(const std::string& choice) {
    auto starts = [&](const char* prefix) {
        const std::size_t n = std::char_traits<char>::length(prefix);
        if (choice.size() < n) return false;
        for (std::size_t i = 0; i < n; ++i) {
            if (std::tolower(static_cast<unsigned char>(choice[i])) != prefix[i]) return false;
        }
        return true;
    };
    const std::string lower = [&] {
        std::string s = choice;
        for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return s;
    }();
    if (lower == "auto" || lower == "default") return "auto";
    if (lower == "cassette") return "main";
    if (lower == "largecapacity") return "large-capacity";
    if (lower == "mp" || lower == "mptray" || starts("multipurpose")) return "by-pass-tray";
    if (starts("lower")) return "bottom";
    if (starts("middle")) return "middle";
    if (starts("upper")) return "top";
    std::string name;
    char prev = 0;
    for (char c : choice) {
        const auto u = static_cast<unsigned char>(c);
        if (!std::isalnum(u)) {
            if (!name.empty() && name.back() != '-') name += '-';
        } else {
            const auto p = static_cast<unsigned char>(prev);
            const bool wordStart = prev && std::isalnum(p) &&
                                   ((std::isupper(u) && std::islower(p)) ||
                                    (std::isdigit(u) != 0) != (std::isdigit(p) != 0));
            if (wordStart && name.back() != '-') name += '-';
            name += static_cast<char>(std::tolower(u));
        }
        prev = c;
    }
    return name;
}

CupsPrinter::CupsPrinter(const std::string& name) : name_(name) {
    QueryDestination(name, mediaSources_, canDuplex_, canStaple_);
    QueryPpd(name, inputSlots_, paperSizes_);
}

CupsPrinter::~CupsPrinter() {
    EndJob();
}

bool CupsPrinter::SetColorMode(int mode) {
    if (mode != kColorMonochrome && mode != kColorColor) return false;
    colorMode_ = mode;
    return true;
}

bool CupsPrinter::SetDuplex(int setting) {
    const bool on = setting == kDuplexLongEdge;
    if (on && !canDuplex_) return false;
    duplex_ = on;
    return true;
}

// Each media source the printer offers under the number of the first bin
// that maps onto it; sources no bin names are left out.
std::vector<PaperBinInfo> CupsPrinter::PaperBins() const {
    std::vector<PaperBinInfo> bins;
    for (const std::string& source : mediaSources_) {
        for (int bin = kBinUpper; bin <= kBinFormSource; ++bin) {
            const std::vector<std::string> names = MediaSourcesForBin(bin);
            if (std::find(names.begin(), names.end(), source) != names.end()) {
                bins.push_back({source, bin});
                break;
            }
        }
    }
    return bins;
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
    mediaSource_ = chosen;
    return true;
}

bool CupsPrinter::SetPaperSize(int code) {
    if (code != kPaperLetter && code != kPaperLegal && code != kPaperTabloid &&
        code != kPaper11x17) {
        return false;
    }
    if (!paperSizes_.empty() &&
        std::find(paperSizes_.begin(), paperSizes_.end(), code) == paperSizes_.end()) {
        return false;
    }
    paper_ = code;
    return true;
}

int CupsPrinter::PageWidth() const {
    return PageSizeFor(paper_).sizePixels(kDpi).width();
}

int CupsPrinter::PageHeight() const {
    return PageSizeFor(paper_).sizePixels(kDpi).height();
}

// A page of its own size whose set-up names its tray and sides, so that
// one stream carries pages of every kind.
void CupsPrinter::StartPage(const PageSetup& page) {
    const QSize points = PageSizeFor(page.paper).sizePoints();
    if (!stream_) {
        stream_ = std::make_unique<Stream>(points.width(), points.height());
    } else {
        cairo_ps_surface_set_size(stream_->surface, points.width(), points.height());
    }
    cairo_ps_surface_dsc_begin_page_setup(stream_->surface);
    const auto slot = inputSlots_.find(page.mediaSource.empty() ? "auto" : page.mediaSource);
    if (slot != inputSlots_.end()) {
        const std::string line = "%%IncludeFeature: *InputSlot " + slot->second;
        cairo_ps_surface_dsc_comment(stream_->surface, line.c_str());
    }
    if (canDuplex_) {
        const std::string line =
            std::string("%%IncludeFeature: *Duplex ") + (page.duplex ? "DuplexNoTumble" : "None");
        cairo_ps_surface_dsc_comment(stream_->surface, line.c_str());
    }
    pageOpen_ = true;
    openPage_ = page;
}

bool CupsPrinter::BeginOutput() {
    if (pageOpen_ && !pagePending_) return true;
    const bool sheetHalfDone = pageOpen_ && openPage_.duplex && !onBackSide_;
    if (pageOpen_) cairo_show_page(stream_->cr);
    pagePending_ = false;
    // A page that must start a sheet after a front leaves that back blank.
    if (sheetHalfDone && (frontWanted_ || !duplex_)) {
        StartPage(openPage_);
        cairo_show_page(stream_->cr);
        onBackSide_ = true;
    }
    onBackSide_ = duplex_ && sheetHalfDone && !onBackSide_;
    frontWanted_ = false;
    StartPage({mediaSource_, paper_, duplex_});
    return cairo_status(stream_->cr) == CAIRO_STATUS_SUCCESS;
}

void CupsPrinter::EndDoc() {
    // The next document starts on a page and a sheet of its own.
    pagePending_ = frontWanted_ = true;
}

bool CupsPrinter::EndJob() {
    bool ok = true;
    if (stream_) {
        if (pageOpen_) cairo_show_page(stream_->cr);
        stream_->Finish();
        ok = Submit();
    }
    stream_.reset();
    pageOpen_ = pagePending_ = onBackSide_ = frontWanted_ = false;
    staple_ = false;
    return ok;
}

bool CupsPrinter::Submit() {
    failure_.clear();
    cups_option_t* options = nullptr;
    int count = 0;
    if (staple_ && canStaple_) {
        count = cupsAddOption(CUPS_FINISHINGS, CUPS_FINISHINGS_STAPLE, count, &options);
    }
    if (colorMode_ == kColorMonochrome) {
        count = cupsAddOption("print-color-mode", "monochrome", count, &options);
    }
    const int id = cupsCreateJob(CUPS_HTTP_DEFAULT, name_.c_str(), "talq", count, options);
    cupsFreeOptions(count, options);
    if (id <= 0) {
        failure_ = name_ + ": " + cupsLastErrorString();
        return false;
    }
    const std::string& data = stream_->data;
    bool sent = cupsStartDocument(CUPS_HTTP_DEFAULT, name_.c_str(), id, "talq",
                                  CUPS_FORMAT_POSTSCRIPT, 1) == HTTP_STATUS_CONTINUE;
    sent = sent && cupsWriteRequestData(CUPS_HTTP_DEFAULT, data.data(), data.size()) ==
                       HTTP_STATUS_CONTINUE;
    sent = cupsFinishDocument(CUPS_HTTP_DEFAULT, name_.c_str()) == IPP_STATUS_OK && sent;
    if (!sent) {
        failure_ = name_ + ": " + cupsLastErrorString();
        cupsCancelJob2(CUPS_HTTP_DEFAULT, name_.c_str(), id, 0);
        return false;
    }
    lastJobId_ = id;
    return true;
}

void CupsPrinter::PrintText(const std::string&) {
    BeginOutput();
}

// The escape arrives as a block: a 16-bit count, then the bytes.
bool CupsPrinter::Escape(const std::string& bytes) {
    escapes_.push_back(bytes);
    const std::string payload = bytes.size() > 2 ? bytes.substr(2) : std::string();
    if (payload == kFrontSideEscape) {
        frontWanted_ = true;
        return true;
    }
    if (payload == kBackSideEscape) return true;
    if (NamesStaple(bytes) && canStaple_) staple_ = true;
    return false;
}

bool CupsPrinter::DrawImage(int x, int y, const QImage& image) {
    return StretchImage(x, y, image.width(), image.height(), image);
}

bool CupsPrinter::StretchImage(int x, int y, int w, int h, const QImage& image) {
    if (image.isNull() || w <= 0 || h <= 0 || !BeginOutput()) return false;
    // cairo keeps the picture until the page is written: it gets its own copy.
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    cairo_surface_t* picture =
        cairo_image_surface_create(CAIRO_FORMAT_RGB24, rgb.width(), rgb.height());
    if (cairo_surface_status(picture) != CAIRO_STATUS_SUCCESS) {
        cairo_surface_destroy(picture);
        return false;
    }
    cairo_surface_flush(picture);
    unsigned char* bits = cairo_image_surface_get_data(picture);
    const int stride = cairo_image_surface_get_stride(picture);
    for (int row = 0; row < rgb.height(); ++row) {
        std::copy_n(rgb.constScanLine(row), rgb.width() * 4, bits + row * stride);
    }
    cairo_surface_mark_dirty(picture);
    cairo_t* cr = stream_->cr;
    cairo_save(cr);
    cairo_scale(cr, 72.0 / kDpi, 72.0 / kDpi);
    cairo_translate(cr, x, y);
    cairo_scale(cr, static_cast<double>(w) / rgb.width(), static_cast<double>(h) / rgb.height());
    cairo_set_source_surface(cr, picture, 0, 0);
    cairo_pattern_set_filter(cairo_get_source(cr), CAIRO_FILTER_NEAREST);
    cairo_paint(cr);
    cairo_restore(cr);
    cairo_surface_destroy(picture);
    return cairo_status(cr) == CAIRO_STATUS_SUCCESS;
}

std::vector<std::string> CupsPrinterCollection::Names() const {
    std::vector<std::string> names;
    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    for (int i = 0; i < count; ++i) {
        if (!dests[i].instance) names.push_back(dests[i].name);
    }
    cupsFreeDests(count, dests);
    return names;
}

std::string CupsPrinterCollection::DefaultName() const {
    cups_dest_t* dests = nullptr;
    const int count = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    const cups_dest_t* dest = cupsGetDest(nullptr, nullptr, count, dests);
    std::string name = dest ? dest->name : "";
    cupsFreeDests(count, dests);
    return name;
}

std::shared_ptr<Printer> CupsPrinterCollection::Open(const std::string& name) {
    return std::make_shared<CupsPrinter>(name);
}

}  // namespace platform
