#pragma once
// The project tree pane's link to the window and the position text's
// stored lists (elsewhere: PositionCache, LevelKeyLists).

#include <memory>

#include "navigation/position_text.h"
#include "navigation/project_tree.h"

namespace viewer {

struct ProjectTreePane {
    // What the tree window reaches of the main window; made with the first tree.
    std::unique_ptr<navigation::ProjectTreeHost> host;
    navigation::DocumentPositionText positionText;
};

}  // namespace viewer
