#pragma once
// The values the common dialogs take and return, and the rules that turn a
// dialog's answer into them: file filters, font style bits, colours, paths.

#include <cstdint>
#include <string>
#include <vector>

namespace mComDlg {

// Style bits of a font as the callers store them.
inline constexpr int kFontItalic = 4;
inline constexpr int kFontBold = 8;
inline constexpr int kFontUnderline = 16;

inline constexpr const char* kDefaultFontFace = "Arial";
inline constexpr int kDefaultFontSize = 14;
// A face name longer than this is offered to the dialog shortened.
inline constexpr int kMaxFaceLength = 31;

// An empty face and a size of 0 take the defaults above.
void ApplyFontDefaults(std::string& face, int& size);
std::string FaceOffered(const std::string& face);
// Only a weight of exactly 700 is bold: a semibold face is not.
int FontStyleBits(int weight, bool italic, bool underline);
// Tenths of a point to whole points, a half going to the even neighbour.
int PointSizeFromTenths(int tenths);

// Colours are 0x00BBGGRR: red in the low byte.
inline std::uint32_t RgbColor(int red, int green, int blue) {
    return static_cast<std::uint32_t>(red & 0xFF) |
           (static_cast<std::uint32_t>(green & 0xFF) << 8) |
           (static_cast<std::uint32_t>(blue & 0xFF) << 16);
}
inline int RedOf(std::uint32_t rgb) {
    return static_cast<int>(rgb & 0xFF);
}
inline int GreenOf(std::uint32_t rgb) {
    return static_cast<int>((rgb >> 8) & 0xFF);
}
inline int BlueOf(std::uint32_t rgb) {
    return static_cast<int>((rgb >> 16) & 0xFF);
}

struct FileFilterItem {
    std::string description;
    std::string pattern;  // one or more patterns separated by ";"
};

// "Text Files|*.txt|All Files|*.*" -> two items; a description without a
// pattern is dropped.
std::vector<FileFilterItem> ParseFileFilter(const std::string& filter);
// ".txt" for "*.txt"; empty for "*.*", "*" or a pattern with wildcards in
// its extension. The first of several patterns decides.
std::string DefaultExtension(const std::string& pattern);
// Appends the extension when the chosen file name has no "." of its own.
std::string AddDefaultExtension(const std::string& path, const std::string& extension);
// "*.sys" -> "*.[sS][yY][sS]", so a name matches whatever its letter case.
std::string CaseInsensitivePattern(const std::string& pattern);

// Splits at the last "/" or "\" and keeps the separators as they are; the
// folder loses its trailing separator unless it is the root ("/").
void SplitFolder(const std::string& path, std::string& folder, std::string& fileName);
bool EndsWithSeparator(const std::string& path);

}  // namespace mComDlg
