#pragma once
// The tag palette pane: its rows and how many fit. Whether the pane is open
// (TagPal_Active) is with the other panes; whether its rows exist
// (g_TagPalInitialized, elsewhere TagRowsLoaded) with the project views.

#include <cstdint>

#include "annotations/tag_palette.h"

namespace viewer {

struct TagPaletteView {
    annotations::TagPalette rows;  // captions and TagStates, TagPaletteCount rows
    std::int32_t TagRowsFit = 0;
};

}  // namespace viewer
