#pragma once
// The machine's CUPS printers through Qt's print support. Paper bins map
// onto the printer's "media-source" values, duplex onto its own duplex
// option and a staple command onto CUPS finishings where the printer
// offers them. A job cannot change bin, paper or duplex midway: a new job
// starts at the page where one changes. Raw escapes cannot enter a CUPS
// job; they are kept for the log.

#include <QPainter>
#include <QPrinter>

#include <memory>
#include <string>
#include <vector>

#include "platform/printer.h"

namespace platform {

// The media-source values a bin number stands for, most usual first.
std::vector<std::string> MediaSourcesForBin(int bin);

class CupsPrinter : public Printer {
  public:
    explicit CupsPrinter(const std::string& name);
    ~CupsPrinter() override;

    const std::vector<std::string>& Escapes() const { return escapes_; }

    std::string DeviceName() const override { return name_; }
    int ColorMode() const override;
    bool SetColorMode(int mode) override;
    int BitsPerPixel() const override { return 24; }
    bool SetDuplex(int setting) override;
    bool SetPaperBin(int bin) override;
    int PaperSize() const override { return paper_; }
    bool SetPaperSize(int code) override;
    int PageWidth() const override;
    int PageHeight() const override;
    bool StretchesBitmaps() const override { return true; }

    void NewPage() override { pagePending_ = true; }
    void EndDoc() override;
    void EndJob() override { EndDoc(); }
    void PrintText(const std::string& text) override;
    bool Escape(const std::string& bytes) override;
    bool DrawImage(int x, int y, const QImage& image) override;
    bool StretchImage(int x, int y, int w, int h, const QImage& image) override;

  private:
    bool BeginOutput();
    void ApplyJobOptions();

    std::string name_;
    QPrinter printer_{QPrinter::HighResolution};
    QPainter painter_;
    std::vector<std::string> mediaSources_;
    bool canStaple_ = false;
    std::string mediaSource_;
    bool staple_ = false;
    int paper_ = kPaperLetter;
    bool pagePending_ = false;
    bool jobChange_ = false;  // a setting changed that the open job cannot take
    std::vector<std::string> escapes_;
};

class CupsPrinterCollection : public PrinterCollection {
  public:
    std::vector<std::string> Names() const override;
    std::string DefaultName() const override;
    std::shared_ptr<Printer> Open(const std::string& name) override;
};

}  // namespace platform
