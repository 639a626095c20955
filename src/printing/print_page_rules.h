#pragma once
// The rules of the print driver that need no server and no printer: the
// batch page line, how a page is turned and flagged landscape, which
// annotation layers a printed page carries and the page's message text.

#include <cstdint>
#include <string>

namespace printing {

// A message, tag or boundary field of a batch page line: CR and LF would
// end the line and "~" would split it, so they become "@" and "-".
std::string BatchField(const std::string& text);

// One line of a batch print file: key (with "*R" when the page is marked),
// the constant 0, project, message text, boundary flag code and the key
// again when the image key prints; six "~"-separated fields and a LF.
std::string BatchPageLine(const std::string& key, bool marked, const std::string& project,
                          const std::string& messageText, const std::string& boundaryCode,
                          std::int32_t flags);

struct PageOrientation {
    std::int32_t turn = 0;           // quarter turns clockwise applied to the image
    std::int32_t layerRotation = 0;  // rotation handed to the annotation layers
    bool landscape = false;
};
// By the page's stored rotation and the image's shape as stored; a
// resolution below 50 counts as 50.
PageOrientation OrientPage(std::int32_t rotation, std::int32_t width, std::int32_t height,
                           std::int32_t dpi, std::int32_t currentLayerRotation = 0);

struct PrintLayers {
    bool redactions = false;
    std::int16_t redactColorMode = 0;  // 0 as marked, 1 black, 2 white
    bool highlights = false, markups = false, notes = false;
};
// Layers of one printed page. A marked page and a user whose redactions are
// opaque (redaction access 1) always print the redactions, whatever the
// flags; a marked page prints no other layer; annotations hidden from the
// user (annotation access 2) never print.
PrintLayers LayersFor(std::int32_t flags, bool marked, std::int32_t redactAccess,
                      std::int32_t annotAccess, bool blackAndWhite);

// Whether the page message text needs the page's tags.
bool WantsTags(std::int32_t flags, std::int32_t tagAccess);
// The message printed with a page: the print message when it prints, then
// (unless tags are hidden) "@" and the page's ","-listed tags joined by ", ".
std::string PageMessageText(std::int32_t flags, const std::string& message, std::int32_t tagAccess,
                            const std::string& tagList);

}  // namespace printing
