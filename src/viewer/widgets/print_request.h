#pragma once
// The print request the dialog or a command message filled, and the local
// file each printed page's image passes through.

#include <optional>
#include <string>
#include <vector>

#include "platform/draw_surface.h"
#include "printing/print_choices.h"

namespace viewer {

struct PrintRequest : printing::PrintChoices {
    std::string szPrintTempFname;  // elsewhere: PrintTempFile
};

}  // namespace viewer

namespace viewer {

// The print the driver is running: the request as it started, the range and
// the failure that stopped it, and the surfaces the job composes on (never
// the screen's back buffer).
struct PrintRun {
    printing::PrintChoices request;
    std::string PrintBegKey, PrintEndKey, PrintErrText;
    // The file the user named for the PDF printer; empty: the printer's own.
    std::string pdfFile;
    bool replaceFile = false;  // the user agreed to replace pdfFile
    // The print log's rows of the ranges printed, sent once the job has
    // printed: a job that failed printed nothing.
    std::vector<std::string> logRows;
    // What the user was told when the job ended: empty when it printed all
    // it was asked for; none while no job has ended.
    std::optional<std::string> endNotice;
    platform::DrawSurface output, page;
    bool active = false;
};

}  // namespace viewer
