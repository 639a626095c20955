#pragma once
// The machine's printers as the print engine drives them: the printer list,
// the current printer and one printer's settings, pages and output. Three
// back ends stand behind it: CUPS printers (printer_cups.h, in a library of
// its own since Qt's print support brings widgets), a PDF file
// (printer_pdf.h) and a recording printer for tests (printer_recording.h).
//
// A page begins with its first output (text, image or raw bytes); NewPage
// ends it, EndDoc ends the printer document and EndJob releases what the
// job holds (a PDF file is written out there).

#include <QImage>

#include <memory>
#include <string>
#include <vector>

namespace platform {

// Paper bins by the numbers the print options store.
enum PaperBin {
    kBinUpper = 1,
    kBinLower = 2,
    kBinMiddle = 3,
    kBinManual = 4,
    kBinEnvelope = 5,
    kBinEnvelopeManual = 6,
    kBinAuto = 7,
    kBinTractor = 8,
    kBinSmallFormat = 9,
    kBinLargeFormat = 10,
    kBinLargeCapacity = 11,
    kBinCassette = 14,
    kBinFormSource = 15
};

// Paper size codes.
enum PaperCode { kPaperLetter = 1, kPaperTabloid = 3, kPaperLegal = 5, kPaper11x17 = 17 };

// Colour modes and duplex settings.
enum { kColorMonochrome = 1, kColorColor = 2 };
enum { kDuplexSimplex = 1, kDuplexLongEdge = 2 };

// The printer name that writes a new PDF file into the user's documents
// folder at each job; a name ending in ".pdf" writes that file, or a
// numbered one beside it when it exists.
inline constexpr const char* kPdfPrinterName = "Print to File (PDF)";
bool IsPdfPrinterName(const std::string& name);
// Where PDF prints go unless the user names another folder: the documents
// folder, else the home folder.
std::string PdfPrintFolder();

// A paper bin as a printer names it, with the number the print options store.
struct PaperBinInfo {
    std::string name;
    int number = 0;
};

// The duplex escapes a job sends before a page: start it on the front of a
// new sheet, or on the back of the sheet in hand.
inline constexpr const char* kFrontSideEscape = "\x1b&a1G";
inline constexpr const char* kBackSideEscape = "\x1b&a2G";

class Printer {
  public:
    virtual ~Printer() = default;

    virtual std::string DeviceName() const = 0;
    // kColorMonochrome or kColorColor; 0 when it cannot be read.
    virtual int ColorMode() const = 0;
    virtual bool SetColorMode(int mode) = 0;
    virtual int BitsPerPixel() const = 0;
    virtual bool SetDuplex(int setting) = 0;
    // False when the printer refuses the bin or size; nothing changes then.
    virtual bool SetPaperBin(int bin) = 0;
    virtual int PaperSize() const = 0;
    virtual bool SetPaperSize(int code) = 0;
    // The page at the current paper size in device pixels.
    virtual int PageWidth() const = 0;
    virtual int PageHeight() const = 0;
    virtual bool StretchesBitmaps() const = 0;
    virtual bool HasDeviceContext() const { return true; }
    // The printer's paper bins in its own order; none when it cannot tell.
    virtual std::vector<PaperBinInfo> PaperBins() const { return {}; }
    // Why the last output failed, naming the file or device; empty when
    // the printer cannot tell.
    virtual std::string FailureReason() const { return {}; }
    // Why a job cannot start on it now, naming the file or device; empty
    // when it can or the printer cannot tell before trying.
    virtual std::string CannotTakeJob() const { return {}; }

    // Ends the page in hand; false when it could not be put out, FailureReason
    // telling why.
    virtual bool NewPage() = 0;
    virtual void EndDoc() = 0;
    // The job in hand stops before all it was meant to print (cancelled, or
    // a page failed); what it put out so far still ends with EndJob.
    virtual void CutShort() {}
    // Finishes the job's output and hands it over; false when that failed,
    // FailureReason telling why.
    virtual bool EndJob() { return true; }
    virtual void PrintText(const std::string& text) = 0;
    // Raw bytes for the device; false when nothing took them.
    virtual bool Escape(const std::string& bytes) = 0;
    // The image at its own size, or stretched to w x h, at (x, y) in pixels.
    virtual bool DrawImage(int x, int y, const QImage& image) = 0;
    virtual bool StretchImage(int x, int y, int w, int h, const QImage& image) = 0;
};

// The message, with the printer's reason for its failure on a line below.
std::string WithFailureReason(const std::string& message, const Printer& printer);

// The printers a machine offers, besides the PDF printer every machine has.
class PrinterCollection {
  public:
    virtual ~PrinterCollection() = default;
    virtual std::vector<std::string> Names() const = 0;
    virtual std::string DefaultName() const = 0;
    // The printer of exactly that name; null when there is none.
    virtual std::shared_ptr<Printer> Open(const std::string& name) = 0;
    // Why the printer of that name cannot take a job now, naming it; empty
    // when it can or the machine does not say.
    virtual std::string Unreachable(const std::string&) const { return {}; }
};

// Replaces the machine's printers (and forgets the current printer); null
// leaves only the PDF printer.
void InstallPrinterCollection(std::shared_ptr<PrinterCollection> collection);
// The names of all printers, the PDF printer last.
std::vector<std::string> PrinterNames();
// The printer of a name compared without regard to case, or a PDF printer
// for a PDF name; null when there is none.
std::shared_ptr<Printer> OpenPrinter(const std::string& name);
// The current printer: the collection's default until one is selected.
std::shared_ptr<Printer> CurrentPrinter();
// False, with the current printer kept, when no printer has that name.
bool SelectCurrentPrinter(const std::string& name);
// The machine's default printer; empty when it names none (the PDF printer
// is never a default of its own).
std::string DefaultPrinterName();
// Why the printer of that name cannot take a job now, naming it and giving
// the machine's reason; empty when it can or the machine does not say.
std::string PrinterUnreachable(const std::string& name);

}  // namespace platform
