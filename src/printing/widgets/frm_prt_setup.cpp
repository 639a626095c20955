#include "printing/widgets/frm_prt_setup.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include <algorithm>

#include "foundation/fields.h"
#include "foundation/number_text.h"
#include "foundation/widgets/common_dialogs.h"
#include "foundation/widgets/dialog_factory.h"
#include "platform/draw_surface.h"
#include "platform/prompts.h"
#include "platform/rounding.h"
#include "platform/settings_store.h"
#include "platform/text_codec.h"
#include "platform/wire_separators.h"
#include "printing/gdi_prn.h"
#include "printing/printer_bins.h"
#include "printing/widgets/frm_prt_key.h"

namespace {

const std::string kSep(1, wire::kListSep);
const char* const kClipEntries[17] = {"NONE", "1/16",  "1/8", "3/16",  "1/4", "5/16",
                                      "3/8",  "7/16",  "1/2", "9/16",  "5/8", "11/16",
                                      "3/4",  "13/16", "7/8", "15/16", "1 \""};

int FontSize(std::int32_t size) {
    return std::clamp<std::int32_t>(size, 6, 48);
}

}  // namespace

frmPrtSetup::frmPrtSetup(QWidget* parent) : FormDialog(parent) {
    setWindowTitle("Print Settings");
    setModal(true);
    auto* scaling = new QGroupBox("Image Scaling Options", this);
    auto* scalingRows = new QVBoxLayout(scaling);
    chkLandscape = new QCheckBox("Support Landscape Message", scaling);
    chkEnlarge = new QCheckBox("Enlarge Small Images", scaling);
    chkXscale = new QCheckBox("Maximize Horizontal Scale", scaling);
    for (QCheckBox* c : {chkLandscape, chkEnlarge, chkXscale}) scalingRows->addWidget(c);

    auto* clips = new QGroupBox("Image Clipping Values (in 1/16th inch increments)", this);
    auto* clipGrid = new QGridLayout(clips);
    auto* margins = new QGroupBox("Image Margin Values", this);
    auto* marginGrid = new QGridLayout(margins);
    const char* labels[6] = {"Top:", "Bottom:", "Left:", "Right:", "Left Margin:", "Top Margin:"};
    for (int i = 0; i < 6; ++i) {
        auto* box = new QComboBox(i < 4 ? clips : margins);
        for (const char* entry : kClipEntries) box->addItem(entry);
        cboSize[static_cast<size_t>(i)] = box;
        QGridLayout* grid = i < 4 ? clipGrid : marginGrid;
        const int slot = i < 4 ? i : i - 4;
        grid->addWidget(new QLabel(labels[i]), slot / 2, (slot % 2) * 2);
        grid->addWidget(box, slot / 2, (slot % 2) * 2 + 1);
    }

    auto* sizes = new QGroupBox("Image/Paper Size", this);
    auto* sizeRows = new QVBoxLayout(sizes);
    const char* sizeNames[3] = {"Letter Size Paper Only", "Toggle Letter/Legal for Best Fit",
                                "Toggle Letter/Legal and Oversize"};
    for (int i = 0; i < 3; ++i) {
        optSize[static_cast<size_t>(i)] = new QRadioButton(sizeNames[i], sizes);
        sizeRows->addWidget(optSize[static_cast<size_t>(i)]);
    }

    auto* fonts = new QGroupBox("Font Style", this);
    auto* fontGrid = new QGridLayout(fonts);
    lblKeyFont = new QLabel(fonts);
    lblKeySize = new QLabel(fonts);
    lblMsgFont = new QLabel(fonts);
    lblMsgSize = new QLabel(fonts);
    cmdKeyFont[0] = new QPushButton("Select", fonts);
    cmdKeyFont[1] = new QPushButton("Select", fonts);
    fontGrid->addWidget(new QLabel("Image Key:"), 0, 0);
    fontGrid->addWidget(lblKeyFont, 0, 1);
    fontGrid->addWidget(new QLabel("Size:"), 0, 2);
    fontGrid->addWidget(lblKeySize, 0, 3);
    fontGrid->addWidget(cmdKeyFont[0], 0, 4);
    fontGrid->addWidget(new QLabel("Message:"), 1, 0);
    fontGrid->addWidget(lblMsgFont, 1, 1);
    fontGrid->addWidget(new QLabel("Size:"), 1, 2);
    fontGrid->addWidget(lblMsgSize, 1, 3);
    fontGrid->addWidget(cmdKeyFont[1], 1, 4);
    for (int i = 0; i < 2; ++i)
        connect(cmdKeyFont[static_cast<size_t>(i)], &QPushButton::clicked, this,
                [this, i] { cmdKeyFont_Click(i); });

    chkBarCode = new QCheckBox("Use BAR CODE for Image Key", this);
    cmd_placekey = new QPushButton("Select &Key Placement", this);
    connect(cmd_placekey, &QPushButton::clicked, this, [this] { cmd_placekey_Click(); });

    fraSlip = new QGroupBox("Slip Sheet Tray (Letter Only)", this);
    auto* slipRow = new QHBoxLayout(fraSlip);
    cboSlip = new QComboBox(fraSlip);
    cmdTestPage = new QPushButton("Test Slip", fraSlip);
    slipRow->addWidget(cboSlip, 1);
    slipRow->addWidget(cmdTestPage);
    connect(cmdTestPage, &QPushButton::clicked, this, [this] { cmdTestPage_Click(); });

    cmdOK = new QPushButton("&OK", this);
    cmdCancel = new QPushButton("&Cancel", this);
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });

    auto* layout = new QGridLayout(this);
    layout->addWidget(scaling, 0, 0);
    layout->addWidget(sizes, 0, 1);
    layout->addWidget(clips, 1, 0);
    layout->addWidget(margins, 1, 1);
    layout->addWidget(fonts, 2, 0, 1, 2);
    layout->addWidget(chkBarCode, 3, 0);
    layout->addWidget(cmd_placekey, 3, 1);
    layout->addWidget(fraSlip, 4, 0, 1, 2);
    layout->addLayout(ButtonRow(cmdOK, cmdCancel), 5, 0, 1, 2);
}

void frmPrtSetup::FillClipCombo(std::int32_t value, int index) {
    int entry = value;
    // Larger values are pixels at 300 dpi, as older settings stored them.
    if (value > 16) entry = std::min(platform::RoundToInt(value / 18.75 + 0.5), 16);
    if (value < 0) entry = 0;
    cboSize[static_cast<size_t>(index)]->setCurrentIndex(entry);
}

void frmPrtSetup::Form_Load() {
    cGdiPrn& e = *Viewer.engine;
    binNames_.clear();
    binNumbers_.clear();
    binCount_ = 0;
    const std::int32_t clips[6] = {e.TopClip(),   e.BottomClip(), e.LeftClip(),
                                   e.RightClip(), e.LeftMargin(), e.TopMargin()};
    for (int i = 0; i < 6; ++i) FillClipCombo(clips[i], i);
    chkXscale->setChecked(e.MaxHorzScale());
    chkEnlarge->setChecked(e.EnlargeSmallImages());
    chkLandscape->setChecked(e.AllowLandscapeBatesMsg());
    chkBarCode->setChecked(e.UseBarCode());
    const std::int32_t sizes = e.SupportedSizes();
    optSize[sizes == 1 ? 1 : sizes == 2 ? 2 : 0]->setChecked(true);
    lblKeyFont->setText(platform::ToQString(e.KeyFontName().empty() ? "Arial" : e.KeyFontName()));
    lblMsgFont->setText(platform::ToQString(e.MsgFontName().empty() ? "Arial" : e.MsgFontName()));
    lblKeySize->setText(QString::number(FontSize(e.KeyFontSize())));
    lblMsgSize->setText(QString::number(FontSize(e.MsgFontSize())));

    const printing::PrintChoices& c = *Viewer.choices;
    if (c.g_PrinterType == 1) {
        fraSlip->setEnabled(false);
        return;
    }
    binCount_ =
        TalqClientAPI_Header::GetPrinterBinList(c.PrintLocalPrinter, binNames_, binNumbers_);
    if (binCount_ <= 0) {
        fraSlip->setEnabled(false);
        e.SlipSheetPaperTray(0);
        return;
    }
    cboSlip->addItem("NONE - Same as Letter");
    int chosen = 0;
    for (int i = 1; i <= binCount_; ++i) {
        cboSlip->addItem(platform::ToQString(mVBUtil::GetField(kSep, binNames_, i)));
        if (mVBUtil::Val(mVBUtil::GetField(kSep, binNumbers_, i)) == e.SlipSheetPaperTray())
            chosen = chosen == 0 ? i : chosen;
    }
    cboSlip->setCurrentIndex(chosen);
}

std::int16_t frmPrtSetup::ChosenSlipBin() const {
    const int entry = cboSlip->currentIndex();
    if (entry <= 0) return 0;
    return static_cast<std::int16_t>(mVBUtil::Val(mVBUtil::GetField(kSep, binNumbers_, entry)));
}

void frmPrtSetup::cmdKeyFont_Click(int Index) {
    cGdiPrn& e = *Viewer.engine;
    QLabel* faceLabel = Index == 0 ? lblKeyFont : lblMsgFont;
    QLabel* sizeLabel = Index == 0 ? lblKeySize : lblMsgSize;
    std::string face = platform::FromQString(faceLabel->text());
    int size = static_cast<int>(mVBUtil::Val(platform::FromQString(sizeLabel->text())));
    const bool bold = Index == 0 ? e.KeyFontBold() : e.MsgFontBold();
    const bool italic = Index == 0 ? e.KeyFontItalic() : e.MsgFontItalic();
    const bool underline = Index == 0 ? e.KeyFontUnderline() : e.MsgFontUnderline();
    int style = (bold ? 8 : 0) | (italic ? 4 : 0) | (underline ? 16 : 0);
    std::uint32_t color =
        static_cast<std::uint32_t>(Index == 0 ? e.KeyFontColor() : e.MsgFontColor());
    if (!mComDlg::ShowFontDialog(this, face, size, style, color)) return;
    size = FontSize(size);
    faceLabel->setText(platform::ToQString(face));
    sizeLabel->setText(QString::number(size));
    if (Index == 0) {
        e.KeyFontBold((style & 8) != 0);
        e.KeyFontItalic((style & 4) != 0);
        e.KeyFontUnderline((style & 16) != 0);
    } else {
        e.MsgFontBold((style & 8) != 0);
        e.MsgFontItalic((style & 4) != 0);
        e.MsgFontUnderline((style & 16) != 0);
    }
}

void frmPrtSetup::cmd_placekey_Click() {
    cGdiPrn& e = *Viewer.engine;
    std::unique_ptr<frmPrtKey> placement = talq::DialogFactory<frmPrtKey>::Create(this);
    placement->KeyPsn = e.KeyPsn();
    placement->MsgPsn = e.MsgPsn();
    placement->MsgAboveKey = e.MsgAboveKey();
    placement->exec();
    if (placement->Cancelled != 0) return;
    e.KeyPsn(placement->KeyPsn);
    e.MsgPsn(placement->MsgPsn);
    e.MsgAboveKey(placement->MsgAboveKey);
}

void frmPrtSetup::cmdTestPage_Click() {
    cGdiPrn& e = *Viewer.engine;
    QApplication::setOverrideCursor(Qt::WaitCursor);
    platform::DrawSurface surface;
    if (!e.StartWinPrintJob(1, false, surface, "", nullptr, Viewer.choices->PrintLocalPrinter, 0)) {
        QApplication::restoreOverrideCursor();
        platform::Beep();
        platform::MsgBox("Unable to Initialize Printer", platform::vbCritical, "Error");
        return;
    }
    e.SlipSheetPaperTray(ChosenSlipBin());
    bool ok = false;
    const std::string entry =
        cboSlip->currentIndex() < 0 ? "" : platform::FromQString(cboSlip->currentText());
    e.WinPrntSlipSheet("*** Test Slip Sheet ***", entry, "", ok);
    ok = e.StopWinPrintJob() && ok;
    QApplication::restoreOverrideCursor();
    if (!ok) platform::BeepWarning("Error Encountered Printing SlipSheet");
}

void frmPrtSetup::cmdOK_Click() {
    cGdiPrn& e = *Viewer.engine;
    e.TopClip(cboSize[0]->currentIndex());
    e.BottomClip(cboSize[1]->currentIndex());
    e.LeftClip(cboSize[2]->currentIndex());
    e.RightClip(cboSize[3]->currentIndex());
    e.LeftMargin(cboSize[4]->currentIndex());
    e.TopMargin(cboSize[5]->currentIndex());
    e.MaxHorzScale(chkXscale->isChecked());
    e.EnlargeSmallImages(chkEnlarge->isChecked());
    e.AllowLandscapeBatesMsg(chkLandscape->isChecked());
    e.UseBarCode(chkBarCode->isChecked());
    // Letter only is a choice like the others and is kept as chosen.
    e.SupportedSizes(optSize[1]->isChecked() ? 1 : optSize[2]->isChecked() ? 2 : 0);
    const std::string keyFace = platform::FromQString(lblKeyFont->text());
    const std::string msgFace = platform::FromQString(lblMsgFont->text());
    e.KeyFontName(keyFace.empty() ? "Arial" : keyFace);
    e.MsgFontName(msgFace.empty() ? "Arial" : msgFace);
    e.KeyFontSize(static_cast<std::int16_t>(FontSize(
        static_cast<std::int32_t>(mVBUtil::Val(platform::FromQString(lblKeySize->text()))))));
    e.MsgFontSize(static_cast<std::int16_t>(FontSize(
        static_cast<std::int32_t>(mVBUtil::Val(platform::FromQString(lblMsgSize->text()))))));
    if (fraSlip->isEnabled()) {
        e.SlipSheetPaperTray(ChosenSlipBin());
        const std::string& printer = Viewer.choices->PrintLocalPrinter;
        if (!printer.empty())
            platform::SaveSetting("VYNClient", "SlipSheetTray", printer,
                                  std::to_string(e.SlipSheetPaperTray()));
    }
    e.SaveUserPrintSettings();
    Unload(QDialog::Accepted);
}

void frmPrtSetup::cmdCancel_Click() {
    Unload(QDialog::Rejected);
}
