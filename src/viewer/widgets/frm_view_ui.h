#pragma once
// The main window's controls, hidden pictures and menu actions, by their
// names in the window's design. The window makes them (frm_view_controls.cpp,
// frm_view_menus.cpp) and Qt's parenting frees the widgets.

#include <QImage>

#include <array>

#include "platform/dde.h"
#include "platform/draw_surface.h"
#include "viewer/widgets/picture_button.h"
#include "viewer/widgets/surface_pane.h"

class QAction;
class QComboBox;
class QLabel;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QScrollBar;
namespace annotations {
class TagPaletteRows;
}

namespace viewer {

struct frmViewUi {
    QWidget* client = nullptr;
    FrameHost* TopToolBar = nullptr;
    std::array<PictureButton*, 21> Tbar{};
    QComboBox* cboZoom = nullptr;
    FrameHost* picFooter = nullptr;
    QLabel* lblStatus = nullptr;
    QPlainTextEdit* txtStatus = nullptr;
    SplitterBar* Marginbar = nullptr;
    QWidget* picPrjVw = nullptr;
    FrameHost* ScrollForm = nullptr;
    QComboBox* QueryCombo = nullptr;
    QLabel* QueryLabel = nullptr;
    QListWidget* QueryList = nullptr;
    std::array<PictureButton*, 10> TBQuery{};
    SplitterBar* MarginBar2 = nullptr;
    FrameHost* TagForm = nullptr;
    std::array<PictureButton*, 2> TBTag{};
    annotations::TagPaletteRows* TagRows = nullptr;  // Tag_BMP, Tag_DESC, VScroll2
    QPlainTextEdit* txtImage = nullptr;
    SurfacePane* picImage = nullptr;
    QScrollBar* VScroll1 = nullptr;
    QScrollBar* HScroll1 = nullptr;
    SplitterBar* ZoomBar = nullptr;
    QWidget* picZoom = nullptr;
    SurfacePane* picZoom2 = nullptr;
    QComboBox* cboZoom2 = nullptr;
    std::array<PictureButton*, 3> TBZoom{};
    std::array<PictureButton*, 3> Img_ConDB{};
    std::array<PictureButton*, 10> NavTBar{};
    std::array<PictureButton*, 2> MiscTBar{};
    platform::DdeClient ddectl;
    // Back buffers of the page and of the zoom window.
    platform::DrawSurface picImage2, picImage3;
    QImage picSticky, picClip;

    // Menus.
    QMenu* mnuFile = nullptr;
    QAction *mnuLogin = nullptr, *mnu_project = nullptr;
    QAction *mnuQualityLow = nullptr, *mnuQualityMedium = nullptr, *mnuQualityHigh = nullptr;
    QAction *mnuHilitColor = nullptr, *mnuMarkUpColor = nullptr, *mnuAnnotFont = nullptr,
            *mnuRedactColor = nullptr, *mnuRedactFont = nullptr, *mnuRedactLabel = nullptr;
    std::array<QAction*, 3> mnuRedStyle{};
    QAction *mnuStsImgKey = nullptr, *mnuStsDocCnt = nullptr, *mnuStsFullPos = nullptr;
    QAction *mnuStsFldrDesc = nullptr, *mnuStsTags = nullptr, *mnuStsInfoOnly = nullptr,
            *mnuStsDate = nullptr;
    std::array<QAction*, 4> mnuDtFmt{};
    QAction *mnuStickyRotate = nullptr, *mnuUseTextBox = nullptr, *cmdUseNative = nullptr,
            *mnuLink = nullptr;
    QAction *mnuPrint = nullptr, *mnuAbout = nullptr, *mnuExit = nullptr;
};

}  // namespace viewer
