#include "render/gdi_lead.h"

#include <QFile>
#include <QPainter>
#include <QTransform>

#include <algorithm>

#include "platform/bitonal_scale.h"
#include "platform/rounding.h"
#include "platform/text_codec.h"
#include "render/bitonal_turn.h"
#include "render/page_decode.h"

namespace mGdiPlus {
namespace {
int g_startCount = 0;
}

bool GdiPlusStartup() {
    // Qt's image library needs no start; the count keeps the contract that
    // the library lives while any engine does.
    ++g_startCount;
    return true;
}

void GdiPlusShutdown() {
    if (g_startCount > 0) --g_startCount;
}

int StartCount() {
    return g_startCount;
}

}  // namespace mGdiPlus

namespace {

const char kNotInitialized[] = "GDIPlus Not Initialized";
const char kInvalidHandle[] = "Invalid Image Handle";

// A 1-bit page drawn at its own size, with its top-left corner at origin,
// into the part visible of a 32-bit surface, as painting its 32-bit copy
// would: without that copy of the whole page.
void CopyBitonal(const QImage& page, QImage& target, const QRect& visible, const QPoint& origin) {
    const QRgb colours[2] = {page.color(0) | 0xFF000000u, page.color(1) | 0xFF000000u};
    for (int y = visible.top(); y <= visible.bottom(); ++y) {
        const uchar* src = page.constScanLine(y - origin.y());
        QRgb* dst = reinterpret_cast<QRgb*>(target.scanLine(y));
        for (int x = visible.left(); x <= visible.right(); ++x) {
            const int sx = x - origin.x();
            dst[x] = colours[(src[sx >> 3] >> (7 - (sx & 7))) & 1];
        }
    }
}

}  // namespace

int FileBitsPerPixel(const std::string& path) {
    QFile f(platform::ToQString(path));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    return pagedecode::HeaderBitsPerPixel(f.readAll());
}

QImage MakeDisplayCopy(const QImage& image) {
    // A bitonal page is drawn from its 1-bit form; a 32-bit copy of it is
    // made only for a size the 1-bit scaler does not serve.
    if (bitonal::IsBitonal(image)) return image;
    return image.convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                         : QImage::Format_RGB32);
}

cGdiLead::cGdiLead() {
    started_ = mGdiPlus::GdiPlusStartup();
}

cGdiLead::~cGdiLead() {
    output_ = nullptr;
    image_.reset();
    if (started_) mGdiPlus::GdiPlusShutdown();
}

bool cGdiLead::ValidateGDI() {
    if (!started_) {
        lastError_ = kNotInitialized;
        return false;
    }
    lastError_.clear();
    return true;
}

bool cGdiLead::OpenImageFile(const std::string& szFname) {
    if (!ValidateGDI()) return false;
    // The file is read once; depth and picture come from the same bytes.
    QFile file(platform::ToQString(szFname));
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly)) bytes = file.readAll();
    return OpenBytes(std::move(bytes), szFname);
}

bool cGdiLead::OpenImageBytes(const std::string& bytes, const std::string& name) {
    if (!ValidateGDI()) return false;
    return OpenBytes(QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())), name);
}

bool cGdiLead::OpenBytes(QByteArray bytes, const std::string& szFname) {
    FreeImage();
    FreeGraphics();
    pagedecode::PageHeader header;
    if (pagedecode::ReadJpegHeader(bytes, header)) {
        auto loaded = std::make_shared<EngineImage>();
        loaded->bitsPerPixel = header.bitsPerPixel;
        loaded->xResolution = platform::RoundToInt(header.dotsPerMeterX * 0.0254);
        loaded->yResolution = platform::RoundToInt(header.dotsPerMeterY * 0.0254);
        image_ = std::move(loaded);
        jpeg_ = std::move(bytes);
        jpegSize_ = header.size;
        jpegName_ = szFname;
        return true;
    }
    pagedecode::DecodedPage page = pagedecode::Decode(bytes);
    QImage decoded = std::move(page.image);
    if (decoded.isNull()) {
        lastError_ = "Unable to Open ImageFile: " + szFname;
        return false;
    }
    auto loaded = std::make_shared<EngineImage>();
    loaded->bitsPerPixel = page.bitsPerPixel;
    loaded->xResolution = platform::RoundToInt(decoded.dotsPerMeterX() * 0.0254);
    loaded->yResolution = platform::RoundToInt(decoded.dotsPerMeterY() * 0.0254);
    loaded->display = MakeDisplayCopy(decoded);
    loaded->image = std::move(decoded);
    image_ = std::move(loaded);
    return true;
}

bool cGdiLead::SetGraphicsOutput(platform::DrawSurface* lHdc) {
    if (!ValidateGDI()) return false;
    FreeGraphics();
    if (lHdc == nullptr || !lHdc->IsValid()) {
        // A failure that leaves no text would show an empty message.
        lastError_ = "Graphics Output not set";
        return false;
    }
    output_ = lHdc;
    interpolation_ = kInterpolationBilinear;
    return true;
}

bool cGdiLead::DrawImageRect(std::int32_t xOffset, std::int32_t yOffset, std::int32_t width,
                             std::int32_t height, std::int32_t /*maxwidth*/,
                             std::int32_t /*maxheight*/) {
    if (!ValidateGDI()) return false;
    if (width == 0 || height == 0) {
        lastError_ = "Invalid Width/Height Paramter";
        return false;
    }
    if (output_ == nullptr) {
        lastError_ = "Graphics Output not set";
        return false;
    }
    if (!image_) {
        lastError_ = kInvalidHandle;
        return false;
    }
    if (width < 0 || height < 0 || !output_->IsValid()) {
        lastError_ = "Error Drawing Image";
        return false;
    }
    QImage& target = output_->Image();
    // 64-bit edges: far scroll offsets clip instead of wrapping.
    const std::int64_t left = -static_cast<std::int64_t>(xOffset);
    const std::int64_t top = -static_cast<std::int64_t>(yOffset);
    const std::int64_t x0 = std::max<std::int64_t>(left, 0);
    const std::int64_t y0 = std::max<std::int64_t>(top, 0);
    const std::int64_t x1 = std::min<std::int64_t>(left + width, target.width());
    const std::int64_t y1 = std::min<std::int64_t>(top + height, target.height());
    if (x0 >= x1 || y0 >= y1) return true;
    const QRect visible(static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1 - x0),
                        static_cast<int>(y1 - y0));

    const QSize size = ImageSize();
    if (jpeg_.isEmpty() && width == size.width() && height == size.height() &&
        bitonal::IsBitonal(image_->display) && target.format() == QImage::Format_RGB32) {
        CopyBitonal(image_->display, target, visible,
                    QPoint(static_cast<int>(left), static_cast<int>(top)));
        return true;
    }
    const bool down = width <= size.width() && height <= size.height() &&
                      interpolation_ != kInterpolationNearest;
    if (down ? !ScaleTo(width, height) : !DecodeInFull()) return false;
    QPainter p(&target);
    p.setCompositionMode(QPainter::CompositionMode_SourceOver);
    if (down) {
        p.drawImage(visible.topLeft(), scaled_,
                    visible.translated(static_cast<int>(-left), static_cast<int>(-top)));
    } else {
        p.setRenderHint(QPainter::SmoothPixmapTransform, false);
        p.setClipRect(visible);
        p.drawImage(QRectF(static_cast<double>(left), static_cast<double>(top), width, height),
                    FullColourCopy());
    }
    return true;
}

QSize cGdiLead::ImageSize() const {
    if (!image_) return {0, 0};
    return jpeg_.isEmpty() ? image_->image.size() : jpegSize_;
}

std::int32_t cGdiLead::ImgWidth() const {
    return ImageSize().width();
}
std::int32_t cGdiLead::ImgHeight() const {
    return ImageSize().height();
}

ImageHandle cGdiLead::ImgHndl() {
    DecodeInFull();
    return image_;
}
std::int32_t cGdiLead::Xresolution() const {
    return image_ ? image_->xResolution : 0;
}
std::int32_t cGdiLead::Yresolution() const {
    return image_ ? image_->yResolution : 0;
}
std::int32_t cGdiLead::BitsPerPixel() const {
    return image_ ? image_->bitsPerPixel : 0;
}

bool cGdiLead::RotateImage(std::int32_t rotation) {
    if (!ValidateGDI()) return false;
    if (rotation == 0) return true;
    if (rotation < 0 || rotation > 3) {
        lastError_ = "Invalid Parameter";
        return false;
    }
    if (!image_) {
        lastError_ = kInvalidHandle;
        return false;
    }
    if (!DecodeInFull()) return false;
    QTransform turn;
    turn.rotate(90.0 * rotation);
    // A new record: handles given out earlier keep the unturned image.
    auto turned = std::make_shared<EngineImage>(*image_);
    turned->image = bitonal::QuarterTurn(image_->image, rotation);
    if (turned->image.isNull()) turned->image = image_->image.transformed(turn);
    turned->display = MakeDisplayCopy(turned->image);
    if (turned->image.isNull() || turned->display.isNull()) {
        lastError_ = "Could Not Rotate Image";
        return false;
    }
    image_ = std::move(turned);
    DropScaledCopy();
    return true;
}

void cGdiLead::FreeImage() {
    if (!ValidateGDI()) return;
    image_.reset();
    jpeg_.clear();
    DropScaledCopy();
}

void cGdiLead::FreeGraphics() {
    if (!ValidateGDI()) return;
    output_ = nullptr;
    interpolation_ = 0;
}

std::int32_t cGdiLead::GetInterpolationMode() {
    if (!ValidateGDI()) return 0;
    return output_ ? interpolation_ : 0;
}

void cGdiLead::SetInterpolationMode(std::int32_t lMode) {
    if (!ValidateGDI()) return;
    if (output_) interpolation_ = lMode;
}

void cGdiLead::SetResolution(std::int32_t xdpi, std::int32_t ydpi) {
    if (!image_ || !DecodeInFull()) return;
    auto changed = std::make_shared<EngineImage>(*image_);
    changed->xResolution = xdpi;
    changed->yResolution = ydpi;
    changed->image.setDotsPerMeterX(platform::RoundToInt(xdpi / 0.0254));
    changed->image.setDotsPerMeterY(platform::RoundToInt(ydpi / 0.0254));
    image_ = std::move(changed);
    DropScaledCopy();
}

bool cGdiLead::CopyImage(cGdiLead& ImgTo) {
    if (ImgTo.UseLead() != UseLead()) {
        lastError_ = "Incompatible Image Types";
        return false;
    }
    return CloneImageArea(ImgTo, 0, 0, ImgWidth(), ImgHeight(), 0);
}

namespace {

bool FormatForDepth(int bpp, QImage::Format& format) {
    switch (bpp) {
        case 1:
            format = QImage::Format_Mono;
            return true;
        case 4:
        case 8:
            format = QImage::Format_Indexed8;
            return true;
        case 16:
            format = QImage::Format_RGB555;
            return true;
        case 24:
            format = QImage::Format_RGB888;
            return true;
        case 32:
            format = QImage::Format_RGB32;
            return true;
        case 64:
            format = QImage::Format_RGBA64;
            return true;
        default:
            return false;
    }
}

}  // namespace

bool cGdiLead::CloneImageArea(cGdiLead& NewImg, std::int32_t x, std::int32_t y, std::int32_t width,
                              std::int32_t height, std::int32_t Bpp) {
    NewImg.FreeGraphics();
    NewImg.FreeImage();
    if (NewImg.UseLead() != UseLead()) {
        lastError_ = "Incompatible Image Types";
        return false;
    }
    if (!ValidateGDI()) return false;
    if (!IsImageValid()) {
        lastError_ = kInvalidHandle;
        return false;
    }
    if (!DecodeInFull()) return false;
    const QRect area(x, y, width, height);
    if (width <= 0 || height <= 0 || !image_->image.rect().contains(area)) {
        lastError_ = "Unable to Clone Image Area";
        return false;
    }
    auto clone = std::make_shared<EngineImage>();
    clone->image = image_->image.copy(area);
    clone->bitsPerPixel = image_->bitsPerPixel;
    QImage::Format format;
    if (Bpp != 0 && Bpp != image_->bitsPerPixel && FormatForDepth(Bpp, format)) {
        clone->image = clone->image.convertToFormat(format, Qt::ThresholdDither);
        clone->bitsPerPixel = Bpp;
    }
    if (clone->image.isNull()) {
        lastError_ = "Unable to Clone Image Area";
        return false;
    }
    clone->xResolution = image_->xResolution;
    clone->yResolution = image_->yResolution;
    clone->display = MakeDisplayCopy(clone->image);
    NewImg.lvlInit(std::move(clone));
    return true;
}

void cGdiLead::lvlInit(ImageHandle imgNew) {
    image_ = std::move(imgNew);
    jpeg_.clear();
    DropScaledCopy();
}

void cGdiLead::DropScaledCopy() {
    scaled_ = QImage();
    scaledFrom_ = nullptr;
    full_ = QImage();
    fullFrom_ = nullptr;
}

bool cGdiLead::DecodeInFull() {
    if (jpeg_.isEmpty()) return true;
    QImage decoded = pagedecode::Decode(jpeg_).image;
    jpeg_.clear();
    if (decoded.isNull()) {
        image_.reset();
        lastError_ = "Unable to Open ImageFile: " + jpegName_;
        return false;
    }
    image_->display = MakeDisplayCopy(decoded);
    image_->image = std::move(decoded);
    return true;
}

bool cGdiLead::ScaleTo(int width, int height) {
    const QSize size(width, height);
    if (scaledFrom_ == image_.get() && scaled_.size() == size) return true;
    QImage scaled;
    if (!jpeg_.isEmpty()) {
        const QImage reduced = pagedecode::DecodeJpegReduced(jpeg_, jpegSize_, size);
        if (!reduced.isNull()) {
            scaled = MakeDisplayCopy(reduced).scaled(size, Qt::IgnoreAspectRatio,
                                                     Qt::SmoothTransformation);
        }
    }
    if (scaled.isNull()) {
        if (!DecodeInFull()) return false;
        // Area-averaged scaling keeps the thin strokes of a bitonal scan.
        scaled = bitonal::ScaleDown(image_->display, width, height);
        if (scaled.isNull()) {
            scaled = FullColourCopy().scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        }
    }
    // The scaled copy serves every redraw at the same size.
    scaled_ = std::move(scaled);
    scaledFrom_ = image_.get();
    return true;
}

const QImage& cGdiLead::FullColourCopy() {
    if (!bitonal::IsBitonal(image_->display)) return image_->display;
    if (fullFrom_ != image_.get()) {
        full_ = image_->display.convertToFormat(QImage::Format_RGB32);
        fullFrom_ = image_.get();
    }
    return full_;
}
