#include "platform/printer_cups.h"

#include <cups/cups.h>
#include <cups/ppd.h>

#include <QPageSize>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "platform/bitonal_image.h"
#include "platform/clock.h"
#include "platform/event_pump.h"
#include "platform/printed_page_image.h"
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

// How much PostScript gathers before it goes to CUPS.
constexpr std::size_t kSendChunk = 256 * 1024;

// Sets the page size only when it changes by more than the 5 points a
// printer tolerates: setting it again would start a new sheet in duplex.
constexpr const char* kProlog =
    "/talqPageSize {\n"
    " /setpagedevice where {\n"
    "  pop currentpagedevice /PageSize known {\n"
    "   2 copy currentpagedevice /PageSize get aload pop\n"
    "   exch 4 1 roll sub abs 5 gt 3 1 roll sub abs 5 gt or\n"
    "  } { true } ifelse\n"
    "  { 2 array astore << /PageSize 3 -1 roll /ImagingBBox null >> setpagedevice }\n"
    "  { pop pop } ifelse\n"
    " } { pop pop } ifelse\n"
    "} bind def\n"
    "/talqFlush { dup status { flushfile } { pop } ifelse } bind def\n";

const char* PageMediaName(int paper) {
    switch (paper) {
        case kPaperLegal:
            return "Legal";
        case kPaperTabloid:
        case kPaper11x17:
            return "Tabloid";
        default:
            return "Letter";
    }
}

// ASCII85 in lines CUPS's filters pass on untouched: none starts with "%".
void AppendAscii85(std::string& out, const std::string& data) {
    int column = 0;
    auto put = [&](char c) {
        if (column == 0 && c == '%') {
            out += ' ';
            ++column;
        }
        out += c;
        if (++column >= 76) {
            out += '\n';
            column = 0;
        }
    };
    const auto* p = reinterpret_cast<const unsigned char*>(data.data());
    const std::size_t n = data.size();
    std::size_t i = 0;
    for (; i + 4 <= n || i < n; i += 4) {
        const std::size_t take = std::min<std::size_t>(4, n - i);
        std::uint32_t v = 0;
        for (std::size_t k = 0; k < 4; ++k) v = (v << 8) | (k < take ? p[i + k] : 0u);
        if (v == 0 && take == 4) {
            put('z');
            continue;
        }
        char digits[5];
        for (int k = 4; k >= 0; --k) {
            digits[k] = static_cast<char>('!' + v % 85);
            v /= 85;
        }
        for (std::size_t k = 0; k < take + 1; ++k) put(digits[k]);
    }
    if (column > 0) out += '\n';
    out += "~>\n";
}

// The page image encoded for PostScript's own decoders, with the
// dictionary entries that describe it.
struct EncodedPage {
    std::string data, filter, colorSpace, decode;
    int bits = 8;
};

bool EncodePage(const QImage& image, bool monochrome, EncodedPage& out) {
    QImage page = CompactPageImage(image);
    if (page.format() == QImage::Format_Mono) {
        out.data = EncodeG4(page);
        out.filter = "<< /K -1 /Columns " + std::to_string(page.width()) + " /Rows " +
                     std::to_string(page.height()) + " >> /CCITTFaxDecode";
        out.colorSpace = "/DeviceGray";
        out.decode = "[0 1]";
        out.bits = 1;
        return !out.data.empty();
    }
    if (monochrome) page = GreyPageImage(page);
    out.data = EncodeJpeg(page);
    if (out.data.empty()) return false;
    out.filter = "/DCTDecode";
    const bool grey = page.format() == QImage::Format_Grayscale8;
    out.colorSpace = grey ? "/DeviceGray" : "/DeviceRGB";
    out.decode = grey ? "[0 1]" : "[0 1 0 1 0 1]";
    return true;
}

std::string AttributeText(ipp_t* response, const char* name, ipp_tag_t tag) {
    ipp_attribute_t* attr = response ? ippFindAttribute(response, name, tag) : nullptr;
    std::string text;
    for (int i = 0; attr && i < ippGetCount(attr); ++i) {
        if (!text.empty()) text += ", ";
        if (tag == IPP_TAG_ENUM || tag == IPP_TAG_INTEGER) {
            text += std::to_string(ippGetInteger(attr, i));
        } else if (const char* value = ippGetString(attr, i, nullptr)) {
            text += value;
        }
    }
    return text;
}

std::string PrinterUri(const std::string& name) {
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(),
                     "/printers/%s", name.c_str());
    return uri;
}

// What CUPS says of a queue: stopped or not accepting jobs, and why.
struct QueueState {
    bool reached = false, stopped = false, accepting = true;
    bool missing = false;  // CUPS answered that it has no such queue
    std::string message, reasons;
};

QueueState AskQueue(http_t* http, const std::string& name) {
    ipp_t* request = ippNewRequest(IPP_OP_GET_PRINTER_ATTRIBUTES);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr,
                 PrinterUri(name).c_str());
    static const char* const wanted[] = {"printer-state", "printer-state-message",
                                         "printer-state-reasons", "printer-is-accepting-jobs"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 4, nullptr,
                  wanted);
    ipp_t* response = cupsDoRequest(http, request, "/");
    QueueState state;
    state.reached = response && ippGetStatusCode(response) <= IPP_STATUS_OK_CONFLICTING;
    state.missing = response && ippGetStatusCode(response) == IPP_STATUS_ERROR_NOT_FOUND;
    if (state.reached) {
        ipp_attribute_t* s = ippFindAttribute(response, "printer-state", IPP_TAG_ENUM);
        state.stopped = s && ippGetInteger(s, 0) == IPP_PSTATE_STOPPED;
        ipp_attribute_t* a =
            ippFindAttribute(response, "printer-is-accepting-jobs", IPP_TAG_BOOLEAN);
        state.accepting = !a || ippGetBoolean(a, 0);
        state.message = AttributeText(response, "printer-state-message", IPP_TAG_TEXT);
        state.reasons = AttributeText(response, "printer-state-reasons", IPP_TAG_KEYWORD);
    }
    ippDelete(response);
    return state;
}

// Why a queue takes no job now; empty when it does.
std::string QueueTrouble(const QueueState& q) {
    if (q.stopped) return "the queue is stopped: " + (q.message.empty() ? q.reasons : q.message);
    if (!q.accepting)
        return "the queue accepts no jobs: " + (q.message.empty() ? q.reasons : q.message);
    return {};
}

struct JobState {
    bool answered = false;  // CUPS answered the question
    int state = 0;
    std::string reasons;
};

// A request about one job, asked as the user who sent it.
ipp_t* JobRequest(ipp_op_t operation, int id) {
    ipp_t* request = ippNewRequest(operation);
    char uri[HTTP_MAX_URI];
    httpAssembleURIf(HTTP_URI_CODING_ALL, uri, sizeof uri, "ipp", nullptr, "localhost", ippPort(),
                     "/jobs/%d", id);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "job-uri", nullptr, uri);
    ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr,
                 cupsUser());
    return request;
}

JobState AskJob(http_t* http, int id) {
    ipp_t* request = JobRequest(IPP_OP_GET_JOB_ATTRIBUTES, id);
    static const char* const wanted[] = {"job-state", "job-state-reasons"};
    ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes", 2, nullptr,
                  wanted);
    ipp_t* response = cupsDoRequest(http, request, "/");
    JobState job;
    job.answered = response != nullptr;
    if (ipp_attribute_t* s =
            response ? ippFindAttribute(response, "job-state", IPP_TAG_ENUM) : nullptr) {
        job.state = ippGetInteger(s, 0);
    }
    job.reasons = AttributeText(response, "job-state-reasons", IPP_TAG_KEYWORD);
    ippDelete(response);
    return job;
}

// Staples a job already under way (a staple command after its first page).
void StapleJob(int id) {
    ipp_t* request = JobRequest(IPP_OP_SET_JOB_ATTRIBUTES, id);
    ippAddInteger(request, IPP_TAG_JOB, IPP_TAG_ENUM, "finishings", IPP_FINISHINGS_STAPLE);
    ippDelete(cupsDoRequest(CUPS_HTTP_DEFAULT, request, "/jobs"));
}

// Lets the window's events run for about ms milliseconds.
void YieldFor(int ms) {
    const std::int64_t until = CurrentClock().MonotonicMs() + ms;
    // Bounded also under a clock that tests hold still.
    for (int i = 0; i < 1000 && CurrentClock().MonotonicMs() < until; ++i) DoEvents();
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

// One CUPS job: its own connection, on which the document is under way.
struct CupsPrinter::Job {
    http_t* http = nullptr;
    int id = 0;
    int pages = 0;
    std::string out;  // PostScript not yet sent
    ~Job() {
        if (http) httpClose(http);
    }
};

bool CupsPrinter::Fail(const std::string& reason) {
    if (!failed_ || failure_.empty()) failure_ = name_ + ": " + reason;
    failed_ = true;
    return false;
}

// A job on a stopped queue would wait there unseen: it is refused before
// its first page is composed.
bool CupsPrinter::OpenJob() {
    auto job = std::make_unique<Job>();
    job->http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                             30000, nullptr);
    if (!job->http) return Fail(std::strerror(errno));
    const QueueState queue = AskQueue(job->http, name_);
    if (!queue.reached) return Fail(cupsLastErrorString());
    if (const std::string trouble = QueueTrouble(queue); !trouble.empty()) return Fail(trouble);
    cups_option_t* options = nullptr;
    int count = 0;
    if (staple_ && canStaple_) {
        count = cupsAddOption(CUPS_FINISHINGS, CUPS_FINISHINGS_STAPLE, count, &options);
    }
    if (colorMode_ == kColorMonochrome) {
        count = cupsAddOption("print-color-mode", "monochrome", count, &options);
    }
    job->id = cupsCreateJob(job->http, name_.c_str(), "talq", count, options);
    cupsFreeOptions(count, options);
    if (job->id <= 0) return Fail(cupsLastErrorString());
    lastJobId_ = job->id;
    if (cupsStartDocument(job->http, name_.c_str(), job->id, "talq", CUPS_FORMAT_POSTSCRIPT, 1) !=
        HTTP_STATUS_CONTINUE) {
        job_ = std::move(job);
        return Fail(WhyRefused());
    }
    job->out = std::string("%!PS-Adobe-3.0\n%%Creator: talq\n%%Title: talq\n") +
               "%%LanguageLevel: 2\n%%DocumentData: Clean7Bit\n%%Pages: (atend)\n" +
               "%%EndComments\n%%BeginProlog\n" + kProlog + "%%EndProlog\n";
    job_ = std::move(job);
    return true;
}

// Sends what has gathered, all of it or whole chunks.
bool CupsPrinter::Send(bool all) {
    if (failed_ || !job_) return false;
    std::string& out = job_->out;
    if (out.empty() || (!all && out.size() < kSendChunk)) return true;
    if (cupsWriteRequestData(job_->http, out.data(), out.size()) != HTTP_STATUS_CONTINUE) {
        return Fail(WhyRefused());
    }
    out.clear();
    return true;
}

// A page of its own size whose set-up names its tray and sides, so that
// one document carries pages of every kind.
void CupsPrinter::StartPage(const PageSetup& page) {
    const QSize points = PageSizeFor(page.paper).sizePoints();
    const std::string w = std::to_string(points.width()), h = std::to_string(points.height());
    const std::string n = std::to_string(++job_->pages);
    std::string& out = job_->out;
    out += "%%Page: " + n + " " + n + "\n%%PageBoundingBox: 0 0 " + w + " " + h +
           "\n%%BeginPageSetup\n%%PageMedia: " + PageMediaName(page.paper) + "\n";
    const auto slot = inputSlots_.find(page.mediaSource.empty() ? "auto" : page.mediaSource);
    if (slot != inputSlots_.end()) out += "%%IncludeFeature: *InputSlot " + slot->second + "\n";
    if (canDuplex_) {
        out += std::string("%%IncludeFeature: *Duplex ") +
               (page.duplex ? "DuplexNoTumble" : "None") + "\n";
    }
    out += w + " " + h + " talqPageSize\n%%EndPageSetup\n";
    pageOpen_ = started_ = true;
    lastPage_ = page;
}

void CupsPrinter::ClosePage() {
    if (!pageOpen_) return;
    job_->out += "showpage\n%%PageTrailer\n";
    pageOpen_ = false;
}

bool CupsPrinter::BeginOutput() {
    if (failed_) return false;
    if (!job_ && !OpenJob()) return false;
    if (pageOpen_ && !pagePending_) return true;
    ClosePage();
    const bool sheetHalfDone = started_ && lastPage_.duplex && !onBackSide_;
    pagePending_ = false;
    // A page that must start a sheet after a front leaves that back blank.
    if (sheetHalfDone && (frontWanted_ || !duplex_)) {
        StartPage(lastPage_);
        ClosePage();
        onBackSide_ = true;
    }
    onBackSide_ = duplex_ && sheetHalfDone && !onBackSide_;
    frontWanted_ = false;
    StartPage({mediaSource_, paper_, duplex_});
    return Send(false);
}

// The page in hand goes to CUPS now.
bool CupsPrinter::NewPage() {
    pagePending_ = true;
    if (!job_) return !failed_;
    ClosePage();
    return Send(true);
}

void CupsPrinter::EndDoc() {
    // The next document starts on a page and a sheet of its own.
    pagePending_ = frontWanted_ = true;
}

bool CupsPrinter::EndJob() {
    bool ok = !failed_;
    if (job_ && ok) {
        ok = FinishJob();
    } else if (job_) {
        CancelJob();
    }
    job_.reset();
    failed_ = started_ = pageOpen_ = pagePending_ = onBackSide_ = frontWanted_ = false;
    staple_ = false;
    return ok;
}

void CupsPrinter::CancelJob() {
    if (!job_ || job_->id <= 0) return;
    // Closing the connection ends a document under way unfinished.
    httpClose(job_->http);
    job_->http = nullptr;
    cupsCancelJob2(CUPS_HTTP_DEFAULT, name_.c_str(), job_->id, 0);
}

bool CupsPrinter::FinishJob() {
    ClosePage();
    job_->out += "%%Trailer\n%%Pages: " + std::to_string(job_->pages) + "\n%%EOF\n";
    if (!Send(true)) {
        CancelJob();
        return false;
    }
    if (cupsFinishDocument(job_->http, name_.c_str()) > IPP_STATUS_OK_CONFLICTING) {
        Fail(WhyRefused());
        CancelJob();
        return false;
    }
    const Followed followed = FollowJob(job_->id);
    if (followed == Followed::kFailed) CancelJob();
    return followed == Followed::kHandedOver;
}

// CUPS's own words for a job under way it no longer takes are those of the
// broken connection ("Broken pipe") or of the lost job: a fresh connection
// tells whether the server or the queue has gone.
std::string CupsPrinter::WhyRefused() const {
    const std::string words = cupsLastErrorString();
    http_t* probe = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1,
                                 5000, nullptr);
    if (!probe) return "the CUPS server went away (" + words + ")";
    const QueueState queue = AskQueue(probe, name_);
    httpClose(probe);
    if (queue.missing) return "the queue was deleted (" + words + ")";
    if (!queue.reached) return "the CUPS server went away (" + words + ")";
    return words;
}

// Until the job is done, fails, is held, or the time is up with the job
// still on a working queue. A held job waits in the queue for someone to
// release it, and a job whose state CUPS no longer tells may print yet:
// neither is printed, and neither is cancelled.
CupsPrinter::Followed CupsPrinter::FollowJob(int id) {
    const std::int64_t until = CurrentClock().MonotonicMs() + followMs_;
    const std::string jobName = "job " + std::to_string(id);
    // The window's events run before each question, the first included.
    DoEvents();
    for (;;) {
        const JobState job = AskJob(job_->http, id);
        if (!job.answered) {
            Fail("CUPS stopped answering; the state of " + jobName + " is unknown");
            return Followed::kLeftAlone;
        }
        if (job.state == IPP_JSTATE_COMPLETED) return Followed::kHandedOver;
        if (job.state == IPP_JSTATE_HELD) {
            const std::string why = job.reasons.empty() || job.reasons == "none"
                                        ? std::string()
                                        : " (" + job.reasons + ")";
            Fail(jobName + " waits in the queue, held" + why);
            return Followed::kLeftAlone;
        }
        const QueueState queue = AskQueue(job_->http, name_);
        if (job.state == IPP_JSTATE_STOPPED || job.state == IPP_JSTATE_CANCELED ||
            job.state == IPP_JSTATE_ABORTED || queue.stopped) {
            const char* what = job.state == IPP_JSTATE_CANCELED  ? "cancelled"
                               : job.state == IPP_JSTATE_ABORTED ? "aborted"
                                                                 : "stopped";
            std::string reason = std::string("CUPS ") + what + " " + jobName;
            if (queue.stopped) reason = "the queue is stopped: " + queue.message;
            if (!job.reasons.empty() && job.reasons != "none") reason += " (" + job.reasons + ")";
            Fail(reason);
            return Followed::kFailed;
        }
        if (CurrentClock().MonotonicMs() >= until) return Followed::kHandedOver;
        YieldFor(100);
    }
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
    if (NamesStaple(bytes) && canStaple_ && !staple_) {
        staple_ = true;
        if (job_ && job_->id > 0) StapleJob(job_->id);
    }
    return false;
}

bool CupsPrinter::DrawImage(int x, int y, const QImage& image) {
    return StretchImage(x, y, image.width(), image.height(), image);
}

bool CupsPrinter::StretchImage(int x, int y, int w, int h, const QImage& image) {
    if (image.isNull() || w <= 0 || h <= 0 || !BeginOutput()) return false;
    EncodedPage page;
    if (!EncodePage(image, colorMode_ == kColorMonochrome, page)) {
        return Fail("the page image cannot be encoded");
    }
    // Pixels at the composing resolution, the image's rows top first.
    const int pageHeight = PageSizeFor(lastPage_.paper).sizePixels(kDpi).height();
    const std::string iw = std::to_string(image.width()), ih = std::to_string(image.height());
    std::string& out = job_->out;
    out += "gsave 72 " + std::to_string(kDpi) + " div dup scale " + std::to_string(x) + " " +
           std::to_string(pageHeight - y - h) + " translate " + std::to_string(w) + " " +
           std::to_string(h) + " scale\n" + page.colorSpace + " setcolorspace\n" +
           "/talqData currentfile /ASCII85Decode filter def\n" + "<< /ImageType 1 /Width " + iw +
           " /Height " + ih + " /BitsPerComponent " + std::to_string(page.bits) + " /Decode " +
           page.decode + " /ImageMatrix [" + iw + " 0 0 -" + ih + " 0 " + ih +
           "] /DataSource talqData " + page.filter + " filter >> image\n";
    AppendAscii85(out, page.data);
    out += "talqData talqFlush grestore\n";
    return Send(false);
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

std::string CupsPrinterCollection::Unreachable(const std::string& name) const {
    const QueueState queue = AskQueue(CUPS_HTTP_DEFAULT, name);
    const std::string trouble = queue.reached ? QueueTrouble(queue) : cupsLastErrorString();
    return trouble.empty() ? trouble : name + ": " + trouble;
}

}  // namespace platform
