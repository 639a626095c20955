#include "foundation/dialog_values.h"

#include <cctype>

#include "foundation/fields.h"
#include "platform/rounding.h"

namespace mComDlg {

void ApplyFontDefaults(std::string& face, int& size) {
    if (face.empty()) face = kDefaultFontFace;
    if (size == 0) size = kDefaultFontSize;
}

std::string FaceOffered(const std::string& face) {
    return face.substr(0, kMaxFaceLength);
}

int FontStyleBits(int weight, bool italic, bool underline) {
    int style = weight == 700 ? kFontBold : 0;
    if (italic) style += kFontItalic;
    if (underline) style += kFontUnderline;
    return style;
}

int PointSizeFromTenths(int tenths) {
    return platform::RoundToInt(tenths / 10.0);
}

std::vector<FileFilterItem> ParseFileFilter(const std::string& filter) {
    std::vector<FileFilterItem> items;
    int count = mVBUtil::CountFields("|", filter);
    for (int i = 1; i + 1 <= count; i += 2) {
        std::string pattern = mVBUtil::TrimSpaces(mVBUtil::GetField("|", filter, i + 1));
        if (pattern.empty()) continue;
        items.push_back({mVBUtil::GetField("|", filter, i), pattern});
    }
    return items;
}

std::string DefaultExtension(const std::string& pattern) {
    std::string first = mVBUtil::TrimSpaces(mVBUtil::GetField(";", pattern, 1));
    size_t dot = first.rfind('.');
    if (dot == std::string::npos || dot + 1 >= first.size()) return "";
    std::string ext = first.substr(dot);
    if (ext.find_first_of("*?[") != std::string::npos) return "";
    return ext;
}

std::string AddDefaultExtension(const std::string& path, const std::string& extension) {
    if (extension.empty() || path.empty()) return path;
    std::string folder, name;
    SplitFolder(path, folder, name);
    if (name.empty() || name.find('.') != std::string::npos) return path;
    return path + extension;
}

std::string CaseInsensitivePattern(const std::string& pattern) {
    std::string out;
    for (unsigned char c : pattern) {
        if (std::isalpha(c) && c < 128) {
            out += '[';
            out += static_cast<char>(std::tolower(c));
            out += static_cast<char>(std::toupper(c));
            out += ']';
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

bool EndsWithSeparator(const std::string& path) {
    return !path.empty() && (path.back() == '/' || path.back() == '\\');
}

void SplitFolder(const std::string& path, std::string& folder, std::string& fileName) {
    size_t k = path.find_last_of("/\\");
    if (k == std::string::npos) {
        folder.clear();
        fileName = path;
        return;
    }
    folder = k == 0 ? path.substr(0, 1) : path.substr(0, k);
    fileName = path.substr(k + 1);
}

}  // namespace mComDlg
