#pragma once
// "Original File View": one page at a time of the original file of the page
// on display, as the server renders it, in colour or black and white, with
// its own engine, zoom, scroll bars, drag-to-zoom and a stored position and
// colour choice. At most one exists, held in gNativeForm.

#include <QMainWindow>

#include <array>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/draw_surface.h"
#include "render/gdi_lead.h"
#include "viewer/widgets/picture_button.h"

class QAction;
class QComboBox;
class QLabel;
class QMenu;
class QScrollBar;
class QToolButton;

namespace viewer {

class frmView;
class SurfacePane;
class frmNative;

// The one original-file window; null when none is loaded.
extern frmNative* gNativeForm;

// Closes the original-file window if there is one.
void UnloadNativeForm();

class frmNative : public QMainWindow {
    Q_OBJECT
  public:
    explicit frmNative(QWidget* parent = nullptr);
    ~frmNative() override;

    void Form_Load();
    void Form_Unload();
    void Form_Resize();

    void DisplayImage(const std::string& file, std::int32_t page, std::int16_t newFile);
    void SetImageScale(std::int32_t mode);
    void SetImageZoom(float scale, std::int32_t x, std::int32_t y);

    void Tbar_Click(int Index);
    void cboZoom_Click();
    void HScroll1_Change();
    void VScroll1_Change();
    void mnuBW_Click();
    void mnuColor_Click();
    // Mouse on the image pane, in its pixels.
    void picImage_MouseDown(int x, int y);
    void picImage_MouseMove(int x, int y);
    void picImage_MouseUp(int x, int y);

    // Set by the creator before DisplayImage.
    frmView* MainForm = nullptr;
    std::unique_ptr<cGdiLead> ImgObj;

    // Read by the main window and tests.
    const std::string& FileName() const { return m_FileName; }
    std::int32_t PageNbr() const { return m_PageNbr; }
    std::int32_t PageCount() const { return m_PageCount; }
    std::int32_t Rotation() const { return m_Rotation; }
    std::int32_t ColorMode() const { return m_ColorMode; }
    bool ImageLoaded() const { return m_ImageLoaded != 0; }
    float ScaleFactor() const { return m_ScaleFactor; }
    std::int32_t ScaleMode() const { return m_ScaleMode; }
    std::int32_t XScroll() const { return m_XScroll; }
    std::int32_t YScroll() const { return m_YScroll; }
    std::int32_t ImgWidth() const { return m_ImgWidth; }
    std::int32_t ImgHeight() const { return m_ImgHeight; }

    // Controls.
    FrameHost* TopToolBar = nullptr;
    std::array<PictureButton*, 8> Tbar{};
    QComboBox* cboZoom = nullptr;
    QLabel* lblMsg = nullptr;
    SurfacePane* picImage = nullptr;
    platform::DrawSurface picImage2;
    QScrollBar* HScroll1 = nullptr;
    QScrollBar* VScroll1 = nullptr;
    QMenu* mnuFile = nullptr;
    QAction *mnuBW = nullptr, *mnuColor = nullptr, *mnuMinimize = nullptr, *mnuMaximize = nullptr;

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void BuildControls();
    void ClearImage();
    void PaintImage();
    // Applies scroll ranges and the zoom text for the scale in force.
    void ApplyScale(std::int32_t hPos, std::int32_t vPos);
    // Shows Previous and Next for the page and count in force.
    void ShowPageButtons(std::int32_t page);
    std::int32_t ViewWidth() const;
    std::int32_t ViewHeight() const;
    // Image pixel under a point of the pane.
    void PaneToImage(std::int32_t& x, std::int32_t& y) const;
    void DrawZoomBand();
    // The hover and pressed frames of the toolbar, as the main window's.
    void FrameButton(PictureButton* button, bool pressed);
    void EraseButtonFrame();
    // Ends a display: the window takes input again and the pointer returns.
    void EndDisplay();
    void SetColorMode(std::int32_t mode);

    std::string m_FileName;
    std::int32_t m_PageNbr = 0;
    std::int32_t m_PageCount = -1;
    std::int32_t m_Rotation = 0;
    std::int32_t m_ColorMode = 0;
    std::int32_t m_ImageLoaded = 0;
    float m_ScaleFactor = 0.0f;
    std::int32_t m_ScaleMode = 0;
    std::int32_t m_DfltScaleMode = 0;
    std::int32_t m_ImgWidth = 0, m_ImgHeight = 0;
    std::int32_t m_DspWidth = 0, m_DspHeight = 0;
    std::int32_t m_XScroll = 0, m_YScroll = 0;
    std::int16_t m_ResizeDepth = 0;
    std::int32_t m_ZoomX1 = 0, m_ZoomY1 = 0, m_ZoomX2 = 0, m_ZoomY2 = 0;
    std::int32_t m_ZoomTrack = 0;
    bool unloaded_ = false;
};

}  // namespace viewer
