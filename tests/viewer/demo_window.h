#pragma once
// The main window as the demo window tests use it: both local access modes
// pointed at a demo system, a loaded window shown at a fixed size, and a
// login through the window's own dialogs.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>

#include <memory>
#include <string>

#include "foundation/mod_registry.h"
#include "foundation/widgets/generic_dialogs.h"
#include "server/widgets/frm_login.h"
#include "support/scripted_dialog.h"
#include "viewer/widgets/frm_view.h"

namespace testsupport {

inline void PointLocalModesAt(const std::string& systemDir) {
    for (const char* mode : {"Network", "Local"}) {
        modRegistry::RegSetString(modRegistry::HKEY_CURRENT_USER,
                                  "Software\\TALQTech\\VYNSYS\\Paths", mode, systemDir + "/");
    }
}

inline std::unique_ptr<viewer::frmView> ShownMainWindow() {
    auto window = std::make_unique<viewer::frmView>();
    window->Form_Load();
    window->resize(900, 700);
    window->show();
    QApplication::processEvents();
    return window;
}

// Logs in from the menu with the answers a person would type, then picks
// the project from the list.
inline void LogInFromTheMenu(viewer::frmView& window, const std::string& user,
                             const std::string& password, int mode, const std::string& project) {
    talq::DialogFactory<frmLogin>::Scoped login(
        ScriptedMaker<frmLogin>([&](frmLogin& dlg) {
            dlg.Combo1->setCurrentIndex(mode);
            dlg.txtUserID->setText(QString::fromStdString(user));
            dlg.txtPassword->setText(QString::fromStdString(password));
            dlg.cmdOK_Click();
        }));
    talq::DialogFactory<frmListBox>::Scoped pick(
        ScriptedMaker<frmListBox>([&](frmListBox& d) {
            const auto found = d.List1->findItems(QString::fromStdString(project), Qt::MatchExactly);
            ASSERT_EQ(found.size(), 1);
            d.List1->setCurrentItem(found.front());
            d.cmdOK_Click();
        }));
    window.mnuLogin_Click();
}

}  // namespace testsupport
