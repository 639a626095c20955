#pragma once
// A printer that keeps everything it is asked to do: each call as a line of
// text, each image handed to it, each raw escape as bytes. Tests set which
// bins and sizes it refuses, its page size, depth and stretch capability.

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/printer.h"

namespace platform {

class RecordingPrinter : public Printer {
  public:
    explicit RecordingPrinter(std::string name) : name_(std::move(name)) {}

    // What it was asked, in order: "Color 2", "Duplex 2", "Bin 7", "Size 1",
    // "NewPage", "EndDoc", "EndJob", "Text  ", "Escape 7", "Image 0,0 100x200",
    // "Stretch 0,0 2550x3300 from 100x200"; refused settings end in " refused".
    std::vector<std::string> calls;
    std::vector<QImage> images;
    std::vector<std::string> escapes;

    // Set by tests.
    std::set<int> refusedBins;
    std::set<int> refusedSizes;
    bool refuseDuplex = false;
    bool canStretch = false;
    bool hasDeviceContext = true;
    bool failImages = false;
    bool failEnd = false;
    bool failPages = false;  // no page ends
    std::vector<PaperBinInfo> bins;
    int bitsPerPixel = 24;
    int colorMode = kColorColor;
    int dpi = 300;

    int bin = kBinAuto;
    int paper = kPaperLetter;
    int duplex = kDuplexSimplex;

    std::string DeviceName() const override { return name_; }
    int ColorMode() const override { return colorMode; }
    bool SetColorMode(int mode) override;
    int BitsPerPixel() const override { return bitsPerPixel; }
    bool SetDuplex(int setting) override;
    bool SetPaperBin(int bin) override;
    int PaperSize() const override { return paper; }
    bool SetPaperSize(int code) override;
    int PageWidth() const override;
    int PageHeight() const override;
    bool StretchesBitmaps() const override { return canStretch; }
    bool HasDeviceContext() const override { return hasDeviceContext; }
    std::vector<PaperBinInfo> PaperBins() const override { return bins; }

    bool NewPage() override {
        calls.push_back("NewPage");
        return !failPages;
    }
    void EndDoc() override { calls.push_back("EndDoc"); }
    bool EndJob() override {
        calls.push_back("EndJob");
        return !failEnd;
    }
    std::string FailureReason() const override {
        if (failEnd) return name_ + ": not handed over";
        return failPages ? name_ + ": page not put out" : "";
    }
    void PrintText(const std::string& text) override { calls.push_back("Text " + text); }
    bool Escape(const std::string& bytes) override;
    bool DrawImage(int x, int y, const QImage& image) override;
    bool StretchImage(int x, int y, int w, int h, const QImage& image) override;

  private:
    std::string name_;
};

// A machine whose printers are recording printers; Open hands out the same
// printer each time, so tests read what a job did.
class RecordingPrinterCollection : public PrinterCollection {
  public:
    std::shared_ptr<RecordingPrinter> Add(const std::string& name);
    std::shared_ptr<RecordingPrinter> Get(const std::string& name) const;

    std::vector<std::string> Names() const override { return order_; }
    std::string DefaultName() const override { return order_.empty() ? "" : order_.front(); }
    std::shared_ptr<Printer> Open(const std::string& name) override { return Get(name); }

  private:
    std::vector<std::string> order_;
    std::map<std::string, std::shared_ptr<RecordingPrinter>> printers_;
};

// A machine with one given printer, handed out under any name.
class SinglePrinterCollection : public PrinterCollection {
  public:
    explicit SinglePrinterCollection(std::shared_ptr<Printer> printer)
        : printer_(std::move(printer)) {}
    std::vector<std::string> Names() const override { return {printer_->DeviceName()}; }
    std::string DefaultName() const override { return printer_->DeviceName(); }
    std::shared_ptr<Printer> Open(const std::string&) override { return printer_; }

  private:
    std::shared_ptr<Printer> printer_;
};

}  // namespace platform
