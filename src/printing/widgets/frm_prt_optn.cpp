#include "printing/widgets/frm_prt_optn.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "foundation/number_text.h"
#include "foundation/widgets/dialog_factory.h"
#include "foundation/widgets/generic_dialogs.h"
#include "platform/printer.h"
#include "platform/prompts.h"
#include "platform/settings_store.h"
#include "platform/text_codec.h"
#include "platform/widgets/typed_text_guard.h"
#include "printing/gdi_prn.h"
#include "printing/widgets/frm_prt_setup.h"

namespace {

const char* const kApp = "VYNClient";
const char* const kSection = "Print Options";

std::string Setting(const char* key) {
    return platform::GetSetting(kApp, kSection, key, "");
}
std::int32_t NumberSetting(const char* key) {
    return static_cast<std::int32_t>(mVBUtil::Val(Setting(key)));
}
std::int16_t SlipTrayOf(const std::string& printer) {
    return static_cast<std::int16_t>(
        mVBUtil::Val(platform::GetSetting(kApp, "SlipSheetTray", printer, "0")));
}

}  // namespace

frmPrtOptn::frmPrtOptn(QWidget* parent) : FormDialog(parent) {
    setWindowTitle("Print ...");
    setModal(true);
    Frame1 = new QGroupBox("Print Selection", this);
    auto* rangeRows = new QVBoxLayout(Frame1);
    const char* ranges[3] = {"Current Page", "Current Document", "Range of Images"};
    for (int i = 0; i < 3; ++i) {
        optRange[static_cast<size_t>(i)] = new QRadioButton(ranges[i], Frame1);
        rangeRows->addWidget(optRange[static_cast<size_t>(i)]);
        connect(optRange[static_cast<size_t>(i)], &QRadioButton::clicked, this,
                [this, i] { optRange_Click(i); });
    }

    Frame2 = new QGroupBox("Printer", this);
    auto* printerGrid = new QGridLayout(Frame2);
    optPrinter[0] = new QRadioButton("Local Printer (PCL)", Frame2);
    optPrinter[1] = new QRadioButton("Batch / Remote Printer", Frame2);
    cmdPrinter = new QPushButton(">>", Frame2);
    lblPrinter = new QLabel(Frame2);
    chkJob = new QCheckBox("Spool Entire Job", Frame2);
    printerGrid->addWidget(optPrinter[0], 0, 0);
    printerGrid->addWidget(optPrinter[1], 1, 0);
    printerGrid->addWidget(cmdPrinter, 0, 1);
    printerGrid->addWidget(lblPrinter, 2, 0, 1, 2);
    printerGrid->addWidget(chkJob, 3, 0);
    for (int i = 0; i < 2; ++i)
        connect(optPrinter[static_cast<size_t>(i)], &QRadioButton::clicked, this,
                [this, i] { optPrinter_Click(i); });
    connect(cmdPrinter, &QPushButton::clicked, this, [this] { cmdPrinter_Click(); });
    connect(chkJob, &QCheckBox::clicked, this, [this] { chkJob_Click(); });

    Frame3 = new QGroupBox("Annotation Options", this);
    auto* partRows = new QVBoxLayout(Frame3);
    const char* parts[9] = {"Print Image Key",   "Print Boundary Flag", "Print Doc Slip Sheets",
                            "Print Message",     "Print Redactions",    "Print Highlights",
                            "Print Annotations", "Print Markups",       "Print Issue Tags"};
    for (int i = 0; i < 9; ++i) {
        chkAnnot[static_cast<size_t>(i)] = new QCheckBox(parts[i], Frame3);
        partRows->addWidget(chkAnnot[static_cast<size_t>(i)]);
        connect(chkAnnot[static_cast<size_t>(i)], &QCheckBox::clicked, this,
                [this, i] { chkAnnot_Click(i); });
    }
    chkColor = new QCheckBox("Support Color", Frame3);
    partRows->addWidget(chkColor);
    cmdSetup = new QPushButton("Advanced Setup", this);
    connect(cmdSetup, &QPushButton::clicked, this, [this] { cmdSetup_Click(); });

    Frame4 = new QGroupBox("Redaction Color", this);
    auto* colorRows = new QVBoxLayout(Frame4);
    const char* colors[3] = {"As Marked", "Force BLACK", "Force WHITE"};
    for (int i = 0; i < 3; ++i) {
        optColor[static_cast<size_t>(i)] = new QRadioButton(colors[i], Frame4);
        colorRows->addWidget(optColor[static_cast<size_t>(i)]);
    }
    txtMsg = new QLineEdit(this);
    platform::TypedTextGuard::Guard(txtMsg);
    cmdOK = new QPushButton("&OK", this);
    cmdCancel = new QPushButton("&Cancel", this);
    connect(cmdOK, &QPushButton::clicked, this, [this] { cmdOK_Click(); });
    connect(cmdCancel, &QPushButton::clicked, this, [this] { cmdCancel_Click(); });

    auto* layout = new QGridLayout(this);
    layout->addWidget(Frame1, 0, 0);
    layout->addWidget(Frame2, 1, 0);
    layout->addWidget(Frame3, 0, 1, 2, 1);
    layout->addWidget(Frame4, 2, 0);
    layout->addWidget(cmdSetup, 2, 1);
    layout->addWidget(txtMsg, 3, 0, 1, 2);
    layout->addLayout(ButtonRow(cmdOK, cmdCancel), 4, 0, 1, 2);
}

void frmPrtOptn::Form_Load() {
    printing::PrintChoices& c = *Viewer.choices;
    Cancelled = 0;
    c.g_PrintRange = 0;
    if (c.g_PrintMode == 1) {
        setWindowTitle("Print from Query ...");
        optRange[0]->setText("Current Item");
        optRange[1]->setText("Current to End-of-List");
        optRange[2]->setText("Entire List");
    }
    optRange[0]->setChecked(true);
    optRange_Click(0);
    c.PrintLocalPrinter = Setting("Local Printer");
    if (c.PrintLocalPrinter.empty()) {
        std::shared_ptr<platform::Printer> current = platform::CurrentPrinter();
        if (current) c.PrintLocalPrinter = current->DeviceName();
    }
    c.PrintBatchPrinter = Setting("Batch Printer");
    c.g_PrintFlags = NumberSetting("Flags");
    c.g_PrinterType = static_cast<std::int16_t>(NumberSetting("Type"));
    c.PrintEntireJob = static_cast<std::int16_t>(NumberSetting("Entire Job"));
    if (!c.PrintLocalPrinter.empty())
        Viewer.engine->SlipSheetPaperTray(SlipTrayOf(c.PrintLocalPrinter));
    const int kind = c.g_PrinterType == 1 ? 1 : 0;
    optPrinter[static_cast<size_t>(kind)]->setChecked(true);
    optPrinter_Click(kind);
    chkJob->setChecked(c.PrintEntireJob != 0);

    const bool imposed = !Viewer.projectMessage.empty() && (Viewer.projectSecurity & 1) == 0;
    if (imposed) {
        c.g_szPrintMsg = Viewer.projectMessage;
        c.g_PrintFlags |= printing::kPrintMessage;
        chkAnnot[3]->setEnabled(false);
    } else if (!Viewer.projectMessage.empty() && c.g_szPrintMsg.empty()) {
        c.g_szPrintMsg = Viewer.projectMessage;
    }
    txtMsg->setText(platform::ToQString(c.g_szPrintMsg));
    // An imposed message goes out as the project wrote it.
    txtMsg->setReadOnly(imposed);

    const std::int32_t flags = c.g_PrintFlags;
    for (size_t i = 0; i < 4; ++i) chkAnnot[i]->setChecked((flags & kAnnotBits[i]) != 0);
    txtMsg->setEnabled(chkAnnot[3]->isChecked());

    if (Viewer.redactAccess == 1) {
        chkAnnot[4]->setChecked(true);
        chkAnnot[4]->setEnabled(false);
    } else {
        chkAnnot[4]->setChecked((flags & kAnnotBits[4]) != 0);
    }
    for (QRadioButton* b : optColor) b->setEnabled(chkAnnot[4]->isChecked());

    const std::int32_t masks[3] = {0x80, 0x20, 0x40};
    for (int i = 0; i < 3; ++i) {
        const auto index = static_cast<size_t>(5 + i);
        QCheckBox* box = chkAnnot[index];
        if (Viewer.annotAccess == 2 || (Viewer.featureMask & masks[i]) != 0) {
            box->setEnabled(false);
        } else {
            box->setChecked((flags & kAnnotBits[index]) != 0);
        }
    }
    if (Viewer.tagAccess == 2) {
        chkAnnot[8]->setEnabled(false);
    } else {
        chkAnnot[8]->setChecked((flags & kAnnotBits[8]) != 0);
    }
    using namespace printing;
    optColor[(flags & kPrintRedactBlack) != 0   ? 1
             : (flags & kPrintRedactWhite) != 0 ? 2
                                                : 0]
        ->setChecked(true);
    chkColor->setChecked((flags & kPrintSupportColor) != 0);
}

void frmPrtOptn::optRange_Click(int Index) {
    Viewer.choices->g_PrintRange = static_cast<std::int16_t>(Index);
}

void frmPrtOptn::optPrinter_Click(int Index) {
    printing::PrintChoices& c = *Viewer.choices;
    c.g_PrinterType = static_cast<std::int16_t>(Index);
    lblPrinter->setText(
        platform::ToQString(Index == 1 ? c.PrintBatchPrinter : c.PrintLocalPrinter));
    chkJob->setEnabled(Index == 0);
    // Only a batch printer puts slip sheets between documents; the bit
    // stays as checked for the next batch print.
    chkAnnot[2]->setEnabled(Index == 1);
}

void frmPrtOptn::chkJob_Click() {
    Viewer.choices->PrintEntireJob = chkJob->isChecked() ? 1 : 0;
}

void frmPrtOptn::chkAnnot_Click(int Index) {
    if (Index == 4) {
        for (QRadioButton* b : optColor) b->setEnabled(chkAnnot[4]->isChecked());
    }
    if (Index == 3) txtMsg->setEnabled(chkAnnot[3]->isChecked());
}

void frmPrtOptn::cmdPrinter_Click() {
    printing::PrintChoices& c = *Viewer.choices;
    std::unique_ptr<frmListBox> pick;
    if (c.g_PrinterType == 1) {
        std::string list;
        const std::int16_t count = Viewer.getBatchPrinters ? Viewer.getBatchPrinters(list) : 0;
        // No printer at all leaves nothing to pick either.
        if (count < 1) {
            platform::BeepWarning("No Batch Printers Available");
            return;
        }
        pick = talq::DialogFactory<frmListBox>::Create(this);
        pick->TitleText = "Please Select a Batch Printer...";
        pick->ItemList = list;
        pick->SelectedItem = c.PrintBatchPrinter;
    } else {
        const std::vector<std::string> names = platform::PrinterNames();
        if (names.empty()) {
            platform::BeepWarning("No Printers Available");
            return;
        }
        std::string list;
        for (const std::string& n : names)
            list += (list.empty() ? "" : std::string(1, kListSep)) + n;
        pick = talq::DialogFactory<frmListBox>::Create(this);
        pick->TitleText = "Please Select a Printer...";
        pick->ItemList = list;
        pick->SelectedItem = c.PrintLocalPrinter;
    }
    pick->exec();
    if (pick->Cancelled != 0 || pick->result() != QDialog::Accepted) return;
    const std::string chosen = pick->SelectedItem;
    if (c.g_PrinterType == 1) {
        c.PrintBatchPrinter = chosen;
    } else {
        c.PrintLocalPrinter = chosen;
        if (!chosen.empty()) Viewer.engine->SlipSheetPaperTray(SlipTrayOf(chosen));
    }
    lblPrinter->setText(platform::ToQString(chosen));
}

void frmPrtOptn::cmdSetup_Click() {
    std::unique_ptr<frmPrtSetup> setup = talq::DialogFactory<frmPrtSetup>::Create(this);
    setup->Viewer = Viewer;
    setup->exec();
}

void frmPrtOptn::cmdOK_Click() {
    printing::PrintChoices& c = *Viewer.choices;
    if (c.g_PrinterType != 1) {
        if (c.PrintLocalPrinter.empty()) {
            platform::BeepWarning("Invalid Printer Selected");
            return;
        }
    } else if (!Viewer.validateBatchPrinter || !Viewer.validateBatchPrinter(c.PrintBatchPrinter)) {
        platform::BeepWarning("Invalid Batch Printer Selected");
        return;
    }
    platform::SaveSetting(kApp, kSection, "Local Printer", c.PrintLocalPrinter);
    platform::SaveSetting(kApp, kSection, "Batch Printer", c.PrintBatchPrinter);
    platform::SaveSetting(kApp, kSection, "Type", std::to_string(c.g_PrinterType));
    platform::SaveSetting(kApp, kSection, "Entire Job", std::to_string(c.PrintEntireJob));
    c.g_szPrintMsg = platform::FromQString(txtMsg->text().trimmed());

    std::int32_t flags = 0;
    for (size_t i = 0; i < chkAnnot.size(); ++i) {
        if (chkAnnot[i]->isChecked()) flags += kAnnotBits[i];
    }
    // Layers hidden from the user never print, whatever was stored before.
    using namespace printing;
    if (Viewer.annotAccess == 2) flags &= ~(kPrintHighlights | kPrintNotes | kPrintMarkups);
    if ((Viewer.featureMask & 0x80) != 0) flags &= ~kPrintHighlights;
    if ((Viewer.featureMask & 0x20) != 0) flags &= ~kPrintNotes;
    if ((Viewer.featureMask & 0x40) != 0) flags &= ~kPrintMarkups;
    if (Viewer.tagAccess == 2) flags &= ~kPrintIssueTags;
    if (optColor[1]->isChecked()) flags += kPrintRedactBlack;
    if (optColor[2]->isChecked()) flags += kPrintRedactWhite;
    if (chkColor->isChecked()) flags += kPrintSupportColor;
    c.g_PrintFlags = flags;
    platform::SaveSetting(kApp, kSection, "Flags", std::to_string(flags));
    if (!c.PrintLocalPrinter.empty())
        platform::SaveSetting(kApp, "SlipSheetTray", c.PrintLocalPrinter,
                              std::to_string(Viewer.engine->SlipSheetPaperTray()));
    Viewer.engine->SaveUserPrintSettings();
    Unload(QDialog::Accepted);
}

void frmPrtOptn::cmdCancel_Click() {
    Cancelled = 1;
    Unload(QDialog::Rejected);
}
