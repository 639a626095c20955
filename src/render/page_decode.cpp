#include "render/page_decode.h"

#include <QBuffer>
#include <QImageReader>

#include <tiffio.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/rounding.h"

namespace pagedecode {
namespace {

// A tabloid sheet at 600 dpi in 32 bits fits twice over; a picture beyond
// it is no page.
constexpr std::int64_t kMaxPageMegabytes = 512;

// libtiff over bytes in memory.
struct MemoryFile {
    const QByteArray* bytes;
    toff_t pos = 0;
};

tmsize_t MemRead(thandle_t h, void* buf, tmsize_t size) {
    auto* f = static_cast<MemoryFile*>(h);
    const auto total = static_cast<toff_t>(f->bytes->size());
    if (f->pos >= total || size <= 0) return 0;
    const auto n = std::min<toff_t>(static_cast<toff_t>(size), total - f->pos);
    std::memcpy(buf, f->bytes->constData() + f->pos, n);
    f->pos += n;
    return static_cast<tmsize_t>(n);
}

tmsize_t MemWrite(thandle_t, void*, tmsize_t) {
    return 0;
}

toff_t MemSeek(thandle_t h, toff_t off, int whence) {
    auto* f = static_cast<MemoryFile*>(h);
    const auto total = static_cast<toff_t>(f->bytes->size());
    toff_t base = whence == SEEK_CUR ? f->pos : whence == SEEK_END ? total : 0;
    f->pos = base + off;
    return f->pos;
}

int MemClose(thandle_t) {
    return 0;
}

toff_t MemSize(thandle_t h) {
    return static_cast<toff_t>(static_cast<MemoryFile*>(h)->bytes->size());
}

class Tiff {
  public:
    explicit Tiff(const QByteArray& bytes) : file_{&bytes} {
        tif_ = TIFFClientOpen("page", "rm", &file_, MemRead, MemWrite, MemSeek, MemClose, MemSize,
                              nullptr, nullptr);
    }
    ~Tiff() {
        if (tif_) TIFFClose(tif_);
    }
    Tiff(const Tiff&) = delete;
    Tiff& operator=(const Tiff&) = delete;
    TIFF* get() const { return tif_; }

  private:
    MemoryFile file_;
    TIFF* tif_ = nullptr;
};

bool IsTiff(const QByteArray& head) {
    return head.startsWith("II*") || head.startsWith(QByteArray("MM\0*", 4));
}

int TiffBitsPerPixel(TIFF* tif) {
    std::uint16_t bits = 1, samples = 1;
    TIFFGetFieldDefaulted(tif, TIFFTAG_BITSPERSAMPLE, &bits);
    TIFFGetFieldDefaulted(tif, TIFFTAG_SAMPLESPERPIXEL, &samples);
    return bits * samples;
}

// The resolution as Qt's TIFF reader sets it; no unit leaves Qt's default.
void SetTiffResolution(TIFF* tif, QImage& image) {
    std::uint16_t unit = RESUNIT_INCH;
    if (!TIFFGetField(tif, TIFFTAG_RESOLUTIONUNIT, &unit)) unit = RESUNIT_INCH;
    float x = 0, y = 0;
    if (!TIFFGetField(tif, TIFFTAG_XRESOLUTION, &x) || !TIFFGetField(tif, TIFFTAG_YRESOLUTION, &y))
        return;
    const double perMeter = unit == RESUNIT_CENTIMETER ? 100.0
                            : unit == RESUNIT_INCH     ? 100 / 2.54
                                                       : 0;
    if (perMeter == 0) return;
    image.setDotsPerMeterX(platform::RoundToInt(x * perMeter));
    image.setDotsPerMeterY(platform::RoundToInt(y * perMeter));
}

// A strip-organised 1-bit grey TIFF as a Format_Mono image; null for any
// other kind, which Qt's reader then decodes.
QImage DecodeBitonalTiff(TIFF* tif) {
    std::uint16_t photometric = 0;
    if (TiffBitsPerPixel(tif) != 1 || TIFFIsTiled(tif) ||
        !TIFFGetField(tif, TIFFTAG_PHOTOMETRIC, &photometric) ||
        (photometric != PHOTOMETRIC_MINISWHITE && photometric != PHOTOMETRIC_MINISBLACK)) {
        return {};
    }
    std::uint32_t w = 0, h = 0;
    TIFFGetField(tif, TIFFTAG_IMAGEWIDTH, &w);
    TIFFGetField(tif, TIFFTAG_IMAGELENGTH, &h);
    if (w == 0 || h == 0 || w > 0x7FFFFFFF || h > 0x7FFFFFFF) return {};
    QImage image(static_cast<int>(w), static_cast<int>(h), QImage::Format_Mono);
    if (image.isNull()) return {};
    const QRgb black = qRgb(0, 0, 0), white = qRgb(255, 255, 255);
    if (photometric == PHOTOMETRIC_MINISBLACK) {
        image.setColorTable({black, white});
    } else {
        image.setColorTable({white, black});
    }
    // A row is read as whole bytes; the words it is padded to are cleared, so
    // that Qt's turns and our whole-word checks never read bytes nobody set.
    const qsizetype rowBytes = (static_cast<qsizetype>(w) + 7) / 8;
    for (std::uint32_t y = 0; y < h; ++y) {
        uchar* row = image.scanLine(static_cast<int>(y));
        if (TIFFReadScanline(tif, row, y, 0) < 0) return {};
        std::fill(row + rowBytes, row + image.bytesPerLine(), uchar{0});
    }
    SetTiffResolution(tif, image);
    return image;
}

int JpegBitsPerPixel(const QByteArray& bytes) {
    // Walk the marker segments to the first start-of-frame.
    const auto at = [&bytes](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    qsizetype pos = 2;
    for (int guard = 0; guard < 1000; ++guard) {
        if (pos + 4 > bytes.size() || at(pos) != 0xFF) return 0;
        const unsigned marker = at(pos + 1);
        if (marker == 0xFF) {
            pos += 1;
            continue;
        }
        const int length = (at(pos + 2) << 8) | at(pos + 3);
        const bool sof =
            marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (sof) {
            if (pos + 10 > bytes.size()) return 0;
            return at(pos + 4) * at(pos + 9);
        }
        if (length < 2) return 0;
        pos += 2 + length;
    }
    return 0;
}

bool IsJpeg(const QByteArray& bytes) {
    return bytes.size() >= 3 && static_cast<unsigned char>(bytes[0]) == 0xFF &&
           static_cast<unsigned char>(bytes[1]) == 0xD8;
}

// Qt's reader over bytes in memory, taking the file as it is.
class MemoryReader {
  public:
    explicit MemoryReader(const QByteArray& bytes) : data_(bytes), buffer_(&data_) {
        buffer_.open(QIODevice::ReadOnly);
        reader_.setDevice(&buffer_);
        reader_.setAutoTransform(false);
    }
    QImageReader& operator*() { return reader_; }
    QImageReader* operator->() { return &reader_; }

    // Qt's reader refuses any picture above a process-wide limit (128 MB),
    // which a 600 dpi colour letter page exceeds. The limit is raised for
    // this one read as far as the picture needs, never past kMaxPageMegabytes.
    bool Read(QImage* image) {
        const int before = QImageReader::allocationLimit();
        const int needed = MegabytesNeeded();
        if (before != 0 && needed > before) QImageReader::setAllocationLimit(needed);
        const bool ok = reader_.read(image);
        QImageReader::setAllocationLimit(before);
        return ok;
    }

  private:
    int MegabytesNeeded() {
        QSize size = reader_.scaledSize();
        if (!size.isValid()) size = reader_.size();
        if (!size.isValid()) return 0;
        // Readers may decode into a deeper format than they announce (a grey
        // JPEG into 32 bits); unknown: the deepest a page decodes to.
        int bits = QImage::toPixelFormat(reader_.imageFormat()).bitsPerPixel();
        bits = bits <= 0 ? 64 : std::max(bits, 32);
        const std::int64_t bytes =
            static_cast<std::int64_t>(size.width()) * size.height() * ((bits + 7) / 8);
        return static_cast<int>(std::min<std::int64_t>((bytes >> 20) + 1, kMaxPageMegabytes));
    }

    QByteArray data_;  // shared, not copied
    QBuffer buffer_;
    QImageReader reader_;
};

}  // namespace

int HeaderBitsPerPixel(const QByteArray& bytes) {
    const QByteArray head = bytes.left(32);
    auto byteAt = [&head](int i) { return static_cast<unsigned char>(head[i]); };
    if (IsTiff(head)) {
        Tiff tif(bytes);
        return tif.get() ? TiffBitsPerPixel(tif.get()) : 0;
    }
    if (IsJpeg(head)) return JpegBitsPerPixel(bytes);
    if (head.size() >= 26 && head.startsWith("\x89PNG")) {
        int depth = byteAt(24);
        switch (byteAt(25)) {
            case 0:
                return depth;
            case 2:
                return depth * 3;
            case 3:
                return depth;
            case 4:
                return depth * 2;
            case 6:
                return depth * 4;
            default:
                return 0;
        }
    }
    if (head.size() >= 30 && head.startsWith("BM")) return byteAt(28) | (byteAt(29) << 8);
    if (head.startsWith("GIF")) return 8;
    return 0;
}

DecodedPage Decode(const QByteArray& bytes) {
    DecodedPage page;
    if (IsTiff(bytes.left(4))) {
        Tiff tif(bytes);
        if (tif.get()) {
            page.bitsPerPixel = TiffBitsPerPixel(tif.get());
            page.image = DecodeBitonalTiff(tif.get());
        }
    } else {
        page.bitsPerPixel = HeaderBitsPerPixel(bytes);
    }
    if (page.image.isNull()) {
        MemoryReader reader(bytes);
        if (!reader.Read(&page.image)) page.image = QImage();
    }
    if (page.bitsPerPixel <= 0 && !page.image.isNull()) page.bitsPerPixel = page.image.depth();
    return page;
}

bool ReadJpegHeader(const QByteArray& bytes, PageHeader& header) {
    if (!IsJpeg(bytes)) return false;
    MemoryReader reader(bytes);
    header.size = reader->size();
    // The resolution comes as the full decode sets it: from one pixel.
    reader->setClipRect(QRect(0, 0, 1, 1));
    QImage corner;
    if (!header.size.isValid() || !reader.Read(&corner)) return false;
    header.dotsPerMeterX = corner.dotsPerMeterX();
    header.dotsPerMeterY = corner.dotsPerMeterY();
    header.bitsPerPixel = JpegBitsPerPixel(bytes);
    if (header.bitsPerPixel <= 0) header.bitsPerPixel = corner.depth();
    return true;
}

QImage DecodeJpegReduced(const QByteArray& bytes, const QSize& pageSize, const QSize& size) {
    for (int denominator : {8, 4, 2}) {
        // libjpeg rounds a reduced size up.
        const QSize reduced((pageSize.width() + denominator - 1) / denominator,
                            (pageSize.height() + denominator - 1) / denominator);
        if (reduced.width() < size.width() || reduced.height() < size.height()) continue;
        MemoryReader reader(bytes);
        reader->setScaledSize(reduced);
        QImage image;
        if (!reader.Read(&image) || image.size() != reduced) return {};
        return image;
    }
    return {};
}

}  // namespace pagedecode
