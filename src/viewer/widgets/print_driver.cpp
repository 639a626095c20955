// The print driver: from the request the print dialog or a command message
// filled, the pages meant, one job, and each page composed for the local
// printer or written as a line of a batch job the server prints.

#include <QDir>
#include <QFileInfo>
#include <QLabel>

#include <algorithm>
#include <cstdio>

#include "foundation/fields.h"
#include "foundation/text_match.h"
#include "foundation/widgets/dialog_factory.h"
#include "foundation/widgets/generic_dialogs.h"
#include "platform/event_pump.h"
#include "platform/printer.h"
#include "platform/printer_pdf.h"
#include "platform/prompts.h"
#include "platform/text_codec.h"
#include "printing/print_page_rules.h"
#include "render/gdi_lead.h"
#include "viewer/print_page_compose.h"
#include "viewer/widgets/print_driver.h"

namespace viewer {
namespace {

using printing::PrintChoices;

void RemoveIfThere(const std::string& path) {
    if (!path.empty()) std::remove(platform::ToQString(path).toLocal8Bit().constData());
}

}  // namespace

void PrintDriver::Load() {
    PrntObj = std::make_unique<cGdiPrn>();
    PrntObj->LoadUserPrintSettings();
}

void PrintDriver::PrintSelection(bool chooseFile) {
    // A print under way lets window events run between pages: a second
    // request then would start a job inside the job.
    if (printRun_.active) return;
    printRun_.active = true;
    printRun_.request = printRequest;
    printRun_.PrintErrText.clear();
    printRun_.pdfFile.clear();
    printRun_.replaceFile = false;
    printRun_.endNotice.reset();
    const PrintChoices& asked = printRun_.request;
    chooseFile =
        chooseFile && asked.g_PrinterType == 0 &&
        mVBUtil::CompareTextNoCase(asked.PrintLocalPrinter, platform::kPdfPrinterName) == 0;
    host_.EnableViews(false);
    if (ChoosePrintRange() && (!chooseFile || ChoosePdfFile())) {
        std::unique_ptr<frmProcess> progress =
            talq::DialogFactory<frmProcess>::Create(host_.DialogParent());
        progress->CaptionText = "Printing";
        progress->Load();
        progress->setWindowModality(Qt::ApplicationModal);
        progress->show();
        platform::DoEvents();
        const PrintChoices& req = printRun_.request;
        bool ok = false;
        StartPrintJob(req.g_PrintFlags, ok);
        if (ok) {
            if (req.g_PrintMode != 0) {
                PrintQueryRows(*progress, req.g_PrintRange, req.g_PrintFlags);
            } else {
                PrintDocumentPages(*progress, printRun_.PrintBegKey, printRun_.PrintEndKey,
                                   req.g_PrintFlags);
            }
            EndAndReport(*progress);
        }
        progress->Unload();
    }
    host_.EnableViews(true);
    printRun_.active = false;
}

// Ends the job and tells why it stopped short, if it did: after the end, so
// that a PDF print cut short can name the file its pages went to.
void PrintDriver::EndAndReport(const frmProcess& progress) {
    const bool cutShort = progress.Cancel > 0 || !printRun_.PrintErrText.empty();
    if (progress.Cancel > 0) printRun_.PrintErrText = "Print Job Aborted at User Request";
    if (cutShort) PrntObj->CutJobShort();
    const std::shared_ptr<platform::Printer> printer = PrntObj->JobPrinter();
    // Output that never reached its file or queue is not a print.
    const bool ended = EndPrintJob();
    std::string text = printRun_.PrintErrText;
    // The end's failure is told unless it is the one already told.
    const std::string endFailure = ended ? "" : PrntObj->LastErrorMsg();
    if (text.find(endFailure) == std::string::npos)
        text += (text.empty() ? "" : "\n") + endFailure;
    // A file the user agreed to replace stays as it was; the pages so
    // far went beside it.
    const auto* pdf = dynamic_cast<const platform::PdfPrinter*>(printer.get());
    if (ended && cutShort && printRun_.replaceFile && pdf != nullptr &&
        !pdf->WrittenPath().empty()) {
        text += "\n" + printRun_.pdfFile + " is unchanged; the pages printed are in " +
                pdf->WrittenPath();
    }
    printRun_.endNotice = text;
    if (!text.empty()) platform::BeepWarning(text);
}

void PrintDriver::StartPrintJob(std::int32_t flags, bool& ok) {
    const PrintChoices& req = printRun_.request;
    std::string failure;
    if (req.g_PrinterType != 0) {
        ok = Session().OpenBatchPrintFile(req.PrintBatchPrinter, "", flags, "", *PrntObj);
        failure = "Unable to Start Batch Print Job";
    } else {
        const std::int16_t color = (flags & printing::kPrintSupportColor) != 0 ? 2 : 1;
        const std::string& printer =
            printRun_.pdfFile.empty() ? req.PrintLocalPrinter : printRun_.pdfFile;
        ok = PrntObj->StartWinPrintJob(1, false, printRun_.output, "", nullptr, printer, color);
        // The engine's text names the printer and why it cannot be reached.
        failure =
            PrntObj->LastErrorMsg().empty() ? "Unable to Start Print Job" : PrntObj->LastErrorMsg();
        auto* pdf = ok ? dynamic_cast<platform::PdfPrinter*>(PrntObj->JobPrinter().get()) : nullptr;
        if (pdf != nullptr && printRun_.replaceFile) pdf->ReplaceExistingFile();
    }
    if (!ok) {
        printRun_.PrintErrText = failure;
        platform::BeepWarning(failure);
        return;
    }
    printRun_.PrintErrText.clear();
    printRun_.logRows.clear();
}

bool PrintDriver::EndPrintJob() {
    bool printed = true;
    if (printRun_.request.g_PrinterType != 0) {
        Session().CloseBatchPrintFile();
    } else {
        printed = PrntObj->StopWinPrintJob();
    }
    // Pages a printer took count only once it has put the job out.
    if (printed) {
        for (const std::string& row : printRun_.logRows) {
            std::string reply;
            Session().RemotePassThrough(row, reply, false);
        }
    }
    printRun_.logRows.clear();
    return printed;
}

void PrintDriver::PrintDocumentPages(frmProcess& progress, const std::string& begKey,
                                     const std::string& endKey, std::int32_t flags) {
    if (mVBUtil::CompareTextNoCase(begKey, endKey) > 0) {
        printRun_.PrintErrText = "Nothing to Print: " + endKey + " comes before " + begKey;
        return;
    }
    const PrintChoices& req = printRun_.request;
    const bool batch = req.g_PrinterType != 0;
    if (!batch && req.PrintEntireJob == 0) PrntObj->WinPrntStartNewDocument(0, "");
    std::int32_t localPages = 0, batchPages = 0;
    std::string key = begKey;
    for (;;) {
        // A next page past the end key ends the range complete.
        if (mVBUtil::CompareTextNoCase(key, endKey) > 0) break;
        progress.lblMsg->setText(platform::ToQString(key));
        platform::DoEvents();
        if (progress.Cancel != 0) break;
        bool ok = false;
        if (batch) {
            PrintThisImageBatch(key, flags, ok);
        } else {
            PrintImageLocal(key, flags, ok);
        }
        if (!ok) {
            // A range never ends short without saying why.
            if (printRun_.PrintErrText.empty()) printRun_.PrintErrText = "Unable to Print " + key;
            break;
        }
        ++(batch ? batchPages : localPages);
        if (mVBUtil::CompareTextNoCase(key, endKey) >= 0) break;
        int level = 0;
        std::string next;
        // Short of the end key, no answer ends the range as complete: not
        // even the server's that there is no page after this one.
        if (!Session().NextKey(key, level, next)) {
            const std::string why = Session().TakeFailureOrRefusal();
            printRun_.PrintErrText = "Unable to Find the Page after " + key + "\n" +
                                     (why.empty() ? "the server has none before " + endKey : why);
            break;
        }
        // A next key that does not sort after this one would print this
        // page again and again.
        if (next.empty() || mVBUtil::CompareTextNoCase(next, key) <= 0) {
            const std::string why = next.empty() ? "no key came back" : next + " comes before it";
            printRun_.PrintErrText = "Unable to Find the Page after " + key + "\n" + why;
            break;
        }
        key = next;
    }
    if (localPages + batchPages > 0) {
        printRun_.logRows.push_back("TALQUpdtPrintLog," + std::to_string(localPages) + "," +
                                    std::to_string(batchPages));
    }
}

void PrintDriver::PrintQueryRows(frmProcess& progress, std::int16_t scope, std::int32_t flags) {
    const ShownQuery query = host_.QueryRows();
    TalqClientAPI_Header::QueryRecord copy = query.CurrentQuery;
    if (scope == 1) {
        const int from = std::max(query.currentRow, 0);
        std::string keys;
        int count = 0;
        for (int i = from; i < static_cast<int>(query.rows.size()); ++i, ++count) {
            if (count > 0) keys += ",";
            keys += query.rows[i];
        }
        if (count == 0) {
            printRun_.PrintErrText = "Error Positioning Query";
            return;
        }
        copy.KeyList = keys;
        copy.RowCount = count;
        copy.CurrentRow = 1;
    } else if (!TalqClientAPI_Header::QueryScroll(Session(), copy, 0)) {
        printRun_.PrintErrText = "Error Positioning Query";
        return;
    }
    for (;;) {
        // Every row of each set prints from its first: the row a scroll
        // leaves current is not where a printout of the list begins.
        int position = 1;
        for (std::int32_t i = 1; i <= copy.RowCount; ++i) {
            platform::DoEvents();
            if (progress.Cancel != 0) return;
            const std::string key = mVBUtil::NextToken(",", copy.KeyList, position);
            std::string begKey = key, endKey = key;
            if (copy.Level != 0 && !Session().GetBndryBegEndKey(key, copy.Level, begKey, endKey)) {
                printRun_.PrintErrText = "Error Determining Beg/End Key for " + key;
                return;
            }
            PrintDocumentPages(progress, begKey, endKey, flags);
            if (!printRun_.PrintErrText.empty() || progress.Cancel != 0) return;
        }
        if ((copy.MoreFlags & TalqClientAPI_Header::kMoreFollows) == 0) return;
        if (!TalqClientAPI_Header::QueryScroll(Session(), copy, 1)) {
            printRun_.PrintErrText = "Error Positioning Query";
            return;
        }
    }
}

bool PrintDriver::BuildPageTagText(const std::string& key, std::int32_t flags, std::string& text) {
    const PrintRestrictions project = host_.Restrictions();
    std::string tags;
    // A page asked for with its tags never goes out without them.
    if (printing::WantsTags(flags, project.g_RestrictTags) && !Session().ReadImageTags(key, tags)) {
        printRun_.PrintErrText = Session().TakeFailureMessage("Unable to Get Image Tags " + key);
        return false;
    }
    text = printing::PageMessageText(flags, printRun_.request.g_szPrintMsg, project.g_RestrictTags,
                                     tags);
    return true;
}

void PrintDriver::PrintThisImageBatch(const std::string& key, std::int32_t flags, bool& ok) {
    ok = false;
    std::int32_t level = 0, rotation = 0, mark = 0;
    std::string info, native;
    if (!Session().GetImagePageInfo(key, level, rotation, mark, info, native)) {
        printRun_.PrintErrText = Session().TakeFailureMessage("Unable to Get Image Info " + key);
        return;
    }
    std::string message;
    if (!BuildPageTagText(key, flags, message)) return;
    const std::string code = level > 0 ? Session().ResolveLevel2Bndry(level) : std::string();
    const std::string line =
        printing::BatchPageLine(key, mark != 0, Session().ProjectName(), message, code, flags);
    if (!Session().WriteBatchPrintFilePage(line)) {
        printRun_.PrintErrText = "Error Writing to Batch Print File";
        return;
    }
    ok = true;
}

void PrintDriver::PrintImageLocal(const std::string& key, std::int32_t flags, bool& ok) {
    ok = false;
    std::string& err = printRun_.PrintErrText;
    std::string& temp = printRequest.szPrintTempFname;
    const PrintRestrictions project = host_.Restrictions();
    // A new login empties the session's temporary folder, and this name with it.
    if (temp.empty() || !QFileInfo(platform::ToQString(temp)).dir().exists())
        temp = Session().CreateLocalTempFile(1);
    RemoveIfThere(temp);

    std::int32_t level = 0, rotation = 0, mark = 0;
    std::string info, native;
    // Without the page's mark its redactions cannot be honoured.
    if (!Session().GetImagePageInfo(key, level, rotation, mark, info, native)) {
        err = Session().TakeFailureMessage("Unable to Get Image Info " + key);
        return;
    }
    std::string bytes;
    if (Session().IsPlaceHolderImage()) {
        rotation = 0;
        std::string ocr;
        if (mark == 0 && Session().GetPageOCR(key, ocr) && !ocr.empty())
            bytes = Session().GetTextImage(ocr);
    }
    if (bytes.empty()) bytes = Session().GetImage(key, 0).bytes;
    if (bytes.empty()) {
        err = Session().TakeFailureMessage("Unable to Get Image " + key);
        return;
    }
    // The page opens from the bytes as they came: no copy of it on disk.
    cGdiLead image;
    if (!image.OpenImageBytes(bytes, temp)) {
        err = "Unable to Open Image File\n" + key;
        return;
    }
    bytes.clear();
    std::int32_t dpi = image.Xresolution();
    if (dpi < 50) dpi = 50;
    const printing::PageOrientation turn =
        printing::OrientPage(rotation, image.ImgWidth(), image.ImgHeight(), dpi);
    if (turn.turn != 0) image.RotateImage(turn.turn);

    AnnotationTexts lists;
    if (!Session().GetAllAnnotations(key, lists)) {
        image.FreeImage();
        err = Session().TakeFailureMessage("Unable to Get Annotations " + key);
        return;
    }
    PageAnnotationLists parsed;
    parsed.Parse(lists);
    const printing::PrintLayers layers =
        printing::LayersFor(flags, mark != 0, project.g_RestrictRedactions,
                            project.g_RestrictAnnotations, PrntObj->BlackAndWhite());
    std::string composeError;
    const bool composed =
        ComposePrintPage(image, parsed, layers, static_cast<std::int16_t>(turn.layerRotation),
                         printRun_.page, composeError);
    // A JPEG is decoded when first drawn or turned; a body that does not
    // decode leaves the engine empty, and the page would print blank.
    const bool decoded = image.IsImageValid();
    image.FreeImage();
    if (!decoded) {
        err = "Unable to Open Image File\n" + key;
        return;
    }
    if (!composed) {
        err = composeError + "\n" + key;
        return;
    }

    const std::string keyText = (flags & printing::kPrintImageKey) != 0 ? key : "";
    std::string bndryText;
    if ((flags & printing::kPrintBoundaryFlag) != 0 && level > 0)
        bndryText = "[" + Session().ResolveLevel2Bndry(level) + "]";
    std::string message;
    if (!BuildPageTagText(key, flags, message)) return;
    if (printRun_.request.PrintEntireJob == 0 && level > 0) PrntObj->WinPrntStartNewDocument(0, "");
    if (!PrntObj->WinPrntImage(printRun_.page, static_cast<std::int16_t>(dpi), message, keyText,
                               bndryText, turn.landscape, 0)) {
        err = PrntObj->LastErrorMsg();
        return;
    }
    ok = true;
}

}  // namespace viewer
