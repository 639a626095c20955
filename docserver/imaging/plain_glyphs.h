#pragma once
// Glyphs of the plain-text face drawn by FreeType itself, for a process
// without a Qt application: Qt's fonts need its font database, which only a
// QGuiApplication makes, and a program that loads the local-access library
// may have none (and must not be given one behind its back).

#include <QImage>
#include <QRect>

#include <array>
#include <string>

namespace docserver::imaging {

// Whether Qt's fonts may be used in this process.
bool QtFontsUsable();

class PlainGlyphs {
  public:
    // The monospaced face the layout names, at a size in pixels.
    explicit PlainGlyphs(int pixelSize);
    ~PlainGlyphs();
    PlainGlyphs(const PlainGlyphs&) = delete;
    PlainGlyphs& operator=(const PlainGlyphs&) = delete;

    // False when no face could be loaded: nothing can be drawn.
    bool Ok() const { return face_ != nullptr; }
    // Advance of each byte of the code page, in pixels.
    const std::array<double, 256>& Advances() const { return advances_; }
    int Ascent() const { return ascent_; }
    int Descent() const { return descent_; }
    int LineSpacing() const { return lineSpacing_; }

    // Draws the text (Windows-1252) in black from (x, baseline) onto an
    // RGB32 image; the box its ink covers, relative to (x, baseline).
    QRect Draw(QImage& image, const std::string& text, int x, int baseline) const;

  private:
    void* library_ = nullptr;  // FT_Library
    void* face_ = nullptr;     // FT_Face
    std::array<double, 256> advances_{};
    std::array<unsigned, 256> codes_{};
    int ascent_ = 0;
    int descent_ = 0;
    int lineSpacing_ = 1;
};

}  // namespace docserver::imaging
