// The per-user display options and annotation defaults, and their check marks.

#include <QAction>

#include "annotations/annotation_settings.h"
#include "viewer/widgets/frm_view.h"

namespace viewer {

void frmView::LoadAnnotationDefaults() {
    const annotations::AnnotationSettings s = annotations::LoadAnnotationSettings();
    DfltRedactFont = s.DfltRedactFont;
    DfltRedactColor = s.DfltRedactColor;
    DfltRedactFontColor = s.DfltRedactFontColor;
    DfltRedactFontSize = s.DfltRedactFontSize;
    DfltRedactFontStyle = s.DfltRedactFontStyle;
    DfltRedactLabel = s.DfltRedactLabel;
    DfltMarkUpSize = s.DfltMarkUpSize;
    DfltMarkUpColor = s.DfltMarkUpColor;
    DfltHiLiteColor = s.DfltHiLiteColor;
    DfltAnnotFont = s.DfltAnnotFont;
    DfltAnnotFontColor = s.DfltAnnotFontColor;
    DfltAnnotFontSize = s.DfltAnnotFontSize;
    DfltAnnotFontStyle = s.DfltAnnotFontStyle;
    g_ViewQuality = s.g_ViewQuality;
    g_CalcDocPsn = s.g_CalcDocPsn;
    g_StatusLine = s.g_StatusLine;
    DateFormat = s.DateFormat;
    RedactFill = s.RedactFill;
    UseTextBox = s.UseTextBox;
    g_UseNativeAppView = s.g_UseNativeAppView;
    StickyRotate = false;
    g_StickyRotation = 0;
    QuesterMaxItems = s.QuesterMaxItems;
    SpellCheck = s.SpellCheck;

    CheckQuality();
    if (DateFormat < 0 || DateFormat > 3) DateFormat = 0;
    mnuDtFmt_Click(DateFormat);
    mnuRedStyle_Click(RedactFill);
    if (g_CalcDocPsn != 1 && g_CalcDocPsn != 2) g_CalcDocPsn = 0;
    mnuStsImgKey->setChecked(g_CalcDocPsn == 0);
    mnuStsDocCnt->setChecked(g_CalcDocPsn == 1);
    mnuStsFullPos->setChecked(g_CalcDocPsn == 2);
    if ((g_StatusLine & 1) != 0) mnuStsFldrDesc->setChecked(true);
    if ((g_StatusLine & 2) != 0) mnuStsTags->setChecked(true);
    if ((g_StatusLine & 4) != 0) mnuStsInfoOnly->setChecked(true);
    if ((g_StatusLine & 8) != 0) mnuStsDate->setChecked(true);
    if (g_UseNativeAppView != 0) cmdUseNative->setChecked(true);
}

void frmView::SaveAnnotationDefaults() {
    annotations::AnnotationSettings s;
    s.DfltRedactFont = DfltRedactFont;
    s.DfltRedactColor = DfltRedactColor;
    s.DfltRedactFontColor = DfltRedactFontColor;
    s.DfltRedactFontSize = DfltRedactFontSize;
    s.DfltRedactFontStyle = DfltRedactFontStyle;
    s.DfltRedactLabel = DfltRedactLabel;
    s.DfltMarkUpSize = DfltMarkUpSize;
    s.DfltMarkUpColor = DfltMarkUpColor;
    s.DfltHiLiteColor = DfltHiLiteColor;
    s.DfltAnnotFont = DfltAnnotFont;
    s.DfltAnnotFontColor = DfltAnnotFontColor;
    s.DfltAnnotFontSize = DfltAnnotFontSize;
    s.DfltAnnotFontStyle = DfltAnnotFontStyle;
    s.g_ViewQuality = g_ViewQuality;
    s.g_CalcDocPsn = g_CalcDocPsn;
    s.g_StatusLine = g_StatusLine;
    s.DateFormat = DateFormat;
    s.RedactFill = RedactFill;
    s.UseTextBox = UseTextBox;
    s.g_UseNativeAppView = g_UseNativeAppView;
    s.StickyRotate = StickyRotate;
    s.g_StickyRotation = static_cast<std::int16_t>(g_StickyRotation);
    s.QuesterMaxItems = QuesterMaxItems;
    s.SpellCheck = SpellCheck;
    annotations::SaveAnnotationSettings(s);
}

}  // namespace viewer
