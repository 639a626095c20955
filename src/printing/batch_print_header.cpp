#include "printing/batch_print_header.h"

#include "foundation/big_string.h"
#include "platform/rounding.h"
#include "printing/gdi_prn.h"
#include "printing/print_choices.h"
#include "server/talq_client_api.h"

namespace batchprint {
namespace {

std::string OneLine(std::string text) {
    for (char& c : text)
        if (c == '\r' || c == '\n') c = ' ';
    return text;
}

const char* Flag(bool on) {
    return on ? "1" : "0";
}

}  // namespace

std::int32_t ClipPixels(std::int32_t value) {
    if (value > 16) return value;
    return platform::RoundToInt(value * 18.75);
}

std::string BuildHeader(const HeaderValues& values, cGdiPrn& engine) {
    const std::int32_t flags = values.printFlags;
    clsBigString header;
    auto line = [&header](const std::string& name, const std::string& value) {
        header.AddStr(name);
        header.AddStr(OneLine(value));
        header.AddStr("\n");
    };
    auto bit = [flags](std::int32_t mask) { return Flag((flags & mask) != 0); };
    line("BatchPrint=", "1");
    line("PrintImageKey=", bit(printing::kPrintImageKey));
    if (!values.domain.empty()) line("DOMAIN=", values.domain);
    line("PAGECOUNT=", "00000000");
    line("IndicateBoundaries=", bit(printing::kPrintBoundaryFlag));
    line("SeparatorPage=", bit(printing::kPrintSlipSheets));
    line("PrintMarkups=", bit(printing::kPrintMarkups));
    line("PrintNotes=", bit(printing::kPrintNotes));
    line("PrintHilites=", bit(printing::kPrintHighlights));
    line("PrintRedactions=", bit(printing::kPrintRedactions));
    const char* redactColor = "Default";
    if ((flags & printing::kPrintRedactBlack) != 0) redactColor = "Black";
    if ((flags & printing::kPrintRedactWhite) != 0) redactColor = "White";
    line("PrintRedactColor=", redactColor);
    line("PrintRedactLabel=", "Default");
    if (!values.description.empty()) line("Description=", values.description);
    line("PrintMessage=", "1");
    line("PrintStickies=", bit(printing::kPrintStickies));
    line("PrintClipPaths=", bit(printing::kPrintClipPaths));
    line("SupportColor=", bit(printing::kPrintSupportColor));
    line("Priority=", "5");
    line("User=", values.user);
    line("Project=", values.project);
    line("Xscale=", Flag(engine.MaxHorzScale()));
    line("Enlarge=", Flag(engine.EnlargeSmallImages()));
    line("AllowLandscape=", Flag(engine.AllowLandscapeBatesMsg()));
    line("KeyFontColor=", Flag(engine.KeyFontColor() != 0));
    line("MsgFontColor=", Flag(engine.MsgFontColor() != 0));
    line("BARCODE=", Flag(engine.UseBarCode()));
    line("TOPCLIP=", std::to_string(ClipPixels(engine.TopClip())));
    line("BOTTOMCLIP=", std::to_string(ClipPixels(engine.BottomClip())));
    line("LEFTCLIP=", std::to_string(ClipPixels(engine.LeftClip())));
    line("RIGHTCLIP=", std::to_string(ClipPixels(engine.RightClip())));
    line("TOPMARGIN=", std::to_string(ClipPixels(engine.TopMargin())));
    line("LEFTMARGIN=", std::to_string(ClipPixels(engine.LeftMargin())));
    line("KEYFONT=", engine.KeyFontName());
    line("FONT=", engine.MsgFontName());
    line("KEYPOSITION=", std::to_string(engine.KeyPsn()));
    line("MSGPOSITION=", std::to_string(engine.MsgPsn()));
    line("TOGGLEPAPER=", std::to_string(engine.SupportedSizes()));
    line("OCRTxtHilite=", "0");
    return header.GetStr();
}

std::string SessionHeader(const TalqClientAPI& session, std::int32_t printFlags,
                          const std::string& description, cGdiPrn& engine) {
    HeaderValues values;
    values.printFlags = printFlags;
    values.domain = session.DomainName();
    values.description = description;
    values.user = session.UserName();
    values.project = session.ProjectName();
    return BuildHeader(values, engine);
}

}  // namespace batchprint
