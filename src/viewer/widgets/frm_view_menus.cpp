// The "&File" menu and the display options it carries.

#include <QMenu>
#include <QMenuBar>

#include <algorithm>

#include "foundation/widgets/common_dialogs.h"
#include "platform/prompts.h"
#include "viewer/widgets/frm_view.h"

namespace viewer {
namespace {

QAction* Entry(QMenu* menu, const char* caption, bool checkable = false) {
    QAction* a = menu->addAction(QString::fromLatin1(caption));
    a->setCheckable(checkable);
    return a;
}

}  // namespace

std::string CleanRedactionLabel(const std::string& answer) {
    std::string label;
    for (char c : answer) {
        if (static_cast<unsigned char>(c) >= 32) label += c;
    }
    const size_t first = label.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    return label.substr(first, label.find_last_not_of(' ') - first + 1);
}

void frmView::BuildMenus() {
    // The handlers own the check marks; a click must not flip them first.
    auto on = [this](QAction* a, auto handler) {
        connect(a, &QAction::triggered, this, [this, a, handler] {
            if (a->isCheckable()) a->setChecked(!a->isChecked());
            (this->*handler)();
        });
    };

    mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    mnuLogin = Entry(mnuFile, "&Login ...");
    on(mnuLogin, &frmView::mnuLogin_Click);
    mnu_project = Entry(mnuFile, "&Select Project ...");
    on(mnu_project, &frmView::mnu_project_Click);
    mnuFile->addSeparator();

    QMenu* mnuDefaults = mnuFile->addMenu(QStringLiteral("P&references"));
    QMenu* mnuquality = mnuDefaults->addMenu(QStringLiteral("&Image View Quality"));
    mnuQualityLow = Entry(mnuquality, "&Low Quality", true);
    on(mnuQualityLow, &frmView::mnuQualityLow_Click);
    mnuQualityMedium = Entry(mnuquality, "&Medium Quality", true);
    on(mnuQualityMedium, &frmView::mnuQualityMedium_Click);
    mnuQualityHigh = Entry(mnuquality, "&High Quality", true);
    on(mnuQualityHigh, &frmView::mnuQualityHigh_Click);

    QMenu* mnuFonts = mnuDefaults->addMenu(QStringLiteral("&Annotation Fonts/Colors"));
    mnuHilitColor = Entry(mnuFonts, "&Hilight Color");
    on(mnuHilitColor, &frmView::mnuHilitColor_Click);
    mnuMarkUpColor = Entry(mnuFonts, "&MarkUp Color");
    on(mnuMarkUpColor, &frmView::mnuMarkUpColor_Click);
    mnuAnnotFont = Entry(mnuFonts, "&Annotation Font");
    on(mnuAnnotFont, &frmView::mnuAnnotFont_Click);
    mnuRedactColor = Entry(mnuFonts, "&Redaction Color");
    on(mnuRedactColor, &frmView::mnuRedactColor_Click);
    mnuRedactFont = Entry(mnuFonts, "Redaction &Font");
    on(mnuRedactFont, &frmView::mnuRedactFont_Click);
    mnuRedactLabel = Entry(mnuFonts, "Redaction &Label");
    on(mnuRedactLabel, &frmView::mnuRedactLabel_Click);
    mnuFonts->addSeparator();
    QMenu* mnuRedFillStyle = mnuFonts->addMenu(QStringLiteral("Redaction Fill &Style"));
    const char* fills[] = {"&Solid", "&Transparent", "&CrossHatch"};
    for (std::int16_t i = 0; i < 3; ++i) {
        QAction* a = Entry(mnuRedFillStyle, fills[i], true);
        mnuRedStyle[static_cast<size_t>(i)] = a;
        connect(a, &QAction::triggered, this, [this, a, i] {
            a->setChecked(!a->isChecked());
            std::int16_t index = i;
            mnuRedStyle_Click(index);
        });
    }

    QMenu* mnuStatus = mnuDefaults->addMenu(QStringLiteral("&Status Line"));
    mnuStsImgKey = Entry(mnuStatus, "Display Image &Key Only", true);
    on(mnuStsImgKey, &frmView::mnuStsImgKey_Click);
    mnuStsDocCnt = Entry(mnuStatus, "Display &Document Page Count", true);
    on(mnuStsDocCnt, &frmView::mnuStsDocCnt_Click);
    mnuStsFullPos = Entry(mnuStatus, "Display Full &Boundary Position", true);
    on(mnuStsFullPos, &frmView::mnuStsFullPos_Click);
    mnuStatus->addSeparator();
    mnuStsFldrDesc = Entry(mnuStatus, "Display &Folder Descriptions", true);
    on(mnuStsFldrDesc, &frmView::mnuStsFldrDesc_Click);
    mnuStsTags = Entry(mnuStatus, "Display Issue &Tags", true);
    on(mnuStsTags, &frmView::mnuStsTags_Click);
    mnuStsInfoOnly = Entry(mnuStatus, "Display &Info Only", true);
    on(mnuStsInfoOnly, &frmView::mnuStsInfoOnly_Click);
    mnuStsDate = Entry(mnuStatus, "Display Doc D&ate", true);
    on(mnuStsDate, &frmView::mnuStsDate_Click);
    mnuStatus->addSeparator();
    QMenu* mnudt = mnuStatus->addMenu(QStringLiteral("Date Display For&mat"));
    const char* formats[] = {"yyyymmdd", "mm/dd/yyyy", "yyyy/mm/dd", "dd/mm/yyyy"};
    for (std::int16_t i = 0; i < 4; ++i) {
        QAction* a = Entry(mnudt, formats[i], true);
        mnuDtFmt[static_cast<size_t>(i)] = a;
        connect(a, &QAction::triggered, this, [this, a, i] {
            a->setChecked(!a->isChecked());
            std::int16_t index = i;
            mnuDtFmt_Click(index);
        });
    }

    mnuStickyRotate = Entry(mnuDefaults, "Sticky &Rotate", true);
    on(mnuStickyRotate, &frmView::mnuStickyRotate_Click);
    mnuUseTextBox = Entry(mnuDefaults, "&Use Textbox for Placeholder Images", true);
    on(mnuUseTextBox, &frmView::mnuUseTextBox_Click);
    cmdUseNative = Entry(mnuDefaults, "Use &Native Application for Original File View", true);
    on(cmdUseNative, &frmView::cmdUseNative_Click);
    mnuLink = Entry(mnuDefaults, "&Database Link", true);
    mnuLink->setEnabled(false);

    mnuFile->addSeparator();
    mnuPrint = Entry(mnuFile, "&Print ...");
    on(mnuPrint, &frmView::mnuPrint_Click);
    mnuFile->addSeparator();
    mnuAbout = Entry(mnuFile, "&About ...");
    on(mnuAbout, &frmView::mnuAbout_Click);
    mnuFile->addSeparator();
    mnuExit = Entry(mnuFile, "E&xit");
    on(mnuExit, &frmView::mnuExit_Click);
}

void frmView::CheckQuality() {
    mnuQualityLow->setChecked(settings.g_ViewQuality == 1);
    mnuQualityMedium->setChecked(settings.g_ViewQuality == 2);
    mnuQualityHigh->setChecked(settings.g_ViewQuality != 1 && settings.g_ViewQuality != 2);
}

void frmView::ChooseQuality(std::int16_t quality) {
    if (RefuseWhileBusy()) return;
    const bool changed = settings.g_ViewQuality != quality;
    settings.g_ViewQuality = quality;
    CheckQuality();
    if (changed && !page.szCurrentKey.empty()) DisplayImage(page.szCurrentKey);
}

void frmView::mnuQualityHigh_Click() {
    ChooseQuality(0);
}
void frmView::mnuQualityLow_Click() {
    ChooseQuality(1);
}
void frmView::mnuQualityMedium_Click() {
    ChooseQuality(2);
}

void frmView::mnuHilitColor_Click() {
    auto color = static_cast<std::uint32_t>(settings.DfltHiLiteColor);
    if (mComDlg::ShowColorDialog(this, color))
        settings.DfltHiLiteColor = static_cast<std::int32_t>(color);
}

void frmView::mnuMarkUpColor_Click() {
    auto color = static_cast<std::uint32_t>(settings.DfltMarkUpColor);
    if (mComDlg::ShowColorDialog(this, color))
        settings.DfltMarkUpColor = static_cast<std::int32_t>(color);
}

void frmView::mnuRedactColor_Click() {
    auto color = static_cast<std::uint32_t>(settings.DfltRedactColor);
    if (mComDlg::ShowColorDialog(this, color))
        settings.DfltRedactColor = static_cast<std::int32_t>(color);
}

void frmView::mnuAnnotFont_Click() {
    int size = settings.DfltAnnotFontSize, style = settings.DfltAnnotFontStyle;
    auto color = static_cast<std::uint32_t>(settings.DfltAnnotFontColor);
    mComDlg::ShowFontDialog(this, settings.DfltAnnotFont, size, style, color);
    settings.DfltAnnotFontSize = size;
    settings.DfltAnnotFontStyle = style;
    settings.DfltAnnotFontColor = static_cast<std::int32_t>(color);
}

void frmView::mnuRedactFont_Click() {
    int size = settings.DfltRedactFontSize, style = settings.DfltRedactFontStyle;
    auto color = static_cast<std::uint32_t>(settings.DfltRedactFontColor);
    mComDlg::ShowFontDialog(this, settings.DfltRedactFont, size, style, color);
    settings.DfltRedactFontSize = size;
    settings.DfltRedactFontStyle = style;
    settings.DfltRedactFontColor = static_cast<std::int32_t>(color);
}

void frmView::mnuRedactLabel_Click() {
    std::string prompt = "Enter Redaction Label.";
    if (!settings.DfltRedactLabel.empty()) prompt += "\nTo Delete Current Label, Enter a SPACE.";
    const std::string answer = platform::InputBox(prompt, " ", settings.DfltRedactLabel);
    if (!answer.empty()) settings.DfltRedactLabel = CleanRedactionLabel(answer);
}

void frmView::mnuRedStyle_Click(std::int16_t& Index) {
    if (run.MainFormLoaded == 1 && RefuseWhileBusy()) return;
    if (Index < 0 || Index > 2) Index = 0;
    const std::int16_t old = settings.RedactFill;
    settings.RedactFill = Index;
    for (size_t i = 0; i < mnuRedStyle.size(); ++i) {
        mnuRedStyle[i]->setChecked(static_cast<int>(i) == Index);
    }
    if (page.g_ValidImage != 0 && old != settings.RedactFill) RedisplayImage();
}

void frmView::mnuDtFmt_Click(std::int16_t& Index) {
    if (Index < 0 || Index > 3) Index = 0;
    settings.DateFormat = Index;
    for (size_t i = 0; i < mnuDtFmt.size(); ++i) {
        mnuDtFmt[i]->setChecked(static_cast<int>(i) == Index);
    }
}

void frmView::SetStatusPosition(std::int16_t mode) {
    settings.g_CalcDocPsn = mode;
    mnuStsImgKey->setChecked(mode == 0);
    mnuStsDocCnt->setChecked(mode == 1);
    mnuStsFullPos->setChecked(mode == 2);
    // The bounds stay (a limited user navigates by them); the next page
    // display computes them afresh.
    docPosition.g_DocBoundsStale = true;
}

void frmView::mnuStsImgKey_Click() {
    SetStatusPosition(0);
}
void frmView::mnuStsDocCnt_Click() {
    SetStatusPosition(1);
}
void frmView::mnuStsFullPos_Click() {
    SetStatusPosition(2);
}

void frmView::ToggleStatusBit(QAction* entry, std::int16_t bit) {
    if (RefuseWhileBusy()) return;
    const std::int16_t old = settings.g_StatusLine;
    if (entry->isChecked()) {
        entry->setChecked(false);
        if ((settings.g_StatusLine & bit) != 0)
            settings.g_StatusLine = static_cast<std::int16_t>(settings.g_StatusLine - bit);
    } else {
        entry->setChecked(true);
        if ((settings.g_StatusLine & bit) == 0)
            settings.g_StatusLine = static_cast<std::int16_t>(settings.g_StatusLine + bit);
    }
    if ((old == 0) != (settings.g_StatusLine == 0)) Form_Resize();
}

void frmView::mnuStsFldrDesc_Click() {
    ToggleStatusBit(mnuStsFldrDesc, 1);
}
void frmView::mnuStsTags_Click() {
    ToggleStatusBit(mnuStsTags, 2);
}
void frmView::mnuStsInfoOnly_Click() {
    ToggleStatusBit(mnuStsInfoOnly, 4);
}
void frmView::mnuStsDate_Click() {
    ToggleStatusBit(mnuStsDate, 8);
}

void frmView::mnuStickyRotate_Click() {
    settings.StickyRotate = !settings.StickyRotate;
    mnuStickyRotate->setChecked(settings.StickyRotate);
    if (settings.StickyRotate)
        settings.g_StickyRotation = static_cast<std::int16_t>(page.g_Rotation);
}

void frmView::mnuUseTextBox_Click() {
    if (RefuseWhileBusy()) return;
    settings.UseTextBox = !settings.UseTextBox;
    mnuUseTextBox->setChecked(settings.UseTextBox);
    if (page.g_ValidImage > 0) DisplayImage(page.szCurrentKey);
}

void frmView::cmdUseNative_Click() {
    settings.g_UseNativeAppView = settings.g_UseNativeAppView != 0 ? 0 : 1;
    cmdUseNative->setChecked(settings.g_UseNativeAppView != 0);
}

void frmView::mnuPrint_Click() {
    Tbar_Click(1);
}

void frmView::Tbar_Click(int Index) {
    if (RefuseWhileBusy()) return;
    if (Index == 1) PrintSelection();
    if (Index == 3 || Index == 4) {
        if (query.Query_Active > 0) CloseQueryPane();
        if (Index == 3) OpenTagQuery();
        if (Index == 4) RunSearch();
    }
}

}  // namespace viewer
