#pragma once
// Puts the image key and the print message into two of the six zones of a
// printed page (top row 1 2 3, bottom row 4 5 6) and, when they share one,
// which of them stands above.

#include <array>
#include <cstdint>

#include "foundation/widgets/form_dialog.h"

class QCheckBox;
class QPushButton;
class QRadioButton;

class frmPrtKey : public FormDialog {
    Q_OBJECT
  public:
    explicit frmPrtKey(QWidget* parent = nullptr);

    // In: the engine's values; out: the chosen ones unless Cancelled is 1.
    std::int32_t KeyPsn = 6;
    std::int32_t MsgPsn = 4;
    bool MsgAboveKey = false;
    int Cancelled = 0;

    std::array<QRadioButton*, 2> Option1{};
    QCheckBox* Check1;
    std::array<QPushButton*, 6> PageZone{};
    QPushButton* cmd_ok;
    QPushButton* cmd_cancel;

    void Option1_Click(int Index);
    void PageZone_Click(int Index);
    void Check1_Click();
    void cmd_ok_Click();
    void cmd_cancel_Click();

  protected:
    void Form_Load() override;
    void Form_Cancel() override { cmd_cancel_Click(); }

  private:
    void ShowPlacement();
    int placing_ = 0;  // 0 the key, 1 the message
    std::int32_t keyZone_ = 6, msgZone_ = 4;
    int check_ = 0;
};
