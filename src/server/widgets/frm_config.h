#pragma once
// Edits the five connection values of remote access.

#include <QDialog>
#include <string>

#include "server/net_defaults.h"

class QAction;
class QLineEdit;
class QPushButton;

class frmConfig : public QDialog {
    Q_OBJECT
  public:
    explicit frmConfig(QWidget* parent = nullptr);

    std::string IPAddress;
    std::string IPPort;
    std::string DomainName;
    std::string LocalPort;
    std::string NetworkCard;
    int Cancelled = 0;

    QLineEdit* txtIPAddress;
    QLineEdit* txtPort;
    QLineEdit* txtDomain;
    QLineEdit* txtLocalPort;
    QLineEdit* txtNetworkCard;
    QPushButton* cmdOK;
    QPushButton* cmdCancel;
    QAction* mnuHistory;

    void Load();
    // Checks, stores the fields and the history entry, and closes; a refused
    // value beeps, tells why and keeps the dialog open.
    void cmdOK_Click();
    void cmdCancel_Click();
    void mnuHistory_Click();

    void setVisible(bool visible) override;
    void reject() override;

  protected:
    void closeEvent(QCloseEvent* event) override;

  private:
    bool loaded_ = false;
    bool unloaded_ = false;
};

// Offers a history in the pick list; the chosen entry moves to the front at
// once. The empty text when nothing was chosen.
std::string PickHistoryEntry(QWidget* parent, const std::string& title,
                             const mNetDefaults::HistoryStore& history);
