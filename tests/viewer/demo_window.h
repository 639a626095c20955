#pragma once
// The main window as the demo window tests use it: both local access modes
// pointed at a demo system, and a loaded window shown at a fixed size.

#include <QApplication>

#include <memory>
#include <string>

#include "foundation/mod_registry.h"
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

}  // namespace testsupport
