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
    picSticky = QImage(16, 16, QImage::Format_RGB32);
    picSticky.fill(Qt::white);
    {
        QPainter p(&picSticky);
        p.fillRect(1, 1, 14, 14, QColor(255, 255, 0));
        p.setPen(Qt::black);
        p.drawRect(1, 1, 13, 13);
        p.drawLine(10, 14, 14, 10);
    }
    picClip = QImage(16, 16, QImage::Format_RGB32);
    picClip.fill(Qt::white);
    {
        QPainter p(&picClip);
        p.setPen(QPen(Qt::black, 1));
        p.drawRoundedRect(4, 1, 7, 14, 3, 3);
        p.drawLine(7, 4, 7, 11);
    }
}

void frmView::BuildControls() {
    client = new QWidget(this);
    setCentralWidget(client);

    TopToolBar = new FrameHost(client);
    cboZoom = MakeZoomList(TopToolBar);
    connect(cboZoom, &QComboBox::activated, this, [this] { cboZoom_Click(); });
    BuildImageToolbar();

    picFooter = new FrameHost(client);
    lblStatus = new QLabel(picFooter);
    lblStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblStatus->setMouseTracking(true);
    lblStatus->installEventFilter(new MoveWatcher(lblStatus, [this] { ResetToolbarButtons(); }));
    connect(picFooter, &FrameHost::SurfaceMouseMove, this, [this] { picFooter_MouseMove(); });
    txtStatus = new QPlainTextEdit(picFooter);
    txtStatus->setReadOnly(true);
    txtStatus->hide();
    {
        // The taller box shows all its lines (status, folder description,
        // info fields, tags) in this platform's font without scrolling.
        const int pixels = 4 * txtStatus->fontMetrics().lineSpacing() +
                           2 * txtStatus->frameWidth() +
                           2 * platform::RoundToInt(txtStatus->document()->documentMargin()) + 2;
        const int twips = platform::RoundToInt(pixels * platform::ScreenTwipsPerPixel().y);
        design_.footerHeightTextBox =
            std::max(design_.footerHeightTextBox, design_.statusTop + twips);
    }

    Marginbar = new SplitterBar(Qt::SizeHorCursor, client);
    connect(Marginbar, &SplitterBar::pressed, this, [this](int x, int) { Marginbar_MouseDown(x); });
    connect(Marginbar, &SplitterBar::released, this, [this](int x, int) { Marginbar_MouseUp(x); });
    picPrjVw = new QWidget(client);
    ScrollForm = new FrameHost(client);
    connect(ScrollForm, &FrameHost::SurfaceMouseMove, this, [this] { ResetToolbarButtons(); });
    QueryCombo = new QComboBox(ScrollForm);
    QueryLabel = new QLabel(QStringLiteral("Issue Name"), ScrollForm);
    QueryList = new QListWidget(ScrollForm);
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
    for (size_t i = 0; i < TBQuery.size(); ++i) {
        const int index = static_cast<int>(i);
        TBQuery[i] = MakeButton(ScrollForm, index, kQueryButtons[i].picture, kQueryButtons[i].tip);
        WireFrames(TBQuery[i], frames.TBQueryFrame, frames.TBQueryFrameIdx, ScrollForm);
        connect(TBQuery[i], &PictureButton::Click, this, [this](int n) { TBQuery_Click(n); });
    }
    connect(QueryCombo, &QComboBox::currentIndexChanged, this, [this] { QueryCombo_Click(); });
    connect(QueryList, &QListWidget::currentRowChanged, this, [this] { QueryList_Click(); });

    MarginBar2 = new SplitterBar(Qt::SizeHorCursor, client);
    connect(MarginBar2, &SplitterBar::pressed, this,
            [this](int x, int) { MarginBar2_MouseDown(x); });
    connect(MarginBar2, &SplitterBar::released, this,
            [this](int x, int) { MarginBar2_MouseUp(x); });
    TagForm = new FrameHost(client);
    connect(TagForm, &FrameHost::SurfaceMouseMove, this, [this] { ResetToolbarButtons(); });
    TBTag[0] = MakeButton(TagForm, 0, Picture::EditPalette, "Configure Tag/Issue Palette");
    TBTag[1] = MakeButton(TagForm, 1, Picture::Close, "Close Tag Palette");
    for (PictureButton* b : TBTag) {
        WireFrames(b, frames.TBTagFrame, frames.TBTagFrameIdx, TagForm);
        connect(b, &PictureButton::Click, this, [this](int n) { TBTag_Click(n); });
    }
    TagRows = new annotations::TagPaletteRows(TagForm);
    connect(TagRows, &annotations::TagPaletteRows::rowClicked, this,
            [this](int i) { Tag_BMP_Click(i); });
    connect(TagRows, &annotations::TagPaletteRows::scrolled, this, [this] { VScroll2_Change(); });

    txtImage = new QPlainTextEdit(client);
    txtImage->setReadOnly(true);
    picImage = new SurfacePane(client);
    WirePageMouse();
    VScroll1 = new QScrollBar(Qt::Vertical, client);
    HScroll1 = new QScrollBar(Qt::Horizontal, client);
    VScroll1->setEnabled(false);
    HScroll1->setEnabled(false);
    picImage->ScrollWith(VScroll1, HScroll1);
    connect(VScroll1, &QScrollBar::valueChanged, this, [this] { VScroll1_Change(); });
    connect(HScroll1, &QScrollBar::valueChanged, this, [this] { HScroll1_Change(); });

    ZoomBar = new SplitterBar(Qt::SizeVerCursor, client);
    connect(ZoomBar, &SplitterBar::pressed, this, [this](int, int y) { ZoomBar_MouseDown(y); });
    connect(ZoomBar, &SplitterBar::released, this, [this](int, int y) { ZoomBar_MouseUp(y); });
    picZoom = new QWidget(client);
    picZoom2 = new SurfacePane(picZoom);
    cboZoom2 = MakeZoomList(picZoom);
    connect(cboZoom2, &QComboBox::activated, this, [this] { cboZoom2_Click(); });
    TBZoom[0] = MakeButton(picZoom, 0, Picture::ZoomOut, "Zoom Out");
    TBZoom[1] = MakeButton(picZoom, 1, Picture::ZoomIn, "Zoom In");
    TBZoom[2] = MakeButton(picZoom, 2, Picture::Close, "Close Zoom Window");
    for (PictureButton* b : TBZoom) {
        connect(b, &PictureButton::Click, this, [this](int n) { TBZoom_Click(n); });
    }

    for (QWidget* hidden :
         {static_cast<QWidget*>(Marginbar), picPrjVw, static_cast<QWidget*>(ScrollForm),
          static_cast<QWidget*>(MarginBar2), static_cast<QWidget*>(TagForm),
          static_cast<QWidget*>(ZoomBar), picZoom}) {
        hidden->hide();
    }
    // The text box lies under the page picture.
    txtImage->lower();
    resize(800, 600);
}

}  // namespace viewer
