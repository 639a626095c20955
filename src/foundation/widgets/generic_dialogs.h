#pragma once
// The pick-list, option and progress windows every subsystem uses. A caller
// creates one (through DialogFactory), sets its public fields, runs it and
// reads the fields afterwards. Lists are texts separated by character 30.

#include <QDialog>
#include <string>
#include <vector>

class QGroupBox;
class QLabel;
class QListWidget;
class QPushButton;
class QRadioButton;
class QVBoxLayout;

inline constexpr char kListSep = '\x1E';

// Picks one line of a list; the result is the line's first Tab-separated field.
class frmListBox : public QDialog {
    Q_OBJECT
  public:
    explicit frmListBox(QWidget* parent = nullptr);

    int Cancelled = 0;
    int NoSelect = 0;
    std::string TitleText;
    std::string ItemList;
    std::string SelectedItem;

    QListWidget* List1;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;

    // Fills the window from the fields; runs once, at the latest when it shows.
    void Load();
    void cmdOK_Click();
    void cmdCancel_Click();
    void List1_DblClick();

    void setVisible(bool visible) override;
    void reject() override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void Unload(int result);
    bool loaded_ = false;
    bool unloaded_ = false;
};

// Picks one of a few options built at run time; Selection is 1-based, 0 after Cancel.
class SelBox : public QDialog {
    Q_OBJECT
  public:
    explicit SelBox(QWidget* parent = nullptr);

    int Selection = 0;
    std::string TitleText;
    std::string OptionList;
    int OptionCount = 0;

    QGroupBox* Frame1;
    std::vector<QRadioButton*> Option1;
    QPushButton* cmd_ok;
    QPushButton* cmd_cancel;

    void Load();
    void Option1_Click(int index);
    void cmd_ok_Click();
    void cmd_cancel_Click();

    void setVisible(bool visible) override;
    void reject() override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    void Unload(int result);
    QVBoxLayout* options_;
    bool loaded_ = false;
    bool unloaded_ = false;
};

// Modeless progress window; the caller's loop yields and reads Cancel.
class frmProcess : public QDialog {
    Q_OBJECT
  public:
    explicit frmProcess(QWidget* parent = nullptr);

    int Cancel = 0;
    std::string CaptionText;

    QLabel* lblMsg;
    QPushButton* cmdCancel;

    void Load();
    void cmdCancel_Click();
    // Closes the window for the caller at the end of its loop.
    void Unload();

    void setVisible(bool visible) override;
    void reject() override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    bool loaded_ = false;
    bool unloading_ = false;
};
