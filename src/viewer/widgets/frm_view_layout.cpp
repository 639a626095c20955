// Placement of every pane from the window's size and the pane flags, and the
// two side splitters.

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QToolButton>

#include "platform/rounding.h"
#include "viewer/widgets/frm_view.h"

namespace viewer {
namespace {

// Clears a flag when the scope ends, however it ends.
class FlagGuard {
  public:
    explicit FlagGuard(std::int16_t& flag) : flag_(flag) { flag_ = 1; }
    ~FlagGuard() { flag_ = 0; }
    FlagGuard(const FlagGuard&) = delete;
    FlagGuard& operator=(const FlagGuard&) = delete;

  private:
    std::int16_t& flag_;
};

}  // namespace

int frmView::PixelsX(int twips) const {
    return platform::RoundToInt(twips / platform::ScreenTwipsPerPixel().x);
}

int frmView::PixelsY(int twips) const {
    return platform::RoundToInt(twips / platform::ScreenTwipsPerPixel().y);
}

void frmView::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void frmView::changeEvent(QEvent* event) {
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) Form_Resize();
}

void frmView::Form_Resize() {
    if (isMinimized()) {
        if (panes.PrjView_Active == 1 && panes.dlgPrjVw != nullptr && panes.dlgPrjVw->isWindow()) {
            panes.dlgPrjVw->showMinimized();
        }
        return;
    }
    if (panes.PrjView_Active == 1 && panes.dlgPrjVw != nullptr && panes.dlgPrjVw->isMinimized()) {
        panes.dlgPrjVw->showNormal();
    }
    if (panes.Paint_in_Process == 1) return;
    const FlagGuard painting(panes.Paint_in_Process);

    if (page.g_ValidImage == 0) {
        ui.lblStatus->clear();
        ui.txtStatus->clear();
        for (QScrollBar* bar : {ui.VScroll1, ui.HScroll1}) {
            const QSignalBlocker quiet(bar);
            bar->setValue(0);
            bar->setEnabled(false);
        }
        zoom.g_Hscroll = zoom.g_Vscroll = 0;
    }

    const platform::TwipsPerPixel tpp = platform::ScreenTwipsPerPixel();
    LayoutInput in;
    in.innerWidth = platform::RoundToInt(ui.client->width() * tpp.x);
    in.innerHeight = platform::RoundToInt(ui.client->height() * tpp.y);
    in.chromeWidth = platform::RoundToInt((frameGeometry().width() - ui.client->width()) * tpp.x);
    in.chromeHeight =
        platform::RoundToInt((frameGeometry().height() - ui.client->height()) * tpp.y);
    in.statusLine = settings.g_StatusLine;
    in.tagPaletteOpen = panes.TagPal_Active == 1;
    in.queryActive = query.Query_Active;
    in.projectTreeOpen = panes.PrjView_Active == 1;
    in.zoomWindowOpen = zoom.ZoomWin_Active != 0;
    in.serverHidesQuerySort = query.Query_Active > 0 && (Session().ExtSystemFlags() & 0x40) != 0;

    KeptPaneSizes kept{panes.MarginBarPosn, panes.TagFormWidth, zoom.ZoomBarRatio};
    const LayoutResult r = ComputeMainWindowLayout(in, kept, design_);
    panes.MarginBarPosn = kept.marginBarPosn;
    panes.TagFormWidth = kept.tagFormWidth;
    zoom.ZoomBarRatio = kept.zoomBarRatio;
    panes.MarginBar_Active = r.marginBarActive ? 1 : 0;
    panes.MarginBar2_Active = r.marginBar2Active ? 1 : 0;
    panes.MarginBar2Posn = r.marginBar2Posn;
    if (in.zoomWindowOpen) zoom.ZoomBarPosn = r.zoomBarPosn;
    if (r.clearQuesterHits) query.bQuesterActive = false;

    // The window never gets smaller than the panes need.
    const QSize chrome = frameGeometry().size() - ui.client->size();
    const QSize minimum(std::max(PixelsX(r.minOuterWidth) - chrome.width(), 0),
                        std::max(PixelsY(r.minOuterHeight) - chrome.height(), 0));
    ui.client->setMinimumSize(minimum);

    ApplyLayout(r);

    if (page.g_ValidImage > 0) {
        SetImageScale(zoom.g_ScaleMode);
        RedisplayImage();
        if (zoom.ZoomWin_Active != 0) RedisplayZoomImage();
    }
}

void frmView::ApplyLayout(const LayoutResult& r) {
    auto place = [this](QWidget* w, const TwipRect& t) {
        w->setGeometry(PixelsX(t.left), PixelsY(t.top), PixelsX(t.width), PixelsY(t.height));
    };
    auto placeOrHide = [&](QWidget* w, const std::optional<TwipRect>& t) {
        if (t) {
            place(w, *t);
            w->show();
        } else {
            w->hide();
        }
    };

    place(ui.TopToolBar, r.topToolBar);
    place(ui.picFooter, r.picFooter);
    placeOrHide(ui.lblStatus, r.lblStatus);
    placeOrHide(ui.txtStatus, r.txtStatus);

    placeOrHide(ui.Marginbar, r.marginbar);
    placeOrHide(ui.picPrjVw, r.picPrjVw);
    if (r.picPrjVw && panes.dlgPrjVw != nullptr) {
        if (panes.dlgPrjVw->parentWidget() != ui.picPrjVw) panes.dlgPrjVw->setParent(ui.picPrjVw);
        panes.dlgPrjVw->setGeometry(0, 0, PixelsX(r.picPrjVw->width), PixelsY(r.picPrjVw->height));
        panes.dlgPrjVw->show();
    }
    placeOrHide(ui.ScrollForm, r.scrollForm);
    if (r.scrollForm) {
        ui.QueryCombo->setGeometry(PixelsX(60), PixelsY(60), PixelsX(r.queryComboWidth),
                                   PixelsY(315));
        ui.QueryLabel->setGeometry(PixelsX(60), PixelsY(420), PixelsX(r.queryLabelWidth),
                                   PixelsY(255));
        ui.QueryList->setGeometry(PixelsX(10), PixelsY(720), PixelsX(r.queryListWidth),
                                  PixelsY(r.queryListHeight));
        for (size_t i = 0; i < ui.TBQuery.size(); ++i) {
            const TwipRect& t = r.queryButtons[i];
            ui.TBQuery[i]->setGeometry(PixelsX(t.left), PixelsY(t.top), PixelsX(t.width),
                                       PixelsY(t.height));
        }
        ui.TBQuery[6]->setVisible(r.queryButton6Visible);
    }

    placeOrHide(ui.MarginBar2, r.marginBar2);
    placeOrHide(ui.TagForm, r.tagForm);
    if (r.tagForm) {
        ui.TBTag[0]->setGeometry(PixelsX(60), PixelsY(60), PixelsX(300), PixelsY(300));
        ui.TBTag[1]->setGeometry(PixelsX(r.tagButton1Left), PixelsY(60), PixelsX(300),
                                 PixelsY(300));
        ResizeTagPalette();
    }

    placeOrHide(ui.ZoomBar, r.zoomBar);
    placeOrHide(ui.picZoom, r.picZoom);
    if (r.picZoom) {
        place(ui.picZoom2, r.picZoom2);
        const int row = r.picZoom2.height + 15;
        ui.TBZoom[0]->setGeometry(PixelsX(60), PixelsY(row), PixelsX(270), PixelsY(270));
        ui.TBZoom[1]->setGeometry(PixelsX(360), PixelsY(row), PixelsX(270), PixelsY(270));
        ui.cboZoom2->setGeometry(PixelsX(700), PixelsY(row), PixelsX(1000), PixelsY(270));
        ui.TBZoom[2]->setGeometry(PixelsX(r.zoomButton2Left), PixelsY(row), PixelsX(270),
                                  PixelsY(270));
    }

    place(ui.txtImage, r.txtImage);
    place(ui.picImage, r.picImage);
    place(ui.VScroll1, r.vScroll);
    place(ui.HScroll1, r.hScroll);
}

void frmView::Marginbar_MouseDown(int x) {
    QApplication::setOverrideCursor(Qt::SizeHorCursor);
    drags.MouseDownX = x;
    panes.MarginBar_Drag = 1;
}

void frmView::Marginbar_MouseUp(int x) {
    if (panes.MarginBar_Drag == 1) QApplication::restoreOverrideCursor();
    panes.MarginBar_Drag = 0;
    const int W = platform::RoundToInt(ui.client->width() * platform::ScreenTwipsPerPixel().x);
    const int width =
        MarginBarDragWidth(panes.MarginBarPosn, drags.MouseDownX, x, W, panes.TagPal_Active == 1);
    if (width != panes.MarginBarPosn) {
        panes.MarginBarPosn = width;
        Form_Resize();
    }
}

void frmView::MarginBar2_MouseDown(int x) {
    QApplication::setOverrideCursor(Qt::SizeHorCursor);
    drags.MouseDownX = x;
    panes.MarginBar2_Drag = 1;
}

void frmView::MarginBar2_MouseUp(int x) {
    if (panes.MarginBar2_Drag == 1) QApplication::restoreOverrideCursor();
    panes.MarginBar2_Drag = 0;
    const int width = MarginBar2DragWidth(panes.TagFormWidth, drags.MouseDownX, x);
    if (width != panes.TagFormWidth) {
        panes.TagFormWidth = width;
        Form_Resize();
    }
}

}  // namespace viewer
