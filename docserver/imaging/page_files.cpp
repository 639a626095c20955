#include "imaging/page_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <tiffio.h>
#include <unistd.h>

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <memory>
#include <system_error>

#include "platform/memory_tiff.h"
#include "platform/rounding.h"

namespace docserver::imaging {

bool IsInk(QRgb pixel) {
    return qGray(pixel) < 128;
}

namespace {

void SilentHandler(const char*, const char*, va_list) {}

// A 1-bit image whose set pixels are black: its rows are already the file's.
bool IsBlackOnWhite(const QImage& image) {
    return image.format() == QImage::Format_Mono && image.colorCount() == 2 &&
           image.color(0) == qRgb(255, 255, 255) && image.color(1) == qRgb(0, 0, 0);
}

bool WritePage(TIFF* tif, const QImage& source, int pageNumber, int pageCount) {
    const bool mono = IsBlackOnWhite(source);
    const QImage page = mono ? source : source.convertToFormat(QImage::Format_Grayscale8);
    const int width = page.width();
    const int height = page.height();
    const double dpiX = page.dotsPerMeterX() > 0 ? page.dotsPerMeterX() * 0.0254 : 300.0;
    const double dpiY = page.dotsPerMeterY() > 0 ? page.dotsPerMeterY() * 0.0254 : 300.0;
    TIFFSetField(tif, TIFFTAG_SUBFILETYPE, pageCount > 1 ? FILETYPE_PAGE : 0);
    platform::SetG4PageTags(tif, width, height);
    TIFFSetField(tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG);
    TIFFSetField(tif, TIFFTAG_XRESOLUTION, static_cast<float>(dpiX));
    TIFFSetField(tif, TIFFTAG_YRESOLUTION, static_cast<float>(dpiY));
    TIFFSetField(tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_INCH);
    if (pageCount > 1) {
        TIFFSetField(tif, TIFFTAG_PAGENUMBER, static_cast<uint16_t>(pageNumber),
                     static_cast<uint16_t>(pageCount));
    }
    std::vector<unsigned char> row((width + 7) / 8);
    for (int y = 0; y < height; ++y) {
        if (mono) {
            std::memcpy(row.data(), page.constScanLine(y), row.size());
            if (TIFFWriteScanline(tif, row.data(), static_cast<uint32_t>(y), 0) < 0) return false;
            continue;
        }
        std::fill(row.begin(), row.end(), 0);
        const uchar* pixels = page.constScanLine(y);
        int x = 0;
        // Paper is mostly blank: skip eight white pixels at a time.
        for (; x + 8 <= width; x += 8) {
            std::uint64_t eight;
            std::memcpy(&eight, pixels + x, 8);
            if (eight == ~std::uint64_t{0}) continue;
            unsigned char bits = 0;
            for (int i = 0; i < 8; ++i)
                bits = static_cast<unsigned char>((bits << 1) | (pixels[x + i] < 128));
            row[x >> 3] = bits;
        }
        for (; x < width; ++x) {
            if (pixels[x] < 128) row[x >> 3] |= static_cast<unsigned char>(0x80 >> (x & 7));
        }
        if (TIFFWriteScanline(tif, row.data(), static_cast<uint32_t>(y), 0) < 0) return false;
    }
    return TIFFWriteDirectory(tif) != 0;
}

}  // namespace

std::string EncodeG4Tiff(const std::vector<QImage>& pages) {
    if (pages.empty()) return {};
    platform::MemoryTiff memory;
    TIFFSetErrorHandler(SilentHandler);
    TIFFSetWarningHandler(SilentHandler);
    TIFF* tif = platform::OpenMemoryTiff(memory, "w");
    if (tif == nullptr) return {};
    bool ok = true;
    for (std::size_t i = 0; ok && i < pages.size(); ++i) {
        ok = !pages[i].isNull() &&
             WritePage(tif, pages[i], static_cast<int>(i), static_cast<int>(pages.size()));
    }
    TIFFClose(tif);
    return ok ? memory.bytes : std::string();
}

bool WriteG4Tiff(const std::vector<QImage>& pages, const std::string& path) {
    const std::string bytes = EncodeG4Tiff(pages);
    return !bytes.empty() && WriteWholeFile(path, bytes);
}

namespace {

std::string Encode(const QImage& image, const char* format, int quality) {
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (quality >= 0) writer.setQuality(quality);
    if (!writer.write(image)) return {};
    return std::string(out.constData(), static_cast<std::size_t>(out.size()));
}

}  // namespace

std::string EncodeJpeg(const QImage& page, bool grey, int quality) {
    QImage image = page.convertToFormat(grey ? QImage::Format_Grayscale8 : QImage::Format_RGB32);
    image.setDotsPerMeterX(page.dotsPerMeterX());
    image.setDotsPerMeterY(page.dotsPerMeterY());
    return Encode(image, "jpeg", quality);
}

QImage DecodeImage(const std::string& bytes) {
    QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    QImage image = reader.read();
    return image;
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    // Not blocking: a pipe under the name would hold the reader at its open.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    // A folder opens, and only its read fails (a stream throws there):
    // only a plain file has bytes to read.
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const int error = S_ISDIR(info.st_mode) ? EISDIR : errno != 0 ? errno : EINVAL;
        ::close(fd);
        errno = error;
        return false;
    }
    bytes.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            bytes.append(buffer, static_cast<std::size_t>(n));
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            const int error = errno;
            ::close(fd);
            errno = error;
            return n == 0;
        }
    }
}

namespace {

// A name in the file's folder that differs from it in case alone: a page
// named as it was on a system that folds case.
std::string OtherCase(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    DIR* dir = ::opendir(folder.c_str());
    if (dir == nullptr) return "";
    std::string found;
    while (const dirent* entry = ::readdir(dir)) {
        if (::strcasecmp(entry->d_name, name.c_str()) == 0) {
            found = entry->d_name;
            break;
        }
    }
    ::closedir(dir);
    return found;
}

}  // namespace

std::string UnreadableReason(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) {
        const int error = errno;
        std::string why = std::generic_category().message(error);
        if (error == ENOENT) {
            if (const std::string other = OtherCase(path); !other.empty())
                why += " (names are case-sensitive: the folder holds " + other + ")";
        }
        return why;
    }
    if (S_ISDIR(info.st_mode))
        return "a folder where a file should be: store the page's image file under that name "
               "or name its file in the page's image_file";
    if (!S_ISREG(info.st_mode)) return "not a plain file: store the page's image file there";
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::generic_category().message(errno);
    ::close(fd);
    return info.st_size == 0 ? "the file is empty" : "";
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out.flush());
}

}  // namespace docserver::imaging
