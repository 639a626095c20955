#pragma once
// The print options as one value: how the image key and the message are
// lettered and placed, the bar code, scaling, clips, margins, paper frames
// and the slip sheet tray. The defaults here are also what a missing
// stored setting loads as.

#include <cstdint>
#include <string>

// The frame table: page sizes of the three paper classes in pixels.
struct PaperFrames {
    std::int32_t LetterX = 2400, LetterY = 3128;
    std::int32_t LegalX = 2400, LegalY = 4000;
    std::int32_t OverSizeX = 3128, OverSizeY = 4936;

    // The frame of a paper class (1 letter, 2 legal, 3 oversize).
    void ForClass(std::int32_t paperClass, std::int32_t& x, std::int32_t& y) const {
        x = paperClass == 2 ? LegalX : paperClass == 3 ? OverSizeX : LetterX;
        y = paperClass == 2 ? LegalY : paperClass == 3 ? OverSizeY : LetterY;
    }
    bool operator==(const PaperFrames&) const = default;
};

struct FontStyle {
    bool bold = false, italic = false, underline = false;
    bool operator==(const FontStyle&) const = default;
};

struct PrintOptionSet {
    std::string keyFontName = "Arial";
    std::int16_t keyFontSize = 14;
    // Zones 1 to 6 of the page; key and message may share one.
    std::int32_t keyPsn = 6;
    FontStyle keyStyle;
    std::int32_t keyFontColor = 0;
    std::string msgFontName = "Arial";
    std::int16_t msgFontSize = 14;
    std::int32_t msgPsn = 4;
    FontStyle msgStyle;
    std::int32_t msgFontColor = 0;
    bool msgAboveKey = false;
    bool useBarCode = false;
    bool maxHorzScale = false;
    bool enlargeSmallImages = false;
    bool resizeStaple = false;
    bool resizeDuplex = false;
    bool allowLandscapeBatesMsg = false;
    // 0 to 6: which paper sizes a page may print on.
    std::int32_t supportedSizes = 0;
    std::int32_t topClip = 0, leftClip = 0, rightClip = 0, bottomClip = 0;
    std::int32_t leftMargin = 0, topMargin = 0;
    std::int16_t slipSheetPaperTray = 0;
    PaperFrames frames;

    bool operator==(const PrintOptionSet&) const = default;
};
