#pragma once
// The machine's CUPS printers. A print job becomes one CUPS job: its pages
// are written as one PostScript stream whose page set-ups carry each
// page's own paper size, tray and sides (as the printer's PPD names them),
// which CUPS's filters apply page by page. Paper bins map onto the
// printer's "media-source" values and a staple command onto CUPS
// finishings where the printer offers them. Raw escapes cannot enter a
// CUPS job; the duplex side escapes are honoured, the rest kept for the log.

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

    bool NewPage() override {
        pagePending_ = true;
        return true;
    }
    void EndDoc() override;
    bool EndJob() override;
    void PrintText(const std::string& text) override;
    bool Escape(const std::string& bytes) override;
    bool DrawImage(int x, int y, const QImage& image) override;
    bool StretchImage(int x, int y, int w, int h, const QImage& image) override;

  private:
    struct Stream;
    struct PageSetup {
        std::string mediaSource;
        int paper = kPaperLetter;
        bool duplex = false;
    };
    bool BeginOutput();
    void StartPage(const PageSetup& page);
    bool Submit();

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

    std::unique_ptr<Stream> stream_;
    bool pageOpen_ = false;
    PageSetup openPage_;
    bool pagePending_ = false;
    bool onBackSide_ = false;  // the open page is a sheet's back
    int lastJobId_ = 0;
    std::string failure_;
    std::vector<std::string> escapes_;
};

class CupsPrinterCollection : public PrinterCollection {
  public:
    std::vector<std::string> Names() const override;
    std::string DefaultName() const override;
    std::shared_ptr<Printer> Open(const std::string& name) override;
};

}  // namespace platform
