#include "platform/printer_recording.h"

namespace platform {
namespace {

std::string Refused(bool refused) {
    return refused ? " refused" : "";
}

int PaperInchesTimes10(int code, bool wide) {
    switch (code) {
        case kPaperLegal:
            return wide ? 85 : 140;
        case kPaperTabloid:
        case kPaper11x17:
            return wide ? 110 : 170;
        default:
            return wide ? 85 : 110;
    }
}

}  // namespace

bool RecordingPrinter::SetColorMode(int mode) {
    calls.push_back("Color " + std::to_string(mode));
    colorMode = mode;
    return true;
}

bool RecordingPrinter::SetDuplex(int setting) {
    calls.push_back("Duplex " + std::to_string(setting) + Refused(refuseDuplex));
    if (refuseDuplex) return false;
    duplex = setting;
    return true;
}

bool RecordingPrinter::SetPaperBin(int value) {
    const bool refused = refusedBins.count(value) > 0;
    calls.push_back("Bin " + std::to_string(value) + Refused(refused));
    if (!refused) bin = value;
    return !refused;
}

bool RecordingPrinter::SetPaperSize(int code) {
    const bool refused = refusedSizes.count(code) > 0;
    calls.push_back("Size " + std::to_string(code) + Refused(refused));
    if (!refused) paper = code;
    return !refused;
}

int RecordingPrinter::PageWidth() const {
    return PaperInchesTimes10(paper, true) * dpi / 10;
}

int RecordingPrinter::PageHeight() const {
    return PaperInchesTimes10(paper, false) * dpi / 10;
}

bool RecordingPrinter::Escape(const std::string& bytes) {
    calls.push_back("Escape " + std::to_string(bytes.size()));
    escapes.push_back(bytes);
    return true;
}

bool RecordingPrinter::DrawImage(int x, int y, const QImage& image) {
    calls.push_back("Image " + std::to_string(x) + "," + std::to_string(y) + " " +
                    std::to_string(image.width()) + "x" + std::to_string(image.height()));
    if (failImages) return false;
    images.push_back(image.copy());
    return true;
}

bool RecordingPrinter::StretchImage(int x, int y, int w, int h, const QImage& image) {
    calls.push_back("Stretch " + std::to_string(x) + "," + std::to_string(y) + " " +
                    std::to_string(w) + "x" + std::to_string(h) + " from " +
                    std::to_string(image.width()) + "x" + std::to_string(image.height()));
    if (failImages) return false;
    images.push_back(image.copy());
    return true;
}

std::shared_ptr<RecordingPrinter> RecordingPrinterCollection::Add(const std::string& name) {
    auto printer = std::make_shared<RecordingPrinter>(name);
    if (!printers_.count(name)) order_.push_back(name);
    printers_[name] = printer;
    return printer;
}

std::shared_ptr<RecordingPrinter> RecordingPrinterCollection::Get(const std::string& name) const {
    auto it = printers_.find(name);
    return it == printers_.end() ? nullptr : it->second;
}

}  // namespace platform
