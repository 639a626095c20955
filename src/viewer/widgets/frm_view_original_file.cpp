// The page's original file: in the original-file window or in the desktop's
// program for it.

#include <QApplication>

#include "viewer/widgets/frm_native.h"
#include "viewer/widgets/frm_view.h"

namespace viewer {

void frmView::DisplayOriginalFile() {
    if (page.g_szNativeFile.empty()) return;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    BlockInput();
    if (settings.g_UseNativeAppView != 0) {
        UnloadNativeForm();
        Session().ExecuteOriginalFile(page.szCurrentKey, page.g_szNativeFile);
    } else {
        if (gNativeForm == nullptr) {
            gNativeForm = new frmNative(this);
            gNativeForm->Form_Load();
            gNativeForm->MainForm = this;
            gNativeForm->show();
        }
        gNativeForm->DisplayImage(page.g_szNativeFile, 1, 1);
    }
    QApplication::restoreOverrideCursor();
    UnblockInput();
}

}  // namespace viewer
