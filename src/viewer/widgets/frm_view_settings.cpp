// The per-user display options and annotation defaults, and their check marks.

#include <QAction>

#include "annotations/annotation_settings.h"
#include "viewer/widgets/frm_view.h"

namespace viewer {

void frmView::LoadAnnotationDefaults() {
    settings = annotations::LoadAnnotationSettings();
    // Every run starts with the sticky rotation off.
    settings.StickyRotate = false;
    settings.g_StickyRotation = 0;

    CheckQuality();
    if (settings.DateFormat < 0 || settings.DateFormat > 3) settings.DateFormat = 0;
    mnuDtFmt_Click(settings.DateFormat);
    mnuRedStyle_Click(settings.RedactFill);
    if (settings.g_CalcDocPsn != 1 && settings.g_CalcDocPsn != 2) settings.g_CalcDocPsn = 0;
    ui.mnuStsImgKey->setChecked(settings.g_CalcDocPsn == 0);
    ui.mnuStsDocCnt->setChecked(settings.g_CalcDocPsn == 1);
    ui.mnuStsFullPos->setChecked(settings.g_CalcDocPsn == 2);
    if ((settings.g_StatusLine & 1) != 0) ui.mnuStsFldrDesc->setChecked(true);
    if ((settings.g_StatusLine & 2) != 0) ui.mnuStsTags->setChecked(true);
    if ((settings.g_StatusLine & 4) != 0) ui.mnuStsInfoOnly->setChecked(true);
    if ((settings.g_StatusLine & 8) != 0) ui.mnuStsDate->setChecked(true);
    if (settings.g_UseNativeAppView != 0) ui.cmdUseNative->setChecked(true);
}

void frmView::SaveAnnotationDefaults() {
    annotations::SaveAnnotationSettings(settings);
}

}  // namespace viewer
