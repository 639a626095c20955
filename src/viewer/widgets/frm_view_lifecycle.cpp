// Construction, load and unload, the session menus and the input blocker.

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QLabel>
#include <QMenuBar>
#include <QTimer>
#include <QVBoxLayout>

#include "foundation/widgets/dialog_factory.h"
#include "foundation/widgets/generic_dialogs.h"
#include "platform/event_pump.h"
#include "platform/prompts.h"
#include "platform/text_codec.h"
#include "viewer/widgets/frm_native.h"
#include "viewer/widgets/frm_view.h"
#include "viewer/widgets/talq_viewer_session.h"

namespace viewer {
namespace {

constexpr const char* kZoomEntries[] = {"10%",  "20%",  "30%",  "40%",  "50%",  "75%", "100%",
                                        "125%", "150%", "175%", "200%", "250%", "300%"};

void FillZoomList(QComboBox* combo) {
    combo->clear();
    for (const char* entry : kZoomEntries) combo->addItem(QString::fromLatin1(entry));
}

void DeleteTempFile(std::string& name) {
    if (name.empty()) return;
    const QString path = platform::ToQString(name);
    if (QFile::exists(path)) QFile::remove(path);
    name.clear();
}

}  // namespace

frmView::frmView(SessionFactory makeSession, QWidget* parent)
    : QMainWindow(parent), makeSession_(std::move(makeSession)) {
    setWindowTitle(QStringLiteral("Project Not Selected"));
    BuildIcons();
    BuildControls();
    BuildMenus();
    BuildLinkButtons();
    BuildNavigationButtons();
}

frmView::~frmView() {
    if (closePending_) platform::SetQuietGate({});
    if (run.MainFormLoaded == 1) Form_Unload();
    // An edited zoom list reports itself when it loses the focus, which the
    // children's teardown would deliver to a window already gone.
    for (QComboBox* list : {ui.cboZoom, ui.cboZoom2}) list->blockSignals(true);
}

ViewerSession& frmView::Session() {
    return TalqAPi ? *TalqAPi : noSession_;
}

bool frmView::RequestInProcess() {
    return Session().IsRequestInProcess();
}

bool frmView::RefuseWhileBusy() {
    if (!RequestInProcess()) return false;
    platform::Beep();
    return true;
}

void frmView::Form_Load() {
    unloaded_ = false;
    if (makeSession_) {
        TalqAPi = makeSession_();
    } else {
        TalqAPi = std::make_unique<TalqViewerSession>(this);
    }
    if (!TalqAPi) TalqAPi = std::make_unique<DisconnectedSession>();
    WatchPageLock();
    ImgObj = std::make_unique<cGdiLead>();
    printDriver.Load();
    TalqAPi->SetDisplayErrorMsgs(true);
    FillZoomList(ui.cboZoom);
    FillZoomList(ui.cboZoom2);
    ClearProjectViews();
    LoadAnnotationDefaults();
    ui.mnuStickyRotate->setChecked(settings.StickyRotate);
    ui.mnuUseTextBox->setChecked(settings.UseTextBox);
    run.MainFormLoaded = 1;
}

void frmView::Form_Unload() {
    if (unloaded_) return;
    unloaded_ = true;
    // What follows only releases and tidies: over TCP none of it waits on
    // the link (the page lock goes with the connection, the server clears
    // its copy of the query), so the window goes whatever the link does.
    if (TalqAPi) TalqAPi->ForgoTidying();
    // Messages a close stopped the interpreter from taking are not carried out.
    for (; !run.MessageQueue.Empty(); run.MessageQueue.RemoveFirst()) {
        if (modView::MessageAnswer waiting = run.MessageQueue.TakeFirstAnswer())
            waiting("Not printed: the viewer was closed");
    }
    ClearServerQuery();
    if (DDEForm != nullptr) {
        // Later, not now: unloading may run inside one of its handlers.
        DDEForm->deleteLater();
        DDEForm = nullptr;
    }
    UnloadNativeForm();
    CloseQuickScroll();
    CloseTreeAndPage();
    TalqAPi.reset();
    ImgObj.reset();
    DeleteTempFile(run.szTempFname);
    DeleteTempFile(printDriver.printRequest.szPrintTempFname);
    RemoveTagPaletteRows();
    SaveAnnotationDefaults();
    run.MainFormLoaded = 0;
}

void frmView::closeEvent(QCloseEvent* event) {
    // Closing tears the session down, which must not happen under a running
    // request or print: the close is carried out once they have unwound.
    if (run.MainFormLoaded == 1 && (RequestInProcess() || printDriver.CurrentPrint().active)) {
        event->ignore();
        CloseWhenIdle();
        return;
    }
    if (run.MainFormLoaded == 1) Form_Unload();
    event->accept();
}

void frmView::BlockInput() {
    ++inputBlockCount_;
    ApplyInputBlock();
}

void frmView::UnblockInput() {
    if (inputBlockCount_ == 0) return;
    --inputBlockCount_;
    ApplyInputBlock();
}

void frmView::ApplyInputBlock() {
    const bool enabled = !IsInputBlocked();
    ui.client->setEnabled(enabled);
    menuBar()->setEnabled(enabled);
}

bool frmView::DoLogin() {
    if (RefuseWhileBusy()) return false;
    TellSessionEnd();
    ClearProjectViews();
    BlockInput();
    const bool ok = Session().LoginToServer(login.szDomain, login.szIPAddress, login.szPort,
                                            login.szLocalPort, login.szNetworkCard);
    UnblockInput();
    if (!ok) return false;
    login.szUserID = Session().UserName();
    login.szPassword = Session().UserPswrd();
    return true;
}

void frmView::mnuLogin_Click() {
    if (DoLogin() && ui.mnu_project->isEnabled()) mnu_project_Click();
}

void frmView::mnu_project_Click() {
    if (RefuseWhileBusy()) return;
    if (!Session().IsUserValid()) {
        DoLogin();
        if (!Session().IsUserValid()) return;
        platform::DoEvents();
    }

    std::unique_ptr<frmListBox> list = talq::DialogFactory<frmListBox>::Create(this);
    list->ItemList = Session().GetTalqProjectList(1);
    list->TitleText = "Please Select a Project...";
    list->SelectedItem = login.szProjectName;
    list->exec();
    // Cancelled, the project in force stays with all its views.
    if (list->Cancelled != 0) return;

    ClearProjectViews();
    BlockInput();
    const std::string chosen = list->SelectedItem;
    list.reset();
    SelectNamedProject(chosen);
    LoadProjectViews();
    if (Session().IsProjectValid() && project.g_LimitNav == 0) ShowFirstPage();
    UnblockInput();
}

void frmView::mnuExit_Click() {
    run.AbortNow = 1;
    close();
}

void frmView::CloseWhenIdle() {
    // No further command message starts meanwhile.
    run.AbortNow = 1;
    const bool printing = printDriver.CurrentPrint().active;
    // A print runs on to its end or its Cancel and tells how it ended.
    if (run.MainFormLoaded == 1 && !closePending_ && !printing) {
        closePending_ = true;
        // A read under way ends at once and tells nothing; a change is
        // waited for and a failure of it told before the window goes.
        Session().AskToClose();
        platform::SetQuietGate([this] { return TalqAPi && TalqAPi->CloseCutsShort(); });
    }
    const bool requestRuns = run.MainFormLoaded == 1 && RequestInProcess();
    if (closePending_ && !requestRuns && !cutUnwound_) {
        // What the close cut short has unwound. A dialog still up is the
        // reviewer's: what is done in it goes, and is told, as without the
        // close, which follows once it ends.
        cutUnwound_ = true;
        if (TalqAPi) TalqAPi->LetCloseWait();
        platform::SetQuietGate({});
    }
    if (run.MainFormLoaded == 1 && (requestRuns || printing || run.MessageInProcess != 0 ||
                                    QApplication::activeModalWidget() != nullptr)) {
        if (!closeWaiting_) {
            closeWaiting_ = true;
            QTimer::singleShot(100, this, [this] {
                closeWaiting_ = false;
                CloseWhenIdle();
            });
        }
        return;
    }
    close();
}

void frmView::mnuAbout_Click() {
    QDialog about(this);
    about.setWindowTitle(QStringLiteral("About"));
    auto* layout = new QVBoxLayout(&about);
    layout->addWidget(new QLabel(QApplication::applicationName(), &about));
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, &about);
    connect(buttons, &QDialogButtonBox::accepted, &about, &QDialog::accept);
    layout->addWidget(buttons);
    about.exec();
}

void frmView::EnableViews(bool iState) {
    // Blocking, not disabling: a disabled main window would disable the
    // dialogs that callers open while views are off.
    viewsOff_ = !iState;
    ApplyInputBlock();
    if (iState) {
        if (treeWasOpen_ && panes.PrjView_Active == 0 && panes.dlgPrjVw != nullptr) {
            panes.dlgPrjVw->show();
            panes.PrjView_Active = 1;
            Form_Resize();
        }
        treeWasOpen_ = false;
    } else {
        if (panes.PrjView_Active != 0) {
            panes.PrjView_Active = 0;
            treeWasOpen_ = true;
            if (panes.dlgPrjVw != nullptr) panes.dlgPrjVw->hide();
            Form_Resize();
        }
    }
}

void frmView::ResetBehavior(std::int32_t lFlags) {
    run.lBehaviorFlags = lFlags;
    ui.mnuLogin->setEnabled((lFlags & (1 | 2)) == 0);
    ui.mnu_project->setEnabled((lFlags & (1 | 4)) == 0);
    ClearProjectViews();
    LoadProjectViews();
}

}  // namespace viewer
