#pragma once
// The image engine: loads a page image file, reports its size, resolution
// and depth as the file holds them, turns it by quarter turns, draws any
// scaled rectangle of it onto a drawing surface and copies areas between
// engines. Engines never show messages; failures return false and keep a
// text that GetLastError returns.
//
// The back end is Qt's image library. The second back end of the original
// (a third-party imaging control) does not exist here: UseLead is always 0.

#include <QByteArray>
#include <QImage>

#include <cstdint>
#include <memory>
#include <string>

#include "platform/draw_surface.h"

// A loaded image as engines hand it to each other: the decoded image, the
// display copy in a fast format (a bitonal page's is the 1-bit image itself)
// and the depth and resolution of the file.
struct EngineImage {
    QImage image;
    QImage display;
    int bitsPerPixel = 0;
    int xResolution = 0;
    int yResolution = 0;
};
using ImageHandle = std::shared_ptr<EngineImage>;

namespace mGdiPlus {
// Process-wide start count of the image library, one per live engine.
bool GdiPlusStartup();
void GdiPlusShutdown();
int StartCount();
}  // namespace mGdiPlus

class cGdiLead {
  public:
    cGdiLead();
    ~cGdiLead();
    cGdiLead(const cGdiLead&) = delete;
    cGdiLead& operator=(const cGdiLead&) = delete;

    std::string GetLastError() const { return lastError_; }
    bool ValidateGDI();
    bool OpenImageFile(const std::string& szFname);
    // A page already in memory, opened as its file would be; name stands
    // for the file in the failure's text.
    bool OpenImageBytes(const std::string& bytes, const std::string& name);
    // The surface stays the caller's; FreeGraphics before it goes away.
    bool SetGraphicsOutput(platform::DrawSurface* lHdc);
    bool DrawImageRect(std::int32_t xOffset, std::int32_t yOffset, std::int32_t width,
                       std::int32_t height, std::int32_t maxwidth, std::int32_t maxheight);
    std::int32_t ImgWidth() const;
    // Decodes a JPEG page still waiting for its size.
    ImageHandle ImgHndl();
    std::int16_t UseLead() const { return 0; }
    std::int32_t ImgHeight() const;
    std::int32_t Xresolution() const;
    std::int32_t Yresolution() const;
    std::int32_t BitsPerPixel() const;
    bool RotateImage(std::int32_t rotation);
    void FreeImage();
    void FreeGraphics();
    std::int32_t GetInterpolationMode();
    void SetInterpolationMode(std::int32_t lMode);
    void SetResolution(std::int32_t xdpi, std::int32_t ydpi);
    bool CopyImage(cGdiLead& ImgTo);
    bool CloneImageArea(cGdiLead& NewImg, std::int32_t x, std::int32_t y, std::int32_t width,
                        std::int32_t height, std::int32_t Bpp);
    void lvlInit(ImageHandle imgNew);
    bool IsImageValid() const { return image_ != nullptr; }

    // Interpolation modes the drawing honours.
    static constexpr std::int32_t kInterpolationBilinear = 3;
    static constexpr std::int32_t kInterpolationNearest = 5;

  private:
    bool OpenBytes(QByteArray bytes, const std::string& szFname);
    QSize ImageSize() const;
    void DropScaledCopy();
    // A JPEG page is opened from its header and decoded at the size its
    // first draw needs; whatever needs the page's own pixels (a zoom past
    // full size, a turn, a clone) decodes it in full. False when it does
    // not decode.
    bool DecodeInFull();
    bool ScaleTo(int width, int height);
    // The display copy in 32 bits: a bitonal page's is made on first need.
    const QImage& FullColourCopy();

    platform::DrawSurface* output_ = nullptr;
    ImageHandle image_;
    bool started_ = false;
    std::int32_t interpolation_ = 0;
    std::string lastError_;
    // The display copy scaled down to the last drawn size.
    QImage scaled_;
    const EngineImage* scaledFrom_ = nullptr;
    QImage full_;
    const EngineImage* fullFrom_ = nullptr;
    // The bytes of an open JPEG page not yet decoded in full.
    QByteArray jpeg_;
    QSize jpegSize_;
    std::string jpegName_;
};

// Depth of an image file as its header states it (0 when unknown).
int FileBitsPerPixel(const std::string& path);
// The display copy of a decoded image.
QImage MakeDisplayCopy(const QImage& image);
