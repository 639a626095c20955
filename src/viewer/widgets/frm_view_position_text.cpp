// Where the current document stands among the units of every level, for
// the status line's full position.

#include "viewer/widgets/frm_view.h"

namespace viewer {

void frmView::BuildFullPositionText(const std::string& docBeginKey, const std::string& docEndKey,
                                    std::string& positionText) {
    ViewerSession& session = Session();
    positionText = projectTree.positionText.BuildFullPositionText(
        session, session.BndryNbr(), session.BndryLvls(), session.BndryDescs(), docBeginKey,
        docEndKey);
}

}  // namespace viewer
