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
#include "platform/prompts.h"
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
    scene.factor = w.page.g_ViewScaleFactor;
    scene.restricted = w.page.g_PageRestricted != 0;
    scene.annotationAccess = w.project.g_RestrictAnnotations;
    scene.behaviorFlags = w.run.lBehaviorFlags;
    scene.redactionFill = w.project.g_RestrictRedactions == 1 ? 0 : w.settings.RedactFill;
    scene.layers.annotations[kRedaction] = &w.pageAnnotations[kRedaction];
    return scene;
}

}  // namespace

int ZoomPercentFromText(const std::string& text) {
    const double value = mVBUtil::Val(text);
    if (!std::isfinite(value) || std::fabs(value) > 1e6) return 0;
    return platform::RoundToInt(value);
}

void frmView::SetImageScale(int mode) {
    if (page.g_ValidImage == 0) return;
    const int W = ui.picImage->width(), H = ui.picImage->height();
    if (page.g_ImgWidth <= 0 || page.g_ImgHeight <= 0) return;
    const float rw = static_cast<float>(W) / static_cast<float>(page.g_ImgWidth);
    const float rh = static_cast<float>(H) / static_cast<float>(page.g_ImgHeight);
    float scale = rw;
    if (mode == 1) {
        scale = std::min(rw, rh);
    } else if (mode == 2) {
        scale = zoom.g_ScaleFactor != 0.0f ? zoom.g_ScaleFactor : rw;
    }
    // A pane with no room yet gives no scale; the one in force stays.
    if (!(scale > 0.0f)) return;

    zoom.g_ScaleMode = static_cast<std::int16_t>(mode);
    zoom.g_Hscroll = 0;
    zoom.g_Vscroll = 0;
    zoom.g_ScaleFactor = scale;
    zoom.g_DspWidth =
        platform::RoundToInt(static_cast<double>(zoom.g_ScaleFactor) * page.g_ImgWidth);
    zoom.g_DspHeight =
        platform::RoundToInt(static_cast<double>(zoom.g_ScaleFactor) * page.g_ImgHeight);
    SetScrollRange(ui.VScroll1, zoom.g_DspHeight, H, zoom.g_Vscroll);
    SetScrollRange(ui.HScroll1, zoom.g_DspWidth, W, zoom.g_Hscroll);
    ui.cboZoom->setEditText(platform::ToQString(PercentText(zoom.g_ScaleFactor)));
}

void frmView::VScroll1_Change() {
    if (page.g_ValidImage == 0) return;
    zoom.g_Vscroll =
        std::max(0, std::min(10 * ui.VScroll1->value(), zoom.g_DspHeight - ui.picImage->height()));
    RedisplayImage();
}

void frmView::HScroll1_Change() {
    if (page.g_ValidImage == 0) return;
    zoom.g_Hscroll =
        std::max(0, std::min(10 * ui.HScroll1->value(), zoom.g_DspWidth - ui.picImage->width()));
    RedisplayImage();
}

PageDrawInfo frmView::MainPageDrawInfo() const {
    PageDrawInfo info;
    info.width = page.g_ImgWidth;
    info.height = page.g_ImgHeight;
    info.bitsPerPixel = static_cast<std::int16_t>(page.g_ImgBpp);
    info.resolution = static_cast<std::int16_t>(page.g_ImgDPI);
    info.scale = zoom.g_ScaleFactor;
    info.offsetX = zoom.g_Hscroll;
    info.offsetY = zoom.g_Vscroll;
    info.rotation = static_cast<std::int16_t>(page.g_Rotation);
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
    mouse.MouseTrack = 0;
    ClearBackBuffer(ui.picImage2, ui.picImage);
    if (page.g_ValidImage == 0 || !ImgObj) {
        ClearPane(ui.picImage);
        return;
    }
    PageScene scene = WindowScene(*this);
    scene.offsetX = zoom.g_Hscroll;
    scene.offsetY = zoom.g_Vscroll;
    scene.width = zoom.g_DspWidth;
    scene.height = zoom.g_DspHeight;
    scene.info = MainPageDrawInfo();
    PageLayers& layers = scene.layers;
    layers.words = &page.g_WordBoxes;
    layers.searchKeywords = query.QuerySrchStr;
    for (const AnnotationKindFacts& k : kAnnotationKinds)
        layers.annotations[k.kind] = &pageAnnotations[k.kind];
    layers.stickyIcon = &ui.picSticky;
    layers.clipIcon = &ui.picClip;
    if (query.bQuesterActive && conceptHits.g_QuesterLastKey == page.szCurrentKey &&
        page.g_ValidImage == 1 && !page.g_NativeBlocked) {
        layers.questerHits = &conceptHits.g_QuesterLastCoords;
        layers.questerWordHits = &conceptHits.g_QuesterLastWordCoords;
    }
    PaintPage(scene, ui.picImage2);

    ui.picImage->ShowSurface(&ui.picImage2);
    ui.picImage->update();
    if (panes.PrjView_Active != 0 && panes.dlgPrjVw != nullptr && panes.dlgPrjVw->isVisible() &&
        panes.dlgPrjVw->isEnabled() && !panes.dlgPrjVw->isMinimized()) {
        panes.dlgPrjVw->update();
    }
}

void frmView::RedisplayZoomImage() {
    ClearBackBuffer(ui.picImage3, ui.picZoom2);
    if (page.g_ValidImage == 0 || !ImgObj) {
        ClearPane(ui.picZoom2);
        return;
    }
    if (zoom.ZoomWin_Scale == 0.0f) zoom.ZoomWin_Scale = 1.0f;
    ui.cboZoom2->setEditText(platform::ToQString(PercentText(zoom.ZoomWin_Scale)));
    // Without a main-view scale or an image there is no spot to enlarge.
    if (zoom.g_ScaleFactor == 0.0f || page.g_ImgWidth <= 0 || page.g_ImgHeight <= 0) {
        ClearPane(ui.picZoom2);
        return;
    }
    // The zoom window shows the page and its redactions only.
    PageScene scene = WindowScene(*this);
    const double zs = zoom.ZoomWin_Scale;
    scene.width = platform::RoundToInt(zs * page.g_ImgWidth);
    scene.height = platform::RoundToInt(zs * page.g_ImgHeight);
    scene.offsetX =
        platform::RoundToInt(zoom.ZoomWin_X / static_cast<double>(zoom.g_ScaleFactor) * zs);
    scene.offsetY =
        platform::RoundToInt(zoom.ZoomWin_Y / static_cast<double>(zoom.g_ScaleFactor) * zs);
    PageDrawInfo& info = scene.info;
    info.width = page.g_ImgWidth;
    info.height = page.g_ImgHeight;
    info.bitsPerPixel = static_cast<std::int16_t>(ImgObj->BitsPerPixel());
    info.resolution = static_cast<std::int16_t>(ImgObj->Xresolution());
    info.scale = zoom.ZoomWin_Scale;
    info.offsetX = scene.offsetX;
    info.offsetY = scene.offsetY;
    info.rotation = static_cast<std::int16_t>(page.g_Rotation);
    PaintPage(scene, ui.picImage3);

    ui.picZoom2->ShowSurface(&ui.picImage3);
    ui.picZoom2->update();
}

void frmView::cboZoom_Click() {
    const int percent = ZoomPercentFromText(platform::FromQString(ui.cboZoom->currentText()));
    // A negative percentage is no scale: the one in force stays.
    if (percent < 0) {
        platform::Beep();
        return;
    }
    zoom.g_ScaleFactor = percent / 100.0f;
    SetImageScale(2);
    RedisplayImage();
}

void frmView::cboZoom2_Click() {
    const int percent = ZoomPercentFromText(platform::FromQString(ui.cboZoom2->currentText()));
    if (percent < 0) {
        platform::Beep();
        return;
    }
    zoom.ZoomWin_Scale = percent / 100.0f;
    RedisplayZoomImage();
}

void frmView::TBZoom_Click(int Index) {
    if (zoom.ZoomWin_Scale == 0.0f) zoom.ZoomWin_Scale = 1.0f;
    switch (Index) {
        case 0:
            zoom.ZoomWin_Scale -= zoom.ZoomWin_Scale > 1.0f ? 0.2f : 0.1f;
            zoom.ZoomWin_Scale = std::max(zoom.ZoomWin_Scale, 0.1f);
            RedisplayZoomImage();
            break;
        case 1:
            zoom.ZoomWin_Scale += zoom.ZoomWin_Scale >= 1.0f ? 0.2f : 0.1f;
            zoom.ZoomWin_Scale = std::min(zoom.ZoomWin_Scale, 10.0f);
            RedisplayZoomImage();
            break;
        case 2:
            zoom.ZoomWin_Active = 0;
            Form_Resize();
            break;
        default:
            break;
    }
}

void frmView::ZoomBar_MouseDown(int y) {
    QApplication::setOverrideCursor(Qt::SizeVerCursor);
    drags.MouseDownY = y;
    zoom.ZoomBar_Drag = 1;
}

void frmView::ZoomBar_MouseUp(int y) {
    if (zoom.ZoomBar_Drag == 1) QApplication::restoreOverrideCursor();
    zoom.ZoomBar_Drag = 0;
    if (zoom.ZoomBarRatio < 0.4f) zoom.ZoomBarRatio = 0.8f;
    const int total =
        platform::RoundToInt(zoom.ZoomBarPosn / static_cast<double>(zoom.ZoomBarRatio));
    const int lowest = platform::RoundToInt(total * 0.5);
    const int highest = platform::RoundToInt(total * 0.9);
    const int moved =
        std::clamp(zoom.ZoomBarPosn + (y - drags.MouseDownY), lowest, std::max(lowest, highest));
    if (moved != zoom.ZoomBarPosn && total > 0) {
        zoom.ZoomBarPosn = moved;
        zoom.ZoomBarRatio = static_cast<float>(moved) / static_cast<float>(total);
        Form_Resize();
    }
}

}  // namespace viewer
