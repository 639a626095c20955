#include "imaging/plain_glyphs.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <QCoreApplication>
#include <QGuiApplication>

#include <algorithm>
#include <mutex>
#include <string_view>

#include "platform/text_codec.h"

namespace docserver::imaging {
namespace {

// The file of the face fontconfig offers for the name; "" when none.
std::string FaceFile(const char* family) {
    std::string file;
    FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>(family));
    if (pattern == nullptr) return file;
    FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    if (FcPattern* match = FcFontMatch(nullptr, pattern, &result)) {
        FcChar8* path = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &path) == FcResultMatch && path != nullptr)
            file = reinterpret_cast<const char*>(path);
        FcPatternDestroy(match);
    }
    FcPatternDestroy(pattern);
    return file;
}

// Looked up once; never destroyed, as a thread may draw while the process exits.
const std::string& MonoFaceFile() {
    static std::once_flag once;
    static const std::string* file = nullptr;
    std::call_once(once, [] { file = new std::string(FaceFile("Liberation Mono")); });
    return *file;
}

int CeilPixels(FT_Pos value) {
    return static_cast<int>((value + 63) >> 6);
}

}  // namespace

bool QtFontsUsable() {
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr;
}

PlainGlyphs::PlainGlyphs(int pixelSize) {
    const std::string& file = MonoFaceFile();
    FT_Library library = nullptr;
    if (file.empty() || FT_Init_FreeType(&library) != 0) return;
    library_ = library;
    FT_Face face = nullptr;
    if (FT_New_Face(library, file.c_str(), 0, &face) != 0) return;
    if (FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(std::max(1, pixelSize))) != 0) {
        FT_Done_Face(face);
        return;
    }
    face_ = face;
    ascent_ = CeilPixels(face->size->metrics.ascender);
    descent_ = CeilPixels(-face->size->metrics.descender);
    lineSpacing_ = std::max(1, static_cast<int>((face->size->metrics.height + 32) >> 6));
    for (int c = 0; c < 256; ++c) {
        const char byte = static_cast<char>(c);
        const QString text = platform::ToQString(std::string_view(&byte, 1));
        codes_[c] = text.isEmpty() ? 0u : text.at(0).unicode();
        if (FT_Load_Char(face, codes_[c], FT_LOAD_DEFAULT | FT_LOAD_TARGET_NORMAL) == 0)
            advances_[c] = static_cast<double>(face->glyph->advance.x) / 64.0;
    }
}

PlainGlyphs::~PlainGlyphs() {
    if (face_ != nullptr) FT_Done_Face(static_cast<FT_Face>(face_));
    if (library_ != nullptr) FT_Done_FreeType(static_cast<FT_Library>(library_));
}

QRect PlainGlyphs::Draw(QImage& image, const std::string& text, int x, int baseline) const {
    QRect ink;
    if (face_ == nullptr || image.format() != QImage::Format_RGB32) return ink;
    const auto face = static_cast<FT_Face>(face_);
    double pen = 0;
    for (const char byte : text) {
        const auto c = static_cast<unsigned char>(byte);
        if (FT_Load_Char(face, codes_[c], FT_LOAD_RENDER | FT_LOAD_TARGET_NORMAL) != 0) continue;
        const FT_Bitmap& bitmap = face->glyph->bitmap;
        const int left = static_cast<int>(pen) + face->glyph->bitmap_left;
        const int top = -face->glyph->bitmap_top;
        if (bitmap.width > 0 && bitmap.rows > 0 && bitmap.pixel_mode == FT_PIXEL_MODE_GRAY) {
            ink |= QRect(left, top, static_cast<int>(bitmap.width), static_cast<int>(bitmap.rows));
            for (unsigned row = 0; row < bitmap.rows; ++row) {
                const int y = baseline + top + static_cast<int>(row);
                if (y < 0 || y >= image.height()) continue;
                auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
                const unsigned char* cover = bitmap.buffer + static_cast<int>(row) * bitmap.pitch;
                for (unsigned col = 0; col < bitmap.width; ++col) {
                    const int px = x + left + static_cast<int>(col);
                    if (px < 0 || px >= image.width() || cover[col] == 0) continue;
                    // Black ink over what is there, by the glyph's cover.
                    const int keep = 255 - cover[col];
                    const QRgb was = line[px];
                    line[px] = qRgb(qRed(was) * keep / 255, qGreen(was) * keep / 255,
                                    qBlue(was) * keep / 255);
                }
            }
        }
        pen += advances_[c];
    }
    return ink;
}

}  // namespace docserver::imaging
