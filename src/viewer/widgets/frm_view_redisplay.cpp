// Scale, scroll bars, the redraw of the page and of the zoom window, and the
// zoom window's controls.

#include <QApplication>
#include <QComboBox>
#include <QScrollBar>
#include <QSignalBlocker>

#include <algorithm>
#include <cmath>

#include "annotations/annotation_layers.h"
#include "foundation/number_text.h"
#include "platform/rounding.h"
#include "platform/text_codec.h"
#include "viewer/page_scene.h"
#include "viewer/widgets/frm_view.h"

namespace viewer {
namespace {

using namespace TalqClientAPI_Header;

// A bar over a scaled length shown in a view: one unit is 10 display pixels.
void SetScrollRange(QScrollBar* bar, int displayLength, int viewLength, std::int32_t& offset) {
    const QSignalBlocker quiet(bar);
    bar->setValue(0);
    if (displayLength <= viewLength) {
        bar->setEnabled(false);
        offset = 0;
        return;
    }
    const int max = platform::RoundToInt16((displayLength - viewLength) / 10.0 + 1.0);
    bar->setMinimum(0);
    bar->setMaximum(max);
    bar->setSingleStep(platform::RoundToInt16(max / 20.0 + 1.0));
    bar->setPageStep(platform::RoundToInt16(max / 2.0 + 1.0));
    bar->setEnabled(true);
    offset = 0;
}

std::string PercentText(float scale) {
    return std::to_string(platform::RoundToInt(static_cast<double>(scale) * 100.0)) + "%";
}

// The page on display with the window's rights and modes; the layers are
// each view's own.
PageScene WindowScene(const frmView& w) {
    PageScene scene;
    scene.image = w.ImgObj.get();
    scene.factor = w.g_ViewScaleFactor;
    scene.restricted = w.g_PageRestricted != 0;
    scene.annotationAccess = w.g_RestrictAnnotations;
    scene.behaviorFlags = w.lBehaviorFlags;
    scene.redactionFill = w.g_RestrictRedactions == 1 ? 0 : w.RedactFill;
    scene.layers.redactions = &w.RedactList;
    scene.layers.redactionCount = w.RedactCount;
    return scene;
}

}  // namespace

int ZoomPercentFromText(const std::string& text) {
    const double value = mVBUtil::Val(text);
    if (!std::isfinite(value) || std::fabs(value) > 1e6) return 0;
    return platform::RoundToInt(value);
}

void frmView::SetImageScale(int mode) {
    if (g_ValidImage == 0) return;
    const int W = picImage->width(), H = picImage->height();
    if (g_ImgWidth <= 0 || g_ImgHeight <= 0) return;
    const float rw = static_cast<float>(W) / static_cast<float>(g_ImgWidth);
    const float rh = static_cast<float>(H) / static_cast<float>(g_ImgHeight);
    float scale = rw;
    if (mode == 1) {
        scale = std::min(rw, rh);
    } else if (mode == 2) {
        scale = g_ScaleFactor != 0.0f ? g_ScaleFactor : rw;
    }
    // A pane with no room yet gives no scale; the one in force stays.
    if (!(scale > 0.0f)) return;

    g_ScaleMode = static_cast<std::int16_t>(mode);
    g_Hscroll = 0;
    g_Vscroll = 0;
    g_ScaleFactor = scale;
    g_DspWidth = platform::RoundToInt(static_cast<double>(g_ScaleFactor) * g_ImgWidth);
    g_DspHeight = platform::RoundToInt(static_cast<double>(g_ScaleFactor) * g_ImgHeight);
    SetScrollRange(VScroll1, g_DspHeight, H, g_Vscroll);
    SetScrollRange(HScroll1, g_DspWidth, W, g_Hscroll);
    cboZoom->setEditText(platform::ToQString(PercentText(g_ScaleFactor)));
}

void frmView::VScroll1_Change() {
    if (g_ValidImage == 0) return;
    g_Vscroll = std::max(0, std::min(10 * VScroll1->value(), g_DspHeight - picImage->height()));
    RedisplayImage();
}

void frmView::HScroll1_Change() {
    if (g_ValidImage == 0) return;
    g_Hscroll = std::max(0, std::min(10 * HScroll1->value(), g_DspWidth - picImage->width()));
    RedisplayImage();
}

PageDrawInfo frmView::MainPageDrawInfo() const {
    PageDrawInfo info;
    info.width = g_ImgWidth;
    info.height = g_ImgHeight;
    info.bitsPerPixel = static_cast<std::int16_t>(g_ImgBpp);
    info.resolution = static_cast<std::int16_t>(g_ImgDPI);
    info.scale = g_ScaleFactor;
    info.offsetX = g_Hscroll;
    info.offsetY = g_Vscroll;
    info.rotation = static_cast<std::int16_t>(g_Rotation);
    return info;
}

void frmView::ClearBackBuffer(platform::DrawSurface& buffer, const SurfacePane* pane) {
    const int w = std::max(pane->width(), 1), h = std::max(pane->height(), 1);
    if (buffer.Width() != w || buffer.Height() != h) {
        buffer.Resize(w, h);
    } else {
        buffer.Clear();
    }
}

void frmView::ClearPane(SurfacePane* pane) {
    pane->ClearSurface();
    pane->update();
}

void frmView::RedisplayImage() {
    MouseTrack = 0;
    ClearBackBuffer(picImage2, picImage);
    if (g_ValidImage == 0 || !ImgObj) {
        ClearPane(picImage);
        return;
    }
    PageScene scene = WindowScene(*this);
    scene.offsetX = g_Hscroll;
    scene.offsetY = g_Vscroll;
    scene.width = g_DspWidth;
    scene.height = g_DspHeight;
    scene.info = MainPageDrawInfo();
    PageLayers& layers = scene.layers;
    layers.words = &g_WordBoxes;
    layers.searchKeywords = QuerySrchStr;
    layers.highlights = &HiLiteList;
    layers.highlightCount = HiLiteCount;
    layers.markups = &MarkUpList;
    layers.markupCount = MarkUpCount;
    layers.textNotes = &TextNoteList;
    layers.textNoteCount = TextNoteCount;
    layers.stickies = &StickyList;
    layers.stickyCount = StickyCount;
    layers.stickyIcon = &picSticky;
    layers.clips = &ClipList;
    layers.clipCount = ClipCount;
    layers.clipIcon = &picClip;
    if (bQuesterActive && g_QuesterLastKey == szCurrentKey && g_ValidImage == 1 &&
        !g_NativeBlocked) {
        layers.questerHits = &g_QuesterLastCoords;
        layers.questerWordHits = &g_QuesterLastWordCoords;
    }
    PaintPage(scene, picImage2);

    picImage->ShowSurface(&picImage2);
    picImage->update();
    if (PrjView_Active != 0 && dlgPrjVw != nullptr && dlgPrjVw->isVisible() &&
        dlgPrjVw->isEnabled() && !dlgPrjVw->isMinimized()) {
        dlgPrjVw->update();
    }
}

void frmView::RedisplayZoomImage() {
    ClearBackBuffer(picImage3, picZoom2);
    if (g_ValidImage == 0 || !ImgObj) {
        ClearPane(picZoom2);
        return;
    }
    if (ZoomWin_Scale == 0.0f) ZoomWin_Scale = 1.0f;
    cboZoom2->setEditText(platform::ToQString(PercentText(ZoomWin_Scale)));
    // Without a main-view scale or an image there is no spot to enlarge.
    if (g_ScaleFactor == 0.0f || g_ImgWidth <= 0 || g_ImgHeight <= 0) {
        ClearPane(picZoom2);
        return;
    }
    // The zoom window shows the page and its redactions only.
    PageScene scene = WindowScene(*this);
    const double zs = ZoomWin_Scale;
    scene.width = platform::RoundToInt(zs * g_ImgWidth);
    scene.height = platform::RoundToInt(zs * g_ImgHeight);
    scene.offsetX = platform::RoundToInt(ZoomWin_X / static_cast<double>(g_ScaleFactor) * zs);
    scene.offsetY = platform::RoundToInt(ZoomWin_Y / static_cast<double>(g_ScaleFactor) * zs);
    PageDrawInfo& info = scene.info;
    info.width = g_ImgWidth;
    info.height = g_ImgHeight;
    info.bitsPerPixel = static_cast<std::int16_t>(ImgObj->BitsPerPixel());
    info.resolution = static_cast<std::int16_t>(ImgObj->Xresolution());
    info.scale = ZoomWin_Scale;
    info.offsetX = scene.offsetX;
    info.offsetY = scene.offsetY;
    info.rotation = static_cast<std::int16_t>(g_Rotation);
    PaintPage(scene, picImage3);

    picZoom2->ShowSurface(&picImage3);
    picZoom2->update();
}

void frmView::cboZoom_Click() {
    g_ScaleFactor = ZoomPercentFromText(platform::FromQString(cboZoom->currentText())) / 100.0f;
    SetImageScale(2);
    RedisplayImage();
}

void frmView::cboZoom2_Click() {
    ZoomWin_Scale = ZoomPercentFromText(platform::FromQString(cboZoom2->currentText())) / 100.0f;
    RedisplayZoomImage();
}

void frmView::TBZoom_Click(int Index) {
    if (ZoomWin_Scale == 0.0f) ZoomWin_Scale = 1.0f;
    switch (Index) {
        case 0:
            ZoomWin_Scale -= ZoomWin_Scale > 1.0f ? 0.2f : 0.1f;
            ZoomWin_Scale = std::max(ZoomWin_Scale, 0.1f);
            RedisplayZoomImage();
            break;
        case 1:
            ZoomWin_Scale += ZoomWin_Scale >= 1.0f ? 0.2f : 0.1f;
            ZoomWin_Scale = std::min(ZoomWin_Scale, 10.0f);
            RedisplayZoomImage();
            break;
        case 2:
            ZoomWin_Active = 0;
            Form_Resize();
            break;
        default:
            break;
    }
}

void frmView::ZoomBar_MouseDown(int y) {
    QApplication::setOverrideCursor(Qt::SizeVerCursor);
    MouseDownY = y;
    ZoomBar_Drag = 1;
}

void frmView::ZoomBar_MouseUp(int y) {
    if (ZoomBar_Drag == 1) QApplication::restoreOverrideCursor();
    ZoomBar_Drag = 0;
    if (ZoomBarRatio < 0.4f) ZoomBarRatio = 0.8f;
    const int total = platform::RoundToInt(ZoomBarPosn / static_cast<double>(ZoomBarRatio));
    const int lowest = platform::RoundToInt(total * 0.5);
    const int highest = platform::RoundToInt(total * 0.9);
    const int moved = std::clamp(ZoomBarPosn + (y - MouseDownY), lowest, std::max(lowest, highest));
    if (moved != ZoomBarPosn && total > 0) {
        ZoomBarPosn = moved;
        ZoomBarRatio = static_cast<float>(moved) / static_cast<float>(total);
        Form_Resize();
    }
}

}  // namespace viewer
