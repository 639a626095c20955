#pragma once
// The program's start: one viewer per user, the main window, and what the
// command line or a parameter file asks for.

#include <string>
#include <vector>

#include "viewer/widgets/frm_view.h"

namespace viewer {
class frmDDE;
}

namespace modView {

// Both live from Main until the main window unloads, which releases the
// message window.
extern viewer::frmDDE* gDdeForm;
extern viewer::frmView* gViewerForm;

enum class MainOutcome {
    Running,     // the windows are up: run the event loop
    HandedOver,  // another viewer runs and has the command line
    NotLoaded,   // the main window did not load
};

MainOutcome Main(const std::vector<std::string>& arguments,
                 viewer::frmView::SessionFactory makeSession = {});

// Logs in, selects the project, shows the key and opens the key list that
// the start-up command line asks for, on a shown main window.
void CarryOutCommandLine(viewer::frmView& window, const std::string& commandLine);

}  // namespace modView
