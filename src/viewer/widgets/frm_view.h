#pragma once
// The one document window: owns the session and the image engine, holds the
// state every other window reads through its public fields, and places,
// draws and drives all of its panes. Its members live in one file per
// concern: lifecycle, display, redisplay and zoom, layout, menus, settings
// and project views.

#include <QMainWindow>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "annotations/annotation_layers.h"
#include "annotations/annotation_rec.h"
#include "foundation/big_string.h"
#include "navigation/query_record.h"
#include "platform/dde.h"
#include "platform/draw_surface.h"
#include "viewer/command_messages.h"
#include "viewer/gdi_lead.h"
#include "viewer/image_view_transform.h"
#include "viewer/main_window_layout.h"
#include "viewer/widgets/surface_pane.h"
#include "viewer/widgets/viewer_session.h"

class QAction;
class QComboBox;
class QLabel;
class QListWidget;
class QMenu;
class QPlainTextEdit;
class QScrollBar;
class QToolButton;

namespace viewer {

// Level number i (1-based) of a project's "|"-separated level list; 0 past its end.
std::int32_t BoundaryLevelAt(const std::string& levels, int position);

class frmView : public QMainWindow {
    Q_OBJECT
  public:
    using SessionFactory = std::function<std::unique_ptr<ViewerSession>()>;

    // The factory makes the session when the window loads; none gives the
    // session over the document server.
    explicit frmView(SessionFactory makeSession = {}, QWidget* parent = nullptr);
    ~frmView() override;

    // ---- Lifecycle and session menus ----
    void Form_Load();
    void Form_Unload();
    bool DoLogin();
    void mnuLogin_Click();
    void mnu_project_Click();
    void mnuExit_Click();
    void mnuAbout_Click();
    void EnableViews(bool iState);
    void ResetBehavior(std::int32_t lFlags);
    // Blocks user input to the window's own controls and menus while its
    // dialogs stay usable; calls nest.
    void BlockInput();
    void UnblockInput();
    bool IsInputBlocked() const { return inputBlockCount_ > 0; }

    // ---- Page display ----
    bool DisplayImage(const std::string& key);
    static bool FileExist(const std::string& path);
    void SetPageLock(const std::string& key);
    void ReleasePageLock();

    // ---- Redisplay, scale and zoom window ----
    void SetImageScale(int mode);
    void RedisplayImage();
    void RedisplayZoomImage();
    void VScroll1_Change();
    void HScroll1_Change();
    void cboZoom_Click();
    void cboZoom2_Click();
    void TBZoom_Click(int Index);
    void ZoomBar_MouseDown(int y);
    void ZoomBar_MouseUp(int y);
    // PageDrawInfo of the main view (zoom false) or the zoom window.
    PageDrawInfo MainPageDrawInfo() const;

    // ---- Layout ----
    void Form_Resize();
    void Marginbar_MouseDown(int x);
    void Marginbar_MouseUp(int x);
    void MarginBar2_MouseDown(int x);
    void MarginBar2_MouseUp(int x);
    const LayoutDesign& Design() const { return design_; }

    // ---- Menus and display options ----
    void mnuQualityHigh_Click();
    void mnuQualityLow_Click();
    void mnuQualityMedium_Click();
    void mnuHilitColor_Click();
    void mnuMarkUpColor_Click();
    void mnuRedactColor_Click();
    void mnuAnnotFont_Click();
    void mnuRedactFont_Click();
    void mnuRedactLabel_Click();
    void mnuRedStyle_Click(std::int16_t& Index);
    void mnuDtFmt_Click(std::int16_t& Index);
    void mnuStsImgKey_Click();
    void mnuStsDocCnt_Click();
    void mnuStsFullPos_Click();
    void mnuStsFldrDesc_Click();
    void mnuStsTags_Click();
    void mnuStsInfoOnly_Click();
    void mnuStsDate_Click();
    void mnuStickyRotate_Click();
    void mnuUseTextBox_Click();
    void cmdUseNative_Click();
    void mnuPrint_Click();
    // The image toolbar's action; only the print button (Index 1) exists yet.
    void Tbar_Click(int Index);

    // ---- Settings ----
    void LoadAnnotationDefaults();
    void SaveAnnotationDefaults();

    // ---- Project views and neighbours ----
    void ClearProjectViews();
    void LoadProjectViews();
    void InitTagPalette();
    void ResizeTagPalette();
    void UpdateTagPalette(const std::string& key);
    void BuildFullPositionText(const std::string& docBeginKey, const std::string& docEndKey,
                               std::string& positionText);
    void PrintSelection();

    // ---- Query pane (frm_view_query.cpp) ----
    void LoadQueryList();
    // Closes the open query; a server temporary file is deleted.
    void ClearServerQuery();
    void QueryCombo_Click();
    void QueryList_Click();
    void TBQuery_Click(int Index);
    // Closes an open query and lays the window out without it.
    void CloseQueryPane();

    // ---- Query sources and saving (frm_view_query_sources.cpp) ----
    void OpenTagQuery();
    void OpenMultiTagQuery(const std::string& tags, std::int32_t count, std::int16_t logic);
    void MergeKeyLists(clsBigString& listA, clsBigString& listB, clsBigString& result,
                       std::int16_t logic);
    void RunSearch();
    void SaveQueryListToFile();
    void SaveQueryToIssue();
    void SortQueryByDate();
    void OpenQueryFile(const std::string& file, bool& ok);

    // ---- Command messages and parameter files ----
    void Process_Message_String(const std::string& szMsg);
    void Get_TLQ_Parameters(const std::string& fileName, std::string& ImgKey,
                            std::int16_t& ikey_flag, std::string& filename,
                            std::int16_t& query_flag, std::string& PrjName,
                            std::int16_t& selprj_flag, std::string& usrid, std::int16_t& login_flag,
                            std::string& usrpwrd, std::int16_t delete_flag);
    // Reads the parameter file that values names into them; true when it gave a
    // key list the window made.
    bool ReadParameterFile(modView::CommandLineValues& values);
    // The login a command line asks for: access mode 1, no dialogs.
    void CommandLineLogin(const std::string& userId, const std::string& password);
    // Shows a key handed in by another program; one holding a separator of
    // the server's wire is answered as not found and never sent.
    bool ShowHandedKey(const std::string& key);
    bool IsRequestInProcess() { return RequestInProcess(); }

    // ---- Navigation toolbar and key entry (frm_view_navigation.cpp) ----
    void NavTBar_Click(int Index);
    void NavTBar_MouseDown(int Index, Qt::MouseButton Button);
    void NavTBar_MouseMove(int Index);
    void NavTBar_MouseUp();
    void picFooter_MouseMove();
    void MiscTBar_Click(int Index);
    void MiscTBar_MouseDown(int Index);
    void MiscTBar_MouseMove(int Index);
    void MiscTBar_MouseUp();

    // ---- Link to the document database program ----
    void mnuLink_Click();
    void Img_ConDB_Click(int Index);

    // ---- Shared fields ----
    std::unique_ptr<ViewerSession> TalqAPi;
    std::unique_ptr<cGdiLead> ImgObj;
    QObject* DDEForm = nullptr;
    std::int16_t AbortNow = 0;
    std::int16_t MessageInProcess = 0;
    QWidget* dlgPrjVw = nullptr;
    std::int16_t PrjView_Active = 0;
    std::string szUserID, szPassword;
    std::string szIPAddress, szPort, szDomain;
    std::string szLocalPort, szNetworkCard;
    std::int32_t lBehaviorFlags = 0;
    std::string szProjectName;
    std::string szCurrentKey;
    std::string szTempFname;
    std::string szPrintTempFname;
    std::string g_szDocBkey, g_szDocEkey;
    std::int32_t g_iDocPsn = 0, g_iDocCnt = 0, g_iDocLvl = 0;
    // The document bounds must be computed afresh at the next page display.
    bool g_DocBoundsStale = false;
    std::int32_t g_RestrictAnnotations = 0, g_RestrictTags = 0, g_RestrictRedactions = 0;
    std::int16_t g_LimitNav = 0;
    std::int32_t g_iLimit3rdLvl = 0;
    // Boundary level stepped by each navigation button (0 and 1: pages).
    std::array<std::int32_t, 10> NavButtonLevel{};
    std::string g_sz3rdBkey, g_sz3rdEkey;
    std::int16_t g_ValidImage = 0;
    std::int16_t Query_Active = 0;
    TalqClientAPI_Header::QueryRecord CurrentQuery;
    std::int16_t QueryListLoading = 0;
    // The date search reopens with the last criterion and dates.
    std::int16_t DateSearchCriterion = 0;
    std::string DateSearchStart, DateSearchEnd;
    // Folder of the combined tag list; the session's private folder when empty.
    std::string MultiTagFolder;
    std::int16_t g_TagPalInitialized = 0;
    std::string QuerySrchStr;
    std::int16_t QuickScroll_Active = 0, QuickScrollMode = 0;
    std::int32_t QuickScrollInterval = 0;
    std::int16_t MainFormLoaded = 0;
    std::int16_t g_PrintMode = 0, g_PrintRange = 0;
    std::int32_t g_PrintFlags = 0;
    std::string g_szPrintMsg;
    std::int16_t g_PrinterType = 0;
    bool g_bBackLink = false;
    std::int32_t Conc_Ctrls_Start = 0;
    std::string DDE_LINK;
    std::int16_t RedactMode = 0;
    modView::MessageQueue MessageQueue;

    // Page on display.
    std::int32_t g_ImgWidth = 0, g_ImgHeight = 0, g_ImgBpp = 0, g_ImgDPI = 0;
    std::int32_t g_Rotation = 0;
    float g_ViewScaleFactor = 1.0f;
    std::string g_szLockedKey;
    std::int32_t g_PageReadOnly = 0, g_PageRestricted = 0, g_PageBndryLvl = 0;
    bool g_NativeBlocked = false;
    std::string g_szWordList;
    TalqClientAPI_Header::WordBoxes g_WordBoxes;  // g_szWordList's boxes, read once per page
    // The four numbers of the word list's reply.
    std::array<std::int32_t, 4> g_WordListNums{};
    std::string g_szPageInfo, g_szNativeFile, g_szDocFldrDesc, g_szPageList;
    std::int16_t g_iDocFlags = 0;
    AnnotationList RedactList, HiLiteList, StickyList, TextNoteList, ClipList, MarkUpList;
    int RedactCount = 0, HiLiteCount = 0, StickyCount = 0, TextNoteCount = 0, ClipCount = 0,
        MarkUpCount = 0;
    bool bQuesterActive = false;
    std::string g_QuesterLastKey, g_QuesterLastCoords, g_QuesterLastWordCoords;
    // The page's OCR text as the concept-search highlighting fetched it.
    std::string PageOcrText;

    // Scale and zoom.
    float g_ScaleFactor = 0.0f;
    std::int16_t g_ScaleMode = 0;
    std::int32_t g_DspWidth = 0, g_DspHeight = 0;
    std::int32_t g_Hscroll = 0, g_Vscroll = 0;
    std::int16_t ZoomWin_Active = 0;
    float ZoomWin_Scale = 0.0f;
    std::int32_t ZoomWin_X = 0, ZoomWin_Y = 0;
    std::int32_t ZoomBarPosn = 0;
    std::int16_t ZoomBar_Drag = 0;
    std::int32_t MouseDownY = 0;
    std::int16_t MouseTrack = 0;

    // Layout.
    std::int16_t Paint_in_Process = 0;
    std::int16_t TagPal_Active = 0;
    std::int16_t MarginBar_Active = 0, MarginBar2_Active = 0;
    std::int32_t MarginBarPosn = 3000, MarginBar2Posn = 0;
    float ZoomBarRatio = 0.0f;
    std::int32_t MouseDownX = 0;
    std::int16_t MarginBar_Drag = 0, MarginBar2_Drag = 0;
    int TagFormWidth = 2760;

    // Display options and annotation defaults.
    std::string DfltRedactFont = "Arial";
    std::int32_t DfltRedactColor = 0, DfltRedactFontColor = 16777215, DfltRedactFontSize = 20,
                 DfltRedactFontStyle = 0;
    std::string DfltRedactLabel;
    std::int32_t DfltMarkUpSize = 30, DfltMarkUpColor = 255, DfltHiLiteColor = 65535;
    std::string DfltAnnotFont = "Arial";
    std::int32_t DfltAnnotFontColor = 16711680, DfltAnnotFontSize = 40, DfltAnnotFontStyle = 0;
    std::int16_t g_ViewQuality = 0, g_CalcDocPsn = 1, g_StatusLine = 0, DateFormat = 0,
                 RedactFill = 0;
    bool UseTextBox = false;
    std::int16_t g_UseNativeAppView = 0;
    bool StickyRotate = false;
    std::int32_t g_StickyRotation = 0;
    std::int32_t QuesterMaxItems = 1000;
    bool SpellCheck = true;

    // ---- Controls ----
    QWidget* client = nullptr;
    QWidget* TopToolBar = nullptr;
    QToolButton* TbarPrint = nullptr;
    QToolButton* TbarTagQuery = nullptr;
    QToolButton* TbarSearch = nullptr;
    QComboBox* cboZoom = nullptr;
    QWidget* picFooter = nullptr;
    QLabel* lblStatus = nullptr;
    QPlainTextEdit* txtStatus = nullptr;
    SplitterBar* Marginbar = nullptr;
    QWidget* picPrjVw = nullptr;
    QWidget* ScrollForm = nullptr;
    QComboBox* QueryCombo = nullptr;
    QLabel* QueryLabel = nullptr;
    QListWidget* QueryList = nullptr;
    std::array<QToolButton*, 10> TBQuery{};
    SplitterBar* MarginBar2 = nullptr;
    QWidget* TagForm = nullptr;
    std::array<QToolButton*, 2> TBTag{};
    QPlainTextEdit* txtImage = nullptr;
    SurfacePane* picImage = nullptr;
    QScrollBar* VScroll1 = nullptr;
    QScrollBar* HScroll1 = nullptr;
    SplitterBar* ZoomBar = nullptr;
    QWidget* picZoom = nullptr;
    SurfacePane* picZoom2 = nullptr;
    QComboBox* cboZoom2 = nullptr;
    std::array<QToolButton*, 3> TBZoom{};
    std::array<QToolButton*, 3> Img_ConDB{};
    std::array<QToolButton*, 10> NavTBar{};
    std::array<QToolButton*, 2> MiscTBar{};
    // Set by a right button going down on NavTBar; the next click reads it.
    std::int16_t NavRightButton = 0;
    // Whether a frame is drawn and around which button, per toolbar.
    std::int16_t NavFrameOn = 0, NavFrameButton = 0, MiscFrameOn = 0, MiscFrameButton = 0;
    platform::DdeClient ddectl;
    // Back buffers of the page and of the zoom window.
    platform::DrawSurface picImage2, picImage3;
    QImage picSticky, picClip, picPrint;

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

  protected:
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

  private:
    void BuildControls();
    void BuildMenus();
    void BuildIcons();
    void BuildLinkButtons();
    void BuildNavigationButtons();
    // Places a footer button at a left position in twips and shows it.
    void PlaceFooterButton(QToolButton* button, std::int32_t left);
    void ResetToolbarButtons();
    // Access levels and navigation buttons of a valid project; gives the
    // left edge, in twips, where the link's buttons start.
    std::int32_t LoadProjectLevels(ViewerSession& session, const std::string& levels,
                                   int levelCount);
    void PlaceLinkButtons();
    // The interpreter's steps for one message.
    void GatherMessageFiles(modView::CommandMessage& m, bool& ownListFile);
    void CarryOutMessage(modView::CommandMessage& m, bool ownListFile);
    // The folder of files the window makes for itself.
    std::string PrivateFolder();
    ViewerSession& Session();
    bool RequestInProcess();
    // Beeps and answers true while a request runs.
    bool RefuseWhileBusy();
    void CheckQuality();
    void ChooseQuality(std::int16_t quality);
    void SetStatusPosition(std::int16_t mode);
    void ToggleStatusBit(QAction* entry, std::int16_t bit);
    void ApplyLayout(const LayoutResult& r);
    void ClearPane(SurfacePane* pane);
    // Gives a back buffer its pane's size, cleared.
    static void ClearBackBuffer(platform::DrawSurface& buffer, const SurfacePane* pane);
    // Ends a failed page display with its mark on the status line.
    bool FailPage(std::string& status, const char* mark);
    void WriteStatus(const std::string& status);
    void ShowPageArea(bool picture);
    void RefreshDocumentBounds(const std::string& key);
    void AppendStatusDetails(const std::string& key, std::string& status);
    // Closes the project tree, gives up the page lock and frees the page.
    void CloseTreeAndPage();
    // Hides the query pane when its query has been closed.
    void HideClosedQuery();
    int PixelsX(int twips) const;
    int PixelsY(int twips) const;

    SessionFactory makeSession_;
    DisconnectedSession noSession_;
    LayoutDesign design_;
    int inputBlockCount_ = 0;
    bool treeWasOpen_ = false;
    bool unloaded_ = false;
    Qt::CursorShape savedPointer_ = Qt::ArrowCursor;
};

// Whole percentage read from the start of a zoom list's text ("125%" -> 125).
int ZoomPercentFromText(const std::string& text);
// A redaction label as typed: characters below 32 dropped, blanks trimmed.
std::string CleanRedactionLabel(const std::string& answer);

}  // namespace viewer
