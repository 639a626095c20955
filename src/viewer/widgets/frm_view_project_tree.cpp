// The project tree pane: the tree window docked beside the page, and what
// it reaches of this window.

#include "navigation/widgets/frm_prj_vw.h"
#include "platform/prompts.h"
#include "viewer/widgets/frm_view.h"

namespace viewer {
namespace {

class TreeHost : public navigation::ProjectTreeHost {
  public:
    explicit TreeHost(frmView& view) : view_(view) {}

    bool RemotePassThrough(const std::string& command, std::string& reply,
                           bool skipSessionCheck) override {
        return Session().RemotePassThrough(command, reply, skipSessionCheck);
    }
    std::string UserName() override { return Session().UserName(); }
    std::string UserPswrd() override { return Session().UserPswrd(); }
    std::string ProjectName() override { return Session().ProjectName(); }
    bool ReadTagPool(std::string& list) override { return Session().ReadTagPool(list); }
    bool IsRequestInProcess() override { return Session().IsRequestInProcess(); }
    int BndryNbr() override { return Session().BndryNbr(); }
    std::string BndryLvls() override { return Session().BndryLvls(); }
    std::string BndryIcons() override { return Session().BndryIcons(); }
    bool FirstKey(std::string& key) override {
        int level = 0;
        return Session().NextKey("", level, key);
    }
    std::string GetFolderDescription(const std::string& key, std::int32_t level) override {
        return Session().GetFolderDescription(key, level);
    }
    bool PutFolderDescription(const std::string& key, std::int32_t level,
                              const std::string& description) override {
        return Session().PutFolderDescription(key, level, description);
    }
    std::string CurrentImageKey() override { return view_.page.szCurrentKey; }
    std::int32_t AnnotFeatureMask() override { return view_.run.lBehaviorFlags; }
    void SetProjectViewOpen(bool open) override { view_.panes.PrjView_Active = open ? 1 : 0; }
    bool DisplayImage(const std::string& key) override {
        // A jump may land anywhere in the document: the position is counted again.
        view_.docPosition.g_iDocPsn = 0;
        return view_.DisplayImage(key);
    }

  private:
    // The window's session, made when the window loaded.
    ViewerSession& Session() { return *view_.TalqAPi; }
    frmView& view_;
};

}  // namespace

navigation::frmPrjVw* frmView::ProjectTree() const {
    return panes.PrjView_Active != 0 ? qobject_cast<navigation::frmPrjVw*>(panes.dlgPrjVw)
                                     : nullptr;
}

navigation::frmPrjVw* frmView::ShownProjectTree() const {
    navigation::frmPrjVw* tree = ProjectTree();
    if (tree == nullptr || tree->isMinimized() || !tree->isVisible() || !tree->isEnabled()) {
        return nullptr;
    }
    return tree;
}

void frmView::CloseProjectTree() {
    if (panes.dlgPrjVw != nullptr) {
        panes.dlgPrjVw->close();
        panes.dlgPrjVw->deleteLater();
        panes.dlgPrjVw = nullptr;
    }
    panes.PrjView_Active = 0;
}

void frmView::ToggleProjectView() {
    if (panes.PrjView_Active != 0) {
        CloseProjectTree();
        Form_Resize();
        return;
    }
    if (!projectTree.host) projectTree.host = std::make_unique<TreeHost>(*this);
    auto* tree = qobject_cast<navigation::frmPrjVw*>(panes.dlgPrjVw);
    if (tree == nullptr) {
        tree = new navigation::frmPrjVw(ui.picPrjVw);
        panes.dlgPrjVw = tree;
    }
    tree->MainView = projectTree.host.get();
    tree->Form_Load();
    if (panes.PrjView_Active == 0) {
        panes.dlgPrjVw = nullptr;
        tree->deleteLater();
        platform::MsgBox("The MSCOMCTL.OCX Control could not be found.", platform::vbCritical,
                         "Unable to load Project View Window");
        return;
    }
    // Built once here: the window's first activation then finds it built.
    tree->SyncTreeView(page.szCurrentKey);
    Form_Resize();
}

}  // namespace viewer
