#pragma once
// Edits the system directory of a local access mode and stores it itself.

#include <QDialog>
#include <string>

class QAction;
class QLineEdit;
class QPushButton;

class frmCfgLocal : public QDialog {
    Q_OBJECT
  public:
    explicit frmCfgLocal(QWidget* parent = nullptr);

    int AccessMode = 0;

    QLineEdit* Text1;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;
    QPushButton* cmdBrowse;
    QAction* mnuHistory;

    void Load();
    void cmdOK_Click();
    void cmdCancel_Click();
    void cmdBrowse_Click();
    void mnuHistory_Click();

    void setVisible(bool visible) override;

  private:
    std::string modeName_;
    bool loaded_ = false;
};
