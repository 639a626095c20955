#include "platform/printed_page_image.h"

#include <QBuffer>
#include <QByteArray>
#include <QColorSpace>
#include <QImageWriter>

#include <cstdint>
#include <vector>

#include "platform/bitonal_image.h"

namespace platform {
namespace {

constexpr int kJpegQuality = 90;

bool IsGreyPage(const QImage& rgb) {
    const int w = rgb.width(), h = rgb.height();
    for (int y = 0; y < h; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < w; ++x) {
            const QRgb p = line[x];
            if (qRed(p) != qGreen(p) || qGreen(p) != qBlue(p)) return false;
        }
    }
    return true;
}

// The colours of a page, each once, in the order met.
class PageColours {
  public:
    static constexpr std::size_t kMost = 1 << 16;

    // False once the page has more colours than are worth collecting.
    bool Add(QRgb colour) {
        std::size_t at = Slot(colour);
        if (keys_[at] == colour && used_[at]) return true;
        if (colours_.size() == kMost) return false;
        used_[at] = true;
        keys_[at] = colour;
        index_[at] = static_cast<std::uint32_t>(colours_.size());
        colours_.push_back(colour);
        return true;
    }
    // The place of a colour added before.
    std::uint32_t IndexOf(QRgb colour) const { return index_[Slot(colour)]; }
    const std::vector<QRgb>& Colours() const { return colours_; }

  private:
    static constexpr std::size_t kSlots = kMost * 4;
    std::size_t Slot(QRgb colour) const {
        std::size_t at = (colour * 2654435761u) >> 14 & (kSlots - 1);
        while (used_[at] && keys_[at] != colour) at = (at + 1) & (kSlots - 1);
        return at;
    }
    std::vector<QRgb> keys_ = std::vector<QRgb>(kSlots);
    std::vector<std::uint32_t> index_ = std::vector<std::uint32_t>(kSlots);
    std::vector<bool> used_ = std::vector<bool>(kSlots);
    std::vector<QRgb> colours_;
};

// Qt's grey conversion is exact but costly a pixel, and a page has few
// colours: each colour is converted once, by Qt, and the page mapped.
QImage GreyPage(const QImage& rgb) {
    const int w = rgb.width(), h = rgb.height();
    PageColours colours;
    for (int y = 0; y < h; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        QRgb last = ~line[0];
        for (int x = 0; x < w; ++x) {
            if (line[x] == last) continue;
            last = line[x];
            if (!colours.Add(last)) return rgb.convertToFormat(QImage::Format_Grayscale8);
        }
    }
    const std::vector<QRgb>& list = colours.Colours();
    QImage palette(static_cast<int>(list.size()), 1, QImage::Format_RGB32);
    palette.setColorSpace(rgb.colorSpace());
    std::copy(list.begin(), list.end(), reinterpret_cast<QRgb*>(palette.scanLine(0)));
    const QImage greys = palette.convertToFormat(QImage::Format_Grayscale8);
    const uchar* level = greys.constScanLine(0);
    QImage grey(w, h, QImage::Format_Grayscale8);
    grey.setColorSpace(greys.colorSpace());
    for (int y = 0; y < h; ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        uchar* out = grey.scanLine(y);
        QRgb last = line[0];
        uchar value = level[colours.IndexOf(last)];
        for (int x = 0; x < w; ++x) {
            if (line[x] != last) {
                last = line[x];
                value = level[colours.IndexOf(last)];
            }
            out[x] = value;
        }
    }
    return grey;
}

}  // namespace

QImage CompactPageImage(const QImage& page) {
    QImage mono = ToMono(page);
    if (!mono.isNull()) return mono;
    const QImage rgb =
        page.format() == QImage::Format_RGB32 ? page : page.convertToFormat(QImage::Format_RGB32);
    if (IsGreyPage(rgb)) return GreyPage(rgb);
    return rgb;
}

QImage GreyPageImage(const QImage& page) {
    if (page.format() == QImage::Format_Grayscale8) return page;
    return GreyPage(page.format() == QImage::Format_RGB32 ? page
                                                          : page.convertToFormat(QImage::Format_RGB32));
}

std::string EncodeJpeg(const QImage& page) {
    QByteArray jpeg;
    QBuffer buffer(&jpeg);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(kJpegQuality);
    if (!writer.write(page)) return {};
    return jpeg.toStdString();
}

}  // namespace platform
