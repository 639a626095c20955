#pragma once
// The print a command message asked for.

#include <cstdint>
#include <string>

namespace viewer {

struct PrintRequest {
    std::int16_t g_PrintMode = 0;   // elsewhere: PrintMode
    std::int16_t g_PrintRange = 0;  // elsewhere: PrintScope
    std::int32_t g_PrintFlags = 0;  // elsewhere: PrintFlags
    std::string g_szPrintMsg;
    std::int16_t g_PrinterType = 0;
    std::string szPrintTempFname;
};

}  // namespace viewer
