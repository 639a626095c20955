#pragma once
// The main window's session over a real session object of its own.

#include "viewer/widgets/viewer_session.h"

namespace viewer {

class TalqViewerSession : public ViewerSession {
  public:
    // The parent of the login dialogs.
    explicit TalqViewerSession(QWidget* dialogParent = nullptr);
};

}  // namespace viewer
