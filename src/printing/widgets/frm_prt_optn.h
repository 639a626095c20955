#pragma once
// The print dialog shown before every print request: scope, printer, the
// parts of each page, the redaction colour and the message. It fills the
// main window's print request as the user clicks, remembers the choices per
// user, and leaves Cancelled at 0 when the request should print.

#include <array>
#include <string>

#include "foundation/widgets/form_dialog.h"
#include "printing/print_choices.h"
#include "printing/widgets/print_viewer.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;

class frmPrtOptn : public FormDialog {
    Q_OBJECT
  public:
    explicit frmPrtOptn(QWidget* parent = nullptr);

    printing::PrintViewer Viewer;
    int Cancelled = 0;

    QGroupBox *Frame1, *Frame2, *Frame3, *Frame4;
    std::array<QRadioButton*, 3> optRange{};
    std::array<QRadioButton*, 2> optPrinter{};
    QPushButton* cmdPrinter;
    QLabel* lblPrinter;
    QCheckBox* chkJob;
    // Index order: key, boundary flag, slip sheets, message, redactions,
    // highlights, annotations, markups, issue tags.
    std::array<QCheckBox*, 9> chkAnnot{};
    QCheckBox* chkColor;
    QPushButton* cmdSetup;
    std::array<QRadioButton*, 3> optColor{};
    QLineEdit* txtMsg;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

    void optRange_Click(int Index);
    void optPrinter_Click(int Index);
    void chkJob_Click();
    void chkAnnot_Click(int Index);
    void cmdPrinter_Click();
    void cmdSetup_Click();
    void cmdOK_Click();
    void cmdCancel_Click();

    // The flag bit of each chkAnnot box.
    static constexpr std::array<std::int32_t, 9> kAnnotBits = {
        printing::kPrintImageKey, printing::kPrintBoundaryFlag, printing::kPrintSlipSheets,
        printing::kPrintMessage,  printing::kPrintRedactions,   printing::kPrintHighlights,
        printing::kPrintNotes,    printing::kPrintMarkups,      printing::kPrintIssueTags};

  protected:
    void Form_Load() override;
    void Form_Cancel() override { cmdCancel_Click(); }
};
