#include "viewer/widgets/frm_native.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>

#include <fstream>

#include "foundation/fields.h"
#include "foundation/number_text.h"
#include "platform/prompts.h"
#include "platform/rounding.h"
#include "platform/settings_store.h"
#include "platform/text_codec.h"
#include "render/gdi32.h"
#include "viewer/native_view.h"
#include "viewer/widgets/frm_view.h"
#include "viewer/widgets/surface_pane.h"
#include "viewer/widgets/toolbar_pictures.h"

namespace viewer {

frmNative* gNativeForm = nullptr;

void UnloadNativeForm() {
    frmNative* form = gNativeForm;
    if (form == nullptr) return;
    form->Form_Unload();
    form->hide();
    // Later: the caller may be one of its handlers.
    form->deleteLater();
}

namespace {

using namespace nativeview;

constexpr const char* kApp = "VYNClient";
constexpr const char* kSection = "NativeView";
constexpr int kToolBarHeight = 30;

constexpr std::array<const char*, 8> kTips = {"Fit Horizontal",  "Fit Vertical", "Rotate Left 90",
                                              "Rotate Right 90", "Zoom Out",     "Zoom In",
                                              "Previous Page",   "Next Page"};
constexpr std::array<Picture, 8> kPictures = {
    Picture::FitWidth, Picture::FitPage, Picture::RotateLeft,   Picture::RotateRight,
    Picture::ZoomOut,  Picture::ZoomIn,  Picture::PreviousPage, Picture::NextPage};
// Frames stand this far outside a button, as on the main window's toolbars.
constexpr int kFrameTwips = 30;

// The folder of a file name still exists (a new login empties the session's).
bool FolderExists(const std::string& path) {
    return QFileInfo(platform::ToQString(path)).absoluteDir().exists();
}

WindowRect AvailableTwips(const QWidget* w) {
    const QScreen* screen = w->screen() != nullptr ? w->screen() : QGuiApplication::primaryScreen();
    const QRect a = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1024, 768);
    const platform::TwipsPerPixel tpp = platform::ScreenTwipsPerPixel();
    return {platform::RoundToInt(a.x() * tpp.x), platform::RoundToInt(a.y() * tpp.y),
            platform::RoundToInt(a.width() * tpp.x), platform::RoundToInt(a.height() * tpp.y)};
}

}  // namespace

frmNative::frmNative(QWidget* parent) : QMainWindow(parent, Qt::Window) {
    setWindowTitle(QStringLiteral("Original File View"));
    setAttribute(Qt::WA_DeleteOnClose);
    BuildControls();
}

frmNative::~frmNative() {
    if (gNativeForm == this) gNativeForm = nullptr;
}

void frmNative::BuildControls() {
    auto* client = new QWidget(this);
    setCentralWidget(client);
    TopToolBar = new FrameHost(client);
    connect(TopToolBar, &FrameHost::SurfaceMouseMove, this, [this] { EraseButtonFrame(); });
    for (int i = 0; i < 8; ++i) {
        auto* b = new PictureButton(i, TopToolBar);
        b->setIcon(ToolbarPicture(kPictures[static_cast<std::size_t>(i)]));
        b->setToolTip(QString::fromLatin1(kTips[static_cast<std::size_t>(i)]));
        b->setGeometry(4 + i * 28, 3, 26, 24);
        connect(b, &PictureButton::Click, this, [this](int n) { Tbar_Click(n); });
        connect(b, &PictureButton::MouseDown, this, [this, b] { FrameButton(b, true); });
        connect(b, &PictureButton::MouseMove, this, [this, b] { FrameButton(b, false); });
        connect(b, &PictureButton::MouseUp, this, [this] { EraseButtonFrame(); });
        Tbar[static_cast<std::size_t>(i)] = b;
    }
    cboZoom = new QComboBox(TopToolBar);
    cboZoom->setEditable(true);
    cboZoom->setInsertPolicy(QComboBox::NoInsert);
    cboZoom->setGeometry(4 + 8 * 28 + 6, 3, 80, 24);
    connect(cboZoom, &QComboBox::activated, this, [this] { cboZoom_Click(); });
    lblMsg = new QLabel(TopToolBar);
    lblMsg->setGeometry(4 + 8 * 28 + 96, 3, 120, 24);
    picImage = new SurfacePane(client);
    picImage->installEventFilter(this);
    HScroll1 = new QScrollBar(Qt::Horizontal, client);
    VScroll1 = new QScrollBar(Qt::Vertical, client);
    connect(HScroll1, &QScrollBar::valueChanged, this, [this] { HScroll1_Change(); });
    connect(VScroll1, &QScrollBar::valueChanged, this, [this] { VScroll1_Change(); });

    mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuBW = mnuFile->addAction(QStringLiteral("Display in &B/W"));
    mnuColor = mnuFile->addAction(QStringLiteral("Display in &Color"));
    mnuBW->setCheckable(true);
    mnuColor->setCheckable(true);
    // The handlers own the check marks.
    connect(mnuBW, &QAction::triggered, this, [this] {
        mnuBW->setChecked(!mnuBW->isChecked());
        mnuBW_Click();
    });
    connect(mnuColor, &QAction::triggered, this, [this] {
        mnuColor->setChecked(!mnuColor->isChecked());
        mnuColor_Click();
    });
    mnuFile->addSeparator();
    mnuMinimize = mnuFile->addAction(QStringLiteral("Minimize View"));
    mnuMaximize = mnuFile->addAction(QStringLiteral("Maximize/Normalize View"));

    const platform::TwipsPerPixel tpp = platform::ScreenTwipsPerPixel();
    setMinimumSize(platform::RoundToInt(500 / tpp.x), platform::RoundToInt(1000 / tpp.y));
    resize(640, 720);
}

void frmNative::Form_Load() {
    ImgObj = std::make_unique<cGdiLead>();
    const auto start =
        ParseStartPos(platform::GetSetting(kApp, kSection, "StartPos"), AvailableTwips(this));
    if (start) {
        const platform::TwipsPerPixel tpp = platform::ScreenTwipsPerPixel();
        move(platform::RoundToInt(start->left / tpp.x), platform::RoundToInt(start->top / tpp.y));
        resize(platform::RoundToInt(start->width / tpp.x),
               platform::RoundToInt(start->height / tpp.y));
    }
    SetColorMode(platform::GetSetting(kApp, kSection, "ViewColor", "0") == "1" ? 1 : 0);
    cboZoom->clear();
    for (const char* entry : kZoomList) cboZoom->addItem(QString::fromLatin1(entry));
    m_ScaleMode = 0;
    m_DfltScaleMode = 0;
    ShowPageButtons(1);
    Form_Resize();
}

void frmNative::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    if (!isMinimized()) {
        const platform::TwipsPerPixel tpp = platform::ScreenTwipsPerPixel();
        const WindowRect r{platform::RoundToInt(x() * tpp.x), platform::RoundToInt(y() * tpp.y),
                           platform::RoundToInt(width() * tpp.x),
                           platform::RoundToInt(height() * tpp.y)};
        platform::SaveSetting(kApp, kSection, "StartPos", FormatStartPos(r));
    }
    // The engine itself goes with the window: a display may still be
    // waiting for its page inside a handler.
    if (ImgObj) {
        ImgObj->FreeGraphics();
        ImgObj->FreeImage();
    }
    m_ImageLoaded = 0;
    platform::SaveSetting(kApp, kSection, "ViewColor", std::to_string(m_ColorMode));
    if (gNativeForm == this) gNativeForm = nullptr;
}

void frmNative::closeEvent(QCloseEvent* event) {
    Form_Unload();
    event->accept();
}

void frmNative::SetColorMode(std::int32_t mode) {
    m_ColorMode = mode;
    mnuColor->setChecked(mode == 1);
    mnuBW->setChecked(mode != 1);
}

void frmNative::ShowPageButtons(std::int32_t page) {
    Tbar[6]->setVisible(page >= 2);
    Tbar[7]->setVisible(m_PageCount < 1 || page < m_PageCount);
}

void frmNative::EndDisplay() {
    centralWidget()->setEnabled(true);
    menuBar()->setEnabled(true);
    QApplication::restoreOverrideCursor();
}

void frmNative::DisplayImage(const std::string& file, std::int32_t page, std::int16_t newFile) {
    if (unloaded_ || MainForm == nullptr || !MainForm->TalqAPi || !ImgObj) return;
    ViewerSession& session = *MainForm->TalqAPi;
    centralWidget()->setEnabled(false);
    menuBar()->setEnabled(false);
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (page < 1) page = 1;
    // A new file's state is taken only once its page is on display, so a
    // failure leaves the previous file whole.
    std::int32_t pageCount = m_PageCount, rotation = m_Rotation, scaleMode = m_ScaleMode;
    if (newFile != 0) {
        pageCount = -1;
        rotation = 0;
        scaleMode = m_DfltScaleMode;
        activateWindow();
    }

    std::string& temp = MainForm->run.szTempFname;
    if (temp.empty() || !FolderExists(temp)) temp = session.CreateLocalTempFile(1);
    if (frmView::FileExist(temp)) QFile::remove(platform::ToQString(temp));

    std::string reply = session.GetStellantImage(file, page, std::to_string(m_ColorMode));
    if (unloaded_) {
        // Closed while the page was on its way.
        EndDisplay();
        return;
    }
    if (reply.empty()) reply = "Error: Unable to Retrieve Original File";

    if (reply.size() >= 200) {
        ClearImage();
        std::ofstream out;
        if (!temp.empty()) {
            out.open(platform::ToQString(temp).toLocal8Bit().toStdString(),
                     std::ios::binary | std::ios::trunc);
        }
        if (out) out.write(reply.data(), static_cast<std::streamsize>(reply.size()));
        if (out) out.close();
        reply.clear();
        if (!out) {
            ShowPageButtons(m_PageNbr);
            EndDisplay();
            platform::Beep();
            platform::MsgBox("Cannot Create Temporary File\n" + temp, platform::vbCritical,
                             "Error");
            return;
        }
        const auto fail = [&] {
            const std::string error = ImgObj->GetLastError();
            ImgObj->FreeImage();
            m_ImageLoaded = 0;
            ShowPageButtons(m_PageNbr);
            EndDisplay();
            platform::Beep();
            platform::MsgBox(error.empty() ? "Error: Unable to Retrieve Original File" : error,
                             platform::vbCritical, "Warning");
        };
        // An image without size is no image.
        if (!ImgObj->OpenImageFile(temp) || ImgObj->ImgWidth() <= 0 || ImgObj->ImgHeight() <= 0) {
            return fail();
        }
        if (rotation > 0) ImgObj->RotateImage(rotation);
        m_FileName = file;
        m_PageNbr = page;
        m_PageCount = pageCount;
        m_Rotation = rotation;
        m_ImgWidth = ImgObj->ImgWidth();
        m_ImgHeight = ImgObj->ImgHeight();
        m_ImageLoaded = 1;
        SetImageScale(scaleMode);
        PaintImage();
        // A JPEG decodes at its first draw; a body that does not decode
        // leaves no image behind.
        if (ImgObj->ImgWidth() == 0) {
            ClearImage();
            return fail();
        }
        ShowPageButtons(page);
        EndDisplay();
        lblMsg->setText(QStringLiteral("Page: %1").arg(page));
        return;
    }

    const std::string text = mVBUtil::TrimAtLineEnd(reply);
    EndDisplay();
    platform::Beep();
    if (text == "EOF") {
        // Past the last page of the file on display: that page is the last.
        if (newFile == 0 && file == m_FileName) m_PageCount = page - 1;
        ShowPageButtons(m_PageNbr);
        return;
    }
    ShowPageButtons(m_PageNbr);
    platform::MsgBox(text, platform::vbCritical, "Warning");
}

std::int32_t frmNative::ViewWidth() const {
    return picImage->width();
}
std::int32_t frmNative::ViewHeight() const {
    return picImage->height();
}

void frmNative::ApplyScale(std::int32_t hPos, std::int32_t vPos) {
    const ScrollRange h = RangeFor(m_DspWidth, ViewWidth());
    const ScrollRange v = RangeFor(m_DspHeight, ViewHeight());
    auto apply = [](QScrollBar* bar, const ScrollRange& r, std::int32_t pos) {
        const QSignalBlocker quiet(bar);
        bar->setValue(0);
        bar->setEnabled(r.enabled);
        if (!r.enabled) return;
        bar->setRange(0, r.maximum);
        bar->setSingleStep(r.smallChange);
        bar->setPageStep(r.largeChange);
        bar->setValue(platform::RoundToInt(pos / 10.0));
    };
    apply(HScroll1, h, hPos);
    apply(VScroll1, v, vPos);
    m_XScroll = h.enabled ? hPos : 0;
    m_YScroll = v.enabled ? vPos : 0;
    cboZoom->setEditText(platform::ToQString(PercentText(m_ScaleFactor)));
}

void frmNative::SetImageScale(std::int32_t mode) {
    if (m_ImageLoaded == 0) return;
    ++m_ResizeDepth;
    m_ScaleMode = mode;
    const auto v =
        ScaleFor(mode, m_ScaleFactor, m_ImgWidth, m_ImgHeight, ViewWidth(), ViewHeight());
    if (v) {
        m_ScaleFactor = v->scale;
        m_DspWidth = v->dspWidth;
        m_DspHeight = v->dspHeight;
        ApplyScale(0, 0);
    }
    m_ResizeDepth = static_cast<std::int16_t>(std::max(0, m_ResizeDepth - 1));
}

void frmNative::SetImageZoom(float scale, std::int32_t x, std::int32_t y) {
    if (m_ImageLoaded == 0) return;
    ++m_ResizeDepth;
    m_ScaleMode = 2;
    m_ScaleFactor = scale == 0.0f ? 1.0f : scale;
    const auto v = ScaleFor(2, m_ScaleFactor, m_ImgWidth, m_ImgHeight, ViewWidth(), ViewHeight());
    if (v) {
        m_DspWidth = v->dspWidth;
        m_DspHeight = v->dspHeight;
        ApplyScale(OffsetForPoint(m_ScaleFactor, x, m_DspWidth, ViewWidth()),
                   OffsetForPoint(m_ScaleFactor, y, m_DspHeight, ViewHeight()));
    }
    m_ResizeDepth = static_cast<std::int16_t>(std::max(0, m_ResizeDepth - 1));
}

void frmNative::PaintImage() {
    const int w = std::max(picImage->width(), 1), h = std::max(picImage->height(), 1);
    if (picImage2.Width() != w || picImage2.Height() != h) {
        picImage2.Resize(w, h);
    } else {
        picImage2.Clear();
    }
    picImage->ClearSurface();
    if (m_ImageLoaded != 0 && ImgObj && ImgObj->SetGraphicsOutput(&picImage2)) {
        ImgObj->DrawImageRect(m_XScroll, m_YScroll, m_DspWidth, m_DspHeight, w, h);
        picImage->ShowSurface(&picImage2);
    }
    picImage->update();
}

void frmNative::ClearImage() {
    if (ImgObj) {
        ImgObj->FreeGraphics();
        ImgObj->FreeImage();
    }
    picImage->ClearSurface();
    m_ImageLoaded = 0;
    picImage->update();
    lblMsg->clear();
}

void frmNative::HScroll1_Change() {
    if (m_ImageLoaded == 0) return;
    m_XScroll = OffsetForBar(HScroll1->value(), m_DspWidth, ViewWidth());
    if (m_ResizeDepth < 1) PaintImage();
}

void frmNative::VScroll1_Change() {
    if (m_ImageLoaded == 0) return;
    m_YScroll = OffsetForBar(VScroll1->value(), m_DspHeight, ViewHeight());
    if (m_ResizeDepth < 1) PaintImage();
}

void frmNative::cboZoom_Click() {
    const double value = mVBUtil::Val(platform::FromQString(cboZoom->currentText()));
    m_ScaleFactor = static_cast<float>(platform::RoundToInt(value) / 100.0);
    SetImageScale(2);
    PaintImage();
}

void frmNative::FrameButton(PictureButton* button, bool pressed) {
    const int distance = platform::RoundToInt(kFrameTwips / platform::ScreenTwipsPerPixel().x);
    const FrameHost::Frame frame = pressed ? FrameHost::Frame::Pressed : FrameHost::Frame::Raised;
    const FrameHost::Frame shown = TopToolBar->FrameAround(button, distance);
    // A hover never covers the pressed frame; one button is framed at a time.
    if (shown == frame || (!pressed && shown == FrameHost::Frame::Pressed)) return;
    EraseButtonFrame();
    TopToolBar->DrawFrame(button, distance, frame);
}

void frmNative::EraseButtonFrame() {
    const int distance = platform::RoundToInt(kFrameTwips / platform::ScreenTwipsPerPixel().x);
    for (PictureButton* b : Tbar) TopToolBar->EraseFrame(b, distance);
}

void frmNative::Tbar_Click(int Index) {
    if (MainForm == nullptr || !MainForm->TalqAPi || MainForm->TalqAPi->IsRequestInProcess() ||
        m_ImageLoaded == 0) {
        platform::Beep();
        return;
    }
    switch (Index) {
        case 0:
        case 1:
            m_DfltScaleMode = Index;
            SetImageScale(Index);
            PaintImage();
            break;
        case 2:
        case 3:
            if (ImgObj->RotateImage(Index == 2 ? 3 : 1)) {
                m_Rotation = (m_Rotation + (Index == 2 ? 3 : 1)) % 4;
                std::swap(m_ImgWidth, m_ImgHeight);
                SetImageScale(m_ScaleMode);
                PaintImage();
            }
            break;
        case 4:
        case 5:
            if (const auto s = ZoomStep(m_ScaleFactor, Index == 5)) {
                m_ScaleFactor = *s;
                SetImageScale(2);
                PaintImage();
            } else {
                platform::Beep();
            }
            break;
        case 6:
            if (m_PageNbr >= 2) {
                DisplayImage(m_FileName, m_PageNbr - 1, 0);
            } else {
                platform::Beep();
            }
            break;
        case 7:
            if (m_PageCount > 0 && m_PageNbr >= m_PageCount) {
                platform::Beep();
            } else {
                DisplayImage(m_FileName, m_PageNbr + 1, 0);
            }
            break;
        default:
            break;
    }
}

void frmNative::mnuBW_Click() {
    if (m_ColorMode == 0) return;
    SetColorMode(0);
    if (m_ImageLoaded == 1) DisplayImage(m_FileName, m_PageNbr, 1);
}

void frmNative::mnuColor_Click() {
    if (m_ColorMode == 1) return;
    SetColorMode(1);
    if (m_ImageLoaded == 1) DisplayImage(m_FileName, m_PageNbr, 1);
}

void frmNative::PaneToImage(std::int32_t& x, std::int32_t& y) const {
    mGdi32::ScreenToImagePt(x, y, m_Rotation, m_ScaleFactor, m_XScroll, m_YScroll, m_ImgWidth,
                            m_ImgHeight, 1.0f);
}

void frmNative::DrawZoomBand() {
    mGdi32::ImageViewTransform t{m_Rotation, m_ScaleFactor, m_XScroll, m_YScroll,
                                 m_ImgWidth, m_ImgHeight,   1.0f};
    const mGdi32::ImageRect rect{std::min(m_ZoomX1, m_ZoomX2), std::min(m_ZoomY1, m_ZoomY2),
                                 std::max(m_ZoomX1, m_ZoomX2), std::max(m_ZoomY1, m_ZoomY2)};
    // The band is drawn in invert mode on the page shown, so a second draw erases it.
    if (&picImage->Surface() == &picImage2) mGdi32::DrawRubberBandRect(picImage2, rect, t);
    picImage->update();
}

void frmNative::picImage_MouseDown(int x, int y) {
    if (m_ImageLoaded == 0) return;
    PaneToImage(x, y);
    m_ZoomX1 = m_ZoomX2 = x;
    m_ZoomY1 = m_ZoomY2 = y;
    m_ZoomTrack = 1;
}

void frmNative::picImage_MouseMove(int x, int y) {
    if (m_ZoomTrack == 0) return;
    if (m_ImageLoaded == 0) {
        m_ZoomTrack = 0;
        return;
    }
    PaneToImage(x, y);
    const bool drawn = m_ZoomX2 != m_ZoomX1 || m_ZoomY2 != m_ZoomY1;
    if (drawn) DrawZoomBand();
    m_ZoomX2 = x;
    m_ZoomY2 = y;
    if (m_ZoomX2 != m_ZoomX1 || m_ZoomY2 != m_ZoomY1) DrawZoomBand();
}

void frmNative::picImage_MouseUp(int x, int y) {
    if (m_ZoomTrack == 0) return;
    m_ZoomTrack = 0;
    if (m_ImageLoaded == 0) return;
    PaneToImage(x, y);
    if (m_ZoomX2 != m_ZoomX1 || m_ZoomY2 != m_ZoomY1) DrawZoomBand();
    m_ZoomX2 = x;
    m_ZoomY2 = y;
    if (m_ZoomX1 > m_ZoomX2) std::swap(m_ZoomX1, m_ZoomX2);
    if (m_ZoomY1 > m_ZoomY2) std::swap(m_ZoomY1, m_ZoomY2);
    const auto zoom = DragZoom(m_ZoomX1, m_ZoomY1, m_ZoomX2, m_ZoomY2, ViewWidth(), ViewHeight());
    if (!zoom) return;
    SetImageZoom(*zoom, m_ZoomX1, m_ZoomY1);
    PaintImage();
}

bool frmNative::eventFilter(QObject* watched, QEvent* event) {
    if (watched == picImage) {
        const auto* m = static_cast<QMouseEvent*>(event);
        switch (event->type()) {
            case QEvent::MouseButtonPress:
                picImage_MouseDown(m->position().toPoint().x(), m->position().toPoint().y());
                return true;
            case QEvent::MouseMove:
                picImage_MouseMove(m->position().toPoint().x(), m->position().toPoint().y());
                return true;
            case QEvent::MouseButtonRelease:
                picImage_MouseUp(m->position().toPoint().x(), m->position().toPoint().y());
                return true;
            default:
                break;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void frmNative::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    Form_Resize();
}

void frmNative::Form_Resize() {
    if (isMinimized() || m_ResizeDepth >= 1 || centralWidget() == nullptr) return;
    ++m_ResizeDepth;
    if (m_ImageLoaded == 0) {
        for (QScrollBar* bar : {HScroll1, VScroll1}) {
            const QSignalBlocker quiet(bar);
            bar->setEnabled(false);
            bar->setValue(0);
        }
        m_XScroll = m_YScroll = 0;
    }
    const QWidget* client = centralWidget();
    const int w = client->width(), h = client->height();
    const int bar = VScroll1->sizeHint().width(), hbar = HScroll1->sizeHint().height();
    TopToolBar->setGeometry(0, 0, std::max(w - 1, 1), kToolBarHeight);
    const int paneW = std::max(w - bar, 1), paneH = std::max(h - kToolBarHeight - hbar, 1);
    picImage->setGeometry(0, kToolBarHeight, paneW, paneH);
    VScroll1->setGeometry(paneW, kToolBarHeight, bar, paneH);
    HScroll1->setGeometry(0, kToolBarHeight + paneH, paneW, hbar);
    // A custom scale is kept; the view returns to the top-left corner.
    SetImageScale(m_ScaleMode);
    PaintImage();
    m_ResizeDepth = static_cast<std::int16_t>(std::max(0, m_ResizeDepth - 1));
}

}  // namespace viewer
