#include "platform/printer.h"

#include <QDir>
#include <QStandardPaths>

#include <algorithm>
#include <cctype>

#include "platform/printer_pdf.h"
#include "platform/text_codec.h"

namespace platform {
namespace {

std::shared_ptr<PrinterCollection> g_collection;
std::shared_ptr<Printer> g_current;

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string DefaultPdfFile() {
    return PdfPrintFolder() + "/talq-print.pdf";
}

}  // namespace

std::string WithFailureReason(const std::string& message, const Printer& printer) {
    const std::string reason = printer.FailureReason();
    return reason.empty() ? message : message + "\n" + reason;
}

std::string PdfPrintFolder() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (dir.isEmpty()) dir = QDir::homePath();
    return FromQString(dir);
}

bool IsPdfPrinterName(const std::string& name) {
    const std::string up = Upper(name);
    if (up == Upper(kPdfPrinterName)) return true;
    return up.size() > 4 && up.compare(up.size() - 4, 4, ".PDF") == 0;
}

void InstallPrinterCollection(std::shared_ptr<PrinterCollection> collection) {
    g_collection = std::move(collection);
    g_current.reset();
}

std::vector<std::string> PrinterNames() {
    std::vector<std::string> names;
    if (g_collection) names = g_collection->Names();
    names.push_back(kPdfPrinterName);
    return names;
}

std::shared_ptr<Printer> OpenPrinter(const std::string& name) {
    if (name.empty()) return nullptr;
    if (Upper(name) == Upper(kPdfPrinterName)) {
        return std::make_shared<PdfPrinter>(kPdfPrinterName, DefaultPdfFile());
    }
    if (g_collection) {
        const std::string wanted = Upper(name);
        for (const std::string& candidate : g_collection->Names()) {
            if (Upper(candidate) == wanted) return g_collection->Open(candidate);
        }
    }
    if (IsPdfPrinterName(name)) return std::make_shared<PdfPrinter>(name, name);
    return nullptr;
}

std::shared_ptr<Printer> CurrentPrinter() {
    if (!g_current && g_collection) g_current = OpenPrinter(g_collection->DefaultName());
    if (!g_current) g_current = OpenPrinter(kPdfPrinterName);
    return g_current;
}

bool SelectCurrentPrinter(const std::string& name) {
    std::shared_ptr<Printer> printer = OpenPrinter(name);
    if (!printer) return false;
    g_current = std::move(printer);
    return true;
}

std::string DefaultPrinterName() {
    return g_collection ? g_collection->DefaultName() : std::string();
}

std::string PrinterUnreachable(const std::string& name) {
    if (Upper(name) == Upper(kPdfPrinterName)) return PdfTargetTrouble(DefaultPdfFile());
    if (IsPdfPrinterName(name)) return PdfTargetTrouble(name);
    if (!g_collection) return {};
    return g_collection->Unreachable(name);
}

}  // namespace platform
