#include "annotations/annotation_settings.h"

#include "foundation/number_text.h"
#include "platform/rounding.h"
#include "platform/settings_store.h"

namespace annotations {
namespace {

constexpr const char* kApp = "VYNClient";
constexpr const char* kAnnot = "AnnotDefaults";
constexpr const char* kSettings = "Settings";
constexpr const char* kQuester = "Quester";

std::int32_t ReadInt(const char* section, const char* key, std::int32_t whenMissing) {
    std::string text =
        platform::GetSetting(kApp, section, key, std::to_string(whenMissing));
    return platform::RoundToInt(mVBUtil::Val(text));
}

std::int16_t ReadInt16(const char* section, const char* key, std::int16_t whenMissing) {
    std::string text =
        platform::GetSetting(kApp, section, key, std::to_string(whenMissing));
    return platform::RoundToInt16(mVBUtil::Val(text));
}

void Write(const char* section, const char* key, const std::string& value) {
    platform::SaveSetting(kApp, section, key, value);
}

void Write(const char* section, const char* key, std::int64_t value) {
    Write(section, key, std::to_string(value));
}

void Repair(AnnotationSettings& s) {
    if (s.DateFormat < 0 || s.DateFormat > 3) s.DateFormat = 0;
    if (s.RedactFill < 0 || s.RedactFill > 2) s.RedactFill = 0;
    if (s.g_CalcDocPsn != 1 && s.g_CalcDocPsn != 2) s.g_CalcDocPsn = 0;
}

}  // namespace

AnnotationSettings LoadAnnotationSettings() {
    AnnotationSettings s;  // the first-use values
    std::string redactFont = platform::GetSetting(kApp, kAnnot, "RedactFont", "");
    if (redactFont.empty()) return s;

    const AnnotationSettings d;
    s.DfltRedactFont = redactFont;
    s.DfltRedactColor = ReadInt(kAnnot, "RedactColor", d.DfltRedactColor);
    s.DfltRedactFontColor = ReadInt(kAnnot, "RedactFontColor", d.DfltRedactFontColor);
    s.DfltRedactFontSize = ReadInt(kAnnot, "RedactFontSize", d.DfltRedactFontSize);
    s.DfltRedactFontStyle = ReadInt(kAnnot, "RedactFontStyle", d.DfltRedactFontStyle);
    s.DfltRedactLabel = platform::GetSetting(kApp, kAnnot, "RedactLabel", d.DfltRedactLabel);
    s.DfltMarkUpSize = ReadInt(kAnnot, "MarkUpSize", d.DfltMarkUpSize);
    s.DfltMarkUpColor = ReadInt(kAnnot, "MarkUpColor", d.DfltMarkUpColor);
    s.DfltHiLiteColor = ReadInt(kAnnot, "HiLiteColor", d.DfltHiLiteColor);
    s.DfltAnnotFontColor = ReadInt(kAnnot, "AnnotFontColor", d.DfltAnnotFontColor);
    s.DfltAnnotFontSize = ReadInt(kAnnot, "AnnotFontSize", d.DfltAnnotFontSize);
    s.DfltAnnotFontStyle = ReadInt(kAnnot, "AnnotFontStyle", d.DfltAnnotFontStyle);
    s.DfltAnnotFont = platform::GetSetting(kApp, kAnnot, "AnnotFont", d.DfltAnnotFont);

    s.g_ViewQuality = ReadInt16(kSettings, "ImageQuality", d.g_ViewQuality);
    s.g_CalcDocPsn = ReadInt16(kSettings, "CalcDocPsn", d.g_CalcDocPsn);
    s.g_StatusLine = ReadInt16(kSettings, "StatusLine", d.g_StatusLine);
    s.DateFormat = ReadInt16(kSettings, "DateFormat", d.DateFormat);
    s.RedactFill = ReadInt16(kSettings, "RedactFill", d.RedactFill);
    s.UseTextBox = ReadInt(kSettings, "UseTextBox", 0) > 0;
    s.g_UseNativeAppView = ReadInt16(kSettings, "NativeApp", d.g_UseNativeAppView);

    s.QuesterMaxItems = ReadInt(kQuester, "MaxItems", 0);
    if (s.QuesterMaxItems == 0) s.QuesterMaxItems = 1000;
    s.SpellCheck = ReadInt(kQuester, "SpellCheck", 0) > 0;

    Repair(s);
    return s;
}

void SaveAnnotationSettings(const AnnotationSettings& s) {
    Write(kAnnot, "RedactFont", s.DfltRedactFont);
    Write(kAnnot, "RedactColor", s.DfltRedactColor);
    Write(kAnnot, "RedactFontColor", s.DfltRedactFontColor);
    Write(kAnnot, "RedactFontSize", s.DfltRedactFontSize);
    Write(kAnnot, "RedactFontStyle", s.DfltRedactFontStyle);
    Write(kAnnot, "RedactLabel", s.DfltRedactLabel);
    Write(kAnnot, "MarkUpSize", s.DfltMarkUpSize);
    Write(kAnnot, "MarkUpColor", s.DfltMarkUpColor);
    Write(kAnnot, "HiLiteColor", s.DfltHiLiteColor);
    Write(kAnnot, "AnnotFontColor", s.DfltAnnotFontColor);
    Write(kAnnot, "AnnotFontSize", s.DfltAnnotFontSize);
    Write(kAnnot, "AnnotFontStyle", s.DfltAnnotFontStyle);
    Write(kAnnot, "AnnotFont", s.DfltAnnotFont);

    Write(kSettings, "ImageQuality", s.g_ViewQuality);
    Write(kSettings, "CalcDocPsn", s.g_CalcDocPsn);
    Write(kSettings, "StatusLine", s.g_StatusLine);
    Write(kSettings, "DateFormat", s.DateFormat);
    Write(kSettings, "RedactFill", s.RedactFill);
    Write(kQuester, "MaxItems", s.QuesterMaxItems);
    Write(kQuester, "SpellCheck", s.SpellCheck ? "1" : "0");
    Write(kSettings, "StickyRotate",
          s.StickyRotate ? "1," + std::to_string(s.g_StickyRotation) : std::string("0"));
    Write(kSettings, "UseTextBox", s.UseTextBox ? "1" : "0");
    Write(kSettings, "NativeApp", s.g_UseNativeAppView);
}

}  // namespace annotations
