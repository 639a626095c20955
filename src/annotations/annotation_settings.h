#pragma once
// The reviewer's annotation defaults and viewer choices, kept per user under
// the application "VYNClient" (sections AnnotDefaults, Settings, Quester).
// Every default of the group is the initialiser of its field below.

#include <cstdint>
#include <string>

namespace annotations {

struct AnnotationSettings {
    // AnnotDefaults
    std::string DfltRedactFont = "Arial";
    std::int32_t DfltRedactColor = 0;
    std::int32_t DfltRedactFontColor = 16777215;
    std::int32_t DfltRedactFontSize = 20;
    std::int32_t DfltRedactFontStyle = 0;
    std::string DfltRedactLabel;
    std::int32_t DfltMarkUpSize = 30;
    std::int32_t DfltMarkUpColor = 255;
    std::int32_t DfltHiLiteColor = 65535;
    std::string DfltAnnotFont = "Arial";
    std::int32_t DfltAnnotFontColor = 16711680;
    std::int32_t DfltAnnotFontSize = 40;
    std::int32_t DfltAnnotFontStyle = 0;
    // Settings
    std::int16_t g_ViewQuality = 0;  // 0 high, 1 low, 2 medium
    std::int16_t g_CalcDocPsn = 1;   // 0 image key, 1 document count, 2 full position
    std::int16_t g_StatusLine = 0;   // bits: 1 folder, 2 tags, 4 info only, 8 date
    std::int16_t DateFormat = 0;     // 0 to 3
    std::int16_t RedactFill = 0;     // 0 solid, 1 transparent, 2 cross-hatched
    bool UseTextBox = false;
    std::int16_t g_UseNativeAppView = 0;
    bool StickyRotate = false;  // never read: every run starts with it off
    std::int16_t g_StickyRotation = 0;
    // Quester
    std::int32_t QuesterMaxItems = 1000;
    bool SpellCheck = true;
};

// Reads the stored values. Without a stored redaction font every value is
// the first-use default; otherwise each missing key takes its missing-key
// value. Out-of-range choices come back repaired (date format and fill style
// 0, a position mode other than 1 or 2 becomes 0).
AnnotationSettings LoadAnnotationSettings();
void SaveAnnotationSettings(const AnnotationSettings& settings);

}  // namespace annotations
