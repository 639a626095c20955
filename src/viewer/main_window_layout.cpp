#include "viewer/main_window_layout.h"

#include <algorithm>

#include "platform/rounding.h"

namespace viewer {
namespace {

constexpr int kMinLeftPanel = 2000;

int LimitLeftPanel(int posn, int width, bool tagPaletteOpen) {
    posn = std::min(posn, width - (tagPaletteOpen ? 3100 : 1500));
    return std::max(posn, kMinLeftPanel);
}

int NonNegative(int v) {
    return std::max(v, 0);
}

TwipRect Box(int left, int top, int width, int height) {
    return {left, top, NonNegative(width), NonNegative(height)};
}

}  // namespace

LayoutResult ComputeMainWindowLayout(const LayoutInput& in, KeptPaneSizes& kept,
                                     const LayoutDesign& design) {
    LayoutResult r;
    const bool leftPanel = in.queryActive > 0 || in.projectTreeOpen;

    const int footer = in.statusLine < 1 ? design.footerHeightLabel : design.footerHeightTextBox;

    r.minOuterWidth = std::max(1500 + (in.tagPaletteOpen ? 2000 : 0) + (leftPanel ? 2000 : 0),
                               design.toolbarWidth + in.chromeWidth);
    r.minOuterHeight = 3000;
    r.marginBarActive = leftPanel;
    r.marginBar2Active = in.tagPaletteOpen;

    const int W = std::max(in.innerWidth, r.minOuterWidth - in.chromeWidth);
    const int H = std::max(in.innerHeight, r.minOuterHeight - in.chromeHeight);
    r.width = W;
    r.height = H;
    const int T = design.topToolBarHeight;
    const int MH = NonNegative(H - T - footer);

    int x0 = 0, iw = W, ih = MH, lw = 0;

    if (leftPanel) {
        kept.marginBarPosn = LimitLeftPanel(kept.marginBarPosn, W, in.tagPaletteOpen);
        lw = kept.marginBarPosn;
        r.marginbar = Box(lw - design.marginBarWidth, T, design.marginBarWidth, MH);
        x0 = lw;
        iw = W - lw;
        const int pw = NonNegative(r.marginbar->left - 1);

        int paneTop = T, paneHeight = MH;
        if (in.projectTreeOpen) {
            int th = MH;
            if (in.queryActive > 0) {
                th = platform::RoundToInt(MH / 2.0);
                paneTop = T + th + 1;
                paneHeight = th - 1;
            }
            r.picPrjVw = Box(0, T, pw, th);
        }
        if (in.queryActive > 0) {
            r.queryListWidth = NonNegative(pw - 20);
            // Left to right 0 to 6, 8, 9; the frames need 30 twips around each.
            constexpr int kPitch = 300, kSize = 285;
            const bool oneRow = pw >= 3120;
            r.queryListHeight = NonNegative(paneHeight - 1040 - (oneRow ? 0 : kPitch));
            r.queryLabelWidth = NonNegative(pw - 120);
            r.queryComboWidth = NonNegative(pw - 1000);
            r.queryButton7Left = pw - 300;
            const int firstRow = 720 + r.queryListHeight + 20;
            const int order[9] = {0, 1, 2, 3, 4, 5, 6, 8, 9};
            for (int slot = 0; slot < 9; ++slot) {
                const int row = oneRow || slot < 5 ? 0 : 1;
                const int column = row == 0 ? slot : slot - 5;
                r.queryButtons[static_cast<size_t>(order[slot])] =
                    Box(60 + column * kPitch, firstRow + row * kPitch, kSize, kSize);
            }
            r.queryButtons[7] =
                Box(r.queryButton7Left, firstRow + (oneRow ? 0 : kPitch), kSize, kSize);
            r.queryButton6Visible = !in.serverHidesQuerySort;
            r.scrollForm = Box(0, paneTop, pw, paneHeight);
        }
    }
    r.clearQuesterHits = in.queryActive < 1;

    if (in.tagPaletteOpen) {
        int posn = W - (kept.tagFormWidth - design.marginBar2Width);
        if (leftPanel && posn - lw < 1000) posn = lw + 1000;
        posn = std::max(posn, 1500);
        posn = std::min(posn, W - 1600);
        r.marginBar2Posn = posn;
        iw = posn - lw;
        r.marginBar2 = Box(posn, T, design.marginBar2Width, MH);
        // The column runs past the right edge by twice the splitter's width, so
        // the next layout derives the same splitter position from its width.
        kept.tagFormWidth = NonNegative(W - posn + design.marginBar2Width);
        r.tagForm = Box(posn + design.marginBar2Width, T, kept.tagFormWidth, MH);
        r.tagButton1Left = kept.tagFormWidth - 360;
    }

    r.topToolBar = Box(0, 0, W - 5, T);
    r.picFooter = Box(0, H - footer, W - 5, footer);
    if (in.statusLine < 1) {
        r.lblStatus = Box(0, design.statusTop, r.picFooter.width, footer - design.statusTop);
    } else {
        r.txtStatus = Box(0, design.statusTop, r.picFooter.width, footer - design.statusTop);
    }

    if (in.zoomWindowOpen) {
        if (kept.zoomBarRatio < 0.4f) kept.zoomBarRatio = 0.8f;
        int posn = platform::RoundToInt(kept.zoomBarRatio * MH);
        posn = std::max(posn, platform::RoundToInt(MH * 0.5));
        posn = std::min(posn, platform::RoundToInt(MH * 0.9));
        if (MH > 0) kept.zoomBarRatio = static_cast<float>(posn) / static_cast<float>(MH);
        r.zoomBarPosn = posn;
        r.zoomBar = Box(x0, T + posn, iw, design.zoomBarHeight);
        r.picZoom = Box(x0, T + posn + design.zoomBarHeight, iw, MH - posn - design.zoomBarHeight);
        r.picZoom2 = Box(0, 0, r.picZoom->width, r.picZoom->height - 300);
        r.zoomButton2Left = r.picZoom2.width - 240;
        ih = posn - 1;
    }

    const int sw = design.vScrollWidth, sh = design.hScrollHeight;
    r.txtImage = Box(x0, T, iw, ih);
    r.picImage = Box(x0, T, iw - sw, ih - sh);
    r.vScroll = Box(x0 + iw - sw, T, sw, ih - sh);
    r.hScroll = Box(x0, T + ih - sh, iw - sw, sh);
    return r;
}

int MarginBarDragWidth(int marginBarPosn, int downX, int upX, int innerWidth, bool tagPaletteOpen) {
    return LimitLeftPanel(marginBarPosn + (upX - downX), innerWidth, tagPaletteOpen);
}

int MarginBar2DragWidth(int tagFormWidth, int downX, int upX) {
    return std::max(tagFormWidth + (downX - upX), 1600);
}

}  // namespace viewer
