// The options in the per-user settings store, and their copy into a plain
// holder. Every stored option is named once, in ForEachStoredOption.

#include <utility>

#include "foundation/mod_registry.h"
#include "foundation/number_text.h"
#include "platform/rounding.h"
#include "printing/gdi_prn.h"

namespace {

constexpr const char* kApp = "TALQWinPrnt";
constexpr const char* kSection = "Settings";

// How an option is stored, which sets how it loads and when it is saved.
enum class Stored {
    Text,       // saved unless empty
    FontSize,   // 6 to 300; saved above 0
    Zone,       // 1 to 6, else the default; saved above 0
    Flag,       // yes/no, saved as -1 and 0
    Number,     // saved always
    Sizes,      // 0 to 6, else the default; saved always
    Tray,       // saved always
    Frame,      // saved above 0, so a zero keeps what was stored
    FontFlags,  // 1 bold, 2 italic, 4 underline
};

// Every stored option once: its setting name (as older versions stored
// it) and its kind, in the order a save writes them.
template <class Set, class F>
void ForEachStoredOption(Set& o, F&& f) {
    f("KeyFontName", Stored::Text, o.keyFontName);
    f("KeyFontSize", Stored::FontSize, o.keyFontSize);
    f("KeyPsn", Stored::Zone, o.keyPsn);
    f("MsgFontName", Stored::Text, o.msgFontName);
    f("MsgFontSize", Stored::FontSize, o.msgFontSize);
    f("MsgPsn", Stored::Zone, o.msgPsn);
    f("MsgFontColor", Stored::Number, o.msgFontColor);
    f("KeyFontColor", Stored::Number, o.keyFontColor);
    f("MsgAboveKey", Stored::Flag, o.msgAboveKey);
    f("UseBarCode", Stored::Flag, o.useBarCode);
    f("ResizeStaple", Stored::Flag, o.resizeStaple);
    f("ResizeDuplex", Stored::Flag, o.resizeDuplex);
    f("TopClip", Stored::Number, o.topClip);
    f("LeftClip", Stored::Number, o.leftClip);
    f("RightClip", Stored::Number, o.rightClip);
    f("BottomClip", Stored::Number, o.bottomClip);
    f("LeftMargin", Stored::Number, o.leftMargin);
    f("TopMargin", Stored::Number, o.topMargin);
    f("MaxHorzScale", Stored::Flag, o.maxHorzScale);
    f("EnlargeSmall", Stored::Flag, o.enlargeSmallImages);
    f("AllowLandscapeBatesMsg", Stored::Flag, o.allowLandscapeBatesMsg);
    f("AllowableSizes", Stored::Sizes, o.supportedSizes);
    f("SlipSheetTray", Stored::Tray, o.slipSheetPaperTray);
    f("LetterX", Stored::Frame, o.frames.LetterX);
    f("LetterY", Stored::Frame, o.frames.LetterY);
    f("LegalX", Stored::Frame, o.frames.LegalX);
    f("LegalY", Stored::Frame, o.frames.LegalY);
    f("OverSizeX", Stored::Frame, o.frames.OverSizeX);
    f("OverSizeY", Stored::Frame, o.frames.OverSizeY);
    f("KeyFontFlags", Stored::FontFlags, o.keyStyle);
    f("MsgFontFlags", Stored::FontFlags, o.msgStyle);
}

std::string Text(const std::string& key, const std::string& defaultValue) {
    return modRegistry::GetAppSetting(kApp, kSection, key, defaultValue);
}

std::int32_t Number(const std::string& key, std::int32_t defaultValue) {
    return platform::RoundToInt(mVBUtil::Val(Text(key, std::to_string(defaultValue))));
}

std::int32_t FontFlags(const FontStyle& style) {
    return (style.bold ? 1 : 0) + (style.italic ? 2 : 0) + (style.underline ? 4 : 0);
}

void Save(const std::string& key, const std::string& value) {
    modRegistry::SaveAppSetting(kApp, kSection, key, value);
}

void Save(const std::string& key, std::int32_t value) {
    Save(key, std::to_string(value));
}

// Each option arrives holding its default and leaves holding what was stored.
struct Loader {
    void operator()(const char* key, Stored, std::string& value) const { value = Text(key, value); }
    void operator()(const char* key, Stored kind, std::int16_t& value) const {
        value = kind == Stored::Tray
                    ? platform::RoundToInt16(mVBUtil::Val(Text(key, std::to_string(value))))
                    : cPrntOptns::FontSizeInRange(Number(key, value));
    }
    void operator()(const char* key, Stored kind, std::int32_t& value) const {
        const std::int32_t defaultValue = value;
        value = Number(key, defaultValue);
        const std::int32_t low = kind == Stored::Zone ? 1 : 0;
        const bool ranged = kind == Stored::Zone || kind == Stored::Sizes;
        if (ranged && (value < low || value > 6)) value = defaultValue;
    }
    void operator()(const char* key, Stored, bool& value) const {
        value = Number(key, value ? -1 : 0) != 0;
    }
    void operator()(const char* key, Stored, FontStyle& style) const {
        const std::int32_t flags = Number(key, FontFlags(style));
        style = FontStyle{(flags & 1) != 0, (flags & 2) != 0, (flags & 4) != 0};
    }
};

struct Saver {
    void operator()(const char* key, Stored, const std::string& value) const {
        if (!value.empty()) Save(key, value);
    }
    void operator()(const char* key, Stored kind, std::int32_t value) const {
        const bool aboveZeroOnly =
            kind == Stored::FontSize || kind == Stored::Zone || kind == Stored::Frame;
        if (!aboveZeroOnly || value > 0) Save(key, value);
    }
    void operator()(const char* key, Stored, bool value) const { Save(key, value ? -1 : 0); }
    void operator()(const char* key, Stored, const FontStyle& style) const {
        Save(key, FontFlags(style));
    }
};

}  // namespace

void cGdiPrn::LoadUserPrintSettings() {
    PrintOptionSet loaded;
    ForEachStoredOption(loaded, Loader{});
    options_ = loaded;
}

void cGdiPrn::SaveUserPrintSettings() {
    ForEachStoredOption(std::as_const(options_), Saver{});
}

// The holder takes no trays or colours.
void cGdiPrn::SetPrinterOptionsObject(cPrntOptns& cObj) {
    PrintOptionSet copy = options_;
    copy.keyFontName = KeyFontName();
    copy.msgFontName = MsgFontName();
    copy.keyFontColor = copy.msgFontColor = 0;
    copy.slipSheetPaperTray = 0;
    cObj.Options(copy);
}
