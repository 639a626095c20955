// The window as its print driver sees it: the project's restrictions, the
// page on display and the query pane's rows.

#include <QComboBox>
#include <QListWidget>

#include "platform/text_codec.h"
#include "viewer/widgets/frm_view.h"

namespace viewer {

PrintRestrictions frmView::Restrictions() {
    return {project.g_RestrictAnnotations, project.g_RestrictTags, project.g_RestrictRedactions,
            run.lBehaviorFlags};
}

std::string frmView::KeyOnDisplay() {
    return page.g_ValidImage != 0 ? page.szCurrentKey : std::string();
}

ShownQuery frmView::QueryRows() {
    ShownQuery shown;
    shown.CurrentQuery = query.CurrentQuery;
    shown.levelChosen = ui.QueryCombo->currentIndex() >= 0;
    shown.rows.reserve(static_cast<size_t>(ui.QueryList->count()));
    for (int i = 0; i < ui.QueryList->count(); ++i)
        shown.rows.push_back(platform::FromQString(ui.QueryList->item(i)->text()));
    shown.currentRow = ui.QueryList->currentRow();
    return shown;
}

}  // namespace viewer
