#pragma once
// The one document window: owns the session and the image engine, holds the
// state every other window reads, in named groups (frm_view_state/), its
// controls in `ui` (frm_view_ui.h), and places, draws and drives all of its
// panes. Its members live in one file per concern: lifecycle, display,
// redisplay and zoom, layout, menus, settings and project views.

#include <QMainWindow>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "annotations/annotation_edit.h"
#include "annotations/annotation_layers.h"
#include "annotations/annotation_rec.h"
#include "annotations/annotation_settings.h"
#include "foundation/big_string.h"
#include "navigation/query_record.h"
#include "platform/draw_surface.h"
#include "platform/widgets/blocked_close_request.h"
#include "render/gdi_lead.h"
#include "render/image_view_transform.h"
#include "viewer/command_messages.h"
#include "viewer/main_window_layout.h"
#include "viewer/widgets/boundary_levels.h"
#include "viewer/widgets/frm_view_state/concept_hits.h"
#include "viewer/widgets/frm_view_state/document_position.h"
#include "viewer/widgets/frm_view_state/login.h"
#include "viewer/widgets/frm_view_state/mouse_drawing.h"
#include "viewer/widgets/frm_view_state/navigation_bar.h"
#include "viewer/widgets/frm_view_state/page_on_display.h"
#include "viewer/widgets/frm_view_state/page_replies.h"
#include "viewer/widgets/frm_view_state/pane_layout.h"
#include "viewer/widgets/frm_view_state/project_tree.h"
#include "viewer/widgets/frm_view_state/project_views.h"
#include "viewer/widgets/frm_view_state/query_pane.h"
#include "viewer/widgets/frm_view_state/quick_scroll.h"
#include "viewer/widgets/frm_view_state/scale_zoom.h"
#include "viewer/widgets/frm_view_state/splitter_drags.h"
#include "viewer/widgets/frm_view_state/tag_palette.h"
#include "viewer/widgets/frm_view_state/toolbar_frames.h"
#include "viewer/widgets/frm_view_state/window_run.h"
#include "viewer/widgets/frm_view_ui.h"
#include "viewer/widgets/picture_button.h"
#include "viewer/widgets/print_driver.h"
#include "viewer/widgets/surface_pane.h"
#include "viewer/widgets/viewer_session.h"

class frmProcess;
class QAction;
class QTimer;
class QToolButton;
namespace navigation {
class frmPrjVw;
}

namespace viewer {

class frmView : public QMainWindow, private PrintHost {
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
    // Closes the window as Exit does once no request, print, command
    // message or modal dialog runs. A read under way when it is asked is cut
    // short and a save waited for; once they have unwound, a dialog still
    // open is the reviewer's and what is done in it goes as without the
    // close. The close button, File > Exit, EXIT and SIGTERM all come here
    // when something runs.
    void CloseWhenIdle();
    void mnuAbout_Click();
    void EnableViews(bool iState) override;
    void ResetBehavior(std::int32_t lFlags);
    // Blocks user input to the window's own controls and menus while its
    // dialogs stay usable; calls nest, apart from the state EnableViews sets.
    void BlockInput();
    void UnblockInput();
    bool IsInputBlocked() const { return inputBlockCount_ > 0 || viewsOff_; }

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

    // ---- Image toolbar and toolbar frames (frm_view_toolbar.cpp) ----
    void Tbar_Click(int Index);
    void SetAnnotateMode(int Index);
    void ClearRedactMode(int Index);
    void Tbar_MouseDown(int Index);
    void Tbar_MouseMove(int Index);
    void Tbar_MouseUp();
    void TopToolBar_MouseMove();
    void DrawButtonPressed(int Index, std::int16_t& frame, std::int16_t& framed, QWidget* button,
                           FrameHost* container);
    void DrawButtonRaised(int Index, std::int16_t& frame, std::int16_t& framed, QWidget* button,
                          FrameHost* container);
    void EraseButtonFrame(QWidget* button, FrameHost* container);
    void ResetToolbarButtons();

    // ---- Settings ----
    void LoadAnnotationDefaults();
    void SaveAnnotationDefaults();

    // ---- Project views and neighbours ----
    void ClearProjectViews();
    void LoadProjectViews();
    // Selects the project by name (szProjectName only when selected); a
    // selection that failed says why.
    bool SelectNamedProject(const std::string& name);
    // The project's first page, once a project is chosen; a project that
    // has none says so.
    void ShowFirstPage();
    void BuildFullPositionText(const std::string& docBeginKey, const std::string& docEndKey,
                               std::string& positionText);

    // ---- Printing: the driver's (print_driver.h), the window its host
    // (frm_view_print_host.cpp) ----
    void OpenPrintDialog(std::int16_t fromQuery = 0) { printDriver.OpenPrintDialog(fromQuery); }
    void PrintSelection(bool chooseFile = false) { printDriver.PrintSelection(chooseFile); }

    // ---- Concept search (frm_view_concept_search.cpp) ----
    // 1 new search, 2 with alternate concepts, 3 change the most items.
    void RunQuesterSearch(int mode);
    // The hit rectangles of the page on display from a concept row's text.
    void CreateQuesterHilites(const std::string& rowText);
    void ShowQuesterSpelling(std::string& phrase, bool& chosen);
    void ShowQuesterConcepts(std::string& phrase, bool& chosen);

    // ---- Tag palette pane (frm_view_tag_palette.cpp) ----
    // False when the palette did not come (told why, no rows): asking for
    // the page's tags next would fail again.
    bool InitTagPalette();
    void ResizeTagPalette();
    void UpdateTagPalette(const std::string& key);
    void Tag_BMP_Click(int Index);
    void Tag_DESC_Click(int Index) { Tag_BMP_Click(Index); }
    void VScroll2_Change();
    void TBTag_Click(int Index);
    // After a tag change whose answer was lost: the page's tags as the
    // server holds them, told as a failure only when the change is not there.
    void ReadBackLostTag(const std::string& key, const std::string& tag, bool turnOn);

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
    // After a save whose answer was lost: "" when the server holds the
    // collection with the query's pages, else what to tell.
    std::string ReadBackLostCollection(const std::string& name, const std::string& why);
    void SortQueryByDate();
    void OpenQueryFile(const std::string& file, bool& ok);

    // ---- Command messages and parameter files ----
    // answer, when given, is told how the message ended.
    void Process_Message_String(const std::string& szMsg, modView::MessageAnswer answer = {});
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

    // ---- Original file and quick scroll ----
    // The image toolbar's "Display Original File": the original-file window,
    // or the desktop's program for the file when the option says so.
    void DisplayOriginalFile();
    // Opens the quick-scroll window over the query list (1) or the project (0).
    void OpenQuickScroll(std::int16_t listMode);
    void CloseQuickScroll();
    // ---- Boundary level, project tree and position text (frm_view_boundary.cpp,
    // frm_view_project_tree.cpp, frm_view_position_text.cpp) ----
    // The page's boundary level and document date through "Modify Boundary".
    void ModifyBoundaryLevel();
    // The image toolbar's project tree button: closes an open tree, else
    // opens it docked and synchronised with the page on display.
    void ToggleProjectView();
    // Closes the tree window, docked or not.
    void CloseProjectTree();
    // The tree window while it is open; null otherwise.
    navigation::frmPrjVw* ProjectTree() const;
    // The tree when it is open, not minimised, visible and enabled.
    navigation::frmPrjVw* ShownProjectTree() const;
    // ---- Annotations with the mouse (frm_view_mouse.cpp, frm_view_annotation_edit.cpp) ----
    // Button 1 left, 2 right; positions in twips of the page pane.
    void picImage_MouseDown(int Button, int Shift, int x, int y);
    void picImage_MouseMove(int Button, int Shift, int x, int y);
    void picImage_MouseUp(int Button, int Shift, int x, int y);
    void picImage_DblClick();
    // What lies under an image point is offered for change; changed is true
    // when the page must be drawn again.
    void ModifyAnnotations(std::int32_t x, std::int32_t y, bool& changed);
    void DisplaySticky(std::int32_t x, std::int32_t y, bool& found);
    void DisplayClip(std::int32_t x, std::int32_t y, bool& found);
    // Page displays so far; an edit begun on one page is abandoned when it changed.
    std::uint32_t DisplayCount() const { return displayCount_; }

    // ---- Link to the document database program ----
    void mnuLink_Click();
    void Img_ConDB_Click(int Index);

    // ---- State, in named groups (one header each in frm_view_state/) ----
    // Groups hold state that several concerns share; a feature with behaviour
    // of its own is an object the window owns.
    PageOnDisplay page;
    PageAnnotations pageAnnotations;
    DocumentPosition docPosition;
    ScaleAndZoom zoom;
    // Display options and annotation defaults: the one value the settings
    // store reads and writes, defaults in its struct.
    annotations::AnnotationSettings settings;
    QueryPane query;
    ProjectViews project;
    DatabaseLink link;
    NavigationBar navBar;
    QuickScroll quickScroll;
    PaneLayout panes;
    LoginState login;
    WindowRun run;
    TagPaletteView tagPalette;
    ToolbarFrames frames;
    ProjectTreePane projectTree;
    MouseDrawing mouse;
    ConceptHitState conceptHits;

    // ---- Owned objects ----
    std::unique_ptr<ViewerSession> TalqAPi;
    std::unique_ptr<cGdiLead> ImgObj;
    PrintDriver printDriver{*this};
    QObject* DDEForm = nullptr;

    // ---- Controls, hidden pictures and menus ----
    frmViewUi ui;

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
    void BuildImageToolbar();
    // Ties a button array's mouse to the frames of its toolbar.
    void WireFrames(PictureButton* button, std::int16_t& frame, std::int16_t& framed,
                    FrameHost* container);
    // The image toolbar's steps.
    void RotateStep(int Index);
    // Stores the page's turn; false, told why, when the server has not it.
    bool StoreRotation(std::int32_t rotation);
    void ZoomStep(bool in);
    void ChooseConceptSearch();
    // Places a footer button at a left position in twips and shows it.
    void PlaceFooterButton(QToolButton* button, std::int32_t left);
    void RemoveTagPaletteRows();
    // Access levels and navigation buttons of a valid project; gives the
    // left edge, in twips, where the link's buttons start.
    std::int32_t LoadProjectLevels(ViewerSession& session, const std::string& levels,
                                   int levelCount);
    void PlaceLinkButtons();
    // The interpreter's steps for one message.
    void GatherMessageFiles(modView::CommandMessage& m, bool& ownListFile);
    // Why a print message did not print all it asked for; empty otherwise.
    std::string CarryOutMessage(modView::CommandMessage& m, bool ownListFile);
    // The folder of files the window makes for itself.
    std::string PrivateFolder();
    ViewerSession& Session() override;
    // What the print driver reads of the window.
    PrintRestrictions Restrictions() override;
    std::string KeyOnDisplay() override;
    ShownQuery QueryRows() override;
    QWidget* DialogParent() override { return this; }
    bool RequestInProcess();
    // Beeps and answers true while a request runs.
    bool RefuseWhileBusy();
    void CheckQuality();
    void ChooseQuality(std::int16_t quality);
    void SetStatusPosition(std::int16_t mode);
    void ApplyInputBlock();
    void ToggleStatusBit(QAction* entry, std::int16_t bit);
    void ApplyLayout(const LayoutResult& r);
    void ClearPane(SurfacePane* pane);
    // Gives a back buffer its pane's size, cleared.
    static void ClearBackBuffer(platform::DrawSurface& buffer, const SurfacePane* pane);
    // After a new connection: the page on display takes its lock again, or
    // shows read-only when another connection took it meanwhile. False when
    // the lock could not be had for another reason, which was told.
    bool FollowPageLock();
    // Before the reviewer changes the page: a connection the server closed
    // meanwhile is made again and the lock followed; through the library the
    // lock is asked for again. False, told why, when it cannot be known.
    bool PageLockKnown();
    // After the page's lock was not had: a refusal shows the page
    // read-only; a failure of the server's own (a busy or failed database)
    // is told with its reason, and is false; no answer is left to the save.
    bool FollowRefusal();
    // Tells, once, why the page's lock was refused on a new connection.
    void TellLockLost();
    // A refused lock that most likely the reviewer's own lost connection
    // holds (this session's, or the viewer's this login came back from):
    // the page stays read-only, saying so, and its lock is asked for again
    // until the server frees it or the time it takes has passed; another
    // reviewer who took it meanwhile is followed a while longer. Only for a
    // page a fresh display would make editable.
    bool FollowEarlierLock(const std::string& key);
    void AskEarlierLock();
    // The lock is had again: the page's information and lists are read
    // again, and it turns editable as a fresh display would make it. False,
    // with why when not for a restriction, when it stays read-only.
    bool TakePageAgain(const std::string& key, std::string& why);
    // Before a change of a page read-only only for want of its lock: the
    // lock is asked for once more, so a holder that let go is noticed.
    void LockAgainIfFreed();
    bool AskLockQuietly(const std::string& key);
    // The server's words of a lock refusal (error), for the reviewer: one
    // naming the reviewer's own login says that it is theirs.
    std::string LockRefusalWords(const std::string& key, const std::string& error);
    // Tells, once, why the session's last request failed when the server
    // never answered, could not reach its system or ended the session: a
    // beep and one box, `what` (when given) over the reason. False when
    // there was nothing to tell or messages are off.
    bool TellUntoldFailure(const std::string& what);
    // As TellUntoldFailure, and also the server's own refusal, which a
    // pass-through request never shows: for requests that tell nothing of
    // themselves.
    bool TellFailedRequest(const std::string& what);
    // Why the session's last request failed, for a message that is shown
    // anyway; "" when it had no reason to give or it was told already.
    std::string TakeFailureReason();
    // The project's tag collections could not be read: says so, and why.
    void TellPoolUnread();
    // Says why the server ended the session, unless a box said it already:
    // before a login box asks again, or where an action has no failure
    // message of its own. False when nothing was told.
    bool TellSessionEnd();
    // Runs FollowPageLock once no request or dialog has the page in hand.
    void WatchPageLock();
    // The page display's steps; DisplayImage then tells what the server
    // could not do.
    bool ShowPage(const std::string& key);
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
    // Tells that the query just opened could not be read, and closes it.
    void CloseUnreadQuery();
    // Loads the set of the open query in direction (QueryScroll) into the
    // pane. False when the read failed: the record and the set shown stay as
    // they were, and failure is told with its reason.
    bool ScrollQuery(std::int16_t direction, const char* failure);
    // The combo item of a boundary level; "Page" for any other.
    int QueryLevelIndex(std::int16_t level);
    // Annotations with the mouse.
    void WirePageMouse();
    MousePoint PagePoint(int x, int y);
    mGdi32::ImageViewTransform PageTransform() const;
    bool MouseDragging();
    // Beeps while busy or without a page, and chooses a project when none is open.
    bool PageTakesClicks();
    // A click on a page whose image or lists did not come asks for it again.
    bool ShowFailedPageAgain(int button, int x, int y);
    KindList& ListOf(std::int32_t kind);
    // A change to one kind's list as stored; why it cannot be made there
    // (the record it changes is gone, the list is full), or "".
    using ListChange = std::function<std::string(KindList&)>;
    // Reads the page's lists anew (taking the page's lock again when it
    // went, unless locking is off), applies the change to the list as stored
    // and saves the whole list; a change that leaves the list as stored
    // writes nothing. The page keeps what is stored; one message,
    // with the server's reason, on failure. A text too long for the server
    // is never sent.
    bool SaveChange(std::int32_t kind, const char* failure, const ListChange& change);
    // After a put whose answer was lost: reads the page's lists back and
    // tells whether the server holds the change that made `sent` of `base`,
    // whatever others stored beside it. When they cannot be read, the save
    // is kept unsettled (LostSave) and reason says so; when they cannot tell,
    // reason says so and nothing is kept to store again unseen.
    bool ReadBackLostSave(std::int32_t kind, const KindList& base, const KindList& sent,
                          std::string& reason);
    // Settles an unsettled save against the lists just read. A retry of the
    // edit that made it starts again from the list as stored without it
    // (edited), so it replaces what it stored and keeps what others stored.
    // Why this save stores nothing, or "": another edit after one that was
    // stored, and a retry whose earlier try cannot be told from the lists,
    // store nothing, so that no change is made twice unseen.
    std::string SettleLostSave(std::int32_t kind, KindList& edited);
    // Why a save cannot be told stored or not from `now`, the page shown.
    std::string CannotTell(std::int32_t kind, const KindList& base, const KindList& now);
    // Takes the page's lock again (unless locking is off) and shows its
    // lists as stored; a page another connection holds is shown read-only.
    // False, with the server's reason when it gave one, when the lock or the
    // lists cannot be had.
    bool RereadPageLists(std::string& reason);
    // Takes the page's lists as read now; a redaction the user may not see
    // through blocks the original file, which shows what it hides.
    void TakePageLists(const AnnotationTexts& lists);
    void ShowReadOnly(bool readOnly);
    void FinishShape(int tool, AnnotationRec rec);
    // Adds a new record to its list as stored and saves the list.
    bool AppendAndSave(std::int32_t kind, const AnnotationRec& rec);
    // The stored record an edit replaces: the one it started from, as it
    // was shown; gone once the reviewer was told it is no longer stored so,
    // and the edit is then stored as a new mark. `now` is, after such a
    // refusal, the record found alone in its place (MarkNowInPlace).
    struct EditBase {
        AnnotationRec rec;
        bool gone = false;
        std::optional<AnnotationRec> now;
    };
    // Why a save that failed may have stored after all: its lists could not
    // be read back, or those read cannot tell.
    enum class SaveDoubt { kNone, kUnread, kCannotTell };
    // What an edit whose base is no longer stored keeps of what was typed:
    // nothing (a colour or a font is picked again), the open dialog's text
    // for a new mark (notes), or the typed fields for the dialog to open
    // again over the record now in its place (labels, clips).
    enum class KeepTyped { kNone, kAsNewMark, kOverMarkNow };
    // Replaces (or removes) the stored record equal to the base and saves the
    // whole list; no other record is ever taken for it. An edit refused
    // because the base is no longer stored marks it gone for kAsNewMark, so
    // that saving again stores what the open dialog holds as a new mark. A
    // delete of a base no longer stored is done, and told.
    bool CommitEdit(std::int32_t kind, EditBase& base, AnnotationRec rec, bool remove,
                    bool& changed, KeepTyped keep = KeepTyped::kNone);
    // A note dialog's save; when it failed because the server refused the
    // session's login, asks for the password over the open dialog before
    // telling the failure, logs in again without touching the page or the
    // project views and saves once.
    bool SaveNoteLoggingIn(const std::function<bool()>& save);
    std::string NewStamp(const std::string& label);
    // True while the page a dialog was opened for is still on display.
    struct PageMark {
        std::string key;
        std::uint32_t count;
    };
    PageMark MarkPage() const { return {page.szCurrentKey, displayCount_}; }
    // A save whose answer was lost and whose lists could not be read back:
    // per try of the edit, the list it was made over and the list it sent.
    struct LostSave {
        struct Try {
            KindList base;
            KindList sent;
        };
        PageMark page;
        std::int32_t kind;
        std::uint64_t edit;
        std::vector<Try> tries;
    };
    bool SamePage(const PageMark& m) const {
        return m.key == page.szCurrentKey && m.count == displayCount_;
    }
    bool EditColor(AnnotationRec& rec, std::int32_t& defaultColor);
    bool EditRedaction(AnnotationRec& rec, int choice, const PageMark& mark);
    // The label box over a redaction, starting from a text; true when a
    // label other than the record's was entered on the same page.
    bool AskRedactionLabel(AnnotationRec& rec, const std::string& start, const PageMark& mark);
    // The clip dialog over a clip, starting from a clip text and mode; true
    // when something is to be stored (remove set for Delete).
    bool AskClip(AnnotationRec& rec, std::int32_t startMode, const std::string& startText,
                 bool& remove, const PageMark& mark);
    // Commits a label or a clip typed over `original`; when it is not
    // stored, the dialog opens again with the typed fields over the record
    // now in its place, to store or cancel, or where there is none the
    // typed fields are shown to copy. Nothing is stored over another
    // user's change that the reviewer was not shown.
    void CommitTypedEdit(std::int32_t kind, AnnotationRec original, AnnotationRec rec,
                         bool remove, bool& changed, const PageMark& mark);
    // Shows a label or a clip's file and program that were not stored (or,
    // when unknown, may not have been), in boxes the reviewer may copy them
    // from.
    void OfferTypedToCopy(std::int32_t kind, const AnnotationRec& typed, SaveDoubt doubt);
    // False when the page a dialog was opened for went while it was open;
    // each text typed there that differs from what the mark held is then
    // offered to copy, as nothing is stored.
    bool KeptOnPage(const PageMark& mark, std::int32_t kind, const AnnotationRec& typed,
                    const AnnotationRec& held);
    int ChooseEdit(const std::string& options);
    int PixelsX(int twips) const;
    int PixelsY(int twips) const;

    // Groups private to one concern each.
    PageReplies replies;  // page display (frm_view_display.cpp)
    SplitterDrags drags;  // layout and the zoom bar

    SessionFactory makeSession_;
    DisconnectedSession noSession_;
    LayoutDesign design_;
    int inputBlockCount_ = 0;
    std::uint32_t displayCount_ = 0;
    QTimer* pageLockCheck_ = nullptr;
    struct EarlierLock {
        QTimer* timer = nullptr;
        std::string key;
        std::int64_t nextAskMs = 0;  // by the platform clock
        std::int64_t otherSinceMs = 0;  // another reviewer first found holding it
    } earlierLock_;
    // Set while SaveNoteLoggingIn asks first: a failure from a refused login
    // is kept here instead of shown.
    std::string* heldFailure_ = nullptr;
    std::optional<LostSave> lostSave_;
    // How the last SaveChange's outcome is unknown, if it is.
    SaveDoubt lastSaveDoubt_ = SaveDoubt::kNone;
    // Counts the reviewer's edits: the tries of one open dialog share one.
    std::uint64_t editSerial_ = 0;
    bool viewsOff_ = false;  // EnableViews(false) in force
    bool treeWasOpen_ = false;
    bool unloaded_ = false;
    bool closePending_ = false;  // a close waits for the work under way
    bool closeWaiting_ = false;  // its next look is due
    bool cutUnwound_ = false;    // what the close cut short has returned
    // The close button while a modal dialog blocks the window, kept.
    platform::BlockedCloseRequest blockedClose_{*this, [this] { CloseWhenIdle(); }};
};

// Whole percentage read from the start of a zoom list's text ("125%" -> 125).
int ZoomPercentFromText(const std::string& text);
// A redaction label as typed: characters below 32 dropped, blanks trimmed.
std::string CleanRedactionLabel(const std::string& answer);

}  // namespace viewer
