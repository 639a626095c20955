// What a print asks for before it starts: the print dialog's request, the
// range of pages it means and the file the PDF printer writes.

#include <QDir>

#include <cstring>

#include "foundation/text_match.h"
#include "foundation/widgets/common_dialogs.h"
#include "foundation/widgets/dialog_factory.h"
#include "platform/printer.h"
#include "platform/prompts.h"
#include "platform/settings_store.h"
#include "platform/text_codec.h"
#include "printing/widgets/frm_prt_optn.h"
#include "viewer/widgets/boundary_levels.h"
#include "viewer/widgets/print_driver.h"

namespace viewer {

using printing::PrintChoices;

void PrintDriver::OpenPrintDialog(std::int16_t fromQuery) {
    if (printRun_.active) return;
    printRequest.g_PrintMode = fromQuery;
    const PrintRestrictions project = host_.Restrictions();
    std::unique_ptr<frmPrtOptn> dialog =
        talq::DialogFactory<frmPrtOptn>::Create(host_.DialogParent());
    dialog->Viewer.choices = &printRequest;
    dialog->Viewer.engine = PrntObj.get();
    dialog->Viewer.annotAccess = project.g_RestrictAnnotations;
    dialog->Viewer.tagAccess = project.g_RestrictTags;
    dialog->Viewer.redactAccess = project.g_RestrictRedactions;
    dialog->Viewer.featureMask = project.lBehaviorFlags;
    dialog->Viewer.projectMessage = Session().PrintMessage();
    dialog->Viewer.projectSecurity = Session().UserProjectSecurity();
    dialog->Viewer.getBatchPrinters = [this](std::string& list) {
        return Session().GetBatchPrinters(list);
    };
    dialog->Viewer.validateBatchPrinter = [this](const std::string& printer) {
        return Session().ValidateBatchPrinter(printer);
    };
    dialog->exec();
    const int cancelled = dialog->Cancelled;
    dialog.reset();
    if (cancelled == 0) PrintSelection(true);
}

bool PrintDriver::AskRangeKey(const char* prompt, std::string& key) {
    for (;;) {
        const std::string answer = platform::InputBox(prompt, "Printing Range", key);
        if (answer.empty()) return false;
        std::string found;
        ViewerSession& session = Session();
        session.TakeUntoldTransportError();
        const std::int16_t result = session.FindKey(answer, found);
        if (result == 1) {
            key = found;
            return true;
        }
        platform::Beep();
        if (result == 2) {
            if (platform::MsgBox("OK to use: " + found + " ?", platform::vbYesNo,
                                 "Warning... Key Not Found") == platform::vbYes) {
                key = found;
                return true;
            }
        } else if (session.KeyLookupFailed()) {
            // The lookup failed: the page may well be there.
            platform::MsgBox(session.TakeFailureMessage("Unable to Look Up ImageKey " + answer),
                             platform::vbCritical, "Warning");
        } else {
            platform::MsgBox("Invalid Image Key", platform::vbCritical, "Warning");
        }
    }
}

// The dialog's user hears a beep, as ever; a command message's sender is
// answered with the reason.
bool PrintDriver::RangeNotFound(const std::string& key) {
    platform::Beep();
    printRun_.PrintErrText = "Error Determining Beg/End Key for " + key;
    if (const std::string why = Session().TakeFailureOrRefusal(); !why.empty())
        printRun_.PrintErrText += "\n" + why;
    return false;
}

bool PrintDriver::ChoosePrintRange() {
    PrintChoices& req = printRun_.request;
    const std::string onDisplay = host_.KeyOnDisplay();
    printRun_.PrintBegKey = printRun_.PrintEndKey = onDisplay;
    const std::int32_t docLevel = BoundaryLevelAt(Session().BndryLvls(), Session().BndryNbr());

    if (req.g_PrintMode != 0) {
        const ShownQuery query = host_.QueryRows();
        if (query.CurrentQuery.Kind == 0) return false;
        if (req.g_PrintRange < 2 && !query.levelChosen) return false;
        const bool selected =
            query.currentRow >= 0 && query.currentRow < static_cast<int>(query.rows.size());
        const std::string rowKey = selected ? query.rows[query.currentRow] : "";
        if (req.g_PrintRange == 0) {
            req.g_PrintMode = printRequest.g_PrintMode = 0;
            if (query.CurrentQuery.Level == 0) {
                printRun_.PrintBegKey = printRun_.PrintEndKey = rowKey;
            } else if (!Session().GetBndryBegEndKey(rowKey, query.CurrentQuery.Level,
                                                    printRun_.PrintBegKey, printRun_.PrintEndKey)) {
                return RangeNotFound(rowKey);
            }
        } else {
            printRun_.PrintBegKey = rowKey;
            // Entire List starts from the list's first row, selected or not.
            if (req.g_PrintRange == 2 && printRun_.PrintBegKey.empty() && !query.rows.empty())
                printRun_.PrintBegKey = query.rows.front();
        }
    } else if (req.g_PrintRange == 1 && !onDisplay.empty()) {
        if (!Session().GetBndryBegEndKey(onDisplay, docLevel, printRun_.PrintBegKey,
                                         printRun_.PrintEndKey)) {
            return RangeNotFound(onDisplay);
        }
    } else if (req.g_PrintRange == 2) {
        if (!AskRangeKey("Enter Beginning Image Key", printRun_.PrintBegKey)) return false;
        if (!AskRangeKey("Enter Ending Image Key", printRun_.PrintEndKey)) return false;
    }
    if (printRun_.PrintBegKey.empty()) {
        platform::Beep();
        return false;
    }
    return true;
}

std::string PrintDriver::CommandPrinter() const {
    if (!printRequest.PrintLocalPrinter.empty()) return printRequest.PrintLocalPrinter;
    const std::string chosen =
        platform::GetSetting("VYNClient", "Print Options", "Local Printer", "");
    return chosen.empty() ? platform::DefaultPrinterName() : chosen;
}

std::string PrintDriver::CommandPrinterTrouble() const {
    const std::string name = CommandPrinter();
    if (name.empty()) return "No printer is set";
    if (std::string why = platform::PrinterUnreachable(name); !why.empty()) return why;
    for (const std::string& known : platform::PrinterNames()) {
        if (mVBUtil::CompareTextNoCase(known, name) == 0) return {};
    }
    return platform::IsPdfPrinterName(name) ? std::string() : name + ": no such printer";
}

bool PrintDriver::ChoosePdfFile() {
    std::string name = printRun_.PrintBegKey;
    for (char& c : name) {
        if (std::strchr("/\\:*?\"<>|", c) != nullptr || static_cast<unsigned char>(c) < 32) c = '_';
    }
    const std::string folder = platform::PdfPrintFolder();
    QDir().mkpath(platform::ToQString(folder));
    std::string path = folder + "/" + name + ".pdf";
    bool replace = false;
    if (!mComDlg::ShowFileDialog(host_.DialogParent(), path, "PDF Files (*.pdf)|*.pdf", 1, 1,
                                 &replace))
        return false;
    // The user agreed to replace the name the dialog asked about, no other.
    if (!platform::IsPdfPrinterName(path)) {
        path += ".pdf";
        replace = false;
    }
    printRun_.pdfFile = path;
    printRun_.replaceFile = replace;
    return true;
}

}  // namespace viewer
