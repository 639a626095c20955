#pragma once
// The base of the system's dialogs: a load step that runs once, when the
// dialog first shows (tests call Load() themselves), and one way out for
// the window's close button and Escape, which mean Cancel.

#include <QDialog>

class QHBoxLayout;
class QPushButton;

class FormDialog : public QDialog {
    Q_OBJECT
  public:
    explicit FormDialog(QWidget* parent = nullptr);

    void Load();

    void setVisible(bool visible) override;
    void reject() override;

  protected:
    virtual void Form_Load() {}
    // What the close button and Escape do; by default close as cancelled.
    virtual void Form_Cancel() { Unload(QDialog::Rejected); }
    // Runs just before the dialog closes through Unload.
    virtual void Form_Unload() {}

    // Closes the dialog with the result.
    void Unload(int result);
    bool IsUnloaded() const { return unloaded_; }

    // OK and Cancel side by side at the right, as every dialog lays them out;
    // Enter presses OK.
    static QHBoxLayout* ButtonRow(QPushButton* ok, QPushButton* cancel);

    void closeEvent(QCloseEvent* event) override;

  private:
    bool loaded_ = false;
    bool unloaded_ = false;
};
