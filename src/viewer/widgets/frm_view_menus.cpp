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

    ui.mnuFile = menuBar()->addMenu(QStringLiteral("&File"));
    ui.mnuLogin = Entry(ui.mnuFile, "&Login ...");
    on(ui.mnuLogin, &frmView::mnuLogin_Click);
    ui.mnu_project = Entry(ui.mnuFile, "&Select Project ...");
    on(ui.mnu_project, &frmView::mnu_project_Click);
    ui.mnuFile->addSeparator();

    QMenu* mnuDefaults = ui.mnuFile->addMenu(QStringLiteral("P&references"));
    QMenu* mnuquality = mnuDefaults->addMenu(QStringLiteral("&Image View Quality"));
    ui.mnuQualityLow = Entry(mnuquality, "&Low Quality", true);
    on(ui.mnuQualityLow, &frmView::mnuQualityLow_Click);
    ui.mnuQualityMedium = Entry(mnuquality, "&Medium Quality", true);
    on(ui.mnuQualityMedium, &frmView::mnuQualityMedium_Click);
    ui.mnuQualityHigh = Entry(mnuquality, "&High Quality", true);
    on(ui.mnuQualityHigh, &frmView::mnuQualityHigh_Click);

    QMenu* mnuFonts = mnuDefaults->addMenu(QStringLiteral("&Annotation Fonts/Colors"));
    ui.mnuHilitColor = Entry(mnuFonts, "&Hilight Color");
    on(ui.mnuHilitColor, &frmView::mnuHilitColor_Click);
    ui.mnuMarkUpColor = Entry(mnuFonts, "&MarkUp Color");
    on(ui.mnuMarkUpColor, &frmView::mnuMarkUpColor_Click);
    ui.mnuAnnotFont = Entry(mnuFonts, "&Annotation Font");
    on(ui.mnuAnnotFont, &frmView::mnuAnnotFont_Click);
    ui.mnuRedactColor = Entry(mnuFonts, "&Redaction Color");
    on(ui.mnuRedactColor, &frmView::mnuRedactColor_Click);
    ui.mnuRedactFont = Entry(mnuFonts, "Redaction &Font");
    on(ui.mnuRedactFont, &frmView::mnuRedactFont_Click);
    ui.mnuRedactLabel = Entry(mnuFonts, "Redaction &Label");
    on(ui.mnuRedactLabel, &frmView::mnuRedactLabel_Click);
    mnuFonts->addSeparator();
    QMenu* mnuRedFillStyle = mnuFonts->addMenu(QStringLiteral("Redaction Fill &Style"));
    const char* fills[] = {"&Solid", "&Transparent", "&CrossHatch"};
    for (std::int16_t i = 0; i < 3; ++i) {
        QAction* a = Entry(mnuRedFillStyle, fills[i], true);
        ui.mnuRedStyle[static_cast<size_t>(i)] = a;
        connect(a, &QAction::triggered, this, [this, a, i] {
            a->setChecked(!a->isChecked());
            std::int16_t index = i;
            mnuRedStyle_Click(index);
        });
    }

    QMenu* mnuStatus = mnuDefaults->addMenu(QStringLiteral("&Status Line"));
    ui.mnuStsImgKey = Entry(mnuStatus, "Display Image &Key Only", true);
    on(ui.mnuStsImgKey, &frmView::mnuStsImgKey_Click);
    ui.mnuStsDocCnt = Entry(mnuStatus, "Display &Document Page Count", true);
    on(ui.mnuStsDocCnt, &frmView::mnuStsDocCnt_Click);
    ui.mnuStsFullPos = Entry(mnuStatus, "Display Full &Boundary Position", true);
    on(ui.mnuStsFullPos, &frmView::mnuStsFullPos_Click);
    mnuStatus->addSeparator();
    ui.mnuStsFldrDesc = Entry(mnuStatus, "Display &Folder Descriptions", true);
    on(ui.mnuStsFldrDesc, &frmView::mnuStsFldrDesc_Click);
    ui.mnuStsTags = Entry(mnuStatus, "Display Issue &Tags", true);
    on(ui.mnuStsTags, &frmView::mnuStsTags_Click);
    ui.mnuStsInfoOnly = Entry(mnuStatus, "Display &Info Only", true);
    on(ui.mnuStsInfoOnly, &frmView::mnuStsInfoOnly_Click);
    ui.mnuStsDate = Entry(mnuStatus, "Display Doc D&ate", true);
    on(ui.mnuStsDate, &frmView::mnuStsDate_Click);
    mnuStatus->addSeparator();
    QMenu* mnudt = mnuStatus->addMenu(QStringLiteral("Date Display For&mat"));
    const char* formats[] = {"yyyymmdd", "mm/dd/yyyy", "yyyy/mm/dd", "dd/mm/yyyy"};
    for (std::int16_t i = 0; i < 4; ++i) {
        QAction* a = Entry(mnudt, formats[i], true);
        ui.mnuDtFmt[static_cast<size_t>(i)] = a;
        connect(a, &QAction::triggered, this, [this, a, i] {
            a->setChecked(!a->isChecked());
            std::int16_t index = i;
            mnuDtFmt_Click(index);
        });
    }

    ui.mnuStickyRotate = Entry(mnuDefaults, "Sticky &Rotate", true);
    on(ui.mnuStickyRotate, &frmView::mnuStickyRotate_Click);
    ui.mnuUseTextBox = Entry(mnuDefaults, "&Use Textbox for Placeholder Images", true);
    on(ui.mnuUseTextBox, &frmView::mnuUseTextBox_Click);
    ui.cmdUseNative = Entry(mnuDefaults, "Use &Native Application for Original File View", true);
    on(ui.cmdUseNative, &frmView::cmdUseNative_Click);
    ui.mnuLink = Entry(mnuDefaults, "&Database Link", true);
    ui.mnuLink->setEnabled(false);

    ui.mnuFile->addSeparator();
    ui.mnuPrint = Entry(ui.mnuFile, "&Print ...");
    on(ui.mnuPrint, &frmView::mnuPrint_Click);
    ui.mnuFile->addSeparator();
    ui.mnuAbout = Entry(ui.mnuFile, "&About ...");
    on(ui.mnuAbout, &frmView::mnuAbout_Click);
    ui.mnuFile->addSeparator();
    ui.mnuExit = Entry(ui.mnuFile, "E&xit");
    on(ui.mnuExit, &frmView::mnuExit_Click);
}

void frmView::CheckQuality() {
    ui.mnuQualityLow->setChecked(settings.g_ViewQuality == 1);
    ui.mnuQualityMedium->setChecked(settings.g_ViewQuality == 2);
    ui.mnuQualityHigh->setChecked(settings.g_ViewQuality != 1 && settings.g_ViewQuality != 2);
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
    for (size_t i = 0; i < ui.mnuRedStyle.size(); ++i) {
        ui.mnuRedStyle[i]->setChecked(static_cast<int>(i) == Index);
    }
    if (page.g_ValidImage != 0 && old != settings.RedactFill) RedisplayImage();
}

void frmView::mnuDtFmt_Click(std::int16_t& Index) {
    if (Index < 0 || Index > 3) Index = 0;
    settings.DateFormat = Index;
    for (size_t i = 0; i < ui.mnuDtFmt.size(); ++i) {
        ui.mnuDtFmt[i]->setChecked(static_cast<int>(i) == Index);
    }
}

void frmView::SetStatusPosition(std::int16_t mode) {
    settings.g_CalcDocPsn = mode;
    ui.mnuStsImgKey->setChecked(mode == 0);
    ui.mnuStsDocCnt->setChecked(mode == 1);
    ui.mnuStsFullPos->setChecked(mode == 2);
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
    ToggleStatusBit(ui.mnuStsFldrDesc, 1);
}
void frmView::mnuStsTags_Click() {
    ToggleStatusBit(ui.mnuStsTags, 2);
}
void frmView::mnuStsInfoOnly_Click() {
    ToggleStatusBit(ui.mnuStsInfoOnly, 4);
}
void frmView::mnuStsDate_Click() {
    ToggleStatusBit(ui.mnuStsDate, 8);
}

void frmView::mnuStickyRotate_Click() {
    settings.StickyRotate = !settings.StickyRotate;
    ui.mnuStickyRotate->setChecked(settings.StickyRotate);
    if (settings.StickyRotate)
        settings.g_StickyRotation = static_cast<std::int16_t>(page.g_Rotation);
}

void frmView::mnuUseTextBox_Click() {
    if (RefuseWhileBusy()) return;
    settings.UseTextBox = !settings.UseTextBox;
    ui.mnuUseTextBox->setChecked(settings.UseTextBox);
    if (page.g_ValidImage > 0) DisplayImage(page.szCurrentKey);
}

void frmView::cmdUseNative_Click() {
    settings.g_UseNativeAppView = settings.g_UseNativeAppView != 0 ? 0 : 1;
    ui.cmdUseNative->setChecked(settings.g_UseNativeAppView != 0);
}

void frmView::mnuPrint_Click() {
    Tbar_Click(1);
}

}  // namespace viewer
