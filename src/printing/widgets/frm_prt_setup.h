#pragma once
// The print engine's layout options: clips and margins in sixteenths of an
// inch, scaling switches, paper sizes, the fonts of key and message, the bar
// code, their placement and the slip-sheet bin of the local printer, with a
// test slip. Edits the engine directly and saves its options on OK.

#include <array>
#include <string>

#include "foundation/widgets/form_dialog.h"
#include "printing/widgets/print_viewer.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;

class frmPrtSetup : public FormDialog {
    Q_OBJECT
  public:
    explicit frmPrtSetup(QWidget* parent = nullptr);

    printing::PrintViewer Viewer;

    QCheckBox *chkLandscape, *chkEnlarge, *chkXscale, *chkBarCode;
    std::array<QComboBox*, 6> cboSize{};
    std::array<QRadioButton*, 3> optSize{};
    QLabel *lblKeyFont, *lblKeySize, *lblMsgFont, *lblMsgSize;
    std::array<QPushButton*, 2> cmdKeyFont{};
    QPushButton* cmd_placekey;
    QGroupBox* fraSlip;
    QComboBox* cboSlip;
    QPushButton* cmdTestPage;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

    void cmdKeyFont_Click(int Index);
    void cmd_placekey_Click();
    void cmdTestPage_Click();
    void cmdOK_Click();
    void cmdCancel_Click();

  protected:
    void Form_Load() override;
    void Form_Cancel() override { cmdCancel_Click(); }

  private:
    void FillClipCombo(std::int32_t value, int index);
    // The bin number of the chosen slip entry; 0 for the first or none.
    std::int16_t ChosenSlipBin() const;

    std::string binNames_, binNumbers_;
    int binCount_ = 0;
};
