#include "printing/printer_bins.h"

#include "platform/printer.h"
#include "platform/wire_separators.h"

namespace TalqClientAPI_Header {

std::int16_t GetPrinterBinList(const std::string& szPrinterName, std::string& binNames,
                               std::string& binNumbers) {
    binNames.clear();
    binNumbers.clear();
    std::shared_ptr<platform::Printer> printer =
        szPrinterName.empty() ? platform::CurrentPrinter() : platform::OpenPrinter(szPrinterName);
    if (!printer) return 0;
    std::int16_t count = 0;
    for (const platform::PaperBinInfo& bin : printer->PaperBins()) {
        // A bin numbered 0 ends the list.
        if (bin.number == 0) break;
        if (count > 0) {
            binNames += wire::kListSep;
            binNumbers += wire::kListSep;
        }
        binNames += bin.name;
        binNumbers += std::to_string(bin.number);
        ++count;
    }
    return count;
}

}  // namespace TalqClientAPI_Header
