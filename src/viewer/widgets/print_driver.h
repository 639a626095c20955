#pragma once
// The print driver the main window owns: the request the print dialog or a
// command message fills, the print it runs and the one print engine. What it
// reads of the window comes through PrintHost, so it runs without one.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "navigation/query_record.h"
#include "printing/gdi_prn.h"
#include "viewer/widgets/print_request.h"
#include "viewer/widgets/viewer_session.h"

class QWidget;
class frmProcess;

namespace viewer {

// What the project lets the user see on paper, and the features turned off.
struct PrintRestrictions {
    std::int32_t g_RestrictAnnotations = 0, g_RestrictTags = 0, g_RestrictRedactions = 0;
    std::int32_t lBehaviorFlags = 0;
};

// The query pane as a print of its rows reads it.
struct ShownQuery {
    TalqClientAPI_Header::QueryRecord CurrentQuery;
    bool levelChosen = false;  // the pane's level list has a choice
    std::vector<std::string> rows;
    int currentRow = -1;  // -1: none selected
};

class PrintHost {
  public:
    virtual ~PrintHost() = default;
    virtual ViewerSession& Session() = 0;
    virtual PrintRestrictions Restrictions() = 0;
    // The key of the page on display; empty without one.
    virtual std::string KeyOnDisplay() = 0;
    virtual ShownQuery QueryRows() = 0;
    // Off while a print runs, so that nothing the user does reaches the
    // session between pages; on again when it ends.
    virtual void EnableViews(bool on) = 0;
    // The parent of the dialogs a print opens; null for none.
    virtual QWidget* DialogParent() = 0;

  protected:
    PrintHost() = default;
    PrintHost(const PrintHost&) = default;
    PrintHost& operator=(const PrintHost&) = default;
};

class PrintDriver {
  public:
    explicit PrintDriver(PrintHost& host) : host_(host) {}
    PrintDriver(const PrintDriver&) = delete;
    PrintDriver& operator=(const PrintDriver&) = delete;

    // Makes the engine with the user's print settings.
    void Load();
    // The print dialog, then the print it asks for: the image toolbar's print
    // button and the File menu give 0, the query pane's print button 1.
    void OpenPrintDialog(std::int16_t fromQuery = 0);
    // Prints what printRequest asks for; a print already running refuses.
    // With chooseFile the PDF printer first asks for the file to write.
    void PrintSelection(bool chooseFile = false);
    void StartPrintJob(std::int32_t flags, bool& ok);
    bool EndPrintJob();
    void PrintDocumentPages(frmProcess& progress, const std::string& begKey,
                            const std::string& endKey, std::int32_t flags);
    void PrintQueryRows(frmProcess& progress, std::int16_t scope, std::int32_t flags);
    void PrintImageLocal(const std::string& key, std::int32_t flags, bool& ok);
    void PrintThisImageBatch(const std::string& key, std::int32_t flags, bool& ok);
    // The page's message line; false, with the reason kept, when the page's
    // tags were asked for and could not be read.
    bool BuildPageTagText(const std::string& key, std::int32_t flags, std::string& text);
    const PrintRun& CurrentPrint() const { return printRun_; }
    // The printer a command message prints on: the one the user chose, else
    // the machine's default; the PDF printer only when chosen. Empty: none.
    std::string CommandPrinter() const;
    // Why a command message cannot print on it now; empty when it can.
    std::string CommandPrinterTrouble() const;

    PrintRequest printRequest;

  private:
    ViewerSession& Session() { return host_.Session(); }
    bool AskRangeKey(const char* prompt, std::string& key);
    // Steps to the range a request means; false ends the request.
    bool ChoosePrintRange();
    bool RangeNotFound(const std::string& key);
    // The save dialog for the PDF printer's file; false ends the request.
    bool ChoosePdfFile();
    void EndAndReport(const frmProcess& progress);

    PrintHost& host_;
    // The print run holds the surfaces the engine's job composes on, so it
    // is declared first and outlives the engine.
    PrintRun printRun_;
    std::unique_ptr<cGdiPrn> PrntObj;  // the one print engine
};

}  // namespace viewer
