// PNG written with libpng itself: Qt's image writer needs a QIODevice, a
// QObject tied to the thread that makes it, and statics of its own made at
// the first write; a host's thread may end, or the process exit, meanwhile.

#include <png.h>

#include <csetjmp>
#include <string>
#include <vector>

#include "imaging/page_files.h"

namespace docserver::imaging {
namespace {

struct Layout {
    int colorType = PNG_COLOR_TYPE_RGB;
    int bitDepth = 8;
    bool fourBytes = false;  // 32-bit pixels in the byte order of QRgb
    std::vector<png_color> palette;
    std::vector<png_byte> alphas;  // of the palette's entries, when any is not opaque
};

// The image in a form whose rows are the file's, and how the file says so.
QImage Prepared(const QImage& source, Layout& layout) {
    const QImage::Format format = source.format();
    const bool indexed = format == QImage::Format_Mono || format == QImage::Format_MonoLSB ||
                         format == QImage::Format_Indexed8;
    if (indexed && source.colorCount() > 0 && source.colorCount() <= 256) {
        const bool bits = format != QImage::Format_Indexed8 && source.colorCount() <= 2;
        QImage image = source.convertToFormat(bits ? QImage::Format_Mono : QImage::Format_Indexed8);
        layout.colorType = PNG_COLOR_TYPE_PALETTE;
        layout.bitDepth = bits ? 1 : 8;
        bool translucent = false;
        for (const QRgb c : image.colorTable()) {
            layout.palette.push_back(png_color{static_cast<png_byte>(qRed(c)),
                                               static_cast<png_byte>(qGreen(c)),
                                               static_cast<png_byte>(qBlue(c))});
            layout.alphas.push_back(static_cast<png_byte>(qAlpha(c)));
            translucent = translucent || qAlpha(c) != 255;
        }
        if (!translucent) layout.alphas.clear();
        return image;
    }
    if (format == QImage::Format_Grayscale8 || format == QImage::Format_Grayscale16) {
        layout.colorType = PNG_COLOR_TYPE_GRAY;
        return source.convertToFormat(QImage::Format_Grayscale8);
    }
    // Written as they are, row by row: a converted copy of a whole page
    // would take another page's memory, and Qt converts a large one on a
    // pool of threads of its own.
    layout.fourBytes = true;
    if (format == QImage::Format_RGB32) return source;
    if (format == QImage::Format_ARGB32) {
        layout.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
        return source;
    }
    if (source.hasAlphaChannel()) {
        layout.colorType = PNG_COLOR_TYPE_RGB_ALPHA;
        return source.convertToFormat(QImage::Format_ARGB32);
    }
    return source.convertToFormat(QImage::Format_RGB32);
}

void Append(png_structp png, png_bytep data, png_size_t length) {
    static_cast<std::string*>(png_get_io_ptr(png))
        ->append(reinterpret_cast<const char*>(data), length);
}

void Flush(png_structp) {}

// Holds no object with a destructor: libpng ends a failure with longjmp.
bool Write(png_structp png, png_infop info, const QImage& image, const Layout& layout,
           std::string* out) {
    if (setjmp(png_jmpbuf(png)) != 0) return false;
    png_set_write_fn(png, out, Append, Flush);
    png_set_IHDR(png, info, static_cast<png_uint_32>(image.width()),
                 static_cast<png_uint_32>(image.height()), layout.bitDepth, layout.colorType,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    if (!layout.palette.empty())
        png_set_PLTE(png, info, layout.palette.data(), static_cast<int>(layout.palette.size()));
    if (!layout.alphas.empty())
        png_set_tRNS(png, info, layout.alphas.data(), static_cast<int>(layout.alphas.size()),
                     nullptr);
    if (image.dotsPerMeterX() > 0 && image.dotsPerMeterY() > 0)
        png_set_pHYs(png, info, static_cast<png_uint_32>(image.dotsPerMeterX()),
                     static_cast<png_uint_32>(image.dotsPerMeterY()), PNG_RESOLUTION_METER);
    png_write_info(png, info);
    if (layout.fourBytes) {
        // A QRgb is 0xAARRGGBB in the machine's order.
        if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
            png_set_bgr(png);
            if (layout.colorType == PNG_COLOR_TYPE_RGB) png_set_filler(png, 0, PNG_FILLER_AFTER);
        } else {
            if (layout.colorType == PNG_COLOR_TYPE_RGB) png_set_filler(png, 0, PNG_FILLER_BEFORE);
            else png_set_swap_alpha(png);
        }
    }
    for (int y = 0; y < image.height(); ++y)
        png_write_row(png, const_cast<png_bytep>(image.constScanLine(y)));
    png_write_end(png, info);
    return true;
}

}  // namespace

std::string EncodePng(const QImage& source) {
    if (source.isNull()) return {};
    Layout layout;
    QImage image = Prepared(source, layout);
    if (image.isNull()) return {};
    image.setDotsPerMeterX(source.dotsPerMeterX());
    image.setDotsPerMeterY(source.dotsPerMeterY());
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) return {};
    png_infop info = png_create_info_struct(png);
    std::string out;
    const bool written = info != nullptr && Write(png, info, image, layout, &out);
    png_destroy_write_struct(&png, info != nullptr ? &info : nullptr);
    return written ? out : std::string();
}

}  // namespace docserver::imaging
