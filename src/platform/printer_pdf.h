#pragma once
// A printer that writes its pages into one PDF file per job, at a fixed
// device resolution, so a page composed at that resolution is placed pixel
// for pixel. Every bin is taken (a file has none); the paper sizes are
// letter, legal and 11x17.

#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <memory>
#include <string>

#include "platform/printer.h"

namespace platform {

class PdfPrinter : public Printer {
  public:
    PdfPrinter(std::string name, std::string path, int dpi = 300);
    ~PdfPrinter() override;

    const std::string& Path() const { return path_; }

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

    void NewPage() override { pagePending_ = true; }
    void EndDoc() override { pagePending_ = true; }
    void EndJob() override;
    void PrintText(const std::string& text) override;
    bool Escape(const std::string&) override { return false; }
    bool DrawImage(int x, int y, const QImage& image) override;
    bool StretchImage(int x, int y, int w, int h, const QImage& image) override;

  private:
    bool BeginOutput();

    std::string name_;
    std::string path_;
    int dpi_;
    int paper_ = kPaperLetter;
    int colorMode_ = kColorColor;
    std::unique_ptr<QPdfWriter> writer_;
    QPainter painter_;
    bool pagePending_ = false;
};

// The page of a paper size code; letter for codes it does not know.
QPageSize PageSizeFor(int code);

// The smallest image format that holds the page exactly: one bit for black
// and white, grey levels, else colour.
QImage CompactPageImage(const QImage& page);

}  // namespace platform
