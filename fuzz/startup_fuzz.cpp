// The start-up command line, a CMDLINE message and a parameter file.
#include <string>

#include "viewer/parameter_file.h"
#include "viewer/startup_command_line.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    modView::ParseCommandLine(text, modView::CommandLineSource::Startup);
    modView::ParseCommandLine(text, modView::CommandLineSource::Message);
    modView::ParameterFileValues values = modView::ParseParameterFile(text);
    modView::ServerAddress current{"10.0.0.1", "4000", "DOM"}, next;
    modView::ParameterFileSwitchesServer(values, current, next);
    modView::StripEnclosingQuotes(text);
    modView::IsSendableKey(text);
    return 0;
}
