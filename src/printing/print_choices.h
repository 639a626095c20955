#pragma once
// What one print request asks for: the scope, the parts of each page, the
// message and the printer. The print dialog fills it, the command messages
// set it themselves, and the print driver reads it as one value.

#include <cstdint>
#include <string>

namespace printing {

// Bits of the flags: which parts of a page print and how.
enum PrintFlagBits : std::int32_t {
    kPrintImageKey = 1,
    kPrintClipPaths = 2,
    kPrintStickies = 4,
    kPrintRedactions = 8,
    kPrintHighlights = 16,
    kPrintNotes = 32,
    kPrintMarkups = 64,
    kPrintSlipSheets = 128,
    kPrintBoundaryFlag = 256,
    kPrintRedactBlack = 512,
    kPrintRedactWhite = 1024,
    kPrintMessage = 2048,
    kPrintIssueTags = 8192,
    kPrintSupportColor = 16384,
};

struct PrintChoices {
    // 1: rows of the open query list; 0: pages around the page on display.
    std::int16_t g_PrintMode = 0;  // elsewhere: PrintFromQuery
    // Without query: 0 page, 1 document, 2 range of keys; with query: 0 the
    // selected row, 1 from it to the end of the list, 2 the entire list.
    std::int16_t g_PrintRange = 0;  // elsewhere: PrintScope
    std::int32_t g_PrintFlags = 0;  // elsewhere: PrintFlags
    std::string g_szPrintMsg;       // elsewhere: PrintMsg
    // 1: a batch job the server prints; 0: the local printer.
    std::int16_t g_PrinterType = 0;  // elsewhere: PrintToBatch
    std::string PrintLocalPrinter;
    std::string PrintBatchPrinter;
    // Non-zero: one printer document for the whole local job.
    std::int16_t PrintEntireJob = 0;
};

}  // namespace printing
