#include "viewer/widgets/startup.h"

#include <QFile>

#include <memory>

#include "platform/prompts.h"
#include "platform/single_instance.h"
#include "platform/text_codec.h"
#include "server/net_defaults.h"
#include "viewer/startup_command_line.h"
#include "viewer/widgets/frm_dde.h"

namespace modView {

viewer::frmDDE* gDdeForm = nullptr;
viewer::frmView* gViewerForm = nullptr;

MainOutcome Main(const std::vector<std::string>& arguments,
                 viewer::frmView::SessionFactory makeSession) {
    auto dde = std::make_unique<viewer::frmDDE>();
    const std::string commandLine = platform::JoinCommandLine(arguments);
    if (!dde->IsFirstInstance()) {
        // The running viewer acts on it later; nothing here waits for that.
        platform::HandOverToFirstInstance(viewer::kViewerApplication, viewer::kViewerTopic,
                                          commandLine);
        return MainOutcome::HandedOver;
    }
    dde->Form_Load();

    auto viewerForm = std::make_unique<viewer::frmView>(std::move(makeSession));
    viewerForm->DDEForm = dde.get();
    viewerForm->Form_Load();
    if (viewerForm->run.MainFormLoaded == 0) {
        platform::Beep();
        platform::MsgBox("The gdiplus.dll component is not installed.", platform::vbCritical,
                         "Unable to Load TALQ Viewer");
        viewerForm->DDEForm = nullptr;
        return MainOutcome::NotLoaded;
    }
    // From here the window's unload releases the message window.
    gDdeForm = dde.release();
    gViewerForm = viewerForm.release();
    gViewerForm->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(gViewerForm, &QObject::destroyed, [] { gViewerForm = nullptr; });
    QObject::connect(gDdeForm, &QObject::destroyed, [] { gDdeForm = nullptr; });
    viewer::frmView& window = *gViewerForm;
    mNetDefaults::LoadNetDefaults(window.login.szDomain, window.login.szIPAddress,
                                  window.login.szPort, window.login.szLocalPort,
                                  window.login.szNetworkCard);
    window.show();
    gDdeForm->Viewer = &window;
    CarryOutCommandLine(window, commandLine);
    return MainOutcome::Running;
}

void CarryOutCommandLine(viewer::frmView& window, const std::string& commandLine) {
    CommandLineValues v = ParseCommandLine(commandLine, CommandLineSource::Startup);
    bool ownListFile = false;
    if (!v.parameterFile.empty()) ownListFile = window.ReadParameterFile(v);
    if (v.keywordsGiven) window.query.HandKeywords(v.keywords);
    viewer::ViewerSession& session = *window.TalqAPi;

    if (v.userGiven) window.CommandLineLogin(v.userId, v.password);
    if (v.projectGiven) {
        if (!session.IsUserValid()) window.mnuLogin_Click();
        if (session.IsUserValid()) {
            window.BlockInput();
            if (window.SelectNamedProject(v.project)) window.LoadProjectViews();
            window.UnblockInput();
        }
    }
    if (v.keyGiven) {
        if (!session.IsUserValid()) window.mnuLogin_Click();
        if (!session.IsProjectValid()) window.mnu_project_Click();
        if (session.IsProjectValid()) window.ShowHandedKey(v.key);
    }
    if (v.listGiven) {
        if (session.IsProjectValid()) {
            bool ok = false;
            window.OpenQueryFile(v.listFile, ok);
            QFile::remove(platform::ToQString(v.listFile));
        } else if (ownListFile) {
            QFile::remove(platform::ToQString(v.listFile));
        }
    }
    window.query.SettleKeywords(session.IsUserValid() && session.IsProjectValid());
}

}  // namespace modView
