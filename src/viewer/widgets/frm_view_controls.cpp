// The window's controls. They are placed by Form_Resize, never by Qt layouts.

#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextDocument>
#include <QToolButton>

#include <algorithm>
#include <functional>

#include "annotations/widgets/tag_palette_rows.h"
#include "platform/draw_surface.h"
#include "platform/rounding.h"
#include "viewer/widgets/frm_view.h"
#include "viewer/widgets/toolbar_pictures.h"

namespace viewer {
namespace {

struct ToolbarButton {
    Picture picture;
    const char* tip;
};

PictureButton* MakeButton(QWidget* parent, int index, Picture picture, const char* tip) {
    auto* b = new PictureButton(index, parent);
    b->setIcon(ToolbarPicture(picture));
    b->setToolTip(QString::fromLatin1(tip));
    return b;
}

// Reports mouse moves over a widget that is not a toolbar's container.
class MoveWatcher : public QObject {
  public:
    MoveWatcher(QObject* parent, std::function<void()> moved)
        : QObject(parent), moved_(std::move(moved)) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() == QEvent::MouseMove) moved_();
        return QObject::eventFilter(watched, event);
    }

  private:
    std::function<void()> moved_;
};

QComboBox* MakeZoomList(QWidget* parent) {
    auto* combo = new QComboBox(parent);
    combo->setEditable(true);
    combo->setInsertPolicy(QComboBox::NoInsert);
    return combo;
}

}  // namespace

void frmView::BuildIcons() {
    // Sticky note: a yellow sheet with a folded corner; clip: a paper clip outline.
    ui.picSticky = QImage(16, 16, QImage::Format_RGB32);
    ui.picSticky.fill(Qt::white);
    {
        QPainter p(&ui.picSticky);
        p.fillRect(1, 1, 14, 14, QColor(255, 255, 0));
        p.setPen(Qt::black);
        p.drawRect(1, 1, 13, 13);
        p.drawLine(10, 14, 14, 10);
    }
    ui.picClip = QImage(16, 16, QImage::Format_RGB32);
    ui.picClip.fill(Qt::white);
    {
        QPainter p(&ui.picClip);
        p.setPen(QPen(Qt::black, 1));
        p.drawRoundedRect(4, 1, 7, 14, 3, 3);
        p.drawLine(7, 4, 7, 11);
    }
}

void frmView::BuildControls() {
    ui.client = new QWidget(this);
    setCentralWidget(ui.client);

    ui.TopToolBar = new FrameHost(ui.client);
    ui.cboZoom = MakeZoomList(ui.TopToolBar);
    connect(ui.cboZoom, &QComboBox::activated, this, [this] { cboZoom_Click(); });
    BuildImageToolbar();

    ui.picFooter = new FrameHost(ui.client);
    ui.lblStatus = new QLabel(ui.picFooter);
    ui.lblStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    ui.lblStatus->setMouseTracking(true);
    ui.lblStatus->installEventFilter(
        new MoveWatcher(ui.lblStatus, [this] { ResetToolbarButtons(); }));
    connect(ui.picFooter, &FrameHost::SurfaceMouseMove, this, [this] { picFooter_MouseMove(); });
    ui.txtStatus = new QPlainTextEdit(ui.picFooter);
    ui.txtStatus->setReadOnly(true);
    ui.txtStatus->hide();
    {
        // The taller box shows all its lines (status, folder description,
        // info fields, tags) in this platform's font without scrolling.
        const int pixels = 4 * ui.txtStatus->fontMetrics().lineSpacing() +
                           2 * ui.txtStatus->frameWidth() +
                           2 * platform::RoundToInt(ui.txtStatus->document()->documentMargin()) + 2;
        const int twips = platform::RoundToInt(pixels * platform::ScreenTwipsPerPixel().y);
        design_.footerHeightTextBox =
            std::max(design_.footerHeightTextBox, design_.statusTop + twips);
    }

    ui.Marginbar = new SplitterBar(Qt::SizeHorCursor, ui.client);
    connect(ui.Marginbar, &SplitterBar::pressed, this,
            [this](int x, int) { Marginbar_MouseDown(x); });
    connect(ui.Marginbar, &SplitterBar::released, this,
            [this](int x, int) { Marginbar_MouseUp(x); });
    ui.picPrjVw = new QWidget(ui.client);
    ui.ScrollForm = new FrameHost(ui.client);
    connect(ui.ScrollForm, &FrameHost::SurfaceMouseMove, this, [this] { ResetToolbarButtons(); });
    ui.QueryCombo = new QComboBox(ui.ScrollForm);
    ui.QueryLabel = new QLabel(QStringLiteral("Issue Name"), ui.ScrollForm);
    ui.QueryList = new QListWidget(ui.ScrollForm);
    static const ToolbarButton kQueryButtons[10] = {
        {Picture::PreviousPage, "Previous Item"},
        {Picture::NextPage, "Next Item"},
        {Picture::PreviousSet, "Previous Set"},
        {Picture::NextSet, "Next Set"},
        {Picture::Print, "Print Query/List"},
        {Picture::QuickScroll, "Quick Scroll"},
        {Picture::SaveList, "Save Query/List to ASCII File"},
        {Picture::Close, "Close Window"},
        {Picture::SaveToIssue, "Save Query to Issue Collection"},
        {Picture::SortByDate, "Sort Query in Date Order"}};
    for (size_t i = 0; i < ui.TBQuery.size(); ++i) {
        const int index = static_cast<int>(i);
        ui.TBQuery[i] =
            MakeButton(ui.ScrollForm, index, kQueryButtons[i].picture, kQueryButtons[i].tip);
        WireFrames(ui.TBQuery[i], frames.TBQueryFrame, frames.TBQueryFrameIdx, ui.ScrollForm);
        connect(ui.TBQuery[i], &PictureButton::Click, this, [this](int n) { TBQuery_Click(n); });
    }
    connect(ui.QueryCombo, &QComboBox::currentIndexChanged, this, [this] { QueryCombo_Click(); });
    connect(ui.QueryList, &QListWidget::currentRowChanged, this, [this] { QueryList_Click(); });

    ui.MarginBar2 = new SplitterBar(Qt::SizeHorCursor, ui.client);
    connect(ui.MarginBar2, &SplitterBar::pressed, this,
            [this](int x, int) { MarginBar2_MouseDown(x); });
    connect(ui.MarginBar2, &SplitterBar::released, this,
            [this](int x, int) { MarginBar2_MouseUp(x); });
    ui.TagForm = new FrameHost(ui.client);
    connect(ui.TagForm, &FrameHost::SurfaceMouseMove, this, [this] { ResetToolbarButtons(); });
    ui.TBTag[0] = MakeButton(ui.TagForm, 0, Picture::EditPalette, "Configure Tag/Issue Palette");
    ui.TBTag[1] = MakeButton(ui.TagForm, 1, Picture::Close, "Close Tag Palette");
    for (PictureButton* b : ui.TBTag) {
        WireFrames(b, frames.TBTagFrame, frames.TBTagFrameIdx, ui.TagForm);
        connect(b, &PictureButton::Click, this, [this](int n) { TBTag_Click(n); });
    }
    ui.TagRows = new annotations::TagPaletteRows(ui.TagForm);
    connect(ui.TagRows, &annotations::TagPaletteRows::rowClicked, this,
            [this](int i) { Tag_BMP_Click(i); });
    connect(ui.TagRows, &annotations::TagPaletteRows::scrolled, this,
            [this] { VScroll2_Change(); });

    ui.txtImage = new QPlainTextEdit(ui.client);
    ui.txtImage->setReadOnly(true);
    ui.picImage = new SurfacePane(ui.client);
    WirePageMouse();
    ui.VScroll1 = new QScrollBar(Qt::Vertical, ui.client);
    ui.HScroll1 = new QScrollBar(Qt::Horizontal, ui.client);
    ui.VScroll1->setEnabled(false);
    ui.HScroll1->setEnabled(false);
    ui.picImage->ScrollWith(ui.VScroll1, ui.HScroll1);
    connect(ui.VScroll1, &QScrollBar::valueChanged, this, [this] { VScroll1_Change(); });
    connect(ui.HScroll1, &QScrollBar::valueChanged, this, [this] { HScroll1_Change(); });

    ui.ZoomBar = new SplitterBar(Qt::SizeVerCursor, ui.client);
    connect(ui.ZoomBar, &SplitterBar::pressed, this, [this](int, int y) { ZoomBar_MouseDown(y); });
    connect(ui.ZoomBar, &SplitterBar::released, this, [this](int, int y) { ZoomBar_MouseUp(y); });
    ui.picZoom = new QWidget(ui.client);
    ui.picZoom2 = new SurfacePane(ui.picZoom);
    ui.cboZoom2 = MakeZoomList(ui.picZoom);
    connect(ui.cboZoom2, &QComboBox::activated, this, [this] { cboZoom2_Click(); });
    ui.TBZoom[0] = MakeButton(ui.picZoom, 0, Picture::ZoomOut, "Zoom Out");
    ui.TBZoom[1] = MakeButton(ui.picZoom, 1, Picture::ZoomIn, "Zoom In");
    ui.TBZoom[2] = MakeButton(ui.picZoom, 2, Picture::Close, "Close Zoom Window");
    for (PictureButton* b : ui.TBZoom) {
        connect(b, &PictureButton::Click, this, [this](int n) { TBZoom_Click(n); });
    }

    for (QWidget* hidden :
         {static_cast<QWidget*>(ui.Marginbar), ui.picPrjVw, static_cast<QWidget*>(ui.ScrollForm),
          static_cast<QWidget*>(ui.MarginBar2), static_cast<QWidget*>(ui.TagForm),
          static_cast<QWidget*>(ui.ZoomBar), ui.picZoom}) {
        hidden->hide();
    }
    // The text box lies under the page picture.
    ui.txtImage->lower();
    resize(800, 600);
}

}  // namespace viewer
