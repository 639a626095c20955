#pragma once
// A printer that writes each job's pages into a new PDF file, at a fixed
// device resolution, so a page composed at that resolution is placed pixel
// for pixel. The pages go to a temporary file beside the one asked for, each
// as it ends, and the file takes its name only once complete and on disk; a
// job that fails leaves nothing. A file that exists is never replaced unless
// asked for: the job takes the first free name of "name.pdf", "name-2.pdf",
// "name-3.pdf" ..., and makes the folder when it is missing. A job cut short
// never replaces a file: the pages it has go to the first free name beside
// the one it was to replace. Black-and-white
// pages are stored as 1-bit
// CCITT group 4 images, lossless; grey and colour pages as JPEG. Every bin
// is taken (a file has none); the paper sizes are letter, legal and 11x17.

#include <QPageSize>

#include <memory>
#include <string>

#include "platform/printer.h"

namespace platform {

// Why no file can be written under that name (a folder has it, or what
// should be its folder is a file), naming it; empty when one can.
std::string PdfTargetTrouble(const std::string& path);

class PdfPrinter : public Printer {
  public:
    PdfPrinter(std::string name, std::string path, int dpi = 300);
    ~PdfPrinter() override;

    // The file asked for, and the file the last job wrote.
    const std::string& Path() const { return path_; }
    const std::string& WrittenPath() const { return written_; }
    // The open or next job replaces the file asked for, for a name the user
    // agreed to replace; the file stays as it is until the job is complete.
    void ReplaceExistingFile() { replace_ = true; }
    std::string FailureReason() const override { return failure_; }
    std::string CannotTakeJob() const override { return PdfTargetTrouble(path_); }
    void CutShort() override { replace_ = false; }

    std::string DeviceName() const override { return name_; }
    int ColorMode() const override { return colorMode_; }
    bool SetColorMode(int mode) override;
    int BitsPerPixel() const override { return 24; }
    bool SetDuplex(int) override { return true; }
    bool SetPaperBin(int) override { return true; }
    int PaperSize() const override { return paper_; }
    bool SetPaperSize(int code) override;
    int PageWidth() const override;
    int PageHeight() const override;
    bool StretchesBitmaps() const override { return true; }

    bool NewPage() override;
    void EndDoc() override;
    bool EndJob() override;
    void PrintText(const std::string& text) override;
    bool Escape(const std::string&) override { return false; }
    bool DrawImage(int x, int y, const QImage& image) override;
    bool StretchImage(int x, int y, int w, int h, const QImage& image) override;

  private:
    class JobFile;
    struct Document;
    bool BeginOutput();
    bool Fail(const std::string& reason);

    std::string name_;
    std::string path_;
    std::string written_;
    std::string failure_;
    int dpi_;
    int paper_ = kPaperLetter;
    int colorMode_ = kColorColor;
    std::unique_ptr<Document> doc_;
    bool pageOpen_ = false;
    bool replace_ = false;
};

// The page of a paper size code; letter for codes it does not know.
QPageSize PageSizeFor(int code);

}  // namespace platform
