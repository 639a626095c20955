#pragma once
// What the print dialogs read of the main window and its session: the
// print request they fill, the one print engine, the user's access levels
// and the session's answers they need.

#include <cstdint>
#include <functional>
#include <string>

#include "printing/print_choices.h"

class cGdiPrn;

namespace printing {

struct PrintViewer {
    PrintChoices* choices = nullptr;
    cGdiPrn* engine = nullptr;
    // 0 may change, 1 view only, 2 hidden; redactions: 1 view only and opaque.
    std::int32_t annotAccess = 0, tagAccess = 0, redactAccess = 0;
    // Tools hidden: 0x20 text notes, 0x40 markups, 0x80 highlights.
    std::int32_t featureMask = 0;
    std::string projectMessage;
    std::int32_t projectSecurity = 0;
    // The batch printers joined by the list separator and their count.
    std::function<std::int16_t(std::string&)> getBatchPrinters;
    std::function<bool(const std::string&)> validateBatchPrinter;
};

}  // namespace printing
