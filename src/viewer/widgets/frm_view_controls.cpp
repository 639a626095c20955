// The window's controls. They are placed by Form_Resize, never by Qt layouts.

#include <QComboBox>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextDocument>
#include <QToolButton>

#include <algorithm>

#include "platform/draw_surface.h"
#include "platform/rounding.h"
#include "viewer/widgets/frm_view.h"

namespace viewer {
namespace {

QToolButton* MakeButton(QWidget* parent, const char* text, const char* tip) {
    auto* b = new QToolButton(parent);
    b->setText(QString::fromLatin1(text));
    b->setToolTip(QString::fromLatin1(tip));
    b->setAutoRaise(true);
    return b;
}

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

    TopToolBar = new QWidget(client);
    TbarPrint = MakeButton(TopToolBar, "Print", "Print");
    TbarPrint->setGeometry(4, 4, 48, 28);
    connect(TbarPrint, &QToolButton::clicked, this, [this] { Tbar_Click(1); });
    TbarTagQuery = MakeButton(TopToolBar, "Issues", "Open Tag/Issue Query");
    TbarTagQuery->setGeometry(146, 4, 48, 28);
    connect(TbarTagQuery, &QToolButton::clicked, this, [this] { Tbar_Click(3); });
    TbarSearch = MakeButton(TopToolBar, "Search", "Search Sticky Notes");
    TbarSearch->setGeometry(198, 4, 48, 28);
    connect(TbarSearch, &QToolButton::clicked, this, [this] { Tbar_Click(4); });
    cboZoom = MakeZoomList(TopToolBar);
    cboZoom->setGeometry(60, 6, 80, 24);
    connect(cboZoom, &QComboBox::activated, this, [this] { cboZoom_Click(); });

    picFooter = new QWidget(client);
    lblStatus = new QLabel(picFooter);
    lblStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
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
    ScrollForm = new QWidget(client);
    QueryCombo = new QComboBox(ScrollForm);
    QueryLabel = new QLabel(QStringLiteral("Issue Name"), ScrollForm);
    QueryList = new QListWidget(ScrollForm);
    static const char* const kQueryButtons[10][2] = {{"<", "Previous Item"},
                                                     {">", "Next Item"},
                                                     {"<<", "Previous Set"},
                                                     {">>", "Next Set"},
                                                     {"P", "Print Query/List"},
                                                     {"Q", "Quick Scroll"},
                                                     {"S", "Save Query/List to ASCII File"},
                                                     {"X", "Close Window"},
                                                     {"I", "Save Query to Issue Collection"},
                                                     {"D", "Sort Query in Date Order"}};
    for (size_t i = 0; i < TBQuery.size(); ++i) {
        TBQuery[i] = MakeButton(ScrollForm, kQueryButtons[i][0], kQueryButtons[i][1]);
        const int index = static_cast<int>(i);
        connect(TBQuery[i], &QToolButton::clicked, this, [this, index] { TBQuery_Click(index); });
    }
    connect(QueryCombo, &QComboBox::currentIndexChanged, this, [this] { QueryCombo_Click(); });
    connect(QueryList, &QListWidget::currentRowChanged, this, [this] { QueryList_Click(); });

    MarginBar2 = new SplitterBar(Qt::SizeHorCursor, client);
    connect(MarginBar2, &SplitterBar::pressed, this,
            [this](int x, int) { MarginBar2_MouseDown(x); });
    connect(MarginBar2, &SplitterBar::released, this,
            [this](int x, int) { MarginBar2_MouseUp(x); });
    TagForm = new QWidget(client);
    TBTag[0] = MakeButton(TagForm, "E", "Edit Tag Palette");
    TBTag[1] = MakeButton(TagForm, "X", "Close Tag Palette");

    txtImage = new QPlainTextEdit(client);
    txtImage->setReadOnly(true);
    picImage = new SurfacePane(client);
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
    TBZoom[0] = MakeButton(picZoom, "-", "Zoom Out");
    TBZoom[1] = MakeButton(picZoom, "+", "Zoom In");
    TBZoom[2] = MakeButton(picZoom, "X", "Close Zoom Window");
    for (int i = 0; i < 3; ++i) {
        connect(TBZoom[static_cast<size_t>(i)], &QToolButton::clicked, this,
                [this, i] { TBZoom_Click(i); });
    }

    for (QWidget* hidden :
         {static_cast<QWidget*>(Marginbar), picPrjVw, ScrollForm, static_cast<QWidget*>(MarginBar2),
          TagForm, static_cast<QWidget*>(ZoomBar), picZoom}) {
        hidden->hide();
    }
    // The text box lies under the page picture.
    txtImage->lower();
    resize(800, 600);
}

}  // namespace viewer
