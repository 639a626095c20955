#pragma once
// Edits the five connection values of remote access.

#include <string>

#include "foundation/widgets/form_dialog.h"
#include "server/net_defaults.h"

class QAction;
class QLineEdit;
class QPushButton;

class frmConfig : public FormDialog {
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

    // Checks, stores the fields and the history entry, and closes; a refused
    // value beeps, tells why and keeps the dialog open.
    void cmdOK_Click();
    void cmdCancel_Click();
    void mnuHistory_Click();

  protected:
    void Form_Load() override;
    void Form_Cancel() override { cmdCancel_Click(); }
};

// Offers a history in the pick list; the chosen entry moves to the front at
// once. The empty text when nothing was chosen.
std::string PickHistoryEntry(QWidget* parent, const std::string& title,
                             const mNetDefaults::HistoryStore& history);
