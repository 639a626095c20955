#pragma once
// Quick scroll: shows page after page by itself at a steady pace, through the
// rows of the query list or through the whole project, until stopped or the
// end is reached. Command messages close it; it never holds them back.

#include <QWidget>

#include <array>
#include <cstdint>

class QLabel;
class QPushButton;
class QTimer;

namespace viewer {

class frmView;

class frmQScroll : public QWidget {
    Q_OBJECT
  public:
    explicit frmQScroll(frmView* mainView);
    ~frmQScroll() override;

    void Form_Load();
    // Closes the window; it is deleted once its handlers have returned.
    void Unload();
    void cmdInterval_Click(int Index);
    void cmdCancel_Click();
    void Timer1_Timer();

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    std::array<QPushButton*, 2> cmdInterval{};
    QPushButton* cmdCancel = nullptr;
    QTimer* Timer1 = nullptr;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void Form_Unload();
    void StepList();
    void StepProject();

    frmView* MainView;
    bool stepping_ = false;
    bool unloaded_ = false;
    bool inputBlocked_ = false;
};

}  // namespace viewer
