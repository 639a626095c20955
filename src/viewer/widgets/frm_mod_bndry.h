#pragma once
// "Modify Boundary": the boundary level the page on display starts, one
// option per level of the project and "Page (No Boundary)", and, where the
// project keeps document dates, the page's date. The date is stored by OK;
// the caller stores the level.

#include <cstdint>
#include <string>
#include <vector>

#include "foundation/widgets/form_dialog.h"

class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QVBoxLayout;

namespace viewer {

class ViewerSession;

class frmModBndry : public FormDialog {
    Q_OBJECT
  public:
    explicit frmModBndry(QWidget* parent = nullptr);

    std::int16_t BoundaryLevel = 0;  // in: the page's level; out: the chosen one
    std::int16_t LevelCount = 0;
    std::string LevelNumbers;  // "|"-separated
    std::string LevelDescs;    // "|"-separated, same order
    std::string ImageKey;
    ViewerSession* ClientAPI = nullptr;
    std::int16_t Cancelled = 0;

    // Element 0 is "Page (No Boundary)", below the levels' options.
    std::vector<QRadioButton*> Option1;
    QLabel* lblDate;
    QLineEdit* txtDate;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

    void Option1_Click(int Index);
    void cmdOK_Click();
    void cmdCancel_Click();

    // The year the date check takes as this year; 0 = today's.
    static int& CurrentYearForTest();

  protected:
    void Form_Load() override;

  private:
    std::string LoadedDate;
    std::int16_t SelectedLevel = 0;
    bool DateShown = false;
    bool DateUnread = false;  // its read failed: shown disabled, never stored
    QVBoxLayout* options_;
};

}  // namespace viewer
