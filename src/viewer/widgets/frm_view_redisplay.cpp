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

}  // namespace

int ZoomPercentFromText(const std::string& text) {
    const double value = mVBUtil::Val(text);
    if (!std::isfinite(value) || std::fabs(value) > 1e6) return 0;
    return platform::RoundToInt(value);
}

void frmView::SetImageScale(int mode) {
    if (page.g_ValidImage == 0) return;
    const int W = picImage->width(), H = picImage->height();
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
    SetScrollRange(VScroll1, zoom.g_DspHeight, H, zoom.g_Vscroll);
    SetScrollRange(HScroll1, zoom.g_DspWidth, W, zoom.g_Hscroll);
    cboZoom->setEditText(platform::ToQString(PercentText(zoom.g_ScaleFactor)));
}

void frmView::VScroll1_Change() {
    if (page.g_ValidImage == 0) return;
    zoom.g_Vscroll =
        std::max(0, std::min(10 * VScroll1->value(), zoom.g_DspHeight - picImage->height()));
    RedisplayImage();
}

void frmView::HScroll1_Change() {
    if (page.g_ValidImage == 0) return;
    zoom.g_Hscroll =
        std::max(0, std::min(10 * HScroll1->value(), zoom.g_DspWidth - picImage->width()));
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
    const std::int16_t style = project.g_RestrictRedactions == 1 ? 0 : settings.RedactFill;
    MouseTrack = 0;
    ClearBackBuffer(picImage2, picImage);
    const int w = picImage2.Width(), h = picImage2.Height();
    if (page.g_ValidImage == 0 || !ImgObj) {
        ClearPane(picImage);
        return;
    }
    ImgObj->SetGraphicsOutput(&picImage2);
    ImgObj->DrawImageRect(zoom.g_Hscroll, zoom.g_Vscroll, zoom.g_DspWidth, zoom.g_DspHeight, w, h);

    const PageDrawInfo info = MainPageDrawInfo();
    const float factor = page.g_ViewScaleFactor;
    // A restricted page keeps its redactions: without them the server's image
    // of that page would show what they cover.
    if (page.g_PageRestricted == 0 && !query.QuerySrchStr.empty()) {
        DrawSearchHits(page.g_szWordList, query.QuerySrchStr, picImage2, info, 255, factor, 0);
    }
    if (pageAnnotations.RedactCount > 0)
        DrawRedactions(pageAnnotations.RedactCount, pageAnnotations.RedactList, picImage2, info, 0,
                       factor, style);
    if (page.g_PageRestricted == 0 && project.g_RestrictAnnotations < 2) {
        if ((run.lBehaviorFlags & 0x80) == 0 && pageAnnotations.HiLiteCount > 0) {
            DrawHighlights(pageAnnotations.HiLiteCount, pageAnnotations.HiLiteList, picImage2, info,
                           0, factor);
        }
        if ((run.lBehaviorFlags & 0x40) == 0 && pageAnnotations.MarkUpCount > 0) {
            DrawMarkups(pageAnnotations.MarkUpCount, pageAnnotations.MarkUpList, picImage2, info, 0,
                        factor);
        }
        if ((run.lBehaviorFlags & 0x20) == 0 && pageAnnotations.TextNoteCount > 0) {
            DrawTextNotes(pageAnnotations.TextNoteCount, pageAnnotations.TextNoteList, picImage2,
                          info, 0, factor);
        }
        if ((run.lBehaviorFlags & 0x10) == 0 && pageAnnotations.StickyCount > 0) {
            DrawIconAnnotations(pageAnnotations.StickyCount, pageAnnotations.StickyList, picImage2,
                                info, picSticky, factor);
        }
        if ((run.lBehaviorFlags & 0x1000) == 0 && pageAnnotations.ClipCount > 0) {
            DrawIconAnnotations(pageAnnotations.ClipCount, pageAnnotations.ClipList, picImage2,
                                info, picClip, factor);
        }
    }
    if (page.g_PageRestricted == 0 && query.bQuesterActive &&
        g_QuesterLastKey == page.szCurrentKey && !g_QuesterLastCoords.empty() &&
        page.g_ValidImage == 1 && !page.g_NativeBlocked) {
        DrawQuesterHits(g_QuesterLastCoords, g_QuesterLastWordCoords, picImage2, info, 65535, 255,
                        factor);
    }

    picImage->ClearSurface();
    picImage->Surface().BitBlt(0, 0, picImage2.Image());
    picImage->update();
    if (panes.PrjView_Active != 0 && panes.dlgPrjVw != nullptr && panes.dlgPrjVw->isVisible() &&
        panes.dlgPrjVw->isEnabled() && !panes.dlgPrjVw->isMinimized()) {
        panes.dlgPrjVw->update();
    }
}

void frmView::RedisplayZoomImage() {
    const std::int16_t style = project.g_RestrictRedactions == 1 ? 0 : settings.RedactFill;
    ClearBackBuffer(picImage3, picZoom2);
    const int w = picImage3.Width(), h = picImage3.Height();
    if (page.g_ValidImage == 0 || !ImgObj) {
        ClearPane(picZoom2);
        return;
    }
    if (zoom.ZoomWin_Scale == 0.0f) zoom.ZoomWin_Scale = 1.0f;
    cboZoom2->setEditText(platform::ToQString(PercentText(zoom.ZoomWin_Scale)));
    // Without a main-view scale or an image there is no spot to enlarge.
    if (zoom.g_ScaleFactor == 0.0f || page.g_ImgWidth <= 0 || page.g_ImgHeight <= 0) {
        ClearPane(picZoom2);
        return;
    }
    ImgObj->SetGraphicsOutput(&picImage3);
    const double zs = zoom.ZoomWin_Scale;
    const int zw = platform::RoundToInt(zs * page.g_ImgWidth);
    const int zh = platform::RoundToInt(zs * page.g_ImgHeight);
    const int zx =
        platform::RoundToInt(zoom.ZoomWin_X / static_cast<double>(zoom.g_ScaleFactor) * zs);
    const int zy =
        platform::RoundToInt(zoom.ZoomWin_Y / static_cast<double>(zoom.g_ScaleFactor) * zs);
    ImgObj->DrawImageRect(zx, zy, zw, zh, w, h);

    if (pageAnnotations.RedactCount > 0) {
        PageDrawInfo info;
        info.width = page.g_ImgWidth;
        info.height = page.g_ImgHeight;
        info.bitsPerPixel = static_cast<std::int16_t>(ImgObj->BitsPerPixel());
        info.resolution = static_cast<std::int16_t>(ImgObj->Xresolution());
        info.scale = zoom.ZoomWin_Scale;
        info.offsetX = zx;
        info.offsetY = zy;
        info.rotation = static_cast<std::int16_t>(page.g_Rotation);
        DrawRedactions(pageAnnotations.RedactCount, pageAnnotations.RedactList, picImage3, info, 0,
                       page.g_ViewScaleFactor, style);
    }
    picZoom2->ClearSurface();
    picZoom2->Surface().BitBlt(0, 0, picImage3.Image());
    picZoom2->update();
}

void frmView::cboZoom_Click() {
    zoom.g_ScaleFactor =
        ZoomPercentFromText(platform::FromQString(cboZoom->currentText())) / 100.0f;
    SetImageScale(2);
    RedisplayImage();
}

void frmView::cboZoom2_Click() {
    zoom.ZoomWin_Scale =
        ZoomPercentFromText(platform::FromQString(cboZoom2->currentText())) / 100.0f;
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
    MouseDownY = y;
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
        std::clamp(zoom.ZoomBarPosn + (y - MouseDownY), lowest, std::max(lowest, highest));
    if (moved != zoom.ZoomBarPosn && total > 0) {
        zoom.ZoomBarPosn = moved;
        zoom.ZoomBarRatio = static_cast<float>(moved) / static_cast<float>(total);
        Form_Resize();
    }
}

}  // namespace viewer
