#pragma once
// A local printer's paper bins for the print settings dialog.

#include <cstdint>
#include <string>

namespace TalqClientAPI_Header {

// The bins of the printer of that name (the current printer when empty):
// names and numbers, each a list joined by the list separator, in the
// printer's order. The result is the number of bins, 0 when none could be read.
std::int16_t GetPrinterBinList(const std::string& szPrinterName, std::string& binNames,
                               std::string& binNumbers);

}  // namespace TalqClientAPI_Header
