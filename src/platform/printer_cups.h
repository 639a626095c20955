#pragma once
// The machine's CUPS printers. A print job becomes one CUPS job whose
// PostScript is sent page by page as the pages are composed, so a job of
// any length holds one page in memory and a page that cannot be sent fails
// at that page. Each page's set-up carries its own paper size, tray and
// sides (as the printer's PPD names them), which CUPS's filters apply page
// by page; black-and-white pages travel as CCITT group 4, others as JPEG.
// Paper bins map onto the printer's "media-source" values and a staple
// command onto CUPS finishings where the printer offers them. Raw escapes
// cannot enter a CUPS job; the duplex side escapes are honoured, the rest
// kept for the log.
//
// A job counts as printed once CUPS has it on a working queue: after the
// last page its state is followed for a few seconds (the window's events
// run meanwhile); a job CUPS stops, aborts or cancels, or a stopped queue,
// fails the job with the queue's name and CUPS's reason, and the job is
// cancelled so that it never prints behind the user's back. A job the
// queue holds, or whose state CUPS stops telling, fails too but is left
// where it is: it may still print.

#include <QImage>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/printer.h"

namespace platform {

// The media-source values a bin number stands for, most usual first.
std::vector<std::string> MediaSourcesForBin(int bin);
// The media-source value CUPS gives a PPD "InputSlot" choice.
std::string MediaSourceForInputSlot(const std::string& choice);

class CupsPrinter : public Printer {
  public:
    explicit CupsPrinter(const std::string& name);
    ~CupsPrinter() override;

    const std::vector<std::string>& Escapes() const { return escapes_; }
    // The id of the last CUPS job this printer submitted; 0 before any.
    int LastJobId() const { return lastJobId_; }
    // How long a submitted job's state is followed; 0 hands it over at once.
    void SetFollowMs(int ms) { followMs_ = ms; }

    std::string DeviceName() const override { return name_; }
    int ColorMode() const override { return colorMode_; }
    bool SetColorMode(int mode) override;
    int BitsPerPixel() const override { return 24; }
    bool SetDuplex(int setting) override;
    bool SetPaperBin(int bin) override;
    int PaperSize() const override { return paper_; }
    bool SetPaperSize(int code) override;
    int PageWidth() const override;
    int PageHeight() const override;
    bool StretchesBitmaps() const override { return true; }
    std::vector<PaperBinInfo> PaperBins() const override;
    std::string FailureReason() const override { return failure_; }

    bool NewPage() override;
    void EndDoc() override;
    bool EndJob() override;
    void PrintText(const std::string& text) override;
    bool Escape(const std::string& bytes) override;
    bool DrawImage(int x, int y, const QImage& image) override;
    bool StretchImage(int x, int y, int w, int h, const QImage& image) override;

  private:
    struct Job;
    struct PageSetup {
        std::string mediaSource;
        int paper = kPaperLetter;
        bool duplex = false;
    };
    bool Fail(const std::string& reason);
    bool OpenJob();
    bool BeginOutput();
    void StartPage(const PageSetup& page);
    void ClosePage();
    bool Send(bool all);
    bool FinishJob();
    enum class Followed { kHandedOver, kFailed, kLeftAlone };
    Followed FollowJob(int id);
    std::string WhyRefused() const;
    void CancelJob();

    std::string name_;
    // What the printer offers, asked of CUPS when it is opened.
    std::vector<std::string> mediaSources_;
    std::map<std::string, std::string> inputSlots_;  // media-source -> PPD choice
    std::vector<int> paperSizes_;                    // codes its PPD names; empty: any
    bool canDuplex_ = false;
    bool canStaple_ = false;

    // The settings of the next page.
    std::string mediaSource_;
    int paper_ = kPaperLetter;
    bool duplex_ = false;
    int colorMode_ = kColorColor;
    bool staple_ = false;
    bool frontWanted_ = false;  // the next page starts a sheet

    std::unique_ptr<Job> job_;
    bool failed_ = false;    // the job in hand cannot print any more
    bool started_ = false;   // a page of the job has begun
    bool pageOpen_ = false;  // ... and is not shown yet
    PageSetup lastPage_;
    bool pagePending_ = false;
    bool onBackSide_ = false;  // the last page is a sheet's back
    int lastJobId_ = 0;
    int followMs_ = 3000;
    std::string failure_;
    std::vector<std::string> escapes_;
};

class CupsPrinterCollection : public PrinterCollection {
  public:
    std::vector<std::string> Names() const override;
    std::string DefaultName() const override;
    std::shared_ptr<Printer> Open(const std::string& name) override;
    std::string Unreachable(const std::string& name) const override;
};

}  // namespace platform
