#pragma once
// Where every pane of the main window goes, as a pure function of the
// window's inner size, the pane flags and the kept pane sizes. All sizes are
// twips (15 to a pixel at 96 dots per inch).

#include <array>
#include <optional>

namespace viewer {

struct TwipRect {
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const TwipRect&) const = default;
};

// Design sizes of the fixed controls.
struct LayoutDesign {
    int topToolBarHeight = 570;
    int footerHeightLabel = 612;    // one-line status label
    int footerHeightTextBox = 960;  // taller multi-line status box
    int statusTop = 360;            // status label and text box, inside the footer
    int marginBarWidth = 60;
    int marginBar2Width = 60;
    int zoomBarHeight = 60;
    int vScrollWidth = 255;
    int hScrollHeight = 255;
    // The widest toolbar's extent: the window is never narrower.
    int toolbarWidth = 0;
};

// Pane sizes the window keeps between layouts, so a pane reopens at its last size.
struct KeptPaneSizes {
    int marginBarPosn = 3000;  // width of the left panel
    int tagFormWidth = 2760;   // width of the tag palette column
    float zoomBarRatio = 0;    // page height above the zoom window / middle height
};

struct LayoutInput {
    int innerWidth = 0, innerHeight = 0;    // W and H
    int chromeWidth = 0, chromeHeight = 0;  // outer size minus inner size
    int statusLine = 0;                     // g_StatusLine
    bool tagPaletteOpen = false;            // TagPal_Active
    int queryActive = 0;                    // Query_Active
    bool projectTreeOpen = false;           // PrjView_Active
    bool zoomWindowOpen = false;            // ZoomWin_Active
    bool serverHidesQuerySort = false;      // extended system flag 0x40
};

struct LayoutResult {
    int minOuterWidth = 0, minOuterHeight = 0;
    int width = 0, height = 0;  // the inner size laid out (at least the minimum)
    bool marginBarActive = false, marginBar2Active = false;
    int marginBar2Posn = 0, zoomBarPosn = 0;

    TwipRect topToolBar, picFooter;
    std::optional<TwipRect> lblStatus, txtStatus;
    std::optional<TwipRect> marginbar, picPrjVw, scrollForm;
    std::optional<TwipRect> marginBar2, tagForm;
    std::optional<TwipRect> zoomBar, picZoom;
    TwipRect picZoom2;
    TwipRect txtImage, picImage, vScroll, hScroll;

    // Controls inside the panes.
    int queryListWidth = 0, queryListHeight = 0, queryLabelWidth = 0, queryComboWidth = 0;
    int queryButton7Left = 0;
    // The ten query buttons: one row where they fit, else two, the list
    // giving up a row; the close button always at the right.
    std::array<TwipRect, 10> queryButtons{};
    bool queryButton6Visible = false;
    int tagButton1Left = 0;
    int zoomButton2Left = 0;
    bool clearQuesterHits = false;  // the query pane is closed
};

// kept is updated with the limited pane sizes.
LayoutResult ComputeMainWindowLayout(const LayoutInput& in, KeptPaneSizes& kept,
                                     const LayoutDesign& design = {});

// The left panel's width after a drag of its splitter from downX to upX:
// moved by the drag distance, then limited as the layout limits it.
int MarginBarDragWidth(int marginBarPosn, int downX, int upX, int innerWidth, bool tagPaletteOpen);
// The tag palette's width after a drag of its splitter (at least 1600).
int MarginBar2DragWidth(int tagFormWidth, int downX, int upX);

}  // namespace viewer
